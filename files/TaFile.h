// The file layer: tfile streams with pluggable back ends, the search directories, the working and
// data directories and the path helpers. Every engine file access goes through here.
//
// Index
//   tfile streams ........ tfile, tfile_open and the call wrappers
//   hooks ................ how a back end plugs in (open, directory, path)
//   helpers .............. taFileExists, taReadWholeFile, taFindFile
//   directories, paths ... working directory, data directory, taGetFileDir/Name/AbsolutePath
//
// Paths: "\" is read as "/" everywhere, and ":" also counts as a separator in the path helpers so
// that Windows-written names ("C:\music\a.mp3") split the way their authors meant. A path that
// does not open as written is looked up again component by component without regard to case.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// One open stream: a back-end handle and six operations, in this order. Streams are heap records
// owned by whoever opened them; close frees the record and the handle.
struct tfile {
    void* handle;
    // whence: 0 from start, 1 from current, 2 from end. 0 on success, -1 on failure.
    int (*seek)(tfile* stream, long offset, int whence);
    // Items read.
    size_t (*read)(void* buffer, size_t size, size_t count, tfile* stream);
    // The next byte, or -1 at the end.
    int (*getc)(tfile* stream);
    // Reads up to and including a line feed, at most length - 1 bytes, then a zero; nullptr when
    // nothing could be read.
    char* (*gets)(char* buffer, int length, tfile* stream);
    long (*tell)(tfile* stream);
    // Frees the stream; 0.
    int (*close)(tfile* stream);
};

// Opens a stream through the open hook, or with the C library after passing the path through
// taGetAbsolutePath. nullptr on failure.
tfile* tfile_open(const char* path, const char* mode);
int tfile_seek(tfile* stream, long offset, int whence);
size_t tfile_read(void* buffer, size_t size, size_t count, tfile* stream);
int tfile_getc(tfile* stream);
char* tfile_gets(char* buffer, int length, tfile* stream);
long tfile_tell(tfile* stream);
int tfile_close(tfile* stream);

// Closes a stream when it goes out of scope.
struct STaFileCloser {
    void operator()(tfile* stream) const { if (stream) tfile_close(stream); }
};
using TaFilePtr = std::unique_ptr<tfile, STaFileCloser>;

// --- Hooks: each may be empty (nullptr), which falls back to the local implementation. ----------
typedef tfile* (*TaOpenHook)(const char* path, const char* mode, void* user);
typedef void (*TaSetDirectoryHook)(const char* directory, void* user);
typedef void (*TaAppendDirectoryHook)(const char* subdirectory, void* user);
typedef const char* (*TaGetDirectoryHook)(void* user);
typedef const char* (*TaFileDirHook)(const char* path, void* user);
typedef const char* (*TaFileNameHook)(const char* path, int keepExtension, void* user);
typedef const char* (*TaAbsolutePathHook)(const char* path, void* user);

void taSetOpenHook(TaOpenHook open, void* user);
void taSetDirectoryHooks(TaSetDirectoryHook set, TaAppendDirectoryHook append, TaGetDirectoryHook get,
                         void* user);
void taSetPathHooks(TaFileDirHook fileDir, TaFileNameHook fileName, TaAbsolutePathHook absolutePath,
                    void* user);
// Empties every hook: the plain stdio back end.
void taClearFileHooks();

// --- Helpers ---------------------------------------------------------------------------------
// 1 when tfile_open with "rb" succeeds, else 0.
int taFileExists(const char* path);

// A whole file read through a stream (seek to the end, tell, seek back, read). The block always
// ends with one zero byte more than `size` counts, so text readers can use it as a C string. An
// empty `data` means failure.
struct STaFileBlock {
    std::unique_ptr<char[]> data;
    size_t size = 0;
};
STaFileBlock taReadWholeFile(const char* path);

// Size of the buffers the path helpers return their texts in, terminating zero included.
constexpr int TA_PATH_BUFFER = 2048;

// The first of: the name, each search subdirectory + "/" + name, the data directory + name, the data
// directory + each search subdirectory + "/" + name, that exists; else the name unchanged. The result
// lives in one process-wide buffer.
const char* taFindFile(const char* name);

// The search subdirectories, in search order, ending with nullptr.
extern const char* const taSearchSubdirectories[];

// --- Directories and paths ----------------------------------------------------------------------
// The working directory the local back end prefixes relative paths with (initially empty). Longer
// than TA_PATH_BUFFER - 1 characters: refused with an error, the old one stays.
void taSetWorkingDirectory(const char* directory);
void taAppendWorkingDirectory(const char* subdirectory);
const char* taGetWorkingDirectory();

// The data directory, tried by taFindFile after the current directory (at most 259 characters).
void taSetDataDirectory(const char* directory);
const char* taGetDataDirectory();

// Directory of a path including its last separator ("" when it has none).
const char* taGetFileDir(const char* path);
// The part after the last "\", "/" or ":"; without the text from its last "." unless keepExtension.
const char* taGetFileName(const char* path, int keepExtension);
// The working directory, a "/" unless it already ends in a separator, then the path; a path that is
// already absolute comes back as it is. "" when the result would not fit its buffer.
const char* taGetAbsolutePath(const char* path);

// Pure string forms of the helpers, shared by the back ends.
std::string taFileDirOf(const std::string& path);
std::string taFileNameOf(const std::string& path, bool keepExtension);
// "\" becomes "/".
std::string taNormalizeSlashes(const std::string& path);
// A path with "/" separators and its "." and "x/.." components resolved as text (links are not
// followed); no trailing "/", "." for nothing. A relative path keeps the ".." it cannot resolve; an
// absolute one stops at "/".
std::string taNormalizePath(const std::string& path);
// A path as it is on the local disk: "\" read as "/" and, when it does not exist as written,
// each component matched without regard to case (relative paths against the working directory
// stay relative). Unchanged (but for the slashes) when nothing matches.
std::string taResolveDiskPath(const char* path);
// True for "/x", "\x" and drive paths ("C:..."), which the helpers never prefix.
bool taIsAbsolutePath(const char* path);
