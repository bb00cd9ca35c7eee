#include "terrain/vector_path.h"

#include <gtest/gtest.h>

TEST(VectorPath, BaselineRunsEverywhereAndTheWidestSupportedIsChosen) {
    EXPECT_TRUE(vector_path_supported(vector_path::baseline));
    const vector_path widest =
        vector_path_supported(vector_path::avx512) ? vector_path::avx512 : vector_path::baseline;
    EXPECT_EQ(best_vector_path(), widest);
    // The fast stages' tests cover only the paths listed here; say when one is missing.
    if (!vector_path_supported(vector_path::avx512))
        std::printf("note: this processor has no AVX-512F; its kernels are not tested here\n");
}
