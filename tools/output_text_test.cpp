#include "tools/output_text.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using std::string_literals::operator""s;

TEST(QuotedName, UnsafeNamesAreQuotedAsGnuLsQuotesThem) {
    // Expected forms as ls --quoting-style=shell-escape (coreutils 9.1) prints
    // them; names it quotes only for the shell's sake (spaces, quotes) stay as
    // they are here.
    const struct {
        std::string name, shown;
    } cases[] = {
        {"plain.vxl", "plain.vxl"},
        {"sp ace", "sp ace"},
        {"it's", "it's"},
        {"ünï.vxl", "ünï.vxl"},
        {"evil.vxl: ok\nx", "'evil.vxl: ok'$'\\n''x'"},
        {"\nlead", "''$'\\n''lead'"},
        {"trail\n", "'trail'$'\\n'"},
        {"tab\there", "'tab'$'\\t''here'"},
        {"a\x01" "b", "'a'$'\\001''b'"},
        {"esc\x1b[31m", "'esc'$'\\033''[31m'"},
        {"bad\xff" "byte", "'bad'$'\\377''byte'"},
        {"c1\xc2\x85x", "'c1'$'\\302\\205''x'"},
        {"it's\n", "'it'\\''s'$'\\n'"},
        {"del\x7f", "'del'$'\\177'"},
        {"rtl\xe2\x80\xaegpj.vxl", "'rtl'$'\\342\\200\\256''gpj.vxl'"},  // U+202E turns the rest around
        {"overlong\xc0\xaf", "'overlong'$'\\300\\257'"},
    };
    for (const auto& c : cases) EXPECT_EQ(quoted_name(c.name), c.shown) << c.shown;
}

TEST(QuotedName, TheShellGivesTheNameBack) {
    if (std::system("command -v bash >/dev/null 2>&1") != 0) GTEST_SKIP() << "no bash here";
    char script[] = "/tmp/quoted_name_test_XXXXXX";
    const int fd = mkstemp(script);
    ASSERT_GE(fd, 0);
    close(fd);
    const std::string names[] = {"evil.vxl: ok, 2097536 bytes\nx", "\n\t\r\x01\x7f", "a'b\nc", "bad\xff\xfe", "\x1b]0;t\x07"};
    for (const std::string& name : names) {
        std::FILE* out = std::fopen(script, "w");
        std::fprintf(out, "printf %%s %s\n", quoted_name(name).c_str());
        std::fclose(out);
        std::FILE* shell = popen(("bash " + std::string(script)).c_str(), "r");
        ASSERT_NE(shell, nullptr);
        std::string back;
        char buffer[256];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, shell)) > 0) back.append(buffer, n);
        pclose(shell);
        EXPECT_EQ(back, name) << quoted_name(name);
    }
    unlink(script);
}

TEST(Utf8, ValidTextOnly) {
    EXPECT_TRUE(is_utf8("ünï €"));
    EXPECT_FALSE(is_utf8("bad\xff"));
    EXPECT_FALSE(is_utf8("\xf4\x90\x80\x80"));  // past U+10FFFF
    EXPECT_EQ(hex_bytes("a\xff\n"), "61ff0a");
}

}  // namespace
