// The sample demo captured on the OpenGL device (run under Xvfb): one numbered frame per step of the
// rate for the length of the demo, the same bits on every capture, and the new part on the frame of
// its start.
#include "TaTestSupport.h"

#include "demo/TaDemo.h"
#include "engine/TaEngine.h"
#include "scene/TaSceneManager.h"

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// How many of the sampled pixel bytes of two frames of the same size differ by more than 8.
int differing(const std::string& a, const std::string& b)
{
    int n = 0;
    for (size_t i = 54; i < a.size() && i < b.size(); i += 7)
        n += std::abs(int((unsigned char)a[i]) - int((unsigned char)b[i])) > 8 ? 1 : 0;
    return n;
}

class TaDemoGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        taTestRun(std::string("cp -r '") + TARV_SAMPLES_DIR + "/city' '" + TARV_SAMPLES_DIR + "/demo' '" + m_dir + "/'");
        taTestRun("mkdir -p '" + m_dir + "/demo/music' '" + m_dir + "/one' '" + m_dir + "/two'");
        taTestRun(std::string("cp '") + TARV_TEST_MUSIC_DIR + "/beat.mp3' '" + m_dir + "/demo/music/'");
        taTestProvideEngineFiles(m_dir + "/");
        taRegisterSceneTable();
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", 160, 120)), 0) << "no OpenGL device: run under xvfb-run";
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
};

TEST_F(TaDemoGLTest, SampleDemoCapturesTheSameFramesEveryTime)
{
    const std::string script = m_dir + "/demo/sample.demo.ini";
    for (const char* folder : {"one", "two"}) {
        STaDemoCapture capture;
        capture.baseName = m_dir + "/" + folder + "/f";
        capture.rate = 10.0f;
        ASSERT_EQ(taDemoPlay(script.c_str(), &capture), 0) << folder;
    }
    // Six seconds at 10 frames per second: frames 0 to 59, none beyond.
    for (int n = 0; n < 60; ++n) {
        const std::string one = bytesOf(taDemoFrameName(m_dir + "/one/f", n));
        ASSERT_GT(one.size(), 54u + 160 * 120 * 3 - 1) << n;
        EXPECT_EQ(one, bytesOf(taDemoFrameName(m_dir + "/two/f", n))) << "frame " << n << " differs between captures";
    }
    EXPECT_FALSE(exists("one/f_000060.bmp"));
    EXPECT_TRUE(exists("one/f_000059.bmp"));

    // Frame 25 (2.5 s) is the first of part 2, the city from its start again: far from the frame
    // before, while two frames within a part are close.
    const std::string before = bytesOf(m_dir + "/one/f_000024.bmp");
    const std::string start = bytesOf(m_dir + "/one/f_000025.bmp");
    const int jump = differing(before, start);
    const int within = differing(bytesOf(m_dir + "/one/f_000023.bmp"), before);
    EXPECT_GT(jump, 3 * within + 100) << jump << " vs " << within;
    // The fade to white at the end.
    const std::string last = bytesOf(m_dir + "/one/f_000059.bmp");
    int bright = 0;
    for (size_t i = 54; i < last.size(); ++i)
        bright += (unsigned char)last[i] > 200 ? 1 : 0;
    EXPECT_GT(bright, int(last.size() - 54) * 9 / 10);
}

} // namespace
