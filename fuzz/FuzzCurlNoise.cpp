// Fuzz target: the curl-noise cache reader. Whatever the bytes, the volume is either refused (and left
// empty) or holds exactly N^3 vectors; every loaded volume is sampled at positions far outside it,
// which must wrap around without reading outside the vectors.
#include "particles/TaCurlNoise.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CTaCurlNoise volume;
    std::string error;
    const bool loaded = volume.loadCacheBytes(data, size, error);
    const size_t n = size_t(volume.size());
    if (volume.vectors().size() != n * n * n * 3 || (loaded && error.size()) || (!loaded && error.empty()))
        __builtin_trap();
    volatile float sink = 0;
    const float positions[][3] = {{0.5f, 0.5f, 0.5f}, {-1e7f, 3.25f, 1e7f}, {float(n) - 0.001f, -0.001f, 1e30f}};
    for (const auto& p : positions) {
        float out[3];
        volume.sample(p, out);
        sink = sink + out[0] + out[1] + out[2];
    }
    return 0;
}
