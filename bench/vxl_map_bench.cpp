// Speed of making a map in memory, the library's way (make_vxl_map: the columns,
// then the file from them, no voxel volume): one map at a time, and maps made in
// 1 and 2 threads at once, whose items_per_second give the rate of each (the
// ratio of the two is how well maps scale over the cores), and the C API. The seeds vary from
// map to map, as they do for a server that makes a new map every round.
#include <benchmark/benchmark.h>

#include <mapgen/mapgen.h>

#include <vector>

#include "library/vxl_map.h"

namespace {

// A fresh vector for every map, as a caller of make_vxl_map gets it.
void BM_MakeVxlMap(benchmark::State& state) {
    std::int32_t seed = 1 + std::int32_t(state.thread_index()) * 1000003;
    for (auto _ : state) {
        std::vector<std::uint8_t> file = make_vxl_map(seed++, false);
        benchmark::DoNotOptimize(file.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MakeVxlMap)->Unit(benchmark::kMillisecond)->UseRealTime()->Threads(1)->Threads(2);

// The working memory and the file's buffer kept from one map to the next.
void BM_MakeVxlMapReused(benchmark::State& state) {
    const fresh_vxl_map_work work;
    std::vector<std::uint8_t> file;
    std::int32_t seed = 1 + std::int32_t(state.thread_index()) * 1000003;
    for (auto _ : state) {
        make_vxl_map(seed++, false, *work, file);
        benchmark::DoNotOptimize(file.data());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MakeVxlMapReused)->Unit(benchmark::kMillisecond)->UseRealTime()->Threads(1)->Threads(2);

// The C API as a server calls it, a new map each time: working memory and the
// file's buffer from the heap, the file released before the next map.
void BM_MapgenGenerate(benchmark::State& state) {
    std::int32_t seed = 1 + std::int32_t(state.thread_index()) * 1000003;
    for (auto _ : state) {
        unsigned char* data = nullptr;
        std::size_t size = 0;
        if (mapgen_generate(seed++, 0, &data, &size) != 0) {
            state.SkipWithError("mapgen_generate failed");
            break;
        }
        benchmark::DoNotOptimize(data);
        mapgen_free(data);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MapgenGenerate)->Unit(benchmark::kMillisecond)->UseRealTime()->Threads(1)->Threads(2);

}  // namespace
