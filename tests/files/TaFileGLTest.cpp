// The file layer on the file system of a real OpenGL device (run under Xvfb).
#include "files/TaFile.h"
#include "files/TaFileIrr.h"

#include "TaTestSupport.h"

#include <irrlicht.h>

namespace {

using namespace irr;

class TaFileGLTest : public TaScratchTest
{
};

TEST_F(TaFileGLTest, OpenGLDeviceFileSystemServesTheArchive)
{
    writeFile("content/shadersPP/Gamma.hlsl", "gamma");
    ASSERT_EQ(taTestRun("cd content && zip -q -r ../pack.zip ."), 0);
    ASSERT_EQ(taMountArchiveFile("pack.zip"), 0);

    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_OPENGL;
    params.WindowSize = core::dimension2d<u32>(64, 64);
    params.Stencilbuffer = true;
    params.ZBufferBits = 24;
    params.LoggingLevel = ELL_ERROR;
    IrrlichtDevice* device = createDeviceEx(params);
    ASSERT_NE(device, nullptr) << "no OpenGL device: run under xvfb-run";
    EXPECT_EQ(device->getVideoDriver()->getDriverType(), video::EDT_OPENGL);

    ASSERT_EQ(taReapplyFilesystem(device->getFileSystem()), 0);
    STaFileBlock block = taReadWholeFile(taFindFile("gamma.hlsl"));
    ASSERT_TRUE(block.data);
    EXPECT_EQ(std::string(block.data.get(), block.size), "gamma");

    taReleaseFilesystem();
    device->closeDevice();
    device->run();
    device->drop();
}

} // namespace
