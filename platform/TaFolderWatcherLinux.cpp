// Worker threads and the folder watcher on inotify, with an eventfd to stop the worker.
#include "platform/TaFolderWatcher.h"

#include "app/TaLog.h"
#include "platform/TaPlatform.h"

#include <cerrno>
#include <cstring>
#include <map>
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
} // namespace

void taFileOperationProblem(const char* message, const char* file, int error)
{
    taMessageBoxTitled("File Operation Problem", "%s\nFile: '%s'\nSystem reports: %s", message, file,
                       taPlatformErrorText(error).c_str());
}

// --- ActiveObject ---
ActiveObject::~ActiveObject()
{
    // Derived destructors kill first; this is the last line of defence against a joinable thread.
    if (m_thread.joinable())
        m_thread.join();
}

void ActiveObject::Resume()
{
    m_thread = std::thread([this] {
        InitThread();
        Run();
    });
}

void ActiveObject::Kill()
{
    ++m_isDying;
    FlushThread();
    if (m_thread.joinable())
        m_thread.join();
}

// --- FolderWatcher ---
struct FolderWatcher::Watches {
    std::map<int, std::string> folders; // watch descriptor -> folder path
};

FolderWatcher::FolderWatcher(const char* folder, bool subfolders, std::atomic<bool>* flag, const char* countName)
    : m_folder(folder ? folder : ""), m_countName(countName ? countName : ""), m_subfolders(subfolders),
      m_flag(flag), m_watches(new Watches)
{
    m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    int error = errno;
    if (m_inotify < 0 || !addWatches(m_folder, subfolders ? TA_WATCH_MAX_DEPTH : 0)) {
        if (m_inotify >= 0)
            error = errno;
        taFileOperationProblem("Cannot create change notification handle", m_folder.c_str(), error);
        return;
    }
    m_stop = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stop < 0) {
        taFileOperationProblem("Cannot create change notification handle", m_folder.c_str(), errno);
        return;
    }
    m_active = true;
    Resume();
}

FolderWatcher::~FolderWatcher()
{
    Kill();
    if (m_inotify >= 0)
        close(m_inotify);
    if (m_stop >= 0)
        close(m_stop);
    delete m_watches;
}

bool FolderWatcher::addWatches(const std::string& folder, int depth)
{
    int wd = inotify_add_watch(m_inotify, folder.c_str(), TA_WATCH_MASK | IN_ONLYDIR);
    if (wd < 0)
        return false;
    m_watches->folders[wd] = folder;
    if (depth > 0) {
        taPlatformListDirectory(folder.c_str(), [&](const char* name, bool isDirectory) {
            if (isDirectory)
                addWatches(folder + "/" + name, depth - 1); // a subfolder that vanished meanwhile is fine
        });
    }
    return true;
}

void FolderWatcher::FlushThread()
{
    if (m_stop >= 0) {
        uint64_t one = 1;
        ssize_t written = write(m_stop, &one, sizeof(one));
        (void)written; // a full counter already wakes the worker
    }
}

// Reads what is queued; false when the notification broke.
bool FolderWatcher::handleEvents()
{
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        ssize_t length = read(m_inotify, buffer, sizeof(buffer));
        if (length < 0)
            return errno == EAGAIN || errno == EINTR;
        if (length == 0)
            return false;
        bool changed = false;
        for (ssize_t at = 0; at < length;) {
            const inotify_event* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_IGNORED) {
                m_watches->folders.erase(event->wd);
                continue;
            }
            changed = true;
            ++m_events;
            if (event->len && !m_countName.empty() && m_countName == event->name)
                ++m_namedEvents;
            // inotify is not recursive: follow subfolders as they appear.
            if (m_subfolders && (event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO)) && event->len) {
                auto folder = m_watches->folders.find(event->wd);
                if (folder != m_watches->folders.end())
                    addWatches(folder->second + "/" + event->name, TA_WATCH_MAX_DEPTH);
            }
        }
        if (changed && m_flag)
            m_flag->store(true);
    }
}

void FolderWatcher::Run()
{
    pollfd fds[2] = {{m_inotify, POLLIN, 0}, {m_stop, POLLIN, 0}};
    for (;;) {
        int ready = poll(fds, 2, -1);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            taFileOperationProblem("Cannot detect changes in folder", m_folder.c_str(), errno);
            return;
        }
        if (fds[1].revents || m_isDying.load())
            return;
        if (fds[0].revents && !handleEvents()) {
            taFileOperationProblem("Cannot detect changes in folder", m_folder.c_str(), errno);
            return;
        }
    }
}
