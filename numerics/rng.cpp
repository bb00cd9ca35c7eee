#include "numerics/rng.h"

std::uint32_t rng_state[624];
std::uint32_t rng_position = 2497;
std::uint32_t lcg_state = 0;

namespace {

constexpr std::uint32_t STATE_BYTES = 624 * 4;  // 2496: every word handed out

// One MT19937 twist over the whole state, in index order: words 227..623 mix
// with words already regenerated in this pass, word 623 with the new word 0.
void rng_regenerate() {
    for (int k = 0; k < 624; ++k) {
        std::uint32_t y = (rng_state[k] & 0x80000000u) | (rng_state[(k + 1) % 624] & 0x7FFFFFFFu);
        rng_state[k] = rng_state[(k + 397) % 624] ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
    }
}

}  // namespace

std::uint32_t lcg_next() {
    lcg_state = lcg_state * 2147001325u + 715136305u;  // 0x7FF8A3ED, 0x2AA01D31
    return ((lcg_state << 16) | (lcg_state >> 16)) ^ 0x31415926u;
}

void rng_seed(std::uint32_t seed) {
    // The LCG is borrowed, not advanced: whoever else uses it sees no change.
    std::uint32_t saved = lcg_state;
    lcg_state = seed;
    for (int k = 0; k < 624; ++k) rng_state[k] = lcg_next();
    lcg_state = saved;
    rng_position = STATE_BYTES;
}

std::uint32_t rng_next() {
    std::uint32_t p = rng_position;
    if (p >= STATE_BYTES) {
        if (p > STATE_BYTES) rng_seed(0);  // never seeded: behave as seed 0
        rng_regenerate();
        p = 0;
    }
    rng_position = p + 4;
    std::uint32_t y = rng_state[p / 4];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

// k * 2^-32 is exact in double; rounding it to float here would turn the largest
// draws into 1.0 and change the parameters built from them.
double rng_unit() { return rng_next() * 2.3283064365386963e-10; }
