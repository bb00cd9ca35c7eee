#include "mapfile/read_file.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

/// Reads beyond what is asked for come in pieces of this size at most, so a reader
/// that stops early has read little more than it used.
constexpr std::size_t READ_AHEAD = std::size_t{256} << 10;
/// The piece used to count what a stream holds after the part that is kept.
constexpr std::size_t DROP_PIECE = std::size_t{64} << 10;

bool fail(std::string* reason, const char* why) {
    if (reason) *reason = why;
    return false;
}

bool fail_errno(std::string* reason, int error) { return fail(reason, std::strerror(error)); }

/// read() that waits on a descriptor someone else made non-blocking (standard
/// input is shared with the caller's shell) and carries on after signals.
ssize_t read_some(int fd, void* into, std::size_t size) {
    for (;;) {
        const ssize_t n = read(fd, into, size);
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return -1;
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, -1) < 0 && errno != EINTR) return -1;
    }
}

/// The type test, on what the path names or the descriptor holds.
bool refuse_type(const struct stat& st, bool standard_input, std::string* reason) {
    if (S_ISREG(st.st_mode)) return false;
    if (standard_input && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))) return false;
    if (S_ISDIR(st.st_mode)) fail_errno(reason, EISDIR);
    else fail(reason, standard_input ? "not a regular file or a pipe" : "not a regular file");
    return true;
}

}  // namespace

input_file::~input_file() {
    if (owned && fd >= 0) close(fd);
}

bool open_input_file(const char* path, std::size_t capacity, input_file* in, std::string* reason) {
    const bool standard_input = std::strcmp(path, "-") == 0;
    struct stat st;
    if (standard_input) {
        in->fd = STDIN_FILENO;
        in->owned = false;
    } else {
        // A first look by name keeps devices and FIFOs from being opened at all;
        // the descriptor is checked again below, since the name may change hands.
        if (stat(path, &st) != 0) return fail_errno(reason, errno);
        if (refuse_type(st, false, reason)) return false;
        // Opening a FIFO without a writer, or a device, must not block, and a
        // terminal must not become the controlling one.
        in->fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (in->fd < 0) return fail_errno(reason, errno);
        in->owned = true;
    }
    if (fstat(in->fd, &st) != 0) return fail_errno(reason, errno);
    if (refuse_type(st, standard_input, reason)) return false;
    in->regular = S_ISREG(st.st_mode);
    if (!standard_input) {
        const int flags = fcntl(in->fd, F_GETFL);
        if (flags < 0 || fcntl(in->fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return fail_errno(reason, errno);
    }
    if (in->regular) {
        const off_t at = lseek(in->fd, 0, SEEK_CUR);
        in->start = at > 0 ? std::uint64_t(at) : 0;
        // No more room than the file has bytes (a file that grows meanwhile is
        // read as far as it reached at this point).
        const std::uint64_t size = std::uint64_t(st.st_size) > in->start ? std::uint64_t(st.st_size) - in->start : 0;
        if (size < capacity) capacity = std::size_t(size);
    }
    in->bytes = reserve_file_buffer(capacity);
    if (!in->bytes && capacity > 0) return fail_errno(reason, ENOMEM);
    in->capacity = capacity;
    in->length = 0;
    in->ended = false;
    return true;
}

bool fill_input_file(input_file& in, std::size_t want, std::string* reason) {
    if (want > in.capacity) want = in.capacity;
    while (in.length < want && !in.ended) {
        std::size_t piece = want - in.length;
        if (piece < READ_AHEAD) piece = READ_AHEAD;
        if (piece > in.capacity - in.length) piece = in.capacity - in.length;
        const ssize_t n = read_some(in.fd, in.bytes.get() + in.length, piece);
        if (n < 0) return fail_errno(reason, errno);
        if (n == 0) in.ended = true;
        in.length += std::size_t(n);
    }
    return true;
}

bool measure_input_file(input_file& in, std::uint64_t stop_after, std::uint64_t* size, std::string* reason) {
    if (in.regular) {
        struct stat st;
        if (fstat(in.fd, &st) != 0) return fail_errno(reason, errno);
        const std::uint64_t total = std::uint64_t(st.st_size) > in.start ? std::uint64_t(st.st_size) - in.start : 0;
        *size = total > in.length ? total : in.length;
        return true;
    }
    std::uint64_t total = in.length;
    unsigned char dropped[DROP_PIECE];
    while (!in.ended && total <= stop_after) {
        const ssize_t n = read_some(in.fd, dropped, sizeof dropped);
        if (n < 0) return fail_errno(reason, errno);
        if (n == 0) in.ended = true;
        total += std::uint64_t(n);
    }
    *size = total > stop_after ? stop_after + 1 : total;
    return true;
}
