// Operating-system services the engine needs, behind one small interface (POSIX and X11 here).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

// Full path of the running executable. False when it cannot be read or does not fit.
bool taPlatformExecutablePath(char* out, size_t outSize);

// The process's current directory, without a trailing separator ("/" for the root).
std::string taPlatformCurrentDirectory();
// Makes `path` the process's current directory; false when it cannot.
bool taPlatformSetCurrentDirectory(const char* path);

// Resolves a path written on Windows against the disk: each component that does not exist as
// written is matched against its directory's entries without regard to case. A component with
// several case-insensitive matches takes the first in byte order, so the result is repeatable.
// Returns false when some component has no match at all.
bool taPlatformResolvePathCase(const std::string& path, std::string& resolved);

// Creates a directory; an existing real directory (not a symlink) counts as success.
bool taPlatformMakeDirectory(const char* path);

// True when `path` is a real directory (a symlink to one is not).
bool taPlatformIsRealDirectory(const char* path);

// What sits at a path, without following a final symlink.
enum ETaPathKind { ETAPATH_MISSING, ETAPATH_FILE, ETAPATH_DIRECTORY, ETAPATH_OTHER };
ETaPathKind taPlatformPathKind(const char* path);

// True when the two streams write to the same file or terminal (so a line sent to both would
// show twice).
bool taPlatformSameOutput(FILE* a, FILE* b);

// Writes `size` bytes to a new file at `path`, atomically: the data goes to a temporary file in
// the same directory that is then renamed over the target, so a reader never sees half a file and
// a symlink at the target is replaced, never followed. `executable` makes it runnable. False
// (with errno set) on failure.
bool taPlatformWriteFileAtomic(const char* path, const void* data, size_t size, bool executable = false);

// A read-only view of a block as a named file, for libraries that only open files by name: returns
// a descriptor (or -1) and the name to open while it stays open.
int taPlatformOpenMemoryFile(const void* data, size_t size, std::string& name);
void taPlatformCloseMemoryFile(int descriptor);

// What identifies a version of a file on disk: a save changes at least one of these, even a copy
// that keeps the old modification time (its inode and change time differ).
struct STaFileStamp {
    int64_t modifiedNs = 0; // last write, nanoseconds since 1970 (UTC)
    int64_t changedNs = 0;  // last status change (rename, copy, attributes)
    int64_t size = 0;
    uint64_t inode = 0;
    uint64_t device = 0;
    bool isDirectory = false;
};
bool operator==(const STaFileStamp& a, const STaFileStamp& b);
inline bool operator!=(const STaFileStamp& a, const STaFileStamp& b) { return !(a == b); }

// The stamp of a path (following links). False when it cannot be read.
bool taPlatformFileStamp(const char* path, STaFileStamp* stamp);

// The wall clock in nanoseconds since 1970, at the coarse resolution the file system stamps files
// with, so that a file written after this call never carries an earlier time.
int64_t taPlatformFileClockNs();

// Calls back for every entry of a directory except "." and ".." (name, is-directory). False when the
// directory cannot be read.
bool taPlatformListDirectory(const char* path, const std::function<void(const char* name, bool isDirectory)>& visit);

// True when the whole of `name` matches a wildcard pattern ("*", "?", "[...]").
bool taPlatformMatchPattern(const char* pattern, const char* name);

// The system's text for an error number.
std::string taPlatformErrorText(int error);

// Threads of the engine that must not be in the middle of their work when the process forks (a
// child starts with the locks they held and only one thread, and would wait for them forever):
// `pause` returns once the thread waits holding nothing, `resume` lets it go on. An isolated run
// pauses every registered thread around its fork. The id removes the pair again.
int taPlatformAddForkPause(std::function<void()> pause, std::function<void()> resume);
void taPlatformRemoveForkPause(int id);

// Runs `work` in a child process and hands back the text it returns, so that a library crashing or
// looping on bad input (the shader compiler) cannot take the engine down or hang it. False with
// `failure` saying why when no result came back: "crashed (<signal>)", "ended without a result
// (status N)", "timed out after N s" (the child is killed once `timeoutMs` has passed), or a failed
// pipe or fork.
constexpr int TA_ISOLATED_RUN_TIMEOUT_MS = 30000;
bool taPlatformRunIsolated(const std::function<std::string()>& work, std::string& result, std::string& failure,
                           int timeoutMs = TA_ISOLATED_RUN_TIMEOUT_MS);
