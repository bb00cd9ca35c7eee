// Writing a whole file so that a failure never costs the file that stood there,
// nor its rights: a regular file is replaced only once its successor is complete
// on disk, and the successor keeps what the old file had.
#pragma once

#include <cstddef>
#include <string>

/// Writes size bytes from data to path.
/// - A path naming a regular file, or nothing yet, gets a new file in the same
///   directory that is written, flushed to disk and only then put in the target's
///   place. The new file is created unnamed where the file system allows that, so
///   no interruption, not even SIGKILL, leaves a temporary file behind; elsewhere
///   it has a hidden name until it is renamed, and SIGINT, SIGTERM and SIGHUP
///   remove it before they end the process. On any failure the target is left as
///   it was.
/// - A new file gets what a plain create gives (0666 less the umask, the
///   directory's default ACL); a replaced file keeps its permission bits, its
///   extended attributes and ACL, and where allowed its owner and group.
/// - A file the caller may not write is refused as a plain open refuses it
///   ("Permission denied"); when it is the directory that refuses, the reason
///   says so.
/// - A regular file with more than one hard link is written in place, so that
///   every name still shows the same file: the room is reserved and the size
///   limit checked before its first byte changes, but a crash or an I/O error part
///   way leaves it part old, part new.
/// - A symbolic link is followed: the file it points to is written, the link stays.
/// - Anything else (a device such as /dev/null or /dev/full, a pipe, /dev/stdout
///   and other paths through /proc) is opened and written directly.
/// The path is walked one directory at a time, so it may be longer than PATH_MAX.
/// Returns true when every byte was written and is on disk, with the directory
/// entry; otherwise false with the reason (the system's strerror text, maybe with
/// what refused) in *reason. A failure to flush the directory is reported too,
/// although the new file is then in place.
bool safe_write_file(const char* path, const void* data, std::size_t size, std::string* reason);

/// Ways into the writer's rarer paths, for tests.
struct safe_write_options {
    bool unnamed_temporary = true;           // false: always use a named temporary file
    void (*on_named_temporary)() = nullptr;  // called once a named temporary file exists
    int (*sync_directory)(int fd) = nullptr;  // in place of fsync for the directory
};

/// safe_write_file with options.
bool safe_write_file(const char* path, const void* data, std::size_t size, std::string* reason,
                     const safe_write_options& options);

/// True when path names the file that standard output writes to: /dev/stdout,
/// /proc/self/fd/1, or the very file or pipe standard output was redirected to.
/// Data written there would mix with what the program prints on standard output.
bool names_standard_output(const char* path);
