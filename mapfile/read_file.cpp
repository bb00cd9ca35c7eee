#include "mapfile/read_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

namespace {

/// Closes the stream when the reader leaves, whichever way it leaves.
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

std::unique_ptr<std::uint8_t[]> fail(std::size_t* length, std::string* reason, const char* why) {
    *length = 0;
    if (reason) *reason = why;
    return nullptr;
}

}  // namespace

std::unique_ptr<std::uint8_t[]> read_whole_file(const char* path, std::size_t* length, std::string* reason) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "rb"));
    if (!file) return fail(length, reason, std::strerror(errno));

    // A directory opens fine for reading on this platform and only fails at the
    // first read; a pipe or device has no length to size the buffer by.
    struct stat st;
    if (fstat(fileno(file.get()), &st) != 0) return fail(length, reason, std::strerror(errno));
    if (S_ISDIR(st.st_mode)) return fail(length, reason, std::strerror(EISDIR));
    if (!S_ISREG(st.st_mode)) return fail(length, reason, "not a regular file");
    if (std::uintmax_t(st.st_size) > std::numeric_limits<std::size_t>::max() - 2)
        return fail(length, reason, std::strerror(EFBIG));
    const std::size_t size = std::size_t(st.st_size);

    std::unique_ptr<std::uint8_t[]> buffer(new (std::nothrow) std::uint8_t[size + 2]);
    if (!buffer) return fail(length, reason, std::strerror(ENOMEM));
    errno = 0;
    const std::size_t got = size ? std::fread(buffer.get(), 1, size, file.get()) : 0;
    if (got != size) {
        if (std::ferror(file.get())) return fail(length, reason, std::strerror(errno ? errno : EIO));
        return fail(length, reason, "file became shorter while it was read");
    }
    buffer[size] = 0;
    buffer[size + 1] = 0;
    *length = size;
    return buffer;
}
