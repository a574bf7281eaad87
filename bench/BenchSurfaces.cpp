// Building the surface effects of a scene's objects, side by side with reading their shaders from
// the cache: 200 objects, each with a surface of its own (values and maps differ, so the surfaces
// ask for a dozen variants of Forward.hlsl), on a warm shader cache in a freshly started engine,
// against the same count of cache reads (a vertex and a pixel shader per object).
#include "bench/BenchSupport.h"

#include "driver/TaShaderTranslator.h"
#include "effects/TaShaderCache.h"
#include "nodes/TaSceneNodeExt.h"
#include "scene/TaObjects.h"
#include "scene/TaSceneManager.h"
#include "scene/TaSurfaces.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace irr;

constexpr int kObjects = 200;

std::string g_directory;

bool startEngine()
{
    if (!taBenchStartEngine(64, 48))
        return false;
    taGetManager()->getGPUProgrammingServices()->setCacheDirectory((g_directory + "/shadersCache").c_str(),
                                                                   ETACACHE_READ | ETACACHE_CHECK | ETACACHE_WRITE);
    return true;
}

// The objects with their surfaces, each drawn with the renderer's effect in its variant.
void buildObjects()
{
    scene::ISceneManager* scene = taEngine().sceneManager;
    video::IVideoDriver* driver = taEngine().videoDriver;
    video::IImage* picture = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
    picture->fill(video::SColor(255, 200, 150, 100));
    video::ITexture* map = driver->getTexture("bench-map") ? driver->getTexture("bench-map")
                                                            : driver->addTexture("bench-map", picture);
    picture->drop();
    scene::IMesh* sphere = scene->getGeometryCreator()->createSphereMesh(1.0f, 8, 8);
    for (int i = 0; i < kObjects; ++i) {
        scene::IMeshSceneNode* node = scene->addMeshSceneNode(sphere);
        CTaSceneNodeExt* ext = taGiveSurfaces(node);
        auto* surface = dynamic_cast<CTaSurfaceLightwave*>(ext->getSurface(0));
        surface->setVector(ETASC_BASECOLOR, (i % 7) / 7.0f, (i % 5) / 5.0f, (i % 3) / 3.0f);
        surface->setFloat(ETASC_SPECULARITY, (i % 4) / 4.0f);
        if (i & 1)
            surface->setTexture(ETASC_BASECOLOR, map);
        if (i & 2)
            surface->setFloat(ETASC_TRANSPARENCY, 0.5f);
        if (i & 4)
            surface->setTexture(ETASC_SPECULARITY, map);
        if (i & 8)
            surface->setFloat(ETASC_TRANSLUCENCY, 0.25f);
        taBuildSurfaceEffects(ext, i);
    }
    sphere->drop();
}

void BM_BuildSurfaceEffectsWarmCache(benchmark::State& state)
{
    // The cache is filled by a first engine run, as the previous start of a demo leaves it.
    if (!startEngine()) {
        state.SkipWithError("the engine does not start");
        return;
    }
    buildObjects();
    taShutdown();
    for (auto _ : state) {
        state.PauseTiming();
        if (!startEngine()) {
            state.SkipWithError("the engine does not start");
            break;
        }
        state.ResumeTiming();
        buildObjects();
        state.PauseTiming();
        state.counters["shaders"] = double(taGetManager()->getGPUProgrammingServices()->store().size());
        taShutdown();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_BuildSurfaceEffectsWarmCache)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_ReadTheSameCountFromTheCache(benchmark::State& state)
{
    if (!startEngine()) {
        state.SkipWithError("the engine does not start");
        return;
    }
    buildObjects();
    // The surface shaders (the engine's own start-up effect came before the cache was set).
    std::vector<STaShaderCacheKey> keys;
    for (const STaShaderCacheKey& key : taGetManager()->getGPUProgrammingServices()->store().cacheKeys())
        if (key.file.find("Forward.hlsl") != std::string::npos)
            keys.push_back(key);
    CTaShaderCache cache;
    cache.setDirectory(g_directory + "/shadersCache", ETACACHE_READ | ETACACHE_CHECK);
    const std::string tag = taCreateHlslToGlslTranslator()->tag();
    std::string blob;
    std::vector<std::string> includes;
    for (auto _ : state) {
        for (int i = 0; i < kObjects * 2 && !keys.empty(); ++i)
            if (!cache.read(keys[size_t(i) % keys.size()], tag, blob, includes)) {
                state.SkipWithError("cache miss");
                break;
            }
        benchmark::DoNotOptimize(blob.data());
    }
    taShutdown();
}
BENCHMARK(BM_ReadTheSameCountFromTheCache)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    char directory[] = "/tmp/tarv-bench-surfaces-XXXXXX";
    if (!mkdtemp(directory))
        return 1;
    g_directory = directory;
    taRegisterSceneTable();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    const std::string command = "rm -rf '" + g_directory + "'";
    if (system(command.c_str()) != 0)
        fprintf(stderr, "bench: cannot remove %s\n", g_directory.c_str());
    return 0;
}
