// The sample demo packed into one copy of the engine, moved alone to an empty folder and captured
// there (run under Xvfb): the same frames as the demo captured from its folders. A packed scene
// gives its LightWave files back with -extract; a packed demo does not.
#include "TaTestSupport.h"

#include <fstream>
#include <iterator>
#include <string>

namespace {

class TaPackedDemoGLTest : public TaScratchTest
{
protected:
    std::string bytesOf(const std::string& relativePath)
    {
        std::ifstream in(m_dir + "/" + relativePath, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    // Runs a command in a folder below the scratch directory: its exit status.
    int run(const std::string& folder, const std::string& command)
    {
        return taTestRun("cd '" + m_dir + "/" + folder + "' && " + command + " > out.txt 2> err.txt");
    }
};

TEST_F(TaPackedDemoGLTest, APackedDemoPlaysAloneAndCapturesTheSameFrames)
{
    taTestRun(std::string("cp -r '") + TARV_SAMPLES_DIR + "/city' '" + TARV_SAMPLES_DIR + "/demo' '" + m_dir + "/'");
    taTestRun("mkdir -p '" + m_dir + "/demo/music' '" + m_dir + "/alone/frames' '" + m_dir + "/scene' '" + m_dir + "/unpacked'");
    taTestRun(std::string("cp '") + TARV_TEST_MUSIC_DIR + "/beat.mp3' '" + m_dir + "/demo/music/'");
    const std::string setup = "[Setup]\naudio = null\ndisplay = 160 120\nwindowed = 1\n";
    writeFile("tarv-setup.ini", setup);
    writeFile("alone/tarv-setup.ini", setup);

    ASSERT_EQ(run(".", "'" TARV_EXECUTABLE "' demo/sample.demo.ini -cap unpacked/f -capfps 10"), 0) << readFile("err.txt");
    ASSERT_EQ(run(".", "'" TARV_EXECUTABLE "' -demoexe alone/sample demo/sample.demo.ini"), 0) << readFile("err.txt");
    EXPECT_NE(readFile("out.txt").find("Packed "), std::string::npos);
    ASSERT_EQ(run("alone", "./sample -cap frames/f -capfps 10"), 0) << readFile("alone/err.txt");

    // Six seconds at 10 frames per second, bit for bit the frames of the unpacked demo.
    int frames = 0;
    for (int n = 0; n < 70; ++n) {
        char name[32];
        snprintf(name, sizeof name, "f_%06d.bmp", n);
        const std::string packed = bytesOf(std::string("alone/frames/") + name);
        const std::string unpacked = bytesOf(std::string("unpacked/") + name);
        EXPECT_EQ(packed.empty(), unpacked.empty()) << name;
        if (packed.empty())
            continue;
        ++frames;
        EXPECT_TRUE(packed == unpacked) << name;
    }
    EXPECT_EQ(frames, 60);

    // A packed demo is not extracted; a packed scene gives back its LightWave files and images.
    EXPECT_EQ(run("alone", "env -u DISPLAY ./sample -extract"), 255); // its message box on the terminal
    EXPECT_FALSE(exists("alone/ExeExtract"));
    ASSERT_EQ(run(".", "'" TARV_EXECUTABLE "' -demoexe scene/city city/city.tscn"), 0) << readFile("err.txt");
    ASSERT_EQ(run("scene", "env -u DISPLAY ./city -extract"), 0) << readFile("scene/err.txt");
    EXPECT_EQ(bytesOf("scene/ExeExtract/Scenes/city.lws"), bytesOf("city/scene_backup/city.lws"));
    EXPECT_EQ(bytesOf("scene/ExeExtract/Images/facade.png"), bytesOf("city/facade.png"));
}

} // namespace
