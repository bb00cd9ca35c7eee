#include "mapfile/safe_write.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <vector>

namespace {

// ---- results

bool fail(std::string* reason, int error, const char* what = nullptr) {
    if (reason) *reason = what ? std::string(what) + ": " + std::strerror(error) : std::strerror(error);
    return false;
}

/// A descriptor closed when it goes out of scope.
struct owned_fd {
    int fd = -1;
    owned_fd() = default;
    explicit owned_fd(int f) : fd(f) {}
    owned_fd(const owned_fd&) = delete;
    owned_fd(owned_fd&& other) noexcept : fd(other.fd) { other.fd = -1; }
    owned_fd& operator=(owned_fd&& other) noexcept {
        if (this != &other) {
            if (fd >= 0) close(fd);
            fd = other.fd;
            other.fd = -1;
        }
        return *this;
    }
    ~owned_fd() {
        if (fd >= 0) close(fd);
    }
};

// ---- finding the file a path names

constexpr int MAX_LINK_HOPS = 40;  // as the kernel's own limit on a path's links

/// How a path is to be written.
enum class write_kind {
    direct,    // open and write in place: devices, pipes, /proc links, what is not a file
    create,    // no file there yet
    replace,   // a regular file with one name
    in_place,  // a regular file with more than one hard link
};

struct write_target {
    write_kind kind = write_kind::direct;
    owned_fd dir;       // the directory the file is in (or is to be in)
    std::string name;   // its name there; empty for a path that names no entry ("a/", "")
    struct stat st {};  // the file, for replace and in_place
};

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

/// Resolves path to what is to be written. Links of the last component are
/// followed to the file they name, so that the link survives; paths through /proc
/// (/dev/stdout, /dev/fd/N) name an open channel, not a file to replace. Returns
/// false with errno set when a directory on the way cannot be opened.
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

// ---- writing

/// Writes everything, carrying on after short writes; false with errno set.
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

bool write_directly(const write_target& target, const char* path, const void* data, std::size_t size,
                    std::string* reason) {
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_CLOEXEC;
    owned_fd fd(target.name.empty() ? open(path, flags, 0666) : openat(target.dir.fd, target.name.c_str(), flags, 0666));
    if (fd.fd < 0) return fail(reason, errno);
    if (!write_all(fd.fd, static_cast<const unsigned char*>(data), size)) return fail(reason, errno);
    const int closing = close(fd.fd);
    fd.fd = -1;
    if (closing != 0) return fail(reason, errno);
    return true;
}

/// false with errno EFBIG when size passes the process's file size limit, which
/// would otherwise stop a write part way.
bool within_size_limit(std::size_t size) {
    rlimit limit;
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && size > limit.rlim_cur) {
        errno = EFBIG;
        return false;
    }
    return true;
}

// A file with several names is written in place, so that all of them keep
// showing one file. Room for the new size is reserved first (where the file
// system can), so a full disk, a quota or the size limit refuse before the
// first byte changes.
bool write_in_place(const write_target& target, const void* data, std::size_t size, std::string* reason) {
    owned_fd fd(openat(target.dir.fd, target.name.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    if (fd.fd < 0) return fail(reason, errno);
    struct stat st;
    if (fstat(fd.fd, &st) != 0) return fail(reason, errno);
    if (st.st_dev != target.st.st_dev || st.st_ino != target.st.st_ino) return fail(reason, EAGAIN);
    if (!within_size_limit(size)) return fail(reason, errno);
    if (size > 0 && fallocate(fd.fd, 0, 0, off_t(size)) != 0 && errno != EOPNOTSUPP && errno != ENOSYS)
        return fail(reason, errno);
    if (!write_all(fd.fd, static_cast<const unsigned char*>(data), size)) return fail(reason, errno);
    if (ftruncate(fd.fd, off_t(size)) != 0 || fsync(fd.fd) != 0) return fail(reason, errno);
    const int closing = close(fd.fd);
    fd.fd = -1;
    if (closing != 0) return fail(reason, errno);
    return true;
}

// ---- the named temporary file and the signals that must not leave it behind

// While a named temporary file exists, pending_name holds its name in the
// directory pending_dir. Both are set and cleared with the signals below blocked,
// and only read by the handler.
volatile sig_atomic_t pending_active = 0;
int pending_dir = -1;
char pending_name[NAME_MAX + 1];

constexpr int CLEANUP_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previous_actions[3];
bool handler_installed[3];

extern "C" void remove_temporary_and_resignal(int signal_number) {
    if (pending_active) unlinkat(pending_dir, pending_name, 0);
    pending_active = 0;
    for (int i = 0; i < 3; ++i)
        if (CLEANUP_SIGNALS[i] == signal_number) sigaction(signal_number, &previous_actions[i], nullptr);
    // Delivered again once the handler returns, now with its usual effect.
    raise(signal_number);
}

void block_cleanup_signals(sigset_t* old) {
    sigset_t set;
    sigemptyset(&set);
    for (int s : CLEANUP_SIGNALS) sigaddset(&set, s);
    sigprocmask(SIG_BLOCK, &set, old);
}

/// Makes SIGINT, SIGTERM and SIGHUP remove the temporary file before they end the
/// process; a signal that is ignored or handled by the program is left alone.
struct cleanup_on_signals {
    cleanup_on_signals() {
        for (int i = 0; i < 3; ++i) {
            handler_installed[i] = false;
            if (sigaction(CLEANUP_SIGNALS[i], nullptr, &previous_actions[i]) != 0) continue;
            if (previous_actions[i].sa_handler != SIG_DFL || (previous_actions[i].sa_flags & SA_SIGINFO)) continue;
            struct sigaction ours {};
            ours.sa_handler = remove_temporary_and_resignal;
            sigemptyset(&ours.sa_mask);
            for (int s : CLEANUP_SIGNALS) sigaddset(&ours.sa_mask, s);
            handler_installed[i] = sigaction(CLEANUP_SIGNALS[i], &ours, nullptr) == 0;
        }
    }
    ~cleanup_on_signals() {
        for (int i = 0; i < 3; ++i)
            if (handler_installed[i]) sigaction(CLEANUP_SIGNALS[i], &previous_actions[i], nullptr);
    }
};

/// Gives the unnamed file fd the name name in dir: through /proc, which any caller
/// may use, or else directly, which needs privileges.
bool link_unnamed(int fd, int dir, const char* name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, self.c_str(), dir, name, AT_SYMLINK_FOLLOW) == 0) return true;
    if (errno != ENOENT) return false;
    return linkat(fd, "", dir, name, AT_EMPTY_PATH) == 0;
}

/// Creates (or, with fd >= 0, links in) a file under a fresh hidden name beside
/// target and registers it for removal on a signal. Returns the new descriptor
/// (or fd) with the name in *temp, or -1 with errno set.
int make_named_temporary(const write_target& target, int fd, std::string* temp) {
    std::string base = target.name;
    if (base.size() > 200) base.resize(200);  // room for the suffix within NAME_MAX
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temp = "." + base + "." + std::to_string(getpid()) + "-" + std::to_string(attempt) + ".tmp";
        sigset_t old;
        block_cleanup_signals(&old);
        int made = -1;
        if (fd < 0) {
            made = openat(target.dir.fd, temp->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        } else if (link_unnamed(fd, target.dir.fd, temp->c_str())) {
            made = fd;
        }
        const int error = errno;
        if (made >= 0) {
            pending_dir = target.dir.fd;
            std::memcpy(pending_name, temp->c_str(), temp->size() + 1);
            pending_active = 1;
        }
        sigprocmask(SIG_SETMASK, &old, nullptr);
        if (made >= 0 || error != EEXIST) {
            errno = error;
            return made;
        }
    }
    return -1;  // errno is EEXIST
}

/// Removes the named temporary file (when unlink is set) and forgets it.
void drop_named_temporary(const write_target& target, const std::string& temp, bool unlink) {
    sigset_t old;
    block_cleanup_signals(&old);
    if (unlink) unlinkat(target.dir.fd, temp.c_str(), 0);
    pending_active = 0;
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

// ---- what a replaced file keeps

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

/// Gives the new file (fd) the owner, group, extended attributes (its ACL among
/// them) and permission bits of the file it replaces. Only the owner and
/// attributes of the security and trusted classes may be refused: a caller
/// without privileges cannot set them, and the new file has the owner and
/// security label its creator and directory give it.
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

// ---- replacing

/// Why creating or renaming in the directory failed: the directory's own refusal
/// is named as such.
bool fail_in_directory(std::string* reason, int error, const char* what) {
    if (error == EACCES || error == EPERM) return fail(reason, error, what);
    return fail(reason, error);
}

bool replace_file(write_target& target, const void* data, std::size_t size, std::string* reason,
                  const safe_write_options& options) {
    // A file the caller may not write is not replaced either, as a plain open
    // would refuse it.
    if (target.kind == write_kind::replace && faccessat(target.dir.fd, target.name.c_str(), W_OK, AT_EACCESS) != 0)
        return fail(reason, errno);

    const cleanup_on_signals cleanup;
    // The directory opened for reading, to flush it at the end (fsync takes no
    // O_PATH descriptor); a directory that may be searched but not read cannot be.
    owned_fd dir_open(openat(target.dir.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    owned_fd fd;
    std::string temp;
    bool named = false;
    if (options.unnamed_temporary) fd.fd = openat(target.dir.fd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    // File systems without unnamed files say so in one of these ways.
    if (fd.fd < 0 && (!options.unnamed_temporary || errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL ||
                      errno == ENOENT)) {
        fd.fd = make_named_temporary(target, -1, &temp);
        named = fd.fd >= 0;
    }
    if (fd.fd < 0) return fail_in_directory(reason, errno, "its directory does not allow new files");
    if (named && options.on_named_temporary) options.on_named_temporary();

    bool ok = target.kind != write_kind::replace || copy_attributes(target, fd.fd, reason);
    int error = 0;
    if (ok && (!write_all(fd.fd, static_cast<const unsigned char*>(data), size) || fsync(fd.fd) != 0)) {
        ok = false;
        error = errno;
    }

    // Into place: an unnamed file that creates the target is linked under its
    // name; one that replaces the target is linked under a temporary name first,
    // since a link never replaces.
    const char* refusal = nullptr;
    if (ok && !named) {
        if (target.kind == write_kind::create && link_unnamed(fd.fd, target.dir.fd, target.name.c_str())) {
            // in place
        } else if (target.kind == write_kind::create && errno != EEXIST) {
            ok = false;
            error = errno;
            refusal = "its directory does not allow new files";
        } else if (make_named_temporary(target, fd.fd, &temp) < 0) {
            ok = false;
            error = errno;
            refusal = "its directory does not allow new files";
        } else {
            named = true;
            if (options.on_named_temporary) options.on_named_temporary();
        }
    }
    if (ok && named) {
        if (renameat(target.dir.fd, temp.c_str(), target.dir.fd, target.name.c_str()) != 0) {
            ok = false;
            error = errno;
            refusal = "its directory does not allow replacing it";
        } else {
            drop_named_temporary(target, temp, false);
            named = false;
        }
    }
    const int closing = close(fd.fd);
    fd.fd = -1;
    if (ok && closing != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        if (named) drop_named_temporary(target, temp, true);
        if (error == 0) return false;  // copy_attributes gave the reason
        return refusal ? fail_in_directory(reason, error, refusal) : fail(reason, error);
    }

    // The new entry must reach the disk as well; a directory that cannot be opened
    // for reading cannot be flushed and is left to the system.
    if (dir_open.fd >= 0 && (options.sync_directory ? options.sync_directory : fsync)(dir_open.fd) != 0)
        return fail(reason, errno, "written, but its directory could not be flushed to disk");
    return true;
}

}  // namespace

bool safe_write_file(const char* path, const void* data, std::size_t size, std::string* reason,
                     const safe_write_options& options) {
    write_target target;
    if (!find_target(path, &target)) return fail(reason, errno);
    switch (target.kind) {
        case write_kind::direct: return write_directly(target, path, data, size, reason);
        case write_kind::in_place: return write_in_place(target, data, size, reason);
        case write_kind::create:
        case write_kind::replace: return replace_file(target, data, size, reason, options);
    }
    return fail(reason, EINVAL);
}

bool safe_write_file(const char* path, const void* data, std::size_t size, std::string* reason) {
    return safe_write_file(path, data, size, reason, safe_write_options{});
}

bool names_standard_output(const char* path) {
    struct stat out, named;
    if (fstat(STDOUT_FILENO, &out) != 0 || stat(path, &named) != 0) return false;
    return out.st_dev == named.st_dev && out.st_ino == named.st_ino;
}
