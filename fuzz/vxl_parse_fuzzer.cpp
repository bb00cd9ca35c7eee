// Feeds arbitrary bytes to the VXL loader. Under the sanitizers any read outside
// the image or write outside the volume ends the run; on top of that the loader's
// own promises are checked: a rejected image names where it failed and leaves the
// volume alone, an accepted one accounts for every byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "mapfile/vxl_format.h"
#include "mapfile/vxl_loader.h"
#include "volume/volume.h"

namespace {

// A few voxels spread over the volume stand for all of it: a rejected image must
// not change them. They are set to values no image would leave there.
constexpr std::size_t WATCHED[] = {0, 63, 64, 32767, 32768, 8388608, 16777215};
constexpr std::uint8_t SOLID_MARK = 7;
constexpr std::uint32_t COLOUR_MARK = 0xDEC0ADDE;

void mark_watched() {
    for (std::size_t i : WATCHED) {
        solid_map[i] = SOLID_MARK;
        color_map[i] = COLOUR_MARK;
    }
}

bool watched_untouched() {
    for (std::size_t i : WATCHED)
        if (solid_map[i] != SOLID_MARK || color_map[i] != COLOUR_MARK) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    mark_watched();
    const vxl_load_result result = parse_vxl_map(data, size);
    if (!result.ok) {
        if (!result.placed || result.reason != vxl_fault_text(result.fault) || result.fault.offset > size ||
            result.fault.record >= VXL_RECORD_COUNT || !watched_untouched())
            std::abort();
        return 0;
    }
    // No column holds more than 64 spans, and no record more than the longest
    // a column can need.
    if (result.record_bytes + result.trailing_bytes != size || result.record_bytes < VXL_AIR_MAP_BYTES ||
        result.record_bytes > VXL_MAX_RECORDS_BYTES || result.spans < VXL_RECORD_COUNT ||
        result.spans > VXL_COLUMN_DEPTH * VXL_RECORD_COUNT || result.coloured_voxels > result.solid_voxels)
        std::abort();
    return 0;
}
