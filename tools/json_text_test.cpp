#include "tools/json_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using std::string_literals::operator""s;

TEST(JsonString, EscapesWhatJsonReservesAndNothingElse) {
    const struct {
        std::string text;
        const char* json;
    } cases[] = {
        {"", R"("")"},
        {"byte 8, column (2, 0): cut short", R"("byte 8, column (2, 0): cut short")"},
        {"a \"quoted\" name", R"("a \"quoted\" name")"},
        {"C:\\maps\\a.vxl", R"("C:\\maps\\a.vxl")"},
        {"line\nnext\ttab\rreturn", R"("line\nnext\ttab\rreturn")"},
        {std::string("nul\0bell\a", 9), R"("nul\u0000bell\u0007")"},
        {"\x1b[31mred\x7f", R"("\u001B[31mred\u007F")"},
        {"/ stays, and so does UTF-8: \xc3\xa9", "\"/ stays, and so does UTF-8: \xc3\xa9\""},
    };
    for (const auto& c : cases) EXPECT_EQ(json_string(c.text), c.json) << c.text;
}

TEST(JsonString, ReplacesWhatIsNotUtf8AndEscapesLineSeparators) {
    const struct {
        std::string text, json;
    } cases[] = {
        {"map.vxl", "\"map.vxl\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"line\nfeed\ttab\r\b\f", "\"line\\nfeed\\ttab\\r\\b\\f\""},
        {"\x01\x1f\x7f"s, "\"\\u0001\\u001F\\u007F\""},
        {"nul\0in"s, "\"nul\\u0000in\""},
        {"ünï €", "\"ünï €\""},
        {"sep\xe2\x80\xa8", "\"sep\\u2028\""},
        {"bad\xff" "byte", "\"bad\\uFFFDbyte\""},
        {"cut\xe2\x82", "\"cut\\uFFFD\\uFFFD\""},
        {"surrogate\xed\xa0\x80", "\"surrogate\\uFFFD\\uFFFD\\uFFFD\""},
    };
    for (const auto& c : cases) EXPECT_EQ(json_string(c.text), c.json) << c.json;
}

}  // namespace
