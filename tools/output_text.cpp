#include "tools/output_text.h"

#include <cstdint>
#include <cstdio>

std::size_t utf8_sequence(std::string_view text, std::size_t at, std::uint32_t* code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    if (lead < 0x80) {
        *code = lead;
        return 1;
    }
    std::size_t length;
    std::uint32_t value, least;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, value = lead & 0x1F, least = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, value = lead & 0x0F, least = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, value = lead & 0x07, least = 0x10000;
    else return 0;
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        value = value << 6 | (byte(at + i) & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *code = value;
    return length;
}

const char* escape_of(std::span<const character_escape> escapes, std::uint32_t code) {
    for (const character_escape& e : escapes)
        if (e.code == code) return e.text;
    return nullptr;
}

namespace {

/// A character that must not reach a terminal or a log as it is.
bool unsafe_character(std::uint32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x200E || code == 0x200F ||
           (code >= 0x2028 && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

/// The bytes the shell's $'...' writes by letter; it writes all others in octal.
constexpr character_escape SHELL_ESCAPES[] = {
    {'\a', "\\a"}, {'\b', "\\b"}, {'\t', "\\t"}, {'\n', "\\n"}, {'\v', "\\v"}, {'\f', "\\f"}, {'\r', "\\r"},
};

/// One byte as the shell's $'...' writes it.
void append_escape(std::string& out, unsigned char c) {
    if (const char* letter = escape_of(SHELL_ESCAPES, c)) {
        out += letter;
        return;
    }
    char octal[5];
    std::snprintf(octal, sizeof octal, "\\%03o", c);
    out += octal;
}

}  // namespace

std::string quoted_name(const std::string& name) {
    // Mark the bytes to escape; a name without any stays as it is.
    std::string unsafe(name.size(), 0);
    bool any = false;
    for (std::size_t at = 0; at < name.size();) {
        std::uint32_t code = 0;
        const std::size_t length = utf8_sequence(name, at, &code);
        const std::size_t span = length ? length : 1;
        if (length == 0 || unsafe_character(code)) {
            for (std::size_t i = 0; i < span; ++i) unsafe[at + i] = 1;
            any = true;
        }
        at += span;
    }
    if (!any) return name;

    // Runs of safe bytes in '...', runs of unsafe ones in $'...', back to back.
    std::string out = "'";
    bool escaping = false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        if (unsafe[i]) {
            if (!escaping) out += "'$'";
            escaping = true;
            append_escape(out, c);
        } else {
            if (escaping) out += "''";
            escaping = false;
            out += c == '\'' ? std::string("'\\''") : std::string(1, char(c));
        }
    }
    return out + "'";
}

bool is_utf8(const std::string& text) {
    for (std::size_t at = 0; at < text.size();) {
        std::uint32_t code;
        const std::size_t length = utf8_sequence(text, at, &code);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

std::string hex_bytes(const std::string& text) {
    static const char DIGITS[] = "0123456789abcdef";
    std::string hex;
    for (const char c : text) {
        hex += DIGITS[static_cast<unsigned char>(c) >> 4];
        hex += DIGITS[static_cast<unsigned char>(c) & 15];
    }
    return hex;
}
