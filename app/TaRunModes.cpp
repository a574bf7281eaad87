// Start-up and dispatch.
#include "app/TaRunModes.h"

#include "engine/TaDialogs.h"
#include "app/TaDialogsGui.h"
#include "engine/TaEngine.h"
#include "core/TaLog.h"
#include "app/TaPackCommands.h"
#include "app/TaProcess.h"
#include "files/TaExtract.h"
#include "files/TaFile.h"
#include "files/TaFileIrr.h"
#include "files/TaPackedData.h"
#include "platform/TaPlatform.h"

#include <cstring>
#include <memory>

namespace {

TaRunModeFunction g_runModes[ETAMODE_SCRIPT + 1] = {};

// The unscrambled archive of a packed run: the mounted file system reads it in place until exit.
STaFileBlock g_packedArchive;

bool isOneOf(const char* text, const char* const* names)
{
    for (; *names; ++names)
        if (strcmp(text, *names) == 0)
            return true;
    return false;
}

int reportMissingMode(int mode, const char* file)
{
    taError("The %s is not part of this build yet, so '%s' cannot be opened", taRunModeName(mode),
            file ? file : "");
    return -1;
}

// Starts the engine for a run mode and brings its window up: 0 or -1 (logged by the start-up).
int startEngine(const STaSetupParams& setup)
{
    if (taSetup(setup) != 0)
        return -1;
    taShowWindow();
    taRestoreWindow();
    return 0;
}

// Runs a mode on a started engine and shuts the engine down afterwards. A mode this build lacks
// is reported once the engine has started, so that start-up problems surface first.
int runStartedMode(const STaRunRequest& request)
{
    if (!taHasRunMode(request.mode)) {
        const int result = reportMissingMode(request.mode, request.file);
        taShutdown();
        return result;
    }
    const int result = g_runModes[request.mode](request);
    taShutdown();
    return result;
}

// Run mode 4: mount the packed archive, read the setup from disk, run what the archive holds.
int runPacked(const STaCommandLine& commandLine)
{
    const char* exe = taGetExePath();
    STaPackTrailer trailer;
    const bool hasResource = taFindPackTrailer(exe, TA_RESOURCE_PACKED, &trailer);
    const std::string datFile = taPackedDataFileOf(exe);
    if (hasResource) {
        g_packedArchive = taLoadPackedResource(exe, TA_RESOURCE_PACKED);
        if (!g_packedArchive.data) {
            taError("Failed to load resources from executable");
            return -1;
        }
        if (taMountArchiveMemory(g_packedArchive.data.get(), g_packedArchive.size) != 0)
            return -1;
    } else if (taPlatformPathKind(datFile.c_str()) == ETAPATH_FILE) {
        if (taMountArchiveFile(datFile.c_str()) != 0)
            return -1;
    } else {
        taError("Resources don't exist");
        return -1;
    }
    STaSetupParams setup;
    if (taReadSetup("tarv-setup.ini", "/", nullptr, true, &setup, commandLine.driver, commandLine.audio) != 0)
        return -1;
    if (startEngine(setup) != 0)
        return -1;
    // The archive is mounted now: what it holds decides the mode.
    STaRunRequest request{ETAMODE_NONE, nullptr, &commandLine, &setup, STaViewerOptions{0, 0, 0, 0}};
    if (taFileExists("tarv.demo.ini")) {
        request.mode = ETAMODE_DEMO;
        request.file = "tarv.demo.ini";
    } else if (taFileExists("tarv.tscn")) {
        request.mode = ETAMODE_SCENE_VIEWER;
        request.file = "tarv.tscn";
    } else if (taFileExists("main.lua")) {
        request.mode = ETAMODE_SCRIPT;
        request.file = "main.lua";
    } else {
        taError("The packed data holds none of tarv.demo.ini, tarv.tscn and main.lua");
        taShutdown();
        return -1;
    }
    return runStartedMode(request) == 0 ? 0 : -1;
}

} // namespace

void taSetRunMode(int mode, TaRunModeFunction function)
{
    if (mode >= ETAMODE_OBJECT_VIEWER && mode <= ETAMODE_SCRIPT)
        g_runModes[mode] = function;
}

bool taHasRunMode(int mode)
{
    return mode >= ETAMODE_OBJECT_VIEWER && mode <= ETAMODE_SCRIPT && g_runModes[mode] != nullptr;
}

bool taIsPackingCommand(const char* argument)
{
    static const char* const commands[] = {"-demoexe", "-demodat", "-direxe", "-dirdat", "-dirlistexe", nullptr};
    return argument && isOneOf(argument, commands);
}

int taMain(int argc, char** argv)
{
    taSysInit(argc, argv);
    // With a window system, message boxes and dialogs are windows; without one they go to
    // standard error and count as cancelled.
    taInstallGuiDialogs();
    const int operands = argc - 1;

    // -binary: load a scene document in the scene viewer and stop, without setup or display.
    if (argc >= 2 && strcmp(argv[1], "-binary") == 0) {
        const char* file = argc >= 3 ? argv[2] : nullptr;
        if (!taHasRunMode(ETAMODE_SCENE_VIEWER))
            return reportMissingMode(ETAMODE_SCENE_VIEWER, file);
        STaCommandLine commandLine = taDefaultCommandLine();
        STaRunRequest request{ETAMODE_SCENE_VIEWER, file, &commandLine, nullptr,
                              STaViewerOptions{0x23, 0, 0, 0}};
        // A scene that does not load fails the run (exit status 255), as in the other modes.
        return g_runModes[ETAMODE_SCENE_VIEWER](request) == 0 ? 0 : -1;
    }

    // Packing commands never start the display.
    if ((operands == 3 && taIsPackingCommand(argv[1])) || (operands == 2 && strcmp(argv[1], "-exersc") == 0)) {
        // A packing that failed anywhere fails the run (exit status 255).
        return taRunPackingCommand(argc, argv) == 0 ? 0 : -1;
    }

    // An executable that carries packed data runs it, whatever else the command line says.
    if (taHasPackedData(taGetExePath())) {
        if (operands == 1 && strcmp(argv[1], "-extract") == 0)
            return taExtractPackedScene(taGetExePath()) == 0 ? 0 : -1;
        STaCommandLine commandLine = taDefaultCommandLine();
        // A packed demo can still be captured to frames or a video: of the arguments, only the
        // capture options are read.
        STaCommandLine given = taDefaultCommandLine();
        if (taParseOptions(argc, argv, &given) == 0) {
            memcpy(commandLine.captureBase, given.captureBase, sizeof(commandLine.captureBase));
            memcpy(commandLine.captureVideo, given.captureVideo, sizeof(commandLine.captureVideo));
            commandLine.captureFps = given.captureFps;
            commandLine.captureFirst = given.captureFirst;
            commandLine.captureLast = given.captureLast;
        }
        taSetCommandLine(commandLine);
        return runPacked(commandLine);
    }
    if (operands == 1 && strcmp(argv[1], "-extract") == 0) {
        taError("-extract: this executable carries no packed scene");
        return -1;
    }

    STaCommandLine commandLine = taDefaultCommandLine();
    if (taParseOptions(argc, argv, &commandLine) != 0)
        return -1;
    taSetCommandLine(commandLine);

    const char* file = commandLine.file[0] ? commandLine.file : nullptr;
    if (!file) {
        file = taFileRequester("Open Tarv file", taFileRequesterFilters);
        if (!file)
            return -1;
    }
    const int mode = taClassifyFile(file);
    if (mode == ETAMODE_NONE) {
        taError("File format of '%s' is not supported", file);
        return -1;
    }
    STaRunRequest request{mode, file, &taGetCommandLine(), nullptr, commandLine.viewer};
    STaSetupParams setup;
    if (mode == ETAMODE_OBJECT_VIEWER || mode == ETAMODE_SCENE_VIEWER || mode == ETAMODE_DEMO) {
        if (taReadSetup("tarv-setup.ini", taGetExeDirectory(), &commandLine.screenMode,
                        mode == ETAMODE_DEMO && !commandLine.check,
                        &setup, commandLine.driver, commandLine.audio) != 0)
            return -1;
        request.setup = &setup;
        if (startEngine(setup) != 0)
            return -1;
        // A mode that failed, or a lost device, is a failure of the run (exit status 255).
        const int result = runStartedMode(request);
        return result != 0 || taIsDeviceLost() ? -1 : 0;
    }
    // The script host reads no setup: the script starts the engine itself.
    if (!taHasRunMode(mode))
        return reportMissingMode(mode, file);
    taSetDataDirectory(taGetExeDirectory());
    const int result = g_runModes[mode](request);
    taShutdown();
    return result != 0 || taIsDeviceLost() ? -1 : 0;
}
