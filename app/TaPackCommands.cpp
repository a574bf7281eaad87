// The packing commands.
#include "app/TaPackCommands.h"

#include "app/TaProcess.h"
#include "core/TaLog.h"
#include "demo/TaDemo.h"
#include "files/TaPackedData.h"

#include <cstring>
#include <memory>
#include <strings.h>

namespace {

constexpr int kMaxDirectories = 255;

STaPackJob job(const char* output, int dataFile)
{
    STaPackJob job;
    job.output = output;
    job.engine = taGetExePath();
    job.engineDirectory = taGetExeDirectory();
    job.dataFile = dataFile != 0;
    return job;
}

} // namespace

int taPackDemoSources(const char* script, STaPackDemoSources* sources)
{
    std::unique_ptr<STaDemo> demo(new STaDemo());
    if (taDemoParse(demo.get(), script) != 0) {
        taError("Failed to load ini file %s", script);
        return -1;
    }
    *sources = STaPackDemoSources();
    auto add = [sources](const char* directory) {
        if (!directory[0])
            return true;
        for (const std::string& known : sources->directories)
            if (strcasecmp(known.c_str(), directory) == 0)
                return true;
        if (int(sources->directories.size()) >= kMaxDirectories) {
            taError("Reached max directories");
            return false;
        }
        sources->directories.push_back(directory);
        return true;
    };
    for (int p = 0; p < demo->partCount; ++p) {
        const STaDemoPart& part = demo->parts[p];
        if (!add(part.directory))
            return -1;
        for (int e = 0; e < part.extraCount; ++e)
            if (!add(part.extras[e].directory))
                return -1;
    }
    sources->shadersDirectory = demo->shadersDirectory;
    sources->musicDirectory = demo->musicDirectory;
    return 0;
}

int taPackDemoExe(const char* output, const char* file, int dataFile)
{
    STaPackJob packing = job(output, dataFile);
    if (strcasestr(file, ".tscn")) {
        const std::string scene = file;
        packing.ownFiles = [scene](CTaPackArchive& archive) { return taPackSceneFiles(archive, scene.c_str()); };
    } else {
        STaPackDemoSources sources;
        if (taPackDemoSources(file, &sources) != 0)
            return -1;
        const std::string script = file;
        packing.ownFiles = [script, sources](CTaPackArchive& archive) {
            return taPackDemoFiles(archive, script.c_str(), sources);
        };
    }
    return taPackRun(packing);
}

int taPackDirExe(const char* output, const char* directory, int dataFile)
{
    STaPackJob packing = job(output, dataFile);
    const std::string folder = directory;
    packing.ownFiles = [folder](CTaPackArchive& archive) { return taPackDirectoryFiles(archive, folder.c_str()); };
    return taPackRun(packing);
}

int taPackDirListExe(const char* output, const char* listFile)
{
    STaPackJob packing = job(output, 0);
    const std::string list = listFile;
    packing.ownFiles = [list](CTaPackArchive& archive) { return taPackListFiles(archive, list.c_str()); };
    return taPackRun(packing);
}

int taPackShadersExe(const char* output)
{
    STaPackJob packing = job(output, 0);
    packing.resource = TA_RESOURCE_SHADERS;
    packing.withCache = false;
    return taPackRun(packing);
}

int taRunPackingCommand(int argc, char** argv)
{
    // Packing runs from a terminal, without display: problems are listed there, not in windows.
    taDisableMessageBoxes();
    const char* command = argv[1];
    if (argc == 3 && strcmp(command, "-exersc") == 0)
        return taPackShadersExe(argv[2]);
    if (argc != 4)
        return -1;
    if (strcmp(command, "-demoexe") == 0 || strcmp(command, "-demodat") == 0)
        return taPackDemoExe(argv[2], argv[3], strcmp(command, "-demodat") == 0);
    if (strcmp(command, "-direxe") == 0 || strcmp(command, "-dirdat") == 0)
        return taPackDirExe(argv[2], argv[3], strcmp(command, "-dirdat") == 0);
    if (strcmp(command, "-dirlistexe") == 0)
        return taPackDirListExe(argv[2], argv[3]);
    return -1;
}
