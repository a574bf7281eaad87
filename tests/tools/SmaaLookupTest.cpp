// The SMAA lookup images: the committed PNG files and their checksums are what the generator makes;
// area texels follow the re-drawn boundary worked out by hand; the search image turns every fetch
// the weight pass can make into the pixels it adds.
#include "tools/smaa/SmaaLookup.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

using namespace irr;

TEST(SmaaLookupTest, CommittedImagesAreTheGeneratorsOwn)
{
    const std::string directory = std::string(TARV_DATA_DIR) + "/textures/";
    std::map<std::string, std::string> committed;
    std::ifstream file(directory + "SmaaLookup.sha256");
    ASSERT_TRUE(file.good());
    for (std::string line; std::getline(file, line);)
        if (!line.empty() && line[0] != '#')
            committed[line.substr(0, line.find(' '))] = line;

    SIrrlichtCreationParameters parameters;
    parameters.DriverType = video::EDT_NULL;
    parameters.LoggingLevel = ELL_NONE;
    IrrlichtDevice* device = createDeviceEx(parameters);
    ASSERT_NE(device, nullptr);
    const struct {
        const char* file;
        STaSmaaImage image;
    } images[] = {{"AreaTexDX9.png", taSmaaAreaImage()}, {"SearchTex.png", taSmaaSearchImage()}};
    for (const auto& entry : images) {
        SCOPED_TRACE(entry.file);
        EXPECT_EQ(committed[entry.file], taSmaaChecksumLine(entry.file, entry.image));
        // The PNG file decodes to the same pixels.
        video::IImage* png = device->getVideoDriver()->createImageFromFile((directory + entry.file).c_str());
        ASSERT_NE(png, nullptr);
        STaSmaaImage decoded;
        decoded.width = int(png->getDimension().Width);
        decoded.height = int(png->getDimension().Height);
        for (int y = 0; y < decoded.height; ++y)
            for (int x = 0; x < decoded.width; ++x) {
                const video::SColor c = png->getPixel(u32(x), u32(y));
                decoded.rgba.insert(decoded.rgba.end(), {uint8_t(c.getRed()), uint8_t(c.getGreen()),
                                                         uint8_t(c.getBlue()), uint8_t(c.getAlpha())});
            }
        png->drop();
        EXPECT_EQ(taSmaaChecksumLine(entry.file, decoded), taSmaaChecksumLine(entry.file, entry.image));
    }
    device->drop();
    // The checksum itself against the standard's own examples.
    EXPECT_EQ(taSmaaSha256(reinterpret_cast<const uint8_t*>("abc"), 3),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    const std::string twoBlocks = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    EXPECT_EQ(taSmaaSha256(reinterpret_cast<const uint8_t*>(twoBlocks.data()), twoBlocks.size()),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(SmaaLookupTest, AreaTexelsFollowTheRedrawnBoundary)
{
    // Patterns: 0 none, 1 crossing on the owner's side (+1/2), 2 on the other side (-1/2), 3 both.
    // The boundary falls from each end's height to 0 at the line's middle; the owner pixel spans
    // [dStart, dStart + 1] of a line of dStart + dEnd + 1 pixels.
    const struct {
        const char* what;
        int start, end, dStart, dEnd;
        double owner, other;
    } cases[] = {
        {"no crossing at either end: a straight edge", 0, 0, 3, 5, 0, 0},
        {"junctions at both ends", 3, 3, 2, 2, 0, 0},
        {"Z of four, first pixel: the boundary from -1/2 to -1/4", 2, 1, 0, 3, 0, 0.375},
        {"Z of four, second pixel", 2, 1, 1, 2, 0, 0.125},
        {"Z of four, third pixel: from 0 to +1/4", 2, 1, 2, 1, 0.125, 0},
        {"Z of one (a 45 degree step): both sides an eighth", 2, 1, 0, 0, 0.125, 0.125},
        {"Z the other way round", 1, 2, 0, 3, 0.375, 0},
        {"L of four, first pixel: trapezoid 1/2 to 1/4", 1, 0, 0, 3, 0.375, 0},
        {"L of four, past the middle", 1, 0, 2, 1, 0, 0},
        {"L of eight, second pixel: trapezoid 3/8 to 1/4", 1, 0, 1, 6, 0.3125, 0},
        {"L of six ending at a step, last pixel: trapezoid 1/3 to 1/2", 0, 2, 5, 0, 0, 5.0 / 12},
        {"U of three, middle pixel: two triangles of 1/24", 2, 2, 1, 1, 0, 1.0 / 12},
        {"U at the longest distances, first pixel", 1, 1, 0, 16, 0.5 - 0.5 / 17, 0},
    };
    const STaSmaaImage image = taSmaaAreaImage();
    ASSERT_EQ(image.width, TA_SMAA_AREA_SIZE);
    ASSERT_EQ(image.height, TA_SMAA_AREA_SIZE);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const STaSmaaArea area = taSmaaArea(c.start, c.end, c.dStart, c.dEnd);
        EXPECT_NEAR(area.owner, c.owner, 1e-9);
        EXPECT_NEAR(area.other, c.other, 1e-9);
        const uint8_t* texel =
            image.texel(c.start * TA_SMAA_AREA_BLOCK + c.dStart, c.end * TA_SMAA_AREA_BLOCK + c.dEnd);
        EXPECT_EQ(texel[0], std::lround(c.owner * 255));
        EXPECT_EQ(texel[1], std::lround(c.other * 255));
        EXPECT_EQ(texel[3], 255);
    }
    // The same line seen from its other end covers the same.
    for (int start = 0; start < 4; ++start)
        for (int end = 0; end < 4; ++end)
            for (int dStart = 0; dStart < TA_SMAA_AREA_BLOCK; ++dStart)
                for (int dEnd = 0; dEnd < TA_SMAA_AREA_BLOCK; ++dEnd) {
                    const STaSmaaArea a = taSmaaArea(start, end, dStart, dEnd);
                    const STaSmaaArea b = taSmaaArea(end, start, dEnd, dStart);
                    ASSERT_NEAR(a.owner, b.owner, 1e-12) << start << end << " " << dStart << " " << dEnd;
                    ASSERT_NEAR(a.other, b.other, 1e-12) << start << end << " " << dStart << " " << dEnd;
                }
}

TEST(SmaaLookupTest, TheSearchImageCountsThePixelsOfTheLastFetch)
{
    // A fetch mixes the near and far pixels 3:1: line l = 3/4 line(near) + 1/4 line(far), crossing
    // c likewise, the crossings being at each pixel's side towards the line's start.
    const struct {
        const char* what;
        bool towardsEnd, lineNear, lineFar, crossNear, crossFar;
        int count;
    } cases[] = {
        {"start: the line goes on", false, true, true, false, false, 2},
        {"start: the line ends after the near pixel", false, true, false, false, false, 1},
        {"start: the line has ended", false, false, false, false, false, 0},
        {"start: the near pixel alone on the line", false, false, true, false, false, 0},
        {"start: a crossing between near and far", false, true, true, true, false, 1},
        {"start: a crossing beyond the far pixel", false, true, true, false, true, 2},
        {"end: the line goes on", true, true, true, false, false, 2},
        {"end: a crossing before the near pixel", true, true, true, true, false, 0},
        {"end: a crossing between near and far", true, true, true, false, true, 1},
        {"end: the line ends after the near pixel", true, true, false, false, false, 1},
        {"end: the line has ended", true, false, true, false, false, 0},
        {"end: crossings everywhere", true, true, true, true, true, 0},
    };
    const STaSmaaImage image = taSmaaSearchImage();
    ASSERT_EQ(image.width, 2 * TA_SMAA_SEARCH_HALF);
    ASSERT_EQ(image.height, TA_SMAA_SEARCH_HALF);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(taSmaaSearchCount(c.towardsEnd, c.lineNear, c.lineFar, c.crossNear, c.crossFar), c.count);
        const double l = 0.75 * c.lineNear + 0.25 * c.lineFar, cross = 0.75 * c.crossNear + 0.25 * c.crossFar;
        // Point-sampled where the weight pass reads, also a little off the exact mix.
        for (double offset : {0.0, -0.05, 0.05}) {
            const double cc = std::min(1.0, std::max(0.0, cross + offset));
            const double ll = std::min(1.0, std::max(0.0, l - offset));
            const int x = int(std::floor(cc * (TA_SMAA_SEARCH_HALF - 1) + 0.5)) + (c.towardsEnd ? TA_SMAA_SEARCH_HALF : 0);
            const int y = int(std::floor(ll * (TA_SMAA_SEARCH_HALF - 1) + 0.5));
            EXPECT_EQ(std::lround(image.texel(x, y)[0] * 2 / 255.0), c.count) << "offset " << offset;
        }
    }
}

} // namespace
