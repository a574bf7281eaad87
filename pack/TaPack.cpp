// Packing: file sets, entry names, the shared frame of the packing commands.
#include "pack/TaPack.h"

#include "core/TaLog.h"
#include "files/TaFile.h"
#include "files/TaPackedData.h"
#include "pack/TaStamp.h"
#include "platform/TaPlatform.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return text;
}

bool isAbsolute(const std::string& path) { return !path.empty() && path[0] == '/'; }

// What is at `path`, links followed (a demo may link a folder kept elsewhere).
ETaPathKind kindOf(const std::string& path)
{
    struct stat st;
    if (stat(path.c_str(), &st) != 0)
        return ETAPATH_MISSING;
    return S_ISREG(st.st_mode) ? ETAPATH_FILE : S_ISDIR(st.st_mode) ? ETAPATH_DIRECTORY : ETAPATH_OTHER;
}


// An absolute, normalised path for `path` taken relative to `base` (itself relative to the current
// directory when not absolute).
std::string absoluteOf(const std::string& base, const std::string& path)
{
    std::string p = taNormalizeSlashes(path);
    if (isAbsolute(p))
        return taNormalizePath(p);
    std::string b = taNormalizeSlashes(base);
    if (!isAbsolute(b))
        b = taPlatformCurrentDirectory() + "/" + b;
    return taNormalizePath(b + "/" + p);
}

// The path on disk: as written, or with its components matched without regard to case.
std::string onDisk(const std::string& path)
{
    if (kindOf(path) != ETAPATH_MISSING)
        return path;
    std::string resolved;
    return taPlatformResolvePathCase(path, resolved) ? resolved : path;
}

uint64_t fileSize(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

std::string formatBytes(uint64_t bytes)
{
    char text[64];
    if (bytes >= 1024 * 1024)
        snprintf(text, sizeof text, "%.1f MB", double(bytes) / (1024.0 * 1024.0));
    else if (bytes >= 1024)
        snprintf(text, sizeof text, "%.1f KB", double(bytes) / 1024.0);
    else
        snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    return text;
}

// Visits the regular files of `directory` (and of its subfolders with `recursive`, those first),
// with their path relative to `directory`.
void walk(const std::string& directory, const std::string& prefix, bool recursive,
          const std::function<void(const std::string& relative, const std::string& full)>& visit,
          std::set<std::pair<dev_t, ino_t>>* seen = nullptr)
{
    // A folder reached twice through links is walked once (a link to a parent would never end).
    std::set<std::pair<dev_t, ino_t>> ownSeen;
    if (!seen)
        seen = &ownSeen;
    struct stat st;
    if (stat(directory.c_str(), &st) != 0 || !seen->insert({st.st_dev, st.st_ino}).second)
        return;
    std::vector<std::string> files, folders;
    taPlatformListDirectory(directory.c_str(), [&](const char* name, bool isDirectory) {
        (isDirectory ? folders : files).push_back(name);
    });
    if (recursive)
        for (const std::string& folder : folders)
            if (folder[0] != '.')
                walk(directory + "/" + folder, prefix + folder + "/", true, visit, seen);
    for (const std::string& file : files)
        visit(prefix + file, directory + "/" + file);
}

} // namespace

const std::vector<const char*>& taPackSetPatterns(ETaPackSet set)
{
    // Besides the engine's own formats, the mesh formats its loaders read (OBJ with its materials,
    // LightWave objects) and the ".hlsli" includes of its effect files.
    static const std::vector<const char*> sets[] = {
        {"*.x", "*.tmorph", "*.lws.ini.bin", "*.tarv", "*.tscn", "*.obj", "*.mtl", "*.lwo"},
        {"*.jpg", "*.png", "*.jpeg", "*.bmp", "*.tga", "*.gif", "*.raw", "*.dds"},
        {"*.hlsl", "*.vsh", "*.psh", "*.fx", "*.dae", "*.xml", "*.h", "*.hlsli"},
        {"*.vso", "*.pso", "*.vso.inf", "*.pso.inf"},
        {"*.mp3", "*.mpg", "*.mpeg"},
    };
    return sets[set];
}

const char* taPackSetName(ETaPackSet set)
{
    static const char* const names[] = {"scene files", "images", "shader sources", "shader cache", "music"};
    return names[set];
}

const std::vector<const char*>& taPackShaderDirectories()
{
    static const std::vector<const char*> directories = {"shaders",      "shadersPP",   "shadersPP2",
                                                          "shadersSURF",  "shadersSURF2", "shadersSURF2/include",
                                                          "shadersHV",    "shadersHV/include"};
    return directories;
}

std::string taPackRelative(const std::string& base, const std::string& path, bool* outside)
{
    *outside = false;
    if (path == base)
        return "";
    const std::string prefix = base == "/" ? "/" : base + "/";
    if (path.compare(0, prefix.size(), prefix) != 0) {
        *outside = true;
        return "";
    }
    return path.substr(prefix.size());
}

bool CTaPackArchive::open(const char* path, bool progress)
{
    m_path = path;
    m_progress = progress;
    m_entries.clear();
    m_files = m_failures = m_lineFiles = 0;
    m_bytes = m_lineBytes = 0;
    if (!m_writer.open(path))
        return fail("Failed to create archive %s: %s", path, m_writer.error().c_str());
    return true;
}

bool CTaPackArchive::fail(const char* format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    taPrint(ETALOG_ERROR, "%s", text);
    ++m_failures;
    return false;
}

bool CTaPackArchive::addDiskFile(const std::string& file, const std::string& entryName)
{
    if (m_entries.count(entryName))
        return true;
    if (!m_writer.addDiskFile(entryName.c_str(), file.c_str()))
        return fail("Failed to add file %s to archive %s (%s)", file.c_str(), m_path.c_str(), m_writer.error().c_str());
    const uint64_t size = fileSize(file);
    m_entries.insert(entryName);
    ++m_files;
    ++m_lineFiles;
    m_bytes += size;
    m_lineBytes += size;
    return true;
}

void CTaPackArchive::progressLine(const char* what)
{
    if (m_progress && m_lineFiles > 0)
        printf("  %-40s %4d files  %10s   (total %d files, %s)\n", what, m_lineFiles, formatBytes(m_lineBytes).c_str(),
               m_files, formatBytes(m_bytes).c_str());
    fflush(stdout);
    m_lineFiles = 0;
    m_lineBytes = 0;
}

bool CTaPackArchive::close()
{
    if (!m_writer.close())
        return fail("Failed to write archive %s: %s", m_path.c_str(), m_writer.error().c_str());
    return true;
}

int taAddFileToArchive(const char* baseDirectory, const char* file, CTaPackArchive* archive, const char* entryName)
{
    const std::string path = onDisk(absoluteOf(baseDirectory ? baseDirectory : ".", file));
    if (kindOf(path.c_str()) != ETAPATH_FILE) {
        archive->fail("Failed to read file path=%s", path.c_str());
        return -1;
    }
    return archive->addDiskFile(path, entryName) ? 0 : -1;
}

namespace {

// The search folder of `directory` below `base`, and its name relative to `base`; false (reported)
// when it lies outside `base`.
bool searchFolder(CTaPackArchive* archive, const char* directory, const char* baseDirectory, std::string* search,
                  std::string* relative)
{
    const std::string base = absoluteOf(".", baseDirectory ? baseDirectory : ".");
    *search = absoluteOf(base, directory ? directory : "");
    bool outside = false;
    *relative = taPackRelative(base, *search, &outside);
    if (outside)
        return archive->fail("The folder '%s' is outside %s: its files would be stored under names that start with "
                             "\"../\", which a packed copy cannot read. Move it below that folder.",
                             directory, base.c_str());
    return true;
}

} // namespace

int taAddFilesToArchive(CTaPackArchive* archive, const char* directory, const char* baseDirectory, const char* pattern,
                        bool recursive)
{
    std::string search, relative;
    if (!searchFolder(archive, directory, baseDirectory, &search, &relative))
        return -1;
    const std::string found = onDisk(search);
    if (kindOf(found.c_str()) != ETAPATH_DIRECTORY)
        return 0;
    // Names as they are on disk, when the folder was written in another case.
    if (found != search) {
        bool outside = false;
        const std::string onDiskRelative =
            taPackRelative(onDisk(absoluteOf(".", baseDirectory ? baseDirectory : ".")), found, &outside);
        if (!outside)
            relative = onDiskRelative;
    }
    const std::string lowerPattern = lower(pattern);
    const std::string prefix = relative.empty() ? "" : relative + "/";
    int result = 0;
    walk(found, "", recursive, [&](const std::string& name, const std::string& full) {
        const size_t slash = name.find_last_of('/');
        const std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);
        if (!taPlatformMatchPattern(lowerPattern.c_str(), lower(leaf).c_str()))
            return;
        if (!archive->addDiskFile(full, prefix + name))
            result = -1;
    });
    return result;
}

int taAddFileSetToArchive(CTaPackArchive* archive, const char* directory, const char* baseDirectory, ETaPackSet set,
                          bool recursive)
{
    std::string search, relative;
    if (!searchFolder(archive, directory, baseDirectory, &search, &relative))
        return -1;
    int result = 0;
    for (const char* pattern : taPackSetPatterns(set))
        if (taAddFilesToArchive(archive, directory, baseDirectory, pattern, recursive) != 0)
            result = -1;
    return result;
}

int taPackSceneFiles(CTaPackArchive& archive, const char* scenePath)
{
    const std::string scene = onDisk(absoluteOf(".", scenePath));
    const size_t slash = scene.find_last_of('/');
    const std::string base = scene.substr(0, slash);
    const int before = archive.failures();
    if (kindOf(scene.c_str()) != ETAPATH_FILE) {
        archive.fail("Failed to read file path=%s", scene.c_str());
        return 1;
    }
    for (const char* pattern : {"*.x", "*.tmorph", "*.obj", "*.mtl", "*.lwo"})
        taAddFilesToArchive(&archive, "", base.c_str(), pattern, true);
    archive.progressLine("scene files");
    taAddFileSetToArchive(&archive, "", base.c_str(), ETAPACK_IMAGES, true);
    archive.progressLine("images");
    taAddFileToArchive(base.c_str(), scene.c_str(), &archive, "tarv.tscn");
    for (const char* pattern : {"*.lwo", "*.lws"})
        taAddFilesToArchive(&archive, "scene_backup", base.c_str(), pattern);
    archive.progressLine("the scene and its LightWave files");
    return archive.failures() - before;
}

int taPackDirectoryFiles(CTaPackArchive& archive, const char* directory)
{
    const std::string found = onDisk(absoluteOf(".", directory));
    if (kindOf(found.c_str()) != ETAPATH_DIRECTORY) {
        archive.fail("Failed to open folder %s", directory);
        return 1;
    }
    const int before = archive.failures();
    taAddFilesToArchive(&archive, "", found.c_str(), "*", true);
    archive.progressLine(directory);
    return archive.failures() - before;
}

std::vector<STaPackListLine> taPackParseList(const std::string& text)
{
    std::vector<STaPackListLine> lines;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
            ++i;
        size_t end = i;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        std::string line = text.substr(i, end - i);
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        i = end;
        if (line.empty())
            continue;
        const size_t cut = line.find_last_of("/\\");
        if (cut == std::string::npos || cut == 0)
            lines.push_back({"", cut == 0 ? line.substr(1) : line});
        else
            lines.push_back({line.substr(0, cut), line.substr(cut + 1)});
    }
    return lines;
}

int taPackListFiles(CTaPackArchive& archive, const char* listPath)
{
    STaFileBlock block = taReadWholeFile(listPath);
    if (!block.data) {
        archive.fail("Failed to read  %s", listPath);
        return 1;
    }
    const int before = archive.failures();
    const std::string text(reinterpret_cast<const char*>(block.data.get()), block.size);
    for (const STaPackListLine& line : taPackParseList(text)) {
        const int filesBefore = archive.files();
        taAddFilesToArchive(&archive, line.directory.c_str(), ".", line.pattern.c_str());
        const std::string what = (line.directory.empty() ? "" : line.directory + "/") + line.pattern;
        if (archive.files() == filesBefore && archive.failures() == before)
            taPrint(ETALOG_WARN, "%s: no file matches %s", listPath, what.c_str());
        archive.progressLine(what.c_str());
    }
    return archive.failures() - before;
}

int taPackDemoFiles(CTaPackArchive& archive, const char* scriptPath, const STaPackDemoSources& sources)
{
    const std::string script = onDisk(absoluteOf(".", scriptPath));
    const std::string base = script.substr(0, script.find_last_of('/'));
    const int before = archive.failures();
    for (const std::string& directory : sources.directories) {
        std::string search, relative;
        if (!searchFolder(&archive, directory.c_str(), base.c_str(), &search, &relative))
            continue;
        if (kindOf(onDisk(search).c_str()) != ETAPATH_DIRECTORY) {
            archive.fail("The folder '%s' named by %s does not exist", directory.c_str(), scriptPath);
            continue;
        }
        for (ETaPackSet set : {ETAPACK_SCENE_FILES, ETAPACK_IMAGES, ETAPACK_SHADER_SOURCES})
            taAddFileSetToArchive(&archive, directory.c_str(), base.c_str(), set, true);
        archive.progressLine(directory.c_str());
    }
    if (!sources.shadersDirectory.empty()) {
        for (const char* pattern : {"*.fx", "*.hlsl", "*.h", "*.hlsli"})
            taAddFilesToArchive(&archive, sources.shadersDirectory.c_str(), base.c_str(), pattern);
        archive.progressLine(sources.shadersDirectory.c_str());
    }
    taAddFileToArchive(base.c_str(), script.c_str(), &archive, "tarv.demo.ini");
    if (!sources.musicDirectory.empty())
        taAddFileSetToArchive(&archive, sources.musicDirectory.c_str(), base.c_str(), ETAPACK_MUSIC);
    for (const char* name : {"loading.png", "loading.hlsl"})
        if (kindOf(onDisk(base + "/" + name).c_str()) == ETAPATH_FILE)
            taAddFileToArchive(base.c_str(), name, &archive, name);
    archive.progressLine("the script, its music and loading screen");
    return archive.failures() - before;
}

int taPackRun(const STaPackJob& job)
{
    const std::string output = absoluteOf(".", job.output);
    char engineReal[4096], outputReal[4096];
    if (realpath(job.engine.c_str(), engineReal) && realpath(output.c_str(), outputReal) &&
        strcmp(engineReal, outputReal) == 0) {
        taError("Cannot pack into %s: it is the running executable itself", output.c_str());
        return -1;
    }
    printf("Packing into %s\n", output.c_str());
    // 1. The copy. A data-file copy must not carry an older packed set: it would be read instead.
    if (taCopyExecutable(job.engine.c_str(), output.c_str()) != 0)
        return -1;
    STaPackTrailer trailer;
    if (job.dataFile && taFindPackTrailer(output.c_str(), TA_RESOURCE_PACKED, &trailer) &&
        taUnstampResource(output.c_str(), TA_RESOURCE_PACKED) != 0) {
        unlink(output.c_str());
        return -1;
    }
    // 2. The archive, named after the copy.
    const std::string dataFile = taPackedDataFileOf(output.c_str());
    const std::string archivePath = job.dataFile ? dataFile : dataFile + ".tmp";
    if (kindOf(archivePath.c_str()) != ETAPATH_MISSING && unlink(archivePath.c_str()) != 0) {
        taError("Failed to delete archive file %s", archivePath.c_str());
        unlink(output.c_str());
        return -1;
    }
    auto abandon = [&](const char* why, int problems) {
        unlink(output.c_str());
        unlink(archivePath.c_str());
        taError("Packing %s failed (%s%s): nothing was written", output.c_str(), why,
                problems > 0 ? (", " + std::to_string(problems) + " problem(s) listed above").c_str() : "");
        return -1;
    };
    CTaPackArchive archive;
    if (!archive.open(archivePath.c_str(), true))
        return abandon("the archive could not be made", 0);
    // 3. The command's own files.
    if (job.ownFiles)
        job.ownFiles(archive);
    // 4. The engine's folders, named relative to the engine's directory.
    const char* engineDirectory = job.engineDirectory.c_str();
    if (job.withCache) {
        taAddFileSetToArchive(&archive, "shadersCache", engineDirectory, ETAPACK_SHADER_CACHE);
        archive.progressLine("shadersCache");
    }
    for (const char* directory : taPackShaderDirectories()) {
        taAddFileSetToArchive(&archive, directory, engineDirectory, ETAPACK_SHADER_SOURCES);
        archive.progressLine(directory);
    }
    taAddFileSetToArchive(&archive, "textures", engineDirectory, ETAPACK_IMAGES);
    archive.progressLine("textures");
    if (archive.failures() > 0)
        return abandon("some files could not be packed", archive.failures());
    if (archive.files() == 0)
        return abandon("there is nothing to pack", 0);
    if (!archive.close())
        return abandon("the archive could not be written", 0);
    const uint64_t archiveSize = fileSize(archivePath);
    // 5. Stamp, or leave the archive beside the copy.
    if (!job.dataFile) {
        if (taStampResource(output.c_str(), archivePath.c_str(), job.resource) != 0)
            return abandon("the archive could not be stamped", 0);
        unlink(archivePath.c_str());
        printf("Packed %d files (%s, %s compressed) into %s as resource %d\n", archive.files(),
               formatBytes(archive.bytes()).c_str(), formatBytes(archiveSize).c_str(), output.c_str(), job.resource);
    } else {
        printf("Packed %d files (%s, %s compressed) into %s beside %s\n", archive.files(),
               formatBytes(archive.bytes()).c_str(), formatBytes(archiveSize).c_str(), dataFile.c_str(), output.c_str());
    }
    fflush(stdout);
    return 0;
}
