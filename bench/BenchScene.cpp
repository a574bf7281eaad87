// Animating a scene, side by side with the bare track evaluation it is made of: a generated scene of
// 1,000 animated objects (position, rotation and scale tracks, clones of one mesh) and 200 animated
// lights (position, rotation, colour, intensity and range tracks) on the null driver. AnimateScene
// evaluates every track from the key records and writes the values into the nodes; the bare loop
// evaluates the same tracks with the TF interpolators and writes nothing. The ratio of the two is
// what the engine adds per frame.
#include "core/TaLog.h"
#include "engine/TaEngine.h"
#include "scene/TaSceneManager.h"
#include "scene/TaScenes.h"
#include "scene/tf/TF.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

constexpr int kObjects = 1000, kLights = 200, kSamples = 121;

// A track of `kSamples` samples per channel: a slow wave, different per entity and channel.
void track(std::ostringstream& out, const char* name, int channels, int seed, float scale, float offset)
{
    out << "      " << name << " FP_C";
    if (channels > 1)
        out << " [\n";
    for (int c = 0; c < channels; ++c) {
        out << (channels > 1 ? "        " : " ") << "DAT " << kSamples;
        for (int s = 0; s < kSamples; ++s)
            out << ' ' << offset + scale * std::sin(0.05f * float(s) + float(seed * 3 + c));
        out << '\n';
    }
    if (channels > 1)
        out << "      ]\n";
}

std::string document()
{
    std::ostringstream out;
    out << "{ Scene\n  { SceneInfo\n    frameStart I4 0\n    frameEnd I4 120\n    frameStep I4 1\n"
           "    framesPerSecond FP 30\n  }\n  { Cameras\n    { Camera\n";
    track(out, "position", 3, 0, 5, 0);
    track(out, "rotation", 3, 1, 0.5f, 0);
    out << "    }\n  }\n  { Lights\n";
    for (int i = 0; i < kLights; ++i) {
        out << "    { L" << i << "\n      type I4 " << (i % 3 == 0 ? 2 : 1) << "\n      falloff I4 1\n"
            << "      coneAngles FP 0.5 0.1\n";
        track(out, "position", 3, i, 10, 0);
        track(out, "rotation", 3, i + 1, 1, 0);
        track(out, "rawColor", 3, i + 2, 0.5f, 0.5f);
        track(out, "intensity", 1, i + 3, 0.5f, 1);
        track(out, "range", 1, i + 4, 5, 20);
        out << "    }\n";
    }
    out << "  }\n  { Objects\n";
    for (int i = 0; i < kObjects; ++i) {
        out << "    { O" << i << "\n      name STR O" << i << "\n      xfilename STR quad.obj\n";
        track(out, "position", 3, i, 20, 0);
        track(out, "rotation", 3, i + 1, 3, 0);
        track(out, "scale", 3, i + 2, 0.2f, 1);
        out << "    }\n";
    }
    out << "  }\n}\n";
    return out.str();
}

struct SScene {
    bool ok = false;
    TF_Document* bare = nullptr;
    std::string directory;
    SScene()
    {
        // The engine's effect files are in the folder the benchmark starts from (the build folder).
        char here[4096];
        if (!getcwd(here, sizeof here))
            return;
        char pattern[] = "/tmp/tarv-bench-scene-XXXXXX";
        if (!mkdtemp(pattern))
            return;
        directory = pattern;
        std::ofstream(directory + "/quad.obj") << "v 0 0 0\nv 1 0 0\nv 1 1 0\nf 1 2 3\n";
        std::ofstream(directory + "/scene.tscn") << document();
        if (chdir(directory.c_str()) != 0)
            return;
        taSetLogLevel(ETALOG_ERROR);
        taRegisterSceneTable();
        STaSetupParams params = taDefaultSetupParams();
        params.driver = ETADRIVER_NULL;
        snprintf(params.audio, sizeof(params.audio), "null");
        const std::string data = std::string(here) + "/";
        if (data.size() >= sizeof(params.dataDirectory))
            return;
        memcpy(params.dataDirectory, data.c_str(), data.size() + 1);
        if (taSetup(params) != 0 || LoadScene("scene.tscn", 0, 0, 0, 0, 0, 0, 0, 0, false, "bench") != 0)
            return;
        ShowScene(0);
        bare = TF_Load("scene.tscn");
        ok = bare != nullptr;
    }
    ~SScene()
    {
        TF_Free(bare);
        if (taIsStarted())
            taShutdown();
        if (!directory.empty())
            std::system(("rm -rf '" + directory + "'").c_str());
    }
};

SScene* g_scene = nullptr;

void BM_AnimateScene(benchmark::State& state)
{
    int t = 0;
    for (auto _ : state) {
        AnimateScene(0, t);
        t = (t + 33) % 4000;
    }
}

void BM_BareTracks(benchmark::State& state)
{
    // The entries looked up once, as the scene's key records hold them.
    struct SEntity {
        const TF_Node* e[5];
    };
    const TF_Node* scene = TF_FindChild(TF_GetRoot(g_scene->bare), "Scene");
    const TF_Node* camera = TF_FindChild(TF_FindChild(scene, "Cameras"), "Camera");
    std::vector<SEntity> lights, objects;
    const TF_Node* lightNode = TF_FindChild(scene, "Lights");
    for (uint32_t i = 0; i < lightNode->type; ++i) {
        const TF_Node* l = lightNode->children[i];
        lights.push_back({{TF_FindChild(l, "position"), TF_FindChild(l, "rotation"), TF_FindChild(l, "rawColor"),
                           TF_FindChild(l, "intensity"), TF_FindChild(l, "range")}});
    }
    const TF_Node* objectNode = TF_FindChild(scene, "Objects");
    for (uint32_t i = 0; i < objectNode->type; ++i) {
        const TF_Node* o = objectNode->children[i];
        objects.push_back(
            {{TF_FindChild(o, "position"), TF_FindChild(o, "rotation"), TF_FindChild(o, "scale"), nullptr, nullptr}});
    }
    const TF_Node* cameraPosition = TF_FindChild(camera, "position");
    const TF_Node* cameraRotation = TF_FindChild(camera, "rotation");
    int t = 0;
    for (auto _ : state) {
        const float s = float(t) / 1000.0f * 30.0f;
        benchmark::DoNotOptimize(TF_FP3_Lerp(cameraPosition, s));
        benchmark::DoNotOptimize(TF_FP3_Slerp_HPB_To_XYZ(cameraRotation, s));
        for (const SEntity& l : lights) {
            benchmark::DoNotOptimize(TF_FP3_Lerp(l.e[0], s));
            benchmark::DoNotOptimize(TF_FP3_Slerp_HPB_To_XYZ(l.e[1], s));
            benchmark::DoNotOptimize(TF_FP3_Lerp(l.e[2], s));
            benchmark::DoNotOptimize(TF_FP_Lerp(l.e[3], s));
            benchmark::DoNotOptimize(TF_FP_Lerp(l.e[4], s));
        }
        for (const SEntity& o : objects) {
            benchmark::DoNotOptimize(TF_FP3_Lerp(o.e[0], s));
            benchmark::DoNotOptimize(TF_FP3_Slerp_HPB_To_XYZ(o.e[1], s));
            benchmark::DoNotOptimize(TF_FP3_Lerp(o.e[2], s));
        }
        t = (t + 33) % 4000;
    }
}

BENCHMARK(BM_AnimateScene)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BareTracks)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    SScene scene;
    if (!scene.ok) {
        fprintf(stderr, "the benchmark scene did not load\n");
        return 1;
    }
    g_scene = &scene;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
