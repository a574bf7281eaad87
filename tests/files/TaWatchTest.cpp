// File and folder watches on temporary folders. Results are awaited by polling with a generous
// time-out, never by a fixed sleep.
#include "files/TaWatch.h"

#include "core/TaLog.h"
#include "platform/TaPlatform.h"

#include "TaTestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

namespace {

class TaWatchTest : public TaScratchTest
{
protected:
    void TearDown() override
    {
        taFreeWatches();
        TaScratchTest::TearDown();
    }

    // Polls until `done` holds or five seconds pass.
    static bool waitFor(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < deadline) {
            if (done())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return done();
    }

    // Lets the file clock move on, so that what was written so far is older than what follows.
    static void letTheClockTick()
    {
        const int64_t start = taPlatformFileClockNs();
        waitFor([&] { return taPlatformFileClockNs() > start; });
    }

    std::vector<std::string> changesOf(int id)
    {
        const char* const* paths = nullptr;
        int count = taGetFolderWatchChanges(id, &paths);
        std::vector<std::string> out;
        for (int i = 0; i < count; ++i)
            out.push_back(std::string(paths[i]).substr(m_dir.size() + 1));
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST_F(TaWatchTest, FileWatchSeesEveryKindOfSaveButNotItsNeighbours)
{
    writeFile("scene/city.tscn", "version 1");
    writeFile("scene/other.txt", "x");
    writeFile("scene/template.tscn", "version 2");
    taFileWatchCreate("scene/city.tscn", 0);
    taFileWatchCreate("scene/other.txt", 1);

    struct { const char* what; const char* command; bool changes; } cases[] = {
        {"a neighbour rewritten", "echo y > scene/other.txt", false},
        {"rewritten in place", "echo 'version 3' > scene/city.tscn", true},
        {"renamed over", "echo 'version 4' > scene/new.tmp && mv scene/new.tmp scene/city.tscn", true},
        {"copied over keeping the time and size", "echo 'version 5' > scene/old.tmp && touch -r scene/city.tscn "
                                                   "scene/old.tmp && cp -p scene/old.tmp scene/city.tscn", true},
        {"deleted", "rm scene/city.tscn", true},
    };
    for (const auto& c : cases) {
        taFileWatchReset(0);
        EXPECT_EQ(taFileWatchChanged(0), 0) << c.what;
        ASSERT_EQ(taTestRun(c.command), 0) << c.what;
        if (c.changes) {
            EXPECT_TRUE(waitFor([] { return taFileWatchChanged(0) == 1; })) << c.what;
            EXPECT_EQ(taFileWatchChanged(0), 1) << "latched: " << c.what;
        } else {
            // A second watch on the neighbour tells when the event has arrived; the first one's
            // directory flag rises with it, and the watch must look at its file and answer no.
            EXPECT_TRUE(waitFor([] { return taFileWatchChanged(1) == 1; })) << c.what;
            EXPECT_EQ(taFileWatchChanged(0), 0) << c.what;
        }
    }
}

TEST_F(TaWatchTest, WaitReadable)
{
    writeFile("scene/city.tscn", "done");
    taFileWatchCreate("scene/city.tscn", 3);
    EXPECT_EQ(taFileWatchWaitReadable(3, 2000), 0);

    // An exporter still writing: the size keeps moving, so the wait gives up.
    std::atomic<bool> writing{true};
    std::thread exporter([&] {
        FILE* file = fopen((m_dir + "/scene/city.tscn").c_str(), "ab");
        while (writing.load()) {
            fputs("more data\n", file);
            fflush(file);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        fclose(file);
    });
    EXPECT_EQ(taFileWatchWaitReadable(3, 300), -1);
    writing = false;
    exporter.join();
    EXPECT_EQ(taFileWatchWaitReadable(3, 2000), 0);

    ASSERT_EQ(taTestRun("rm scene/city.tscn"), 0);
    EXPECT_EQ(taFileWatchWaitReadable(3, 120), -1);
}

TEST_F(TaWatchTest, FolderWatchListsTwoLevelsAndFollowsNewSubfolders)
{
    writeFile("shaders/a.hlsl", "a");
    writeFile("shaders/one/two/b.hlsl", "b");
    writeFile("shaders/one/two/three/c.hlsl", "c");
    letTheClockTick();
    taFolderWatchCreate("shaders", 1);
    EXPECT_EQ(taFolderWatchChanged(1), 0);
    EXPECT_EQ(taGetFolderWatchChanges(1, nullptr), 0);

    // Three levels below: the flag rises but the walk does not go that deep.
    ASSERT_EQ(taTestRun("echo c2 > shaders/one/two/three/c.hlsl"), 0);
    EXPECT_TRUE(waitFor([] { return taFolderWatchChanged(1) == 1; }));
    EXPECT_EQ(changesOf(1), std::vector<std::string>{});
    taFolderWatchReset(1);

    letTheClockTick();
    ASSERT_EQ(taTestRun("echo b2 > shaders/one/two/b.hlsl"), 0);
    EXPECT_TRUE(waitFor([] { return taFolderWatchChanged(1) == 1; }));
    // Listing in a later clock tick than the save, so that the next reset leaves it behind.
    letTheClockTick();
    EXPECT_EQ(changesOf(1), std::vector<std::string>{"shaders/one/two/b.hlsl"});
    taFolderWatchReset(1);
    EXPECT_EQ(taFolderWatchChanged(1), 0);

    // A subfolder made after the watch began is watched too.
    ASSERT_EQ(taTestRun("mkdir -p shaders/new"), 0);
    EXPECT_TRUE(waitFor([] { return taFolderWatchChanged(1) == 1; }));
    taFolderWatchReset(1);
    letTheClockTick();
    ASSERT_EQ(taTestRun("echo d > shaders/new/d.hlsl"), 0);
    EXPECT_TRUE(waitFor([] { return taFolderWatchChanged(1) == 1; }));
    EXPECT_EQ(changesOf(1), std::vector<std::string>{"shaders/new/d.hlsl"});
    taFolderWatchReset(1);
    ASSERT_EQ(taTestRun("echo d2 > shaders/new/d.hlsl"), 0);
    EXPECT_TRUE(waitFor([] { return taFolderWatchChanged(1) == 1; }));
}

TEST_F(TaWatchTest, AtMostTenChangesAreListed)
{
    ASSERT_EQ(taTestRun("mkdir shaders"), 0);
    taFolderWatchCreate("shaders", 2);
    ASSERT_EQ(taTestRun("for i in 00 01 02 03 04 05 06 07 08 09 10 11; do echo $i > shaders/s$i.hlsl; done"), 0);
    EXPECT_TRUE(waitFor([] { return taFolderWatchChanged(2) == 1; }));
    TaLogCapture log;
    std::vector<std::string> changes = changesOf(2);
    ASSERT_EQ(changes.size(), 10u);
    // The walk goes in name order, so the first ten are the ones listed.
    EXPECT_EQ(changes.front(), "shaders/s00.hlsl");
    EXPECT_EQ(changes.back(), "shaders/s09.hlsl");
    EXPECT_TRUE(log.contains("WARN : taGetFolderWatchChanges too much changes\n"));
}

TEST_F(TaWatchTest, ChangeBetweenListingAndResetIsNotLost)
{
    ASSERT_EQ(taTestRun("mkdir shaders && echo a > shaders/a.hlsl"), 0);
    letTheClockTick();
    taFolderWatchCreate("shaders", 4);
    ASSERT_EQ(taTestRun("echo a2 > shaders/a.hlsl"), 0);
    EXPECT_TRUE(waitFor([] { return taFolderWatchChanged(4) == 1; }));
    EXPECT_EQ(changesOf(4), std::vector<std::string>{"shaders/a.hlsl"});
    // Saved while the viewer was reloading what it had listed.
    ASSERT_EQ(taTestRun("echo b > shaders/b.hlsl"), 0);
    EXPECT_TRUE(waitFor([&] { return taPlatformPathKind((m_dir + "/shaders/b.hlsl").c_str()) == ETAPATH_FILE; }));
    taFolderWatchReset(4);
    EXPECT_TRUE(waitFor([] { return taFolderWatchChanged(4) == 1; }));
    std::vector<std::string> again = changesOf(4);
    EXPECT_NE(std::find(again.begin(), again.end(), "shaders/b.hlsl"), again.end());
}

TEST_F(TaWatchTest, MissingFolderIsReportedAndStaysQuiet)
{
    TaLogCapture log;
    taFolderWatchCreate("no-such-folder", 5);
    ASSERT_FALSE(log.boxes.empty());
    EXPECT_EQ(log.titles.back(), "File Operation Problem");
    EXPECT_NE(log.boxes.back().find("Cannot create change notification handle\nFile: '"), std::string::npos);
    EXPECT_NE(log.boxes.back().find("no-such-folder'\nSystem reports: No such file or directory"), std::string::npos);
    EXPECT_EQ(taFolderWatchChanged(5), 0);
    EXPECT_EQ(taGetFolderWatchChanges(5, nullptr), 0);
    taFolderWatchReset(5);

    taFileWatchCreate("no-such-folder/scene.tscn", 5);
    EXPECT_EQ(taFileWatchChanged(5), 0);
    EXPECT_EQ(taFileWatchWaitReadable(5, 60), -1);
}

TEST_F(TaWatchTest, IdsOutOfRangeOrMissing)
{
    TaLogCapture log;
    int code = 0;
    struct { std::function<void()> call; const char* message; int code; } cases[] = {
        {[] { taFileWatchCreate(".", -1); }, "WARN : invalid FileWatch ID -1 : invalid negative ID -1", 2},
        {[] { taFolderWatchCreate(".", 100); }, "invalid FileWatch ID 100 : invalid ID 100 greater or equals than 100", 2},
        {[] { taFileWatchChanged(7); }, "ERROR : FileWatch ID 7 does not exist. id 7 does not exist", 1},
        {[] { taFileWatchReset(100); }, "FileWatch ID 100 does not exist. invalid ID 100 greater or equals than 100", 1},
        {[] { taFileWatchWaitReadable(-3, 10); }, "FileWatch ID -3 does not exist. invalid negative ID -3", 1},
        {[] { taFolderWatchChanged(8); }, "FolderWatch ID 8 does not exist. id 8 does not exist", 1},
        {[] { taGetFolderWatchChanges(9, nullptr); }, "FolderWatch ID 9 does not exist. id 9 does not exist", 1},
        {[] { taFolderWatchReset(-1); }, "FolderWatch ID -1 does not exist. invalid negative ID -1", 1},
    };
    for (const auto& c : cases) {
        taClearLastError();
        c.call();
        EXPECT_TRUE(log.contains(c.message)) << c.message;
        EXPECT_NE(taGetLastError(&code), nullptr) << c.message;
        EXPECT_EQ(code, c.code) << c.message;
    }
    taFolderWatchCreate(".", 6);
    taFolderWatchCreate(".", 6);
    EXPECT_TRUE(log.contains("invalid FileWatch ID 6 : id 6 already exist"));
}

// Every watch has a worker of its own; the system caps the notification instances of a user (128 by
// default), so some of 200 watches may be refused: each refusal must be reported, never crash or
// leak.
TEST_F(TaWatchTest, StartAndStopAHundredWatchesRepeatedly)
{
    TaLogCapture log;
    ASSERT_EQ(taTestRun("mkdir -p a/b"), 0);
    for (int round = 0; round < 5; ++round) {
        for (int id = 0; id < TA_WATCH_CAPACITY; ++id) {
            taFolderWatchCreate("a", id);
            taFileWatchCreate("a/b/x.txt", id);
        }
        ASSERT_EQ(taTestRun(round % 2 ? "echo x > a/b/x.txt" : "touch a/b/y.txt"), 0);
        for (int id = 0; id < TA_WATCH_CAPACITY; id += 2) {
            taFolderWatchDelete(id);
            taFileWatchDelete(id);
        }
        taFreeWatches();
    }
    for (const auto& box : log.boxes)
        EXPECT_EQ(box.find("Cannot create change notification handle"), 0u) << box;
}

} // namespace
