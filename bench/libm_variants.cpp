// What the C library's pow and cos give over the ring weight's domain, for
// comparing two builds of the C library (or two of its variants: glibc picks
// its code by processor, and GLIBC_TUNABLES=glibc.cpu.hwcaps=-AVX2,-FMA,-FMA4
// takes the code without fused multiply-add). The map is the same everywhere
// only as far as these two functions give the same bits; bench/libm_variants.sh
// runs this twice and compares.
//
//   libm_variants calls FILE [EXPONENTS]   pow(R, e) and cos(pow * f) of every
//       distance R a column can have, for EXPONENTS exponents e spread over the
//       drawn range (default 100), as 16 bytes a call (the two doubles' bits)
//   libm_variants heights FIRST COUNT      a line "SEED HASH" for each seed from
//       FIRST: a hash of its ring-profile heights, the one stage pow and cos feed
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "numerics/rng.h"
#include "terrain/height_profile.h"
#include "terrain/terrain_fields.h"
#include "volume/volume.h"

namespace {

// dy * dy + dx2 of a column is (8 slot + 2) / 2^18 for a slot below this.
constexpr int DISTANCE_SLOTS = 65536;

bool parse_count(const char* text, long long low, long long high, long long* value) {
    char* end = nullptr;
    errno = 0;
    *value = std::strtoll(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && *value >= low && *value <= high;
}

int write_calls(const char* path, int exponents) {
    std::FILE* out = std::fopen(path, "wb");
    if (!out) return std::fprintf(stderr, "libm_variants: %s: %s\n", path, std::strerror(errno)), 1;
    for (int k = 0; k < exponents; ++k) {
        // The drawn ranges: e = float(r * 0.3 + 0.6), f = float(r * 16 + 28).
        const auto e = static_cast<float>(double(k) / exponents * 0.30000000000000004 + 0.6);
        const auto f = static_cast<float>(double((k * 7919) % exponents) / exponents * 16 + 28);
        for (int slot = 0; slot < DISTANCE_SLOTS; ++slot) {
            const double R = static_cast<float>(std::sqrt((8 * slot + 2) * 0x1p-18));
            const double power = std::pow(R, double(e));
            const double call[2] = {power, std::cos(power * f)};
            std::fwrite(call, sizeof call, 1, out);
        }
    }
    return std::fclose(out) == 0 ? 0 : (std::fprintf(stderr, "libm_variants: %s: write failed\n", path), 1);
}

int print_heights(std::int64_t first, std::int64_t count) {
    std::vector<float> height(COLUMN_COUNT), scratch(COLUMN_COUNT);
    std::vector<std::int32_t> columns(COLUMN_COUNT);
    const terrain_fields fields{height.data(), scratch.data(), columns.data()};
    for (std::int64_t seed = first; seed < first + count; ++seed) {
        random_source source;
        rng_seed(source, static_cast<std::uint32_t>(seed));
        fill_profile_heights(draw_shape_params(source), fields);
        std::uint64_t hash = 14695981039346656037u;  // FNV-1a over the heights' bits
        for (const float h : height) {
            std::uint32_t bits;
            std::memcpy(&bits, &h, sizeof bits);
            hash = (hash ^ bits) * 1099511628211u;
        }
        std::printf("%lld %016llx\n", static_cast<long long>(seed), static_cast<unsigned long long>(hash));
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    long long a = 0, b = 100;
    if (mode == "calls" && (argc == 3 || (argc == 4 && parse_count(argv[3], 1, 100000, &b))))
        return write_calls(argv[2], int(b));
    if (mode == "heights" && argc == 4 && parse_count(argv[2], INT32_MIN, INT32_MAX, &a) &&
        parse_count(argv[3], 1, std::int64_t{INT32_MAX} - a + 1, &b))
        return print_heights(a, b);
    std::fprintf(stderr, "Usage: libm_variants calls FILE [EXPONENTS] | libm_variants heights FIRST COUNT\n");
    return 2;
}
