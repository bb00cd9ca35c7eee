#include "terrain/vector_paths_test.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

TEST(TerrainPaths, BaselineRunsEverywhereAndTheWidestSupportedIsChosen) {
    EXPECT_TRUE(vector_path_supported(vector_path::baseline));
    EXPECT_TRUE(vector_path_supported(chosen_vector_path()));
    const std::vector<vector_path> paths = supported_paths();
    if (!std::getenv("MAPGEN_VECTOR_PATH")) {
        EXPECT_EQ(chosen_vector_path(), paths.back());
    }
    // The fast stages' tests cover only the paths listed here; say when one is missing.
    for (vector_path path : {vector_path::avx2, vector_path::avx512})
        if (!vector_path_supported(path))
            std::printf("note: this processor cannot run the %s path; terrain's kernels for it are not tested here\n",
                        vector_path_name(path));
}
