// CTaCurlNoise: the curl-noise volume the particles drift through: N x N x N vectors of three signed
// bytes (voxel (i, j, k) at i + j N + k N^2), the curl of a two-octave vector noise made from a
// volume of 8-bit voxels, sampled trilinearly with wrap-around; and its cache file (the N^3 x 3 bytes,
// nothing else). The empty volume (N = 1, one zero vector) samples as zero everywhere.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A tileable noise volume of N x N x N 8-bit voxels (N a multiple of 16): periodic gradient noise of
// 16 voxels a cell (N / 16 cells, wrapping, so the volume tiles), each voxel (noise x 128 + 128) / 2.
// What "NoiseVolume.dds" holds, and what the curl-noise volume is made from without it.
std::vector<uint8_t> taNoiseVolumeVoxels(int n);
// The same as a DirectDraw Surface file: an uncompressed 8-bit luminance volume without mip maps.
std::vector<uint8_t> taNoiseVolumeDds(int n);

class CTaCurlNoise
{
public:
    CTaCurlNoise() { clear(); }

    int size() const { return m_n; }
    const std::vector<int8_t>& vectors() const { return m_vectors; }
    bool empty() const { return m_n <= 1; }
    void clear();

    // From N x N x N 8-bit voxels (the noise volume's): false for N < 1 or too few voxels.
    bool buildFromVoxels(const uint8_t* voxels, size_t count, int n);

    // The trilinear sample at `p` (voxel units, wrapping on every axis) into `out`.
    void sample(const float p[3], float out[3]) const;

    // The cache: false with the reason in `error` and the volume empty. A size that is no multiple of
    // 3: "CurlNoise3D file not multiple of 3 bytes"; no N >= 1 with N^3 x 3 bytes: "CurlNoise3D file
    // not have W = H = D (sz=%d)"; "failed to open CurlNoise3D file", "failed to read CurlNoise3D file".
    bool loadCache(const std::string& path, std::string& error);
    bool loadCacheBytes(const uint8_t* data, size_t size, std::string& error);
    // Written through a temporary file renamed into place: a cut-off write leaves no damaged cache.
    bool saveCache(const std::string& path) const;

private:
    int m_n = 1;
    std::vector<int8_t> m_vectors;
};
