// The texture manager's textures on the OpenGL device (run under Xvfb), read back through HLSL
// shaders: cube faces along the six axes, volume slices, float copies and vertex textures, sRGB
// decoding, and a generated set of DDS files (every format, mip chains, cube and volume) uploaded
// compressed and decoded.
#include "TaTestSupport.h"

#include "driver/TaDdsWriter.h"
#include "driver/TaVideoDriverExt.h"
#include "driver/gl/TaGLTexture.h"
#include "driver/gl/TaGLVideoDriverExt.h"
#include "effects/TaGPUProgrammingServices.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "nodes/TaTextureManager.h"
#include "render/TaRenderServices.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <cmath>
#include <fstream>

namespace {

using namespace irr;
using namespace tadds;

using Colour = std::array<float, 4>;

class CAtConstant : public video::IShaderConstantSetCallBack
{
public:
    void OnSetConstants(video::IMaterialRendererServices* services, s32) override
    {
        services->setPixelShaderConstant("At", at, 4);
    }
    f32 at[4] = {};
};

class TaTextureManagerGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", 64, 64)), 0) << "no OpenGL device: run under xvfb-run";
        driver = taEngine().videoDriver;
        manager = taGetManager()->getTextureManager();
        ext = dynamic_cast<CTaGLVideoDriverExt*>(taGetManager()->getVideoDriverExt());
        ASSERT_NE(ext, nullptr);
        constant = new CAtConstant();
    }
    void TearDown() override
    {
        taShutdown();
        if (constant)
            constant->drop();
        TaScratchTest::TearDown();
    }

    video::E_MATERIAL_TYPE material(const char* pixelEntry)
    {
        const std::string file = std::string(TARV_TEST_DATA_DIR) + "/shaders/textures.hlsl";
        std::string error;
        const s32 type = taGetManager()->getGPUProgrammingServices()->getShaderMaterial(
            file.c_str(), "vs_main", 3, file.c_str(), pixelEntry, 7, constant, video::EMT_SOLID, 0, nullptr, &error);
        EXPECT_GE(type, 0) << error;
        return static_cast<video::E_MATERIAL_TYPE>(type);
    }

    // Draws a screen quad into a float target of width x height with the texture bound on `unit`;
    // the target's pixels, bottom row first.
    std::vector<Colour> draw(const char* pixelEntry, u32 unit, video::ITexture* texture, u32 width = 1,
                             u32 height = 1, bool srgb = false)
    {
        std::vector<Colour> pixels(width * height);
        video::ITexture* target = manager->getRenderTarget(core::dimension2du(width, height), video::ECF_A32B32G32R32F);
        EXPECT_NE(target, nullptr);
        video::SMaterial quad;
        quad.MaterialType = material(pixelEntry);
        if (!target || static_cast<s32>(quad.MaterialType) < 0)
            return pixels;
        EXPECT_TRUE(taBeginScene());
        CTaRenderServices* services = taGetManager()->getRenderServices();
        EXPECT_TRUE(services->setRenderTargets(&target, 1));
        EXPECT_TRUE(ext->bindTexture(unit, texture, srgb));
        services->drawScreenQuad(quad);
        EXPECT_TRUE(ext->bindTexture(unit, nullptr, false));
        driver->setRenderTarget(target, false, false);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_FLOAT, pixels.data());
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        taEndScene();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return pixels;
    }
    Colour sample(const char* pixelEntry, u32 unit, video::ITexture* texture, float x, float y, float z,
                  bool srgb = false)
    {
        constant->at[0] = x;
        constant->at[1] = y;
        constant->at[2] = z;
        return draw(pixelEntry, unit, texture, 1, 1, srgb)[0];
    }

    void writeImage(const std::string& file, u32 width, u32 height, video::SColor (*colour)(u32 x, u32 y))
    {
        video::IImage* image = driver->createImage(video::ECF_R8G8B8, core::dimension2du(width, height));
        for (u32 y = 0; y < height; ++y)
            for (u32 x = 0; x < width; ++x)
                image->setPixel(x, y, colour(x, y));
        ASSERT_TRUE(driver->writeImageToFile(image, file.c_str()));
        image->drop();
    }
    void writeBytes(const std::string& file, const Bytes& bytes)
    {
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

    video::IVideoDriver* driver = nullptr;
    CTaTextureManager* manager = nullptr;
    CTaGLVideoDriverExt* ext = nullptr;
    CAtConstant* constant = nullptr;
};

::testing::AssertionResult near(const Colour& got, const Colour& want, float tolerance = 1.5f / 255)
{
    for (int c = 0; c < 4; ++c)
        if (std::fabs(got[c] - want[c]) > tolerance)
            return ::testing::AssertionFailure() << "got (" << got[0] << ", " << got[1] << ", " << got[2] << ", "
                                                 << got[3] << "), want (" << want[0] << ", " << want[1] << ", "
                                                 << want[2] << ", " << want[3] << ")";
    return ::testing::AssertionSuccess();
}

const video::SColor kFaceColours[6] = {{255, 255, 0, 0},   {255, 0, 255, 0},   {255, 0, 0, 255},
                                       {255, 255, 255, 0}, {255, 0, 255, 255}, {255, 255, 0, 255}};

Colour colourOf(video::SColor c)
{
    return {c.getRed() / 255.0f, c.getGreen() / 255.0f, c.getBlue() / 255.0f, c.getAlpha() / 255.0f};
}

TEST_F(TaTextureManagerGLTest, CubeFacesAlongTheSixAxes)
{
    static int face;
    for (face = 0; face < 6; ++face)
        writeImage("env0" + std::to_string(face) + ".png", 8, 8, [](u32, u32) { return kFaceColours[face]; });
    auto* cube = dynamic_cast<CTaGLTexture*>(manager->getTextureOrCube("env00.png", true));
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->target(), static_cast<unsigned>(GL_TEXTURE_CUBE_MAP));
    EXPECT_TRUE(cube->hasMipMaps());
    const float axes[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (int d = 0; d < 6; ++d)
        EXPECT_TRUE(near(sample("ps_cube", 4, cube, axes[d][0], axes[d][1], axes[d][2]), colourOf(kFaceColours[d])))
            << "face " << d;
    // A 2D texture on a unit of Irrlicht's material layers is refused; a cube one is not.
    EXPECT_FALSE(ext->bindTexture(0, manager->getTexture("env01.png", false), false));
    EXPECT_TRUE(ext->bindTexture(0, cube, false));
    EXPECT_TRUE(ext->bindTexture(0, nullptr, false));
}

TEST_F(TaTextureManagerGLTest, VolumeSlicesFromAStrip)
{
    // Four slices of 4 x 4 side by side, slice z in the face colour z.
    writeImage("strip.png", 16, 4, [](u32 x, u32) { return kFaceColours[x / 4]; });
    auto* volume = dynamic_cast<CTaGLTexture*>(manager->getVolumeTexture("strip.png"));
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->target(), static_cast<unsigned>(GL_TEXTURE_3D));
    for (int z = 0; z < 4; ++z)
        EXPECT_TRUE(near(sample("ps_volume", 5, volume, 0.5f, 0.5f, (z + 0.5f) / 4), colourOf(kFaceColours[z])))
            << "slice " << z;
}

TEST_F(TaTextureManagerGLTest, FloatCopiesAndVertexTextures)
{
    // The float copy keeps the red channel as values in [0, 1].
    writeImage("levels.png", 3, 1, [](u32 x, u32) { return video::SColor(255, 64 + 64 * x - (x == 2), 200, 9); });
    video::ITexture* copy = manager->getR32FTexture("levels.png");
    ASSERT_NE(copy, nullptr);
    const u8 reds[3] = {64, 128, 191};
    for (int x = 0; x < 3; ++x)
        EXPECT_NEAR(sample("ps_flat", 6, copy, (x + 0.5f) / 3, 0.5f, 0)[0], reds[x] / 255.0f, 1e-6f) << x;

    // A half-float vertex texture of three vertices keeps 0.25, 0.5 and 0.75 (and 1.5, beyond 8 bits).
    scene::SMesh* mesh = new scene::SMesh();
    auto* buffer = new scene::SMeshBuffer();
    for (float value : {0.25f, 0.5f, 0.75f})
        buffer->Vertices.push_back(video::S3DVertex(value, value * 2, -value, 0, 0, 1, 0, 0, 0));
    mesh->addMeshBuffer(buffer);
    buffer->drop();
    video::ITexture* vertices = manager->createMeshVertexTexture(mesh, "values", false, 4, false);
    mesh->drop();
    ASSERT_NE(vertices, nullptr);
    for (int k = 0; k < 3; ++k) {
        const float value = 0.25f * (k + 1);
        EXPECT_TRUE(near(sample("ps_flat", 6, vertices, (k + 0.5f) / 4, 0.5f, 0), {value, value * 2, -value, 0}, 1e-3f))
            << k;
    }
}

TEST_F(TaTextureManagerGLTest, SrgbDecodesOnSampling)
{
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(2, 2));
    image->fill(video::SColor(0x80, 0x80, 0x80, 0x80));
    video::ITexture* grey = driver->addTexture("grey", image);
    image->drop();
    const std::vector<SPixel> pixels(4, SPixel{0x80, 0x80, 0x80, 0x80});
    writeBytes("grey.dds", writeDds(headerFor(ETADDS_A8R8G8B8, 2, 2), encodePixels(ETADDS_A8R8G8B8, pixels)));
    video::ITexture* engineGrey = manager->getTexture("grey.dds", false);
    ASSERT_NE(engineGrey, nullptr);
    for (video::ITexture* texture : {grey, engineGrey}) {
        const Colour linear = sample("ps_flat", 6, texture, 0.5f, 0.5f, 0, false);
        const Colour decoded = sample("ps_flat", 6, texture, 0.5f, 0.5f, 0, true);
        EXPECT_NEAR(linear[0], 128 / 255.0f, 1e-3f);
        EXPECT_NEAR(decoded[0], 0.2158f, 3e-3f); // the sRGB curve at 0x80
        EXPECT_NEAR(decoded[3], 128 / 255.0f, 1e-3f); // alpha stays linear
    }
}

TEST_F(TaTextureManagerGLTest, MipMapsRenderTargetsAndGeneratedTextures)
{
    writeImage("plain.png", 8, 8, [](u32 x, u32 y) { return video::SColor(255, x * 30, y * 30, 0); });
    video::ITexture* plain = manager->getTexture("plain.png", true);
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(plain->hasMipMaps());
    {
        TaLogCapture log;
        EXPECT_EQ(manager->getTexture("plain.png", false), plain);
        EXPECT_TRUE(log.contains("WARN: Cannot get MipMap mode DISABLED for texture plain.png"));
    }

    video::ITexture* a = manager->getRenderTarget(core::dimension2du(16, 16), video::ECF_A8R8G8B8);
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(a->isRenderTarget());
    EXPECT_FALSE(a->hasMipMaps());
    EXPECT_EQ(manager->getRenderTarget(core::dimension2du(16, 16), video::ECF_A8R8G8B8), a);
    video::ITexture* b = manager->getRenderTarget(core::dimension2du(16, 16), video::ECF_A16B16G16R16F);
    video::ITexture* c = manager->getRenderTarget(core::dimension2du(8, 16), video::ECF_A8R8G8B8);
    EXPECT_NE(b, a);
    EXPECT_NE(c, a);
    EXPECT_NE(c, b);
    EXPECT_EQ(manager->getRenderTarget(core::dimension2du(16, 16), video::ECF_A16B16G16R16F), b);
    EXPECT_EQ(manager->getRenderTarget(core::dimension2du(8, 16), video::ECF_A8R8G8B8), c);
    EXPECT_EQ(manager->renderTargetCount(), 3u);

    video::ITexture* rot = manager->getRandRotTexture();
    ASSERT_NE(rot, nullptr);
    EXPECT_EQ(rot->getSize(), core::dimension2du(64, 64));
    EXPECT_FALSE(rot->hasMipMaps());
    const Colour first = sample("ps_flat", 6, rot, 0.5f / 64, 0.5f / 64, 0);
    EXPECT_TRUE(near(first, {0x7E / 255.0f, 0, 0, 1}));
    EXPECT_EQ(manager->getRandVecTexture()->getSize(), core::dimension2du(512, 512));
}

// --- DDS files made here, each loaded and compared texel by texel with the reader's decoding ----

// Two DXT1 colours and a row pattern: exact endpoints, so every decoder agrees to the bit.
Bytes dxtColourBlock(uint16_t c0, uint16_t c1, uint8_t rows)
{
    return {uint8_t(c0), uint8_t(c0 >> 8), uint8_t(c1), uint8_t(c1 >> 8), rows, rows, rows, rows};
}

Bytes dxtPayload(ETaDdsFormat format, size_t blocks, int seed)
{
    Bytes out;
    const uint16_t colours[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    for (size_t i = 0; i < blocks; ++i) {
        const uint16_t c0 = colours[(i + seed) % 4], c1 = colours[(i + seed + 1) % 4];
        const uint16_t high = std::max(c0, c1), low = std::min(c0, c1);
        if (format == ETADDS_DXT3)
            for (int b = 0; b < 8; ++b)
                out.push_back(uint8_t(0x8F - b * 0x11)); // explicit alpha, every nibble different
        if (format == ETADDS_DXT5)
            out.insert(out.end(), {200, 100, 0x88, 0xC6, 0xFA, 0x05, 0x39, 0x77}); // interpolated alpha
        const Bytes colour = dxtColourBlock(high, low, 0x4E);
        out.insert(out.end(), colour.begin(), colour.end());
    }
    return out;
}

Bytes pixelPayload(ETaDdsFormat format, uint32_t count, int seed)
{
    std::vector<SPixel> pixels;
    for (uint32_t i = 0; i < count; ++i)
        pixels.push_back({uint8_t(seed * 40 + i * 13), uint8_t(255 - i * 7), uint8_t(i * 29 + 5), uint8_t(100 + i * 9)});
    return encodePixels(format, pixels);
}

Bytes payload(ETaDdsFormat format, uint32_t width, uint32_t height, int seed)
{
    if (format >= ETADDS_DXT1)
        return dxtPayload(format, size_t((width + 3) / 4) * ((height + 3) / 4), seed);
    return pixelPayload(format, width * height, seed);
}

struct SDdsFixture {
    std::string name;
    Bytes bytes;
};

std::vector<SDdsFixture> ddsFixtures()
{
    std::vector<SDdsFixture> fixtures;
    const ETaDdsFormat formats[] = {ETADDS_A8R8G8B8, ETADDS_X8R8G8B8, ETADDS_R8G8B8, ETADDS_L8,
                                    ETADDS_A8L8,     ETADDS_DXT1,     ETADDS_DXT3,   ETADDS_DXT5};
    for (ETaDdsFormat format : formats) {
        const std::string name = taDdsFormatName(format);
        const uint32_t side = format >= ETADDS_DXT1 ? 8 : 4;
        fixtures.push_back({name + ".dds", writeDds(headerFor(format, side, side), payload(format, side, side, 0))});
        // Mipped: every level down to 1 x 1, each of its own pixels.
        Bytes levels;
        uint32_t count = 0;
        for (uint32_t s = side; s; s /= 2, ++count) {
            const Bytes level = payload(format, s, s, int(count));
            levels.insert(levels.end(), level.begin(), level.end());
        }
        fixtures.push_back({name + "-mips.dds", writeDds(withMips(headerFor(format, side, side), count), levels)});
    }
    for (ETaDdsFormat format : {ETADDS_A8R8G8B8, ETADDS_DXT1}) {
        const std::string name = taDdsFormatName(format);
        SDdsHeader cube = headerFor(format, 4, 4);
        cube.caps2 = 0x200 | 0xFC00;
        Bytes faces;
        for (int d = 0; d < 6; ++d) {
            const Bytes face = payload(format, 4, 4, d);
            faces.insert(faces.end(), face.begin(), face.end());
        }
        fixtures.push_back({name + "-cube.dds", writeDds(cube, faces)});
        SDdsHeader volume = headerFor(format, 4, 4);
        volume.caps2 = 0x200000;
        volume.flags |= 0x800000;
        volume.depth = 3;
        Bytes slices;
        for (int z = 0; z < 3; ++z) {
            const Bytes slice = payload(format, 4, 4, z + 2);
            slices.insert(slices.end(), slice.begin(), slice.end());
        }
        fixtures.push_back({name + "-volume.dds", writeDds(volume, slices)});
    }
    return fixtures;
}

TEST_F(TaTextureManagerGLTest, DdsFilesByPixel)
{
    const bool compressed = ext->compressedUpload();
    RecordProperty("s3tc", compressed ? "yes" : "no");
    for (bool upload : {true, false}) {
        ext->setCompressedUpload(upload && compressed);
        for (const SDdsFixture& fixture : ddsFixtures()) {
            const std::string file = (upload ? "c-" : "d-") + fixture.name;
            writeBytes(file, fixture.bytes);
            SCOPED_TRACE(file);
            STaDdsImage dds;
            std::string error;
            ASSERT_TRUE(taReadDds(fixture.bytes.data(), fixture.bytes.size(), dds, error)) << error;
            // Mip maps asked for, except for the 2D and cube files of one compressed level other than
            // DXT1.dds (made into a chain, they are decoded): both ways are seen.
            const bool compressed = dds.format >= ETADDS_DXT1;
            const bool mipMaps = !(compressed && dds.levels == 1 && dds.kind != ETADDS_VOLUME) || fixture.name == "DXT1.dds";
            auto* texture = dynamic_cast<CTaGLTexture*>(manager->getTexture(file.c_str(), mipMaps));
            ASSERT_NE(texture, nullptr);
            const bool decoded = texture->getStorage().find("decoded") != std::string::npos;
            EXPECT_EQ(decoded, compressed && (!ext->compressedUpload() || dds.kind == ETADDS_VOLUME ||
                                              (mipMaps && dds.levels == 1)));
            // The file's levels, or a made chain for a file of one level.
            u32 chain = 1;
            for (u32 side = std::max({dds.width, dds.height, dds.depth}); side > 1; side /= 2)
                ++chain;
            EXPECT_EQ(texture->getLevels(), !mipMaps ? 1u : dds.levels > 1 ? dds.levels : chain);

            // Level 0 of every face or slice, texel by texel, through the shaders.
            for (const STaDdsSurface& surface : dds.surfaces) {
                if (surface.level != 0)
                    continue;
                Bytes rgba;
                ASSERT_TRUE(taDecodeDdsSurface(fixture.bytes.data(), fixture.bytes.size(), dds, surface, rgba, error));
                const u32 w = surface.width, h = surface.height;
                auto want = [&](u32 x, u32 y, u32 z) {
                    const uint8_t* p = rgba.data() + ((size_t(z) * h + y) * w + x) * 4;
                    return Colour{p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f, p[3] / 255.0f};
                };
                if (dds.kind == ETADDS_2D) {
                    const std::vector<Colour> got = draw("ps_across", 6, texture, w, h);
                    for (u32 y = 0; y < h; ++y)
                        for (u32 x = 0; x < w; ++x)
                            ASSERT_TRUE(near(got[(h - 1 - y) * w + x], want(x, y, 0))) << "texel " << x << ", " << y;
                } else if (dds.kind == ETADDS_CUBE) {
                    // The centre of face d lies along its axis; the texel nearest to it is (2, 2)
                    // of that face in the cube-face layout, sampled between four texels: compare
                    // against their average.
                    const float axes[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
                    const float* axis = axes[surface.face];
                    const Colour got = sample("ps_cube", 4, texture, axis[0], axis[1], axis[2]);
                    Colour mean = {0, 0, 0, 0};
                    for (u32 y = 1; y <= 2; ++y)
                        for (u32 x = 1; x <= 2; ++x)
                            for (int c = 0; c < 4; ++c)
                                mean[c] += want(x, y, 0)[c] / 4;
                    ASSERT_TRUE(near(got, mean, 2.5f / 255)) << "face " << surface.face;
                } else {
                    for (u32 z = 0; z < surface.depth; ++z)
                        for (u32 y = 0; y < h; ++y)
                            for (u32 x = 0; x < w; ++x)
                                ASSERT_TRUE(near(sample("ps_volume", 5, texture, (x + 0.5f) / w, (y + 0.5f) / h,
                                                        (z + 0.5f) / surface.depth),
                                                 want(x, y, z)))
                                    << "texel " << x << ", " << y << ", " << z;
                }
            }
            // Every other level of a 2D file as stored (read back whole).
            if (dds.kind == ETADDS_2D && dds.levels > 1 && dds.format != ETADDS_L8 && dds.format != ETADDS_A8L8)
                for (const STaDdsSurface& surface : dds.surfaces) {
                    Bytes rgba, got(size_t(surface.width) * surface.height * 4);
                    ASSERT_TRUE(taDecodeDdsSurface(fixture.bytes.data(), fixture.bytes.size(), dds, surface, rgba, error));
                    glActiveTexture(GL_TEXTURE9);
                    glBindTexture(GL_TEXTURE_2D, texture->glName());
                    glPixelStorei(GL_PACK_ALIGNMENT, 1);
                    glGetTexImage(GL_TEXTURE_2D, surface.level, GL_RGBA, GL_UNSIGNED_BYTE, got.data());
                    glPixelStorei(GL_PACK_ALIGNMENT, 4);
                    glBindTexture(GL_TEXTURE_2D, 0);
                    glActiveTexture(GL_TEXTURE0);
                    for (size_t i = 0; i < got.size(); ++i)
                        ASSERT_LE(std::abs(int(got[i]) - int(rgba[i])), 1) << "level " << surface.level << " byte " << i;
                }
        }
    }
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
