// The one process-wide random generator of the particles: a 32-bit linear congruential generator
// (s <- s * 214013 + 2531011), each draw giving 15 bits. Main thread only.
#pragma once

#include <cstdint>

// The next draw, 0 to 32767.
int taParticleRand();
// A centred uniform draw in [-0.5, 0.5].
float taParticleRandCentred();
// The generator's state (0 at start), for tests and to restart a sequence.
uint32_t taParticleRandSeed();
void taParticleSetRandSeed(uint32_t seed);
