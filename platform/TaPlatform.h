// Operating-system services the engine needs, behind one small interface (POSIX and X11 here).
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>

// Full path of the running executable. False when it cannot be read or does not fit.
bool taPlatformExecutablePath(char* out, size_t outSize);

// The process's current directory, without a trailing separator ("/" for the root).
std::string taPlatformCurrentDirectory();

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
