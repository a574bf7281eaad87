// Demo scripts: what the reader takes and refuses, the start times derived from the scenes' music
// with their messages, and playback on the null driver: part switches, extras and fades at their
// times, the end of the demo, and the timeline following the heard music (a driven clock).
#include "TaTestSupport.h"

#include "core/TaLog.h"
#include "demo/TaDemo.h"
#include "engine/TaEngine.h"
#include "engine/TaInput.h"
#include "scene/TaObjects.h"
#include "scene/TaSceneManager.h"
#include "scene/TaScenes.h"

#include <memory>
#include <string>

namespace {

std::string lastError()
{
    int code = 0;
    const char* text = taGetLastError(&code);
    return text ? text : "";
}

class TaDemoTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        taDisableMessageBoxes();
        m_demo.reset(new STaDemo());
    }
    int parse(const std::string& script)
    {
        writeFile("a.demo.ini", script);
        taClearLastError();
        return taDemoParse(m_demo.get(), "a.demo.ini");
    }
    std::unique_ptr<STaDemo> m_demo;
};

TEST_F(TaDemoTest, ReaderTakesPartsInOrderAndRefusesWhatDoesNotFit)
{
    ASSERT_EQ(parse("[setup]\nmusicdirectory = m\n[intro_part]\ntime = 0x10\nfilename = a.tscn\n"
                    "palette.g = 7\npalette.b = 9\ncamerarange = 1 50\n"
                    "fader.0.time = 5\nfader.0.fadein = 0\nfader.1.time = 9\n"
                    "extra.2.directory = d\nextra.3.directory = e\nextra.3.filename = e.tscn\n"
                    "[Part2]\ntimereset = 1\ntime = 010\n"),
              0);
    const STaDemo& d = *m_demo;
    ASSERT_EQ(d.partCount, 2);
    EXPECT_STREQ(d.musicDirectory, "m");
    EXPECT_STREQ(d.parts[0].name, "intro_part");
    EXPECT_STREQ(d.parts[1].name, "part2"); // the reader lower-cases section names
    EXPECT_EQ(d.parts[0].time, 16);
    EXPECT_EQ(d.parts[0].timeOffset, 16);
    EXPECT_EQ(d.parts[1].time, 8); // octal
    EXPECT_EQ(d.parts[1].timeOffset, 0);
    EXPECT_EQ(d.parts[0].paletteChannel, 1);
    EXPECT_EQ(d.parts[0].paletteChannelValue, 7);
    EXPECT_EQ(d.parts[0].cameraNear, 1.0f);
    EXPECT_EQ(d.parts[0].cameraFar, 50.0f);
    EXPECT_EQ(d.parts[1].cameraFar, 1000.0f);
    ASSERT_EQ(d.parts[0].faderCount, 2);
    EXPECT_EQ(d.parts[0].faders[0].fadeOut, 0); // a fadein key of 0 still fades in
    EXPECT_EQ(d.parts[0].faders[1].fadeOut, 1);
    EXPECT_EQ(d.parts[0].faders[1].length, 1000);
    ASSERT_EQ(d.parts[0].extraCount, 1); // extra 2 lacks its file name and takes no slot
    EXPECT_STREQ(d.parts[0].extras[0].filename, "e.tscn");

    // The limits: 15 extras, 10 shaders, 20 faders of the 20 numbers.
    std::string many = "[part]\n";
    for (int n = 0; n < 20; ++n) {
        const std::string k = std::to_string(n);
        many += "extra." + k + ".directory = d\nextra." + k + ".filename = f\nshader." + k + ".name = s" + k +
                "\nfader." + k + ".time = " + k + "\n";
    }
    ASSERT_EQ(parse(many), 0);
    EXPECT_EQ(m_demo->parts[0].extraCount, 15);
    EXPECT_EQ(m_demo->parts[0].shaderCount, 10);
    EXPECT_EQ(m_demo->parts[0].faderCount, 20);

    std::string tooMany;
    for (int i = 0; i < 65; ++i)
        tooMany += "[part" + std::to_string(i) + "]\ntime = " + std::to_string(i) + "\n";
    const struct {
        std::string script;
        const char* error;
    } refusals[] = {
        {"[setup]\nmusicdirectory = m\n", "No parts!"},
        {"[part1\ntime = 0\n", "Fail to parse ini"},
        {tooMany, "Too many parts: a demo has at most 64 (section 'part64')"},
        {"[part]\nfilename = " + std::string(200, 'x') + "\n", "Part part: filename is longer than 127 characters"},
    };
    for (const auto& r : refusals) {
        EXPECT_EQ(parse(r.script), -1) << r.error;
        EXPECT_NE(lastError().find(r.error), std::string::npos) << lastError();
    }
}

TEST_F(TaDemoTest, StartTimesFromTheScenesMusic)
{
    struct SScene {
        const char* music; // the scene's music file, or none
        int offset;
    };
    const struct {
        const char* what;
        std::string script;
        std::vector<SScene> scenes; // per part
        int expectedTime;           // of the last part, when it resolves
        const char* music;          // the last part's music afterwards
        const char* error;
    } cases[] = {
        {"time from the music before", "[part1]\ntime = 5000\nmusic = track.mp3\n[part2]\nfilename = s\n",
         {{nullptr, 0}, {"dir/track.wav", 12000}}, 17000, "", nullptr},
        {"the scene starts a new music", "[part1]\ntime = 0\nmusic = a.mp3\n[part2]\ntime = 900\nfilename = s\n",
         {{nullptr, 0}, {"b.ogg", 0}}, 900, "b.mp3", nullptr},
        {"no time but a music", "[part1]\nmusic = a.mp3\nfilename = s\n", {{"a.mp3", 0}}, 0, nullptr,
         "Part part1: no time, but music specified in the part, impossible to determine time begin of the part"},
        {"no time and no scene music", "[part1]\nfilename = s\n", {{nullptr, 0}}, 0, nullptr,
         "Part part1: no time, and no music specified in scene, impossible to determine time begin of the part"},
        {"no music before", "[part1]\ntime = 0\n[part2]\nfilename = s\n", {{nullptr, 0}, {"a.mp3", 10}}, 0, nullptr,
         "Part part2: when no time in part and a music in the scene, there must be a music before"},
        {"a reset on the way", "[part1]\ntime = 0\nmusic = a.mp3\n[part2]\ntime = 5\ntimereset = 1\n[part3]\nfilename = s\n",
         {{nullptr, 0}, {nullptr, 0}, {"a.mp3", 10}}, 0, nullptr,
         "Part part3: timereset no supported before a part that has a music within the scene"},
        {"another music", "[part1]\ntime = 0\nmusic = a.mp3\n[part2]\nfilename = s\n", {{nullptr, 0}, {"b.mp3", 10}}, 0,
         nullptr, "Part part2: when no time in part, the music in the scene must be the same than the previous music"},
        {"the same music with a time", "[part1]\ntime = 0\nmusic = a.mp3\n[part2]\ntime = 9\nfilename = s\n",
         {{nullptr, 0}, {"x/a.wav", 0}}, 0, nullptr,
         "Part part2: music within the scene, with a time in the part :the music must not be the same music than "
         "previous"},
        {"a new music not at its start", "[part1]\ntime = 0\n[part2]\ntime = 9\nfilename = s\n",
         {{nullptr, 0}, {"b.mp3", 300}}, 0, nullptr,
         "Part part2: music within the scene, with a time in the part :the music offset within the scene must be "
         "zero"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_EQ(parse(c.script), 0);
        STaDemo& d = *m_demo;
        const int result = taDemoResolveTimeline(&d, [&](const STaDemoPart& part, int* start) -> const char* {
            const SScene& s = c.scenes[size_t(&part - d.parts)];
            *start = s.offset;
            return s.music;
        });
        if (c.error) {
            EXPECT_EQ(result, -1);
            EXPECT_EQ(lastError(), c.error);
        } else {
            ASSERT_EQ(result, 0) << lastError();
            EXPECT_EQ(d.parts[d.partCount - 1].time, c.expectedTime);
            EXPECT_STREQ(d.parts[d.partCount - 1].music, c.music);
        }
    }
}

// A driven clock: the engine time and the heard position of music 5 (-1: it does not play).
struct SDrivenClock {
    int now = 0;
    int music = -1;
    STaDemoClock clock()
    {
        STaDemoClock c;
        c.now = [this] { return now; };
        c.musicPosition = [this](int id) { return id == 5 ? music : -1; };
        return c;
    }
};

TEST_F(TaDemoTest, LiveTimelineFollowsTheHeardMusic)
{
    ASSERT_EQ(parse("[part1]\ntime = 0\n[part2]\ntime = 1000\n[part3]\ntime = 2000\n[end_part]\ntime = 3000\n"), 0);
    STaDemo& d = *m_demo;
    for (int i = 0; i < d.partCount; ++i)
        d.parts[i].musicId = d.parts[i].sceneId = -1;
    d.parts[0].musicId = 5; // the first part starts the music
    SDrivenClock driven;
    const STaDemoClock clock = driven.clock();
    STaDemoState state;
    state.start = 100;
    const struct {
        const char* what;
        int now, music; // the engine clock and the heard music position
        int part;       // the current part afterwards
        int timeline;
    } frames[] = {
        {"before the music plays: the clock", 150, -1, 0, 50},
        {"the music decides, not the clock", 5000, 400, 0, 400},
        {"one frame past the switch", 5016, 1005, 1, 1005},
        // From part 2 on the part that started the music is not current: the clock runs on.
        {"the clock again", 2150, 1300, 2, 2050},
        {"end of the demo at the last part's time", 3200, 1300, 1, 3100},
    };
    for (const auto& f : frames) {
        SCOPED_TRACE(f.what);
        driven.now = f.now;
        driven.music = f.music;
        EXPECT_EQ(taDemoTimelineTime(&d, &state, -1, clock), f.timeline);
        taDemoStep(&d, &state, -1, clock);
        if (std::string(f.what).find("end") == std::string::npos) {
            EXPECT_EQ(state.part, f.part);
        }
    }
    EXPECT_EQ(state.ended, 1);
    EXPECT_EQ(state.part, 2);

    // Seeking and pausing the music: a part that follows the music (its own music) switches on the
    // frame the heard position reaches the next part's time, not before.
    STaDemoState again;
    for (int i = 0; i < d.partCount; ++i)
        d.parts[i].musicId = 5;
    driven.now = 0;
    const struct {
        int music, part;
    } heard[] = {{0, 0}, {990, 0}, {2010, 1} /* a seek over two parts: one switch per frame */, {2010, 2},
                 {2010, 2} /* paused: nothing moves */};
    int expectedPart = -1;
    for (const auto& h : heard) {
        driven.music = h.music;
        taDemoStep(&d, &again, -1, clock);
        EXPECT_EQ(again.part, h.part) << h.music;
        expectedPart = again.part;
    }
    EXPECT_EQ(expectedPart, 2);
    EXPECT_EQ(again.ended, 0);
    driven.music = 2999;
    taDemoStep(&d, &again, -1, clock);
    EXPECT_EQ(again.ended, 0);
    driven.music = 3000;
    taDemoStep(&d, &again, -1, clock);
    EXPECT_EQ(again.ended, 1);
}

// A demo of two parts over real scenes on the null driver, with an extra scene and fades.
TEST_F(TaDemoTest, PartsExtrasAndFadesAtTheirTimes)
{
    writeFile("quad.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n");
    const std::string scene = "{ Scene\n  { SceneInfo\n    frameStart I4 0\n    frameEnd I4 100\n"
                              "    frameStep I4 10\n    framesPerSecond FP 10\n  }\n  { Cameras\n    { Camera\n    }\n  }\n"
                              "  { Objects\n    { Q\n      name STR Q\n      xfilename STR ../quad.obj\n"
                              "      position FP_C [\n        DAT 2 0 10\n        RUN 2 0\n        RUN 2 0\n"
                              "      ]\n    }\n  }\n}\n";
    writeFile("a/a.tscn", scene);
    writeFile("b/b.tscn", scene);
    writeFile("x/x.tscn", scene);
    writeFile("d.demo.ini", "[part1]\ntime = 0\ndirectory = a\nfilename = a.tscn\n"
                            "fader.0.time = 0\nfader.0.length = 500\nfader.0.fadein = 1\n"
                            "fader.1.time = 300\nfader.1.length = 900\n"
                            "[part2]\ntime = 1000\ndirectory = b\nfilename = b.tscn\nflushobjects = 0\n"
                            "extra.0.directory = x\nextra.0.filename = x.tscn\nextra.0.time = 1200\n"
                            "extra.0.length = 300\n"
                            "[end_part]\ntime = 2000\n");
    taRegisterSceneTable();
    ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL, m_dir + "/")), 0);
    STaDemoIdCounters counters;
    ASSERT_EQ(taDemoLoad(m_demo.get(), "d.demo.ini", &counters), 0) << lastError();
    STaDemo& d = *m_demo;
    // Scenes got consecutive IDs: a (scene 0, object 1), b (scene 1, object 2), the extra (scene 2, object 3).
    EXPECT_EQ(d.parts[0].sceneId, 0);
    EXPECT_EQ(d.parts[1].sceneId, 1);
    EXPECT_EQ(d.parts[1].extras[0].sceneId, 2);
    EXPECT_EQ(d.parts[1].objectBase, 2);
    EXPECT_EQ(counters.object, 4);
    EXPECT_EQ(counters.scene, 3);

    STaDemoClock clock = taDemoEngineClock();
    STaDemoState state;
    const struct {
        int t;
        int part;
        bool first, second, extra; // objects shown (a parked extra is shown, out of sight)
        bool fading;
    } frames[] = {
        {0, 0, true, false, false, true},   {400, 0, true, false, false, true}, {999, 0, true, false, false, true},
        {1000, 1, false, true, true, true}, {1250, 1, false, true, true, true}, {1600, 1, false, true, true, true},
    };
    for (const auto& f : frames) {
        SCOPED_TRACE(f.t);
        taDemoStep(&d, &state, f.t, clock);
        if (f.t == 1000) {
            EXPECT_LT(taGetObject(3)->getPosition().Z, -1000.0f); // parked until its window
        }
        if (f.t == 1250) {
            EXPECT_NEAR(taGetObject(3)->getPosition().X, 0.5f, 1e-3f); // 50 ms into the extra
        }
        EXPECT_EQ(state.part, f.part);
        EXPECT_EQ(ObjectVisible(1), f.first);
        EXPECT_EQ(ObjectVisible(2), f.second);
        EXPECT_EQ(ObjectVisible(3), f.extra);
        EXPECT_EQ(taEngine().fader != nullptr, f.fading);
    }
    // The first fade gave way when the second started (the engine has one fader); the second was still
    // on when its part was left, and stays.
    EXPECT_EQ(d.parts[0].faders[0].finished, 1);
    EXPECT_EQ(d.parts[0].faders[1].active, 1);
    // The part's scene is animated to its own time: 0.6 s into part 2 is 6 frames of a 10-frame track.
    irr::core::vector3df p = taGetObject(2)->getPosition();
    EXPECT_NEAR(p.X, 6.0f, 1e-3f);
    // The extra ran 1200 to 1500: parked afterwards, far out of sight.
    EXPECT_LT(taGetObject(3)->getPosition().Z, -1000.0f);
    taDemoStep(&d, &state, 2000, clock);
    EXPECT_EQ(state.ended, 1);
    taDemoFree(&d);
    EXPECT_FALSE(SceneExist(0));
    EXPECT_FALSE(SceneExist(2));
    EXPECT_FALSE(ObjectExist(1));
    taShutdown();
}

TEST(TaDemoFrameNameTest, NamesAreNumberedAndBounded)
{
    EXPECT_EQ(taDemoFrameName("cap/name", 0), "cap/name_000000.bmp");
    EXPECT_EQ(taDemoFrameName("cap/name", 41), "cap/name_000041.bmp");
    EXPECT_EQ(taDemoFrameName("n", 1234567), "n_1234567.bmp");
    EXPECT_EQ(taDemoFrameName(std::string(300, 'x'), 1), "");
}

} // namespace

namespace {

TEST(TaDemoVideoTest, FfmpegCommandQuotesNamesAndPlacesTheMusic)
{
    EXPECT_EQ(taDemoVideoCommand("out/it's.mp4", 640, 360, 30.0f, "/m/a b.mp3", 2500),
              "ffmpeg -y -loglevel error -f rawvideo -pix_fmt rgb24 -s 640x360 -r 30 -i - -itsoffset 2.500 -i "
              "'/m/a b.mp3' -map 0:v -map 1:a -c:a aac -b:a 192k -c:v libx264 -preset veryfast -crf 18 -pix_fmt "
              "yuv420p -shortest 'out/it'\\''s.mp4'");
    EXPECT_EQ(taDemoVideoCommand("v.mp4", 8, 6, 12.5f, nullptr, 0),
              "ffmpeg -y -loglevel error -f rawvideo -pix_fmt rgb24 -s 8x6 -r 12.5 -i - -c:v libx264 -preset veryfast "
              "-crf 18 -pix_fmt yuv420p -shortest 'v.mp4'");
}

} // namespace

namespace {

// tarv -check on a copy of the sample demo: clean, then with a missing texture, a shader with a
// syntax error and a missing music file.
TEST_F(TaDemoTest, CheckListsEveryProblemOfADemo)
{
    const std::string samples = std::string(TARV_SOURCE_DIR) + "/samples";
    taTestRun("cp -r '" + samples + "/city' '" + samples + "/demo' '" + m_dir + "/' && mkdir -p demo/music && cp '" +
              TARV_TEST_MUSIC_DIR + "/beat.mp3' demo/music/");
    const std::string check = std::string(TARV_EXECUTABLE) + " -check demo/sample.demo.ini > out.txt 2> err.txt";
    EXPECT_EQ(taTestRun(check), 0) << readFile("out.txt");
    EXPECT_NE(readFile("out.txt").find("demo/sample.demo.ini: 0 problems"), std::string::npos) << readFile("out.txt");

    taTestRun("rm city/Images/pavement.png");
    writeFile("city/broken.hlsl", "/*\n[TARV_BEGIN]\n[TARV_END]\n*/\n"
                                  "float4 vs_main(float4 p : POSITION) : POSITION { return p; }\n"
                                  "float4 ps_main() : COLOR0 { return 1 +; }\n");
    std::string scene = readFile("city/city.tscn");
    const std::string asphalt = "name STR Asphalt";
    scene.replace(scene.find(asphalt), asphalt.size(),
                  asphalt + "\n          { Shader\n            { Effect\n              filename STR broken.hlsl\n"
                            "            }\n          }");
    writeFile("city/city.tscn", scene);
    std::string script = readFile("demo/sample.demo.ini");
    script.replace(script.find("beat.mp3"), 8, "nothere.mp3");
    writeFile("demo/sample.demo.ini", script);
    EXPECT_EQ(taTestRun(check), 255);
    const std::string out = readFile("out.txt");
    for (const char* said : {"missing texture 'Images/pavement.png' (scene city/city.tscn, surface Pavement)",
                             "broken.hlsl:6:", "missing music 'music/nothere.mp3' (part part1)"})
        EXPECT_NE(out.find(said), std::string::npos) << said << "\n" << out;
}

} // namespace

namespace {

// Escape cancels a demo's loading without a message, and ends a live demo at the next frame.
TEST_F(TaDemoTest, EscapeCancelsLoadingAndEndsPlayback)
{
    writeFile("quad.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n");
    writeFile("s.tscn", "{ Scene\n  { Cameras\n    { Camera\n    }\n  }\n  { Objects\n    { Q\n      name STR Q\n"
                        "      xfilename STR quad.obj\n    }\n  }\n}\n");
    writeFile("d.demo.ini", "[part1]\ntime = 0\nfilename = s.tscn\n[end_part]\ntime = 100000\n");
    taRegisterSceneTable();
    ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL, m_dir + "/")), 0);
    irr::SEvent escape{};
    escape.EventType = irr::EET_KEY_INPUT_EVENT;
    escape.KeyInput.Key = irr::KEY_ESCAPE;
    escape.KeyInput.PressedDown = true;
    taGetEventReceiver().OnEvent(escape);
    STaDemoIdCounters counters;
    taClearLastError();
    EXPECT_EQ(taDemoLoad(m_demo.get(), "d.demo.ini", &counters), -1);
    EXPECT_EQ(lastError().find("Fail to load scene"), std::string::npos) << lastError();
    // The cancelled scene's slot is known to the demo, so freeing it leaves nothing behind.
    EXPECT_EQ(m_demo->parts[0].sceneId, 0);
    taDemoFree(m_demo.get());
    EXPECT_FALSE(SceneExist(0));
    // A live run with Escape down returns at once, though the demo would last 100 s.
    EXPECT_EQ(taDemoRunLive(m_demo.get()), 0);
    taShutdown();
}

} // namespace
