#include "numerics/rng.h"

#include "numerics/rng_probe.h"

namespace {

constexpr std::uint32_t STATE_BYTES = 624 * 4;  // 2496: every word handed out

// The process-wide source and seeding LCG; the LCG starts at 0.
random_source process_source;
std::uint32_t process_lcg = 0;

// One step of the seeding LCG on state: the new state, halves exchanged, XOR 0x31415926.
std::uint32_t lcg_step(std::uint32_t& state) {
    state = state * 2147001325u + 715136305u;  // 0x7FF8A3ED, 0x2AA01D31
    return ((state << 16) | (state >> 16)) ^ 0x31415926u;
}

}  // namespace

// The one way in to a random_source's members, for this file alone.
struct rng_access {
    static std::uint32_t* state(random_source& s) { return s.state_; }
    static const std::uint32_t* state(const random_source& s) { return s.state_; }
    static std::uint32_t& position(random_source& s) { return s.position_; }
    static std::uint32_t position(const random_source& s) { return s.position_; }
};

namespace {

// Every state word from the LCG started at lcg (the seed): the LCG steps before
// word 0 is formed, so word 0 is already the output of one step from the seed.
void fill_state(random_source& source, std::uint32_t lcg) {
    std::uint32_t* const state = rng_access::state(source);
    for (int k = 0; k < 624; ++k) state[k] = lcg_step(lcg);
    rng_access::position(source) = STATE_BYTES;
}

// One MT19937 twist over the whole state, in index order: words 227..623 mix
// with words already regenerated in this pass, word 623 with the new word 0.
void regenerate(std::uint32_t* state) {
    for (int k = 0; k < 624; ++k) {
        std::uint32_t y = (state[k] & 0x80000000u) | (state[(k + 1) % 624] & 0x7FFFFFFFu);
        state[k] = state[(k + 397) % 624] ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
    }
}

}  // namespace

// ---- a source of the caller's own

void rng_seed(random_source& source, std::uint32_t seed) { fill_state(source, seed); }

std::uint32_t rng_next(random_source& source) {
    std::uint32_t* const state = rng_access::state(source);
    std::uint32_t p = rng_access::position(source);
    if (p >= STATE_BYTES) {
        if (p > STATE_BYTES) rng_seed(source, 0);  // never seeded: behave as seed 0
        regenerate(state);
        p = 0;
    }
    rng_access::position(source) = p + 4;
    std::uint32_t y = state[p / 4];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

// k * 2^-32 is exact in double; rounding it to float here would turn the largest
// draws into 1.0 and change the parameters built from them.
double rng_unit(random_source& source) { return rng_next(source) * 2.3283064365386963e-10; }

// ---- the process-wide source

random_source& rng_process_source() { return process_source; }

std::uint32_t lcg_next() { return lcg_step(process_lcg); }

// Seeding runs the LCG from the seed on a copy of its own, so the process-wide
// LCG is left exactly as it was found, as if borrowed and restored.
void rng_seed(std::uint32_t seed) { rng_seed(process_source, seed); }

std::uint32_t rng_next() { return rng_next(process_source); }

double rng_unit() { return rng_unit(process_source); }

// ---- for tests

std::uint32_t rng_state_word(const random_source& source, int k) { return rng_access::state(source)[k]; }

std::uint32_t rng_position(const random_source& source) { return rng_access::position(source); }

void rng_forget_seed(random_source& source, std::uint32_t position, std::uint32_t filler) {
    std::uint32_t* const state = rng_access::state(source);
    for (int k = 0; k < 624; ++k) state[k] = filler;
    rng_access::position(source) = position;
}

std::uint32_t lcg_state() { return process_lcg; }

void set_lcg_state(std::uint32_t state) { process_lcg = state; }
