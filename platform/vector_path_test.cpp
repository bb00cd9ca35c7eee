#include "platform/vector_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

constexpr vector_path ALL_PATHS[] = {vector_path::baseline, vector_path::avx2, vector_path::avx512};

// Puts back the chosen path and MAPGEN_VECTOR_PATH as they were, so that a pinned
// run of the unit tests stays pinned after these tests.
class restore_pin {
  public:
    restore_pin() : path_(chosen_vector_path()) {
        if (const char* value = std::getenv("MAPGEN_VECTOR_PATH")) variable_ = value;
    }
    ~restore_pin() {
        pin_vector_path(path_);
        if (variable_)
            setenv("MAPGEN_VECTOR_PATH", variable_->c_str(), 1);
        else
            unsetenv("MAPGEN_VECTOR_PATH");
    }

  private:
    vector_path path_;
    std::optional<std::string> variable_;
};

}  // namespace

TEST(VectorPath, TheBaselineRunsEverywhereAndEveryWiderPathNeedsTheNarrowerOnes) {
    EXPECT_TRUE(vector_path_supported(vector_path::baseline));
    if (vector_path_supported(vector_path::avx512)) {
        EXPECT_TRUE(vector_path_supported(vector_path::avx2));
    }
    EXPECT_TRUE(vector_path_supported(chosen_vector_path()));
    if (!std::getenv("MAPGEN_VECTOR_PATH")) {  // unpinned: the widest
        vector_path widest = vector_path::baseline;
        for (vector_path path : ALL_PATHS)
            if (vector_path_supported(path)) widest = path;
        EXPECT_EQ(chosen_vector_path(), widest);
    }
    EXPECT_STREQ(vector_path_name(vector_path::baseline), "baseline");
    EXPECT_STREQ(vector_path_name(vector_path::avx2), "avx2");
    EXPECT_STREQ(vector_path_name(vector_path::avx512), "avx512");
}

#if defined(__x86_64__) || defined(__i386__)
// The programs read what the loader found; the compiler's own probe asks the
// processor again, and the two must agree.
TEST(VectorPath, AgreesWithTheCompilersOwnProbe) {
    EXPECT_EQ(vector_path_supported(vector_path::avx2), bool(__builtin_cpu_supports("avx2")));
    EXPECT_EQ(vector_path_supported(vector_path::avx512), __builtin_cpu_supports("avx2") &&
                                                              __builtin_cpu_supports("avx512f") &&
                                                              __builtin_cpu_supports("avx512bw"));
}
#endif

TEST(VectorPath, PinsEverySupportedPathAndRefusesTheOthers) {
    const restore_pin restore;
    for (vector_path path : ALL_PATHS) {
        const vector_path before = chosen_vector_path();
        const bool supported = vector_path_supported(path);
        EXPECT_EQ(pin_vector_path(path), supported) << vector_path_name(path);
        EXPECT_EQ(chosen_vector_path(), supported ? path : before) << vector_path_name(path);
    }
}

TEST(VectorPath, PinsThePathTheEnvironmentNames) {
    const restore_pin restore;
    for (vector_path path : ALL_PATHS) {
        pin_vector_path(vector_path::baseline);
        setenv("MAPGEN_VECTOR_PATH", vector_path_name(path), 1);
        std::string reason;
        if (vector_path_supported(path)) {
            EXPECT_TRUE(pin_vector_path_from_environment(&reason)) << reason;
            EXPECT_EQ(chosen_vector_path(), path);
        } else {
            EXPECT_FALSE(pin_vector_path_from_environment(&reason));
            EXPECT_EQ(chosen_vector_path(), vector_path::baseline);
            EXPECT_EQ(reason, std::string("MAPGEN_VECTOR_PATH=") + vector_path_name(path) +
                                  ": this processor cannot run that path");
        }
    }
}

TEST(VectorPath, UnsetOrEmptyPinsNothingAndAnUnknownNameFails) {
    const restore_pin restore;
    pin_vector_path(vector_path::baseline);
    std::string reason;
    unsetenv("MAPGEN_VECTOR_PATH");
    EXPECT_TRUE(pin_vector_path_from_environment(&reason));
    setenv("MAPGEN_VECTOR_PATH", "", 1);
    EXPECT_TRUE(pin_vector_path_from_environment(&reason));
    EXPECT_EQ(reason, "");
    // Names are exact: no other case, no spaces, no old spellings.
    for (const char* name : {"AVX2", "avx2 ", "scalar", "sse2", "avx-512"}) {
        setenv("MAPGEN_VECTOR_PATH", name, 1);
        EXPECT_FALSE(pin_vector_path_from_environment(&reason)) << name;
        EXPECT_EQ(reason, std::string("MAPGEN_VECTOR_PATH=") + name + ": not a vector path (baseline, avx2 or avx512)");
        EXPECT_FALSE(pin_vector_path_from_environment()) << "without a reason to fill: " << name;
    }
    EXPECT_EQ(chosen_vector_path(), vector_path::baseline);
}
