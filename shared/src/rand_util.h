// The program's one pseudo-random generator. Every random choice of the game
// (AI, animation pickers, emitters, the script's random_number) draws from
// it, so a seed reproduces a run. The sequence is a linear congruential
// generator: state = state * 214013 + 2531011, result = bits 16 to 30 of the
// new state.
#pragma once

#include <cstdint>

// The largest value rand_util_rand returns.
#define RAND_UTIL_MAX 32767

// Starts the sequence anew from `seed`. Before the first call the seed is 1.
void rand_util_srand(uint32_t seed);

// The next number of the sequence, 0 to RAND_UTIL_MAX.
int rand_util_rand(void);
