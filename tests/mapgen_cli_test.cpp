// mapgen as a user meets it: the built program run with a command line in a fresh
// folder; what it prints, its exit status and the files it leaves.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>

#include "tests/process.h"

namespace {

using words = std::vector<std::string>;
using names = std::vector<std::string>;

const std::string DEFAULT_OUTPUT = "/program files/brickfront/vxl/zebmap.vxl";

const std::string USAGE =
    "Usage: " MAPGEN_BIN " {options}\n"
    "Options:\n"
    "   -s {seed}      Random seed; always generates the same map for a seed\n"
    "   -o {filename}  Filename to write to\n"
    "   -d             Debug; draws green & blue start regions\n"
    "\n"
    "If no seed is specified, a random one is generated.\n"
    "If no filename is written, writes to 'c:/program files/brickfront/vxl/cloudspan.vxl\n";

process_result mapgen(const words& after_name, const std::string& cwd) {
    words argv = {MAPGEN_BIN};
    argv.insert(argv.end(), after_name.begin(), after_name.end());
    return run_process(argv, cwd);
}

std::string generating(const std::string& path, std::int32_t seed) {
    return "Generating to '" + path + "' using seed '" + std::to_string(seed) + "'\n";
}

// GCC says so with a macro, clang with a feature test.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool UNDER_ADDRESS_SANITIZER = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool UNDER_ADDRESS_SANITIZER = true;
#else
constexpr bool UNDER_ADDRESS_SANITIZER = false;
#endif
#else
constexpr bool UNDER_ADDRESS_SANITIZER = false;
#endif

std::int32_t now_as_seed() { return static_cast<std::int32_t>(static_cast<std::uint32_t>(std::time(nullptr))); }

// Walks a file as a chain of VXL column records; returns how many whole records it
// holds, or -1 when a span header is impossible or the last record is cut short.
long count_vxl_records(const std::string& data) {
    const auto* b = reinterpret_cast<const unsigned char*>(data.data());
    std::size_t at = 0;
    long records = 0;
    while (at < data.size()) {
        while (true) {
            if (at + 4 > data.size()) return -1;
            const int length = b[at], top_start = b[at + 1], top_end = b[at + 2];
            if (top_start > 64 || top_end > 63 || top_end + 1 < top_start) return -1;
            const int top_colours = top_end - top_start + 1;
            if (length == 0) {
                at += 4 * std::size_t(top_colours + 1);
                break;
            }
            if (length < 1 + top_colours || length > 64) return -1;
            at += 4 * std::size_t(length);
        }
        if (at > data.size()) return -1;
        ++records;
    }
    return records;
}

struct seeded_case {
    words line;
    std::string output;  // file that appears, named in the first line
    std::int32_t seed;
};

TEST(MapgenCli, SeedAndOutputComeFromTheOptions) {
    const std::vector<seeded_case> cases = {
        {{"-s", "42", "-o", "out.vxl"}, "out.vxl", 42},
        {{"-s42", "-oout.vxl"}, "out.vxl", 42},
        {{"-s", "-7", "-o", "out.vxl"}, "out.vxl", -7},
        {{"-ds5", "-o", "out.vxl"}, "out.vxl", 5},
        {{"-sd5", "-o", "out.vxl"}, "out.vxl", 0},
        {{"-sh", "-o", "out.vxl"}, "out.vxl", 0},  // h is the seed's parameter: no usage
        {{"-do", "out.vxl", "-s", "3"}, "out.vxl", 3},
        {{"-o", "-d", "-s", "3"}, "-d", 3},
        {{"--seed", "5", "-o", "x.vxl"}, "x.vxl", 0},  // "eed" reads as 0; 5 is a bare word
        {{"-s", "4294967297", "-o", "o.vxl"}, "o.vxl", 1},
        {{"-s", "2147483648", "-o", "o.vxl"}, "o.vxl", INT32_MIN},
        {{"-s", "12abc", "-o", "o.vxl"}, "o.vxl", 12},
        {{"-s", "abc", "-o", "o.vxl"}, "o.vxl", 0},
        {{"-s", "1", "-s", "2", "-o", "a.vxl", "-o", "b.vxl"}, "b.vxl", 2},
        {{"in.vxl", "-s", "9", "-Z", "-o", "o.vxl", "extra"}, "o.vxl", 9},
    };
    for (const seeded_case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.line));
        temp_dir dir;
        const process_result r = mapgen(c.line, dir.path());
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, generating(c.output, c.seed) + "Finished\n");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(list_dir(dir.path()), names{c.output});
    }
}

TEST(MapgenCli, WithoutOptionsTheTimeSeedAndDefaultPathAreUsed) {
    // The default path's folder does not exist here, so those runs fail loudly.
    if (std::filesystem::exists(std::filesystem::path(DEFAULT_OUTPUT).parent_path()))
        GTEST_SKIP() << "this machine has " << DEFAULT_OUTPUT << "'s folder";
    const std::vector<words> lines = {
        {}, {"-S", "5"}, {"out.vxl"}, {"/?"}, {"-", "-s", "5"}, {"-d"},
    };
    const std::regex first_line("Generating to '(.*)' using seed '(-?[0-9]+)'\n");
    for (const words& line : lines) {
        SCOPED_TRACE(testing::PrintToString(line));
        temp_dir dir;
        const std::int32_t before = now_as_seed();
        const process_result r = mapgen(line, dir.path());
        const std::int32_t after = now_as_seed();
        std::smatch m;
        ASSERT_TRUE(std::regex_match(r.out, m, first_line)) << r.out;
        EXPECT_EQ(m[1], DEFAULT_OUTPUT);
        const long long seed = std::stoll(m[2]);
        EXPECT_TRUE(seed >= before && seed <= after) << seed << " not in " << before << ".." << after;
        EXPECT_EQ(r.exit_status, 1);
        EXPECT_EQ(r.err, "mapgen: cannot write '" + DEFAULT_OUTPUT + "': No such file or directory\n");
        EXPECT_EQ(list_dir(dir.path()), names{});
    }
}

TEST(MapgenCli, HelpPrintsTheUsageTextAndDoesNothingElse) {
    const std::vector<words> lines = {
        {"-h"}, {"-?"}, {"-dh"}, {"-s", "5", "-o", "x.vxl", "-h"}, {"-?s5"}, {"-h", "-o", "x.vxl"},
    };
    for (const words& line : lines) {
        SCOPED_TRACE(testing::PrintToString(line));
        temp_dir dir;
        const process_result r = mapgen(line, dir.path());
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, USAGE);
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(list_dir(dir.path()), names{});
    }
}

TEST(MapgenCli, MissingOptionValueIsAUsageError) {
    const struct {
        words line;
        char letter;
    } cases[] = {
        {{"-s"}, 's'}, {{"-o"}, 'o'}, {{"-h", "-s"}, 's'}, {{"-s", "5", "-do"}, 'o'}, {{"-o", "x.vxl", "-s"}, 's'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.line));
        temp_dir dir;
        const process_result r = mapgen(c.line, dir.path());
        EXPECT_EQ(r.exit_status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, std::string("mapgen: option requires a value -- '") + c.letter +
                             "'\nTry '" MAPGEN_BIN " -h' for more information.\n");
        EXPECT_EQ(list_dir(dir.path()), names{});
    }
}

TEST(MapgenCli, WriteFailureIsReportedAndNotFinished) {
    temp_dir dir;
    const process_result full = mapgen({"-s", "1", "-o", "/dev/full"}, dir.path());
    EXPECT_EQ(full.exit_status, 1);
    EXPECT_EQ(full.out, generating("/dev/full", 1));
    EXPECT_EQ(full.err, "mapgen: cannot write '/dev/full': No space left on device\n");

    const process_result folder = mapgen({"-s", "1", "-o", dir.path()}, dir.path());
    EXPECT_EQ(folder.exit_status, 1);
    EXPECT_EQ(folder.err, "mapgen: cannot write '" + dir.path() + "': Is a directory\n");
    EXPECT_EQ(list_dir(dir.path()), names{});
}

TEST(MapgenCli, FailedRunLeavesAnExistingMapUntouched) {
    // A file size limit cuts the write short part way through the map.
    temp_dir dir;
    std::ofstream(dir.file("map.vxl")) << "the previous map";
    process_options options;
    options.cwd = dir.path();
    options.file_size_limit = 65536;
    const process_result r = run_process({MAPGEN_BIN, "-s", "1", "-o", "map.vxl"}, options);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, generating("map.vxl", 1));
    EXPECT_EQ(r.err, "mapgen: cannot write 'map.vxl': File too large\n");
    EXPECT_EQ(read_file(dir.file("map.vxl")), "the previous map");
    EXPECT_EQ(list_dir(dir.path()), names{"map.vxl"}) << "no temporary file is left";
}

TEST(MapgenCli, WrittenMapIsWholeAndTheSameForTheSameSeed) {
    temp_dir dir;
    ASSERT_EQ(mapgen({"-s", "1", "-o", "a.vxl"}, dir.path()).exit_status, 0);
    ASSERT_EQ(mapgen({"-s1", "-o", "b.vxl"}, dir.path()).exit_status, 0);
    const std::string a = read_file(dir.file("a.vxl"));
    EXPECT_EQ(count_vxl_records(a), 262144);
    EXPECT_TRUE(a == read_file(dir.file("b.vxl"))) << "same seed, same bytes";
}

// The run makes its map as a height and a colour per column: it never fills the
// 84 MiB voxel volume, and takes a few MiB in all (under 16 in a plain build).
TEST(MapgenCli, RunTakesFarLessMemoryThanTheVoxelVolume) {
    if (UNDER_ADDRESS_SANITIZER) GTEST_SKIP() << "the sanitizer's own memory would be measured too";
    temp_dir dir;
    for (const words& line : {words{"-s", "1", "-o", "map.vxl"}, words{"-d", "-s", "-1", "-o", "map.vxl"}}) {
        const process_result r = mapgen(line, dir.path());
        ASSERT_EQ(r.exit_status, 0) << r.err;
        EXPECT_LT(r.max_rss_kb, 32 * 1024) << "the run filled memory the size of the volume";
    }
}

TEST(MapgenCli, MapSentToStdoutIsAloneThereAndTheLinesGoToStderr) {
    temp_dir dir;
    const process_result r = mapgen({"-s", "7", "-o", "/dev/stdout"}, dir.path());
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(count_vxl_records(r.out), 262144) << "nothing but the map on stdout";
    EXPECT_EQ(r.err, generating("/dev/stdout", 7) + "Finished\n");
    EXPECT_EQ(list_dir(dir.path()), names{});

    const process_result null = mapgen({"-s", "7", "-o", "/dev/null"}, dir.path());
    EXPECT_EQ(null.exit_status, 0);
    EXPECT_EQ(null.out, generating("/dev/null", 7) + "Finished\n");
    EXPECT_EQ(null.err, "");
}

TEST(MapgenCli, ReplacingAMapKeepsItsPermissionsAndLinks) {
    temp_dir dir;
    std::ofstream(dir.file("old.vxl")) << "old";
    ASSERT_EQ(chmod(dir.file("old.vxl").c_str(), 0600), 0);
    std::filesystem::create_symlink("old.vxl", dir.file("link.vxl"));
    const process_result r = mapgen({"-s", "1", "-o", "link.vxl"}, dir.path());
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.file("link.vxl")));
    EXPECT_EQ(count_vxl_records(read_file(dir.file("old.vxl"))), 262144);
    struct stat st;
    ASSERT_EQ(stat(dir.file("old.vxl").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(list_dir(dir.path()), (names{"link.vxl", "old.vxl"}));

    const mode_t mask = umask(0);  // read the umask the child inherits
    umask(mask);
    ASSERT_EQ(mapgen({"-s", "1", "-o", "new.vxl"}, dir.path()).exit_status, 0);
    ASSERT_EQ(stat(dir.file("new.vxl").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
}

}  // namespace
