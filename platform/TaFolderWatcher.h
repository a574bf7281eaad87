// Worker threads and the folder-change watcher (inotify here).
//
// Threads: the constructor, the flag calls and Kill() run on the main thread; the worker body on
// the worker. The two share only a state block that both hold (atomics, the stop signal and what
// the worker alone touches), so a worker that Kill has to leave behind never reaches a destroyed
// object. Problems met on either thread are queued, never shown from the worker: the main thread
// takes them with taTakeFileOperationProblems and shows them.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// A worker thread: Resume starts the body; Kill asks it to end and waits for it, at most
// kKillTimeoutMs.
class ActiveObject
{
public:
    static constexpr int kKillTimeoutMs = 2000;

    virtual ~ActiveObject();
    // Marks the object dying, calls FlushThread and waits for the worker to end. True when it
    // ended (or never ran); false when it did not end in time and was detached: it finishes on its
    // own, holding its state block.
    bool Kill();
    bool IsDying() const { return m_dying->load(); }

protected:
    ActiveObject();
    // Starts the worker on `body`. The body must touch only what it holds itself, never the object.
    void Resume(std::function<void()> body);
    // Wakes the worker so that it sees it is dying.
    virtual void FlushThread() = 0;
    // The dying mark, shared with the worker.
    const std::shared_ptr<std::atomic<int>>& dyingMark() const { return m_dying; }

private:
    struct Finish;
    std::shared_ptr<std::atomic<int>> m_dying;
    std::shared_ptr<Finish> m_finish;
    std::thread m_thread;
    bool m_killed = false;
};

// Raises a flag whenever a file in a folder (and, if asked, in its subfolders, including those made
// later) is written, created, deleted, renamed or has its attributes changed. A folder that cannot
// be watched is reported as a file-operation problem and the watcher stays inactive.
class FolderWatcher : public ActiveObject
{
public:
    // `countName`, when given, is a file name in the folder whose own events are also counted
    // (NamedEventCount).
    FolderWatcher(const char* folder, bool subfolders, const char* countName = nullptr);
    ~FolderWatcher() override;

    bool IsActive() const { return m_active; }
    // The change flag: read and cleared in one step (a change arriving in between is kept), or set.
    bool TakeChange();
    void SetChange(bool changed);
    // Events seen so far, of any file; of the named file.
    uint64_t EventCount() const;
    uint64_t NamedEventCount() const;

private:
    void FlushThread() override;

    struct State;
    std::shared_ptr<State> m_state;
    bool m_active = false;
};

// A problem a watcher met: the file-operation problem box's message, file and system error.
struct STaFileOperationProblem {
    std::string message;
    std::string file;
    int error = 0;
};
// Queues a problem (any thread).
void taFileOperationProblem(const char* message, const char* file, int error);
// Takes every queued problem, oldest first (main thread).
std::vector<STaFileOperationProblem> taTakeFileOperationProblems();
