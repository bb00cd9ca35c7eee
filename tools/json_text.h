// Writing JSON by hand for vxltool's --json output: the one piece that needs
// care is a string, whose quotes, backslashes and control characters must be
// escaped for any reader to take it back exactly, and which must be UTF-8 even
// when the text (a file name) is not.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "tools/output_text.h"

/// text as a JSON string literal, quotes included: '"' and '\' escaped, control
/// characters as \n, \t, ... or \u00XX, U+2028 and U+2029 as \u2028 and \u2029
/// (JavaScript takes them for line ends). Valid UTF-8 passes as it is; each byte
/// that is not part of valid UTF-8 becomes \uFFFD, the replacement character.
std::string json_string(const std::string& text);

/// How one kind of output writes a JSON string: the characters it escapes by
/// letter, those it writes as \u followed by four hex digits (in the case that
/// hex_format gives), and what stands for a byte that is not part of valid UTF-8.
struct json_escaping {
    std::span<const character_escape> letters;
    bool (*needs_hex)(std::uint32_t code);
    const char* hex_format;   // "\\u%04X" or "\\u%04x"
    const char* replacement;  // for a byte that is not UTF-8
};

/// text as a JSON string literal, quotes included, escaped as escaping says.
std::string json_string_as(std::string_view text, const json_escaping& escaping);
