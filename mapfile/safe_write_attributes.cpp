#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "mapfile/safe_write_parts.h"

namespace safe_write_detail {
namespace {

/// The names of the extended attributes of the file at path (a /proc/self/fd link).
bool list_attributes(const std::string& path, std::vector<std::string>* names) {
    std::vector<char> buffer(1024);
    for (;;) {
        const ssize_t n = listxattr(path.c_str(), buffer.data(), buffer.size());
        if (n >= 0) {
            for (std::size_t at = 0; at < std::size_t(n);) {
                names->emplace_back(buffer.data() + at);
                at += names->back().size() + 1;
            }
            return true;
        }
        if (errno == ENOTSUP) return true;  // a file system without them
        if (errno != ERANGE) return false;
        buffer.resize(buffer.size() * 4);
    }
}

}  // namespace

bool copy_attributes(const write_target& target, int fd, std::string* reason) {
    const struct stat& old = target.st;
    if (fchown(fd, old.st_uid, old.st_gid) != 0 && fchown(fd, uid_t(-1), old.st_gid) != 0) { /* keep ours */ }

    owned_fd source(openat(target.dir.fd, target.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (source.fd < 0) return fail(reason, errno);
    const std::string source_path = "/proc/self/fd/" + std::to_string(source.fd);
    std::vector<std::string> names;
    if (!list_attributes(source_path, &names)) return fail(reason, errno, "cannot read its extended attributes");
    bool has_acl = false;
    for (const std::string& name : names) {
        std::vector<char> value(256);
        ssize_t n;
        while ((n = getxattr(source_path.c_str(), name.c_str(), value.data(), value.size())) < 0 && errno == ERANGE)
            value.resize(value.size() * 4);
        const bool may_be_refused = name.rfind("security.", 0) == 0 || name.rfind("trusted.", 0) == 0;
        if (n < 0) {
            if (may_be_refused || errno == ENODATA) continue;
            return fail(reason, errno, ("cannot read its extended attribute " + name).c_str());
        }
        if (fsetxattr(fd, name.c_str(), value.data(), std::size_t(n), 0) != 0 && !may_be_refused)
            return fail(reason, errno, ("cannot keep its extended attribute " + name).c_str());
        if (name == "system.posix_acl_access") has_acl = true;
    }
    // The directory's default ACL may have given the new file an ACL the old one
    // did not have.
    if (!has_acl && fremovexattr(fd, "system.posix_acl_access") != 0 && errno != ENODATA && errno != ENOTSUP &&
        errno != EOPNOTSUPP)
        return fail(reason, errno, "cannot drop the directory's default ACL");
    // The mode last: a change of owner clears set-id bits, and it leaves an ACL's
    // mask as the old file had it.
    if (fchmod(fd, old.st_mode & 07777) != 0) return fail(reason, errno);
    return true;
}

}  // namespace safe_write_detail
