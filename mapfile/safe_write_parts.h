// The parts of safe_write_file, shared by its files and by nothing else:
// finding what a path names (safe_write_target.cpp), the named temporary file and
// the signals that must not leave it behind (safe_write_temporary.cpp), what a
// replaced file keeps (safe_write_attributes.cpp), and writing and replacing
// (safe_write.cpp).
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace safe_write_detail {

// ---- results

/// false, with the system's text for error (after what, when given) in *reason
inline bool fail(std::string* reason, int error, const char* what = nullptr) {
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

/// Resolves path to what is to be written. Links of the last component are
/// followed to the file they name, so that the link survives; paths through /proc
/// (/dev/stdout, /dev/fd/N) name an open channel, not a file to replace. Returns
/// false with errno set when a directory on the way cannot be opened.
bool find_target(const char* path, write_target* target);

// ---- the named temporary file

/// Makes SIGINT, SIGTERM and SIGHUP remove the temporary file before they end the
/// process, while it lives; a signal that is ignored or handled by the program is
/// left alone.
struct cleanup_on_signals {
    cleanup_on_signals();
    ~cleanup_on_signals();
};

/// Gives the unnamed file fd the name name in dir: through /proc, which any caller
/// may use, or else directly, which needs privileges.
bool link_unnamed(int fd, int dir, const char* name);

/// Creates (or, with fd >= 0, links in) a file under a fresh hidden name beside
/// target and registers it for removal on a signal. Returns the new descriptor
/// (or fd) with the name in *temp, or -1 with errno set.
int make_named_temporary(const write_target& target, int fd, std::string* temp);

/// Removes the named temporary file (when unlink is set) and forgets it.
void drop_named_temporary(const write_target& target, const std::string& temp, bool unlink);

// ---- what a replaced file keeps

/// Gives the new file (fd) the owner, group, extended attributes (its ACL among
/// them) and permission bits of the file it replaces. Only the owner and
/// attributes of the security and trusted classes may be refused: a caller
/// without privileges cannot set them, and the new file has the owner and
/// security label its creator and directory give it.
bool copy_attributes(const write_target& target, int fd, std::string* reason);

}  // namespace safe_write_detail
