// The engine's entry: the run modes this build carries, then start-up and dispatch.
#include "app/TaObjectViewer.h"
#include "app/TaRunModes.h"
#include "app/TaSceneViewer.h"
#include "demo/TaDemo.h"
#include "files/TaFileIrr.h"
#include "scene/TaSceneManager.h"
#include "script/TaScriptHost.h"

#include <cstdio>

namespace {
int runScript(const STaRunRequest& request)
{
    // The script's Setup starts from the setup file a packed executable read (its audio output
    // included), else from the command line's driver and audio choices. Inside a packed executable
    // the script comes from the mounted archive.
    STaSetupParams base = request.setup ? *request.setup : taDefaultSetupParams();
    if (!request.setup) {
        base.driver = request.commandLine->driver;
        if (request.commandLine->audio[0])
            snprintf(base.audio, sizeof(base.audio), "%s", request.commandLine->audio);
    }
    taSetScriptSetupBase(base);
    return taRunScript(request.file, taIsArchiveMode());
}

// Run mode 3: the demo, live or captured (-cap NAME, -capfps, -capframes).
int runDemo(const STaRunRequest& request)
{
    if (request.commandLine->check)
        return taDemoCheck(request.file);
    STaDemoCapture capture;
    capture.baseName = request.commandLine->captureBase;
    capture.videoFile = request.commandLine->captureVideo;
    capture.rate = request.commandLine->captureFps > 0 ? request.commandLine->captureFps : 30.0f;
    capture.firstFrame = request.commandLine->captureFirst;
    capture.lastFrame = request.commandLine->captureLast;
    return taDemoPlay(request.file, &capture);
}

int runSceneViewer(const STaRunRequest& request)
{
    return taSceneViewer(request.file, request.viewer);
}
} // namespace

int main(int argc, char** argv)
{
    taRegisterSceneTable();
    taSetRunMode(ETAMODE_OBJECT_VIEWER, taObjectViewer);
    taSetRunMode(ETAMODE_SCRIPT, runScript);
    taSetRunMode(ETAMODE_DEMO, runDemo);
    taSetRunMode(ETAMODE_SCENE_VIEWER, runSceneViewer);
    // -1 leaves the process as 255.
    return taMain(argc, argv);
}
