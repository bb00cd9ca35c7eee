// Speed of one noise layer: a fill evaluates the gradient noise once per element
// of a 512 x 512 field. Reported as samples (elements) per second, for each period
// the terrain generator uses.
#include <benchmark/benchmark.h>

#include <vector>

#include "numerics/field.h"

namespace {

constexpr int FIELD_ELEMENTS = 512 * 512;

void BM_FillNoiseField(benchmark::State& state) {
    const auto period = static_cast<std::int32_t>(state.range(0));
    std::vector<float> field(FIELD_ELEMENTS);
    for (auto _ : state) {
        fill_noise_field(field.data(), period, period, 17.3f, -4.0f, 4.0f);
        benchmark::DoNotOptimize(field.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * FIELD_ELEMENTS);
}
BENCHMARK(BM_FillNoiseField)->ArgName("period")->Arg(32)->Arg(64)->Arg(128)->Arg(256)->Unit(benchmark::kMillisecond);

}  // namespace
