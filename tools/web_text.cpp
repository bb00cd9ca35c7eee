#include "tools/web_text.h"

#include <zlib.h>

#include <cstdio>

std::string html_escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

namespace {

/// length of the well-formed UTF-8 sequence at text[i], or 0 when there is none
std::size_t utf8_sequence(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return std::uint8_t(text[k]); };
    const std::uint8_t b = byte(i);
    std::size_t n = 0;
    std::uint32_t min = 0, code = 0;
    if (b < 0x80) return 1;
    if ((b & 0xE0) == 0xC0) n = 2, min = 0x80, code = b & 0x1F;
    else if ((b & 0xF0) == 0xE0) n = 3, min = 0x800, code = b & 0x0F;
    else if ((b & 0xF8) == 0xF0) n = 4, min = 0x10000, code = b & 0x07;
    else return 0;
    if (i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
    if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return n;
}

}  // namespace

std::string script_json_string(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t n = utf8_sequence(text, i);
        if (n == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (n > 1) {
            out.append(text.substr(i, n));
            i += n;
            continue;
        }
        ++i;
        if (c == '"') out += "\\\"";
        else if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\t') out += "\\t";
        else if (c < 0x20 || c == '<' || c == '>' || c == '&' || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
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
