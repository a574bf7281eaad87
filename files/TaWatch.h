// File and folder watches: the scene viewer's way of noticing an exported scene or a saved shader.
// Watches are addressed by IDs 0 to 99 in two tables of their own. Every call is made on the main
// thread; each watch has a worker that only raises its flag.
#pragma once

#include "platform/TaPlatform.h"

constexpr int TA_WATCH_CAPACITY = 100;
constexpr int TA_FOLDER_WATCH_MAX_CHANGES = 10;

// Watches a file through a watcher on its directory. A bad or taken ID: warning "invalid FileWatch
// ID %d : %s", nothing done. A directory that cannot be watched is reported and the watch stays
// inactive (it never reports a change).
void taFileWatchCreate(const char* path, int id);
// 1 once the file changed (modification time, size or identity) since the last reset.
int taFileWatchChanged(int id);
// Waits until the file can be read and is no longer being written: it opens and its size stays the
// same across two polls 50 ms apart with no event on it in between. 0, or -1 after the time-out.
int taFileWatchWaitReadable(int id, int timeoutMs);
// Takes the file as it is now and clears the change.
void taFileWatchReset(int id);

// Watches a folder and all its subfolders (also those made later).
void taFolderWatchCreate(const char* path, int id);
// 1 once anything in the folder tree changed since the last reset.
int taFolderWatchChanged(int id);
// When changed: the files (two levels deep at most) changed since the last reset, at most 10; the
// array stays valid until the next call for this watch. 0 otherwise. Times are compared at the file
// system's clock resolution, so a file saved within the same tick as the reset may be listed again
// (a second reload, never a missed one).
int taGetFolderWatchChanges(int id, const char* const** paths);
// Clears the change; what changed after the last listing began is reported again.
void taFolderWatchReset(int id);

// Stops a watch and frees its ID (the engine's own addition: watches otherwise live until exit).
void taFileWatchDelete(int id);
void taFolderWatchDelete(int id);
// Stops every watch (at exit and between tests).
void taFreeWatches();

// Shows the problems the watchers met, each as a box titled "File Operation Problem" with the text
// "%s\nFile: '%s'\nSystem reports: %s". Watchers only queue them (their workers must not open
// windows); the watch calls and the frame (Sync) show them on the main thread.
void taShowFileOperationProblems();

// Calls back for every file (not folder) whose name matches `pattern` in `folder` and, down to
// `depth` levels, in its subfolders, skipping subfolders whose names begin with ".".
typedef void (*TaWalkCallback)(const char* path, const STaFileStamp& data, void* user);
void taWalkFiles(const char* folder, const char* pattern, int depth, TaWalkCallback callback, void* user);
