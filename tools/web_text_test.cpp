#include "tools/web_text.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

namespace {

TEST(WebText, EscapesForHtmlAndJson) {
    EXPECT_EQ(html_escape("a<b>&\"c'd"), "a&lt;b&gt;&amp;&quot;c&#39;d");
    EXPECT_EQ(html_escape("plain · text"), "plain · text");
    const struct {
        std::string in, out;
    } json[] = {
        {"plain", "\"plain\""},
        {"quote \" and \\ backslash", "\"quote \\\" and \\\\ backslash\""},
        {"</script><!--", "\"\\u003c/script\\u003e\\u003c!--\""},
        {"tab\tline\nbell\a", "\"tab\\tline\\nbell\\u0007\""},
        {"h\xC3\xB6he \xE2\x86\x92", "\"h\xC3\xB6he \xE2\x86\x92\""},  // UTF-8 stays as it is
        {"bad \xFF byte, cut \xC3", "\"bad \\ufffd byte, cut \\ufffd\""},
        {"overlong \xC0\xAF, surrogate \xED\xA0\x80", "\"overlong \\ufffd\\ufffd, surrogate \\ufffd\\ufffd\\ufffd\""},
    };
    for (const auto& c : json) EXPECT_EQ(script_json_string(c.in), c.out) << c.in;
}

TEST(WebText, Base64FollowsTheStandardVectors) {
    // RFC 4648, section 10.
    const char* const vectors[][2] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},      {"foo", "Zm9v"},
                                      {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
    for (const auto& v : vectors)
        EXPECT_EQ(base64_encode(reinterpret_cast<const std::uint8_t*>(v[0]), std::strlen(v[0])), v[1]) << v[0];
    const std::uint8_t high[] = {0xFB, 0xFF, 0xBF};
    EXPECT_EQ(base64_encode(high, 3), "+/+/");
}

TEST(WebText, ZlibDataUnpacksToTheSameBytes) {
    for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{100000}}) {
        std::vector<std::uint8_t> data(size);
        for (std::size_t i = 0; i < size; ++i) data[i] = std::uint8_t(i * 7 % 251 ^ i >> 9);
        std::vector<std::uint8_t> packed;
        std::string why;
        ASSERT_TRUE(zlib_compress(data.data(), data.size(), &packed, &why)) << why;
        ASSERT_GE(packed.size(), 2u);
        EXPECT_EQ(packed[0], 0x78) << "a zlib header, which DecompressionStream('deflate') expects";
        std::vector<std::uint8_t> back(size + 1);
        uLongf length = uLongf(back.size());
        ASSERT_EQ(uncompress(back.data(), &length, packed.data(), uLong(packed.size())), Z_OK);
        back.resize(length);
        EXPECT_EQ(back, data);
    }
}

TEST(WebText, TemplatesAreFilledInOnePass) {
    std::string out, why;
    ASSERT_TRUE(fill_template("<b>{{a}}</b>{{b}}{{a}}", {{"a", "{{b}}"}, {"b", "2"}}, &out, &why));
    EXPECT_EQ(out, "<b>{{b}}</b>2{{b}}") << "a value is never read for keys";
    ASSERT_TRUE(fill_template("no keys, an unclosed {{ brace", {}, &out, &why));
    EXPECT_EQ(out, "no keys, an unclosed {{ brace");
    EXPECT_FALSE(fill_template("x {{missing}} y", {{"a", "1"}}, &out, &why));
    EXPECT_EQ(why, "template key 'missing' has no value");
}

TEST(WebText, NumbersAndNamesForPeopleAndUrls) {
    const std::pair<std::uint64_t, const char*> thousands[] = {
        {0, "0"}, {999, "999"}, {1000, "1,000"}, {2097536, "2,097,536"}, {123456789012, "123,456,789,012"}};
    for (const auto& [n, text] : thousands) EXPECT_EQ(group_thousands(n), text);
    const std::pair<std::uint64_t, const char*> sizes[] = {
        {1, "1 byte"}, {999, "999 bytes"}, {1000, "1.0 KB"}, {2097536, "2.1 MB"}, {999960, "1.0 MB"}, {5e12, "5.0 TB"}};
    for (const auto& [n, text] : sizes) EXPECT_EQ(human_size(n), text) << n;
    EXPECT_EQ(url_path_escape("seed 1#2?%/a~b-c_d.e"), "seed%201%232%3F%25%2Fa~b-c_d.e");
    EXPECT_EQ(url_path_escape("h\xC3\xB6he"), "h%C3%B6he");
}

}  // namespace
