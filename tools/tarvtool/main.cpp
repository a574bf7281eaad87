// tarvtool: the engine's companion for demo makers, without a display.
//
//   tarvtool stamp EXECUTABLE ARCHIVE [NUMBER]   append a ZIP archive as packed data (500 or 501)
//   tarvtool packinfo EXECUTABLE                 what packed data an executable carries
//   tarvtool fx dump FILE [-D NAME[=VALUE]]...   how the engine reads an effect file
//   tarvtool shader FILE ENTRY vs|ps [-D N[=V]]...  the GLSL and reflection of an HLSL shader
//   tarvtool tf ...                              TF documents: dump, totext, tobin, stat, eval
//   tarvtool scene FILE                          a scene loaded headless, and what it made
//   tarvtool tex FILE [-volume|-r32f|-nomips]    the texture the texture manager makes of a file
//   tarvtool tex gen RandRot|RandVec OUT.png     a generated texture as a picture
//   tarvtool datafiles [DIRECTORY]               the renderers' files and where the engine finds them
//   tarvtool scriptapi                           the script API's reference page (docs/script-api.md)
//   tarvtool sendframe WINDOW-OR-PID FRAME       make a scene viewer beside the modeller show a frame
//                                                (the one command that needs a display)
//   tarvtool zip ARCHIVE BASEDIR [ENTRY=]FILE...  write a ZIP archive with the engine's writer; each
//                                                FILE below BASEDIR is stored under its own path or
//                                                under ENTRY
#include "core/TaLog.h"
#include "files/TaFile.h"
#include "files/TaPackedData.h"
#include "pack/TaArchiveWriter.h"
#include "pack/TaStamp.h"
#include "render/TaRendererFiles.h"
#include "script/TaScriptHost.h"
#include "tools/tarvtool/FxCommands.h"
#include "tools/tarvtool/SceneCommand.h"
#include "tools/tarvtool/SendFrameCommand.h"
#include "tools/tarvtool/ShaderCommand.h"
#include "tools/tarvtool/TexCommand.h"
#include "tools/tarvtool/TfCommands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

int usage()
{
    fprintf(stderr,
            "usage: tarvtool stamp EXECUTABLE ARCHIVE [500|501]\n"
            "       tarvtool packinfo EXECUTABLE\n"
            "       tarvtool zip ARCHIVE BASEDIR [ENTRY=]FILE...\n"
            "       tarvtool datafiles [DIRECTORY]\n"
            "       tarvtool scriptapi\n"
            "       tarvtool tf (dump|totext|tobin|stat|eval) ...\n"
            "       tarvtool scene FILE\n"
            "       tarvtool fx dump FILE [-D NAME[=VALUE]]...\n"
            "       tarvtool shader FILE ENTRY vs|ps [-D NAME[=VALUE]]...\n"
            "       tarvtool tex FILE [-volume|-r32f|-nomips]\n"
            "       tarvtool tex gen RandRot|RandVec OUT.png\n"
            "       tarvtool sendframe WINDOW-OR-PID FRAME\n");
    return 2;
}

// False, with "cannot open '<path>': <reason>" on standard error, when a file cannot be read.
bool readable(const char* path)
{
    FILE* file = fopen(path, "rb");
    if (!file) {
        fprintf(stderr, "tarvtool: cannot open '%s': %s\n", path, strerror(errno));
        return false;
    }
    fclose(file);
    return true;
}

// A ZIP archive starts with a local file header, or is empty and starts with its end record.
bool isZipArchive(const char* path)
{
    unsigned char magic[4] = {};
    FILE* file = fopen(path, "rb");
    const bool read = file && fread(magic, 1, 4, file) == 4;
    if (file)
        fclose(file);
    return read && magic[0] == 'P' && magic[1] == 'K' &&
           ((magic[2] == 3 && magic[3] == 4) || (magic[2] == 5 && magic[3] == 6));
}

int commandStamp(int argc, char** argv)
{
    if (argc < 4 || argc > 5)
        return usage();
    int number = TA_RESOURCE_PACKED;
    if (argc == 5) {
        if (strcmp(argv[4], "500") == 0)
            number = TA_RESOURCE_PACKED;
        else if (strcmp(argv[4], "501") == 0)
            number = TA_RESOURCE_SHADERS;
        else
            return usage();
    }
    if (!readable(argv[2]) || !readable(argv[3]))
        return 1;
    if (!isZipArchive(argv[3])) {
        fprintf(stderr, "tarvtool: '%s' is not a ZIP archive: only ZIP archives can be packed data\n", argv[3]);
        return 1;
    }
    return taStampResource(argv[2], argv[3], number) == 0 ? 0 : 1;
}

int commandPackInfo(int argc, char** argv)
{
    if (argc != 3)
        return usage();
    if (!readable(argv[2]))
        return 1;
    const std::vector<STaPackTrailer> resources = taReadPackTrailers(argv[2]);
    for (const STaPackTrailer& trailer : resources)
        printf("resource %d: %llu bytes at offset %llu\n", trailer.resourceNumber,
               static_cast<unsigned long long>(trailer.size), static_cast<unsigned long long>(trailer.offset));
    if (!resources.empty())
        return 0;
    std::string dat = taPackedDataFileOf(argv[2]);
    if (taFileExists(dat.c_str())) {
        printf("data file: %s\n", dat.c_str());
        return 0;
    }
    printf("no packed data\n");
    return 1;
}

int commandZip(int argc, char** argv)
{
    if (argc < 5)
        return usage();
    CTaArchiveWriter writer;
    if (!writer.open(argv[2])) {
        fprintf(stderr, "tarvtool: %s\n", writer.error().c_str());
        return 1;
    }
    std::string base = argv[3];
    if (!base.empty() && base.back() != '/')
        base += '/';
    for (int i = 4; i < argc; ++i) {
        std::string file = argv[i];
        std::string entry = file;
        const size_t equals = file.find('=');
        if (equals != std::string::npos) {
            entry = file.substr(0, equals);
            file = file.substr(equals + 1);
        }
        if (!writer.addFile(entry.c_str(), (base + file).c_str())) {
            fprintf(stderr, "tarvtool: %s\n", writer.error().c_str());
            return 1;
        }
    }
    if (!writer.close()) {
        fprintf(stderr, "tarvtool: %s\n", writer.error().c_str());
        return 1;
    }
    return 0;
}

// Lists the renderers' files with where the engine would find them (DIRECTORY as the data
// directory; the current directory is searched first, as the engine does). 1 when one that
// start-up needs is missing.
int commandDataFiles(int argc, char** argv)
{
    if (argc > 3)
        return usage();
    if (argc == 3) {
        std::string directory = argv[2];
        struct stat info;
        if (directory.empty() || stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
            fprintf(stderr, "tarvtool: '%s' is not a directory\n", argv[2]);
            return 1;
        }
        if (directory.back() != '/')
            directory += '/';
        taSetDataDirectory(directory.c_str());
    }
    const std::vector<std::string> found = taLocateRendererFiles();
    static const char* const needs[] = {"needed", "without a curl-noise cache", "for emitters", "optional"};
    int total = 0, foundCount = 0, missingNeeded = 0;
    for (size_t i = 0; taRendererFiles[i].name; ++i) {
        const STaRendererFile& file = taRendererFiles[i];
        printf("%-36s %-28s %s\n  %s\n", file.name, needs[file.need],
               found[i].empty() ? "MISSING" : found[i].c_str(), file.role);
        ++total;
        foundCount += found[i].empty() ? 0 : 1;
        missingNeeded += found[i].empty() && file.need == ETARENDERERFILE_STARTUP ? 1 : 0;
    }
    printf("%d of %d files found; %d that start-up needs %s missing\n", foundCount, total, missingNeeded,
           missingNeeded == 1 ? "is" : "are");
    return missingNeeded ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    if (command == "stamp")
        return commandStamp(argc, argv);
    if (command == "packinfo")
        return commandPackInfo(argc, argv);
    if (command == "zip")
        return commandZip(argc, argv);
    if (command == "datafiles")
        return commandDataFiles(argc, argv);
    if (command == "scriptapi" && argc == 2) {
        fputs(taScriptApiReference().c_str(), stdout);
        return 0;
    }
    if (command == "shader")
        return shaderCommand(argc - 1, argv + 1);
    if (command == "tex")
        return texCommand(argc - 1, argv + 1);
    if (command == "fx")
        return fxCommand(argc - 1, argv + 1);
    if (command == "scene")
        return sceneCommand(argc - 1, argv + 1);
    if (command == "sendframe")
        return sendFrameCommand(argc - 1, argv + 1);
    if (command == "tf") {
        // Messages of the reader go to standard error, so that dumps on standard output stay clean.
        taSetLogSink([](const char* line, void*) { fputs(line, stderr); }, nullptr);
        return tfCommand(argc - 1, argv + 1);
    }
    return usage();
}
