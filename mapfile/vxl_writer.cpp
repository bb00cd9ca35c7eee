#include "mapfile/vxl_writer.h"

#include <cerrno>
#include <cstring>

#include "mapfile/safe_write.h"
#include "mapfile/vxl_fast_encoder.h"
#include "volume/volume.h"

// The run uses the fast encoder: the same bytes, read straight from the volume in
// generator orientation, with the file in one buffer that goes to the file as one
// write.
bool write_vxl_map(const char* path, std::string* reason, std::span<std::uint8_t> scratch) {
    const vxl_file_image image = encode_vxl_map_fast(scratch);
    if (!image.bytes) {
        if (reason) *reason = std::strerror(ENOMEM);
        return false;
    }
    return safe_write_file(path, image.bytes.get(), image.size, reason);
}

bool write_vxl_map_finishing_rows(const char* path, std::string* reason, std::span<std::uint8_t> scratch,
                                  void (*finish_row)(int x, void* context), void* context) {
    vxl_row_encoder encoder(scratch);
    if (!encoder.ready()) {
        if (reason) *reason = std::strerror(ENOMEM);
        return false;
    }
    while (encoder.next_row() < MAP_SIZE) {
        finish_row(encoder.next_row(), context);
        encoder.write_next_row();
    }
    const vxl_file_image image = encoder.take();
    return safe_write_file(path, image.bytes.get(), image.size, reason);
}
