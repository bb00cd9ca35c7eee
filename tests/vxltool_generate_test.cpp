// vxltool generate as a user meets it: many seeds' maps made in one run, held to
// the files mapgen writes for the same seeds, the pictures render draws, and what
// the run says and leaves when its words, its folder or a write go wrong.
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <regex>

#include "tests/process.h"

#ifdef VXLTOOL_BIN

namespace {

using words = std::vector<std::string>;

process_result vxltool(const words& after_name, const process_options& options = {}) {
    words argv = {VXLTOOL_BIN};
    argv.insert(argv.end(), after_name.begin(), after_name.end());
    return run_process(argv, options);
}

/// The file `mapgen -s seed [-d]` writes.
std::string mapgen_file(const temp_dir& dir, int seed, bool start_regions) {
    const std::string path = dir.file("mapgen-" + std::to_string(seed) + ".vxl");
    words argv = {MAPGEN_BIN, "-s", std::to_string(seed), "-o", path};
    if (start_regions) argv.push_back("-d");
    EXPECT_EQ(run_process(argv).exit_status, 0);
    const std::string bytes = read_file(path);
    unlink(path.c_str());
    return bytes;
}

/// Everything a program wrote to its terminal (stdout and stderr both), and its
/// exit status, run on a pseudo-terminal.
std::pair<std::string, int> run_on_terminal(const words& argv) {
    std::vector<char*> c_words;
    for (const std::string& w : argv) c_words.push_back(const_cast<char*>(w.c_str()));
    c_words.push_back(nullptr);
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        execv(c_words[0], c_words.data());
        _exit(127);
    }
    std::string seen;
    if (pid < 0) return {seen, -1};
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) seen.append(buffer, std::size_t(n));
    close(terminal);
    int status = 0;
    waitpid(pid, &status, 0);
    return {seen, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

class Generate : public ::testing::Test {
  protected:
    temp_dir dir;
    std::string out;  // the folder the maps go to
    void SetUp() override { out = dir.file("maps"); }
};

// The maps of threads at once are the files of one mapgen run each, byte for byte,
// for negative seeds, zero and with -d; a seed named twice is made once, and a
// file that stood in the way is replaced.
TEST_F(Generate, WritesTheFilesMapgenWritesForEachSeedOnce) {
    ASSERT_EQ(mkdir(out.c_str(), 0777), 0);
    std::ofstream(out + "/seed0.vxl") << "an old file";
    const process_result r = vxltool({"generate", "--seeds", "1,-2..1,0,7", "-j", "3", "-o", out});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.err, "") << "progress is shown on a terminal only";
    ASSERT_EQ(r.out.rfind(out + ": ", 0), 0u) << r.out;
    EXPECT_TRUE(std::regex_match(r.out.substr(out.size()), std::regex(R"(: 5 maps written in \d+\.\d s, \d+(\.\d)? maps/s\n)")))
        << r.out;
    EXPECT_EQ(list_dir(out), (words{"seed-1.vxl", "seed-2.vxl", "seed0.vxl", "seed1.vxl", "seed7.vxl"}));
    for (int seed : {-2, -1, 0, 1, 7}) {
        SCOPED_TRACE(seed);
        EXPECT_TRUE(read_file(out + "/seed" + std::to_string(seed) + ".vxl") == mapgen_file(dir, seed, false));
    }

    const process_result marked = vxltool({"generate", "-d", "--seeds=7", "-o" + out});
    EXPECT_EQ(marked.exit_status, 0) << marked.err;
    EXPECT_EQ(marked.out.rfind(out + ": 1 map written in ", 0), 0u) << marked.out;
    EXPECT_TRUE(read_file(out + "/seed7.vxl") == mapgen_file(dir, 7, true));
}

TEST_F(Generate, PreviewsAreTheTopViewsRenderDraws) {
    const process_result r = vxltool({"generate", "--previews", "--seeds", "3..4", "-o", out});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out.rfind(out + ": 2 maps and their previews written in ", 0), 0u) << r.out;
    EXPECT_EQ(list_dir(out), (words{"seed3.png", "seed3.vxl", "seed4.png", "seed4.vxl"}));
    for (const char* seed : {"3", "4"}) {
        const std::string rendered = dir.file(std::string("render") + seed + ".png");
        const std::string map = out + "/seed" + seed + ".vxl";
        EXPECT_EQ(vxltool({"render", map, "-o", rendered}).exit_status, 0);
        EXPECT_TRUE(read_file(out + "/seed" + seed + ".png") == read_file(rendered)) << seed;
    }
}

// Words that cannot be understood are found before anything is made: no folder,
// no file, one line and status 2.
TEST_F(Generate, UsageErrorsComeBeforeAnyWork) {
    const struct {
        words argv;
        const char* why;
    } cases[] = {
        {{"-o", "maps"}, "no seeds given: --seeds LIST"},
        {{"--seeds", "1"}, "no folder given: -o DIR"},
        {{"--seeds", "1", "-o", ""}, "no folder given: -o DIR"},
        {{"--seeds", "1", "-o"}, "option '-o' needs a value"},
        {{"--seeds", "1", "-o", "-"}, "the maps go into a folder, not to standard output: -o DIR"},
        {{"--seeds", "1..x", "-o", "maps"}, "--seeds: 'x' is not a seed (a whole decimal number)"},
        {{"--seeds", "9..2", "-o", "maps"}, "--seeds: range '9..2' runs backwards: write it 2..9"},
        {{"--seeds", "1,,2", "-o", "maps"}, "--seeds: empty item in '1,,2'"},
        {{"--seeds=", "-o", "maps"}, "--seeds: the list of seeds is empty"},
        {{"-o", "maps", "--seeds"}, "option '--seeds' needs a value"},
        {{"--seeds", "2147483648", "-o", "maps"}, "--seeds: seed '2147483648' is outside -2147483648..2147483647"},
        {{"--seeds", "1", "--seeds", "2", "-o", "maps"}, "--seeds given twice: join the lists with ','"},
        {{"--seeds", "1", "-j", "0", "-o", "maps"}, "-j takes a whole number from 1 to 1024, not '0'"},
        {{"--seeds", "1", "-j", "-2", "-o", "maps"}, "-j takes a whole number from 1 to 1024, not '-2'"},
        {{"--seeds", "1", "-jmany", "-o", "maps"}, "-j takes a whole number from 1 to 1024, not 'many'"},
        {{"--seeds", "1", "-j", "1025", "-o", "maps"}, "-j takes a whole number from 1 to 1024, not '1025'"},
        {{"--seeds", "1", "--jobs", "2", "-o", "maps"}, "unknown option '--jobs'"},
        {{"--seeds", "1", "-o", "maps", "5"}, "unexpected argument '5': seeds go in --seeds LIST"},
    };
    for (const auto& c : cases) {
        words argv = {"generate"};
        argv.insert(argv.end(), c.argv.begin(), c.argv.end());
        SCOPED_TRACE(c.why);
        process_options o;
        o.cwd = dir.path();
        const process_result r = vxltool(argv, o);
        EXPECT_EQ(r.exit_status, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "vxltool: generate: " + std::string(c.why) + " (see 'vxltool generate --help')\n");
    }
    EXPECT_EQ(list_dir(dir.path()), words{}) << "a usage error made a file or folder";
}

// A folder that cannot take the maps is found before any map is made: status 1
// and the reason; a folder this run made for nothing is taken away again.
TEST_F(Generate, FolderThatCannotTakeTheMapsIsRefusedFirst) {
    std::ofstream(dir.file("file")) << "x";
    ASSERT_EQ(mkdir(dir.file("locked").c_str(), 0555), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    process_options o;
    if (getuid() == 0) o.uid = 65534;  // root may write anywhere: run as nobody
    const struct {
        std::string folder;
        std::string error;
    } cases[] = {
        {dir.file("file"), "Not a directory"},
        {dir.file("gone/maps"), "cannot make the folder: No such file or directory"},
        {dir.file("locked"), "the folder takes no new files: Permission denied"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        const process_result r = vxltool({"generate", "--seeds", "1", "-o", c.folder}, o);
        EXPECT_EQ(r.exit_status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "vxltool: " + c.folder + ": " + c.error + "\n");
    }

    // 2^32 maps of at least 2 MiB each: refused at once, with no memory for the list.
    const process_result r = vxltool({"generate", "--seeds", "-2147483648..2147483647", "-o", out}, o);
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("vxltool: " + out + ": no room: 4294967296 maps need at least 8.0 PiB, and the file "
                          "system has ", 0), 0u) << r.err;
    EXPECT_LT(r.max_rss_kb, 64 * 1024);
    EXPECT_EQ(list_dir(dir.path()), (words{"file", "locked"}));
}

// The room asked for counts the maps the run replaces, which free theirs as they
// go. Needs a small file system of its own: a tmpfs, where the test may mount one.
TEST_F(Generate, RoomCountsTheMapsItReplaces) {
    const std::string small = dir.file("small");
    ASSERT_EQ(mkdir(small.c_str(), 0777), 0);
    if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=7m") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
    struct unmount_at_end {
        std::string path;
        ~unmount_at_end() { umount2(path.c_str(), MNT_DETACH); }
    } unmount{small};
    // Two maps take a little over 4 MiB of the 7, which leaves room for one more.
    EXPECT_EQ(vxltool({"generate", "--seeds", "1..2", "-o", small}).exit_status, 0);
    const process_result more = vxltool({"generate", "--seeds", "3..4", "-o", small});
    EXPECT_EQ(more.exit_status, 1);
    EXPECT_EQ(more.err.rfind("vxltool: " + small + ": no room: 2 maps need at least 4.0 MiB, and the file system has ", 0),
              0u)
        << more.err;
    const process_result replacing = vxltool({"generate", "--seeds", "2..3", "-o", small});
    EXPECT_EQ(replacing.exit_status, 0) << replacing.err;
    EXPECT_EQ(list_dir(small), (words{"seed1.vxl", "seed2.vxl", "seed3.vxl"}));
}

// The first file that cannot be written stops the run: the maps before it stay,
// nothing after it is written, and the status is 1 with what was done.
TEST_F(Generate, FirstFailedWriteStopsTheRun) {
    ASSERT_EQ(mkdir(out.c_str(), 0777), 0);
    ASSERT_EQ(mkdir((out + "/seed2.vxl").c_str(), 0777), 0);  // no map can replace a folder
    // A trailing '/' of DIR is not doubled in the names.
    const process_result r = vxltool({"generate", "--seeds", "1..4", "-j", "1", "-o", out + "/"});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.out, "");
    const std::string reason = " (stopped: 1 of 4 maps written)\n";
    EXPECT_EQ(r.err.rfind("vxltool: " + out + "/seed2.vxl: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - reason.size()), reason) << r.err;
    EXPECT_EQ(list_dir(out), (words{"seed1.vxl", "seed2.vxl"}));

    // A preview that cannot be written stops the run too, its map counted.
    ASSERT_EQ(mkdir((out + "/seed3.png").c_str(), 0777), 0);
    const process_result preview = vxltool({"generate", "--seeds", "3..4", "--previews", "-j", "1", "-o", out});
    EXPECT_EQ(preview.exit_status, 1);
    EXPECT_EQ(preview.err.rfind("vxltool: " + out + "/seed3.png: ", 0), 0u) << preview.err;
    EXPECT_NE(preview.err.find(" (stopped: 1 of 2 maps written)\n"), std::string::npos) << preview.err;
    EXPECT_EQ(list_dir(out), (words{"seed1.vxl", "seed2.vxl", "seed3.png", "seed3.vxl"}));
}

// On a terminal the progress line is redrawn in place on stderr (at most ten times
// a second, so not every count shows) and cleared before the summary.
TEST_F(Generate, ShowsProgressOnATerminal) {
    const auto [seen, status] = run_on_terminal({VXLTOOL_BIN, "generate", "--seeds", "1..3", "-j", "1", "-o", out});
    EXPECT_EQ(status, 0) << seen;
    const std::size_t cleared = seen.find("\r\x1b[K" + out + ": 3 maps written in ");
    ASSERT_NE(cleared, std::string::npos) << seen;
    EXPECT_EQ(seen.rfind("\rgenerate: 0/3 maps\x1b[K", 0), 0u) << seen;
    const std::string lines = seen.substr(0, cleared);
    const std::regex drawn("(\rgenerate: [0-3]/3 maps(, \\d+\\.\\d maps/s(, \\d+ s left)?)?\x1b\\[K)+");
    EXPECT_TRUE(std::regex_match(lines, drawn)) << lines;
}

}  // namespace

#endif
