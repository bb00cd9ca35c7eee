#include "tools/web_text.h"

#include <libdeflate.h>

#include <cstdio>
#include <memory>

#include "tools/json_text.h"
#include "tools/output_text.h"

namespace {

/// The characters HTML replaces by references, in element content and in
/// quoted attribute values.
constexpr character_escape HTML_ESCAPES[] = {
    {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}, {'\'', "&#39;"},
};

/// The characters a JSON string in a page escapes by letter; other control
/// characters and < > & take \u00xx.
constexpr character_escape SCRIPT_ESCAPES[] = {
    {'"', "\\\""}, {'\\', "\\\\"}, {'\n', "\\n"}, {'\t', "\\t"},
};

/// Control characters, DEL, and what could end a <script> element or start a
/// character reference; all of them ASCII, so other characters pass as they are.
bool script_needs_hex(std::uint32_t code) {
    return code < 0x20 || code == '<' || code == '>' || code == '&' || code == 0x7F;
}

}  // namespace

std::string html_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (const char* reference = escape_of(HTML_ESCAPES, static_cast<unsigned char>(c)))
            out += reference;
        else
            out += c;
    }
    return out;
}

std::string script_json_string(std::string_view text) {
    static const json_escaping SCRIPT = {SCRIPT_ESCAPES, script_needs_hex, "\\u%04x", "\\ufffd"};
    return json_string_as(text, SCRIPT);
}

std::string base64_encode(const std::uint8_t* data, std::size_t length) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((length + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const std::uint32_t v = std::uint32_t(data[i]) << 16 | std::uint32_t(data[i + 1]) << 8 | data[i + 2];
        for (int shift : {18, 12, 6, 0}) out += digits[v >> shift & 63];
    }
    if (length - i == 1) {
        const std::uint32_t v = std::uint32_t(data[i]) << 16;
        out += digits[v >> 18 & 63], out += digits[v >> 12 & 63], out += "==";
    } else if (length - i == 2) {
        const std::uint32_t v = std::uint32_t(data[i]) << 16 | std::uint32_t(data[i + 1]) << 8;
        out += digits[v >> 18 & 63], out += digits[v >> 12 & 63], out += digits[v >> 6 & 63], out += '=';
    }
    return out;
}

bool zlib_compress(const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>* out, std::string* reason) {
    // libdeflate at its level 7 compresses a generated map five times faster than
    // zlib at its best, into 1% more bytes (0.4% of a page). Its levels 10 to 12
    // save 6% of the bytes and take as long as zlib's best or longer; a page is
    // made once, but a gallery of a whole collection should not wait on them.
    constexpr int LEVEL = 7;
    const std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor(
        libdeflate_alloc_compressor(LEVEL), libdeflate_free_compressor);
    if (!compressor) {
        *reason = "out of memory";
        return false;
    }
    out->resize(libdeflate_zlib_compress_bound(compressor.get(), length));
    const std::size_t packed = libdeflate_zlib_compress(compressor.get(), data, length, out->data(), out->size());
    if (packed == 0) {  // cannot be: the bound is room enough
        *reason = "the compressed data does not fit its bound";
        return false;
    }
    out->resize(packed);
    return true;
}

std::string url_path_escape(std::string_view text) {
    std::string out;
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || (u >= '0' && u <= '9') || u == '-' || u == '.' ||
            u == '_' || u == '~') {
            out += c;
        } else {
            char escape[4];
            std::snprintf(escape, sizeof escape, "%%%02X", u);
            out += escape;
        }
    }
    return out;
}

bool fill_template(std::string_view template_text, const std::map<std::string, std::string>& values,
                   std::string* out, std::string* reason) {
    out->clear();
    std::size_t at = 0;
    for (;;) {
        const std::size_t open = template_text.find("{{", at);
        if (open == std::string_view::npos) break;
        const std::size_t close = template_text.find("}}", open + 2);
        if (close == std::string_view::npos) break;
        out->append(template_text.substr(at, open - at));
        const std::string key(template_text.substr(open + 2, close - open - 2));
        const auto value = values.find(key);
        if (value == values.end()) {
            *reason = "template key '" + key + "' has no value";
            return false;
        }
        out->append(value->second);
        at = close + 2;
    }
    out->append(template_text.substr(at));
    return true;
}

std::string group_thousands(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string human_size(std::uint64_t bytes) {
    if (bytes < 1000) return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    double value = double(bytes) / 1000;
    int unit = 0;
    while (value >= 999.95 && unit < 3) value /= 1000, ++unit;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}
