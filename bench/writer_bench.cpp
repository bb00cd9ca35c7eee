// Speed of the VXL writer: the plain encoder (flip_volume, then is_exposed for
// every voxel it looks at) against the fast one (column masks read in generator
// orientation, one buffer), on the map of seed 1; and the two flips alone.
#include <benchmark/benchmark.h>

#include <vector>

#include "mapfile/vxl_fast_encoder.h"
#include "mapfile/vxl_fast_encoder_reference.h"
#include "mapfile/vxl_writer.h"
#include "mapfile/vxl_writer_reference.h"
#include "numerics/rng.h"
#include "terrain/map.h"
#include "volume/volume.h"

namespace {

// The map of seed 1, as the run writes it. The writer's cost depends on how many
// voxels are exposed; a generated map has the mix the run meets.
void build_terrain() {
    clear_volume();
    rng_seed(1);
    generate_map();
}

struct terrain_fixture {
    terrain_fixture() { build_terrain(); }
};

void ensure_terrain() { static terrain_fixture once; }

// The plain writer leaves the volume in file orientation; it is turned back untimed.
void BM_PlainWriter(benchmark::State& state) {
    ensure_terrain();
    std::size_t size = 0;
    // One buffer for all rounds, so that its page faults are not counted against
    // the plain encoder (the fast one gets a fresh buffer each time, as in a run).
    std::vector<std::uint8_t> out;
    for (auto _ : state) {
        flip_volume();
        out.clear();
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
        const vxl_file_image image = encode_vxl_map_fast();
        size = image.size;
        benchmark::DoNotOptimize(image.bytes.get());
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
