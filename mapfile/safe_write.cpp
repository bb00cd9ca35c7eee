#include "mapfile/safe_write.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// How a path is to be written, and which file that really is.
struct write_target {
    bool direct;       // open and write in place (devices, pipes, /proc links)
    std::string path;  // for a replacement: the file to replace, links resolved
};

constexpr int MAX_LINK_HOPS = 40;  // as the kernel's own limit on a path's links

bool fail(std::string* reason, int error) {
    if (reason) *reason = std::strerror(error);
    return false;
}

struct split {
    std::string dir, base;
};

// Splits "a/b/c" into "a/b" and "c"; a path without a slash lives in ".".
split split_path(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return {std::string("."), path};
    return {slash == 0 ? std::string("/") : path.substr(0, slash), path.substr(slash + 1)};
}

bool starts_with_proc(const std::string& path) { return path == "/proc" || path.rfind("/proc/", 0) == 0; }

// Follows the links of the path's last component to the file they name, so that
// the link survives and its target is replaced. Paths through /proc (/dev/stdout,
// /dev/fd/N) name an open channel, not a file to replace: they are written directly,
// as are existing things that are not regular files. Problems that opening the path
// will report anyway (a missing directory, a loop) leave the path to be written
// directly, so the open call gives the reason.
write_target resolve_target(const char* given) {
    std::string path = given;
    for (int hop = 0; hop < MAX_LINK_HOPS; ++hop) {
        const auto [dir, base] = split_path(path);
        if (base.empty() || base == "." || base == "..") return {true, given};
        char real_dir[PATH_MAX];
        if (!realpath(dir.c_str(), real_dir)) return {true, given};
        if (starts_with_proc(real_dir)) return {true, given};
        path = std::string(real_dir) + (real_dir[1] ? "/" : "") + base;

        struct stat st;
        if (lstat(path.c_str(), &st) != 0) {
            if (errno == ENOENT) return {false, path};  // a new file, created by rename
            return {true, given};
        }
        if (S_ISREG(st.st_mode)) return {false, path};
        if (!S_ISLNK(st.st_mode)) return {true, given};

        char link[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), link, sizeof link - 1);
        if (n < 0) return {true, given};
        link[n] = '\0';
        path = link[0] == '/' ? std::string(link) : std::string(real_dir) + "/" + link;
    }
    return {true, given};  // too many links: open reports ELOOP
}

// Writes everything, carrying on after short writes; false with errno set.
bool write_all(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const std::size_t chunk = size < (std::size_t{1} << 30) ? size : (std::size_t{1} << 30);
        const ssize_t n = write(fd, data, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

bool write_directly(const char* path, const void* data, std::size_t size, std::string* reason) {
    const int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return fail(reason, errno);
    if (!write_all(fd, static_cast<const unsigned char*>(data), size)) {
        const int error = errno;
        close(fd);
        return fail(reason, error);
    }
    if (close(fd) != 0) return fail(reason, errno);
    return true;
}

// Creates a fresh temporary file beside target. Mode 0666 goes through the umask
// (and a default ACL) exactly as a plain create of the target would.
int create_temporary(const std::string& target, std::string* temp_path) {
    auto [dir, base] = split_path(target);
    if (base.size() > 200) base.resize(200);  // room for the suffix within NAME_MAX
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temp_path = dir + "/." + base + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        const int fd = open(temp_path->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;  // errno is EEXIST
}

bool replace_file(const std::string& target, const void* data, std::size_t size, std::string* reason) {
    struct stat old;
    const bool exists = stat(target.c_str(), &old) == 0;

    std::string temp;
    const int fd = create_temporary(target, &temp);
    if (fd < 0) return fail(reason, errno);

    bool ok = true;
    if (exists) {
        // Best effort for the owner (only root may give a file away); the mode after
        // it, since a change of owner can clear set-id bits.
        if (fchown(fd, old.st_uid, old.st_gid) != 0) { /* keep ours */ }
        ok = fchmod(fd, old.st_mode & 07777) == 0;
    }
    ok = ok && write_all(fd, static_cast<const unsigned char*>(data), size);
    ok = ok && fsync(fd) == 0;
    int error = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (ok && rename(temp.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        unlink(temp.c_str());
        return fail(reason, error);
    }

    // Make the rename itself durable; the new file is complete either way.
    const int dir_fd = open(split_path(target).dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir_fd >= 0) {
        fsync(dir_fd);
        close(dir_fd);
    }
    return true;
}

}  // namespace

bool safe_write_file(const char* path, const void* data, std::size_t size, std::string* reason) {
    const write_target target = resolve_target(path);
    if (target.direct) return write_directly(path, data, size, reason);
    return replace_file(target.path, data, size, reason);
}
