// The curl-noise volume and its cache.
#include "particles/TaCurlNoise.h"

#include "platform/TaPlatform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

// Gradient noise over a lattice that repeats every `period` cells on each axis: the lattice points
// hash (by a fixed permutation) to one of twelve edge directions of a cube, the weights ease with
// 6t^5 - 15t^4 + 10t^3, and the result lies in about [-1, 1].
class CPeriodicNoise
{
public:
    explicit CPeriodicNoise(int period) : m_period(period)
    {
        for (int i = 0; i < 256; ++i)
            m_permutation[i] = uint8_t(i);
        // A fixed shuffle (a linear congruential sequence), so every build makes the same volume.
        uint32_t s = 12345;
        for (int i = 255; i > 0; --i) {
            s = s * 1664525u + 1013904223u;
            const int j = int((s >> 8) % uint32_t(i + 1));
            std::swap(m_permutation[i], m_permutation[j]);
        }
    }
    float operator()(float x, float y, float z) const
    {
        const int xi = int(std::floor(x)), yi = int(std::floor(y)), zi = int(std::floor(z));
        const float xf = x - float(xi), yf = y - float(yi), zf = z - float(zi);
        const float u = fade(xf), v = fade(yf), w = fade(zf);
        float corners[8];
        for (int c = 0; c < 8; ++c) {
            const int dx = c & 1, dy = (c >> 1) & 1, dz = c >> 2;
            corners[c] = gradient(hash(xi + dx, yi + dy, zi + dz), xf - float(dx), yf - float(dy), zf - float(dz));
        }
        const auto lerp = [](float a, float b, float t) { return a + (b - a) * t; };
        const float x00 = lerp(corners[0], corners[1], u), x10 = lerp(corners[2], corners[3], u);
        const float x01 = lerp(corners[4], corners[5], u), x11 = lerp(corners[6], corners[7], u);
        return lerp(lerp(x00, x10, v), lerp(x01, x11, v), w);
    }

private:
    static float fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }
    int wrap(int v) const { return ((v % m_period) + m_period) % m_period; }
    int hash(int x, int y, int z) const
    {
        return m_permutation[(m_permutation[(m_permutation[wrap(x) & 255] + wrap(y)) & 255] + wrap(z)) & 255];
    }
    static float gradient(int h, float x, float y, float z)
    {
        static const float g[12][3] = {{1, 1, 0}, {-1, 1, 0}, {1, -1, 0}, {-1, -1, 0}, {1, 0, 1}, {-1, 0, 1},
                                       {1, 0, -1}, {-1, 0, -1}, {0, 1, 1}, {0, -1, 1}, {0, 1, -1}, {0, -1, -1}};
        const float* d = g[h % 12];
        return d[0] * x + d[1] * y + d[2] * z;
    }

    int m_period;
    uint8_t m_permutation[256];
};

void put32(std::vector<uint8_t>& out, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + size_t(i)] = uint8_t(value >> (8 * i));
}

} // namespace

std::vector<uint8_t> taNoiseVolumeVoxels(int n)
{
    std::vector<uint8_t> voxels;
    if (n < 16 || n % 16 != 0)
        return voxels;
    const CPeriodicNoise noise(n / 16);
    voxels.resize(size_t(n) * size_t(n) * size_t(n));
    for (int z = 0; z < n; ++z)
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const float value = noise(float(x) / 16, float(y) / 16, float(z) / 16);
                const float byte = std::min(std::max((value * 128 + 128) * 0.5f, 0.0f), 255.0f);
                voxels[size_t(x) + size_t(y) * size_t(n) + size_t(z) * size_t(n) * size_t(n)] = uint8_t(byte);
            }
    return voxels;
}

std::vector<uint8_t> taNoiseVolumeDds(int n)
{
    const std::vector<uint8_t> voxels = taNoiseVolumeVoxels(n);
    if (voxels.empty())
        return {};
    std::vector<uint8_t> out(128, 0);
    out[0] = 'D', out[1] = 'D', out[2] = 'S', out[3] = ' ';
    put32(out, 4, 124);                                // header size
    put32(out, 8, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000 | 0x800000); // caps, height, width, pitch, pixel format, depth
    put32(out, 12, uint32_t(n));                       // height
    put32(out, 16, uint32_t(n));                       // width
    put32(out, 20, uint32_t(n));                       // pitch: one byte a voxel
    put32(out, 24, uint32_t(n));                       // depth
    put32(out, 76, 32);                                // pixel format size
    put32(out, 80, 0x20000);                           // luminance
    put32(out, 88, 8);                                 // bits a pixel
    put32(out, 92, 0xFF);                              // the luminance mask
    put32(out, 108, 0x1000 | 0x8);                     // texture, complex
    put32(out, 112, 0x200000);                         // a volume
    out.insert(out.end(), voxels.begin(), voxels.end());
    return out;
}

void CTaCurlNoise::clear()
{
    m_n = 1;
    m_vectors.assign(3, 0);
}

bool CTaCurlNoise::buildFromVoxels(const uint8_t* voxels, size_t count, int n)
{
    if (n < 1 || !voxels || count < size_t(n) * size_t(n) * size_t(n)) {
        clear();
        return false;
    }
    const auto wrap = [n](int v) { return ((v % n) + n) % n; };
    const auto voxel = [&](int x, int y, int z) {
        return int(voxels[size_t(wrap(x)) + size_t(wrap(y)) * size_t(n) + size_t(wrap(z)) * size_t(n) * size_t(n)]);
    };
    // The vector noise: each component a voxel plus half the voxel at twice the coordinates, the
    // components read at different offsets.
    const auto nx = [&](int x, int y, int z) { return voxel(x, y, z) + voxel(2 * x, 2 * y, 2 * z) / 2; };
    const auto ny = [&](int x, int y, int z) {
        return voxel(x + 31, y - 48, z + 13) + voxel(2 * x + 31, 2 * y - 48, 2 * z + 13) / 2;
    };
    const auto nz = [&](int x, int y, int z) {
        return voxel(x - 233, y - 113, z - 185) + voxel(2 * x - 233, 2 * y - 113, 2 * z - 185) / 2;
    };
    std::vector<int8_t> vectors(size_t(n) * size_t(n) * size_t(n) * 3);
    for (int z = 0; z < n; ++z)
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const int c[3] = {(nz(x, y + 1, z) - nz(x, y - 1, z)) - (ny(x, y, z + 1) - ny(x, y, z - 1)),
                                  (nx(x, y, z + 1) - nx(x, y, z - 1)) - (nz(x + 1, y, z) - nz(x - 1, y, z)),
                                  (ny(x + 1, y, z) - ny(x - 1, y, z)) - (nx(x, y + 1, z) - nx(x, y - 1, z))};
                int8_t* out = &vectors[(size_t(x) + size_t(y) * size_t(n) + size_t(z) * size_t(n) * size_t(n)) * 3];
                for (int i = 0; i < 3; ++i)
                    out[i] = int8_t(uint8_t(c[i] & 0xFF)); // kept in 8 bits
            }
    m_n = n;
    m_vectors.swap(vectors);
    return true;
}

void CTaCurlNoise::sample(const float p[3], float out[3]) const
{
    const int n = m_n;
    size_t index0[3], index1[3];
    float f[3];
    const size_t stride[3] = {3, size_t(n) * 3, size_t(n) * size_t(n) * 3};
    for (int a = 0; a < 3; ++a) {
        // The cell below p on this axis, wrapped into 0..N-1 (positions far out of range are clamped
        // to what an int holds first).
        const float clamped = std::min(std::max(p[a], -1.0e9f), 1.0e9f);
        const float below = std::floor(clamped);
        f[a] = clamped - below;
        // A volume of a power-of-two edge (the usual 64) wraps with a mask; others by a remainder.
        const long long whole = static_cast<long long>(below);
        int cell = (n & (n - 1)) == 0 ? int(whole & (n - 1)) : int(whole % n);
        if (cell < 0)
            cell += n;
        index0[a] = size_t(cell) * stride[a];
        index1[a] = size_t(cell + 1 == n ? 0 : cell + 1) * stride[a];
    }
    const int8_t* v = m_vectors.data();
    const float gx[2] = {1 - f[0], f[0]}, gy[2] = {1 - f[1], f[1]}, gz[2] = {1 - f[2], f[2]};
    float x = 0, y = 0, z = 0;
    for (int corner = 0; corner < 8; ++corner) {
        const int8_t* c = v + (corner & 1 ? index1[0] : index0[0]) + (corner & 2 ? index1[1] : index0[1]) +
                          (corner & 4 ? index1[2] : index0[2]);
        const float w = gx[corner & 1] * gy[(corner >> 1) & 1] * gz[corner >> 2];
        x += w * float(c[0]), y += w * float(c[1]), z += w * float(c[2]);
    }
    out[0] = x, out[1] = y, out[2] = z;
}

bool CTaCurlNoise::loadCacheBytes(const uint8_t* data, size_t size, std::string& error)
{
    clear();
    if (size % 3 != 0) {
        error = "CurlNoise3D file not multiple of 3 bytes";
        return false;
    }
    const long n = std::lround(std::cbrt(double(size / 3)));
    // N >= 1: an empty file would otherwise pass with N = 0.
    if (n < 1 || size_t(n) * size_t(n) * size_t(n) * 3 != size) {
        char text[96];
        snprintf(text, sizeof(text), "CurlNoise3D file not have W = H = D (sz=%ld)", n);
        error = text;
        return false;
    }
    m_n = int(n);
    m_vectors.assign(reinterpret_cast<const int8_t*>(data), reinterpret_cast<const int8_t*>(data) + size);
    return true;
}

bool CTaCurlNoise::loadCache(const std::string& path, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        clear();
        error = "failed to open CurlNoise3D file";
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) {
        clear();
        error = "failed to read CurlNoise3D file";
        return false;
    }
    return loadCacheBytes(bytes.data(), bytes.size(), error);
}

bool CTaCurlNoise::saveCache(const std::string& path) const
{
    return taPlatformWriteFileAtomic(path.c_str(), m_vectors.data(), m_vectors.size());
}
