// The sample demo captured on the OpenGL device (run under Xvfb): one numbered frame per step of the
// rate for the length of the demo, the same bits on every capture, and the new part on the frame of
// its start, and its second part through the demo's camera shader.
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
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", 160, 120, true)), 0) << "no OpenGL device: run under xvfb-run";
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
    // Part 2 runs through the vignette camera shader: frame 35 shows the city at the time frame 10
    // does, with its top-left corner darkened to about half.
    auto corner = [](const std::string& bmp) {
        long sum = 0;
        for (int y = 108; y < 120; ++y) // rows are stored bottom-up: the picture's top ones last
            for (int x = 0; x < 12 * 3; ++x)
                sum += (unsigned char)bmp[54 + size_t(y) * 160 * 3 + size_t(x)];
        return sum;
    };
    const long plainCorner = corner(bytesOf(m_dir + "/one/f_000010.bmp"));
    const long shadedCorner = corner(bytesOf(m_dir + "/one/f_000035.bmp"));
    EXPECT_LT(shadedCorner * 10, plainCorner * 7) << shadedCorner << " vs " << plainCorner;
    EXPECT_GT(shadedCorner * 10, plainCorner * 2) << shadedCorner << " vs " << plainCorner;
    // The fade to white at the end.
    const std::string last = bytesOf(m_dir + "/one/f_000059.bmp");
    int bright = 0;
    for (size_t i = 54; i < last.size(); ++i)
        bright += (unsigned char)last[i] > 200 ? 1 : 0;
    EXPECT_GT(bright, int(last.size() - 54) * 9 / 10);
}

} // namespace

namespace {

TEST_F(TaDemoGLTest, ACameraShaderThatDoesNotBuildFailsTheLoad)
{
    writeFile("demo/shaders/Vignette.hlsl", "float4 ps_main() : COLOR0 { return 1 }\n");
    TaLogCapture log;
    STaDemoCapture capture;
    capture.baseName = m_dir + "/one/f";
    capture.rate = 10.0f;
    EXPECT_NE(taDemoPlay((m_dir + "/demo/sample.demo.ini").c_str(), &capture), 0);
    EXPECT_TRUE(log.contains("Failed to load shader shaders/Vignette.hlsl"));
    EXPECT_FALSE(exists("one/f_000000.bmp"));
}

TEST_F(TaDemoGLTest, SampleDemoAsAVideoWithItsMusic)
{
    if (taTestRun("command -v ffmpeg > /dev/null && command -v ffprobe > /dev/null") != 0)
        GTEST_SKIP() << "ffmpeg is not installed (tools/setup.sh installs it)";
    STaDemoCapture capture;
    capture.videoFile = m_dir + "/one/sample's demo.mp4";
    capture.rate = 25.0f;
    ASSERT_EQ(taDemoPlay((m_dir + "/demo/sample.demo.ini").c_str(), &capture), 0);
    EXPECT_FALSE(exists("one/f_000000.bmp")); // a video alone writes no frame files
    ASSERT_EQ(taTestRun("ffprobe -v error -show_entries format=duration:stream=codec_type -of default=nw=1 '" + m_dir +
                        "/one/sample'\\''s demo.mp4' > '" + m_dir + "/probe.txt'"),
              0);
    const std::string probe = readFile("probe.txt");
    EXPECT_NE(probe.find("codec_type=video"), std::string::npos) << probe;
    EXPECT_NE(probe.find("codec_type=audio"), std::string::npos) << probe;
    const size_t at = probe.find("duration=");
    ASSERT_NE(at, std::string::npos) << probe;
    EXPECT_NEAR(std::stod(probe.substr(at + 9)), 6.0, 0.1) << probe;
}

} // namespace
