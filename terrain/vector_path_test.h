// For the tests of the fast stages: every vector path this processor can run.
#pragma once

#include <vector>

#include "terrain/vector_path.h"

inline const char* path_name(vector_path path) { return path == vector_path::avx512 ? "avx512" : "baseline"; }

inline std::vector<vector_path> supported_paths() {
    std::vector<vector_path> paths;
    for (vector_path path : {vector_path::baseline, vector_path::avx512})
        if (vector_path_supported(path)) paths.push_back(path);
    return paths;
}
