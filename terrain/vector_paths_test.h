// For the tests of terrain's fast stages: every vector path this processor can
// run, so that whatever a program may choose is covered. The AVX2 path has kernels
// of its own for the colours, the profile's rows and its ring rows.
#pragma once

#include <vector>

#include "platform/vector_path.h"

inline std::vector<vector_path> supported_paths() {
    std::vector<vector_path> paths;
    for (vector_path path : {vector_path::baseline, vector_path::avx2, vector_path::avx512})
        if (vector_path_supported(path)) paths.push_back(path);
    return paths;
}
