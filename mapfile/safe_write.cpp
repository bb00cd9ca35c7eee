#include "mapfile/safe_write.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "mapfile/safe_write_parts.h"

using namespace safe_write_detail;

namespace {

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
