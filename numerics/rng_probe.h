// For tests: what rng.cpp keeps to itself, read (and, for the seeding LCG and an
// unseeded state, set) from outside. Nothing on a program's path uses this.
#pragma once

#include <cstdint>

#include "numerics/rng.h"

/// Word k (0..623) of source's Mersenne Twister state.
std::uint32_t rng_state_word(const random_source& source, int k);
/// Byte offset into source's state of the next word: 2496 means "regenerate before
/// the next draw", anything above 2496 "never seeded".
std::uint32_t rng_position(const random_source& source);
/// Makes source unseeded again, with position (which must exceed 2496) as its read
/// position and every state word set to filler: leftovers that a draw must ignore.
void rng_forget_seed(random_source& source, std::uint32_t position, std::uint32_t filler);

/// The process-wide seeding LCG's state, and a way to set it.
std::uint32_t lcg_state();
void set_lcg_state(std::uint32_t state);
