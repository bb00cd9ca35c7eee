// The fast VXL encoder: the same bytes as encode_vxl_column over is_exposed, from
// one 64-bit mask of solid voxels per column. A column's exposed voxels are its
// solid bits that miss a solid bit in one of the four side masks or just above or
// below; its spans then follow from bit scans. The whole map is encoded in the
// order the volume lies in memory, straight into one buffer of the file's exact
// size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "mapfile/file_buffer.h"
#include "mapfile/vxl_format.h"

/// A whole VXL file in memory, in memory of its own or in memory lent to the encoder.
struct vxl_file_image {
    file_buffer bytes;
    std::size_t size;
};

/// Bytes of the encoder's table of column tops: a byte per column, with a guard row
/// either side and 16 guard bytes either side of each row (so rows stay aligned).
constexpr std::size_t VXL_ROW_ENCODER_TABLE_BYTES = std::size_t{VXL_MAP_SIZE + 2} * (VXL_MAP_SIZE + 32);

/// The fast encoder in steps, for a caller that finishes the colours of the volume
/// x-row by x-row and has each row written while its colours are still in the
/// cache. The constructor reads solid_map, which must be final, and measures every
/// record; each write_next_row() then writes the records of the next x-row, from
/// x = 0 up, from its colours, which must be final by then; once all 512 rows are
/// written, take() gives the file. Scratch is used as encode_vxl_map_fast uses
/// it, and must outlive the file.
class vxl_row_encoder {
  public:
    explicit vxl_row_encoder(std::span<std::uint8_t> scratch = {});
    /// false when no memory was to be had for the tables or the file
    bool ready() const { return tops_ != nullptr && image_.bytes != nullptr; }
    /// x of the row write_next_row() writes next; 512 when all are written
    int next_row() const { return next_x_; }
    void write_next_row();
    vxl_file_image take();

  private:
    std::unique_ptr<std::uint8_t[]> own_tops_;
    std::uint8_t* tops_ = nullptr;
    int next_x_ = 0;
    std::size_t at_[VXL_MAP_SIZE];  // where the next record of each file row goes
    vxl_file_image image_{file_buffer(nullptr, {0, 0}), 0};
};

/// The file's bytes of the volume as the generator leaves it (z = 0 lowest):
/// exactly what flip_volume followed by encode_vxl_map gives, from two walks over
/// the volume in memory order, without changing it. The encoder's own tables and
/// the file go into scratch as far as they fit (its contents are overwritten, and
/// the file's bytes may lie in it); the rest comes fresh from the system. When no
/// memory is to be had for them, bytes is empty.
vxl_file_image encode_vxl_map_fast(std::span<std::uint8_t> scratch = {});
