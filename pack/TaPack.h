// Packing: files gathered by set and pattern into a ZIP archive, and the frame every packing command
// shares (copy of the executable, archive, engine files, stamp or ".dat").
//
// Entry names are paths relative to a base directory with "/" between components and no leading
// "./". A file outside its base directory ("../x") is refused: the packed copy could never read it
// back, and the extraction refuses such names.
#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "pack/TaArchiveWriter.h"

// The file sets, each a list of patterns matched without regard to case.
enum ETaPackSet {
    ETAPACK_SCENE_FILES,    // meshes, morphs and scene documents
    ETAPACK_IMAGES,         // pictures the surfaces and scripts read
    ETAPACK_SHADER_SOURCES, // effect files and their includes
    ETAPACK_SHADER_CACHE,   // compiled shaders
    ETAPACK_MUSIC,
};
const std::vector<const char*>& taPackSetPatterns(ETaPackSet set);
const char* taPackSetName(ETaPackSet set);

// The engine's own folders (under the packing executable's directory) whose files every packed copy
// carries: the shader folders, "textures" and the shader cache.
const std::vector<const char*>& taPackShaderDirectories();

// `path` relative to `base` (both normalised absolute paths); "" with `outside` set when `path` is
// not below `base`.
std::string taPackRelative(const std::string& base, const std::string& path, bool* outside);

// An archive being filled: the entries added, their sizes, every failure reported.
class CTaPackArchive
{
public:
    // Starts the archive at `path` (written on close). `progress`: print a line per set added.
    bool open(const char* path, bool progress);
    // Adds the disk file `file` under `entryName`. A name already in the archive is skipped (true).
    bool addDiskFile(const std::string& file, const std::string& entryName);
    // Reports a failure (error, counted) and returns false.
    bool fail(const char* format, ...);
    // Prints one progress line for files added since the last call, named by `what`.
    void progressLine(const char* what);
    bool close();

    int files() const { return m_files; }
    uint64_t bytes() const { return m_bytes; }
    int failures() const { return m_failures; }
    const std::set<std::string>& entries() const { return m_entries; }
    const std::string& path() const { return m_path; }

private:
    CTaArchiveWriter m_writer;
    std::string m_path;
    std::set<std::string> m_entries;
    int m_files = 0, m_failures = 0;
    uint64_t m_bytes = 0;
    int m_lineFiles = 0;
    uint64_t m_lineBytes = 0;
    bool m_progress = false;
};

// Adds `file` (relative to `baseDirectory` or absolute) under `entryName`: 0 or -1 (reported).
int taAddFileToArchive(const char* baseDirectory, const char* file, CTaPackArchive* archive, const char* entryName);
// Adds the files of `directory` (relative to `baseDirectory`) matching `pattern`, named relative to
// `baseDirectory`; with `recursive`, those of its subfolders too. Directories themselves never
// match. A missing directory adds nothing. 0, or -1 when a file could not be added (each reported,
// the others still added) or the directory lies outside the base directory.
int taAddFilesToArchive(CTaPackArchive* archive, const char* directory, const char* baseDirectory, const char* pattern,
                        bool recursive = false);
// The same for every pattern of a set.
int taAddFileSetToArchive(CTaPackArchive* archive, const char* directory, const char* baseDirectory, ETaPackSet set,
                          bool recursive = false);

// The files one command packs besides the engine's: returns the number of failures (each reported).
using TaPackOwnFiles = std::function<int(CTaPackArchive& archive)>;

// One packing command.
struct STaPackJob {
    std::string output;             // the copy of the executable to write
    std::string engine;             // the executable copied (the running one)
    std::string engineDirectory;    // where the engine's own folders are
    int resource = 500;             // the resource stamped
    bool dataFile = false;          // leave the archive as ".dat" beside the copy instead of stamping
    bool withCache = true;          // add the shader cache folder
    TaPackOwnFiles ownFiles;        // may be empty
};

// Runs the frame: copies the engine to the output, gathers the command's files and the engine's
// folders, and stamps the archive into the copy or leaves it beside it as ".dat". Failures to add
// single files are reported one by one and the rest is still gathered, but then nothing is left
// behind: a half-packed copy would fail on another machine. Prints a summary. 0 or -1.
int taPackRun(const STaPackJob& job);

// Own files of a scene document: its meshes, morphs and images (its folder and subfolders), the
// document as "tarv.tscn", the LightWave files of "scene_backup".
int taPackSceneFiles(CTaPackArchive& archive, const char* scenePath);

// Own files of a directory: every file of it and its subfolders, named relative to it.
int taPackDirectoryFiles(CTaPackArchive& archive, const char* directory);

// Own files of a list file: each non-empty line "folder/pattern" (or a pattern alone) adds the
// matching files, named relative to the current directory. A list that cannot be read is one failure.
int taPackListFiles(CTaPackArchive& archive, const char* listPath);
// The lines of a list file split into folder and pattern (exposed for tests).
struct STaPackListLine {
    std::string directory, pattern;
};
std::vector<STaPackListLine> taPackParseList(const std::string& text);

// What a demo script names, for its packing: the folders of its parts and extras (in order, without
// duplicates), its shader and music folders.
struct STaPackDemoSources {
    std::vector<std::string> directories;
    std::string shadersDirectory, musicDirectory;
};
// Own files of a demo script: scene files, images and shader sources of each folder (and its
// subfolders), the script's shader folder, the script as "tarv.demo.ini", the music folder's music,
// "loading.png" and "loading.hlsl".
int taPackDemoFiles(CTaPackArchive& archive, const char* scriptPath, const STaPackDemoSources& sources);
