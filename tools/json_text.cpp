#include "tools/json_text.h"

#include <cstdint>
#include <cstdio>

#include "tools/output_text.h"

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
        switch (code) {
            case '"': json += "\\\""; break;
            case '\\': json += "\\\\"; break;
            case '\b': json += "\\b"; break;
            case '\f': json += "\\f"; break;
            case '\n': json += "\\n"; break;
            case '\r': json += "\\r"; break;
            case '\t': json += "\\t"; break;
            default:
                if (code < 0x20 || code == 0x7F || code == 0x2028 || code == 0x2029) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04X", unsigned(code));
                    json += escaped;
                } else {
                    json.append(text, at, length);
                }
        }
        at += length;
    }
    return json + "\"";
}
