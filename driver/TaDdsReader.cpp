// The DirectDraw Surface reader: header parsing, surface layout, and decoding of the uncompressed and DXT formats.
#include "driver/TaDdsReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Header field offsets, counted from the start of the file (the 4-byte magic comes first).
enum : size_t {
    kOffHeaderSize = 4,
    kOffFlags = 8,
    kOffHeight = 12,
    kOffWidth = 16,
    kOffDepth = 24,
    kOffMipCount = 28,
    kOffPfSize = 76,
    kOffPfFlags = 80,
    kOffPfFourCc = 84,
    kOffPfBitCount = 88,
    kOffPfRMask = 92,
    kOffPfGMask = 96,
    kOffPfBMask = 100,
    kOffPfAMask = 104,
    kOffCaps2 = 112,
};

constexpr uint32_t kDdsdMipMapCount = 0x20000;
constexpr uint32_t kDdsdDepth = 0x800000;

constexpr uint32_t kDdpfAlphaPixels = 0x1;
constexpr uint32_t kDdpfFourCc = 0x4;
constexpr uint32_t kDdpfRgb = 0x40;
constexpr uint32_t kDdpfLuminance = 0x20000;

constexpr uint32_t kCaps2CubeMap = 0x200;
constexpr uint32_t kCaps2AllFaces = 0xFC00; // +X, -X, +Y, -Y, +Z, -Z
constexpr uint32_t kCaps2Volume = 0x200000;

constexpr uint32_t fourCc(char a, char b, char c, char d)
{
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 | uint32_t(uint8_t(d)) << 24;
}

uint32_t readU32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t readU16(const uint8_t* p)
{
    return uint16_t(p[0] | p[1] << 8);
}

std::string hex32(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", value);
    return text;
}

// A FOURCC for a message: printable characters as they are, anything else as \xNN, so a hostile
// file cannot put control characters into the log.
std::string fourCcText(uint32_t code)
{
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const unsigned c = (code >> (8 * i)) & 0xFF;
        if (c >= 0x20 && c < 0x7F && c != '\'' && c != '\\') {
            text += char(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            text += escaped;
        }
    }
    return text;
}

// a*b, or false if it would not fit in 64 bits.
bool mulChecked(uint64_t a, uint64_t b, uint64_t& result)
{
    if (a != 0 && b > UINT64_MAX / a)
        return false;
    result = a * b;
    return true;
}

bool addChecked(uint64_t a, uint64_t b, uint64_t& result)
{
    if (b > UINT64_MAX - a)
        return false;
    result = a + b;
    return true;
}

bool isCompressed(ETaDdsFormat format)
{
    return format == ETADDS_DXT1 || format == ETADDS_DXT3 || format == ETADDS_DXT5;
}

// Bytes per pixel of the uncompressed formats, bytes per 4x4 block of the compressed ones.
uint32_t unitBytes(ETaDdsFormat format)
{
    switch (format) {
    case ETADDS_A8R8G8B8:
    case ETADDS_X8R8G8B8: return 4;
    case ETADDS_R8G8B8: return 3;
    case ETADDS_L8: return 1;
    case ETADDS_A8L8: return 2;
    case ETADDS_DXT1: return 8;
    case ETADDS_DXT3:
    case ETADDS_DXT5: return 16;
    }
    return 0;
}

bool isKnownFormat(int format)
{
    return format >= ETADDS_A8R8G8B8 && format <= ETADDS_DXT5;
}

uint32_t levelSide(uint32_t side, uint32_t level)
{
    return level >= 32 ? 1 : std::max<uint32_t>(1, side >> level);
}

// Works out the pixel format from the 32-byte pixel format block; false with the reason.
bool readPixelFormat(const uint8_t* file, ETaDdsFormat& format, std::string& error)
{
    const uint32_t pfSize = readU32(file + kOffPfSize);
    if (pfSize != 32) {
        error = "the pixel format size is " + std::to_string(pfSize) + ", not 32";
        return false;
    }
    const uint32_t flags = readU32(file + kOffPfFlags);
    if (flags & kDdpfFourCc) {
        const uint32_t code = readU32(file + kOffPfFourCc);
        if (code == fourCc('D', 'X', 'T', '1')) {
            format = ETADDS_DXT1;
        } else if (code == fourCc('D', 'X', 'T', '3')) {
            format = ETADDS_DXT3;
        } else if (code == fourCc('D', 'X', 'T', '5')) {
            format = ETADDS_DXT5;
        } else if (code == fourCc('D', 'X', '1', '0')) {
            error = "DX10 headers are not supported";
            return false;
        } else {
            error = "unsupported pixel format FOURCC '" + fourCcText(code) + "'";
            return false;
        }
        return true;
    }
    const uint32_t bits = readU32(file + kOffPfBitCount);
    const uint32_t r = readU32(file + kOffPfRMask);
    const uint32_t g = readU32(file + kOffPfGMask);
    const uint32_t b = readU32(file + kOffPfBMask);
    // The alpha mask only means something with DDPF_ALPHAPIXELS; without it the channel is padding.
    const uint32_t a = (flags & kDdpfAlphaPixels) ? readU32(file + kOffPfAMask) : 0;
    if (flags & kDdpfRgb) {
        const bool rgbOrder = r == 0x00FF0000 && g == 0x0000FF00 && b == 0x000000FF;
        if (bits == 32 && rgbOrder && a == 0xFF000000) {
            format = ETADDS_A8R8G8B8;
            return true;
        }
        if (bits == 32 && rgbOrder && a == 0) {
            format = ETADDS_X8R8G8B8;
            return true;
        }
        if (bits == 24 && rgbOrder && a == 0) {
            format = ETADDS_R8G8B8;
            return true;
        }
    } else if (flags & kDdpfLuminance) {
        if (bits == 8 && r == 0xFF && a == 0) {
            format = ETADDS_L8;
            return true;
        }
        if (bits == 16 && r == 0xFF && a == 0xFF00) {
            format = ETADDS_A8L8;
            return true;
        }
    }
    const char* kind = (flags & kDdpfRgb) ? "RGB" : (flags & kDdpfLuminance) ? "luminance" : "non-RGB";
    error = "unsupported pixel format: " + std::to_string(bits) + "-bit " + kind + " with masks R " + hex32(r) + " G " +
        hex32(g) + " B " + hex32(b) + " A " + hex32(a) + " (flags " + hex32(flags) + ")";
    return false;
}

bool checkSide(const char* name, uint32_t value, uint32_t limit, std::string& error)
{
    if (value == 0) {
        error = std::string(name) + " 0";
        return false;
    }
    if (value > limit) {
        error = std::string(name) + " " + std::to_string(value) + " exceeds " + std::to_string(limit);
        return false;
    }
    return true;
}

// --- Decoding -----------------------------------------------------------------------------------------

struct SRgba {
    uint8_t r, g, b, a;
};

// 565 to 888 by bit replication, so 0 stays 0 and the largest value becomes 255.
SRgba expand565(uint16_t c)
{
    const unsigned r = (c >> 11) & 0x1F, g = (c >> 5) & 0x3F, b = c & 0x1F;
    return {uint8_t(r << 3 | r >> 2), uint8_t(g << 2 | g >> 4), uint8_t(b << 3 | b >> 2), 255};
}

// Interpolated colours round to nearest: (2a+b+1)/3 for the thirds (the +1 is half of 3, rounded down, so
// exact thirds stay exact and x.5 cannot occur), (a+b+1)/2 for the half (halves round up).
uint8_t third(unsigned a, unsigned b)
{
    return uint8_t((2 * a + b + 1) / 3);
}

uint8_t half(unsigned a, unsigned b)
{
    return uint8_t((a + b + 1) / 2);
}

// The four colours of a DXT colour block. DXT1 uses the 3-colour + transparent black mode when c0 <= c1;
// DXT3 and DXT5 always use four colours (their alpha comes from elsewhere).
void colourPalette(const uint8_t* block, bool allowOneBitAlpha, SRgba palette[4])
{
    const uint16_t c0 = readU16(block), c1 = readU16(block + 2);
    const SRgba p0 = expand565(c0), p1 = expand565(c1);
    palette[0] = p0;
    palette[1] = p1;
    if (c0 > c1 || !allowOneBitAlpha) {
        palette[2] = {third(p0.r, p1.r), third(p0.g, p1.g), third(p0.b, p1.b), 255};
        palette[3] = {third(p1.r, p0.r), third(p1.g, p0.g), third(p1.b, p0.b), 255};
    } else {
        palette[2] = {half(p0.r, p1.r), half(p0.g, p1.g), half(p0.b, p1.b), 255};
        palette[3] = {0, 0, 0, 0};
    }
}

// DXT5 alpha: 8 values when a0 > a1 (six interpolated), else 6 interpolated values plus 0 and 255.
// Interpolation rounds to nearest: ((n-k)*a0 + k*a1 + n/2) / n with n = 7 or 5.
void alphaPalette(uint8_t a0, uint8_t a1, uint8_t palette[8])
{
    palette[0] = a0;
    palette[1] = a1;
    if (a0 > a1) {
        for (unsigned k = 1; k <= 6; ++k)
            palette[k + 1] = uint8_t(((7 - k) * a0 + k * a1 + 3) / 7);
    } else {
        for (unsigned k = 1; k <= 4; ++k)
            palette[k + 1] = uint8_t(((5 - k) * a0 + k * a1 + 2) / 5);
        palette[6] = 0;
        palette[7] = 255;
    }
}

// Decodes one 4x4 block into a 16-pixel tile, pixel (x, y) at index y*4+x.
void decodeBlock(ETaDdsFormat format, const uint8_t* block, SRgba tile[16])
{
    const uint8_t* colour = format == ETADDS_DXT1 ? block : block + 8;
    SRgba palette[4];
    colourPalette(colour, format == ETADDS_DXT1, palette);
    // Indices: one byte per row, pixel 0 in the lowest two bits.
    for (int i = 0; i < 16; ++i)
        tile[i] = palette[(colour[4 + i / 4] >> (2 * (i % 4))) & 3];

    if (format == ETADDS_DXT3) {
        // Explicit alpha: 4 bits per pixel, two pixels per byte, the first in the low nibble; x17 maps 15 to 255.
        for (int i = 0; i < 16; ++i)
            tile[i].a = uint8_t(((block[i / 2] >> (4 * (i % 2))) & 0xF) * 17);
    } else if (format == ETADDS_DXT5) {
        uint8_t palette8[8];
        alphaPalette(block[0], block[1], palette8);
        // 48 bits of 3-bit indices, little-endian, pixel 0 in the lowest bits.
        uint64_t bits = 0;
        for (int i = 0; i < 6; ++i)
            bits |= uint64_t(block[2 + i]) << (8 * i);
        for (int i = 0; i < 16; ++i)
            tile[i].a = palette8[(bits >> (3 * i)) & 7];
    }
}

void decodeCompressed(const uint8_t* src, ETaDdsFormat format, uint32_t width, uint32_t height, uint32_t depth,
                      uint8_t* out)
{
    const uint32_t blocksX = (width + 3) / 4, blocksY = (height + 3) / 4;
    const size_t blockBytes = unitBytes(format);
    for (uint32_t z = 0; z < depth; ++z) {
        uint8_t* slice = out + size_t(z) * height * width * 4;
        for (uint32_t by = 0; by < blocksY; ++by) {
            for (uint32_t bx = 0; bx < blocksX; ++bx, src += blockBytes) {
                SRgba tile[16];
                decodeBlock(format, src, tile);
                // Blocks on the right and bottom edges hang over a size that is not a multiple of 4: clip them.
                const uint32_t w = std::min<uint32_t>(4, width - bx * 4), h = std::min<uint32_t>(4, height - by * 4);
                for (uint32_t y = 0; y < h; ++y) {
                    uint8_t* row = slice + (size_t(by * 4 + y) * width + bx * 4) * 4;
                    std::memcpy(row, &tile[y * 4], size_t(w) * 4);
                }
            }
        }
    }
}

void decodeUncompressed(const uint8_t* src, ETaDdsFormat format, size_t pixels, uint8_t* out)
{
    for (size_t i = 0; i < pixels; ++i, out += 4) {
        switch (format) {
        case ETADDS_A8R8G8B8:
            out[0] = src[2], out[1] = src[1], out[2] = src[0], out[3] = src[3];
            src += 4;
            break;
        case ETADDS_X8R8G8B8:
            out[0] = src[2], out[1] = src[1], out[2] = src[0], out[3] = 255;
            src += 4;
            break;
        case ETADDS_R8G8B8:
            out[0] = src[2], out[1] = src[1], out[2] = src[0], out[3] = 255;
            src += 3;
            break;
        case ETADDS_L8:
            out[0] = out[1] = out[2] = src[0], out[3] = 255;
            src += 1;
            break;
        case ETADDS_A8L8:
            out[0] = out[1] = out[2] = src[0], out[3] = src[1];
            src += 2;
            break;
        default: return; // compressed formats do not come here
        }
    }
}

} // namespace

uint64_t taDdsSurfaceBytes(ETaDdsFormat format, uint32_t width, uint32_t height, uint32_t depth)
{
    uint64_t across = width, down = height;
    if (isCompressed(format)) {
        across = std::max<uint64_t>(1, (uint64_t(width) + 3) / 4);
        down = std::max<uint64_t>(1, (uint64_t(height) + 3) / 4);
    }
    uint64_t bytes = 0;
    if (!mulChecked(across, down, bytes) || !mulChecked(bytes, unitBytes(format), bytes) ||
        !mulChecked(bytes, depth, bytes))
        return 0;
    return bytes;
}

bool taReadDds(const void* data, size_t size, STaDdsImage& image, std::string& error)
{
    image = STaDdsImage();
    const uint8_t* file = static_cast<const uint8_t*>(data);
    if (!file || size < 4 || std::memcmp(file, "DDS ", 4) != 0) {
        error = "not a DDS file";
        return false;
    }
    if (size < kTaDdsDataOffset) {
        error = "the header is truncated (" + std::to_string(size) + " of " + std::to_string(kTaDdsDataOffset) + " bytes)";
        return false;
    }
    const uint32_t headerSize = readU32(file + kOffHeaderSize);
    if (headerSize != 124) {
        error = "the header size is " + std::to_string(headerSize) + ", not 124";
        return false;
    }
    ETaDdsFormat format;
    if (!readPixelFormat(file, format, error))
        return false;

    const uint32_t flags = readU32(file + kOffFlags);
    const uint32_t caps2 = readU32(file + kOffCaps2);
    const uint32_t width = readU32(file + kOffWidth), height = readU32(file + kOffHeight);
    if (!checkSide("width", width, kTaDdsMaxSide, error) || !checkSide("height", height, kTaDdsMaxSide, error))
        return false;

    ETaDdsKind kind = ETADDS_2D;
    uint32_t depth = 1;
    int faces = 1;
    const bool cube = (caps2 & kCaps2CubeMap) != 0, volume = (caps2 & kCaps2Volume) != 0;
    if (cube && volume) {
        error = "the file claims to be both a cube map and a volume";
        return false;
    }
    if (cube) {
        if ((caps2 & kCaps2AllFaces) != kCaps2AllFaces) {
            error = "cube maps need all six faces";
            return false;
        }
        if (width != height) {
            error = "cube map faces are " + std::to_string(width) + "x" + std::to_string(height) + ", not square";
            return false;
        }
        kind = ETADDS_CUBE;
        faces = 6;
    } else if (volume) {
        if (!(flags & kDdsdDepth)) {
            error = "a volume needs a depth (DDSD_DEPTH is not set)";
            return false;
        }
        depth = readU32(file + kOffDepth);
        if (!checkSide("depth", depth, kTaDdsMaxDepth, error))
            return false;
        kind = ETADDS_VOLUME;
    }

    // Levels a full chain down to 1x1(x1) has: floor(log2(largest side)) + 1.
    const uint32_t largest = std::max({width, height, depth});
    uint32_t maxLevels = 1;
    while ((largest >> maxLevels) != 0)
        ++maxLevels;
    uint32_t levels = 1;
    if (flags & kDdsdMipMapCount) {
        const uint32_t count = readU32(file + kOffMipCount);
        levels = count == 0 ? 1 : count;
    }
    if (levels > maxLevels) {
        error = "mip count " + std::to_string(levels) + " exceeds the " + std::to_string(maxLevels) + " that " +
            std::to_string(width) + "x" + std::to_string(height) +
            (kind == ETADDS_VOLUME ? "x" + std::to_string(depth) : std::string()) + " allows";
        return false;
    }

    // Check the decoded total before laying out anything, so the message names the real problem even when
    // the file is also too short for it.
    uint64_t decodedTotal = 0;
    for (uint32_t level = 0; level < levels; ++level) {
        uint64_t pixels = 0;
        if (!mulChecked(levelSide(width, level), levelSide(height, level), pixels) ||
            !mulChecked(pixels, uint64_t(levelSide(depth, level)) * 4, pixels) ||
            !mulChecked(pixels, uint64_t(faces), pixels) || !addChecked(decodedTotal, pixels, decodedTotal) ||
            decodedTotal > kTaDdsMaxDecodedBytes) {
            error = "the decoded image would exceed " + std::to_string(kTaDdsMaxDecodedBytes >> 20) + " MiB";
            return false;
        }
    }

    std::vector<STaDdsSurface> surfaces;
    surfaces.reserve(size_t(faces) * levels);
    uint64_t offset = kTaDdsDataOffset;
    for (int face = 0; face < faces; ++face) {
        for (uint32_t level = 0; level < levels; ++level) {
            STaDdsSurface surface;
            surface.face = face;
            surface.level = int(level);
            surface.width = levelSide(width, level);
            surface.height = levelSide(height, level);
            surface.depth = levelSide(depth, level);
            const uint64_t bytes = taDdsSurfaceBytes(format, surface.width, surface.height, surface.depth);
            uint64_t end = 0;
            if (bytes == 0 || !addChecked(offset, bytes, end) || end > size) {
                error = "mip level " + std::to_string(level) +
                    (kind == ETADDS_CUBE ? " of face " + std::to_string(face) : std::string()) +
                    " runs past the end of the file";
                return false;
            }
            surface.offset = size_t(offset);
            surface.size = size_t(bytes);
            surfaces.push_back(surface);
            offset = end;
        }
    }

    image.kind = kind;
    image.format = format;
    image.width = width;
    image.height = height;
    image.depth = depth;
    image.levels = levels;
    image.faces = faces;
    image.surfaces = std::move(surfaces);
    error.clear();
    return true;
}

bool taDecodeDdsSurface(const void* data, size_t size, const STaDdsImage& image, const STaDdsSurface& surface,
                        std::vector<uint8_t>& rgba, std::string& error)
{
    rgba.clear();
    // The surface is described by the caller; check everything decoding relies on rather than trust it.
    if (!data || !isKnownFormat(image.format) || surface.width == 0 || surface.height == 0 || surface.depth == 0 ||
        surface.width > kTaDdsMaxSide || surface.height > kTaDdsMaxSide || surface.depth > kTaDdsMaxDepth) {
        error = "the surface does not describe a valid image";
        return false;
    }
    const uint64_t bytes = taDdsSurfaceBytes(image.format, surface.width, surface.height, surface.depth);
    if (bytes == 0 || surface.size != bytes) {
        error = "the surface size " + std::to_string(surface.size) + " does not match its dimensions (" +
            std::to_string(bytes) + " bytes)";
        return false;
    }
    if (surface.offset > size || size - surface.offset < surface.size) {
        error = "the surface runs past the end of the file";
        return false;
    }
    const uint64_t pixels = uint64_t(surface.width) * surface.height * surface.depth;
    if (pixels * 4 > kTaDdsMaxDecodedBytes) {
        error = "the decoded surface would exceed " + std::to_string(kTaDdsMaxDecodedBytes >> 20) + " MiB";
        return false;
    }
    rgba.resize(size_t(pixels) * 4);
    const uint8_t* src = static_cast<const uint8_t*>(data) + surface.offset;
    if (isCompressed(image.format))
        decodeCompressed(src, image.format, surface.width, surface.height, surface.depth, rgba.data());
    else
        decodeUncompressed(src, image.format, size_t(pixels), rgba.data());
    error.clear();
    return true;
}
