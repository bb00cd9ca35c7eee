// vxltool's bash completion as a shell user meets it: the script sourced into
// bash, its completion function asked about a command line in a folder of maps,
// pictures and other files, and what it offers.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/process.h"

#if defined(VXLTOOL_BIN) && defined(MAPGEN_SOURCE_DIR)

namespace {

using words = std::vector<std::string>;

const std::string COMPLETION = MAPGEN_SOURCE_DIR "/tools/vxltool-completion.bash";

/// word in single quotes for the shell
std::string quoted(const std::string& word) {
    std::string q = "'";
    for (char c : word) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

/// What the completion offers for a command line whose last word is being typed,
/// sorted; the function runs in folder cwd.
words complete(const words& line, const std::string& cwd) {
    std::string script = "source " + quoted(COMPLETION) + " && COMP_WORDS=(";
    for (const std::string& w : line) script += quoted(w) + " ";
    script += "); COMP_CWORD=" + std::to_string(line.size() - 1) +
              "; _vxltool && for r in \"${COMPREPLY[@]}\"; do printf '%s\\n' \"$r\"; done";
    const process_result r = run_process({"/bin/bash", "--norc", "-c", script}, cwd);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    words offered;
    std::istringstream lines(r.out);
    for (std::string w; std::getline(lines, w);) offered.push_back(w);
    std::sort(offered.begin(), offered.end());
    return offered;
}

bool has(const words& list, const std::string& word) {
    return std::find(list.begin(), list.end(), word) != list.end();
}

process_result vxltool(const words& after_name) {
    words argv = {VXLTOOL_BIN};
    argv.insert(argv.end(), after_name.begin(), after_name.end());
    return run_process(argv);
}

class Completion : public ::testing::Test {
  protected:
    temp_dir dir;
    void SetUp() override {
        for (const char* name : {"island.vxl", "Old.VXL", "two words.vxl", "-odd.vxl", "top.png", "notes.txt"})
            std::ofstream(dir.file(name)) << "x";
        ASSERT_EQ(mkdir(dir.file("maps").c_str(), 0777), 0);
    }
};

TEST_F(Completion, OffersCommandsOptionsValuesAndFiles) {
    const words commands = {"--help", "check",  "diff", "export", "gallery", "generate",
                            "help",   "import", "info", "page",   "render"};
    const words maps = {"-odd.vxl", "Old.VXL", "island.vxl", "maps", "two words.vxl"};
    const struct {
        words line;
        words offered;
    } cases[] = {
        {{"vxltool", ""}, commands},
        {{"vxltool", "r"}, {"render"}},
        {{"vxltool", "info", ""}, maps},
        {{"vxltool", "check", "island.vxl", "O"}, {"Old.VXL"}},  // .VXL is a map too
        {{"vxltool", "info", "-"}, {"--help", "--json"}},
        {{"vxltool", "render", "island.vxl", "-"}, {"--help", "--scale", "--size", "--view", "-o"}},
        {{"vxltool", "render", "--scale", ""}, {"1", "2", "3", "4"}},
        {{"vxltool", "page", "island.vxl", "-o", ""}, {"maps"}},
        {{"vxltool", "gallery", "-o", ""}, {"maps"}},
        {{"vxltool", "gallery", "-"}, {"--help", "--title", "-j", "-o"}},
        {{"vxltool", "render", "island.vxl", "-o", ""}, {"maps", "top.png"}},
        {{"vxltool", "render", "island.vxl", "--view", ""}, {"iso", "top"}},
        {{"vxltool", "render", "--view", "=", "i"}, {"iso"}},  // bash split --view=i at '='
        {{"vxltool", "render", "--view", "="}, {"iso", "top"}},
        {{"vxltool", "render", "--view=t"}, {"--view=top"}},
        {{"vxltool", "render", "-o="}, {}},  // -o takes no '=': vxltool would write a file "=..."
        {{"vxltool", "diff", "a.vxl", "-"}, {"--help"}},
        {{"vxltool", "diff", "--", "-"}, {"-odd.vxl"}},
        {{"vxltool", "export", "island.vxl", "--h"}, {"--heightmap", "--help"}},
        {{"vxltool", "export", "island.vxl", "--heightmap", ""}, {"maps", "top.png"}},
        {{"vxltool", "import", "-"}, {"--colors", "--colours", "--heightmap", "--help", "-o"}},
        {{"vxltool", "import", "--colours", "=", ""}, {"maps", "top.png"}},
        {{"vxltool", "import", "scene.vox", "-o", "i"}, {"island.vxl"}},
        {{"vxltool", "g"}, {"gallery", "generate"}},
        {{"vxltool", "generate", "-"}, {"--help", "--previews", "--seeds", "-d", "-j", "-o"}},
        {{"vxltool", "generate", "--seeds", "1..40", "-o", ""}, {"maps"}},  // a folder
        {{"vxltool", "generate", "--seeds", ""}, {}},
        {{"vxltool", "generate", ""}, {}},  // no file arguments
        {{"vxltool", "help", ""}, {}},
        {{"vxltool", "frobnicate", ""}, {}},
    };
    for (const auto& c : cases) {
        std::string shown;
        for (const std::string& w : c.line) shown += "[" + w + "]";
        SCOPED_TRACE(shown);
        EXPECT_EQ(complete(c.line, dir.path()), c.offered);
    }
}

// The completion keeps up with the program: every command that 'vxltool --help'
// lists is offered, and so is every option that a command's usage line names.
TEST_F(Completion, KnowsEveryCommandAndOptionTheHelpNames) {
    const process_result help = vxltool({"--help"});
    ASSERT_EQ(help.exit_status, 0);
    const std::string listed = help.out.substr(help.out.find("commands:\n"));
    const std::regex command_line(R"(\n  ([a-z]+) )");
    const words offered_commands = complete({"vxltool", ""}, dir.path());
    int commands = 0;
    for (std::sregex_iterator m(listed.begin(), listed.end(), command_line), end; m != end; ++m, ++commands) {
        const std::string command = (*m)[1];
        SCOPED_TRACE(command);
        EXPECT_TRUE(has(offered_commands, command)) << command << " is not completed";

        const process_result usage = vxltool({command, "--help"});
        const std::string first_line = usage.out.substr(0, usage.out.find('\n'));
        const std::regex option(R"([ \[](-{1,2}[a-z][-a-z]*))");
        const words offered = complete({"vxltool", command, "-"}, dir.path());
        for (std::sregex_iterator o(first_line.begin(), first_line.end(), option); o != end; ++o)
            EXPECT_TRUE(has(offered, (*o)[1])) << (*o)[1] << " of '" << first_line << "' is not completed";
    }
    EXPECT_GE(commands, 4) << help.out;
}

}  // namespace

#endif
