// The DDS reader: surface layout of 2D, mipped, cube and volume files, decoding of every accepted pixel format
// (hand-encoded DXT blocks with known pixels, partial edge blocks), and the damaged files it must refuse.
#include "driver/TaDdsReader.h"
#include "driver/TaDdsWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace tadds;

// --- Hand-encoded DXT blocks ---------------------------------------------------------------------------

constexpr uint16_t kRed565 = 0xF800, kGreen565 = 0x07E0, kBlue565 = 0x001F;
const SPixel kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kClear{0, 0, 0, 0};

// Row 0 uses indices 0,1,2,3; row 1 3,2,1,0; row 2 all 0; row 3 all 1 (pixel 0 in the lowest bits of each row byte).
const Bytes kIndexRows{0xE4, 0x1B, 0x00, 0x55};

Bytes colourBlock(uint16_t c0, uint16_t c1)
{
    Bytes out{uint8_t(c0), uint8_t(c0 >> 8), uint8_t(c1), uint8_t(c1 >> 8)};
    out.insert(out.end(), kIndexRows.begin(), kIndexRows.end());
    return out;
}

// The 16 pixels kIndexRows picks from a four-entry palette.
std::vector<SPixel> pickRows(const SPixel palette[4])
{
    const int rows[4][4] = {{0, 1, 2, 3}, {3, 2, 1, 0}, {0, 0, 0, 0}, {1, 1, 1, 1}};
    std::vector<SPixel> out;
    for (const auto& row : rows)
        for (int index : row)
            out.push_back(palette[index]);
    return out;
}

// Alpha block of DXT5 with pixel i using index i % 8.
Bytes alphaBlock(uint8_t a0, uint8_t a1)
{
    uint64_t bits = 0;
    for (int i = 0; i < 16; ++i)
        bits |= uint64_t(i % 8) << (3 * i);
    Bytes out{a0, a1};
    for (int i = 0; i < 6; ++i)
        out.push_back(uint8_t(bits >> (8 * i)));
    return out;
}

struct SBlockCase {
    const char* name;
    ETaDdsFormat format;
    Bytes block;
    std::vector<SPixel> expected;
};

std::vector<SBlockCase> blockCases()
{
    std::vector<SBlockCase> cases;
    // c0 > c1: four colours, thirds rounded to nearest ((2a+b+1)/3): 255*2/3 = 170, 255/3 = 85.
    const SPixel fourColour[4] = {kRed, kBlue, {170, 0, 85, 255}, {85, 0, 170, 255}};
    cases.push_back({"DXT1 four colours", ETADDS_DXT1, colourBlock(kRed565, kBlue565), pickRows(fourColour)});
    // c0 < c1: three colours (the half rounds up: 127.5 -> 128) and transparent black.
    const SPixel threeColour[4] = {kBlue, kRed, {128, 0, 128, 255}, kClear};
    cases.push_back({"DXT1 three colours and transparent", ETADDS_DXT1, colourBlock(kBlue565, kRed565),
                     pickRows(threeColour)});
    // c0 == c1 is the three-colour mode too.
    const SPixel equal[4] = {kGreen, kGreen, kGreen, kClear};
    cases.push_back({"DXT1 equal endpoints", ETADDS_DXT1, colourBlock(kGreen565, kGreen565), pickRows(equal)});
    // Bit replication: 5-bit 0b10000 -> 0b10000100 (132), 6-bit 0b100000 -> 0b10000010 (130).
    const uint16_t mid565 = 0x10 << 11 | 0x20 << 5 | 0x10;
    const SPixel mid{132, 130, 132, 255}, black{0, 0, 0, 255};
    const SPixel midToBlack[4] = {mid, black, {88, 87, 88, 255}, {44, 43, 44, 255}};
    cases.push_back({"DXT1 565 expansion", ETADDS_DXT1, colourBlock(mid565, 0), pickRows(midToBlack)});

    // DXT3: pixel i has 4-bit alpha i (x17); the colour block is always four colours, even with c0 < c1.
    Bytes dxt3;
    for (int i = 0; i < 8; ++i)
        dxt3.push_back(uint8_t(2 * i | (2 * i + 1) << 4));
    const Bytes colours = colourBlock(kBlue565, kRed565);
    dxt3.insert(dxt3.end(), colours.begin(), colours.end());
    const SPixel blueToRed[4] = {kBlue, kRed, {85, 0, 170, 255}, {170, 0, 85, 255}};
    std::vector<SPixel> dxt3Pixels = pickRows(blueToRed);
    for (int i = 0; i < 16; ++i)
        dxt3Pixels[i].a = uint8_t(i * 17);
    cases.push_back({"DXT3 explicit alpha", ETADDS_DXT3, dxt3, dxt3Pixels});

    // DXT5 with a0 > a1: eight values, sevenths rounded to nearest.
    const uint8_t eight[8] = {255, 0, 219, 182, 146, 109, 73, 36};
    // a0 <= a1: six values (fifths rounded to nearest), then 0 and 255; a0 == a1 is that mode too.
    const uint8_t six[8] = {40, 101, 52, 64, 77, 89, 0, 255};
    const uint8_t equalAlpha[8] = {100, 100, 100, 100, 100, 100, 0, 255};
    for (const auto& [name, a0, a1, values] :
         {std::make_tuple("DXT5 eight alpha values", 255, 0, eight), std::make_tuple("DXT5 six alpha values", 40, 101, six),
          std::make_tuple("DXT5 equal alpha endpoints", 100, 100, equalAlpha)}) {
        Bytes block = alphaBlock(uint8_t(a0), uint8_t(a1));
        block.insert(block.end(), colours.begin(), colours.end());
        std::vector<SPixel> pixels = pickRows(blueToRed);
        for (int i = 0; i < 16; ++i)
            pixels[i].a = values[i % 8];
        cases.push_back({name, ETADDS_DXT5, block, pixels});
    }
    return cases;
}

bool readOk(const Bytes& file, STaDdsImage& image)
{
    std::string error;
    const bool ok = taReadDds(file.data(), file.size(), image, error);
    EXPECT_TRUE(ok) << error;
    EXPECT_EQ(ok, error.empty()) << error;
    return ok;
}

Bytes decodeOk(const Bytes& file, const STaDdsImage& image, const STaDdsSurface& surface)
{
    Bytes rgba;
    std::string error;
    EXPECT_TRUE(taDecodeDdsSurface(file.data(), file.size(), image, surface, rgba, error)) << error;
    EXPECT_EQ(rgba.size(), size_t(surface.width) * surface.height * surface.depth * 4);
    return rgba;
}

// --- Decoding ------------------------------------------------------------------------------------------

TEST(TaDdsReaderTest, DecodesUncompressedFormats)
{
    // Six distinct pixels in a 3x2 image; each format keeps what it can of them.
    const std::vector<SPixel> pixels{{10, 20, 30, 40},   {250, 128, 1, 255}, {0, 0, 0, 0},
                                     {255, 255, 255, 7}, {99, 1, 200, 128},  {3, 77, 154, 201}};
    struct SCase {
        ETaDdsFormat format;
        std::function<SPixel(SPixel)> keep;
    };
    const SCase cases[] = {
        {ETADDS_A8R8G8B8, [](SPixel p) { return p; }},
        {ETADDS_X8R8G8B8, [](SPixel p) { return SPixel{p.r, p.g, p.b, 255}; }},
        {ETADDS_R8G8B8, [](SPixel p) { return SPixel{p.r, p.g, p.b, 255}; }},
        {ETADDS_L8, [](SPixel p) { return SPixel{p.r, p.r, p.r, 255}; }},
        {ETADDS_A8L8, [](SPixel p) { return SPixel{p.r, p.r, p.r, p.a}; }},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE("format " + std::to_string(c.format));
        const Bytes file = writeDds(headerFor(c.format, 3, 2), encodePixels(c.format, pixels));
        STaDdsImage image;
        if (!readOk(file, image))
            continue;
        EXPECT_EQ(image.format, c.format);
        ASSERT_EQ(image.surfaces.size(), 1u);
        EXPECT_EQ(image.surfaces[0].offset, 128u);
        EXPECT_EQ(image.surfaces[0].size, file.size() - 128);
        const Bytes rgba = decodeOk(file, image, image.surfaces[0]);
        for (size_t i = 0; i < pixels.size() && rgba.size() == 24; ++i)
            EXPECT_EQ(pixelAt(rgba, i), c.keep(pixels[i])) << "pixel " << i;
    }
}

TEST(TaDdsReaderTest, DecodesHandEncodedDxtBlocks)
{
    for (const SBlockCase& c : blockCases()) {
        SCOPED_TRACE(c.name);
        const Bytes file = writeDds(headerFor(c.format, 4, 4), c.block);
        STaDdsImage image;
        if (!readOk(file, image))
            continue;
        EXPECT_EQ(image.format, c.format);
        const Bytes rgba = decodeOk(file, image, image.surfaces.at(0));
        for (size_t i = 0; i < 16 && rgba.size() == 64; ++i)
            EXPECT_EQ(pixelAt(rgba, i), c.expected[i]) << "pixel " << i % 4 << "," << i / 4;
    }
}

// Sizes that are not multiples of 4 keep only the covered part of the edge blocks, and blocks go row by row.
TEST(TaDdsReaderTest, ClipsPartialBlocks)
{
    // Block b is a solid colour from this list (index 0 everywhere, c1 black so c0 > c1).
    const uint16_t colours565[] = {kRed565, kGreen565, kBlue565, 0xFFFF, 0xFFE0, 0x07FF};
    const SPixel colours[] = {kRed, kGreen, kBlue, {255, 255, 255, 255}, {255, 255, 0, 255}, {0, 255, 255, 255}};
    struct SSize {
        uint32_t width, height;
    };
    for (const SSize size : {SSize{1, 1}, SSize{2, 2}, SSize{3, 5}, SSize{5, 3}, SSize{4, 4}, SSize{7, 9}}) {
        SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height));
        const uint32_t blocksX = (size.width + 3) / 4, blocksY = (size.height + 3) / 4;
        Bytes payload;
        for (uint32_t b = 0; b < blocksX * blocksY; ++b)
            payload.insert(payload.end(), {uint8_t(colours565[b]), uint8_t(colours565[b] >> 8), 0, 0, 0, 0, 0, 0});
        const Bytes file = writeDds(headerFor(ETADDS_DXT1, size.width, size.height), payload);
        STaDdsImage image;
        if (!readOk(file, image))
            continue;
        EXPECT_EQ(image.surfaces.at(0).size, payload.size());
        const Bytes rgba = decodeOk(file, image, image.surfaces[0]);
        if (rgba.size() != size_t(size.width) * size.height * 4)
            continue;
        for (uint32_t y = 0; y < size.height; ++y)
            for (uint32_t x = 0; x < size.width; ++x)
                EXPECT_EQ(pixelAt(rgba, y * size.width + x), colours[(y / 4) * blocksX + x / 4]) << x << "," << y;
    }
}

// --- Layout --------------------------------------------------------------------------------------------

struct SLayoutCase {
    const char* name;
    SDdsHeader header;
    size_t payloadSize;
    ETaDdsKind kind;
    uint32_t levels;
    int faces;
    // Expected surfaces in file order: face, level, width, height, depth, offset, size.
    std::vector<STaDdsSurface> surfaces;
};

STaDdsSurface surf(int face, int level, uint32_t w, uint32_t h, uint32_t d, size_t offset, size_t size)
{
    STaDdsSurface s;
    s.face = face, s.level = level, s.width = w, s.height = h, s.depth = d, s.offset = offset, s.size = size;
    return s;
}

SDdsHeader cubeHeader(ETaDdsFormat format, uint32_t side, uint32_t levels)
{
    SDdsHeader h = withMips(headerFor(format, side, side), levels);
    h.caps2 = kCaps2CubeMap | kCaps2AllFaces;
    return h;
}

SDdsHeader volumeHeader(ETaDdsFormat format, uint32_t side, uint32_t depth, uint32_t levels)
{
    SDdsHeader h = withMips(headerFor(format, side, side), levels);
    h.flags |= kDdsdDepth;
    h.depth = depth;
    h.caps2 = kCaps2Volume;
    return h;
}

std::vector<SLayoutCase> layoutCases()
{
    std::vector<SLayoutCase> cases;
    cases.push_back({"mipped 8x4 A8R8G8B8", withMips(headerFor(ETADDS_A8R8G8B8, 8, 4), 4), 300, ETADDS_2D, 4, 1,
                     {surf(0, 0, 8, 4, 1, 128, 128), surf(0, 1, 4, 2, 1, 256, 32), surf(0, 2, 2, 1, 1, 288, 8),
                      surf(0, 3, 1, 1, 1, 296, 4)}});
    // Levels smaller than a block still take a whole block.
    cases.push_back({"mipped 8x4 DXT1", withMips(headerFor(ETADDS_DXT1, 8, 4), 4), 40, ETADDS_2D, 4, 1,
                     {surf(0, 0, 8, 4, 1, 128, 16), surf(0, 1, 4, 2, 1, 144, 8), surf(0, 2, 2, 1, 1, 152, 8),
                      surf(0, 3, 1, 1, 1, 160, 8)}});
    cases.push_back({"mipped 5x3 R8G8B8 (pitch is width * 3, unpadded)", withMips(headerFor(ETADDS_R8G8B8, 5, 3), 3),
                     45 + 6 + 3, ETADDS_2D, 3, 1,
                     {surf(0, 0, 5, 3, 1, 128, 45), surf(0, 1, 2, 1, 1, 173, 6), surf(0, 2, 1, 1, 1, 179, 3)}});
    cases.push_back({"mip count 0 means one level", withMips(headerFor(ETADDS_L8, 4, 4), 0), 16, ETADDS_2D, 1, 1,
                     {surf(0, 0, 4, 4, 1, 128, 16)}});
    SDdsHeader countWithoutFlag = headerFor(ETADDS_L8, 4, 4);
    countWithoutFlag.mipCount = 3;
    cases.push_back({"mip count without its flag is ignored", countWithoutFlag, 16, ETADDS_2D, 1, 1,
                     {surf(0, 0, 4, 4, 1, 128, 16)}});
    cases.push_back({"trailing bytes are ignored", headerFor(ETADDS_DXT5, 4, 4), 16 + 100, ETADDS_2D, 1, 1,
                     {surf(0, 0, 4, 4, 1, 128, 16)}});
    std::vector<STaDdsSurface> cube;
    for (int f = 0; f < 6; ++f) {
        cube.push_back(surf(f, 0, 4, 4, 1, 128 + 80 * f, 64));
        cube.push_back(surf(f, 1, 2, 2, 1, 128 + 80 * f + 64, 16));
    }
    cases.push_back({"cube A8R8G8B8 4x4, 2 levels", cubeHeader(ETADDS_A8R8G8B8, 4, 2), 480, ETADDS_CUBE, 2, 6, cube});
    cases.push_back({"volume A8R8G8B8 4x4x4, 2 levels", volumeHeader(ETADDS_A8R8G8B8, 4, 4, 2), 256 + 32,
                     ETADDS_VOLUME, 2, 1, {surf(0, 0, 4, 4, 4, 128, 256), surf(0, 1, 2, 2, 2, 384, 32)}});
    // A compressed volume stores whole blocks per slice; depth halves with the other sides.
    cases.push_back({"volume DXT5 4x4x4, 3 levels", volumeHeader(ETADDS_DXT5, 4, 4, 3), 64 + 32 + 16, ETADDS_VOLUME,
                     3, 1, {surf(0, 0, 4, 4, 4, 128, 64), surf(0, 1, 2, 2, 2, 192, 32), surf(0, 2, 1, 1, 1, 224, 16)}});
    // The depth counts towards the longest side: a 2x2x8 volume has 4 levels.
    cases.push_back({"deep volume 2x2x8, 4 levels", volumeHeader(ETADDS_L8, 2, 8, 4), 32 + 8 + 2 + 1, ETADDS_VOLUME, 4,
                     1,
                     {surf(0, 0, 2, 2, 8, 128, 32), surf(0, 1, 1, 1, 4, 160, 4), surf(0, 2, 1, 1, 2, 164, 2),
                      surf(0, 3, 1, 1, 1, 166, 1)}});
    return cases;
}

TEST(TaDdsReaderTest, LaysOutSurfaces)
{
    for (const SLayoutCase& c : layoutCases()) {
        SCOPED_TRACE(c.name);
        const Bytes file = writeDds(c.header, Bytes(c.payloadSize, 0));
        STaDdsImage image;
        if (!readOk(file, image))
            continue;
        EXPECT_EQ(image.kind, c.kind);
        EXPECT_EQ(image.levels, c.levels);
        EXPECT_EQ(image.faces, c.faces);
        EXPECT_EQ(image.width, c.header.width);
        EXPECT_EQ(image.height, c.header.height);
        EXPECT_EQ(image.depth, c.kind == ETADDS_VOLUME ? c.header.depth : 1u);
        ASSERT_EQ(image.surfaces.size(), c.surfaces.size());
        for (size_t i = 0; i < c.surfaces.size(); ++i) {
            const STaDdsSurface &got = image.surfaces[i], &want = c.surfaces[i];
            SCOPED_TRACE("surface " + std::to_string(i));
            EXPECT_EQ(got.face, want.face);
            EXPECT_EQ(got.level, want.level);
            EXPECT_EQ(got.width, want.width);
            EXPECT_EQ(got.height, want.height);
            EXPECT_EQ(got.depth, want.depth);
            EXPECT_EQ(got.offset, want.offset);
            EXPECT_EQ(got.size, want.size);
            decodeOk(file, image, got);
        }
    }
}

// Each level, face or slice filled with its own colour decodes to that colour: offsets and slice order hold.
TEST(TaDdsReaderTest, DecodesLevelsFacesAndSlices)
{
    auto colourOf = [](int n) { return SPixel{uint8_t(40 * n), uint8_t(255 - 30 * n), uint8_t(n * n), uint8_t(200 + n)}; };

    // Mipped 2D: level L is colour L.
    Bytes mipped;
    for (int level = 0; level < 4; ++level) {
        const Bytes level0 = encodePixels(ETADDS_A8R8G8B8, {colourOf(level)});
        const Bytes filled = repeat(level0, size_t(std::max(1, 8 >> level)) * std::max(1, 4 >> level));
        mipped.insert(mipped.end(), filled.begin(), filled.end());
    }
    // Cube: face F is colour F at both levels.
    Bytes cube;
    for (int face = 0; face < 6; ++face)
        for (size_t pixels : {16u, 4u}) {
            const Bytes filled = repeat(encodePixels(ETADDS_A8R8G8B8, {colourOf(face)}), pixels);
            cube.insert(cube.end(), filled.begin(), filled.end());
        }
    // Volume: slice Z of level L is colour 4*L + Z.
    Bytes volume;
    for (int level = 0; level < 2; ++level) {
        const int side = 4 >> level;
        for (int z = 0; z < side; ++z) {
            const Bytes filled = repeat(encodePixels(ETADDS_A8R8G8B8, {colourOf(4 * level + z)}), size_t(side * side));
            volume.insert(volume.end(), filled.begin(), filled.end());
        }
    }
    struct SCase {
        const char* name;
        Bytes file;
        std::function<int(const STaDdsSurface&, uint32_t slice)> colourIndex;
    };
    const SCase cases[] = {
        {"mipped 2D", writeDds(withMips(headerFor(ETADDS_A8R8G8B8, 8, 4), 4), mipped),
         [](const STaDdsSurface& s, uint32_t) { return s.level; }},
        {"cube", writeDds(cubeHeader(ETADDS_A8R8G8B8, 4, 2), cube),
         [](const STaDdsSurface& s, uint32_t) { return s.face; }},
        {"volume", writeDds(volumeHeader(ETADDS_A8R8G8B8, 4, 4, 2), volume),
         [](const STaDdsSurface& s, uint32_t z) { return 4 * s.level + int(z); }},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        STaDdsImage image;
        if (!readOk(c.file, image))
            continue;
        EXPECT_EQ(image.surfaces.back().offset + image.surfaces.back().size, c.file.size());
        for (const STaDdsSurface& s : image.surfaces) {
            const Bytes rgba = decodeOk(c.file, image, s);
            const size_t slicePixels = size_t(s.width) * s.height;
            for (size_t i = 0; i * 4 < rgba.size(); ++i)
                ASSERT_EQ(pixelAt(rgba, i), colourOf(c.colourIndex(s, uint32_t(i / slicePixels))))
                    << "face " << s.face << " level " << s.level << " pixel " << i;
        }
    }
}

// --- Damaged files -------------------------------------------------------------------------------------

TEST(TaDdsReaderTest, RefusesDamagedFiles)
{
    const SDdsHeader mipped = withMips(headerFor(ETADDS_A8R8G8B8, 8, 4), 4); // 172 bytes of pixels
    const Bytes good = writeDds(mipped, Bytes(172, 0));
    auto edit = [](std::function<void(SDdsHeader&)> change, SDdsHeader h, size_t payload) {
        change(h);
        return writeDds(h, Bytes(payload, 0));
    };
    SDdsHeader partialCube = cubeHeader(ETADDS_DXT1, 4, 1);
    partialCube.caps2 &= ~0x8000u; // no -Z face
    SDdsHeader rgb565 = headerFor(ETADDS_A8R8G8B8, 4, 4);
    rgb565.pfFlags = kDdpfRgb, rgb565.bits = 16, rgb565.rMask = 0xF800, rgb565.gMask = 0x07E0, rgb565.bMask = 0x1F;
    rgb565.aMask = 0;
    SDdsHeader bgra = headerFor(ETADDS_A8R8G8B8, 4, 4);
    std::swap(bgra.rMask, bgra.bMask);

    struct SCase {
        const char* name;
        Bytes file;
        std::string error;
    };
    const SCase cases[] = {
        {"empty file", {}, "not a DDS file"},
        {"wrong magic", edit([](SDdsHeader& h) { h.magic[3] = 'X'; }, mipped, 172), "not a DDS file"},
        {"truncated header", Bytes(good.begin(), good.begin() + 100), "the header is truncated (100 of 128 bytes)"},
        {"header size not 124", edit([](SDdsHeader& h) { h.headerSize = 12; }, mipped, 172),
         "the header size is 12, not 124"},
        {"pixel format size not 32", edit([](SDdsHeader& h) { h.pfSize = 24; }, mipped, 172),
         "the pixel format size is 24, not 32"},
        {"zero width", edit([](SDdsHeader& h) { h.width = 0; }, mipped, 172), "width 0"},
        {"zero height", edit([](SDdsHeader& h) { h.height = 0; }, mipped, 172), "height 0"},
        {"width beyond the limit", edit([](SDdsHeader& h) { h.width = 70000; }, mipped, 172),
         "width 70000 exceeds 16384"},
        {"height beyond the limit", edit([](SDdsHeader& h) { h.height = 0xFFFFFFFF; }, mipped, 172),
         "height 4294967295 exceeds 16384"},
        {"mip count larger than the size allows", edit([](SDdsHeader& h) { h.mipCount = 5; }, mipped, 400),
         "mip count 5 exceeds the 4 that 8x4 allows"},
        {"mip count far too large", edit([](SDdsHeader& h) { h.mipCount = 0xFFFFFFFF; }, mipped, 400),
         "mip count 4294967295 exceeds the 4 that 8x4 allows"},
        {"last mip level past the end", Bytes(good.begin(), good.end() - 1),
         "mip level 3 runs past the end of the file"},
        {"first level past the end", writeDds(mipped, {}), "mip level 0 runs past the end of the file"},
        {"last cube face past the end", writeDds(cubeHeader(ETADDS_DXT1, 4, 3), Bytes(6 * 24 - 1, 0)),
         "mip level 2 of face 5 runs past the end of the file"},
        {"largest DXT1 image in a header-only file",
         edit([](SDdsHeader& h) { h.mipCount = 15; }, headerFor(ETADDS_DXT1, 16384, 16384), 0),
         "mip level 0 runs past the end of the file"},
        {"partial cube map", writeDds(partialCube, Bytes(48, 0)), "cube maps need all six faces"},
        {"cube map not square", edit([](SDdsHeader& h) { h.height = 2; }, cubeHeader(ETADDS_L8, 4, 1), 48),
         "cube map faces are 4x2, not square"},
        {"cube map and volume", edit([](SDdsHeader& h) { h.caps2 |= kCaps2Volume; }, cubeHeader(ETADDS_L8, 4, 1), 96),
         "the file claims to be both a cube map and a volume"},
        {"volume without DDSD_DEPTH", edit([](SDdsHeader& h) { h.flags &= ~kDdsdDepth; }, volumeHeader(ETADDS_L8, 4, 4, 1), 64),
         "a volume needs a depth (DDSD_DEPTH is not set)"},
        {"volume of depth 0", writeDds(volumeHeader(ETADDS_L8, 4, 0, 1), Bytes(64, 0)), "depth 0"},
        {"volume too deep", writeDds(volumeHeader(ETADDS_L8, 4, 4096, 1), {}), "depth 4096 exceeds 2048"},
        {"decoded size beyond the cap (2^41 bytes)", writeDds(volumeHeader(ETADDS_A8R8G8B8, 16384, 2048, 1), {}),
         "the decoded image would exceed 2048 MiB"},
        {"unknown FOURCC", edit([](SDdsHeader& h) { h.fourCc = fourCc("ATI2"); }, headerFor(ETADDS_DXT1, 4, 4), 16),
         "unsupported pixel format FOURCC 'ATI2'"},
        {"FOURCC with control bytes", edit([](SDdsHeader& h) { h.fourCc = 0x0A'27'31'44; }, headerFor(ETADDS_DXT1, 4, 4), 16),
         "unsupported pixel format FOURCC 'D1\\x27\\x0a'"},
        {"DX10 extended header", edit([](SDdsHeader& h) { h.fourCc = fourCc("DX10"); }, headerFor(ETADDS_DXT1, 4, 4), 200),
         "DX10 headers are not supported"},
        {"16-bit 565", writeDds(rgb565, Bytes(32, 0)),
         "unsupported pixel format: 16-bit RGB with masks R 0x0000f800 G 0x000007e0 B 0x0000001f A 0x00000000 "
         "(flags 0x00000040)"},
        {"32-bit with red and blue swapped", writeDds(bgra, Bytes(64, 0)),
         "unsupported pixel format: 32-bit RGB with masks R 0x000000ff G 0x0000ff00 B 0x00ff0000 A 0xff000000 "
         "(flags 0x00000041)"},
        {"no pixel format flags", edit([](SDdsHeader& h) { h.pfFlags = 0; }, headerFor(ETADDS_L8, 4, 4), 16),
         "unsupported pixel format: 8-bit non-RGB with masks R 0x000000ff G 0x00000000 B 0x00000000 A 0x00000000 "
         "(flags 0x00000000)"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        STaDdsImage image;
        image.surfaces.resize(3); // left over from an earlier read: must not survive a refusal
        std::string error;
        EXPECT_FALSE(taReadDds(c.file.data(), c.file.size(), image, error));
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(image.surfaces.empty());
    }
}

// Every prefix of a valid cube file is refused cleanly (under ASan this also shows nothing reads past the end).
TEST(TaDdsReaderTest, RefusesEveryTruncation)
{
    const Bytes file = writeDds(cubeHeader(ETADDS_DXT5, 8, 4), Bytes(6 * (64 + 16 + 16 + 16), 0x33));
    STaDdsImage image;
    std::string error;
    ASSERT_TRUE(taReadDds(file.data(), file.size(), image, error)) << error;
    for (size_t size = 0; size < file.size(); ++size) {
        // A copy of exactly `size` bytes, so ASan sees any read past the prefix.
        const Bytes prefix(file.begin(), file.begin() + long(size));
        EXPECT_FALSE(taReadDds(prefix.data(), prefix.size(), image, error)) << size;
    }
}

// A surface handed to the decoder is checked against the buffer and the format, not trusted.
TEST(TaDdsReaderTest, DecoderRefusesInconsistentSurfaces)
{
    const Bytes file = writeDds(withMips(headerFor(ETADDS_DXT1, 8, 8), 2), Bytes(32 + 8, 0));
    STaDdsImage image;
    if (!readOk(file, image))
        return;
    const STaDdsSurface good = image.surfaces.at(1);
    struct SCase {
        const char* name;
        std::function<void(STaDdsSurface&, STaDdsImage&)> damage;
    };
    const SCase cases[] = {
        {"offset past the end", [](STaDdsSurface& s, STaDdsImage&) { s.offset = 1000; }},
        {"offset near SIZE_MAX", [](STaDdsSurface& s, STaDdsImage&) { s.offset = SIZE_MAX - 4; }},
        {"larger than its data", [](STaDdsSurface& s, STaDdsImage&) { s.width = 16, s.height = 16; }},
        {"size not matching", [](STaDdsSurface& s, STaDdsImage&) { s.size = 4; }},
        {"zero width", [](STaDdsSurface& s, STaDdsImage&) { s.width = 0; }},
        {"huge depth", [](STaDdsSurface& s, STaDdsImage&) { s.depth = 0x7FFFFFFF; }},
        {"format changed to a larger one", [](STaDdsSurface&, STaDdsImage& i) { i.format = ETADDS_DXT5; }},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.name);
        STaDdsSurface surface = good;
        STaDdsImage changed = image;
        c.damage(surface, changed);
        Bytes rgba(5, 1);
        std::string error;
        EXPECT_FALSE(taDecodeDdsSurface(file.data(), file.size(), changed, surface, rgba, error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(rgba.empty());
    }
}

// Writes the fuzzer's seed files when TA_DDS_SEED_DIR names a folder (fuzz/corpus/dds); otherwise skipped.
TEST(TaDdsReaderTest, WritesFuzzSeeds)
{
    const char* dir = std::getenv("TA_DDS_SEED_DIR");
    if (!dir)
        GTEST_SKIP() << "set TA_DDS_SEED_DIR to write the seeds";
    const std::vector<SBlockCase> blocks = blockCases();
    Bytes dxt5Volume;
    for (int i = 0; i < 7; ++i)
        dxt5Volume.insert(dxt5Volume.end(), blocks.back().block.begin(), blocks.back().block.end());
    Bytes dxt1Cube;
    for (int i = 0; i < 6 * 6; ++i)
        dxt1Cube.insert(dxt1Cube.end(), blocks[i % 2].block.begin(), blocks[i % 2].block.end());
    const std::vector<SPixel> pixels{{1, 2, 3, 4}, {200, 100, 50, 25}, {255, 0, 255, 0}, {9, 9, 9, 9}};
    const std::pair<const char*, Bytes> seeds[] = {
        {"mipped-argb-8x4.dds",
         writeDds(withMips(headerFor(ETADDS_A8R8G8B8, 8, 4), 4), repeat(encodePixels(ETADDS_A8R8G8B8, pixels), 11))},
        {"cube-dxt1-8.dds", writeDds(cubeHeader(ETADDS_DXT1, 8, 3), dxt1Cube)},
        {"volume-dxt5-4x4x4.dds", writeDds(volumeHeader(ETADDS_DXT5, 4, 4, 3), dxt5Volume)},
    };
    for (const auto& [name, file] : seeds) {
        STaDdsImage image;
        ASSERT_TRUE(readOk(file, image)) << name;
        std::ofstream out(std::string(dir) + "/" + name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        ASSERT_TRUE(out.good()) << name;
    }
}

} // namespace
