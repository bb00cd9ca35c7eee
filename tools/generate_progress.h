// The progress line of the commands that work through many maps (generate,
// gallery): maps done, maps a second and the time left, redrawn in place on
// standard error where that is a terminal.
#pragma once

#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/generate_command.h"  // generate_progress_line

/// "8 s", "3 min 05 s", "2 h 07 min", "41 d 03 h": whole seconds, rounded up.
std::string duration_text(double seconds);
/// "3.4" below 100 maps a second, "250" above
std::string rate_text(double rate);

/// The progress line on standard error, redrawn in place, only where standard
/// error is a terminal; a line of its own for anything else printed there.
class Progress {
  public:
    /// command names the line: "generate: 12/40 maps, ..."
    explicit Progress(std::uint64_t total, const char* command = "generate")
        : total_(total), command_(command), shown_(isatty(STDERR_FILENO) == 1) {}

    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

    /// Redraws the line with done maps, at most ten times a second unless forced.
    void show(std::uint64_t done, bool force = false) {
        if (!shown_) return;
        const auto now = std::chrono::steady_clock::now();
        if (!force && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        std::fprintf(stderr, "\r%s: %s\x1b[K", command_, generate_progress_line(done, total_, seconds()).c_str());
        std::fflush(stderr);
        drawn_ = true;
    }

    /// Takes the line away, so that the next text starts a clean line.
    void clear() {
        if (!drawn_) return;
        std::fputs("\r\x1b[K", stderr);
        std::fflush(stderr);
        drawn_ = false;
    }

  private:
    std::uint64_t total_;
    const char* command_;
    bool shown_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point last_{};
};
