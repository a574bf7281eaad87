// The Irrlicht back end of the file layer and archive mounting.
#include "files/TaFileIrr.h"

#include "core/TaLog.h"
#include "files/TaFile.h"
#include "platform/TaPlatform.h"

#include <irrlicht.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace irr;

namespace {

struct STaFilesystemState {
    int mode = ETAFS_DEFAULT;
    io::IFileSystem* fileSystem = nullptr; // grabbed while attached
    char archivePath[TA_PATH_BUFFER] = {};
    const void* archiveBlock = nullptr;
    size_t archiveSize = 0;
};

STaFilesystemState g_fs;
char g_workingDirectoryBuffer[TA_PATH_BUFFER];
char g_dirBuffer[TA_PATH_BUFFER];
char g_nameBuffer[TA_PATH_BUFFER];
char g_absoluteBuffer[TA_PATH_BUFFER];

const char* intoBuffer(char* buffer, const std::string& text)
{
    if (text.size() >= TA_PATH_BUFFER) {
        taPrint(ETALOG_WARN, "file layer: path longer than %d characters", TA_PATH_BUFFER - 1);
        buffer[0] = 0;
        return buffer;
    }
    memcpy(buffer, text.c_str(), text.size() + 1);
    return buffer;
}

io::IReadFile* readFileOf(tfile* stream) { return static_cast<io::IReadFile*>(stream->handle); }

int irrSeek(tfile* stream, long offset, int whence)
{
    io::IReadFile* file = readFileOf(stream);
    switch (whence) {
    case 0: return file->seek(offset, false) ? 0 : -1;
    case 1: return file->seek(offset, true) ? 0 : -1;
    case 2: return file->seek(file->getSize() + offset, false) ? 0 : -1;
    default:
        printf("tfile_irr_fseek: unsupported whence\n");
        return -1;
    }
}

// Returns items read, like the stdio back end, so callers behave the same on both.
size_t irrRead(void* buffer, size_t size, size_t count, tfile* stream)
{
    if (size == 0 || count == 0)
        return 0;
    if (count > SIZE_MAX / size)
        return 0;
    size_t total = size * count;
    size_t done = 0;
    char* out = static_cast<char*>(buffer);
    while (done < total) {
        size_t chunk = total - done;
        if (chunk > static_cast<size_t>(INT_MAX))
            chunk = static_cast<size_t>(INT_MAX);
        s32 n = readFileOf(stream)->read(out + done, static_cast<u32>(chunk));
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done / size;
}

int irrGetc(tfile* stream)
{
    unsigned char c;
    return readFileOf(stream)->read(&c, 1) == 1 ? c : -1;
}

char* irrGets(char* buffer, int length, tfile* stream)
{
    if (!buffer || length <= 0)
        return nullptr;
    int n = 0;
    while (n < length - 1) {
        int c = irrGetc(stream);
        if (c < 0)
            break;
        buffer[n++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    buffer[n] = 0;
    return n > 0 ? buffer : nullptr;
}

long irrTell(tfile* stream) { return readFileOf(stream)->getPos(); }

int irrClose(tfile* stream)
{
    readFileOf(stream)->drop();
    delete stream;
    return 0;
}

io::IFileSystem* fsOf(void* user) { return static_cast<io::IFileSystem*>(user); }

// A path against the file system's working directory. Not Irrlicht's getAbsolutePath: for a path
// that does not exist it answers the part that realpath resolved before giving up.
std::string absoluteIn(io::IFileSystem* fs, const std::string& path)
{
    if (path.empty() || path[0] == '/')
        return path;
    std::string directory = fs->getWorkingDirectory().c_str();
    if (directory.empty() || directory.back() != '/')
        directory += '/';
    return directory + path;
}

bool archiveMounted();

// With an archive mounted, the working directory is a folder of the archive (Irrlicht keeps it as
// a string) but the archive answers names from its root only: a relative name is first looked
// for under that folder. "" when there is no such folder to try.
std::string inArchiveFolder(io::IFileSystem* fs, const std::string& path)
{
    if (!archiveMounted() || path.empty() || path[0] == '/')
        return "";
    std::string directory = fs->getWorkingDirectory().c_str();
    while (!directory.empty() && (directory[0] == '/' || directory.compare(0, 2, "./") == 0))
        directory.erase(0, directory[0] == '/' ? 1 : 2);
    if (directory.empty() || directory == ".")
        return "";
    // "folder/../x" is resolved here: the archive knows names, not folders.
    const std::string name = taNormalizePath(directory + "/" + path);
    return name == "." || name.compare(0, 2, "..") == 0 ? "" : name; // nothing, or above the root
}

// Only reading is supported; the mode is ignored.
tfile* irrOpen(const char* path, const char*, void* user)
{
    io::IFileSystem* fs = fsOf(user);
    std::string normalized = taNormalizeSlashes(path);
    const std::string inFolder = inArchiveFolder(fs, normalized);
    io::IReadFile* file = inFolder.empty() ? nullptr : fs->createAndOpenFile(inFolder.c_str());
    if (!file)
        file = fs->createAndOpenFile(normalized.c_str());
    if (!file) {
        // Not in an archive and not on disk as written: try the disk without regard to case.
        const std::string absolute = absoluteIn(fs, normalized);
        std::string resolved;
        if (taPlatformResolvePathCase(absolute, resolved) && taPlatformPathKind(resolved.c_str()) == ETAPATH_FILE)
            file = fs->createAndOpenFile(resolved.c_str());
    }
    if (!file)
        return nullptr;
    return new tfile{file, irrSeek, irrRead, irrGetc, irrGets, irrTell, irrClose};
}

void irrSetDirectory(const char* directory, void* user)
{
    fsOf(user)->changeWorkingDirectoryTo(taNormalizeSlashes(directory).c_str());
}

void irrAppendDirectory(const char* subdirectory, void* user)
{
    fsOf(user)->changeWorkingDirectoryTo(taNormalizeSlashes(subdirectory).c_str());
}

const char* irrGetDirectory(void* user)
{
    return intoBuffer(g_workingDirectoryBuffer, fsOf(user)->getWorkingDirectory().c_str());
}

// Directory and name are pure string operations: the same rules as the stdio back end, so a
// directory always ends with its separator whichever back end is active.
const char* irrFileDir(const char* path, void*) { return intoBuffer(g_dirBuffer, taFileDirOf(path)); }

const char* irrFileName(const char* path, int keepExtension, void*)
{
    return intoBuffer(g_nameBuffer, taFileNameOf(path, keepExtension != 0));
}

const char* irrAbsolutePath(const char* path, void* user)
{
    if (taIsAbsolutePath(path))
        return intoBuffer(g_absoluteBuffer, path);
    return intoBuffer(g_absoluteBuffer, fsOf(user)->getAbsolutePath(taNormalizeSlashes(path).c_str()).c_str());
}

// Windows-written names for the opens Irrlicht makes itself (meshes, images, fonts, the textures
// and material files a mesh names): asked like any archive, it finds a name with "\" or in the
// wrong case through the file layer's rules and opens what it found through the file system again
// (so the mounted archive and the disk are asked as usual). A name that opens as written is left to
// the others. Added once to every file system the layer attaches.
class CTaPathRulesArchive : public io::IFileArchive
{
public:
    explicit CTaPathRulesArchive(io::IFileSystem* fileSystem)
        : m_fileSystem(fileSystem), m_list(fileSystem->createEmptyFileList("", true, false))
    {
    }
    ~CTaPathRulesArchive() override { m_list->drop(); }

    io::IReadFile* createAndOpenFile(const io::path& filename) override
    {
        if (m_busy || filename.empty())
            return nullptr; // a nested open made below
        const std::string asGiven = filename.c_str();
        const std::string normalized = taNormalizeSlashes(asGiven);
        const std::string inFolder = inArchiveFolder(m_fileSystem, normalized);
        if (!inFolder.empty()) {
            m_busy = true;
            io::IReadFile* file = m_fileSystem->createAndOpenFile(inFolder.c_str());
            m_busy = false;
            if (file)
                return file;
        }
        const std::string absolute = absoluteIn(m_fileSystem, normalized);
        const bool onDisk = taPlatformPathKind(absolute.c_str()) == ETAPATH_FILE;
        if (normalized == asGiven && onDisk)
            return nullptr;
        m_busy = true;
        io::IReadFile* file = normalized != asGiven ? m_fileSystem->createAndOpenFile(normalized.c_str()) : nullptr;
        std::string resolved;
        if (!file && !onDisk && taPlatformResolvePathCase(absolute, resolved) &&
            taPlatformPathKind(resolved.c_str()) == ETAPATH_FILE)
            file = m_fileSystem->createAndOpenFile(resolved.c_str());
        m_busy = false;
        return file;
    }
    io::IReadFile* createAndOpenFile(u32) override { return nullptr; }
    const io::IFileList* getFileList() const override { return m_list; }
    io::E_FILE_ARCHIVE_TYPE getType() const override { return io::EFAT_UNKNOWN; }

private:
    io::IFileSystem* m_fileSystem; // not grabbed: it owns this archive
    io::IFileList* m_list;
    bool m_busy = false;
};

void attach(io::IFileSystem* fileSystem)
{
    if (fileSystem == g_fs.fileSystem)
        return;
    if (fileSystem) {
        fileSystem->grab();
        bool present = false;
        for (u32 i = 0; i < fileSystem->getFileArchiveCount(); ++i)
            present |= dynamic_cast<CTaPathRulesArchive*>(fileSystem->getFileArchive(i)) != nullptr;
        if (!present) {
            // Irrlicht 1.8 takes over the reference of an archive added this way (it does not grab).
            CTaPathRulesArchive* rules = new CTaPathRulesArchive(fileSystem);
            if (!fileSystem->addFileArchive(rules))
                rules->drop();
        }
    }
    if (g_fs.fileSystem)
        g_fs.fileSystem->drop();
    g_fs.fileSystem = fileSystem;
}

} // namespace

void taSetupFilesystemStdio()
{
    taPrint(ETALOG_INFO, "setup filesystem stdio");
    taClearFileHooks();
}

void taSetupFilesystemIrr(io::IFileSystem* fileSystem)
{
    if (!fileSystem)
        return;
    attach(fileSystem);
    taSetOpenHook(irrOpen, fileSystem);
    taSetDirectoryHooks(irrSetDirectory, irrAppendDirectory, irrGetDirectory, fileSystem);
    taSetPathHooks(irrFileDir, irrFileName, irrAbsolutePath, fileSystem);
}

int taSetupFilesystem(const void* source, int mode, size_t size)
{
    io::IFileSystem* fs = g_fs.fileSystem;
    if (!fs || !source) {
        taError("taSetupFilesystem: no file system to mount the archive in");
        return -1;
    }
    taPrint(ETALOG_INFO, "setup filesystem irrzip");
    taSetupFilesystemIrr(fs);
    if (mode == ETAFS_ARCHIVE_MEMORY) {
        // Irrlicht's memory files hold a signed 32-bit size.
        io::IReadFile* memory = size <= static_cast<size_t>(INT_MAX)
            ? fs->createMemoryReadFile(const_cast<void*>(source), static_cast<s32>(size), "MyRscFile", false)
            : nullptr;
        if (!memory) {
            taError("taSetupFilesystem: Failed to create file from memory");
            return -1;
        }
        bool added = fs->addFileArchive(memory, true, false, io::EFAT_ZIP, "");
        memory->drop();
        if (!added) {
            taError("taSetupFilesystem: Failed addFileArchive from memory");
            return -1;
        }
    } else if (mode == ETAFS_ARCHIVE_FILE) {
        const char* path = static_cast<const char*>(source);
        if (!fs->addFileArchive(taNormalizeSlashes(path).c_str(), true, false, io::EFAT_ZIP, "")) {
            taError("taSetupFilesystem: Failed addFileArchive '%s'", path);
            return -1;
        }
    } else {
        taError("taSetupFilesystem: unknown mode %d", mode);
        return -1;
    }
    fs->setFileListSystem(io::FILESYSTEM_VIRTUAL);
    return 0;
}

int taMountArchiveFile(const char* path)
{
    if (!path || strlen(path) >= sizeof(g_fs.archivePath)) {
        taError("taSetupFilesystem: Failed addFileArchive '%s'", path ? path : "");
        return -1;
    }
    if (g_fs.fileSystem) {
        if (taSetupFilesystem(path, ETAFS_ARCHIVE_FILE, 0) != 0)
            return -1;
    } else {
        taSetupFilesystemStdio();
    }
    g_fs.mode = ETAFS_ARCHIVE_FILE;
    snprintf(g_fs.archivePath, sizeof(g_fs.archivePath), "%s", path);
    return 0;
}

int taMountArchiveMemory(const void* block, size_t size)
{
    if (g_fs.fileSystem) {
        if (taSetupFilesystem(block, ETAFS_ARCHIVE_MEMORY, size) != 0)
            return -1;
    } else {
        taSetupFilesystemStdio();
    }
    g_fs.mode = ETAFS_ARCHIVE_MEMORY;
    g_fs.archiveBlock = block;
    g_fs.archiveSize = size;
    return 0;
}

int taReapplyFilesystem(io::IFileSystem* fileSystem)
{
    if (!fileSystem)
        return -1;
    attach(fileSystem);
    switch (g_fs.mode) {
    case ETAFS_ARCHIVE_FILE: return taSetupFilesystem(g_fs.archivePath, ETAFS_ARCHIVE_FILE, 0);
    case ETAFS_ARCHIVE_MEMORY: return taSetupFilesystem(g_fs.archiveBlock, ETAFS_ARCHIVE_MEMORY, g_fs.archiveSize);
    default:
        taPrint(ETALOG_INFO, "setup filesystem irrstd");
        taSetupFilesystemIrr(fileSystem);
        return 0;
    }
}

bool taIsArchiveMode() { return g_fs.mode == ETAFS_ARCHIVE_FILE || g_fs.mode == ETAFS_ARCHIVE_MEMORY; }

namespace {
bool archiveMounted() { return taIsArchiveMode(); }
} // namespace
int taGetFilesystemMode() { return g_fs.mode; }

void taReleaseFilesystem()
{
    taClearFileHooks();
    attach(nullptr);
    g_fs.mode = ETAFS_DEFAULT;
    g_fs.archivePath[0] = 0;
    g_fs.archiveBlock = nullptr;
    g_fs.archiveSize = 0;
}
