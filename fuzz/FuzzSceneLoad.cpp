// Fuzz target: scene documents (text or binary) loaded into the scene table on the engine's null
// driver, with real objects (a small mesh beside the document, named quad.obj), surfaces, lights and
// cube maps; then shown, animated at several times, updated live from the same document, and removed.
// The engine starts once, in a scratch folder, with its effect files found beside the target.
#include "core/TaLog.h"
#include "engine/TaEngine.h"
#include "platform/TaPlatform.h"
#include "scene/TaSceneManager.h"
#include "scene/TaSceneOps.h"
#include "scene/TaScenes.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

void quiet(const char*, void*) {}

std::string g_scratch; // the folder the scene and its mesh are in

bool startOnce()
{
    static int state = 0; // 0 not tried, 1 running, -1 failed
    if (state != 0)
        return state > 0;
    state = -1;
    taSetLogSink(quiet, nullptr);
    taDisableMessageBoxes();
    char executable[4096];
    if (!taPlatformExecutablePath(executable, sizeof executable))
        return false;
    std::string data = executable;
    data.erase(data.find_last_of('/') + 1);
    char pattern[] = "/tmp/tarv-fuzz-scene-XXXXXX";
    if (!mkdtemp(pattern) || chdir(pattern) != 0)
        return false;
    g_scratch = pattern;
    if (FILE* mesh = fopen("quad.obj", "w")) {
        fputs("mtllib quad.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
              "usemtl A\nf 1/1 2/2 3/3\nusemtl B\nf 1/1 3/3 4/4\n",
              mesh);
        fclose(mesh);
    }
    if (FILE* material = fopen("quad.mtl", "w")) {
        fputs("newmtl A\nKd 1 0 0\nnewmtl B\nKd 0 1 0\n", material);
        fclose(material);
    }
    STaSetupParams params = taDefaultSetupParams();
    params.driver = ETADRIVER_NULL;
    snprintf(params.audio, sizeof(params.audio), "null");
    snprintf(params.dataDirectory, sizeof(params.dataDirectory), "%s", data.c_str());
    if (taSetup(params) != 0)
        return false;
    taSetLogSink(quiet, nullptr);
    state = 1;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Each input runs in the scratch folder; the caller's folder is back afterwards (a replay opens
    // its next input relative to it).
    char caller[4096];
    if (!getcwd(caller, sizeof caller))
        return 0;
    if (!startOnce() || chdir(g_scratch.c_str()) != 0)
        __builtin_trap();
    struct SBack {
        const char* to;
        ~SBack()
        {
            if (chdir(to) != 0)
                __builtin_trap();
        }
    } back{caller};
    if (FILE* file = fopen("scene.tscn", "wb")) {
        fwrite(data, 1, size, file);
        fclose(file);
    }
    CTaSceneTable table(taSceneEngineOps());
    STaSceneBases bases; // every kind from ID 0, as the ID tables allow
    if (table.load("scene.tscn", 0, bases, size % 2 == 1, "fuzz", size % 3 == 1) != 0) {
        table.remove(0);
        return 0;
    }
    table.show(0);
    const int times[] = {0, 40, -5, 1000000, INT_MAX, INT_MIN};
    for (int t : times)
        table.animate(0, t);
    table.animateObject(0, 10, 0);
    table.update("scene.tscn", 0);
    table.animate(0, 20);
    table.renderCubeMaps(0, true);
    table.hide(0);
    table.remove(0);
    taSceneEngineOps().takeMessage();
    taClearLastError();
    return 0;
}
