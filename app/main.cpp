// The engine's entry: the run modes this build carries, then start-up and dispatch.
#include "app/TaObjectViewer.h"
#include "app/TaRunModes.h"
#include "files/TaFileIrr.h"
#include "script/TaScriptHost.h"

namespace {
int runScript(const STaRunRequest& request)
{
    // Inside a packed executable the script comes from the mounted archive.
    return taRunScript(request.file, taIsArchiveMode());
}
} // namespace

int main(int argc, char** argv)
{
    taSetRunMode(ETAMODE_OBJECT_VIEWER, taObjectViewer);
    taSetRunMode(ETAMODE_SCRIPT, runScript);
    // -1 leaves the process as 255.
    return taMain(argc, argv);
}
