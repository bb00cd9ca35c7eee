#include "tools/json_text.h"

#include <gtest/gtest.h>

namespace {

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

}  // namespace
