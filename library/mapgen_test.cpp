// The C API: its refusals leave the caller's variables alone, its bytes are
// make_vxl_map's, threads calling at once get what one thread gets, and running
// out of memory is an error code, never an exception or a crash.
#include <mapgen/mapgen.h>
#include <mapgen/mapgen.hpp>

#include <gtest/gtest.h>
#if __has_include(<malloc.h>)
#include <malloc.h>
#endif
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "library/vxl_map.h"

namespace {

struct generated {
    int status = -1;
    std::vector<std::uint8_t> bytes;
};

/// mapgen_generate's answer, the buffer copied out and released.
generated generate(std::int32_t seed, unsigned flags) {
    generated g;
    unsigned char* data = nullptr;
    std::size_t size = 0;
    g.status = mapgen_generate(seed, flags, &data, &size);
    if (g.status == 0) {
        g.bytes.assign(data, data + size);
        mapgen_free(data);
    }
    return g;
}

TEST(MapgenGenerate, RefusesNullPointersAndUnknownFlagsLeavingTheOutputsAlone) {
    struct refusal {
        const char* what;
        bool null_data, null_size;
        unsigned flags;
    };
    const refusal refusals[] = {
        {"null data", true, false, 0},
        {"null size", false, true, 0},
        {"both null", true, true, MAPGEN_START_REGIONS},
        {"flag 2", false, false, 2u},
        {"known and unknown flag", false, false, MAPGEN_START_REGIONS | 4u},
        {"top bit", false, false, 0x80000000u},
        {"every bit", false, false, ~0u},
    };
    for (const refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        unsigned char sentinel = 0;
        unsigned char* data = &sentinel;
        std::size_t size = 12345;
        EXPECT_EQ(mapgen_generate(1, r.flags, r.null_data ? nullptr : &data, r.null_size ? nullptr : &size), EINVAL);
        EXPECT_EQ(data, &sentinel);
        EXPECT_EQ(size, 12345u);
    }
    mapgen_free(nullptr);  // allowed, like free
}

TEST(MapgenGenerate, MakesTheBytesOfMakeVxlMapForEverySeedAndFlag) {
    for (const std::int32_t seed : {1, -1, 2147483647, -2147483647 - 1}) {
        for (const bool regions : {false, true}) {
            SCOPED_TRACE("seed " + std::to_string(seed) + (regions ? " -d" : ""));
            const generated g = generate(seed, regions ? MAPGEN_START_REGIONS : 0u);
            ASSERT_EQ(g.status, 0);
            EXPECT_EQ(g.bytes, make_vxl_map(seed, regions));
        }
    }
}

TEST(MapgenGenerate, ThreadsCallingAtOnceGetWhatOneThreadGets) {
    struct job {
        std::int32_t seed;
        unsigned flags;
    };
    const std::vector<job> jobs = {{1, 0}, {1, MAPGEN_START_REGIONS}, {-7, 0}, {99, MAPGEN_START_REGIONS}};
    std::vector<std::vector<std::uint8_t>> alone;
    for (const job& j : jobs) alone.push_back(generate(j.seed, j.flags).bytes);

    // Every thread makes every map, each starting at another one, so that
    // different seeds and the same seed both run side by side.
    constexpr std::size_t THREADS = 4;
    std::vector<std::vector<generated>> results(THREADS);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < THREADS; ++t)
        threads.emplace_back([&, t] {
            for (std::size_t i = 0; i < jobs.size(); ++i) {
                const job& j = jobs[(t + i) % jobs.size()];
                results[t].push_back(generate(j.seed, j.flags));
            }
        });
    for (std::thread& thread : threads) thread.join();
    for (std::size_t t = 0; t < THREADS; ++t)
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            const std::size_t k = (t + i) % jobs.size();
            SCOPED_TRACE("thread " + std::to_string(t) + ", seed " + std::to_string(jobs[k].seed));
            ASSERT_EQ(results[t][i].status, 0);
            EXPECT_TRUE(results[t][i].bytes == alone[k]);
        }
}

// Address space limited to a little more than the process holds: the map's
// memory cannot be had. Run in a child so the limit dies with it; the sanitizers
// reserve terabytes of address space and cannot run under such a limit.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__has_feature)
#define MAPGEN_CAN_LIMIT_MEMORY 1
#elif defined(__has_feature)
#if !__has_feature(address_sanitizer)
#define MAPGEN_CAN_LIMIT_MEMORY 1
#endif
#endif
#ifdef MAPGEN_CAN_LIMIT_MEMORY
// The exit status of a call under the limit: 0 for ENOMEM with the outputs alone.
int generate_without_memory() {
    long pages = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
        std::fclose(statm);
    }
    if (pages <= 0) return 10;
#ifdef M_MMAP_THRESHOLD
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);  // large blocks from fresh mappings
#endif
    const rlim_t limit = rlim_t(pages) * rlim_t(sysconf(_SC_PAGESIZE)) + (rlim_t(1) << 20);
    const rlimit r = {limit, limit};
    if (setrlimit(RLIMIT_AS, &r) != 0) return 11;
    // Heap blocks freed earlier need no new address space: take them all first
    // (never freed; the process ends here). Each block goes to a volatile sink:
    // clang removes allocations whose result is unused, and the loop would then
    // never end, which it may assume cannot happen and compile into anything.
    [[maybe_unused]] static void* volatile taken;
    while (void* block = std::malloc(64 * 1024)) taken = block;
    unsigned char sentinel = 0;
    unsigned char* data = &sentinel;
    std::size_t size = 12345;
    const int status = mapgen_generate(1, 0, &data, &size);
    return status == ENOMEM && data == &sentinel && size == 12345 ? 0 : 12;
}

TEST(MapgenGenerate, OutOfMemoryIsEnomemWithTheOutputsAlone) {
    // In a process started afresh, not forked from this one: the heaps of the
    // threads that earlier tests ran hold memory a forked child could still use.
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(_exit(generate_without_memory()), testing::ExitedWithCode(0), "")
        << "10, 11: the limit could not be set; 12: not ENOMEM, or outputs changed";
    GTEST_FLAG_SET(death_test_style, style);
}
#endif

TEST(MapgenVersion, IsTheHeadersAndTheReleasesVersion) {
    EXPECT_STREQ(mapgen_version(), MAPGEN_VERSION_STRING);
    EXPECT_STREQ(mapgen_version(), MAPGEN_VERSION);
    EXPECT_EQ(std::to_string(MAPGEN_VERSION_MAJOR) + "." + std::to_string(MAPGEN_VERSION_MINOR) + "." +
                  std::to_string(MAPGEN_VERSION_PATCH),
              MAPGEN_VERSION_STRING);
    EXPECT_EQ(MAPGEN_VERSION_NUMBER, MAPGEN_VERSION_MAJOR * 10000 + MAPGEN_VERSION_MINOR * 100 + MAPGEN_VERSION_PATCH);
    EXPECT_STREQ(mapgen::version(), mapgen_version());
}

TEST(MapgenCpp, GivesTheCBytesAndThrowsTheCErrors) {
    EXPECT_EQ(mapgen::generate(5, MAPGEN_START_REGIONS), generate(5, MAPGEN_START_REGIONS).bytes);
    try {
        mapgen::generate(5, 2u);
        ADD_FAILURE() << "flag 2 accepted";
    } catch (const std::system_error& e) {
        EXPECT_EQ(e.code(), std::errc::invalid_argument);
    }
}

}  // namespace
