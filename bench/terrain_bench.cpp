// Speed of the terrain generator's own stages, each beside the plain version it
// replaces: the ring-profile heights, the solid columns and the colouring. The
// inputs are those of seed 1. Stages that write the big arrays run on pages that
// are already mapped, so first-touch faults are not part of these figures.
#include <benchmark/benchmark.h>

#include "numerics/rng.h"
#include "terrain/terrain.h"
#include "terrain/vector_path.h"
#include "volume/volume.h"

namespace {

shape_params seed_one_params() {
    rng_seed(1);
    return draw_shape_params();
}

// Argument: the vector path, 0 baseline, 1 AVX-512 (reported as an error where
// the processor lacks it).
bool take_path(benchmark::State& state, vector_path& path) {
    path = state.range(0) == 0 ? vector_path::baseline : vector_path::avx512;
    if (vector_path_supported(path)) return true;
    state.SkipWithError("this processor cannot run the path");
    return false;
}

void BM_ProfileHeights(benchmark::State& state) {
    const shape_params p = seed_one_params();
    vector_path path;
    if (!take_path(state, path)) return;
    for (auto _ : state) {
        fill_profile_heights_with(p, path);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * COLUMN_COUNT);
}
BENCHMARK(BM_ProfileHeights)->ArgName("avx512")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ProfileHeightsPlain(benchmark::State& state) {
    const shape_params p = seed_one_params();
    for (auto _ : state) {
        fill_profile_heights_plain(p);
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
        fill_solid_columns();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * COLUMN_COUNT);
}
BENCHMARK(BM_SolidColumns)->Unit(benchmark::kMillisecond);

void BM_SolidColumnsPlain(benchmark::State& state) {
    prepare_seed_one();
    for (auto _ : state) {
        fill_solid_columns_plain();
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
        colour_columns_with(path);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * COLUMN_COUNT);
}
BENCHMARK(BM_Colouring)->ArgName("avx512")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ColouringPlain(benchmark::State& state) {
    prepare_seed_one();
    for (auto _ : state) {
        colour_columns_plain();
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * COLUMN_COUNT);
}
BENCHMARK(BM_ColouringPlain)->Unit(benchmark::kMillisecond);

}  // namespace
