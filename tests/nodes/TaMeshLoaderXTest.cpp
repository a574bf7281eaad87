// DirectX .x meshes: Irrlicht's reader behind a trial read in a child process.
#include "nodes/TaMeshLoaderX.h"

#include "TaTestSupport.h"

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class TaMeshLoaderXTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        irr::SIrrlichtCreationParameters parameters;
        parameters.DriverType = irr::video::EDT_NULL;
        parameters.LoggingLevel = irr::ELL_NONE;
        m_device = irr::createDeviceEx(parameters);
        ASSERT_NE(m_device, nullptr);
        m_loader = new CTaMeshLoaderX(m_device->getSceneManager());
    }
    void TearDown() override
    {
        m_loader->drop();
        m_device->drop();
    }
    // The loader on a block: the mesh's buffer count, or -1 with the reason in m_error.
    int load(const std::string& bytes, const char* name = "model.x")
    {
        irr::io::IReadFile* file = m_device->getFileSystem()->createMemoryReadFile(
            const_cast<char*>(bytes.data()), static_cast<irr::s32>(bytes.size()), name, false);
        irr::scene::IAnimatedMesh* mesh = m_loader->createMesh(file);
        file->drop();
        m_error = m_loader->lastError();
        if (!mesh)
            return -1;
        const int buffers = static_cast<int>(mesh->getMesh(0)->getMeshBufferCount());
        mesh->drop();
        return buffers;
    }

    irr::IrrlichtDevice* m_device = nullptr;
    CTaMeshLoaderX* m_loader = nullptr;
    std::string m_error;
};

TEST_F(TaMeshLoaderXTest, ReadsWhatTheTrialReadReadAndRefusesTheRest)
{
    const std::string models = "/usr/share/assimp/models/X/";
    EXPECT_TRUE(m_loader->isALoadableFileExtension("CUBE.X"));
    EXPECT_FALSE(m_loader->isALoadableFileExtension("cube.obj"));
    struct { const char* what; std::string bytes; bool loads; const char* error; } cases[] = {
        {"text", bytesOf(models + "test.x"), true, ""},
        {"binary", bytesOf(models + "test_cube_binary.x"), true, ""},
        {"empty", "", false, "the file is empty"},
        {"compressed", bytesOf(models + "test_cube_compressed.x"), false, "compressed .x files are not read"},
        {"no mesh", "xof 0303txt 0032\nHeader { 1; 0; 1; }\n", false, "the .x reader found no mesh in it"},
        // Irrlicht's reader crashes on this one (found by fuzzing): the child ends, the engine not.
        {"crashing", bytesOf(std::string(TARV_SOURCE_DIR) + "/fuzz/corpus/mesh-x/binary-header-crash.x"), false,
         "the .x reader "},
    };
    for (const auto& c : cases) {
        const int buffers = load(c.bytes);
        EXPECT_EQ(buffers > 0, c.loads) << c.what << ": " << m_error;
        EXPECT_EQ(m_error.compare(0, strlen(c.error), c.error), 0) << c.what << ": " << m_error;
    }
}

TEST_F(TaMeshLoaderXTest, TrialReadHasATimeLimit)
{
    const std::string big = bytesOf("/usr/share/assimp/models/X/BCN_Epileptic.X");
    ASSERT_FALSE(big.empty());
    std::string failure;
    EXPECT_FALSE(CTaMeshLoaderX::trialRead(big.data(), big.size(), "big.x", failure, 1));
    EXPECT_EQ(failure, "timed out after 1 s");
    EXPECT_TRUE(CTaMeshLoaderX::trialRead(big.data(), big.size(), "big.x", failure));
}

} // namespace
