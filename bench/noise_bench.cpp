// Speed of one noise layer: a fill evaluates the gradient noise once per element
// of a 512 x 512 field. Reported as samples (elements) per second, for each period
// the terrain generator uses: the fill the generator calls (on the chosen path: the
// widest this processor has, or the one MAPGEN_VECTOR_PATH pins), each path of the fast fill on its own, and the plain fill, one
// gradient_noise call per element, that they all reproduce bit for bit.
#include <benchmark/benchmark.h>

#include <vector>

#include "numerics/field.h"
#include "numerics/noise_fill.h"
#include "numerics/noise_fill_plain.h"
#include "platform/vector_path.h"

namespace {

constexpr int FIELD_ELEMENTS = 512 * 512;
constexpr float HEIGHT = 17.3f;

template <typename Fill>
void measure(benchmark::State& state, Fill fill) {
    const auto period = static_cast<std::int32_t>(state.range(0));
    std::vector<float> field(FIELD_ELEMENTS);
    for (auto _ : state) {
        fill(field.data(), period);
        benchmark::DoNotOptimize(field.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * FIELD_ELEMENTS);
}

void BM_FillNoiseField(benchmark::State& state) {
    measure(state, [](float* field, std::int32_t period) {
        fill_noise_field(field, period, period, HEIGHT, -4.0f, 4.0f);
    });
}

void BM_FillNoiseFieldPlain(benchmark::State& state) {
    measure(state, [](float* field, std::int32_t period) {
        fill_noise_field_plain(field, period, period, HEIGHT, -4.0f, 4.0f);
    });
}

void fast_path(benchmark::State& state, vector_path path) {
    if (!vector_path_supported(path)) {
        state.SkipWithError("this processor cannot run this path");
        return;
    }
    measure(state, [path](float* field, std::int32_t period) {
        fill_noise_field_fast(path, field, period, period, HEIGHT, -4.0f, 4.0f);
    });
}

void generator_periods(benchmark::internal::Benchmark* b) {
    b->ArgName("period")->Arg(32)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_FillNoiseField)->Apply(generator_periods);
BENCHMARK(BM_FillNoiseFieldPlain)->Apply(generator_periods);
BENCHMARK_CAPTURE(fast_path, baseline, vector_path::baseline)->Apply(generator_periods);
BENCHMARK_CAPTURE(fast_path, avx2, vector_path::avx2)->Apply(generator_periods);
BENCHMARK_CAPTURE(fast_path, avx512, vector_path::avx512)->Apply(generator_periods);

}  // namespace
