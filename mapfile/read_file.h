// Reading files that come from strangers. Only a regular file is read, or standard
// input ("-"), which may also be a pipe: a FIFO, a device or a directory is refused
// before a byte is read, and opening never blocks or makes a terminal the
// controlling one. Bytes are read only as far as the reader asks, into memory
// reserved up to a limit that the reader sets; what lies beyond is counted, from
// the file's size or by reading it in small pieces and dropping them, never kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "mapfile/file_buffer.h"

/// An open input and what has been read of it.
struct input_file {
    int fd = -1;
    bool owned = false;       // the descriptor is closed with the input (not standard input's)
    bool regular = false;     // a regular file: its size comes from fstat
    std::uint64_t start = 0;  // where reading began (standard input may have been read from already)
    file_buffer bytes{nullptr, {0, 0}};  // what has been read, from start on
    std::size_t capacity = 0;  // room reserved in bytes
    std::size_t length = 0;    // bytes read into bytes
    bool ended = false;        // the input has nothing after length

    input_file() = default;
    input_file(const input_file&) = delete;
    input_file& operator=(const input_file&) = delete;
    ~input_file();
};

/// Opens path for reading, "-" meaning standard input, with room for up to
/// capacity bytes (no more than a regular file holds). Returns false with the reason in *reason when the path cannot be
/// opened (the system's reason), is a directory ("Is a directory") or is anything
/// but a regular file ("not a regular file"; on standard input a pipe or socket is
/// allowed too, and the reason for a device is "not a regular file or a pipe").
bool open_input_file(const char* path, std::size_t capacity, input_file* in, std::string* reason);

/// Reads on until at least want bytes are in, the input ends or capacity is
/// reached, in reads of a few hundred KiB at most beyond want. Returns false with
/// the system's reason on a read error.
bool fill_input_file(input_file& in, std::size_t want, std::string* reason);

/// Finds the input's size from where reading began: from fstat for a regular file
/// (never less than what was read), otherwise by reading the rest in small pieces
/// and dropping them. A stream is read no further than stop_after bytes: *size is
/// then stop_after + 1, whatever follows. Returns false with the system's reason
/// on a read error.
bool measure_input_file(input_file& in, std::uint64_t stop_after, std::uint64_t* size, std::string* reason);
