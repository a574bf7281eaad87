// The Wavefront OBJ reader: statements it reads, files it refuses, handedness, normals, materials,
// buffer splitting, and a sweep over assimp's OBJ test models.
#include "nodes/TaMeshLoaderObj.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace {

using irr::core::vector2df;
using irr::core::vector3df;

struct STaDrop {
    void operator()(irr::IReferenceCounted* object) const
    {
        if (object)
            object->drop();
    }
};
using TaMeshPtr = std::unique_ptr<CTaMesh, STaDrop>;

// One null device for the whole run: its file system and driver stand in for the engine's.
irr::IrrlichtDevice* nullDevice()
{
    static irr::IrrlichtDevice* device = [] {
        irr::SIrrlichtCreationParameters parameters;
        parameters.DriverType = irr::video::EDT_NULL;
        parameters.LoggingLevel = irr::ELL_NONE;
        return irr::createDeviceEx(parameters);
    }();
    return device;
}

TaMeshPtr readText(const std::string& text, std::string& error)
{
    return TaMeshPtr(taReadObjMesh(text.data(), text.size(), nullptr, nullptr, "", error));
}

irr::u32 triangleCount(const irr::scene::IMesh& mesh)
{
    irr::u32 count = 0;
    for (irr::u32 i = 0; i < mesh.getMeshBufferCount(); ++i)
        count += mesh.getMeshBuffer(i)->getIndexCount() / 3;
    return count;
}

irr::u32 vertexCount(const irr::scene::IMesh& mesh)
{
    irr::u32 count = 0;
    for (irr::u32 i = 0; i < mesh.getMeshBufferCount(); ++i)
        count += mesh.getMeshBuffer(i)->getVertexCount();
    return count;
}

irr::video::S3DVertex* verticesOf(const CTaMesh& mesh, irr::u32 buffer)
{
    return static_cast<irr::video::S3DVertex*>(mesh.getMeshBuffer(buffer)->getVertices());
}

// The vertex of buffer 0 at `position`; fails the test when there is none.
const irr::video::S3DVertex* vertexAt(const CTaMesh& mesh, const vector3df& position)
{
    const irr::video::S3DVertex* vertices = verticesOf(mesh, 0);
    for (irr::u32 v = 0; v < mesh.getMeshBuffer(0)->getVertexCount(); ++v) {
        if (vertices[v].Pos.equals(position))
            return &vertices[v];
    }
    ADD_FAILURE() << "no vertex at " << position.X << " " << position.Y << " " << position.Z;
    static const irr::video::S3DVertex none;
    return &none;
}

void expectNear(const vector3df& actual, const vector3df& expected, const char* what)
{
    EXPECT_TRUE(actual.equals(expected, 1e-5f)) << what << ": " << actual.X << " " << actual.Y << " " << actual.Z
                                                << ", expected " << expected.X << " " << expected.Y << " "
                                                << expected.Z;
}

const std::string kTriangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";

// --- Statements that read ----------------------------------------------------------------------

struct STaReadCase {
    const char* name;
    std::string text;
    irr::u32 buffers, triangles, vertices;
};

TEST(TaMeshLoaderObjTest, ReadsStatements)
{
    const std::string square = kTriangle + "v 1 1 0\n";
    const std::vector<STaReadCase> cases = {
        {"one triangle", kTriangle + "f 1 2 3\n", 1, 1, 3},
        {"a quad becomes a fan sharing its corners", square + "f 1 2 4 3\n", 1, 2, 4},
        {"a pentagon", square + "v 2 2 0\nf 1 2 5 4 3\n", 1, 3, 5},
        {"CR LF and no final line end", "v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nf 1 2 3", 1, 1, 3},
        {"lone CR line ends", "v 0 0 0\rv 1 0 0\rv 0 1 0\rf 1 2 3\r", 1, 1, 3},
        {"backslash continues a line", kTriangle + "f 1 \\\n2 \\\r\n3\n", 1, 1, 3},
        {"continuation on the last line", kTriangle + "f 1 2 3\\", 1, 1, 3},
        {"tabs, blanks and comments", "\t v\t0  0   0 # first\n# comment\n\n   \nv 1 0 0\nv 0 1 0\nf 1 2 3 # done\n",
         1, 1, 3},
        {"C number notations", "v -.5 +2 1e-3\nv 0x1p1 2. -0\nv 1E2 .5e+1 0\nf 1 2 3\n", 1, 1, 3},
        {"position w and extra colour numbers", "v 0 0 0 1\nv 1 0 0 0.5 0.5 0.5\nv 0 1 0 1 1 1 1\nf 1 2 3\n", 1, 1, 3},
        {"relative indices", square + "f -4 -3 -2\nf -3 -1 -2\n", 1, 2, 4},
        {"corner forms v/vt, v//vn, v/vt/vn",
         kTriangle + "vt 0 0\nvt 1 0\nvn 0 0 1\nf 1/1 2/2 3/1\nf 1//1 2//1 3//1\nf 1/1/1 2/2/1 3/1/1\nf 1/ 2/2/ 3//\n", 1, 4,
         11},
        {"texture coordinates split a shared position", square + "vt 0 0\nvt 1 1\nf 1/1 2/1 3/1\nf 1/2 3/1 4/1\n", 1, 2,
         5},
        {"points, lines and short faces are skipped", kTriangle + "l 1 2 3\np 1 2\nf 1 2\nf\nf 3\nf 1 2 3\n", 1, 1, 3},
        {"other statements are accepted", "o thing\ng a b\ns 1\ns off\nvp 0.5\ncstype bezier\n" + kTriangle + "f 1 2 3\n",
         1, 1, 3},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF" + kTriangle + "f 1 2 3\n", 1, 1, 3},
        {"one buffer per material, in order of use", kTriangle + "usemtl a\nf 1 2 3\nusemtl b b\nf 1 2 3\nusemtl a\nf 1 3 2\n",
         2, 3, 6},
        {"faces before usemtl and an empty material name differ", kTriangle + "f 1 2 3\nusemtl\nf 1 2 3\n", 2, 2, 6},
        {"a material without faces makes no buffer", kTriangle + "usemtl unused\nusemtl a\nf 1 2 3\n", 1, 1, 3},
    };
    for (const STaReadCase& c : cases) {
        std::string error;
        TaMeshPtr mesh = readText(c.text, error);
        ASSERT_TRUE(mesh) << c.name << ": " << error;
        EXPECT_EQ(error, "") << c.name;
        EXPECT_EQ(mesh->getMeshBufferCount(), c.buffers) << c.name;
        EXPECT_EQ(mesh->extras.size(), c.buffers) << c.name;
        EXPECT_EQ(triangleCount(*mesh), c.triangles) << c.name;
        EXPECT_EQ(vertexCount(*mesh), c.vertices) << c.name;
    }
}

// --- Refusals ------------------------------------------------------------------------------

struct STaRefuseCase {
    const char* name;
    std::string text;
    std::string error;
};

TEST(TaMeshLoaderObjTest, RefusesWithLineAndReason)
{
    const std::vector<STaRefuseCase> cases = {
        {"empty text", "", "the object has no faces"},
        {"points and lines only", kTriangle + "p 1 2\nl 1 2 3\nf 1 2\n", "the object has no faces"},
        {"UTF-16 little-endian", std::string("\xFF\xFEv\0 \0", 6), "UTF-16 text is not supported"},
        {"UTF-16 big-endian", std::string("\xFE\xFF\0v\0 ", 6), "UTF-16 text is not supported"},
        {"vertex past the end", kTriangle + "f 1 2 4\n", "line 4: face uses vertex 4 of 3"},
        {"vertex 0", kTriangle + "f 0 1 2\n", "line 4: face uses vertex 0 of 3"},
        {"relative vertex before the first", kTriangle + "f -4 1 2\n", "line 4: face uses vertex -4 of 3"},
        {"vertex read only later", "v 0 0 0\nv 1 0 0\nf 1 2 3\nv 0 1 0\n", "line 3: face uses vertex 3 of 2"},
        {"index too large for any integer", kTriangle + "f 99999999999999999999999 1 2\n",
         "line 4: face uses vertex 99999999999999999999999 of 3"},
        {"texture coordinate past the end", kTriangle + "vt 0 0\nf 1/1 2/2 3/1\n",
         "line 5: face uses texture coordinate 2 of 1"},
        {"normal with none read", kTriangle + "f 1//1 2//1 3//1\n", "line 4: face uses normal 1 of 0"},
        {"a skipped short face is still checked", kTriangle + "f 1 7\n", "line 4: face uses vertex 7 of 3"},
        {"a word that is not a corner", kTriangle + "f 1 2 x\n", "line 4: \"x\" is not a face corner"},
        {"four index fields", kTriangle + "f 1/1/1/1 2 3\n", "line 4: \"1/1/1/1\" is not a face corner"},
        {"no vertex field", kTriangle + "f /1 2 3\n", "line 4: \"/1\" is not a face corner"},
        {"a fraction as index", kTriangle + "f 1.0 2 3\n", "line 4: \"1.0\" is not a face corner"},
        {"letters for a coordinate", "v 1 x 3\n", "line 1: a number was expected"},
        {"two coordinates", "\nv 1 2\n", "line 2: a number was expected"},
        {"junk after a number", "v 1 2 3.1+e2\n", "line 1: a number was expected"},
        {"two signs", "v 1 2 +-3\n", "line 1: a number was expected"},
        {"not a number", "v 1 2 nan\n", "line 1: a number was expected"},
        {"infinity", "v 1 2 inf\n", "line 1: a number is out of range"},
        {"beyond float", "v 1 2 1e39\n", "line 1: a number is out of range"},
        {"normal with two numbers", "vn 0 1\n", "line 1: a number was expected"},
        {"texture coordinate without numbers", "vt # none\n", "line 1: a number was expected"},
        {"lines counted through CR LF and continuations", "v 0 0 0\r\nv 1 \\\n0 0\r\nv 0 1 0\nf 1 2 5\n",
         "line 5: face uses vertex 5 of 3"},
        {"line longer than 1 MB", kTriangle + "# " + std::string(1u << 20, 'x') + "\nf 1 2 3\n",
         "line 4: the line is longer than 1 MB"},
        {"continued line longer than 1 MB",
         kTriangle + "# " + std::string(600000, 'x') + "\\\n" + std::string(600000, 'x') + "\nf 1 2 3\n",
         "line 4: the line is longer than 1 MB"},
    };
    for (const STaRefuseCase& c : cases) {
        std::string error = "stale";
        TaMeshPtr mesh = readText(c.text, error);
        EXPECT_FALSE(mesh) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
}

// --- Handedness, texture V, normals, colours -------------------------------------------------

// A triangle facing +z in the file (counter-clockwise seen from +z) faces +z in Irrlicht too, with
// x negated: its corners come out in the order whose Irrlicht triangle normal is +z.
TEST(TaMeshLoaderObjTest, MirrorsXAndReversesWinding)
{
    struct SCase {
        const char* name;
        std::string faceLines;
        vector3df normal;
    };
    const std::vector<SCase> cases = {
        {"normal computed", "f 1/1 2/2 3/3\n", vector3df(0, 0, 1)},
        {"normal from the file, x negated", "vn 0.6 0 0.8\nf 1/1/1 2/2/1 3/3/1\n", vector3df(-0.6f, 0, 0.8f)},
    };
    for (const SCase& c : cases) {
        std::string error;
        TaMeshPtr mesh = readText(kTriangle + "vt 0 0\nvt 1 0\nvt 0 1\n" + c.faceLines, error);
        ASSERT_TRUE(mesh) << c.name << ": " << error;
        const irr::scene::IMeshBuffer* buffer = mesh->getMeshBuffer(0);
        ASSERT_EQ(buffer->getIndexCount(), 3u) << c.name;
        const irr::video::S3DVertex* vertices = verticesOf(*mesh, 0);
        const irr::u16* indices = buffer->getIndices();
        const irr::core::triangle3df triangle(vertices[indices[0]].Pos, vertices[indices[1]].Pos,
                                              vertices[indices[2]].Pos);
        expectNear(triangle.getNormal().normalize(), vector3df(0, 0, 1), c.name);

        EXPECT_EQ(vertexAt(*mesh, vector3df(-1, 0, 0))->TCoords, vector2df(1, 1)) << c.name;
        EXPECT_EQ(vertexAt(*mesh, vector3df(0, 1, 0))->TCoords, vector2df(0, 0)) << c.name;
        EXPECT_EQ(vertexAt(*mesh, vector3df(0, 0, 0))->TCoords, vector2df(0, 1)) << c.name;
        for (irr::u32 v = 0; v < 3; ++v)
            expectNear(vertices[v].Normal, c.normal, c.name);

        const irr::core::aabbox3df box(-1, 0, 0, 0, 1, 0);
        EXPECT_EQ(buffer->getBoundingBox(), box) << c.name;
        EXPECT_EQ(mesh->getBoundingBox(), box) << c.name;
    }
}

// Two triangles folded along the edge (0 0 0)-(0 1 0), the first facing +z and the second +x in
// the file; the corner at the origin is cut in two by different texture coordinates.
TEST(TaMeshLoaderObjTest, AveragesFaceNormalsPerPosition)
{
    std::string error;
    TaMeshPtr mesh = readText(kTriangle + "v 0 0 1\nvt 0 0\nvt 1 1\nf 1/1 2/1 3/1\nf 1/2 3/1 4/1\n", error);
    ASSERT_TRUE(mesh) << error;
    ASSERT_EQ(mesh->getMeshBuffer(0)->getVertexCount(), 5u);
    const float h = std::sqrt(0.5f);
    expectNear(vertexAt(*mesh, vector3df(-1, 0, 0))->Normal, vector3df(0, 0, 1), "only on the +z face");
    expectNear(vertexAt(*mesh, vector3df(0, 0, 1))->Normal, vector3df(-1, 0, 0), "only on the +x face");
    expectNear(vertexAt(*mesh, vector3df(0, 1, 0))->Normal, vector3df(-h, 0, h), "shared edge");
    const irr::video::S3DVertex* vertices = verticesOf(*mesh, 0);
    for (irr::u32 v = 0; v < 5; ++v) {
        if (vertices[v].Pos == vector3df(0, 0, 0))
            expectNear(vertices[v].Normal, vector3df(-h, 0, h), "origin, both sides of the seam");
    }
}

TEST(TaMeshLoaderObjTest, TakesVertexColoursFromPositions)
{
    std::string error;
    TaMeshPtr mesh = readText("v 0 0 0 1 0 0\nv 1 0 0 0 0.5 1\nv 0 1 0 1\nf 1 2 3\n", error);
    ASSERT_TRUE(mesh) << error;
    EXPECT_EQ(vertexAt(*mesh, vector3df(0, 0, 0))->Color, irr::video::SColor(255, 255, 0, 0));
    EXPECT_EQ(vertexAt(*mesh, vector3df(-1, 0, 0))->Color, irr::video::SColor(255, 0, 128, 255));
    // A w is not a colour: the material's diffuse white.
    EXPECT_EQ(vertexAt(*mesh, vector3df(0, 1, 0))->Color, irr::video::SColor(255, 255, 255, 255));
}

// --- Buffers -------------------------------------------------------------------------------

// 22000 separate triangles are 66000 vertices: more than one 16-bit buffer holds.
TEST(TaMeshLoaderObjTest, SplitsBuffersBeforeSixteenBitIndicesRunOut)
{
    const int triangles = 22000;
    std::string text;
    for (int i = 0; i < triangles; ++i)
        text += "v " + std::to_string(i) + " 0 0\nv " + std::to_string(i) + " 1 0\nv " + std::to_string(i) +
                " 0 1\nf -3 -2 -1\n";
    std::string error;
    TaMeshPtr mesh = readText(text, error);
    ASSERT_TRUE(mesh) << error;
    ASSERT_EQ(mesh->getMeshBufferCount(), 2u);
    EXPECT_EQ(mesh->extras.size(), 2u);
    EXPECT_EQ(vertexCount(*mesh), irr::u32(3 * triangles));
    EXPECT_EQ(triangleCount(*mesh), irr::u32(triangles));
    for (irr::u32 b = 0; b < 2; ++b) {
        const irr::scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
        EXPECT_LE(buffer->getVertexCount(), 65535u);
        const irr::u16* indices = buffer->getIndices();
        EXPECT_LT(*std::max_element(indices, indices + buffer->getIndexCount()), buffer->getVertexCount());
    }
    EXPECT_EQ(mesh->getBoundingBox(), irr::core::aabbox3df(-(triangles - 1), 0, 0, 0, 1, 1));
}

// --- Materials through the file system ----------------------------------------------------------

class TaMeshLoaderObjFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/ta-obj-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    void write(const std::string& name, const std::string& content)
    {
        std::filesystem::create_directories(std::filesystem::path(m_dir + "/" + name).parent_path());
        std::ofstream(m_dir + "/" + name, std::ios::binary) << content;
    }

    // A 2x2 uncompressed true-colour TGA.
    static std::string tinyImage()
    {
        std::string tga(18, '\0');
        tga[2] = 2;
        tga[12] = 2;
        tga[14] = 2;
        tga[16] = 24;
        return tga + std::string(12, '\x7f');
    }

    // Loads `name` from the scratch directory through the Irrlicht loader.
    irr::scene::IAnimatedMesh* load(CTaMeshLoaderObj& loader, const std::string& name)
    {
        irr::io::IReadFile* file = nullDevice()->getFileSystem()->createAndOpenFile((m_dir + "/" + name).c_str());
        EXPECT_NE(file, nullptr) << name;
        if (!file)
            return nullptr;
        irr::scene::IAnimatedMesh* mesh = loader.createMesh(file);
        file->drop();
        return mesh;
    }

    std::string m_dir;
};

TEST_F(TaMeshLoaderObjFilesTest, ReadsMaterialLibraries)
{
    write("maps/tex.tga", tinyImage());
    write("a.mtl", "newmtl  Shiny red plastic \nKd 1 0 0\nKa 0.5 0.5 0.5\nKs 0.25 0.25 0.25\nNs 1000\n"
                   "map_Kd -s 1 1 1 maps\\tex.tga\n");
    write("b.mtl", "newmtl glass\r\nkd 0 0 1\r\nd 0.5\r\nnewmtl tinted\r\nTr 0.25\r\nKd spectral x.rfl\r\n");
    write("model.obj", "mtllib a.mtl b.mtl missing.mtl\n" + kTriangle +
                           "usemtl Shiny red plastic   \nf 1 2 3\nusemtl glass\nf 1 2 3\n"
                           "usemtl tinted\nf 1 2 3\nusemtl nowhere\nf 1 2 3\n");

    irr::IrrlichtDevice* device = nullDevice();
    CTaMeshLoaderObj loader(device->getFileSystem(), device->getVideoDriver());
    std::unique_ptr<irr::scene::IAnimatedMesh, STaDrop> animated(load(loader, "model.obj"));
    ASSERT_TRUE(animated) << loader.lastError();
    EXPECT_EQ(loader.lastError(), "");
    EXPECT_EQ(animated->getFrameCount(), 1u);
    const CTaMesh* mesh = dynamic_cast<const CTaMesh*>(animated->getMesh(0));
    ASSERT_NE(mesh, nullptr);
    ASSERT_EQ(mesh->getMeshBufferCount(), 4u);
    EXPECT_EQ(mesh->extras.size(), 4u);

    const irr::video::SMaterial& red = mesh->getMeshBuffer(0)->getMaterial();
    EXPECT_EQ(red.DiffuseColor, irr::video::SColor(255, 255, 0, 0));
    EXPECT_EQ(red.AmbientColor, irr::video::SColor(255, 128, 128, 128));
    EXPECT_EQ(red.SpecularColor, irr::video::SColor(255, 64, 64, 64));
    EXPECT_EQ(red.Shininess, 128.0f);
    EXPECT_EQ(red.MaterialType, irr::video::EMT_SOLID);
    ASSERT_NE(red.getTexture(0), nullptr);
    EXPECT_NE(std::string(red.getTexture(0)->getName().getPath().c_str()).find("maps/tex.tga"), std::string::npos);
    EXPECT_EQ(verticesOf(*mesh, 0)[0].Color, irr::video::SColor(255, 255, 0, 0));

    const irr::scene::IMeshBuffer* glass = mesh->getMeshBuffer(1);
    EXPECT_EQ(glass->getMaterial().MaterialType, irr::video::EMT_TRANSPARENT_VERTEX_ALPHA);
    EXPECT_EQ(verticesOf(*mesh, 1)[0].Color, irr::video::SColor(128, 0, 0, 255));
    EXPECT_EQ(glass->getMaterial().getTexture(0), nullptr);

    EXPECT_EQ(mesh->getMeshBuffer(2)->getMaterial().MaterialType, irr::video::EMT_TRANSPARENT_VERTEX_ALPHA);
    EXPECT_EQ(verticesOf(*mesh, 2)[0].Color, irr::video::SColor(191, 255, 255, 255));

    // An unknown material name is Irrlicht's default material.
    EXPECT_EQ(mesh->getMeshBuffer(3)->getMaterial(), irr::video::SMaterial());
    EXPECT_EQ(verticesOf(*mesh, 3)[0].Color, irr::video::SColor(255, 255, 255, 255));

    // Without a driver the texture stays out; the colours are read all the same.
    const std::string text = "mtllib a.mtl\n" + kTriangle + "usemtl Shiny red plastic\nf 1 2 3\n";
    std::string error;
    TaMeshPtr plain(taReadObjMesh(text.data(), text.size(), device->getFileSystem(), nullptr, m_dir.c_str(), error));
    ASSERT_TRUE(plain) << error;
    EXPECT_EQ(plain->getMeshBuffer(0)->getMaterial().getTexture(0), nullptr);
    EXPECT_EQ(plain->getMeshBuffer(0)->getMaterial().DiffuseColor, irr::video::SColor(255, 255, 0, 0));
}

// A pipe would block the open for good; a directory or a device has nothing to read.
TEST_F(TaMeshLoaderObjFilesTest, SkipsNamesThatAreNoPlainFiles)
{
    ASSERT_EQ(mkfifo((m_dir + "/pipe").c_str(), 0600), 0);
    write("a.mtl", "newmtl x\nKd 1 0 0\nmap_Kd pipe\n");
    write("model.obj", "mtllib pipe . /dev/zero a.mtl\n" + kTriangle + "usemtl x\nf 1 2 3\n");
    irr::IrrlichtDevice* device = nullDevice();
    CTaMeshLoaderObj loader(device->getFileSystem(), device->getVideoDriver());
    std::unique_ptr<irr::scene::IAnimatedMesh, STaDrop> mesh(load(loader, "model.obj"));
    ASSERT_TRUE(mesh) << loader.lastError();
    const irr::video::SMaterial& material = mesh->getMesh(0)->getMeshBuffer(0)->getMaterial();
    EXPECT_EQ(material.DiffuseColor, irr::video::SColor(255, 255, 0, 0));
    EXPECT_EQ(material.getTexture(0), nullptr);
}

TEST_F(TaMeshLoaderObjFilesTest, LoaderKeepsTheLastRefusal)
{
    write("bad.obj", kTriangle + "f 1 2 9\n");
    write("good.obj", kTriangle + "f 1 2 3\n");
    CTaMeshLoaderObj loader(nullDevice()->getFileSystem(), nullptr);
    EXPECT_EQ(load(loader, "bad.obj"), nullptr);
    EXPECT_EQ(loader.lastError(), "line 4: face uses vertex 9 of 3");
    std::unique_ptr<irr::scene::IAnimatedMesh, STaDrop> good(load(loader, "good.obj"));
    EXPECT_TRUE(good);
    EXPECT_EQ(loader.lastError(), "");
}

TEST(TaMeshLoaderObjTest, LoadableExtensions)
{
    CTaMeshLoaderObj loader(nullptr, nullptr);
    const std::vector<std::pair<const char*, bool>> cases = {
        {"model.obj", true}, {"MODEL.OBJ", true}, {"dir/a.Obj", true}, {".obj", true},    {"obj", false},
        {"model.objx", false}, {"model.mtl", false}, {"model_obj", false}, {"", false},
    };
    for (const auto& [name, loadable] : cases)
        EXPECT_EQ(loader.isALoadableFileExtension(name), loadable) << name;
}

// --- Assimp's test models ----------------------------------------------------------------------

// Every file either loads or is refused with a reason; the ones below are pinned down.
TEST(TaMeshLoaderObjTest, SweepsAssimpModels)
{
    const std::string root = "/usr/share/assimp/models/";
    if (!std::filesystem::is_directory(root + "OBJ"))
        GTEST_SKIP() << "assimp's test models are not installed";
    const std::vector<std::pair<std::string, std::string>> pinned = {
        {"invalid/malformed.obj", "line 23: face uses vertex 12 of 8"},
        {"invalid/malformed2.obj", ""},
        {"invalid/empty.obj", "the object has no faces"},
        {"OBJ/box_UTF16BE.obj", "UTF-16 text is not supported"},
        {"OBJ/point_cloud.obj", "the object has no faces"},
        {"OBJ/testline.obj", "the object has no faces"},
        {"OBJ/testpoints.obj", "the object has no faces"},
        {"OBJ/number_formats.obj", "line 11: a number was expected"},
        {"OBJ/spider.obj", ""},
        {"OBJ/WusonOBJ.obj", ""},
        {"OBJ/box_mat_with_spaces.obj", ""},
    };

    irr::IrrlichtDevice* device = nullDevice();
    CTaMeshLoaderObj loader(device->getFileSystem(), device->getVideoDriver());
    std::vector<std::string> files;
    for (const char* dir : {"OBJ", "invalid"}) {
        for (const auto& entry : std::filesystem::directory_iterator(root + dir)) {
            if (entry.path().extension() == ".obj")
                files.push_back(std::string(dir) + "/" + entry.path().filename().string());
        }
    }
    std::sort(files.begin(), files.end());
    int loaded = 0, refused = 0;
    for (const std::string& name : files) {
        irr::io::IReadFile* file = device->getFileSystem()->createAndOpenFile((root + name).c_str());
        ASSERT_NE(file, nullptr) << name;
        std::unique_ptr<irr::scene::IAnimatedMesh, STaDrop> mesh(loader.createMesh(file));
        file->drop();
        EXPECT_NE(bool(mesh), !loader.lastError().empty()) << name;
        if (mesh) {
            ++loaded;
            EXPECT_GT(triangleCount(*mesh->getMesh(0)), 0u) << name;
            std::cout << "  loaded  " << name << ": " << mesh->getMesh(0)->getMeshBufferCount() << " buffers, "
                      << triangleCount(*mesh->getMesh(0)) << " triangles\n";
        } else {
            ++refused;
            std::cout << "  refused " << name << ": " << loader.lastError() << "\n";
        }
        for (const auto& [pinnedName, error] : pinned) {
            if (pinnedName == name) {
                EXPECT_EQ(loader.lastError(), error) << name;
            }
        }
        if (name == "OBJ/spider.obj" && mesh) {
            // Its library names the images with Windows separators (".\SpiderTex.jpg").
            for (irr::u32 b = 0; b < mesh->getMesh(0)->getMeshBufferCount(); ++b)
                EXPECT_NE(mesh->getMesh(0)->getMeshBuffer(b)->getMaterial().getTexture(0), nullptr) << "buffer " << b;
        }
        if (name == "OBJ/box_mat_with_spaces.obj" && mesh) {
            EXPECT_EQ(mesh->getMesh(0)->getMeshBuffer(0)->getMaterial().DiffuseColor, irr::video::SColor(255, 51, 51, 51));
        }
    }
    std::cout << "  " << loaded << " loaded, " << refused << " refused\n";
}

} // namespace
