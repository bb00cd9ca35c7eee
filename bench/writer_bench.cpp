// Speed of the VXL writer: the plain encoder (flip_volume, then is_exposed for
// every voxel it looks at) against the fast one (flip fused with column masks, one
// buffer), on the same terrain-like volume; and the two flips alone.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "mapfile/vxl_fast_encoder.h"
#include "mapfile/vxl_writer.h"
#include "terrain/volume.h"

namespace {

// A landscape in generator orientation like the ones the generator makes: rings of
// hills with a rough surface, every column solid from z = 0 up to its height, one
// colour per column. The writer's cost depends on how many voxels are exposed,
// and a height that changes by a few voxels between neighbours exposes a few per
// column, as real maps do.
void build_terrain() {
    clear_volume();
    for (int x = 0; x < MAP_SIZE; ++x)
        for (int y = 0; y < MAP_SIZE; ++y) {
            const double r = std::sqrt(double(x) * x + double(y) * y);
            const double rough = std::sin(x * 0.37 + y * 0.11) * std::cos(y * 0.29 - x * 0.05);
            const int height = int(24 + 12 * std::sin(r / 18) + 4 * rough);
            const std::uint32_t colour = 0x80000000u | std::uint32_t(height * 4) << 16 | std::uint32_t(x & 0xFF) << 8 |
                                         std::uint32_t(y & 0xFF);
            for (int z = 0; z < MAP_DEPTH; ++z) {
                solid_map[voxel_index(x, y, z)] = z <= height ? 1 : 0;
                color_map[voxel_index(x, y, z)] = colour;
            }
        }
}

struct terrain_fixture {
    terrain_fixture() { build_terrain(); }
};

void ensure_terrain() { static terrain_fixture once; }

// Both writers leave the volume in file orientation; it is turned back untimed.
void BM_PlainWriter(benchmark::State& state) {
    ensure_terrain();
    std::size_t size = 0;
    for (auto _ : state) {
        flip_volume();
        std::vector<std::uint8_t> out;
        out.reserve(VXL_MAX_COLUMN_BYTES * COLUMN_COUNT / 16);
        encode_vxl_map(out);
        size = out.size();
        benchmark::DoNotOptimize(out.data());
        state.PauseTiming();
        flip_volume_fast();
        state.ResumeTiming();
    }
    state.counters["file_bytes"] = double(size);
}
BENCHMARK(BM_PlainWriter)->Unit(benchmark::kMillisecond);

void BM_FastWriter(benchmark::State& state) {
    ensure_terrain();
    std::size_t size = 0;
    for (auto _ : state) {
        const vxl_file_image image = flip_and_encode_vxl_map();
        size = image.size;
        benchmark::DoNotOptimize(image.bytes.get());
        state.PauseTiming();
        flip_volume_fast();
        state.ResumeTiming();
    }
    state.counters["file_bytes"] = double(size);
}
BENCHMARK(BM_FastWriter)->Unit(benchmark::kMillisecond);

// A flip costs the same in either orientation; the volume is left as it was found.
void BM_PlainFlip(benchmark::State& state) {
    ensure_terrain();
    for (auto _ : state) {
        flip_volume();
        benchmark::ClobberMemory();
    }
    if (state.iterations() % 2 != 0) flip_volume_fast();  // back to generator orientation
}
BENCHMARK(BM_PlainFlip)->Unit(benchmark::kMillisecond);

void BM_FastFlip(benchmark::State& state) {
    ensure_terrain();
    for (auto _ : state) {
        flip_volume_fast();
        benchmark::ClobberMemory();
    }
    if (state.iterations() % 2 != 0) flip_volume_fast();  // back to generator orientation
}
BENCHMARK(BM_FastFlip)->Unit(benchmark::kMillisecond);

}  // namespace
