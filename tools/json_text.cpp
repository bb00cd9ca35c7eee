#include "tools/json_text.h"

#include <cstdint>
#include <cstdio>

#include "tools/output_text.h"

namespace {

/// The characters JSON escapes by letter; other control characters take \u00XX.
constexpr character_escape JSON_ESCAPES[] = {
    {'"', "\\\""}, {'\\', "\\\\"}, {'\b', "\\b"}, {'\f', "\\f"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\t', "\\t"},
};

}  // namespace

std::string json_string(const std::string& text) {
    std::string json = "\"";
    for (std::size_t at = 0; at < text.size();) {
        std::uint32_t code = 0;
        const std::size_t length = utf8_sequence(text, at, &code);
        if (length == 0) {
            json += "\\uFFFD";
            ++at;
            continue;
        }
        if (const char* escape = escape_of(JSON_ESCAPES, code)) {
            json += escape;
        } else if (code < 0x20 || code == 0x7F || code == 0x2028 || code == 0x2029) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", unsigned(code));
            json += escaped;
        } else {
            json.append(text, at, length);
        }
        at += length;
    }
    return json + "\"";
}
