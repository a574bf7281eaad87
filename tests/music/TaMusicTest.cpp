// Music: the table and its messages, the playback states, the position clock, and what the capture
// output actually played. Waits poll with a generous time-out; nothing sleeps a fixed time.
#include "music/TaMusic.h"

#include "core/TaLog.h"
#include "files/TaFile.h"
#include "music/TaAudioMixer.h"
#include "music/TaMp3Player.h"
#include "platform/TaPlatform.h"

#include "TaTestSupport.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <functional>
#include <thread>

namespace {

const std::string kMusicDir = TARV_TEST_MUSIC_DIR;
const std::string kTune48 = kMusicDir + "/tune48.mp3";
const std::string kTune44 = kMusicDir + "/tune44.mp3";
const std::string kMono22 = kMusicDir + "/mono22.mp3";

bool waitFor(const std::function<bool()>& done, int seconds = 10)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

// Waits until the mixer's clock has moved on by `ms`.
void letTimePass(int ms)
{
    CTaAudioMixer* mixer = taGetAudioMixer();
    const double start = mixer->heardFrame();
    waitFor([&] { return mixer->heardFrame() >= start + ms * mixer->rate() / 1000.0; });
}

class TaMusicTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taPlatformPathKind(kTune48.c_str()), ETAPATH_FILE) << "test music missing: " << kTune48;
    }
    void TearDown() override
    {
        taFreeMusicTable();
        TaScratchTest::TearDown();
    }
};

TEST(TaMusicVolumeTest, FastApproximationsAndTheVolumeTable)
{
    EXPECT_NEAR(2000.0f * taFastLog10(0.5f), -602.06f, 0.01f);
    EXPECT_NEAR(taFastLog10(1.0f), 0.0f, 1e-6f);
    EXPECT_NEAR(taFastPow10(0.0f), 1.0f, 1e-6f);
    EXPECT_NEAR(taFastPow10(-0.30103f), 0.5f, 0.001f);
    // Within a few percent of the real functions over the range volumes use (the quadratic
    // approximations are off by up to 3 % between powers of two).
    for (float y = 0.01f; y <= 1.0f; y += 0.01f)
        EXPECT_NEAR(taFastLog10(y), std::log10(y), 0.005f) << y;
    for (float x = -5.0f; x <= 0.0f; x += 0.05f)
        EXPECT_NEAR(taFastPow10(x) / std::pow(10.0f, x), 1.0f, 0.035f) << x;
}

TEST_F(TaMusicTest, VolumeRoundTrip)
{
    ASSERT_EQ(taCreateMusicTable("null"), 0);
    ASSERT_EQ(LoadMusic(kTune44.c_str(), 0), 0);
    // The approximations and the truncation make small volumes read back a step lower.
    struct { int percent; int back; } cases[] = {{100, 100}, {50, 50}, {0, 0}, {-20, 0}, {150, 100}, {10, 9}, {1, 0}};
    for (const auto& c : cases) {
        ASSERT_EQ(SetMusicVolume(0, c.percent), 0);
        EXPECT_EQ(MusicVolume(0), c.back) << c.percent;
    }
}

TEST_F(TaMusicTest, IdsAndLoadFailures)
{
    ASSERT_EQ(taCreateMusicTable("null"), 0);
    writeFile("not.mp3", std::string(5000, 'x'));
    TaLogCapture log;
    int code = 0;
    ASSERT_EQ(LoadMusic(kTune44.c_str(), 3), 0);
    EXPECT_EQ(MusicExist(3), 1);
    const std::vector<float> first = [] {
        CTaMp3Player probe(nullptr);
        STaFileBlock bytes = taReadWholeFile(kTune44.c_str());
        probe.loadFromMemory(bytes.data.get(), bytes.size);
        return probe.decodeAll();
    }();
    ASSERT_FALSE(first.empty());

    struct { std::function<int()> call; int result; const char* message; int code; } cases[] = {
        {[] { return LoadMusic(kTune48.c_str(), 3); }, -1, "WARN : invalid Music ID 3 : id 3 already exist", 2},
        {[] { return LoadMusic(kTune48.c_str(), -1); }, -1, "invalid Music ID -1 : invalid negative ID -1", 2},
        {[] { return LoadMusic(kTune48.c_str(), 50); }, -1, "invalid Music ID 50 : invalid ID 50 greater or equals than 50", 2},
        {[] { return LoadMusic("not.mp3", 4); }, -1,
         "ERROR : Failed to load mp3\n'not.mp3' is not MP3 audio the decoder can read", -1},
        {[] { return LoadMusic("missing.mp3", 5); }, -1, "ERROR : Failed to load mp3\ncannot open 'missing.mp3'", -1},
        {[] { return PlayMusic(7); }, -1, "ERROR : Music ID 7 does not exist. id 7 does not exist", 1},
        {[] { return StopMusic(49); }, -1, "Music ID 49 does not exist. id 49 does not exist", 1},
        {[] { return PauseMusic(-2); }, -1, "Music ID -2 does not exist. invalid negative ID -2", 1},
        {[] { return ResumeMusic(60); }, -1, "Music ID 60 does not exist. invalid ID 60 greater or equals than 50", 1},
        {[] { return SetMusicPosition(4, 10); }, -1, "Music ID 4 does not exist", 1},
        {[] { return GetMusicPosition(5); }, -1, "Music ID 5 does not exist", 1},
        {[] { return SetMusicVolume(6, 50); }, -1, "Music ID 6 does not exist", 1},
        {[] { return MusicVolume(6); }, 0, "Music ID 6 does not exist", 1},
    };
    for (const auto& c : cases) {
        taClearLastError();
        EXPECT_EQ(c.call(), c.result) << c.message;
        EXPECT_TRUE(log.contains(c.message)) << c.message;
        EXPECT_NE(taGetLastError(&code), nullptr) << c.message;
        EXPECT_EQ(code, c.code) << c.message;
    }
    // The decoder's own complaint goes through the log too (so a script's silence holds for it).
    EXPECT_TRUE(log.contains("ERROR : Failed to decode mp3 - ")) << "not in the log";
    // Failed loads released their IDs; the first music is untouched.
    EXPECT_EQ(MusicExist(4), 0);
    EXPECT_EQ(MusicExist(5), 0);
    ASSERT_EQ(LoadMusic(kTune48.c_str(), 4), 0);
    ASSERT_EQ(PlayMusic(3), 0);
    EXPECT_TRUE(waitFor([] { return GetMusicPosition(3) > 50; }));
    // Deleting is silent for a missing ID.
    log.lines.clear();
    EXPECT_EQ(DeleteMusic(8), -1);
    EXPECT_TRUE(log.lines.empty());
    EXPECT_EQ(DeleteMusic(3), 0);
    EXPECT_EQ(MusicExist(3), 0);
}

TEST_F(TaMusicTest, PlayPauseResumeStopAndSeek)
{
    ASSERT_EQ(taCreateMusicTable("null"), 0);
    ASSERT_EQ(LoadMusic(kTune48.c_str(), 1), 0);
    EXPECT_EQ(GetMusicPosition(1), 0);
    ASSERT_EQ(PlayMusic(1), 0);
    ASSERT_TRUE(waitFor([] { return GetMusicPosition(1) >= 300; }));

    // Pause freezes the position.
    ASSERT_EQ(PauseMusic(1), 0);
    const int paused = GetMusicPosition(1);
    letTimePass(80);
    EXPECT_EQ(GetMusicPosition(1), paused);

    // Resume continues from it, never below it.
    ASSERT_EQ(ResumeMusic(1), 0);
    EXPECT_GE(GetMusicPosition(1), paused);
    EXPECT_LE(GetMusicPosition(1), paused + 40);
    ASSERT_TRUE(waitFor([&] { return GetMusicPosition(1) >= paused + 100; }));

    // Play after pause starts from the beginning.
    ASSERT_EQ(PauseMusic(1), 0);
    ASSERT_EQ(PlayMusic(1), 0);
    EXPECT_LT(GetMusicPosition(1), 40);

    // A seek reports its target at once, playing or not.
    ASSERT_EQ(SetMusicPosition(1, 1500), 0);
    EXPECT_EQ(GetMusicPosition(1), 1500);
    ASSERT_TRUE(waitFor([] { return GetMusicPosition(1) >= 1600; }));

    // Stop returns to 0.
    ASSERT_EQ(StopMusic(1), 0);
    EXPECT_EQ(GetMusicPosition(1), 0);
    letTimePass(30);
    EXPECT_EQ(GetMusicPosition(1), 0);
    ASSERT_EQ(SetMusicPosition(1, 2500), 0);
    EXPECT_EQ(GetMusicPosition(1), 2500);
    // Beyond the end: clamped to the length.
    ASSERT_EQ(SetMusicPosition(1, 999999), 0);
    EXPECT_LE(GetMusicPosition(1), 4100);
}

// While playing, the position advances every millisecond, never goes backwards and keeps the
// mixer's time.
TEST_F(TaMusicTest, PositionIsSmoothAndMonotonic)
{
    ASSERT_EQ(taCreateMusicTable("null"), 0);
    ASSERT_EQ(LoadMusic(kTune44.c_str(), 0), 0);
    ASSERT_EQ(PlayMusic(0), 0);
    const auto start = std::chrono::steady_clock::now();
    int last = GetMusicPosition(0);
    int changes = 0, reads = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(400)) {
        const int now = GetMusicPosition(0);
        ASSERT_GE(now, last);
        changes += now != last;
        last = now;
        ++reads;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
    const double elapsed = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    // Resampled (44.1 kHz on a 48 kHz mixer), still in real time.
    EXPECT_NEAR(last, elapsed, 60.0);
    EXPECT_GT(changes, reads / 4);
}

struct STaWavFrames {
    std::vector<float> samples; // interleaved stereo
    size_t frames() const { return samples.size() / 2; }
};

STaWavFrames readFloatWav(const std::string& path)
{
    STaWavFrames wav;
    STaFileBlock block = taReadWholeFile(path.c_str());
    if (!block.data || block.size < 44 || memcmp(block.data.get(), "RIFF", 4) != 0)
        return wav;
    wav.samples.resize((block.size - 44) / sizeof(float));
    memcpy(wav.samples.data(), block.data.get() + 44, wav.samples.size() * sizeof(float));
    return wav;
}

// Frames of `a` from `ai` equal to frames of `b` from `bi`, counted until the first difference.
size_t sameRun(const std::vector<float>& a, size_t ai, const std::vector<float>& b, size_t bi)
{
    size_t n = 0;
    while ((ai + n) * 2 + 1 < a.size() && (bi + n) * 2 + 1 < b.size() && a[(ai + n) * 2] == b[(bi + n) * 2] &&
           a[(ai + n) * 2 + 1] == b[(bi + n) * 2 + 1])
        ++n;
    return n;
}

size_t silentFrom(const std::vector<float>& a, size_t i)
{
    while (i * 2 + 1 < a.size() && a[i * 2] == 0.0f && a[i * 2 + 1] == 0.0f)
        ++i;
    return i;
}

// Play, seek to 1500 ms, pause, resume, stop: the captured stream is the decoder's own samples,
// piece by piece, at exactly the frames those operations asked for.
TEST_F(TaMusicTest, CaptureHoldsTheDecodedSamplesAtTheExpectedFrames)
{
    ASSERT_EQ(taCreateMusicTable("wav:capture.wav"), 0);
    ASSERT_EQ(taGetAudioMixer()->rate(), 48000);
    ASSERT_EQ(LoadMusic(kTune48.c_str(), 2), 0);
    std::vector<float> decoded;
    {
        CTaMp3Player probe(nullptr);
        STaFileBlock bytes = taReadWholeFile(kTune48.c_str());
        ASSERT_EQ(probe.loadFromMemory(bytes.data.get(), bytes.size), 0);
        ASSERT_EQ(probe.rate(), 48000);
        decoded = probe.decodeAll();
        ASSERT_EQ(decoded.size(), size_t(probe.lengthFrames()) * 2);
    }
    letTimePass(20);
    ASSERT_EQ(PlayMusic(2), 0);
    ASSERT_TRUE(waitFor([] { return GetMusicPosition(2) >= 400; }));
    ASSERT_EQ(SetMusicPosition(2, 1500), 0);
    ASSERT_TRUE(waitFor([] { return GetMusicPosition(2) >= 1800; }));
    ASSERT_EQ(PauseMusic(2), 0);
    const int pausedMs = GetMusicPosition(2);
    letTimePass(100);
    ASSERT_EQ(ResumeMusic(2), 0);
    ASSERT_TRUE(waitFor([&] { return GetMusicPosition(2) >= pausedMs + 300; }));
    ASSERT_EQ(StopMusic(2), 0);
    letTimePass(50);
    taFreeMusicTable();

    const STaWavFrames capture = readFloatWav(m_dir + "/capture.wav");
    ASSERT_GT(capture.frames(), 48000u);
    const std::vector<float>& c = capture.samples;

    // 1. From the start of the music until the seek.
    const size_t start = silentFrom(c, 0);
    const size_t first = sameRun(c, start, decoded, 0);
    EXPECT_GE(first, 400u * 48);
    // 2. From 1500 ms (frame 72000) until the pause.
    const size_t second = sameRun(c, start + first, decoded, 72000);
    EXPECT_GE(second, 300u * 48);
    // 3. Silence while paused.
    const size_t resumed = silentFrom(c, start + first + second);
    EXPECT_GE(resumed - (start + first + second), 90u * 48);
    // 4. From the frame the pause froze, within the millisecond the position reported.
    size_t pauseFrame = 0, third = 0;
    for (size_t candidate = size_t(pausedMs) * 48; candidate < size_t(pausedMs + 1) * 48 + 1; ++candidate) {
        const size_t run = sameRun(c, resumed, decoded, candidate);
        if (run > third)
            third = run, pauseFrame = candidate;
    }
    EXPECT_GE(third, 300u * 48) << "resumed at no frame near " << pausedMs << " ms";
    EXPECT_LE(pauseFrame, 72000 + second);
    // 5. Silence after the stop, to the end of the capture.
    EXPECT_EQ(silentFrom(c, resumed + third), capture.frames());
}

TEST_F(TaMusicTest, FiftyMusicsAtOnceAndFreedWhilePlaying)
{
    ASSERT_EQ(taCreateMusicTable("null"), 0);
    for (int id = 0; id < TA_MUSIC_CAPACITY; ++id)
        ASSERT_EQ(LoadMusic(id % 2 ? kTune44.c_str() : kMono22.c_str(), id), 0) << id;
    for (int id = 0; id < TA_MUSIC_CAPACITY; ++id) {
        ASSERT_EQ(SetMusicVolume(id, 2), 0);
        ASSERT_EQ(PlayMusic(id), 0);
    }
    EXPECT_TRUE(waitFor([] { return GetMusicPosition(0) >= 100 && GetMusicPosition(49) >= 100; }));
    // Freed while all play: every player stops and goes, and no callback runs afterwards.
    taFreeMusicTable();
    EXPECT_EQ(taGetAudioMixer(), nullptr);
    EXPECT_EQ(MusicExist(0), 0);
}

TEST_F(TaMusicTest, UnknownOutputFailsToMakeTheTable)
{
    TaLogCapture log;
    EXPECT_EQ(taCreateMusicTable("wav:/no/such/dir/out.wav"), -1);
    EXPECT_TRUE(log.contains("fails to create music list"));
    EXPECT_TRUE(log.contains("cannot write the capture file '/no/such/dir/out.wav': No such file or directory"));
    EXPECT_EQ(taCreateMusicTable("speakers"), -1);
    // The default falls back to the null output when there is no sound device.
    EXPECT_EQ(taCreateMusicTable(nullptr), 0);
    ASSERT_NE(taGetAudioMixer(), nullptr);
}

} // namespace
