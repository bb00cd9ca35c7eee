#include "tools/json_text.h"

#include <cstdint>
#include <cstdio>

#include "tools/output_text.h"

namespace {

/// The characters JSON escapes by letter; other control characters take \u00XX.
constexpr character_escape JSON_ESCAPES[] = {
    {'"', "\\\""}, {'\\', "\\\\"}, {'\b', "\\b"}, {'\f', "\\f"}, {'\n', "\\n"}, {'\r', "\\r"}, {'\t', "\\t"},
};

/// Control characters, DEL, and the two that JavaScript takes for line ends.
bool json_needs_hex(std::uint32_t code) { return code < 0x20 || code == 0x7F || code == 0x2028 || code == 0x2029; }

}  // namespace

std::string json_string_as(std::string_view text, const json_escaping& escaping) {
    std::string json = "\"";
    for (std::size_t at = 0; at < text.size();) {
        std::uint32_t code = 0;
        const std::size_t length = utf8_sequence(text, at, &code);
        if (length == 0) {
            json += escaping.replacement;
            ++at;
            continue;
        }
        if (const char* letter = escape_of(escaping.letters, code)) {
            json += letter;
        } else if (escaping.needs_hex(code)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, escaping.hex_format, unsigned(code));
            json += escaped;
        } else {
            json.append(text, at, length);
        }
        at += length;
    }
    return json + "\"";
}

std::string json_string(const std::string& text) {
    static const json_escaping JSON = {JSON_ESCAPES, json_needs_hex, "\\u%04X", "\\uFFFD"};
    return json_string_as(text, JSON);
}
