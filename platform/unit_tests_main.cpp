// The unit tests' entry: GoogleTest's, once the vector path that MAPGEN_VECTOR_PATH
// names is pinned, so that one machine runs every fast stage's tests on every path
// it has (ctest does so, once per path). A name that is no path, or a path this
// processor cannot run, stops the run before any test: a pinned run that silently
// took another path would prove nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "platform/vector_path.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    std::string reason;
    if (!pin_vector_path_from_environment(&reason)) {
        std::fprintf(stderr, "unit_tests: %s\n", reason.c_str());
        return 1;
    }
    return RUN_ALL_TESTS();
}
