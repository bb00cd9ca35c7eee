// The benchmarks' entry: Google Benchmark's, once the vector path that
// MAPGEN_VECTOR_PATH names is pinned, so that one machine measures every path it
// has. A name that is no path, or a path this processor cannot run, stops the run
// before any measurement; the path measured is in the report's context.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "platform/vector_path.h"

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    std::string reason;
    if (!pin_vector_path_from_environment(&reason)) {
        std::fprintf(stderr, "mapgen_bench: %s\n", reason.c_str());
        return 1;
    }
    benchmark::AddCustomContext("vector_path", vector_path_name(chosen_vector_path()));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
