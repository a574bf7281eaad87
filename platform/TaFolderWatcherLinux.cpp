// Worker threads and the folder watcher on inotify, with an eventfd to stop the worker.
#include "platform/TaFolderWatcher.h"

#include "platform/TaPlatform.h"

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace {
// What counts as a change: writes, new, deleted and renamed entries, attribute changes (a copy that
// sets the old time). Reads do not, so the engine reading its own shaders is not a change.
constexpr uint32_t TA_WATCH_MASK = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                   IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF;
// How deep subfolders are followed: deep enough for any shader tree, bounded against link loops.
constexpr int TA_WATCH_MAX_DEPTH = 32;

std::mutex g_problemsMutex;
std::vector<STaFileOperationProblem> g_problems;
} // namespace

void taFileOperationProblem(const char* message, const char* file, int error)
{
    std::lock_guard<std::mutex> lock(g_problemsMutex);
    g_problems.push_back(STaFileOperationProblem{message ? message : "", file ? file : "", error});
}

std::vector<STaFileOperationProblem> taTakeFileOperationProblems()
{
    std::lock_guard<std::mutex> lock(g_problemsMutex);
    std::vector<STaFileOperationProblem> taken;
    taken.swap(g_problems);
    return taken;
}

// --- ActiveObject ---
// Whether the worker has ended, shared by the object and the worker.
struct ActiveObject::Finish {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
};

ActiveObject::ActiveObject() : m_dying(std::make_shared<std::atomic<int>>(0)), m_finish(std::make_shared<Finish>()) {}

ActiveObject::~ActiveObject()
{
    // Derived destructors kill first; this is the last line of defence against a joinable thread.
    Kill();
}

void ActiveObject::Resume(std::function<void()> body)
{
    std::shared_ptr<Finish> finish = m_finish;
    m_thread = std::thread([finish, body = std::move(body)] {
        body();
        std::lock_guard<std::mutex> lock(finish->mutex);
        finish->done = true;
        finish->ended.notify_all();
    });
}

bool ActiveObject::Kill()
{
    if (m_killed)
        return true;
    m_killed = true;
    ++*m_dying;
    FlushThread();
    if (!m_thread.joinable())
        return true;
    bool ended;
    {
        std::unique_lock<std::mutex> lock(m_finish->mutex);
        ended = m_finish->ended.wait_for(lock, std::chrono::milliseconds(kKillTimeoutMs),
                                         [this] { return m_finish->done; });
    }
    if (ended) {
        m_thread.join();
        return true;
    }
    // The worker holds its own state: it may finish later without touching this object.
    m_thread.detach();
    return false;
}

// --- FolderWatcher ---
// Everything the worker touches; held by the watcher and by the worker.
struct FolderWatcher::State {
    std::string folder;
    std::string countName;
    bool subfolders = false;
    int inotify = -1;
    int stop = -1;
    std::shared_ptr<std::atomic<int>> dying;
    std::atomic<bool> changed{false};
    std::atomic<uint64_t> events{0};
    std::atomic<uint64_t> namedEvents{0};
    std::map<int, std::string> folders; // watch descriptor -> folder path; the worker's after start

    ~State()
    {
        if (inotify >= 0)
            close(inotify);
        if (stop >= 0)
            close(stop);
    }
    bool addWatches(const std::string& path, int depth);
    bool handleEvents();
    void run();
};

FolderWatcher::FolderWatcher(const char* folder, bool subfolders, const char* countName)
    : m_state(std::make_shared<State>())
{
    State& state = *m_state;
    state.folder = folder ? folder : "";
    state.countName = countName ? countName : "";
    state.subfolders = subfolders;
    state.dying = dyingMark();
    state.inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    int error = errno;
    if (state.inotify < 0 || !state.addWatches(state.folder, subfolders ? TA_WATCH_MAX_DEPTH : 0)) {
        if (state.inotify >= 0)
            error = errno;
        taFileOperationProblem("Cannot create change notification handle", state.folder.c_str(), error);
        return;
    }
    state.stop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state.stop < 0) {
        taFileOperationProblem("Cannot create change notification handle", state.folder.c_str(), errno);
        return;
    }
    m_active = true;
    std::shared_ptr<State> held = m_state;
    Resume([held] { held->run(); });
}

FolderWatcher::~FolderWatcher()
{
    Kill();
}

bool FolderWatcher::TakeChange()
{
    return m_state->changed.exchange(false);
}

void FolderWatcher::SetChange(bool changed)
{
    m_state->changed.store(changed);
}

uint64_t FolderWatcher::EventCount() const
{
    return m_state->events.load();
}

uint64_t FolderWatcher::NamedEventCount() const
{
    return m_state->namedEvents.load();
}

bool FolderWatcher::State::addWatches(const std::string& path, int depth)
{
    int wd = inotify_add_watch(inotify, path.c_str(), TA_WATCH_MASK | IN_ONLYDIR);
    if (wd < 0)
        return false;
    folders[wd] = path;
    if (depth > 0) {
        taPlatformListDirectory(path.c_str(), [&](const char* name, bool isDirectory) {
            if (isDirectory && !dying->load())
                addWatches(path + "/" + name, depth - 1); // a subfolder that vanished meanwhile is fine
        });
    }
    return true;
}

void FolderWatcher::FlushThread()
{
    if (m_state->stop >= 0) {
        uint64_t one = 1;
        ssize_t written = write(m_state->stop, &one, sizeof(one));
        (void)written; // a full counter already wakes the worker
    }
}

// Reads what is queued; false when the notification broke.
bool FolderWatcher::State::handleEvents()
{
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        ssize_t length = read(inotify, buffer, sizeof(buffer));
        if (length < 0)
            return errno == EAGAIN || errno == EINTR;
        if (length == 0)
            return false;
        bool changedNow = false;
        for (ssize_t at = 0; at < length;) {
            const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_IGNORED) {
                folders.erase(event->wd);
                continue;
            }
            changedNow = true;
            ++events;
            if (event->len && !countName.empty() && countName == event->name)
                ++namedEvents;
            // inotify is not recursive: follow subfolders as they appear.
            if (subfolders && (event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO)) && event->len) {
                auto found = folders.find(event->wd);
                if (found != folders.end())
                    addWatches(found->second + "/" + event->name, TA_WATCH_MAX_DEPTH);
            }
        }
        if (changedNow)
            changed.store(true);
        if (dying->load())
            return true;
    }
}

void FolderWatcher::State::run()
{
    pollfd fds[2] = {{inotify, POLLIN, 0}, {stop, POLLIN, 0}};
    for (;;) {
        int ready = poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            taFileOperationProblem("Cannot detect changes in folder", folder.c_str(), errno);
            return;
        }
        if (fds[1].revents || dying->load())
            return;
        if (fds[0].revents && !handleEvents()) {
            taFileOperationProblem("Cannot detect changes in folder", folder.c_str(), errno);
            return;
        }
    }
}
