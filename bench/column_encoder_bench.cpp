// Speed of the VXL encoder that works from column heights and colours alone, on
// the columns of seed 1's map: the size, the bytes into memory already mapped,
// and both into a fresh buffer the way the run's writer gets one (compare
// BM_FastWriter, which encodes the same map from the voxel volume).
#include <benchmark/benchmark.h>

#include <vector>

#include "mapfile/column_encoder.h"
#include "mapfile/file_buffer.h"
#include "numerics/rng.h"
#include "terrain/map.h"
#include "volume/volume.h"

namespace {

struct seed1_columns {
    std::vector<std::int32_t> heights;
    std::vector<std::uint32_t> colours;
    seed1_columns() {
        clear_volume();
        rng_seed(1);
        generate_map();
        heights.assign(column_height, column_height + COLUMN_COUNT);
        for (std::size_t c = 0; c < COLUMN_COUNT; ++c) colours.push_back(color_map[c * MAP_DEPTH]);
    }
    column_heights h() const { return column_heights(heights.data(), COLUMN_COUNT); }
    column_colours c() const { return column_colours(colours.data(), COLUMN_COUNT); }
};

const seed1_columns& columns() {
    static const seed1_columns once;
    return once;
}

void BM_ColumnEncoderSize(benchmark::State& state) {
    const seed1_columns& m = columns();
    for (auto _ : state) benchmark::DoNotOptimize(vxl_columns_size(m.h()));
}
BENCHMARK(BM_ColumnEncoderSize)->Unit(benchmark::kMicrosecond);

// The bytes alone, into a buffer written before (no page faults).
void BM_ColumnEncoderBytes(benchmark::State& state) {
    const seed1_columns& m = columns();
    std::vector<std::uint8_t> out(vxl_columns_size(m.h()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(encode_vxl_columns(m.h(), m.c(), out));
        benchmark::ClobberMemory();
    }
    state.counters["file_bytes"] = double(out.size());
}
BENCHMARK(BM_ColumnEncoderBytes)->Unit(benchmark::kMicrosecond);

// Size, fresh buffer, bytes: what a map costs the encoder in a run.
void BM_ColumnEncoderFreshBuffer(benchmark::State& state) {
    const seed1_columns& m = columns();
    std::size_t written = 0;
    for (auto _ : state) {
        const std::size_t size = vxl_columns_size(m.h());
        file_buffer out = reserve_file_buffer(size);
        ready_file_buffer(out.get(), size);
        written = encode_vxl_columns(m.h(), m.c(), std::span(out.get(), size));
        benchmark::DoNotOptimize(out.get());
    }
    state.counters["file_bytes"] = double(written);
}
BENCHMARK(BM_ColumnEncoderFreshBuffer)->Unit(benchmark::kMicrosecond);

}  // namespace
