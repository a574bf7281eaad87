// The LightWave object reader: objects written here chunk by chunk, the files it refuses, and a
// sweep over the LightWave test models installed with Assimp.
#include "nodes/TaMeshLoaderLwo.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace irr;

// --- A small IFF writer -----------------------------------------------------------------------

std::string be16(u32 value) { return {char(value >> 8), char(value)}; }
std::string be32(u32 value) { return {char(value >> 24), char(value >> 16), char(value >> 8), char(value)}; }
std::string f4(f32 value)
{
    u32 bits;
    memcpy(&bits, &value, sizeof(bits));
    return be32(bits);
}
// A variable-length index; `wide` forces the four-byte form.
std::string vx(u32 index, bool wide = false)
{
    return index < 0xFF00 && !wide ? be16(index) : be32(0xFF000000u | index);
}
std::string s0(const std::string& text)
{
    std::string out = text + '\0';
    if (out.size() % 2)
        out += '\0';
    return out;
}
std::string chunk(const char* id, const std::string& body)
{
    std::string out = std::string(id, 4) + be32(u32(body.size())) + body;
    if (body.size() % 2)
        out += '\0';
    return out;
}
std::string sub(const char* id, const std::string& body)
{
    std::string out = std::string(id, 4) + be16(u32(body.size())) + body;
    if (body.size() % 2)
        out += '\0';
    return out;
}
std::string form(const char* type, const std::vector<std::string>& chunks)
{
    std::string body = type;
    for (const std::string& c : chunks)
        body += c;
    return "FORM" + be32(u32(body.size())) + body;
}

std::string pnts(const std::vector<core::vector3df>& points)
{
    std::string body;
    for (const core::vector3df& p : points)
        body += f4(p.X) + f4(p.Y) + f4(p.Z);
    return chunk("PNTS", body);
}
std::string pols(const char* type, const std::vector<std::vector<u32>>& polygons, bool wide = false)
{
    std::string body = type;
    for (const auto& polygon : polygons) {
        body += be16(u32(polygon.size()));
        for (u32 point : polygon)
            body += vx(point, wide);
    }
    return chunk("POLS", body);
}
std::string names(const char* id, const std::vector<std::string>& list)
{
    std::string body;
    for (const std::string& name : list)
        body += s0(name);
    return chunk(id, body);
}
std::string ptag(const std::vector<std::pair<u32, u32>>& polygonTags)
{
    std::string body = "SURF";
    for (const auto& entry : polygonTags)
        body += vx(entry.first) + be16(entry.second);
    return chunk("PTAG", body);
}
std::string layr(u32 number) { return chunk("LAYR", be16(number) + be16(0) + f4(0) + f4(0) + f4(0) + s0("")); }

struct STaUv {
    u32 point;
    f32 u, v;
    u32 polygon = 0; // VMAD only
};
std::string vmap(const std::string& name, const std::vector<STaUv>& values)
{
    std::string body = "TXUV" + be16(2) + s0(name);
    for (const STaUv& value : values)
        body += vx(value.point) + f4(value.u) + f4(value.v);
    return chunk("VMAP", body);
}
std::string vmad(const std::string& name, const std::vector<STaUv>& values)
{
    std::string body = "TXUV" + be16(2) + s0(name);
    for (const STaUv& value : values)
        body += vx(value.point) + vx(value.polygon) + f4(value.u) + f4(value.v);
    return chunk("VMAD", body);
}
// An image texture layer on `channel` reading UV map `uvMap` (none when empty), clip `clip` (none
// when 0).
std::string blok(const char* channel, const std::string& uvMap, u32 clip = 0, bool enabled = true)
{
    const std::string header = s0("\x80") + sub("CHAN", channel) + sub("ENAB", be16(enabled ? 1 : 0));
    std::string body = sub("IMAP", header) + sub("PROJ", be16(5));
    if (clip)
        body += sub("IMAG", vx(clip));
    if (!uvMap.empty())
        body += sub("VMAP", s0(uvMap));
    return sub("BLOK", body);
}
std::string colr(f32 r, f32 g, f32 b) { return sub("COLR", f4(r) + f4(g) + f4(b) + vx(0)); }
std::string surf(const std::string& name, const std::string& subChunks)
{
    return chunk("SURF", s0(name) + s0("") + subChunks);
}
std::string clip(u32 index, const std::string& file) { return chunk("CLIP", be32(index) + sub("STIL", s0(file))); }

// --- Reading and checking -----------------------------------------------------------------

struct STaDrop {
    void operator()(IReferenceCounted* object) const
    {
        if (object)
            object->drop();
    }
};
using TaMeshPtr = std::unique_ptr<CTaMesh, STaDrop>;

TaMeshPtr read(const std::string& bytes, std::string* error = nullptr, video::IVideoDriver* driver = nullptr,
               const std::string& directory = "")
{
    std::string text;
    TaMeshPtr mesh(taReadLwoMesh(bytes.data(), bytes.size(), driver, directory.c_str(), text));
    if (error) {
        *error = text;
    } else {
        EXPECT_TRUE(mesh) << text;
    }
    if (mesh) {
        EXPECT_EQ(text, "");
    }
    return mesh;
}

// What must hold for every mesh the reader returns.
void expectWellFormed(const CTaMesh& mesh, const std::string& what)
{
    ASSERT_EQ(mesh.extras.size(), mesh.getMeshBufferCount()) << what;
    ASSERT_GT(mesh.getMeshBufferCount(), 0u) << what;
    for (u32 b = 0; b < mesh.getMeshBufferCount(); ++b) {
        const scene::IMeshBuffer* buffer = mesh.getMeshBuffer(b);
        const u32 vertices = buffer->getVertexCount();
        EXPECT_LE(vertices, 65535u) << what;
        EXPECT_EQ(mesh.extras[b].OriginalVerticesIndices.size(), vertices) << what;
        EXPECT_EQ(buffer->getIndexCount() % 3, 0u) << what;
        EXPECT_GT(buffer->getIndexCount(), 0u) << what;
        for (u32 i = 0; i < buffer->getIndexCount(); ++i)
            ASSERT_LT(buffer->getIndices()[i], vertices) << what;
        EXPECT_EQ(buffer->getVertexType() == video::EVT_2TCOORDS, mesh.extras[b].uv2Value == 1) << what;
        for (u32 v = 0; v < vertices; ++v) {
            ASSERT_TRUE(buffer->getBoundingBox().isPointInside(buffer->getPosition(v))) << what;
            ASSERT_TRUE(mesh.getBoundingBox().isPointInside(buffer->getPosition(v))) << what;
            ASSERT_NEAR(buffer->getNormal(v).getLength(), 1.0f, 1e-4f) << what;
        }
    }
}

std::vector<u16> indicesOf(const scene::IMeshBuffer* buffer)
{
    return std::vector<u16>(buffer->getIndices(), buffer->getIndices() + buffer->getIndexCount());
}

core::vector2df uv2Of(const scene::IMeshBuffer* buffer, u32 vertex)
{
    return static_cast<const video::S3DVertex2TCoords*>(buffer->getVertices())[vertex].TCoords2;
}

void expectNear(const core::vector3df& actual, const core::vector3df& expected, const std::string& what = "")
{
    EXPECT_NEAR(actual.X, expected.X, 1e-5f) << what;
    EXPECT_NEAR(actual.Y, expected.Y, 1e-5f) << what;
    EXPECT_NEAR(actual.Z, expected.Z, 1e-5f) << what;
}

const std::vector<core::vector3df> kTriangle = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}};

// A null device for the tests that load images or go through the scene manager.
class TaMeshLoaderLwoDeviceTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        SIrrlichtCreationParameters params;
        params.DriverType = video::EDT_NULL;
        params.LoggingLevel = ELL_NONE;
        s_device = createDeviceEx(params);
    }
    static void TearDownTestSuite()
    {
        if (s_device)
            s_device->drop();
        s_device = nullptr;
    }
    void SetUp() override
    {
        ASSERT_NE(s_device, nullptr);
        char pattern[] = "/tmp/ta-lwo-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    video::IVideoDriver* driver() const { return s_device->getVideoDriver(); }

    // Writes a 2x2 image below the scratch directory.
    void writeImage(const std::string& relativePath) const
    {
        std::filesystem::create_directories(std::filesystem::path(m_dir + "/" + relativePath).parent_path());
        video::IImage* image = driver()->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(2, 2));
        image->fill(video::SColor(255, 10, 20, 30));
        ASSERT_TRUE(driver()->writeImageToFile(image, (m_dir + "/" + relativePath).c_str()));
        image->drop();
    }

    static IrrlichtDevice* s_device;
    std::string m_dir;
};
IrrlichtDevice* TaMeshLoaderLwoDeviceTest::s_device = nullptr;

// --- Geometry -------------------------------------------------------------------------------

TEST(TaMeshLoaderLwoTest, SingleTriangleKeepsLightWaveOrderAndFacesItsNormal)
{
    const std::string bytes = form("LWO2", {names("TAGS", {"Skin"}), layr(0), pnts(kTriangle), pols("FACE", {{0, 1, 2}}),
                                            ptag({{0, 0}}), surf("Skin", colr(1, 0.5f, 0.25f) + sub("DIFF", f4(0.5f)))});
    TaMeshPtr mesh = read(bytes);
    ASSERT_TRUE(mesh);
    expectWellFormed(*mesh, "triangle");
    ASSERT_EQ(mesh->getMeshBufferCount(), 1u);
    const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(0);
    EXPECT_EQ(buffer->getVertexType(), video::EVT_STANDARD);
    ASSERT_EQ(buffer->getVertexCount(), 3u);
    EXPECT_EQ(indicesOf(buffer), (std::vector<u16>{0, 1, 2}));
    EXPECT_EQ(mesh->extras[0].OriginalVerticesIndices, (std::vector<u32>{0, 1, 2}));
    EXPECT_EQ(mesh->extras[0].uv2Value, 0u);
    EXPECT_EQ(mesh->extras[0].uv2Mask, 0u);
    // Clockwise seen from -z (LightWave's front), so the normal points at that viewer, the way
    // Irrlicht's own triangle normal has it.
    const core::vector3df front =
        core::triangle3df(buffer->getPosition(0), buffer->getPosition(1), buffer->getPosition(2)).getNormal().normalize();
    expectNear(front, {0, 0, -1});
    for (u32 v = 0; v < 3; ++v) {
        expectNear(buffer->getPosition(v), kTriangle[v]);
        expectNear(buffer->getNormal(v), {0, 0, -1});
    }
    // COLR times DIFF, for diffuse and ambient.
    const video::SMaterial& material = buffer->getMaterial();
    EXPECT_EQ(material.DiffuseColor, video::SColor(255, 128, 64, 32));
    EXPECT_EQ(material.AmbientColor, video::SColor(255, 128, 64, 32));
    EXPECT_TRUE(material.Lighting);
    EXPECT_EQ(material.getTexture(0), nullptr);
    EXPECT_EQ(mesh->getBoundingBox(), core::aabbox3df(0, 0, 0, 1, 1, 0));
    EXPECT_EQ(buffer->getBoundingBox(), core::aabbox3df(0, 0, 0, 1, 1, 0));
}

TEST(TaMeshLoaderLwoTest, PolygonsBecomeFansAndPointsOrLinesAreSkipped)
{
    const std::vector<core::vector3df> square = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
    // Four-byte indices are legal for any point.
    const std::string bytes =
        form("LWO2", {pnts(square), pols("FACE", {{0}, {0, 1}, {0, 1, 2, 3}, {3, 2}}, true)});
    TaMeshPtr mesh = read(bytes);
    ASSERT_TRUE(mesh);
    ASSERT_EQ(mesh->getMeshBufferCount(), 1u);
    EXPECT_EQ(indicesOf(mesh->getMeshBuffer(0)), (std::vector<u16>{0, 1, 2, 0, 2, 3}));
    EXPECT_EQ(mesh->extras[0].OriginalVerticesIndices, (std::vector<u32>{0, 1, 2, 3}));
    // No SURF: LightWave's default grey.
    EXPECT_EQ(mesh->getMeshBuffer(0)->getMaterial().DiffuseColor, video::SColor(255, 200, 200, 200));
}

TEST(TaMeshLoaderLwoTest, PatchesAreFacesCurvesAndTheirTagsAreNot)
{
    const std::vector<core::vector3df> points = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}};
    const std::string bytes = form(
        "LWO2", {names("TAGS", {"A", "B"}), pnts(points), pols("PTCH", {{0, 1, 2}}), ptag({{0, 0}}),
                 pols("CURV", {{1, 3, 2}}), ptag({{0, 1}}), surf("A", colr(1, 0, 0)), surf("B", colr(0, 0, 1))});
    TaMeshPtr mesh = read(bytes);
    ASSERT_TRUE(mesh);
    ASSERT_EQ(mesh->getMeshBufferCount(), 1u);
    EXPECT_EQ(mesh->extras[0].OriginalVerticesIndices, (std::vector<u32>{0, 1, 2}));
    EXPECT_EQ(mesh->getMeshBuffer(0)->getMaterial().DiffuseColor, video::SColor(255, 255, 0, 0));
}

TEST(TaMeshLoaderLwoTest, LayersMergeAndCountPointsAcrossThem)
{
    const std::vector<core::vector3df> second = {{5, 0, 0}, {5, 1, 0}, {6, 0, 0}};
    const std::string bytes =
        form("LWO2", {layr(0), pnts(kTriangle), pols("FACE", {{0, 1, 2}}), layr(1), pnts(second),
                      vmap("uv", {{0, 0.5f, 0.25f}, {1, 0, 0}, {2, 1, 1}}), pols("FACE", {{2, 1, 0}})});
    TaMeshPtr mesh = read(bytes);
    ASSERT_TRUE(mesh);
    expectWellFormed(*mesh, "layers");
    ASSERT_EQ(mesh->getMeshBufferCount(), 1u);
    const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(0);
    EXPECT_EQ(mesh->extras[0].OriginalVerticesIndices, (std::vector<u32>{0, 1, 2, 5, 4, 3}));
    expectNear(buffer->getPosition(3), second[2]);
    expectNear(buffer->getPosition(5), second[0]);
    // The second layer's map is indexed by that layer's points.
    EXPECT_EQ(buffer->getTCoords(5), core::vector2df(0.5f, 0.75f));
    EXPECT_EQ(mesh->getBoundingBox(), core::aabbox3df(0, 0, 0, 6, 1, 0));
}

TEST(TaMeshLoaderLwoTest, EachSurfaceGetsItsBuffersAndMaterial)
{
    const std::vector<core::vector3df> points = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}, {2, 0, 0}};
    // Tags 1 and 2 name the same surface; polygon 3 has no tag; "Ghost" has no SURF chunk.
    const std::string bytes =
        form("LWO2", {names("TAGS", {"Red", "Blue", "Blue", "Ghost"}), pnts(points),
                      pols("FACE", {{0, 1, 2}, {1, 3, 2}, {2, 3, 4}, {0, 1, 3}, {0, 3, 4}}),
                      ptag({{0, 0}, {1, 1}, {2, 2}, {4, 3}}), surf("Blue", colr(0, 0, 1)), surf("Red", colr(1, 0, 0))});
    TaMeshPtr mesh = read(bytes);
    ASSERT_TRUE(mesh);
    expectWellFormed(*mesh, "surfaces");
    struct {
        video::SColor colour;
        std::vector<u32> points;
    } const expected[] = {
        {video::SColor(255, 255, 0, 0), {0, 1, 2}},
        {video::SColor(255, 0, 0, 255), {1, 3, 2, 4}},
        {video::SColor(255, 200, 200, 200), {0, 1, 3}}, // untagged
        {video::SColor(255, 200, 200, 200), {0, 3, 4}}, // a tag without a surface
    };
    ASSERT_EQ(mesh->getMeshBufferCount(), 4u);
    for (u32 b = 0; b < 4; ++b) {
        EXPECT_EQ(mesh->getMeshBuffer(b)->getMaterial().DiffuseColor, expected[b].colour) << b;
        EXPECT_EQ(mesh->extras[b].OriginalVerticesIndices, expected[b].points) << b;
    }
}

TEST(TaMeshLoaderLwoTest, UvsFlipVAndPolygonValuesSplitVertices)
{
    const std::vector<core::vector3df> square = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
    const std::string bytes =
        form("LWO2", {pnts(square), vmap("tex", {{0, 0, 0}, {1, 0, 1}, {2, 1, 1}, {3, 1, 0}}),
                      pols("FACE", {{0, 1, 2}, {0, 2, 3}}), vmad("tex", {{0, 0.25f, 0.125f, 1}, {2, 0.5f, 0.5f, 7}})});
    TaMeshPtr mesh = read(bytes);
    ASSERT_TRUE(mesh);
    expectWellFormed(*mesh, "uv");
    const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(0);
    // Point 0 has its own UV in polygon 1: a vertex of its own. Polygon 7 does not exist.
    EXPECT_EQ(mesh->extras[0].OriginalVerticesIndices, (std::vector<u32>{0, 1, 2, 0, 3}));
    EXPECT_EQ(indicesOf(buffer), (std::vector<u16>{0, 1, 2, 3, 2, 4}));
    const core::vector2df expected[] = {{0, 1}, {0, 0}, {1, 0}, {0.25f, 0.875f}, {1, 1}};
    for (u32 v = 0; v < 5; ++v)
        EXPECT_EQ(buffer->getTCoords(v), expected[v]) << v;
}

TEST(TaMeshLoaderLwoTest, SecondUvMapIsKeptWhenATextureLayerReadsIt)
{
    const std::string geometry = pnts(kTriangle) + vmap("A", {{0, 0.25f, 0.25f}}) + vmap("B", {{0, 0.75f, 0.5f}}) +
                                 vmap("C", {{0, 0.5f, 0.5f}}) + pols("FACE", {{0, 1, 2}});
    struct {
        const char* what;
        std::string layers;
        bool twoSets;
        u32 mask;
        core::vector2df uv;  // point 0's TCoords
        core::vector2df uv2; // point 0's TCoords2, when kept
    } const cases[] = {
        {"colour reads A, diffuse and bump read B", blok("COLR", "A") + blok("DIFF", "B") + blok("BUMP", "B"), true,
         ETAUV2_DIFFUSE | ETAUV2_NORMAL, {0.25f, 0.75f}, {0.75f, 0.5f}},
        {"the first layer to read another map picks it", blok("COLR", "A") + blok("SPEC", "C") + blok("LUMI", "B"),
         true, ETAUV2_SPECULAR, {0.25f, 0.75f}, {0.5f, 0.5f}},
        {"B exists but no layer reads it", blok("COLR", "A"), false, 0, {0.25f, 0.75f}, {}},
        {"no layers: the file's first map", "", false, 0, {0.25f, 0.75f}, {}},
        {"colour reads B", blok("COLR", "B"), false, 0, {0.75f, 0.5f}, {}},
        {"a disabled layer reads B", blok("COLR", "A") + blok("DIFF", "B", 0, false), false, 0, {0.25f, 0.75f}, {}},
        {"a layer names a map the file lacks", blok("COLR", "A") + blok("DIFF", "Z"), false, 0, {0.25f, 0.75f}, {}},
        {"only a non-colour layer reads B", blok("GLOS", "B"), true, ETAUV2_GLOSSINESS, {0.25f, 0.75f}, {0.75f, 0.5f}},
    };
    for (const auto& c : cases) {
        TaMeshPtr mesh = read(form("LWO2", {names("TAGS", {"S"}), geometry, ptag({{0, 0}}), surf("S", c.layers)}));
        ASSERT_TRUE(mesh) << c.what;
        expectWellFormed(*mesh, c.what);
        const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(0);
        EXPECT_EQ(buffer->getVertexType(), c.twoSets ? video::EVT_2TCOORDS : video::EVT_STANDARD) << c.what;
        EXPECT_EQ(mesh->extras[0].uv2Value, c.twoSets ? 1u : 0u) << c.what;
        EXPECT_EQ(mesh->extras[0].uv2Mask, c.mask) << c.what;
        EXPECT_EQ(buffer->getTCoords(0), c.uv) << c.what;
        if (c.twoSets) {
            EXPECT_EQ(uv2Of(buffer, 0), c.uv2) << c.what;
        }
    }
}

TEST(TaMeshLoaderLwoTest, EveryTextureChannelHasItsSecondUvBit)
{
    const struct {
        const char* channel;
        u32 bit;
    } channels[] = {{"COLR", ETAUV2_COLOR},         {"DIFF", ETAUV2_DIFFUSE},     {"LUMI", ETAUV2_LUMINOSITY},
                    {"SPEC", ETAUV2_SPECULAR},      {"REFL", ETAUV2_REFLECTIVITY}, {"TRAN", ETAUV2_TRANSPARENCY},
                    {"BUMP", ETAUV2_NORMAL},        {"TRNL", ETAUV2_TRANSLUCENCY}, {"GLOS", ETAUV2_GLOSSINESS},
                    {"RIND", 0}};
    for (const auto& c : channels) {
        const std::string bytes =
            form("LWO2", {names("TAGS", {"S"}), pnts(kTriangle), vmap("A", {}), vmap("B", {}), pols("FACE", {{0, 1, 2}}),
                          ptag({{0, 0}}), surf("S", blok("COLR", "A") + blok(c.channel, "B"))});
        TaMeshPtr mesh = read(bytes);
        ASSERT_TRUE(mesh) << c.channel;
        EXPECT_EQ(mesh->extras[0].uv2Mask, c.bit) << c.channel;
    }
}

TEST(TaMeshLoaderLwoTest, NormalsSmoothWithinTheSurfaceSmoothingAngle)
{
    // Two squares folded along the edge of points 0 and 1: one faces +y, the other -x.
    const std::vector<core::vector3df> points = {{0, 0, 0}, {0, 0, 1}, {1, 0, 1}, {1, 0, 0}, {0, -1, 0}, {0, -1, 1}};
    const core::vector3df up(0, 1, 0), left(-1, 0, 0), edge = core::vector3df(-1, 1, 0).normalize();
    struct {
        const char* what;
        std::string smoothing;
        u32 vertices;
        core::vector3df atEdge; // the first square's normal at point 0
    } const cases[] = {
        {"no SMAN: faceted, as LightWave shows it", "", 8, up},
        {"SMAN 30 degrees: the fold stays sharp", sub("SMAN", f4(0.5236f)), 8, up},
        {"SMAN 100 degrees: the fold is smoothed", sub("SMAN", f4(1.745f)), 6, edge},
        {"SMAN 0: flat", sub("SMAN", f4(0)), 8, up},
    };
    for (const auto& c : cases) {
        const std::string bytes = form("LWO2", {names("TAGS", {"S"}), pnts(points), pols("FACE", {{0, 1, 2, 3}, {1, 0, 4, 5}}),
                                                ptag({{0, 0}, {1, 0}}), surf("S", c.smoothing)});
        TaMeshPtr mesh = read(bytes);
        ASSERT_TRUE(mesh) << c.what;
        expectWellFormed(*mesh, c.what);
        const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(0);
        EXPECT_EQ(buffer->getVertexCount(), c.vertices) << c.what;
        expectNear(buffer->getNormal(0), c.atEdge, c.what);
        expectNear(buffer->getNormal(2), up, c.what); // point 2 is the first square's alone
        expectNear(buffer->getNormal(buffer->getVertexCount() - 1), left, c.what);
    }
}

TEST(TaMeshLoaderLwoTest, BuffersSplitBefore65536VerticesAndKeepPointNumbers)
{
    // 21846 separate triangles: 65538 vertices, three more than one buffer holds. Indices past
    // 0xFF00 take the four-byte form.
    const u32 triangles = 21846;
    std::vector<core::vector3df> points;
    std::vector<std::vector<u32>> polygons;
    for (u32 t = 0; t < triangles; ++t) {
        for (const core::vector3df& p : kTriangle)
            points.push_back(p + core::vector3df(f32(t), 0, 0));
        polygons.push_back({3 * t, 3 * t + 1, 3 * t + 2});
    }
    TaMeshPtr mesh = read(form("LWO2", {pnts(points), pols("FACE", polygons)}));
    ASSERT_TRUE(mesh);
    expectWellFormed(*mesh, "split");
    ASSERT_EQ(mesh->getMeshBufferCount(), 2u);
    EXPECT_EQ(mesh->getMeshBuffer(0)->getVertexCount(), 65535u);
    EXPECT_EQ(mesh->extras[1].OriginalVerticesIndices, (std::vector<u32>{65535, 65536, 65537}));
    EXPECT_EQ(indicesOf(mesh->getMeshBuffer(1)), (std::vector<u16>{0, 1, 2}));
    expectNear(mesh->getMeshBuffer(1)->getPosition(2), {f32(triangles), 0, 0});
    EXPECT_EQ(mesh->getBoundingBox(), core::aabbox3df(0, 0, 0, triangles, 1, 0));
}

// --- LWOB -----------------------------------------------------------------------------------

std::string lwobPolygon(const std::vector<u32>& points, int surface)
{
    std::string out = be16(u32(points.size()));
    for (u32 point : points)
        out += be16(point);
    return out + be16(u32(surface) & 0xFFFF);
}

TEST(TaMeshLoaderLwoTest, LwobReadsSurfacesAndDetailPolygons)
{
    const std::vector<core::vector3df> points = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {2, 0, 0}, {2, 1, 0}, {3, 0, 0}};
    // Surface -1: surface 1, one detail polygon follows (on surface 2).
    const std::string polygons = lwobPolygon({0, 1, 2}, -1) + be16(1) + lwobPolygon({3, 4, 5}, 2) +
                                 lwobPolygon({0, 1}, 1);
    const std::string bytes =
        form("LWOB", {names("SRFS", {"Red", "Blue"}), pnts(points), chunk("POLS", polygons),
                      chunk("SURF", s0("Red") + sub("COLR", std::string("\xff\x00\x00\x00", 4)) + sub("DIFF", be16(128))),
                      chunk("SURF", s0("Blue") + sub("COLR", std::string("\x00\x00\xff\x00", 4)))});
    TaMeshPtr mesh = read(bytes);
    ASSERT_TRUE(mesh);
    expectWellFormed(*mesh, "lwob");
    ASSERT_EQ(mesh->getMeshBufferCount(), 2u);
    EXPECT_EQ(mesh->extras[0].OriginalVerticesIndices, (std::vector<u32>{0, 1, 2}));
    EXPECT_EQ(mesh->extras[1].OriginalVerticesIndices, (std::vector<u32>{3, 4, 5}));
    EXPECT_EQ(mesh->getMeshBuffer(0)->getMaterial().DiffuseColor, video::SColor(255, 128, 0, 0));
    EXPECT_EQ(mesh->getMeshBuffer(1)->getMaterial().DiffuseColor, video::SColor(255, 0, 0, 255));
    expectNear(mesh->getMeshBuffer(1)->getNormal(0), {0, 0, -1});
}

TEST(TaMeshLoaderLwoTest, LwobSmoothingFollowsTheSurfaceFlag)
{
    const std::vector<core::vector3df> points = {{0, 0, 0}, {0, 0, 1}, {1, 0, 1}, {1, 0, 0}, {0, -1, 0}, {0, -1, 1}};
    const std::string polygons = lwobPolygon({0, 1, 2, 3}, 1) + lwobPolygon({1, 0, 4, 5}, 1);
    for (const auto& c : std::vector<std::pair<std::string, u32>>{
             {"", 8}, {sub("FLAG", be16(0)), 8}, {sub("FLAG", be16(4)), 6}, {sub("FLAG", be16(4)) + sub("SMAN", f4(0.5f)), 8},
             {sub("SMAN", f4(2.0f)) + sub("FLAG", be16(4)), 6}}) {
        TaMeshPtr mesh = read(form("LWOB", {names("SRFS", {"S"}), pnts(points), chunk("POLS", polygons),
                                            chunk("SURF", s0("S") + c.first)}));
        ASSERT_TRUE(mesh);
        EXPECT_EQ(mesh->getMeshBuffer(0)->getVertexCount(), c.second) << c.second;
    }
}

// --- Refusals and sloppy files -----------------------------------------------------------------

TEST(TaMeshLoaderLwoTest, RefusesBrokenObjectsSayingWhy)
{
    const std::string triangle = pnts(kTriangle);
    struct {
        const char* what;
        std::string bytes;
        const char* error;
    } const cases[] = {
        {"nothing", "", "not a LightWave object"},
        {"another IFF form", form("ILBM", {triangle}), "not a LightWave object"},
        {"not IFF", "RIFF" + be32(4) + "LWO2", "not a LightWave object"},
        {"cut-short header", "FORM" + be32(4) + "LW", "not a LightWave object"},
        {"PNTS past the end", form("LWO2", {"PNTS" + be32(36) + std::string(12, '\0')}),
         "chunk PNTS runs past the end of the file"},
        {"point past the layer's", form("LWO2", {triangle, pols("FACE", {{0, 1, 2}, {0, 2, 3}})}),
         "polygon 1 uses point 3 of 3"},
        {"four-byte index past the points", form("LWO2", {triangle, pols("FACE", {{0, 1, 256}}, true)}),
         "polygon 0 uses point 256 of 3"},
        {"polygons before points", form("LWO2", {pols("FACE", {{0, 1, 2}}), triangle}), "polygon 0 uses point 0 of 0"},
        {"a layer's polygon uses the previous layer's point",
         form("LWO2", {layr(0), triangle, layr(1), triangle, pols("FACE", {{0, 1, 3}})}), "polygon 0 uses point 3 of 3"},
        {"polygon cut short", form("LWO2", {triangle, chunk("POLS", "FACE" + be16(3) + be16(0) + be16(1))}),
         "chunk POLS ends inside polygon 0"},
        {"points only", form("LWO2", {triangle}), "the object has no polygons"},
        {"lines only", form("LWO2", {triangle, pols("FACE", {{0, 1}, {1, 2}})}), "the object has no polygons"},
        {"empty form", form("LWO2", {}), "the object has no polygons"},
        {"surface sub-chunk past its chunk", form("LWO2", {triangle, pols("FACE", {{0, 1, 2}}),
                                                           chunk("SURF", s0("S") + s0("") + "COLR" + be16(14))}),
         "surface \"S\": sub-chunk COLR runs past the end of its chunk"},
        {"texture layer header past its block",
         form("LWO2", {triangle, pols("FACE", {{0, 1, 2}}), surf("S", sub("BLOK", "IMAP" + be16(40) + s0("\x80")))}),
         "surface \"S\": sub-chunk IMAP runs past the end of its chunk"},
        {"LWOB polygon cut short", form("LWOB", {triangle, chunk("POLS", be16(3) + be16(0) + be16(1) + be16(2))}),
         "chunk POLS ends inside polygon 0"},
        {"LWOB point past the end", form("LWOB", {triangle, chunk("POLS", lwobPolygon({0, 1, 9}, 1))}),
         "polygon 0 uses point 9 of 3"},
    };
    for (const auto& c : cases) {
        std::string error;
        TaMeshPtr mesh = read(c.bytes, &error);
        EXPECT_FALSE(mesh) << c.what;
        EXPECT_EQ(error, c.error) << c.what;
    }
}

TEST(TaMeshLoaderLwoTest, ToleratesSloppyFraming)
{
    const std::string body = "LWO2" + pnts(kTriangle) + pols("FACE", {{0, 1, 2}});
    struct {
        const char* what;
        std::string bytes;
    } const cases[] = {
        {"FORM size past the end", "FORM" + be32(100000) + body},
        {"FORM size never filled in", "FORM" + be32(0) + body},
        {"unknown chunks, odd-sized ones padded", "FORM" + be32(0) + body + chunk("ZZZZ", "abc") + chunk("BBOX", "xy")},
        {"a cut-short chunk nobody reads at the end", "FORM" + be32(0) + body + "BBOX" + be32(24) + "abcd"},
        {"a stray byte at the end", "FORM" + be32(0) + body + "x"},
        {"PTAG, VMAP, VMAD entries past the object", "FORM" + be32(0) + body + ptag({{5, 0}}) +
                                                         vmap("A", {{9, 1, 1}}) + vmad("A", {{9, 0, 0, 0}, {0, 1, 1, 3}})},
        {"NaN and infinite values", "FORM" + be32(0) + "LWO2" + chunk("PNTS", f4(NAN) + f4(INFINITY) + f4(0) + f4(0) + f4(1) + f4(0) + f4(1) + f4(0) + f4(-INFINITY)) +
                                        vmap("A", {{0, NAN, INFINITY}}) + pols("FACE", {{0, 1, 2}}) +
                                        surf("", colr(NAN, INFINITY, -1) + sub("SMAN", f4(NAN)))},
    };
    for (const auto& c : cases) {
        TaMeshPtr mesh = read(c.bytes);
        ASSERT_TRUE(mesh) << c.what;
        expectWellFormed(*mesh, c.what);
        EXPECT_EQ(mesh->extras[0].OriginalVerticesIndices, (std::vector<u32>{0, 1, 2})) << c.what;
    }
}

TEST(TaMeshLoaderLwoTest, EveryCutShortObjectLoadsOrIsRefused)
{
    const std::string lwo2 = form(
        "LWO2", {names("TAGS", {"S", "T"}), layr(0), pnts(kTriangle), vmap("A", {{0, 0, 0}, {1, 1, 1}}),
                 vmap("B", {{2, 1, 0}}), pols("FACE", {{0, 1, 2}, {2, 1, 0}}), ptag({{0, 0}, {1, 1}}),
                 vmad("A", {{0, 0.5f, 0.5f, 1}}), clip(1, "image.png"),
                 surf("S", colr(1, 1, 1) + sub("SMAN", f4(1)) + blok("COLR", "A", 1) + blok("DIFF", "B")), surf("T", "")});
    const std::string lwob =
        form("LWOB", {names("SRFS", {"S"}), pnts(kTriangle), chunk("POLS", lwobPolygon({0, 1, 2}, -1) + be16(1) + lwobPolygon({2, 1, 0}, 1)),
                      chunk("SURF", s0("S") + sub("COLR", std::string(4, '\x40')) + sub("CTEX", s0("Planar Image Map")) +
                                        sub("TIMG", s0("image.png")))});
    for (const std::string* whole : {&lwo2, &lwob}) {
        ASSERT_TRUE(read(*whole));
        for (size_t length = 0; length < whole->size(); ++length) {
            std::string error;
            TaMeshPtr mesh = read(whole->substr(0, length), &error);
            const std::string what = (*whole).substr(8, 4) + " cut to " + std::to_string(length);
            if (mesh)
                expectWellFormed(*mesh, what);
            else
                EXPECT_NE(error, "") << what;
        }
    }
}

// --- Images and the Irrlicht loader -------------------------------------------------------------

TEST_F(TaMeshLoaderLwoDeviceTest, ColourImagesLoadAsGivenOrBelowTheObjectsDirectory)
{
    writeImage("textures/wood.bmp");
    writeImage("stone.bmp");
    const std::string geometry = names("TAGS", {"S"}) + pnts(kTriangle) + pols("FACE", {{0, 1, 2}}) + ptag({{0, 0}});
    struct {
        const char* what;
        std::string chunks;
        std::string expected; // the texture's file name ending, empty for none
    } const cases[] = {
        {"relative to the directory", clip(3, "textures/wood.bmp") + surf("S", blok("COLR", "", 3)), "textures/wood.bmp"},
        {"LightWave drive path, found by its name", clip(1, "HQ:Some/Where/stone.bmp") + surf("S", blok("COLR", "", 1)),
         "stone.bmp"},
        {"absolute path", clip(1, m_dir + "/stone.bmp") + surf("S", blok("COLR", "", 1)), "stone.bmp"},
        {"missing image is no error", clip(1, "missing.bmp") + surf("S", blok("COLR", "", 1)), ""},
        {"clip the file lacks", clip(1, "stone.bmp") + surf("S", blok("COLR", "", 2)), ""},
        {"only the colour channel's image", clip(1, "stone.bmp") + surf("S", blok("DIFF", "", 1)), ""},
        {"a directory is not an image", clip(1, "textures") + surf("S", blok("COLR", "", 1)), ""},
    };
    for (const auto& c : cases) {
        TaMeshPtr mesh = read(form("LWO2", {geometry, c.chunks}), nullptr, driver(), m_dir);
        ASSERT_TRUE(mesh) << c.what;
        video::ITexture* texture = mesh->getMeshBuffer(0)->getMaterial().getTexture(0);
        if (c.expected.empty()) {
            EXPECT_EQ(texture, nullptr) << c.what;
            continue;
        }
        ASSERT_NE(texture, nullptr) << c.what;
        const std::string name = texture->getName().getPath().c_str();
        EXPECT_EQ(name.substr(name.size() - c.expected.size()), c.expected) << c.what;
    }

    // LWOB: the colour texture's image.
    const std::string lwob =
        form("LWOB", {names("SRFS", {"S"}), pnts(kTriangle), chunk("POLS", lwobPolygon({0, 1, 2}, 1)),
                      chunk("SURF", s0("S") + sub("CTEX", s0("Planar Image Map")) + sub("TIMG", s0("C:\\art\\stone.bmp")))});
    TaMeshPtr mesh = read(lwob, nullptr, driver(), m_dir);
    ASSERT_TRUE(mesh);
    EXPECT_NE(mesh->getMeshBuffer(0)->getMaterial().getTexture(0), nullptr);
}

TEST_F(TaMeshLoaderLwoDeviceTest, LoaderServesLwoFilesToTheSceneManager)
{
    CTaMeshLoaderLwo* loader = new CTaMeshLoaderLwo(driver());
    for (const auto& name : {"a.lwo", "dir.x/B.LWO", "c.Lwo"})
        EXPECT_TRUE(loader->isALoadableFileExtension(name)) << name;
    for (const auto& name : {"a.obj", "lwo", "a.lwo.bak", "a.lw", ""})
        EXPECT_FALSE(loader->isALoadableFileExtension(name)) << name;

    writeImage("models/skin.bmp");
    const std::string object = form("LWO2", {names("TAGS", {"S"}), pnts(kTriangle), pols("FACE", {{0, 1, 2}}),
                                             ptag({{0, 0}}), clip(1, "skin.bmp"), surf("S", blok("COLR", "", 1))});
    std::ofstream(m_dir + "/models/thing.lwo", std::ios::binary) << object;
    std::ofstream(m_dir + "/models/broken.lwo", std::ios::binary) << "FORM";

    scene::ISceneManager* scene = s_device->getSceneManager();
    scene->addExternalMeshLoader(loader);
    scene::IAnimatedMesh* animated = scene->getMesh((m_dir + "/models/thing.lwo").c_str());
    ASSERT_NE(animated, nullptr) << loader->lastError();
    EXPECT_EQ(loader->lastError(), "");
    const STaMeshBufferExtra* extra = taMeshBufferExtra(animated->getMesh(0), 0);
    ASSERT_NE(extra, nullptr);
    EXPECT_EQ(extra->OriginalVerticesIndices, (std::vector<u32>{0, 1, 2}));
    // The image is found next to the object.
    EXPECT_NE(animated->getMesh(0)->getMeshBuffer(0)->getMaterial().getTexture(0), nullptr);
    EXPECT_EQ(animated->getBoundingBox(), core::aabbox3df(0, 0, 0, 1, 1, 0));

    io::IReadFile* broken = s_device->getFileSystem()->createAndOpenFile((m_dir + "/models/broken.lwo").c_str());
    ASSERT_NE(broken, nullptr);
    EXPECT_EQ(loader->createMesh(broken), nullptr);
    broken->drop();
    EXPECT_EQ(loader->lastError(), "not a LightWave object");
    loader->drop();
}

// --- The LightWave models installed with Assimp -----------------------------------------------

TEST(TaMeshLoaderLwoTest, AssimpModelsLoadOrAreRefusedWithAReason)
{
    namespace fs = std::filesystem;
    const fs::path root = "/usr/share/assimp/models";
    if (!fs::is_directory(root / "LWO"))
        GTEST_SKIP() << "no Assimp test models";
    std::vector<fs::path> files;
    for (const auto& entry : fs::recursive_directory_iterator(root / "LWO"))
        if (entry.is_regular_file() && entry.path().extension() == ".lwo")
            files.push_back(entry.path());
    for (const auto& entry : fs::directory_iterator(root / "invalid"))
        if (entry.path().extension() == ".lwo")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_GT(files.size(), 20u);

    std::map<std::string, int> tally;
    std::map<std::string, TaMeshPtr> loaded;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string error;
        TaMeshPtr mesh = read(bytes, &error);
        const std::string name = fs::relative(file, root).string();
        if (mesh) {
            expectWellFormed(*mesh, name);
            ++tally["loaded"];
            loaded[name] = std::move(mesh);
        } else {
            EXPECT_NE(error, "") << name;
            ++tally["refused: " + error];
            std::cout << "[ refused  ] " << name << ": " << error << "\n";
        }
    }
    for (const auto& entry : tally)
        std::cout << "[ tally    ] " << entry.first << ": " << entry.second << "\n";

    // The two that hang Irrlicht's own loader.
    ASSERT_TRUE(loaded.count("LWO/LWO2/box_2uv_1unused.lwo"));
    ASSERT_TRUE(loaded.count("LWO/LWOB/ConcavePolygon.lwo"));
    // Its second map is read by no texture layer.
    const CTaMesh& box = *loaded["LWO/LWO2/box_2uv_1unused.lwo"];
    EXPECT_EQ(box.getMeshBuffer(0)->getVertexType(), video::EVT_STANDARD);
    EXPECT_EQ(box.extras[0].uv2Value, 0u);
    // Four layers of 8, 266, 8 and 8 points: numbers run on across them.
    const CTaMesh& hierarchy = *loaded["LWO/LWO2/hierarchy.lwo"];
    u32 highest = 0;
    for (const STaMeshBufferExtra& extra : hierarchy.extras)
        for (u32 point : extra.OriginalVerticesIndices)
            highest = std::max(highest, point);
    EXPECT_EQ(highest, 289u);
    EXPECT_EQ(tally["refused: not a LightWave object"], 1); // invalid/empty.lwo
}

} // namespace
