// Speed of the terrain generator's own stages, each beside the plain version it
// replaces: the ring-profile heights, the solid columns and the colouring. The
// inputs are those of seed 1. Stages that write the big arrays run on pages that
// are already mapped, so first-touch faults are not part of these figures.
//
// Then whole maps as columns (generate_map_columns): one thread and two at once,
// in a reused workspace and in one allocated per map (which the allocator hands
// back still mapped), and in pages fresh from the system.
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <memory>
#include <vector>

#include "numerics/rng.h"
#include "platform/vector_path.h"
#include "terrain/map_columns.h"
#include "terrain/terrain.h"
#include "volume/volume.h"

namespace {

shape_params seed_one_params() {
    rng_seed(1);
    return draw_shape_params();
}

// Argument: the vector path, 0 baseline, 1 AVX2, 2 AVX-512 (reported as an error
// where the processor lacks it).
bool take_path(benchmark::State& state, vector_path& path) {
    constexpr vector_path paths[] = {vector_path::baseline, vector_path::avx2, vector_path::avx512};
    path = paths[state.range(0)];
    if (vector_path_supported(path)) return true;
    state.SkipWithError("this processor cannot run the path");
    return false;
}

void BM_ProfileHeights(benchmark::State& state) {
    const shape_params p = seed_one_params();
    vector_path path;
    if (!take_path(state, path)) return;
    for (auto _ : state) {
        fill_profile_heights_with(p, volume_terrain_fields(), path);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * COLUMN_COUNT);
}
BENCHMARK(BM_ProfileHeights)->ArgName("path")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_ProfileHeightsPlain(benchmark::State& state) {
    const shape_params p = seed_one_params();
    for (auto _ : state) {
        fill_profile_heights_plain(p, volume_terrain_fields());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * COLUMN_COUNT);
}
BENCHMARK(BM_ProfileHeightsPlain)->Unit(benchmark::kMillisecond);

// Seed 1's heights after both noise sets, and its column heights: the inputs the
// colouring meets in a run. The solid columns are made from the same heights.
void prepare_seed_one() {
    static bool done = false;
    if (done) return;
    rng_seed(1);
    generate_terrain();
    done = true;
}

void BM_SolidColumns(benchmark::State& state) {
    prepare_seed_one();
    for (auto _ : state) {
        fill_solid_columns(volume_terrain_fields(), solid_map);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * COLUMN_COUNT);
}
BENCHMARK(BM_SolidColumns)->Unit(benchmark::kMillisecond);

void BM_SolidColumnsPlain(benchmark::State& state) {
    prepare_seed_one();
    for (auto _ : state) {
        fill_solid_columns_plain(volume_terrain_fields(), solid_map);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * COLUMN_COUNT);
}
BENCHMARK(BM_SolidColumnsPlain)->Unit(benchmark::kMillisecond);

void BM_Colouring(benchmark::State& state) {
    prepare_seed_one();
    vector_path path;
    if (!take_path(state, path)) return;
    for (auto _ : state) {
        colour_columns_with(volume_terrain_fields(), color_map, path);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * COLUMN_COUNT);
}
BENCHMARK(BM_Colouring)->ArgName("path")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_ColouringPlain(benchmark::State& state) {
    prepare_seed_one();
    for (auto _ : state) {
        colour_columns_plain(volume_terrain_fields(), color_map);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * COLUMN_COUNT);
}
BENCHMARK(BM_ColouringPlain)->Unit(benchmark::kMillisecond);

void BM_ColumnColours(benchmark::State& state) {
    prepare_seed_one();
    vector_path path;
    if (!take_path(state, path)) return;
    std::vector<std::uint32_t> words(COLUMN_COUNT);
    for (auto _ : state) {
        colour_column_words_with(volume_terrain_fields(), words.data(), path);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * COLUMN_COUNT);
}
BENCHMARK(BM_ColumnColours)->ArgName("path")->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// Whole maps as columns, seeds 1, 2, 3, ... in turn, each thread with its own
// output (and workspace). Rates: items_per_second is maps per second of all
// threads together; compare threads:2 with threads:1.
void BM_MapColumns(benchmark::State& state) {
    const bool reused = state.range(0) != 0;
    const auto out = std::make_unique<map_columns>();
    const auto work = std::make_unique<map_workspace>();
    std::int32_t seed = 1 + 1000 * state.thread_index();
    for (auto _ : state) {
        if (reused) generate_map_columns(seed++, false, *out, *work);
        else generate_map_columns(seed++, false, *out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MapColumns)->ArgName("workspace")->Arg(0)->Arg(1)->Threads(1)->Threads(2)->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// One map in pages fresh from the system, output and workspace (4 MiB), as a
// program that makes one map and ends meets them: their first-touch faults are in
// the figure, which BM_MapColumns (whose memory is reused) leaves out.
void BM_MapColumnsFreshPages(benchmark::State& state) {
    constexpr std::size_t BYTES = sizeof(map_columns) + sizeof(map_workspace);
    std::int32_t seed = 1;
    for (auto _ : state) {
        void* memory = mmap(nullptr, BYTES, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED) {
            state.SkipWithError("no memory");
            return;
        }
        auto* out = static_cast<map_columns*>(memory);
        auto* work = reinterpret_cast<map_workspace*>(static_cast<char*>(memory) + sizeof(map_columns));
        generate_map_columns(seed++, false, *out, *work);
        benchmark::ClobberMemory();
        munmap(memory, BYTES);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MapColumnsFreshPages)->Unit(benchmark::kMillisecond);

}  // namespace
