#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "mapfile/safe_write_parts.h"

namespace safe_write_detail {
namespace {

constexpr int MAX_LINK_HOPS = 40;  // as the kernel's own limit on a path's links

/// Opens the directory dir_part (relative to from, or from "/" when absolute) one
/// component at a time, so that no path string passed to the system is longer
/// than one name. Returns the descriptor (O_PATH) or -1 with errno set.
int open_directory(int from, const std::string& dir_part) {
    std::size_t at = 0;
    owned_fd current;
    if (!dir_part.empty() && dir_part[0] == '/') {
        current.fd = open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
        at = 1;
    } else {
        current.fd = openat(from, ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    }
    if (current.fd < 0) return -1;
    while (at < dir_part.size()) {
        std::size_t slash = dir_part.find('/', at);
        if (slash == std::string::npos) slash = dir_part.size();
        const std::string component = dir_part.substr(at, slash - at);
        at = slash + 1;
        if (component.empty()) continue;  // "a//b"
        owned_fd next(openat(current.fd, component.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (next.fd < 0) return -1;
        current = std::move(next);
    }
    const int fd = current.fd;
    current.fd = -1;
    return fd;
}

}  // namespace

bool find_target(const char* path, write_target* target) {
    std::string rest = path;
    owned_fd base_dir(openat(AT_FDCWD, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (base_dir.fd < 0) return false;
    for (int hop = 0; hop < MAX_LINK_HOPS; ++hop) {
        const std::size_t slash = rest.rfind('/');
        const std::string dir_part = slash == std::string::npos ? "" : slash == 0 ? "/" : rest.substr(0, slash);
        const std::string name = slash == std::string::npos ? rest : rest.substr(slash + 1);
        owned_fd dir(open_directory(base_dir.fd, dir_part));
        if (dir.fd < 0) return false;
        target->name = name;
        if (name.empty() || name == "." || name == "..") {
            target->kind = write_kind::direct;  // opening it names the fault
            target->dir = std::move(dir);
            return true;
        }
        struct statfs fs;
        if (fstatfs(dir.fd, &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC) {
            target->kind = write_kind::direct;
            target->dir = std::move(dir);
            return true;
        }
        struct stat st;
        if (fstatat(dir.fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            target->kind = errno == ENOENT ? write_kind::create : write_kind::direct;
            target->dir = std::move(dir);
            return true;
        }
        if (S_ISLNK(st.st_mode)) {
            std::vector<char> link(std::size_t(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
            const ssize_t n = readlinkat(dir.fd, name.c_str(), link.data(), link.size());
            if (n < 0 || std::size_t(n) >= link.size()) {
                target->kind = write_kind::direct;
                target->dir = std::move(dir);
                return true;
            }
            rest.assign(link.data(), std::size_t(n));
            base_dir = std::move(dir);  // a relative link counts from the link's directory
            continue;
        }
        target->kind = !S_ISREG(st.st_mode) ? write_kind::direct
                       : st.st_nlink > 1    ? write_kind::in_place
                                            : write_kind::replace;
        target->st = st;
        target->dir = std::move(dir);
        return true;
    }
    errno = ELOOP;
    return false;
}

}  // namespace safe_write_detail
