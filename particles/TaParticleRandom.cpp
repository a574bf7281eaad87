// The particles' random generator.
#include "particles/TaParticleRandom.h"

namespace {
uint32_t g_seed = 0;
} // namespace

int taParticleRand()
{
    g_seed = g_seed * 214013u + 2531011u;
    return int((g_seed >> 16) & 0x7FFF);
}

float taParticleRandCentred()
{
    return float(taParticleRand()) * 3.0518509447574615e-05f - 0.5f;
}

uint32_t taParticleRandSeed()
{
    return g_seed;
}

void taParticleSetRandSeed(uint32_t seed)
{
    g_seed = seed;
}
