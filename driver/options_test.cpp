#include "driver/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using words = std::vector<std::string>;

struct scanned {
    bool ok;
    words entries;  // the option list
    words kept;     // words[1 .. count - 1] after the scan
    int count;
};

// Scans "prog" followed by the given words with the driver's parameter letters.
scanned scan(const words& after_name, const char* parameter_letters = "so") {
    std::vector<std::string> storage = {"prog"};
    storage.insert(storage.end(), after_name.begin(), after_name.end());
    std::vector<char*> argv;
    for (std::string& w : storage) argv.push_back(w.data());
    argv.push_back(nullptr);
    int count = int(storage.size());
    char** options = scan_options(&count, argv.data(), parameter_letters);
    scanned result{options != nullptr, {}, {}, count};
    if (options)
        for (char** e = options; *e; ++e) result.entries.push_back(*e);
    for (int i = 1; i < count; ++i) result.kept.push_back(argv[i]);
    EXPECT_STREQ(argv[0], "prog") << "word 0 is left alone";
    free_options(options);
    return result;
}

struct scan_case {
    words line;
    words entries;
    words kept;
};

TEST(ScanOptions, SplitsWordsIntoEntriesAndKeptWords) {
    const std::vector<scan_case> cases = {
        {{}, {}, {}},
        {{"-s", "42"}, {"s42"}, {}},
        {{"-s42"}, {"s42"}, {}},
        {{"-s", "-7"}, {"s-7"}, {}},                 // the next word, even with a leading "-"
        {{"-ds5"}, {"d", "s5"}, {}},                 // grouped letters
        {{"-sd5"}, {"sd5"}, {}},                     // s takes the rest of the word, d included
        {{"-sh"}, {"sh"}, {}},
        {{"-do", "out.vxl"}, {"d", "oout.vxl"}, {}},
        {{"-o", "-d"}, {"o-d"}, {}},
        {{"--seed", "5"}, {"-", "seed"}, {"5"}},     // a second "-" is a letter like any other
        {{"-S", "5"}, {"S"}, {"5"}},                 // upper case is another letter
        {{"out.vxl"}, {}, {"out.vxl"}},
        {{"/?"}, {}, {"/?"}},                        // only "-" opens options
        {{""}, {}, {""}},                            // an empty word is a non-option word
        {{"-", "-s", "5"}, {}, {"-s", "5"}},         // a lone "-" ends the options
        {{"a", "-d", "b", "-", "-", "c"}, {"d"}, {"a", "b", "-", "c"}},
        {{"-s", "1", "-s", "2"}, {"s1", "s2"}, {}},  // every entry kept, in order
        {{"-dh?x"}, {"d", "h", "?", "x"}, {}},
        {{"-s", ""}, {"s"}, {}},                     // an empty next word is the parameter
        {{"x", "-o", "y", "z"}, {"oy"}, {"x", "z"}},
    };
    for (const scan_case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.line));
        const scanned s = scan(c.line);
        ASSERT_TRUE(s.ok);
        EXPECT_EQ(s.entries, c.entries);
        EXPECT_EQ(s.kept, c.kept);
        EXPECT_EQ(s.count, int(c.kept.size()) + 1);
    }
}

TEST(ScanOptions, ParameterLettersAreTheCallersChoice) {
    EXPECT_EQ(scan({"-sx", "y"}, "x").entries, (words{"s", "xy"}));
    EXPECT_EQ(scan({"-xab", "c"}, "x").entries, (words{"xab"}));
    EXPECT_EQ(scan({"-s", "5"}, "").entries, (words{"s"}));
}

TEST(ScanOptions, ParameterLetterEndingTheLastWordFails) {
    for (const words& line : {words{"-s"}, words{"-o"}, words{"-ds"}, words{"-h", "-s"}, words{"a", "-d", "-o"}}) {
        SCOPED_TRACE(testing::PrintToString(line));
        const scanned s = scan(line);
        EXPECT_FALSE(s.ok);
        EXPECT_EQ(s.count, 0);
    }
}

TEST(ScanOptions, WordsBeyondTheNewCountStayAsTheyWere) {
    std::string w[] = {"prog", "a", "-d", "b"};
    char* argv[] = {w[0].data(), w[1].data(), w[2].data(), w[3].data(), nullptr};
    int count = 4;
    char** options = scan_options(&count, argv, "so");
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(count, 3);
    EXPECT_STREQ(argv[1], "a");
    EXPECT_STREQ(argv[2], "b");
    EXPECT_STREQ(argv[3], "b");
    free_options(options);
}

TEST(ScanOptions, EntriesAreCopiesOwnedByTheList) {
    std::string w[] = {"prog", "-ofile"};
    char* argv[] = {w[0].data(), w[1].data(), nullptr};
    int count = 2;
    char** options = scan_options(&count, argv, "so");
    ASSERT_NE(options, nullptr);
    w[1][2] = 'X';
    EXPECT_STREQ(options[0], "ofile");
    EXPECT_EQ(options[1], nullptr);
    free_options(options);
    free_options(nullptr);
}

}  // namespace
