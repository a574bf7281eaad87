// A small DDS writer for tests: headers field by field, payloads in the formats' own byte order.
#pragma once

#include "driver/TaDdsReader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

namespace tadds {

using Bytes = std::vector<uint8_t>;

struct SPixel {
    uint8_t r, g, b, a;
    bool operator==(const SPixel& other) const
    {
        return r == other.r && g == other.g && b == other.b && a == other.a;
    }
};

inline std::ostream& operator<<(std::ostream& out, const SPixel& p)
{
    return out << "(" << int(p.r) << "," << int(p.g) << "," << int(p.b) << "," << int(p.a) << ")";
}

inline SPixel pixelAt(const Bytes& rgba, size_t index)
{
    return {rgba[index * 4], rgba[index * 4 + 1], rgba[index * 4 + 2], rgba[index * 4 + 3]};
}

// --- A small DDS writer: the header fields in file order, then the caller's payload. ----------------------

constexpr uint32_t kDdsdCaps = 0x1, kDdsdHeight = 0x2, kDdsdWidth = 0x4, kDdsdPixelFormat = 0x1000;
constexpr uint32_t kDdsdMipMapCount = 0x20000, kDdsdDepth = 0x800000;
constexpr uint32_t kDdpfAlphaPixels = 0x1, kDdpfFourCc = 0x4, kDdpfRgb = 0x40, kDdpfLuminance = 0x20000;
constexpr uint32_t kCaps2CubeMap = 0x200, kCaps2AllFaces = 0xFC00, kCaps2Volume = 0x200000;

inline uint32_t fourCc(const char* text)
{
    return uint32_t(uint8_t(text[0])) | uint32_t(uint8_t(text[1])) << 8 | uint32_t(uint8_t(text[2])) << 16 |
        uint32_t(uint8_t(text[3])) << 24;
}

struct SDdsHeader {
    char magic[5] = "DDS ";
    uint32_t headerSize = 124;
    uint32_t flags = kDdsdCaps | kDdsdHeight | kDdsdWidth | kDdsdPixelFormat;
    uint32_t width = 1, height = 1, depth = 0, mipCount = 0;
    uint32_t pfSize = 32, pfFlags = 0, fourCc = 0, bits = 0, rMask = 0, gMask = 0, bMask = 0, aMask = 0;
    uint32_t caps = 0x1000, caps2 = 0;
};

// A header for `format` at width x height; the rest stays at its defaults.
inline SDdsHeader headerFor(ETaDdsFormat format, uint32_t width, uint32_t height)
{
    SDdsHeader h;
    h.width = width;
    h.height = height;
    switch (format) {
    case ETADDS_A8R8G8B8:
        h.pfFlags = kDdpfRgb | kDdpfAlphaPixels, h.bits = 32;
        h.rMask = 0xFF0000, h.gMask = 0xFF00, h.bMask = 0xFF, h.aMask = 0xFF000000;
        break;
    case ETADDS_X8R8G8B8:
        h.pfFlags = kDdpfRgb, h.bits = 32, h.rMask = 0xFF0000, h.gMask = 0xFF00, h.bMask = 0xFF;
        break;
    case ETADDS_R8G8B8:
        h.pfFlags = kDdpfRgb, h.bits = 24, h.rMask = 0xFF0000, h.gMask = 0xFF00, h.bMask = 0xFF;
        break;
    case ETADDS_L8: h.pfFlags = kDdpfLuminance, h.bits = 8, h.rMask = 0xFF; break;
    case ETADDS_A8L8:
        h.pfFlags = kDdpfLuminance | kDdpfAlphaPixels, h.bits = 16, h.rMask = 0xFF, h.aMask = 0xFF00;
        break;
    case ETADDS_DXT1: h.pfFlags = kDdpfFourCc, h.fourCc = fourCc("DXT1"); break;
    case ETADDS_DXT3: h.pfFlags = kDdpfFourCc, h.fourCc = fourCc("DXT3"); break;
    case ETADDS_DXT5: h.pfFlags = kDdpfFourCc, h.fourCc = fourCc("DXT5"); break;
    }
    return h;
}

inline SDdsHeader withMips(SDdsHeader h, uint32_t count)
{
    h.flags |= kDdsdMipMapCount;
    h.mipCount = count;
    return h;
}

inline void put32(Bytes& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

inline Bytes writeDds(const SDdsHeader& h, const Bytes& payload)
{
    Bytes out(h.magic, h.magic + 4);
    put32(out, h.headerSize);
    put32(out, h.flags);
    put32(out, h.height);
    put32(out, h.width);
    put32(out, 0); // pitch or linear size: left 0 as many writers do; the reader must not rely on it
    put32(out, h.depth);
    put32(out, h.mipCount);
    for (int i = 0; i < 11; ++i)
        put32(out, 0);
    for (uint32_t v : {h.pfSize, h.pfFlags, h.fourCc, h.bits, h.rMask, h.gMask, h.bMask, h.aMask})
        put32(out, v);
    for (uint32_t v : {h.caps, h.caps2, 0u, 0u, 0u})
        put32(out, v);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

// Pixels stored as the format stores them (B,G,R order for the RGB formats, L then A for A8L8).
inline Bytes encodePixels(ETaDdsFormat format, const std::vector<SPixel>& pixels)
{
    Bytes out;
    for (const SPixel& p : pixels) {
        switch (format) {
        case ETADDS_A8R8G8B8: out.insert(out.end(), {p.b, p.g, p.r, p.a}); break;
        case ETADDS_X8R8G8B8: out.insert(out.end(), {p.b, p.g, p.r, 0x5A}); break; // padding must be ignored
        case ETADDS_R8G8B8: out.insert(out.end(), {p.b, p.g, p.r}); break;
        case ETADDS_L8: out.push_back(p.r); break;
        case ETADDS_A8L8: out.insert(out.end(), {p.r, p.a}); break;
        default: ADD_FAILURE() << "not an uncompressed format";
        }
    }
    return out;
}

inline Bytes repeat(const Bytes& unit, size_t count)
{
    Bytes out;
    for (size_t i = 0; i < count; ++i)
        out.insert(out.end(), unit.begin(), unit.end());
    return out;
}

} // namespace tadds
