// The seeded random source: a 32-bit Mersenne Twister (MT19937 twist and
// tempering) whose 624-word state is filled by a small LCG instead of the
// standard seeding recurrence. Same seed, same sequence, on every machine.
//
// There is one process-wide source (rng_seed, rng_next, rng_unit without a
// source argument), which the program's one run uses, and any number of sources
// of the callers' own (random_source), which share nothing: two threads, each
// with its own, draw independently and get the same sequences as one thread.
#pragma once

#include <cstdint>

struct rng_access;  // rng.cpp's

/// A Mersenne Twister state and its read position. A new source is unseeded: its
/// first draw seeds it with 0, as the process-wide source does at program start.
/// What it holds is rng.cpp's alone; read it through numerics/rng_probe.h.
class random_source {
    friend struct rng_access;
    std::uint32_t state_[624] = {};
    std::uint32_t position_ = 2497;  // above 2496: never seeded
};

/// Fills source's state from seed (taken by its bit pattern) and arms a regeneration.
void rng_seed(random_source& source, std::uint32_t seed);
/// Returns source's next tempered output; a draw before any seeding seeds with 0 first.
std::uint32_t rng_next(random_source& source);
/// Returns rng_next(source) * 2^-32: an exact double in [0, 1), never rounded to float.
double rng_unit(random_source& source);

/// The process-wide source, unseeded at program start, that the three functions
/// below draw from. Not safe for two threads at once.
random_source& rng_process_source();
/// rng_seed on the process-wide source. Borrows the process-wide LCG of lcg_next
/// and leaves it exactly as it found it.
void rng_seed(std::uint32_t seed);
/// rng_next on the process-wide source.
std::uint32_t rng_next();
/// rng_unit on the process-wide source.
double rng_unit();

/// Advances the process-wide seeding LCG and returns its state with its 16-bit
/// halves exchanged, XOR 0x31415926. Seeding uses the same step.
std::uint32_t lcg_next();
