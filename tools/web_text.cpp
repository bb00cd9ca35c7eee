#include "tools/web_text.h"

#include <zlib.h>

#include <cstdio>

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
    z_stream stream{};
    if (deflateInit(&stream, Z_BEST_COMPRESSION) != Z_OK) {
        *reason = "zlib could not start";
        return false;
    }
    out->resize(deflateBound(&stream, uLong(length)));
    // zlib counts in uInt: feed and take at most 1 GiB per call.
    constexpr std::size_t STEP = std::size_t{1} << 30;
    std::size_t in_done = 0, out_done = 0;
    int result = Z_OK;
    while (result == Z_OK) {
        const std::size_t in_left = length - in_done, out_left = out->size() - out_done;
        stream.next_in = const_cast<Bytef*>(data + in_done);
        stream.avail_in = uInt(in_left < STEP ? in_left : STEP);
        stream.next_out = out->data() + out_done;
        stream.avail_out = uInt(out_left < STEP ? out_left : STEP);
        const uInt in_before = stream.avail_in, out_before = stream.avail_out;
        result = deflate(&stream, in_done + in_before == length ? Z_FINISH : Z_NO_FLUSH);
        in_done += in_before - stream.avail_in;
        out_done += out_before - stream.avail_out;
        if (result == Z_BUF_ERROR && out_done < out->size()) result = Z_OK;
    }
    deflateEnd(&stream);
    if (result != Z_STREAM_END) {
        *reason = stream.msg ? stream.msg : "zlib could not compress";
        return false;
    }
    out->resize(out_done);
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
