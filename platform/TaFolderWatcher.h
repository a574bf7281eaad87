// Worker threads and the folder-change watcher (inotify here).
//
// Threads: the constructor and Kill() run on the main thread; Run() on the worker. The only data
// the two share are the flag and counters (atomics) and the stop signal.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

// A worker thread: InitThread then Run on the worker; Kill asks it to end and waits for it.
class ActiveObject
{
public:
    virtual ~ActiveObject();
    // Marks the object dying, calls FlushThread and waits for the worker to end.
    void Kill();

protected:
    ActiveObject() = default;
    // Starts the worker (the object is created "suspended" until then).
    void Resume();
    virtual void InitThread() {}
    virtual void Run() = 0;
    // Wakes the worker so that it sees it is dying.
    virtual void FlushThread() = 0;

    std::atomic<int> m_isDying{0};

private:
    std::thread m_thread;
};

// Raises a flag whenever a file in a folder (and, if asked, in its subfolders, including those made
// later) is written, created, deleted, renamed or has its attributes changed. A folder that cannot
// be watched is reported with the file-operation problem box and the watcher stays inactive.
class FolderWatcher : public ActiveObject
{
public:
    // `flag` must outlive the watcher. `countName`, when given, is a file name in the folder whose
    // own events are also counted (NamedEventCount).
    FolderWatcher(const char* folder, bool subfolders, std::atomic<bool>* flag, const char* countName = nullptr);
    ~FolderWatcher() override;

    bool IsActive() const { return m_active; }
    // Events seen so far, of any file; of the named file.
    uint64_t EventCount() const { return m_events.load(); }
    uint64_t NamedEventCount() const { return m_namedEvents.load(); }

private:
    void Run() override;
    void FlushThread() override;
    bool addWatches(const std::string& folder, int depth);
    bool handleEvents();

    std::string m_folder;
    std::string m_countName;
    bool m_subfolders = false;
    bool m_active = false;
    int m_inotify = -1;
    int m_stop = -1;
    std::atomic<bool>* m_flag = nullptr;
    std::atomic<uint64_t> m_events{0};
    std::atomic<uint64_t> m_namedEvents{0};
    struct Watches;
    Watches* m_watches = nullptr; // worker-owned after Resume()
};

// The file-operation problem box: "%s\nFile: '%s'\nSystem reports: %s", titled
// "File Operation Problem".
void taFileOperationProblem(const char* message, const char* file, int error);
