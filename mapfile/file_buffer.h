// Memory for a whole file that is built in memory and then written with one call.
// It comes fresh from the system, as address space first and as memory only where
// it is used. First touches of pages cost more than filling them on some machines
// (virtual ones above all: some 25 microseconds a 4 KiB page on the machine this
// was measured on), so the used part is mapped in 2 MiB huge pages as far as it
// fills them, and the rest is mapped in one call rather than a fault at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

/// Gives the reservation back to the system; a buffer of mapping_bytes 0 is memory
/// lent by someone else and is left alone.
struct file_buffer_release {
    std::size_t mapping_bytes;  // the whole reservation
    std::size_t lead_bytes;     // from its start to the aligned buffer
    void operator()(std::uint8_t* data) const;
};

using file_buffer = std::unique_ptr<std::uint8_t[], file_buffer_release>;

/// Reserves room for up to capacity bytes, aligned to 2 MiB; no memory is used yet.
/// Empty when the system refuses the address space.
file_buffer reserve_file_buffer(std::size_t capacity);

/// Readies the first size bytes of a reserved buffer for writing: whole 2 MiB
/// stretches as huge pages where the system has them, and everything mapped at
/// once where it allows that. A hint only: the buffer works without it.
void ready_file_buffer(std::uint8_t* data, std::size_t size);
