// Text for web pages that vxltool writes: escaping for HTML and JSON, base64 and
// zlib for binary data carried inside a page, a template filler, and numbers
// written for people. Nothing here knows about maps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

/// text with & < > " ' replaced by character references, safe in element content
/// and in quoted attribute values
std::string html_escape(std::string_view text);

/// text as a JSON string literal, quotes included, to stand inside a <script>
/// element of a page: besides what json_text.h's json_string escapes, < > & are
/// escaped too (no "</script>" can end the element early), and bytes that are not
/// UTF-8 become U+FFFD (a page is UTF-8 throughout).
std::string script_json_string(std::string_view text);

/// standard base64 (RFC 4648, with padding, no line breaks)
std::string base64_encode(const std::uint8_t* data, std::size_t length);

/// Compresses data into the zlib format (RFC 1950), which browsers unpack with
/// DecompressionStream("deflate"). Returns false with the reason when it cannot
/// (no memory for the compressor).
bool zlib_compress(const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>* out, std::string* reason);

/// text for a path part of a relative URL: every byte but unreserved ones
/// (letters, digits, - . _ ~) percent-encoded
std::string url_path_escape(std::string_view text);

/// Replaces each {{key}} in template_text with values[key], in one pass: values
/// are inserted as they are and never scanned for keys. Returns false, naming the
/// key in *reason, when the template holds a key that values lacks.
bool fill_template(std::string_view template_text, const std::map<std::string, std::string>& values,
                   std::string* out, std::string* reason);

/// 2097536 as "2,097,536"
std::string group_thousands(std::uint64_t n);

/// a size in bytes for people: "812 bytes", "1.4 KB", "2.0 MB" (powers of 1000)
std::string human_size(std::uint64_t bytes);
