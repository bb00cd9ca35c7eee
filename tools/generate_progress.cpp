#include "tools/generate_progress.h"

#include <cmath>

/// "8 s", "3 min 05 s", "2 h 07 min", "41 d 03 h": whole seconds, rounded up.
std::string duration_text(double seconds) {
    const std::uint64_t s = std::uint64_t(std::ceil(std::max(seconds, 0.0)));
    char text[48];
    if (s < 60)
        std::snprintf(text, sizeof text, "%llu s", static_cast<unsigned long long>(s));
    else if (s < 3600)
        std::snprintf(text, sizeof text, "%llu min %02llu s", static_cast<unsigned long long>(s / 60),
                      static_cast<unsigned long long>(s % 60));
    else if (s < 86400)
        std::snprintf(text, sizeof text, "%llu h %02llu min", static_cast<unsigned long long>(s / 3600),
                      static_cast<unsigned long long>(s / 60 % 60));
    else
        std::snprintf(text, sizeof text, "%llu d %02llu h", static_cast<unsigned long long>(s / 86400),
                      static_cast<unsigned long long>(s / 3600 % 24));
    return text;
}

/// "3.4" below 100 maps a second, "250" above
std::string rate_text(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, rate < 99.95 ? "%.1f" : "%.0f", rate);
    return text;
}


std::string generate_progress_line(std::uint64_t done, std::uint64_t total, double seconds) {
    std::string line = std::to_string(done) + "/" + std::to_string(total) + " maps";
    if (done == 0 || seconds <= 0) return line;
    const double rate = double(done) / seconds;
    line += ", " + rate_text(rate) + " maps/s";
    if (done < total) line += ", " + duration_text(double(total - done) / rate) + " left";
    return line;
}
