// Putting names that come from strangers into vxltool's output. A file name may
// hold any byte but '/' and NUL: a newline in it could forge a line of output, an
// escape sequence could rewrite the terminal, and bytes that are not UTF-8 are no
// JSON text. Text output quotes such names the way GNU coreutils' ls and stat do
// (shell-escape style); JSON output escapes what JSON needs and stands in for what
// it cannot hold (json_text.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

/// name as it stands when every byte is safe to show; otherwise quoted for a POSIX
/// shell: in '...', with the unsafe bytes as $'\n', $'\t', $'\033', ... escapes
/// (octal for all but \a \b \t \n \v \f \r), so that pasted into a shell it gives
/// the name back. Unsafe are control characters (C0, DEL, and C1 in UTF-8), bytes
/// that are not part of valid UTF-8, and the characters that reorder or break
/// displayed lines (U+200E, U+200F, U+2028 to U+202E, U+2066 to U+2069).
std::string quoted_name(const std::string& name);

/// true when text is valid UTF-8 (no overlong forms, surrogates or values past
/// U+10FFFF)
bool is_utf8(const std::string& text);

/// Length of the valid UTF-8 sequence at text[at] (at < text.size()), with its
/// code point in *code; 0 when the byte there starts none (a stray or cut byte,
/// an overlong form, a surrogate, a value past U+10FFFF).
std::size_t utf8_sequence(std::string_view text, std::size_t at, std::uint32_t* code);

/// A character and the text that stands for it in one kind of output (a shell's
/// $'...', a JSON string, HTML).
struct character_escape {
    std::uint32_t code;
    const char* text;
};

/// the text that escapes gives for code, or null when it gives none
const char* escape_of(std::span<const character_escape> escapes, std::uint32_t code);

/// the bytes of text in lower-case hexadecimal, two digits each
std::string hex_bytes(const std::string& text);
