// The texture manager on the null device: cube face names, volume strips, the generated textures'
// exact pixels, half floats, vertex texture layouts, the mip-map warning, DDS files whole and
// damaged, the named and curl-noise textures. Pixels on the OpenGL device: TaTextureManagerGLTest.
#include "TaTestSupport.h"

#include "driver/TaDdsWriter.h"
#include "driver/TaNullVideoDriverExt.h"
#include "driver/TaVideoDriverExt.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "nodes/TaTextureManager.h"

#include <cmath>
#include <cstring>
#include <fstream>

namespace {

using namespace irr;
using namespace tadds;

class TaTextureManagerTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL)), 0);
        driver = taEngine().videoDriver;
        manager = taGetManager()->getTextureManager();
        ext = taGetManager()->getVideoDriverExt();
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }

    // Writes a picture of `width` x `height`, each pixel from `colour`; PNG without alpha unless
    // `alpha` (the loader gives R8G8B8 or A8R8G8B8 back).
    void writeImage(const std::string& file, u32 width, u32 height, bool alpha,
                    video::SColor (*colour)(u32 x, u32 y) = nullptr)
    {
        video::IImage* image =
            driver->createImage(alpha ? video::ECF_A8R8G8B8 : video::ECF_R8G8B8, core::dimension2du(width, height));
        for (u32 y = 0; y < height; ++y)
            for (u32 x = 0; x < width; ++x)
                image->setPixel(x, y, colour ? colour(x, y) : video::SColor(255, x & 255, y & 255, 7));
        ASSERT_TRUE(driver->writeImageToFile(image, file.c_str()));
        image->drop();
    }
    void writeBytes(const std::string& file, const Bytes& bytes)
    {
        std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }

    video::IVideoDriver* driver = nullptr;
    CTaTextureManager* manager = nullptr;
    ITaVideoDriverExt* ext = nullptr;
};

TEST(TaTextureFacesTest, CubeFaceFileNames)
{
    struct {
        const char* file;
        const char* first; // nullptr: does not name cube faces
        const char* last;
    } cases[] = {
        {"a00.png", "a00.png", "a05.png"},       // the "." at index 3
        {"00.png", nullptr, nullptr},            // the "." at index 2
        {"sky00.", nullptr, nullptr},            // nothing after the "."
        {"sky12.png", nullptr, nullptr},         // no "0" before the "."
        {"sky30.png", "sky00.png", "sky05.png"}, // the "0" right before the "."
        {"sky03.png", "sky00.png", "sky05.png"}, // the "0" two before the "."
        {"maps/env.v1/box00.jpg", "maps/env.v1/box00.jpg", "maps/env.v1/box05.jpg"},
        {"noextension", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        std::string faces[6];
        const bool qualifies = taCubeFaceFiles(c.file, faces);
        EXPECT_EQ(qualifies, c.first != nullptr) << c.file;
        if (qualifies && c.first) {
            EXPECT_EQ(faces[0], c.first) << c.file;
            EXPECT_EQ(faces[5], c.last) << c.file;
        }
    }
}

TEST(TaTextureFacesTest, HalfFloatsTruncate)
{
    const float inf = INFINITY;
    struct {
        float value;
        uint16_t half;
    } cases[] = {
        {0.0f, 0x0000},      {-0.0f, 0x8000},      {1.0f, 0x3C00},       {-2.0f, 0xC000},
        {0.25f, 0x3400},     {0.5f, 0x3800},       {0.75f, 0x3A00},      {65504.0f, 0x7BFF},
        {65536.0f, 0x7C00},  {-1e9f, 0xFC00},      {inf, 0x7C00},        {-inf, 0xFC00},
        {1.0f + 1.0f / 2048, 0x3C00}, // below one step: truncated, not rounded up
        {std::ldexp(1.0f, -24), 0x0001}, // the smallest denormal
        {std::ldexp(1.0f, -14), 0x0400}, // the smallest normal
        {std::ldexp(1.0f, -26), 0x0000}, // below every denormal
    };
    for (const auto& c : cases) {
        EXPECT_EQ(taFloatToHalfTruncate(c.value), c.half) << c.value;
        if ((c.half & 0x7C00) != 0x7C00) {
            EXPECT_EQ(taFloatToHalfTruncate(taHalfToFloat(c.half)), c.half) << c.value;
        }
    }
    // NaNs stay NaNs, whatever bits of the payload are set.
    uint32_t bits = 0x7F800001u;
    float nan;
    memcpy(&nan, &bits, 4);
    const uint16_t half = taFloatToHalfTruncate(nan);
    EXPECT_EQ(half & 0x7C00, 0x7C00);
    EXPECT_NE(half & 0x03FF, 0);
}

TEST(TaTextureFacesTest, VertexTextureLayouts)
{
    struct {
        u32 vertices, width;
        bool normals;
        u32 maxHeight;
        bool ok;
        u32 perRow, height;
    } cases[] = {
        {1500, 1024, false, 16384, true, 1024, 2}, // 1500 = 1024 + 476
        {1500, 1024, true, 16384, true, 512, 3},   // 512 vertices per row with normals
        {1024, 1024, false, 16384, true, 1024, 1},
        {1025, 1024, false, 16384, true, 1024, 2},
        {3, 1, false, 16384, true, 1, 3},
        {3, 1, true, 16384, false, 0, 0},   // no whole vertex per row: refused, not divided by zero
        {3, 0, false, 16384, false, 0, 0},
        {0, 1024, false, 16384, false, 0, 0}, // no vertices
        {5000, 1024, false, 4, false, 0, 0},  // 5 rows: beyond the driver
        {0xFFFFFFFFu, 2, true, 16384, false, 0, 0},
    };
    for (const auto& c : cases) {
        u32 perRow = 0, height = 0;
        EXPECT_EQ(taMeshVertexTextureSize(c.vertices, c.width, c.normals, c.maxHeight, perRow, height), c.ok)
            << c.vertices << " vertices, width " << c.width;
        if (c.ok) {
            EXPECT_EQ(perRow, c.perRow);
            EXPECT_EQ(height, c.height);
        }
    }
}

// FNV-1a over the little-endian bytes of the words.
uint64_t checksum(const std::vector<uint32_t>& words)
{
    uint64_t hash = 1469598103934665603ull;
    for (uint32_t word : words)
        for (int i = 0; i < 4; ++i) {
            hash ^= (word >> (8 * i)) & 0xFF;
            hash *= 1099511628211ull;
        }
    return hash;
}

TEST(TaTextureFacesTest, GeneratedTexturesAreTheSameEverywhere)
{
    // Stored scenes and shaders may rely on these exact bytes.
    const std::vector<uint32_t> rot = taRandRotPixels(), vec = taRandVecPixels();
    ASSERT_EQ(rot.size(), 64u * 64u);
    ASSERT_EQ(vec.size(), 512u * 512u);
    // The generator visits columns first: the second draw is texel (0, 1). Red wraps above 1.
    EXPECT_EQ(rot[0], 0xFF7E0000u);
    EXPECT_EQ(rot[64], 0xFF0B7E00u);
    EXPECT_EQ(rot[128], 0xFFB39900u);
    EXPECT_EQ(vec[0], 0xFF003CA5u);
    EXPECT_EQ(vec[512], 0xFF13455Cu);
    EXPECT_EQ(checksum(rot), 0xbd0963041d6cef66ull) << std::hex << checksum(rot);
    EXPECT_EQ(checksum(vec), 0x416542c0e87afa8bull) << std::hex << checksum(vec);
    // Every RandVec texel is a point of the unit ball's positive octant.
    for (uint32_t word : vec) {
        const float x = ((word >> 16) & 0xFF) / 255.0f, y = ((word >> 8) & 0xFF) / 255.0f, z = (word & 0xFF) / 255.0f;
        ASSERT_LE(x * x + y * y + z * z, 1.0f + 3 * 2.0f / 255);
        ASSERT_EQ(word >> 24, 0xFFu);
    }
}

TEST_F(TaTextureManagerTest, GeneratedAndNamedTextures)
{
    // Only the exact names make the generated textures.
    EXPECT_EQ(manager->getNamedTexture("randrot"), nullptr);
    EXPECT_EQ(manager->getNamedTexture("nothing"), nullptr);
    EXPECT_EQ(manager->getNamedTexture(""), nullptr);
    video::ITexture* rot = manager->getRandRotTexture();
    ASSERT_NE(rot, nullptr);
    EXPECT_EQ(rot->getName().getPath(), "RandRot");
    EXPECT_EQ(manager->getRandRotTexture(), rot);
    EXPECT_EQ(manager->getNamedTexture("RandRot"), rot);
    video::ITexture* vec = manager->getNamedTexture("RandVec");
    ASSERT_NE(vec, nullptr);
    EXPECT_EQ(vec->getName().getPath(), "RandVec");
    EXPECT_EQ(manager->getRandVecTexture(), vec);

    // Until the particle emitters come, the curl-noise volume does not exist: a clear failure.
    TaLogCapture log;
    EXPECT_EQ(manager->getNamedTexture("CurlNoise3D"), nullptr);
    EXPECT_TRUE(log.contains("Failed to get Curl noise image"));
}

TEST_F(TaTextureManagerTest, VolumeTexturesFromStrips)
{
    writeImage("strip8.png", 64, 8, false);
    writeImage("strip16.png", 64, 16, false);
    writeImage("alpha8.png", 64, 8, true);
    struct {
        const char* file;
        u32 side;          // 0: refused
        const char* error; // the message of a refusal
    } cases[] = {
        {"strip8.png", 8, nullptr},
        {"strip16.png", 0, "Fail to create 3D tex for 'strip16.png': 2D image Width != Height x Height"},
        {"alpha8.png", 0, "Fail to create 3D tex for 'alpha8.png': convertion 2D->3D requires R8G8B8 format"},
        {"missing.png", 0, nullptr},
    };
    for (const auto& c : cases) {
        TaLogCapture log;
        auto* texture = dynamic_cast<CTaTexture*>(manager->getVolumeTexture(c.file));
        if (!c.side) {
            EXPECT_EQ(texture, nullptr) << c.file;
            if (c.error) {
                EXPECT_TRUE(log.contains(c.error)) << c.file;
            }
            continue;
        }
        ASSERT_NE(texture, nullptr) << c.file;
        EXPECT_EQ(texture->getKind(), ETATEXKIND_VOLUME);
        EXPECT_EQ(texture->getSize(), core::dimension2du(c.side, c.side));
        EXPECT_EQ(texture->getDepth(), c.side);
        EXPECT_EQ(manager->getVolumeTexture(c.file), texture); // found again by name
        EXPECT_EQ(manager->getTextureByType(c.file, 10), texture);
    }
}

// The null extension with a driver that takes only small textures.
class CSmallDriverExt : public CTaNullVideoDriverExt
{
public:
    using CTaNullVideoDriverExt::CTaNullVideoDriverExt;
    irr::u32 maxTextureSize(ETaTextureKind) override { return 4; }
};

TEST_F(TaTextureManagerTest, SizesBeyondTheDriverAreRefusedBeforeAllocating)
{
    CSmallDriverExt small(driver);
    CTaTextureManager limited(taEngine().device, &small);
    writeImage("strip8.png", 64, 8, false);
    TaLogCapture log;
    EXPECT_EQ(limited.getVolumeTexture("strip8.png"), nullptr);
    EXPECT_TRUE(log.contains("Fail to create 3D tex for 'strip8.png'"));

    scene::SMesh* mesh = new scene::SMesh();
    auto* buffer = new scene::SMeshBuffer();
    buffer->Vertices.set_used(5);
    mesh->addMeshBuffer(buffer);
    buffer->drop();
    EXPECT_NE(limited.createMeshVertexTexture(mesh, "fits", false, 4, false), nullptr);   // 2 rows
    EXPECT_EQ(limited.createMeshVertexTexture(mesh, "tall", false, 1, false), nullptr);   // 5 rows
    EXPECT_EQ(limited.createMeshVertexTexture(mesh, "wide", false, 8, false), nullptr);   // 8 texels wide
    mesh->drop();
}

TEST_F(TaTextureManagerTest, CubeTexturesFromSixFiles)
{
    for (int d = 0; d < 5; ++d)
        writeImage("sky0" + std::to_string(d) + ".png", 8, 8, false);
    // Five faces: no cube, and the plain texture of the file instead.
    EXPECT_EQ(manager->getCubeTexture("sky00.png", true), nullptr);
    video::ITexture* plain = manager->getTextureOrCube("sky30.png", false);
    EXPECT_EQ(plain, nullptr); // sky30.png itself does not exist
    EXPECT_NE(manager->getTextureOrCube("sky00.png", false), nullptr);

    writeImage("sky05.png", 8, 8, false);
    auto* cube = dynamic_cast<CTaTexture*>(manager->getTextureOrCube("sky30.png", true));
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->getKind(), ETATEXKIND_CUBE);
    EXPECT_EQ(cube->getName().getPath(), "sky30.png_cube");
    EXPECT_EQ(cube->getSize(), core::dimension2du(8, 8));
    EXPECT_TRUE(cube->hasMipMaps());
    EXPECT_EQ(manager->getCubeTexture("sky30.png", false), cube); // found by name, no check
    EXPECT_EQ(manager->getNamedTexture("sky30.png_cube"), cube);
    EXPECT_EQ(manager->getTextureByType("sky30.png", 12), cube);

    // Faces of different sizes: refused with the reason.
    for (int d = 0; d < 6; ++d)
        writeImage("odd0" + std::to_string(d) + ".png", d == 3 ? 4 : 8, d == 3 ? 4 : 8, false);
    TaLogCapture log;
    EXPECT_EQ(manager->getCubeTexture("odd00.png", false), nullptr);
    EXPECT_TRUE(log.contains("face image 3 is 4x4, face image 0 is 8x8"));
}

TEST_F(TaTextureManagerTest, FloatCopiesAndRenderTargets)
{
    writeImage("ramp.png", 4, 2, false);
    auto* copy = dynamic_cast<CTaTexture*>(manager->getR32FTexture("ramp.png"));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->getName().getPath(), "ramp.png_r32f");
    EXPECT_EQ(copy->getColorFormat(), video::ECF_R32F);
    EXPECT_FALSE(copy->hasMipMaps());
    EXPECT_EQ(manager->getR32FTexture("ramp.png"), copy);
    EXPECT_EQ(manager->getR32FTexture("missing.png"), nullptr);

    // The null driver makes no render targets: nothing is cached for it.
    EXPECT_EQ(manager->getRenderTarget(core::dimension2du(16, 16), video::ECF_A8R8G8B8),
              driver->addRenderTargetTexture(core::dimension2du(16, 16), "probe", video::ECF_A8R8G8B8));
}

TEST_F(TaTextureManagerTest, MeshVertexTextures)
{
    scene::SMeshBuffer* buffers[2] = {new scene::SMeshBuffer(), new scene::SMeshBuffer()};
    scene::SMesh* mesh = new scene::SMesh();
    for (int b = 0; b < 2; ++b) {
        for (u32 i = 0; i < 750; ++i)
            buffers[b]->Vertices.push_back(video::S3DVertex(float(b * 750 + i), 0.5f, -2.0f, 0, 1, 0, 0, 0, 0));
        mesh->addMeshBuffer(buffers[b]);
        buffers[b]->drop();
    }
    struct {
        const char* name;
        bool floats, normals;
        u32 width, height;
        video::ECOLOR_FORMAT format;
    } cases[] = {
        {"vtx-half", false, false, 1024, 2, video::ECF_A16B16G16R16F},
        {"vtx-float", true, true, 1024, 3, video::ECF_A32B32G32R32F},
        {"vtx-narrow", false, false, 7, 215, video::ECF_A16B16G16R16F}, // 1500 = 214 * 7 + 2
    };
    for (const auto& c : cases) {
        video::ITexture* texture = manager->createMeshVertexTexture(mesh, c.name, c.floats, c.width, c.normals);
        ASSERT_NE(texture, nullptr) << c.name;
        EXPECT_EQ(texture->getSize(), core::dimension2du(c.width, c.height)) << c.name;
        EXPECT_EQ(texture->getColorFormat(), c.format) << c.name;
        EXPECT_FALSE(texture->hasMipMaps());
    }
    TaLogCapture log;
    EXPECT_EQ(manager->createMeshVertexTexture(mesh, "vtx-half", false, 1024, false), nullptr);
    EXPECT_TRUE(log.contains("ERROR: Mesh vertex texture 'vtx-half' already exist"));
    EXPECT_EQ(manager->createMeshVertexTexture(mesh, "vtx-one", false, 1, true), nullptr);
    mesh->drop();
}

TEST(TaMeshVertexImageTest, PositionsAndNormalsGoToTheirTexels)
{
    scene::SMesh* mesh = new scene::SMesh();
    for (int b = 0; b < 2; ++b) {
        auto* buffer = new scene::SMeshBuffer();
        for (int i = 0; i < 3; ++i) {
            const float k = float(b * 3 + i);
            buffer->Vertices.push_back(video::S3DVertex(k, k + 0.25f, -k, 0.5f, -0.75f, k / 8, 0, 0, 0));
        }
        mesh->addMeshBuffer(buffer);
        buffer->drop();
    }
    // Six vertices, two per row with normals: rows of (position, normal, position, normal).
    STaTextureImage image;
    ASSERT_TRUE(image.allocate(ETATEXKIND_2D, video::ECF_A32B32G32R32F, 4, 3, 1));
    taFillMeshVertexImage(mesh, 2, true, image);
    for (u32 k = 0; k < 6; ++k) {
        float position[4], normal[4];
        memcpy(position, image.pixel((k % 2) * 2, k / 2), 16);
        memcpy(normal, image.pixel((k % 2) * 2 + 1, k / 2), 16);
        EXPECT_EQ(position[0], float(k));
        EXPECT_EQ(position[1], k + 0.25f);
        EXPECT_EQ(position[2], -float(k));
        EXPECT_EQ(position[3], 0.0f);
        EXPECT_EQ(normal[0], 0.5f);
        EXPECT_EQ(normal[2], k / 8.0f);
    }
    // Half floats without normals: one vertex per texel, the rest of the image left as it was.
    STaTextureImage halves;
    ASSERT_TRUE(halves.allocate(ETATEXKIND_2D, video::ECF_A16B16G16R16F, 4, 2, 1));
    taFillMeshVertexImage(mesh, 4, false, halves);
    uint16_t texel[4];
    memcpy(texel, halves.pixel(1, 1), 8); // vertex 5
    EXPECT_EQ(taHalfToFloat(texel[0]), 5.0f);
    EXPECT_EQ(taHalfToFloat(texel[1]), 5.25f);
    EXPECT_EQ(taHalfToFloat(texel[2]), -5.0f);
    memcpy(texel, halves.pixel(3, 1), 8); // after the last vertex
    EXPECT_EQ(texel[0] | texel[1] | texel[2] | texel[3], 0);

    // Numbering: each vertex's colour word is its running index over all buffers.
    taNumberMeshVertices(mesh);
    for (u32 b = 0; b < 2; ++b)
        for (u32 i = 0; i < 3; ++i)
            EXPECT_EQ(static_cast<video::S3DVertex*>(mesh->getMeshBuffer(b)->getVertices())[i].Color.color, b * 3 + i);
    mesh->drop();
}

TEST_F(TaTextureManagerTest, MipMapWarningNamesTheSecondCallsMode)
{
    // A DDS file with its mip chain: made with mip maps on the first call; the second call asks for
    // none and gets the same texture with the warning.
    const std::vector<SPixel> pixels(4 * 4 + 2 * 2 + 1, SPixel{10, 20, 30, 255});
    writeBytes("mips.dds", writeDds(withMips(headerFor(ETADDS_A8R8G8B8, 4, 4), 3), encodePixels(ETADDS_A8R8G8B8, pixels)));
    video::ITexture* first;
    {
        TaLogCapture log;
        first = manager->getTexture("mips.dds", true);
        ASSERT_NE(first, nullptr);
        EXPECT_TRUE(first->hasMipMaps());
        EXPECT_FALSE(log.contains("Cannot get MipMap mode"));
    }
    TaLogCapture log;
    EXPECT_EQ(manager->getTexture("mips.dds", false), first);
    EXPECT_TRUE(log.contains(
        "WARN: Cannot get MipMap mode DISABLED for texture mips.dds. Same texture is already created in the other mode"));
}

TEST_F(TaTextureManagerTest, DdsFilesWholeAndDamaged)
{
    const std::vector<SPixel> face(16, SPixel{1, 2, 3, 4});
    const Bytes faceBytes = encodePixels(ETADDS_A8R8G8B8, face);
    SDdsHeader cube = headerFor(ETADDS_A8R8G8B8, 4, 4);
    cube.caps2 = 0x200 | 0xFC00;
    SDdsHeader volume = headerFor(ETADDS_A8R8G8B8, 4, 4);
    volume.caps2 = 0x200000;
    volume.flags |= 0x800000;
    volume.depth = 2;
    writeBytes("cube.dds", writeDds(cube, repeat(faceBytes, 6)));
    writeBytes("volume.dds", writeDds(volume, repeat(faceBytes, 2)));
    writeBytes("flat.dds", writeDds(headerFor(ETADDS_DXT1, 8, 8), Bytes(32, 0x55)));

    auto* flat = dynamic_cast<CTaTexture*>(manager->getTexture("flat.dds", false));
    ASSERT_NE(flat, nullptr);
    EXPECT_EQ(flat->getKind(), ETATEXKIND_2D);
    EXPECT_EQ(flat->getStorage(), "DXT1");
    auto* cubeTexture = dynamic_cast<CTaTexture*>(manager->getTexture("cube.dds", false));
    ASSERT_NE(cubeTexture, nullptr);
    EXPECT_EQ(cubeTexture->getKind(), ETATEXKIND_CUBE);
    auto* volumeTexture = dynamic_cast<CTaTexture*>(manager->getVolumeTexture("volume.dds"));
    ASSERT_NE(volumeTexture, nullptr);
    EXPECT_EQ(volumeTexture->getKind(), ETATEXKIND_VOLUME);
    EXPECT_EQ(volumeTexture->getDepth(), 2u);
    // A 2D DDS file also opens wherever Irrlicht opens pictures.
    video::IImage* image = driver->createImageFromFile("flat.dds");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getDimension(), core::dimension2du(8, 8));
    image->drop();

    // Damaged files: refused with the reader's reason, nothing made.
    Bytes truncated = writeDds(headerFor(ETADDS_DXT5, 16, 16), Bytes(200, 0));
    Bytes huge = writeDds(headerFor(ETADDS_A8R8G8B8, 1u << 20, 1u << 20), Bytes(64, 0));
    Bytes zero = writeDds(headerFor(ETADDS_A8R8G8B8, 0, 4), Bytes(64, 0));
    Bytes mips = writeDds(withMips(headerFor(ETADDS_A8R8G8B8, 4, 4), 0xFFFFFFFFu), Bytes(64 + 16 + 4, 0));
    Bytes header = writeDds(headerFor(ETADDS_A8R8G8B8, 4, 4), {});
    header.resize(60);
    struct {
        const char* file;
        const Bytes* bytes;
    } damaged[] = {{"truncated.dds", &truncated}, {"huge.dds", &huge}, {"zero.dds", &zero}, {"mips-overflow.dds", &mips},
                   {"header.dds", &header}};
    for (const auto& d : damaged) {
        writeBytes(d.file, *d.bytes);
        TaLogCapture log;
        EXPECT_EQ(manager->getTexture(d.file, true), nullptr) << d.file;
        EXPECT_TRUE(log.contains(std::string("Could not load texture '") + d.file + "'")) << d.file;
        EXPECT_EQ(ext->findTexture(d.file), nullptr) << d.file;
    }
}

} // namespace
