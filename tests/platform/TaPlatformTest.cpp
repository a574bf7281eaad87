// The operating-system layer: Windows-written paths against the disk, atomic writes, the isolated
// run's results, and the folder watcher's worker and problem queue.
#include "platform/TaFolderWatcher.h"
#include "platform/TaPlatform.h"

#include "TaTestSupport.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using TaPlatformTest = TaScratchTest;

TEST_F(TaPlatformTest, PathCaseResolution)
{
    writeFile("Shaders/Surf/Water.HLSL", "w");
    writeFile("twins/a.txt", "lower");
    writeFile("twins/A.TXT", "upper");
    struct { const char* what; const char* path; bool found; const char* resolved; } cases[] = {
        {"as written", "Shaders/Surf/Water.HLSL", true, "Shaders/Surf/Water.HLSL"},
        {"every component in another case", "shaders/SURF/water.hlsl", true, "Shaders/Surf/Water.HLSL"},
        {"several matches: the first in byte order", "twins/a.Txt", true, "twins/A.TXT"},
        {"an exact match wins", "twins/a.txt", true, "twins/a.txt"},
        {"a missing file", "shaders/surf/fire.hlsl", false, nullptr},
        {"a missing folder", "effects/water.hlsl", false, nullptr},
    };
    for (const auto& c : cases) {
        std::string resolved;
        EXPECT_EQ(taPlatformResolvePathCase(c.path, resolved), c.found) << c.what;
        if (c.found) {
            EXPECT_EQ(resolved, c.resolved) << c.what;
        }
    }
    // An absolute path resolves the same way below its existing part.
    std::string resolved;
    ASSERT_TRUE(taPlatformResolvePathCase(m_dir + "/SHADERS/surf/water.hlsl", resolved));
    EXPECT_EQ(resolved, m_dir + "/Shaders/Surf/Water.HLSL");
}

TEST_F(TaPlatformTest, AtomicWriteReplacesASymlinkAndLeavesNothingOnFailure)
{
    writeFile("real.txt", "original");
    ASSERT_EQ(symlink("real.txt", "link.txt"), 0);
    ASSERT_TRUE(taPlatformWriteFileAtomic("link.txt", "new", 3));
    EXPECT_EQ(taPlatformPathKind("link.txt"), ETAPATH_FILE) << "the link was followed";
    EXPECT_EQ(readFile("link.txt"), "new");
    EXPECT_EQ(readFile("real.txt"), "original");

    ASSERT_TRUE(taPlatformWriteFileAtomic("tool", "#!/bin/sh\n", 10, true));
    struct stat info;
    ASSERT_EQ(stat("tool", &info), 0);
    EXPECT_TRUE(info.st_mode & S_IXUSR);

    // A folder that does not exist: false, and no temporary file anywhere.
    EXPECT_FALSE(taPlatformWriteFileAtomic("missing/out.txt", "x", 1));
    EXPECT_FALSE(exists("missing"));
    int entries = 0;
    taPlatformListDirectory(".", [&](const char*, bool) { ++entries; });
    EXPECT_EQ(entries, 3); // real.txt, link.txt, tool
}

TEST_F(TaPlatformTest, IsolatedRunResults)
{
    struct {
        const char* what;
        std::function<std::string()> work;
        int timeoutMs;
        bool ok;
        const char* text; // the result, or the start of the failure
    } cases[] = {
        {"a result", [] { return std::string("translated\0text", 15); }, 10000, true, "translated"},
        {"a large result", [] { return std::string(1 << 20, 'x'); }, 10000, true, "xxxx"},
        {"an exit without a result", []() -> std::string { _exit(3); }, 10000, false, "ended without a result (status 3)"},
        {"a crash", []() -> std::string { raise(SIGKILL); return ""; }, 10000, false, "crashed (Killed)"},
        {"a loop", []() -> std::string { for (;;) pause(); }, 300, false, "timed out after 1 s"},
    };
    for (const auto& c : cases) {
        std::string result, failure;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(taPlatformRunIsolated(c.work, result, failure, c.timeoutMs), c.ok) << c.what;
        const auto seconds =
            std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start).count();
        EXPECT_LT(seconds, 8) << c.what << ": the child was not ended";
        if (c.ok) {
            EXPECT_EQ(result.substr(0, 4), std::string(c.text).substr(0, 4)) << c.what;
        } else {
            EXPECT_EQ(failure, c.text) << c.what;
            EXPECT_TRUE(result.empty()) << c.what;
        }
    }
    std::string result, failure;
    ASSERT_TRUE(taPlatformRunIsolated([] { return std::string("translated\0text", 15); }, result, failure));
    EXPECT_EQ(result, std::string("translated\0text", 15));
}

// A worker that ignores the request to stop: Kill gives up after its time limit and leaves the
// worker running on its own state, which it may still use after the object is gone.
class TaStubbornWorker : public ActiveObject
{
public:
    explicit TaStubbornWorker(std::shared_ptr<std::atomic<int>> progress)
    {
        Resume([progress] {
            progress->store(1);
            std::this_thread::sleep_for(std::chrono::milliseconds(ActiveObject::kKillTimeoutMs + 500));
            progress->store(2);
        });
    }
    ~TaStubbornWorker() override { Kill(); }

private:
    void FlushThread() override {}
};

TEST_F(TaPlatformTest, KillLeavesAStuckWorkerBehindAfterItsTimeLimit)
{
    auto progress = std::make_shared<std::atomic<int>>(0);
    {
        TaStubbornWorker worker(progress);
        while (progress->load() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_FALSE(worker.Kill());
        EXPECT_TRUE(worker.IsDying());
        EXPECT_EQ(progress->load(), 1);
        EXPECT_TRUE(worker.Kill()); // once is enough
    }
    // The worker finishes on its own state after the object is gone.
    while (progress->load() != 2)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

TEST_F(TaPlatformTest, WatcherStopsAtOnceAndQueuesItsProblems)
{
    taTakeFileOperationProblems();
    {
        FolderWatcher watcher(m_dir.c_str(), true);
        ASSERT_TRUE(watcher.IsActive());
        writeFile("new.txt", "x");
        for (int i = 0; i < 200 && !watcher.TakeChange(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_GT(watcher.EventCount(), 0u);
        EXPECT_TRUE(watcher.Kill());
    }
    // A folder that cannot be watched: queued (whichever thread met it), shown by the main thread.
    FolderWatcher missing("no/such/folder", false);
    EXPECT_FALSE(missing.IsActive());
    const std::vector<STaFileOperationProblem> problems = taTakeFileOperationProblems();
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].message, "Cannot create change notification handle");
    EXPECT_EQ(problems[0].file, "no/such/folder");
    EXPECT_EQ(problems[0].error, ENOENT);
    EXPECT_TRUE(taTakeFileOperationProblems().empty());
}

} // namespace
