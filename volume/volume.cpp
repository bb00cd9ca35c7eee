#include "volume/volume.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstring>
#include <new>

#include "platform/huge_page.h"

namespace {

// The arrays are carved from one anonymous mapping made at start-up: its pages
// are zero until first written, so an untouched array costs no memory. The
// mapping is aligned to 2 MiB and asks for transparent huge pages: first-touch
// page faults on 84 MiB of 4 KiB pages cost more than generating the terrain.
constexpr std::size_t SOLID_BYTES = VOXEL_COUNT;
constexpr std::size_t COLOR_BYTES = VOXEL_COUNT * 4;
constexpr std::size_t FIELD_BYTES = COLUMN_COUNT * 4;
constexpr std::size_t TOTAL_BYTES = SOLID_BYTES + COLOR_BYTES + 4 * FIELD_BYTES;

unsigned char* volume_storage() {
    static unsigned char* base = [] {
        void* p = mmap(nullptr, TOTAL_BYTES + HUGE_PAGE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        auto aligned = (reinterpret_cast<std::uintptr_t>(p) + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
        auto* start = reinterpret_cast<unsigned char*>(aligned);
        madvise(start, TOTAL_BYTES, MADV_HUGEPAGE);  // a hint: without it the arrays still work
        return start;
    }();
    return base;
}

}  // namespace

std::uint32_t* const color_map = reinterpret_cast<std::uint32_t*>(volume_storage());
std::uint8_t* const solid_map = volume_storage() + COLOR_BYTES;
// The planar fields lie one after another, noise_field_b right after noise_field_a.
float* const height_field = reinterpret_cast<float*>(volume_storage() + COLOR_BYTES + SOLID_BYTES);
float* const noise_field_a = reinterpret_cast<float*>(volume_storage() + COLOR_BYTES + SOLID_BYTES + FIELD_BYTES);
float* const noise_field_b = reinterpret_cast<float*>(volume_storage() + COLOR_BYTES + SOLID_BYTES + 2 * FIELD_BYTES);
std::int32_t* const column_height =
    reinterpret_cast<std::int32_t*>(volume_storage() + COLOR_BYTES + SOLID_BYTES + 3 * FIELD_BYTES);

std::int32_t debug_regions = 0;

std::span<std::uint8_t> work_field_storage() {
    return {reinterpret_cast<std::uint8_t*>(noise_field_a), 2 * FIELD_BYTES};
}

void set_solid(int x, int y, int z, std::uint8_t value) { solid_map[voxel_index(x, y, z)] = value; }

void set_color(int x, int y, int z, std::uint32_t colour) { color_map[voxel_index(x, y, z)] = colour; }

void clear_volume() {
    // Hand the pages back rather than writing 84 MiB of zeros: the next touch
    // maps fresh zero pages, exactly the state at program start.
    if (madvise(volume_storage(), TOTAL_BYTES, MADV_DONTNEED) != 0)
        std::memset(volume_storage(), 0, TOTAL_BYTES);
    madvise(volume_storage(), TOTAL_BYTES, MADV_HUGEPAGE);
    debug_regions = 0;
}
