// Whole-file reading for the map loader: one file, opened by its path exactly as
// given and read as raw bytes, into one buffer that the caller owns. A file that
// cannot be read whole is an error with the system's reason, never an empty map.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

/// Reads the regular file at path whole. On success returns a buffer of *length + 2
/// bytes: the file's contents followed by two zero bytes, which *length does not
/// count. On failure (the file cannot be opened, is a directory or not a regular
/// file, cannot be read whole, or does not fit in memory) returns null, sets
/// *length to 0 and puts the system's reason into *reason.
std::unique_ptr<std::uint8_t[]> read_whole_file(const char* path, std::size_t* length, std::string* reason);
