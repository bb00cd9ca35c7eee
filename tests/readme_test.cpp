// The README's examples, run as a reader runs them after the Quick start: in a
// fresh folder whose build/ holds the built programs and where the Quick start's
// first line has left its map. Only the blocks marked by a line
// "<!-- example: KIND -->" just above their opening fence are run, in README
// order, all in that one folder, so a later block may use what an earlier made:
//   each line runs    every line is a command that answers: status 0 or 1 (a
//                     negative answer), never 2 (a usage error), nothing on stderr
//   output as shown   a "$ " line is a command, the lines under it are what it
//                     prints, stdout and stderr together as a terminal shows them
#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>

#include "tests/process.h"

#if defined(VXLTOOL_BIN) && defined(MAPGEN_SOURCE_DIR)

namespace {

struct example {
    std::string kind;
    int line = 0;  // README line of the opening fence
    std::vector<std::string> lines;
};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

/// The marked blocks of a README, in order.
std::vector<example> marked_examples(const std::vector<std::string>& readme) {
    const std::string mark = "<!-- example: ", end_mark = " -->";
    std::vector<example> examples;
    for (std::size_t i = 0; i + 1 < readme.size(); ++i) {
        const std::string& line = readme[i];
        if (line.rfind(mark, 0) != 0 || line.size() < mark.size() + end_mark.size() ||
            line.compare(line.size() - end_mark.size(), end_mark.size(), end_mark) != 0)
            continue;
        example e;
        e.kind = line.substr(mark.size(), line.size() - mark.size() - end_mark.size());
        e.line = int(i) + 2;
        if (readme[i + 1].rfind("```", 0) != 0) {
            ADD_FAILURE() << "README line " << i + 1 << ": no code block right under the mark";
            continue;
        }
        for (i += 2; i < readme.size() && readme[i].rfind("```", 0) != 0; ++i) e.lines.push_back(readme[i]);
        examples.push_back(e);
    }
    return examples;
}

/// The last command of the Quick start's first line (what it leaves in the folder).
std::string quick_start_last_command(const std::vector<std::string>& readme) {
    for (std::size_t i = 0; i + 2 < readme.size(); ++i)
        if (readme[i] == "## Quick start") {
            while (++i < readme.size() && readme[i].rfind("```", 0) != 0) {
            }
            if (i + 1 >= readme.size()) break;
            const std::string& first = readme[i + 1];
            const std::size_t and_then = first.rfind("&& ");
            return and_then == std::string::npos ? first : first.substr(and_then + 3);
        }
    return {};
}

/// Runs command in a shell in cwd, stderr into stdout.
process_result shell(const std::string& command, const std::string& cwd) {
    return run_process({"/bin/sh", "-c", "exec 2>&1\n" + command}, cwd);
}

void check_runs(const example& e, const std::string& cwd) {
    for (const std::string& line : e.lines) {
        if (line.empty() || line[0] == '#') continue;
        SCOPED_TRACE(line);
        const process_result r = run_process({"/bin/sh", "-c", line}, cwd);
        EXPECT_TRUE(r.exit_status == 0 || r.exit_status == 1) << "status " << r.exit_status << ": " << r.err;
        EXPECT_EQ(r.err, "");
    }
}

void check_output(const example& e, const std::string& cwd) {
    std::size_t i = 0;
    if (e.lines.empty() || e.lines[0].rfind("$ ", 0) != 0) ADD_FAILURE() << "the block does not start with '$ '";
    while (i < e.lines.size()) {
        const std::string command = e.lines[i].substr(2);
        std::string shown;
        for (++i; i < e.lines.size() && e.lines[i].rfind("$ ", 0) != 0; ++i) shown += e.lines[i] + "\n";
        SCOPED_TRACE("$ " + command);
        EXPECT_EQ(shell(command, cwd).out, shown);
    }
}

TEST(Readme, MarkedExamplesDoWhatTheReadmeSays) {
    const std::vector<std::string> readme = lines_of(read_file(MAPGEN_SOURCE_DIR "/README.md"));
    ASSERT_FALSE(readme.empty());
    temp_dir dir;
    const std::string programs = std::string(MAPGEN_BIN).substr(0, std::string(MAPGEN_BIN).rfind('/'));
    ASSERT_EQ(symlink(programs.c_str(), dir.file("build").c_str()), 0);
    const std::string setup = quick_start_last_command(readme);
    ASSERT_EQ(setup, "./build/mapgen -s 1 -o map.vxl");
    ASSERT_EQ(shell(setup, dir.path()).exit_status, 0);

    int runs = 0, outputs = 0;
    for (const example& e : marked_examples(readme)) {
        SCOPED_TRACE("README line " + std::to_string(e.line) + ", " + e.kind);
        if (e.kind == "each line runs") {
            check_runs(e, dir.path());
            ++runs;
        } else if (e.kind == "output as shown") {
            check_output(e, dir.path());
            ++outputs;
        } else {
            ADD_FAILURE() << "unknown kind of example";
        }
    }
    EXPECT_GE(runs, 2);
    EXPECT_GE(outputs, 2);
}

}  // namespace

#endif
