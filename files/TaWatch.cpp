// File and folder watches.
#include "files/TaWatch.h"

#include "core/TaLog.h"
#include "core/TaIdTable.h"
#include "files/TaFile.h"
#include "platform/TaFolderWatcher.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

namespace {

// Stops a watcher: its worker gets ActiveObject::kKillTimeoutMs to end, then is left to end on its own.
void stopWatcher(std::unique_ptr<FolderWatcher>& watcher, const std::string& path)
{
    if (watcher && !watcher->Kill())
        taPrint(ETALOG_WARN, "FolderWatcher: the watch on '%s' did not stop within %d ms; its worker was left to end on its own",
                path.c_str(), ActiveObject::kKillTimeoutMs);
    watcher.reset();
}

// A watch on one file, through a watcher on its directory.
struct STaFileWatch {
    std::string path;
    bool changed = false; // latch
    STaFileStamp stamp;
    bool hasStamp = false;
    std::unique_ptr<FolderWatcher> watcher; // its change flag is raised by the worker
    ~STaFileWatch() { stopWatcher(watcher, path); }
};

// A watch on a folder tree.
struct STaFolderWatch {
    std::string path;
    bool changed = false; // latch
    int64_t referenceNs = 0;
    bool listed = false;        // a listing ran since the last reset
    int64_t listingStartNs = 0; // when it began
    uint64_t listingStartEvents = 0;
    int count = 0;
    std::string changes[TA_FOLDER_WATCH_MAX_CHANGES];
    const char* changePointers[TA_FOLDER_WATCH_MAX_CHANGES] = {};
    std::unique_ptr<FolderWatcher> watcher; // its change flag is raised by the worker
    ~STaFolderWatch() { stopWatcher(watcher, path); }
};

// The two tables, made on first use; at exit their watches are stopped before the threads would
// outlive them.
struct STaWatchTables {
    std::unique_ptr<STaIdTable> files = idCreate(TA_WATCH_CAPACITY);
    std::unique_ptr<STaIdTable> folders = idCreate(TA_WATCH_CAPACITY);
    ~STaWatchTables() { clear(); }
    void clear();
};

STaWatchTables& tables()
{
    static STaWatchTables watchTables;
    return watchTables;
}

void STaWatchTables::clear()
{
    for (int id = 0; id <= idHighest(files.get()); ++id) {
        delete static_cast<STaFileWatch*>(files->entries[id]);
        files->entries[id] = nullptr;
    }
    for (int id = 0; id <= idHighest(folders.get()); ++id) {
        delete static_cast<STaFolderWatch*>(folders->entries[id]);
        folders->entries[id] = nullptr;
    }
}

std::string absolutePathOf(const char* path)
{
    std::string normalized = taNormalizeSlashes(path ? path : "");
    if (!normalized.empty() && normalized[0] == '/')
        return normalized;
    return taPlatformCurrentDirectory() + "/" + normalized;
}

STaFileWatch* fileWatch(int id)
{
    auto* watch = static_cast<STaFileWatch*>(idGet(tables().files.get(), id));
    if (!watch)
        taErrorCode(1, "FileWatch ID %d does not exist. %s", id, idGetErrorText());
    return watch;
}

STaFolderWatch* folderWatch(int id)
{
    auto* watch = static_cast<STaFolderWatch*>(idGet(tables().folders.get(), id));
    if (!watch)
        taErrorCode(1, "FolderWatch ID %d does not exist. %s", id, idGetErrorText());
    return watch;
}

bool claimId(STaIdTable* table, int id, void* watch)
{
    if (idInsert(table, id, watch) != 0) {
        taPrintCode(ETALOG_WARN | ETALOG_REMEMBER, 2, "invalid FileWatch ID %d : %s", id, idGetErrorText());
        return false;
    }
    return true;
}

void walk(const std::string& folder, const char* pattern, int depth, TaWalkCallback callback, void* user)
{
    taPlatformListDirectory(folder.c_str(), [&](const char* name, bool isDirectory) {
        std::string path = folder + "/" + name;
        if (isDirectory) {
            if (depth > 0 && name[0] != '.')
                walk(path, pattern, depth - 1, callback, user);
            return;
        }
        STaFileStamp stamp;
        if (taPlatformMatchPattern(pattern, name) && taPlatformFileStamp(path.c_str(), &stamp))
            callback(path.c_str(), stamp, user);
    });
}

} // namespace

void taWalkFiles(const char* folder, const char* pattern, int depth, TaWalkCallback callback, void* user)
{
    if (!folder || !callback)
        return;
    std::string root = folder;
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    walk(root, pattern ? pattern : "*", depth, callback, user);
}

// --- File watches ---
void taFileWatchCreate(const char* path, int id)
{
    auto watch = std::make_unique<STaFileWatch>();
    if (!claimId(tables().files.get(), id, watch.get()))
        return;
    STaFileWatch* w = watch.release();
    w->path = absolutePathOf(path);
    w->hasStamp = taPlatformFileStamp(w->path.c_str(), &w->stamp);
    std::string directory = taFileDirOf(w->path);
    w->watcher = std::make_unique<FolderWatcher>(directory.c_str(), false, taFileNameOf(w->path, true).c_str());
    taShowFileOperationProblems();
}

int taFileWatchChanged(int id)
{
    STaFileWatch* w = fileWatch(id);
    if (!w)
        return 0;
    taShowFileOperationProblems();
    if (w->changed)
        return 1;
    // Exchanged, not read then cleared: a change arriving in between is kept for the next poll.
    if (!w->watcher->TakeChange())
        return 0;
    STaFileStamp now;
    const bool readable = taPlatformFileStamp(w->path.c_str(), &now);
    if (readable && w->hasStamp && now == w->stamp)
        return 0; // another file of the directory changed
    w->stamp = now;
    w->hasStamp = readable;
    w->changed = true;
    return 1;
}

int taFileWatchWaitReadable(int id, int timeoutMs)
{
    STaFileWatch* w = fileWatch(id);
    if (!w)
        return -1;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
    const auto poll = std::chrono::milliseconds(50);
    for (;;) {
        FILE* file = fopen(w->path.c_str(), "rb");
        if (file) {
            fclose(file);
            STaFileStamp before, after;
            const uint64_t events = w->watcher ? w->watcher->NamedEventCount() : 0;
            if (taPlatformFileStamp(w->path.c_str(), &before)) {
                std::this_thread::sleep_for(poll);
                if (taPlatformFileStamp(w->path.c_str(), &after) && after.size == before.size &&
                    after.inode == before.inode && (!w->watcher || w->watcher->NamedEventCount() == events))
                    return 0;
            }
        }
        if (Clock::now() >= deadline)
            return -1;
        std::this_thread::sleep_for(poll);
    }
}

void taFileWatchReset(int id)
{
    STaFileWatch* w = fileWatch(id);
    if (!w)
        return;
    w->hasStamp = taPlatformFileStamp(w->path.c_str(), &w->stamp);
    w->watcher->SetChange(false);
    w->changed = false;
}

void taFileWatchDelete(int id)
{
    STaFileWatch* w = fileWatch(id);
    if (!w)
        return;
    idRemove(tables().files.get(), id);
    delete w;
}

// --- Folder watches ---
void taFolderWatchCreate(const char* path, int id)
{
    auto watch = std::make_unique<STaFolderWatch>();
    if (!claimId(tables().folders.get(), id, watch.get()))
        return;
    STaFolderWatch* w = watch.release();
    w->path = absolutePathOf(path);
    while (w->path.size() > 1 && w->path.back() == '/')
        w->path.pop_back();
    w->referenceNs = taPlatformFileClockNs();
    w->watcher = std::make_unique<FolderWatcher>(w->path.c_str(), true);
    taShowFileOperationProblems();
}

int taFolderWatchChanged(int id)
{
    STaFolderWatch* w = folderWatch(id);
    if (!w)
        return 0;
    taShowFileOperationProblems();
    if (w->changed)
        return 1;
    if (w->watcher->TakeChange()) {
        w->changed = true;
        return 1;
    }
    return 0;
}

int taGetFolderWatchChanges(int id, const char* const** paths)
{
    STaFolderWatch* w = folderWatch(id);
    if (paths)
        *paths = nullptr;
    if (!w || !w->changed)
        return 0;
    w->listed = true;
    w->listingStartNs = taPlatformFileClockNs();
    w->listingStartEvents = w->watcher ? w->watcher->EventCount() : 0;
    w->count = 0;
    struct Walk {
        STaFolderWatch* watch;
        bool tooMany;
    } state{w, false};
    taWalkFiles(w->path.c_str(), "*", 2, [](const char* path, const STaFileStamp& data, void* user) {
        auto* s = static_cast<Walk*>(user);
        // The change time counts too: a copy that keeps its modification time is still a change.
        const int64_t newest = data.modifiedNs > data.changedNs ? data.modifiedNs : data.changedNs;
        if (newest < s->watch->referenceNs)
            return;
        if (s->watch->count >= TA_FOLDER_WATCH_MAX_CHANGES) {
            s->tooMany = true;
            return;
        }
        s->watch->changes[s->watch->count++] = path;
    }, &state);
    if (state.tooMany)
        taPrint(ETALOG_WARN, "taGetFolderWatchChanges too much changes\n");
    for (int i = 0; i < w->count; ++i)
        w->changePointers[i] = w->changes[i].c_str();
    if (paths)
        *paths = w->changePointers;
    return w->count;
}

void taFolderWatchReset(int id)
{
    STaFolderWatch* w = folderWatch(id);
    if (!w)
        return;
    w->changed = false;
    w->count = 0;
    if (w->listed) {
        // Anything written after the listing began is reported again, not lost between the
        // listing and this reset.
        w->referenceNs = w->listingStartNs;
        const bool eventsSince = w->watcher && w->watcher->EventCount() != w->listingStartEvents;
        w->watcher->SetChange(eventsSince);
    } else {
        w->referenceNs = taPlatformFileClockNs();
        w->watcher->SetChange(false);
    }
    w->listed = false;
}

void taFolderWatchDelete(int id)
{
    STaFolderWatch* w = folderWatch(id);
    if (!w)
        return;
    idRemove(tables().folders.get(), id);
    delete w;
}

void taFreeWatches() { tables().clear(); }

void taShowFileOperationProblems()
{
    for (const STaFileOperationProblem& problem : taTakeFileOperationProblems())
        taMessageBoxTitled("File Operation Problem", "%s\nFile: '%s'\nSystem reports: %s", problem.message.c_str(),
                           problem.file.c_str(), taPlatformErrorText(problem.error).c_str());
}
