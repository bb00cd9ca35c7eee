// The one seeded random source: a 32-bit Mersenne Twister (MT19937 twist and
// tempering) whose 624-word state is filled by a small LCG instead of the
// standard seeding recurrence. Same seed, same sequence, on every machine.
#pragma once

#include <cstdint>

/// Mersenne Twister state; all zero until the first seeding.
extern std::uint32_t rng_state[624];
/// Byte offset into rng_state of the next word: 2496 means "regenerate before the
/// next draw", anything above 2496 "never seeded" (the initial value is 2497).
extern std::uint32_t rng_position;
/// State of the seeding LCG; rng_seed leaves it as it found it.
extern std::uint32_t lcg_state;

/// Advances lcg_state and returns it with its 16-bit halves exchanged, XOR 0x31415926.
std::uint32_t lcg_next();
/// Fills rng_state from seed (taken by its bit pattern) and arms a regeneration.
void rng_seed(std::uint32_t seed);
/// Returns the next tempered output; a draw before any seeding seeds with 0 first.
std::uint32_t rng_next();
/// Returns rng_next() * 2^-32: an exact double in [0, 1), never rounded to float.
double rng_unit();
