// Writing a whole file so that a failure never costs the file that stood there:
// a regular file is replaced only once its successor is complete on disk.
#pragma once

#include <cstddef>
#include <string>

/// Writes size bytes from data to path.
/// - A path naming a regular file, or nothing yet, gets a temporary file in the same
///   directory that is written, flushed to disk, closed and only then renamed over
///   the target; on any failure the temporary file is removed and the target is left
///   as it was. A new file gets the bits a plain create gives (0666 less the umask),
///   a replaced file keeps its own permission bits (and, where allowed, its owner).
/// - A symbolic link is followed: the file it points to is replaced, the link stays.
/// - Anything else (a device such as /dev/null or /dev/full, a pipe, /dev/stdout and
///   other paths through /proc) is opened and written directly.
/// Returns true when every byte was written and the file closed; otherwise false with
/// the system's reason (strerror text) in *reason.
bool safe_write_file(const char* path, const void* data, std::size_t size, std::string* reason);
