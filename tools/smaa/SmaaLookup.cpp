// The SMAA lookup images (see SmaaLookup.h for the model and the layouts).
#include "SmaaLookup.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The boundary's height at a line end of each pattern, towards the owner's side.
double endHeight(int pattern)
{
    static const double heights[4] = {0.0, 0.5, -0.5, 0.0};
    return pattern >= 0 && pattern < 4 ? heights[pattern] : 0.0;
}

uint8_t toByte(double value)
{
    return static_cast<uint8_t>(std::lround(std::min(1.0, std::max(0.0, value)) * 255.0));
}

} // namespace

STaSmaaArea taSmaaArea(int startPattern, int endPattern, int dStart, int dEnd)
{
    // The line runs over [0, length]; the start's height falls to 0 at the middle, the end's rises
    // from 0 there. In each half the height keeps its sign, so the integral over the part of the
    // owner pixel's span [dStart, dStart + 1] in that half is all owner's or all other's.
    const double length = dStart + dEnd + 1.0, middle = length / 2.0;
    const double a = dStart, b = dStart + 1.0;
    STaSmaaArea area;
    auto add = [&area](double integral) {
        if (integral > 0)
            area.owner += integral;
        else
            area.other -= integral;
    };
    // Start half: h(x) = hs (1 - x / middle) on [0, middle].
    const double hs = endHeight(startPattern);
    if (a < middle) {
        const double hi = std::min(b, middle);
        add(hs * ((hi - a) - (hi * hi - a * a) / (2.0 * middle)));
    }
    // End half: h(x) = he (x - middle) / middle on [middle, length].
    const double he = endHeight(endPattern);
    if (b > middle) {
        const double lo = std::max(a, middle);
        add(he * ((b * b - lo * lo) / 2.0 - middle * (b - lo)) / middle);
    }
    return area;
}

STaSmaaImage taSmaaAreaImage()
{
    STaSmaaImage image;
    image.width = image.height = TA_SMAA_AREA_SIZE;
    image.rgba.assign(size_t(image.width) * image.height * 4, 0);
    for (int endPattern = 0; endPattern < 4; ++endPattern)
        for (int startPattern = 0; startPattern < 4; ++startPattern)
            for (int dEnd = 0; dEnd < TA_SMAA_AREA_BLOCK; ++dEnd)
                for (int dStart = 0; dStart < TA_SMAA_AREA_BLOCK; ++dStart) {
                    const STaSmaaArea area = taSmaaArea(startPattern, endPattern, dStart, dEnd);
                    const int x = startPattern * TA_SMAA_AREA_BLOCK + dStart;
                    const int y = endPattern * TA_SMAA_AREA_BLOCK + dEnd;
                    uint8_t* texel = &image.rgba[(size_t(y) * image.width + x) * 4];
                    texel[0] = toByte(area.owner);
                    texel[1] = toByte(area.other);
                    texel[2] = 0;
                    texel[3] = 255;
                }
    return image;
}

int taSmaaSearchCount(bool towardsEnd, bool lineNear, bool lineFar, bool crossNear, bool crossFar)
{
    if (towardsEnd) {
        // Walking towards the end, the crossing at a pixel's start side lies before the pixel.
        if (crossNear || !lineNear)
            return 0;
        return crossFar || !lineFar ? 1 : 2;
    }
    // Walking towards the start, it lies beyond the pixel: the pixel joins, the walk ends there.
    (void)crossFar;
    if (!lineNear)
        return 0;
    return crossNear || !lineFar ? 1 : 2;
}

STaSmaaImage taSmaaSearchImage()
{
    const int half = TA_SMAA_SEARCH_HALF;
    STaSmaaImage image;
    image.width = 2 * half;
    image.height = half;
    image.rgba.assign(size_t(image.width) * image.height * 4, 0);
    // A fetched value v = 3/4 near + 1/4 far, decoded to the nearest of 0, 1/4, 3/4 and 1.
    auto decode = [](double v, bool& nearSet, bool& farSet) {
        nearSet = v >= 0.5;
        farSet = v - (nearSet ? 0.75 : 0.0) >= 0.125;
    };
    for (int towardsEnd = 0; towardsEnd < 2; ++towardsEnd)
        for (int j = 0; j < half; ++j)
            for (int i = 0; i < half; ++i) {
                bool lineNear, lineFar, crossNear, crossFar;
                decode(double(i) / (half - 1), crossNear, crossFar);
                decode(double(j) / (half - 1), lineNear, lineFar);
                const int count = taSmaaSearchCount(towardsEnd != 0, lineNear, lineFar, crossNear, crossFar);
                const uint8_t value = static_cast<uint8_t>(std::lround(count * 255.0 / 2.0));
                uint8_t* texel = &image.rgba[(size_t(j) * image.width + towardsEnd * half + i) * 4];
                texel[0] = texel[1] = texel[2] = value;
                texel[3] = 255;
            }
    return image;
}

// --- SHA-256 (FIPS 180-4) ----------------------------------------------------------------------

namespace {

uint32_t rotateRight(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

void sha256Block(uint32_t state[8], const uint8_t block[64])
{
    static const uint32_t k[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
        0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
        0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
        0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
        0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
        0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
        0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
    uint32_t w[64];
    for (int i = 0; i < 16; ++i)
        w[i] = uint32_t(block[4 * i]) << 24 | uint32_t(block[4 * i + 1]) << 16 | uint32_t(block[4 * i + 2]) << 8 |
               uint32_t(block[4 * i + 3]);
    for (int i = 16; i < 64; ++i) {
        const uint32_t s0 = rotateRight(w[i - 15], 7) ^ rotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
        const uint32_t s1 = rotateRight(w[i - 2], 17) ^ rotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
        w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t v[8];
    std::copy(state, state + 8, v);
    for (int i = 0; i < 64; ++i) {
        const uint32_t s1 = rotateRight(v[4], 6) ^ rotateRight(v[4], 11) ^ rotateRight(v[4], 25);
        const uint32_t choice = (v[4] & v[5]) ^ (~v[4] & v[6]);
        const uint32_t t1 = v[7] + s1 + choice + k[i] + w[i];
        const uint32_t s0 = rotateRight(v[0], 2) ^ rotateRight(v[0], 13) ^ rotateRight(v[0], 22);
        const uint32_t majority = (v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]);
        const uint32_t t2 = s0 + majority;
        std::copy_backward(v, v + 7, v + 8);
        v[4] += t1;
        v[0] = t1 + t2;
    }
    for (int i = 0; i < 8; ++i)
        state[i] += v[i];
}

} // namespace

std::string taSmaaSha256(const uint8_t* data, size_t size)
{
    uint32_t state[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    size_t done = 0;
    for (; size - done >= 64; done += 64)
        sha256Block(state, data + done);
    // The tail, a 1 bit, zeros and the length in bits, in one or two blocks.
    uint8_t tail[128] = {};
    const size_t rest = size - done;
    std::copy(data + done, data + size, tail);
    tail[rest] = 0x80;
    const size_t tailSize = rest + 9 <= 64 ? 64 : 128;
    const uint64_t bits = uint64_t(size) * 8;
    for (int i = 0; i < 8; ++i)
        tail[tailSize - 1 - i] = static_cast<uint8_t>(bits >> (8 * i));
    for (size_t offset = 0; offset < tailSize; offset += 64)
        sha256Block(state, tail + offset);
    std::string hex;
    char digits[9];
    for (uint32_t word : state) {
        std::snprintf(digits, sizeof digits, "%08x", word);
        hex += digits;
    }
    return hex;
}

std::string taSmaaChecksumLine(const char* file, const STaSmaaImage& image)
{
    return std::string(file) + " " + std::to_string(image.width) + "x" + std::to_string(image.height) + " " +
           taSmaaSha256(image);
}
