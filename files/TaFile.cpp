// The file layer: streams, hooks, search and path helpers; the stdio back end.
#include "files/TaFile.h"

#include "core/TaLog.h"
#include "platform/TaPlatform.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

const char* const taSearchSubdirectories[] = {
    "shaders", "shadersPP", "shadersPP2", "shadersSURF", "shadersSURF2", "shadersHV", "textures", nullptr,
};

namespace {

constexpr int TA_DATA_DIRECTORY_SIZE = 260;

struct STaFileHooks {
    TaOpenHook open = nullptr;
    void* openUser = nullptr;
    TaSetDirectoryHook setDirectory = nullptr;
    TaAppendDirectoryHook appendDirectory = nullptr;
    TaGetDirectoryHook getDirectory = nullptr;
    void* directoryUser = nullptr;
    TaFileDirHook fileDir = nullptr;
    TaFileNameHook fileName = nullptr;
    TaAbsolutePathHook absolutePath = nullptr;
    void* pathUser = nullptr;
};

STaFileHooks g_hooks;
char g_workingDirectory[TA_PATH_BUFFER] = {};
char g_dataDirectory[TA_DATA_DIRECTORY_SIZE] = {};
char g_findBuffer[TA_PATH_BUFFER] = {};
char g_fileDirBuffer[TA_PATH_BUFFER] = {};
char g_fileNameBuffer[TA_PATH_BUFFER] = {};
char g_absoluteBuffer[TA_PATH_BUFFER] = {};

bool isSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

// Copies a text into a fixed buffer; false (and "" in the buffer) when it does not fit.
bool copyBounded(char* out, size_t outSize, const std::string& text)
{
    if (text.size() >= outSize) {
        out[0] = 0;
        return false;
    }
    memcpy(out, text.c_str(), text.size() + 1);
    return true;
}

const char* returnBounded(char* out, size_t outSize, const std::string& text, const char* what)
{
    if (!copyBounded(out, outSize, text))
        taPrint(ETALOG_WARN, "%s: path longer than %d characters", what, static_cast<int>(outSize) - 1);
    return out;
}

// --- stdio back end ---
FILE* fileOf(tfile* stream) { return static_cast<FILE*>(stream->handle); }

int stdioSeek(tfile* stream, long offset, int whence)
{
    int origin = whence == 0 ? SEEK_SET : whence == 1 ? SEEK_CUR : whence == 2 ? SEEK_END : -1;
    if (origin < 0)
        return -1;
    return fseek(fileOf(stream), offset, origin) == 0 ? 0 : -1;
}
size_t stdioRead(void* buffer, size_t size, size_t count, tfile* stream)
{
    return fread(buffer, size, count, fileOf(stream));
}
int stdioGetc(tfile* stream)
{
    int c = fgetc(fileOf(stream));
    return c == EOF ? -1 : c;
}
char* stdioGets(char* buffer, int length, tfile* stream)
{
    if (!buffer || length <= 0)
        return nullptr;
    return fgets(buffer, length, fileOf(stream));
}
long stdioTell(tfile* stream) { return ftell(fileOf(stream)); }
int stdioClose(tfile* stream)
{
    fclose(fileOf(stream));
    delete stream;
    return 0;
}

tfile* wrapStdio(FILE* file)
{
    return new tfile{file, stdioSeek, stdioRead, stdioGetc, stdioGets, stdioTell, stdioClose};
}

bool isReadMode(const char* mode) { return mode && mode[0] == 'r' && !strchr(mode, '+'); }

tfile* stdioOpen(const char* path, const char* mode)
{
    std::string normalized = taNormalizeSlashes(path);
    std::string absolute = taGetAbsolutePath(normalized.c_str());
    if (absolute.empty())
        return nullptr;
    FILE* file = fopen(absolute.c_str(), mode);
    if (!file && errno == ENOENT && isReadMode(mode)) {
        std::string resolved;
        if (taPlatformResolvePathCase(absolute, resolved))
            file = fopen(resolved.c_str(), mode);
    }
    return file ? wrapStdio(file) : nullptr;
}

} // namespace

std::string taResolveDiskPath(const char* path)
{
    const std::string normalized = taNormalizeSlashes(path ? path : "");
    if (normalized.empty() || taPlatformPathKind(normalized.c_str()) != ETAPATH_MISSING)
        return normalized;
    std::string resolved;
    if (!taPlatformResolvePathCase(normalized, resolved))
        return normalized;
    return resolved;
}

// --- Streams ---
tfile* tfile_open(const char* path, const char* mode)
{
    if (!path || !mode || !path[0])
        return nullptr;
    if (g_hooks.open)
        return g_hooks.open(path, mode, g_hooks.openUser);
    return stdioOpen(path, mode);
}

int tfile_seek(tfile* stream, long offset, int whence) { return stream->seek(stream, offset, whence); }
size_t tfile_read(void* buffer, size_t size, size_t count, tfile* stream)
{
    return stream->read(buffer, size, count, stream);
}
int tfile_getc(tfile* stream) { return stream->getc(stream); }
char* tfile_gets(char* buffer, int length, tfile* stream) { return stream->gets(buffer, length, stream); }
long tfile_tell(tfile* stream) { return stream->tell(stream); }
int tfile_close(tfile* stream) { return stream ? stream->close(stream) : 0; }

// --- Hooks ---
void taSetOpenHook(TaOpenHook open, void* user)
{
    g_hooks.open = open;
    g_hooks.openUser = user;
}

void taSetDirectoryHooks(TaSetDirectoryHook set, TaAppendDirectoryHook append, TaGetDirectoryHook get, void* user)
{
    g_hooks.setDirectory = set;
    g_hooks.appendDirectory = append;
    g_hooks.getDirectory = get;
    g_hooks.directoryUser = user;
}

void taSetPathHooks(TaFileDirHook fileDir, TaFileNameHook fileName, TaAbsolutePathHook absolutePath, void* user)
{
    g_hooks.fileDir = fileDir;
    g_hooks.fileName = fileName;
    g_hooks.absolutePath = absolutePath;
    g_hooks.pathUser = user;
}

void taClearFileHooks() { g_hooks = STaFileHooks(); }

// --- Helpers ---
int taFileExists(const char* path)
{
    tfile* stream = tfile_open(path, "rb");
    if (!stream)
        return 0;
    tfile_close(stream);
    return 1;
}

STaFileBlock taReadWholeFile(const char* path)
{
    STaFileBlock block;
    TaFilePtr stream(tfile_open(path, "rb"));
    if (!stream)
        return block;
    if (tfile_seek(stream.get(), 0, 2) != 0)
        return block;
    long size = tfile_tell(stream.get());
    if (size < 0 || tfile_seek(stream.get(), 0, 0) != 0)
        return block;
    std::unique_ptr<char[]> data(new (std::nothrow) char[static_cast<size_t>(size) + 1]);
    if (!data)
        return block;
    if (size > 0 && tfile_read(data.get(), 1, static_cast<size_t>(size), stream.get()) != static_cast<size_t>(size))
        return block;
    data[static_cast<size_t>(size)] = 0;
    block.data = std::move(data);
    block.size = static_cast<size_t>(size);
    return block;
}

const char* taFindFile(const char* name)
{
    if (!name)
        return "";
    auto tryCandidate = [](const std::string& candidate) {
        if (candidate.size() >= sizeof(g_findBuffer) || !taFileExists(candidate.c_str()))
            return false;
        copyBounded(g_findBuffer, sizeof(g_findBuffer), candidate);
        return true;
    };
    std::string file = name;
    if (tryCandidate(file))
        return g_findBuffer;
    for (int i = 0; taSearchSubdirectories[i]; ++i)
        if (tryCandidate(std::string(taSearchSubdirectories[i]) + "/" + file))
            return g_findBuffer;
    std::string data = g_dataDirectory;
    if (tryCandidate(data + file))
        return g_findBuffer;
    for (int i = 0; taSearchSubdirectories[i]; ++i)
        if (tryCandidate(data + taSearchSubdirectories[i] + "/" + file))
            return g_findBuffer;
    if (!copyBounded(g_findBuffer, sizeof(g_findBuffer), file))
        taPrint(ETALOG_WARN, "taFindFile: name longer than %d characters", TA_PATH_BUFFER - 1);
    return g_findBuffer;
}

// --- Directories ---
void taSetWorkingDirectory(const char* directory)
{
    if (!directory)
        directory = "";
    if (g_hooks.setDirectory) {
        g_hooks.setDirectory(directory, g_hooks.directoryUser);
        return;
    }
    if (strlen(directory) >= sizeof(g_workingDirectory)) {
        taPrint(ETALOG_ERROR, "taSetWorkingDirectory: directory longer than %d characters",
                TA_PATH_BUFFER - 1);
        return;
    }
    copyBounded(g_workingDirectory, sizeof(g_workingDirectory), directory);
}

void taAppendWorkingDirectory(const char* subdirectory)
{
    if (!subdirectory)
        return;
    if (g_hooks.appendDirectory) {
        g_hooks.appendDirectory(subdirectory, g_hooks.directoryUser);
        return;
    }
    std::string next = g_workingDirectory;
    if (!next.empty() && !isSeparator(next.back()))
        next += "/";
    next += subdirectory;
    if (next.size() >= sizeof(g_workingDirectory)) {
        // Keep the old directory rather than a cut one.
        taPrint(ETALOG_ERROR, "taAppendWorkingDirectory: directory longer than %d characters",
                TA_PATH_BUFFER - 1);
        return;
    }
    copyBounded(g_workingDirectory, sizeof(g_workingDirectory), next);
}

const char* taGetWorkingDirectory()
{
    if (g_hooks.getDirectory)
        return g_hooks.getDirectory(g_hooks.directoryUser);
    return g_workingDirectory;
}

void taSetDataDirectory(const char* directory)
{
    if (!directory)
        directory = "";
    // An over-long directory is refused; the old one stays.
    if (strlen(directory) >= sizeof(g_dataDirectory)) {
        taPrint(ETALOG_ERROR, "Data directory '%.64s...' is longer than %d characters", directory,
                TA_DATA_DIRECTORY_SIZE - 1);
        return;
    }
    copyBounded(g_dataDirectory, sizeof(g_dataDirectory), directory);
}

const char* taGetDataDirectory() { return g_dataDirectory; }

// --- Paths ---
std::string taNormalizeSlashes(const std::string& path)
{
    std::string out = path;
    for (char& c : out)
        if (c == '\\')
            c = '/';
    return out;
}

std::string taNormalizePath(const std::string& path)
{
    const std::string p = taNormalizeSlashes(path);
    const bool absolute = !p.empty() && p[0] == '/';
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= p.size()) {
        size_t end = p.find('/', start);
        if (end == std::string::npos)
            end = p.size();
        const std::string part = p.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty() && parts.back() != "..")
                parts.pop_back();
            else if (!absolute)
                parts.push_back(part);
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out = absolute ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i)
        out += (i ? "/" : "") + parts[i];
    return out.empty() ? "." : out;
}

bool taIsAbsolutePath(const char* path)
{
    if (!path || !path[0])
        return false;
    if (path[0] == '/' || path[0] == '\\')
        return true;
    return ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':';
}

std::string taFileDirOf(const std::string& path)
{
    for (size_t i = path.size(); i > 0; --i)
        if (isSeparator(path[i - 1]))
            return path.substr(0, i);
    return std::string();
}

std::string taFileNameOf(const std::string& path, bool keepExtension)
{
    std::string name = path.substr(taFileDirOf(path).size());
    if (!keepExtension) {
        size_t dot = name.rfind('.');
        if (dot != std::string::npos)
            name.resize(dot);
    }
    return name;
}

const char* taGetFileDir(const char* path)
{
    if (!path)
        path = "";
    if (g_hooks.fileDir)
        return g_hooks.fileDir(path, g_hooks.pathUser);
    return returnBounded(g_fileDirBuffer, sizeof(g_fileDirBuffer), taFileDirOf(path), "taGetFileDir");
}

const char* taGetFileName(const char* path, int keepExtension)
{
    if (!path)
        path = "";
    if (g_hooks.fileName)
        return g_hooks.fileName(path, keepExtension, g_hooks.pathUser);
    return returnBounded(g_fileNameBuffer, sizeof(g_fileNameBuffer), taFileNameOf(path, keepExtension != 0),
                         "taGetFileName");
}

const char* taGetAbsolutePath(const char* path)
{
    if (!path)
        path = "";
    if (g_hooks.absolutePath)
        return g_hooks.absolutePath(path, g_hooks.pathUser);
    std::string result;
    if (taIsAbsolutePath(path)) {
        result = path;
    } else {
        result = taGetWorkingDirectory();
        if (!result.empty() && !isSeparator(result.back()))
            result += "/";
        result += path;
    }
    return returnBounded(g_absoluteBuffer, sizeof(g_absoluteBuffer), result, "taGetAbsolutePath");
}
