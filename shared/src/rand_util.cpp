#include "rand_util.h"

static uint32_t rand_util_state = 1;

void rand_util_srand(uint32_t seed)
{
    rand_util_state = seed;
}

int rand_util_rand(void)
{
    // Unsigned arithmetic wraps modulo 2^32, as the generator requires.
    rand_util_state = rand_util_state * 214013u + 2531011u;
    return (int)((rand_util_state >> 16) & RAND_UTIL_MAX);
}
