// The VXL writer: turns the volume into 262,144 column records (record of column
// (x, y) is number y * 512 + x), colouring only voxels that touch air. The file
// holds the volume flipped into file orientation (z = 0 the top layer).
#pragma once

#include <cstdint>
#include <span>
#include <string>

/// Writes the volume, as the generator leaves it (z = 0 lowest), to path as a VXL
/// map in file orientation; the volume itself is not changed, so writing it again
/// gives the same file. The file is built in scratch where it fits (see
/// encode_vxl_map_fast). Returns true when the whole file was written and closed; otherwise false
/// with the system's reason in *reason, and a file that stood at path is untouched.
bool write_vxl_map(const char* path, std::string* reason, std::span<std::uint8_t> scratch = {});

/// write_vxl_map for a volume whose colours are finished x-row by x-row: calls
/// finish_row(x, context) for x = 0 to 511, each just before the records of x-row x are
/// encoded, so that its colours are still in the cache. solid_map must be final
/// before the call; finish_row must change nothing but color_map row x. Returns
/// as write_vxl_map does.
bool write_vxl_map_finishing_rows(const char* path, std::string* reason, std::span<std::uint8_t> scratch,
                                  void (*finish_row)(int x, void* context), void* context);
