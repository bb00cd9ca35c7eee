#include "library/vxl_map.h"

#include <mutex>
#include <new>

#include "mapfile/vxl_fast_encoder.h"
#include "numerics/rng.h"
#include "terrain/map.h"
#include "volume/volume.h"

// For now the map is made in the process-wide volume, one call at a time.
std::vector<std::uint8_t> make_vxl_map(std::int32_t seed, bool start_regions) {
    static std::mutex volume_in_use;
    const std::lock_guard<std::mutex> lock(volume_in_use);
    clear_volume();
    debug_regions = start_regions ? 1 : 0;
    rng_seed(static_cast<std::uint32_t>(seed));
    generate_map();
    const vxl_file_image image = encode_vxl_map_fast();
    if (!image.bytes) throw std::bad_alloc();
    std::vector<std::uint8_t> bytes(image.bytes.get(), image.bytes.get() + image.size);
    clear_volume();
    return bytes;
}
