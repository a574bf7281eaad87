// The curl-noise volume and its cache.
#include "particles/TaCurlNoise.h"

#include "platform/TaPlatform.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>

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
