// What the engine's mesh readers cost: a .x file through Irrlicht's reader alone against the
// engine's reader (a trial read in a child process first, then the same reader), and the
// engine's .obj and .lwo readers against Irrlicht's own on the same files, on the null device.
#include "nodes/TaMeshLoaderLwo.h"
#include "nodes/TaMeshLoaderObj.h"
#include "nodes/TaMeshLoaderX.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

irr::IrrlichtDevice* device()
{
    static irr::IrrlichtDevice* d = [] {
        irr::SIrrlichtCreationParameters parameters;
        parameters.DriverType = irr::video::EDT_NULL;
        parameters.LoggingLevel = irr::ELL_NONE;
        return irr::createDeviceEx(parameters);
    }();
    return d;
}

std::string bytesOf(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Irrlicht's built-in reader for a name: the first loader that takes it (the engine adds none here).
irr::scene::IMeshLoader* irrlichtReader(const char* name)
{
    irr::scene::ISceneManager* scene = device()->getSceneManager();
    for (irr::u32 i = 0; i < scene->getMeshLoaderCount(); ++i)
        if (scene->getMeshLoader(i)->isALoadableFileExtension(name))
            return scene->getMeshLoader(i);
    return nullptr;
}

void read(benchmark::State& state, irr::scene::IMeshLoader* loader, const char* path, const char* name)
{
    const std::string bytes = bytesOf(path);
    if (bytes.empty() || !loader) {
        state.SkipWithError("the test model or the reader is missing");
        return;
    }
    for (auto _ : state) {
        irr::io::IReadFile* file = device()->getFileSystem()->createMemoryReadFile(
            const_cast<char*>(bytes.data()), static_cast<irr::s32>(bytes.size()), name, false);
        irr::scene::IAnimatedMesh* mesh = loader->createMesh(file);
        file->drop();
        if (!mesh) {
            state.SkipWithError("the model did not load");
            return;
        }
        mesh->drop();
    }
}

const char* const kX = "/usr/share/assimp/models/X/test.x";
const char* const kObj = "/usr/share/assimp/models/OBJ/spider.obj";
const char* const kLwo = "/usr/share/assimp/models/LWO/LWO2/hierarchy_smoothed.lwo";

void BM_XIrrlicht(benchmark::State& state) { read(state, irrlichtReader("a.x"), kX, "test.x"); }
void BM_XEngine(benchmark::State& state)
{
    CTaMeshLoaderX loader(device()->getSceneManager());
    read(state, &loader, kX, "test.x");
}
void BM_ObjIrrlicht(benchmark::State& state) { read(state, irrlichtReader("a.obj"), kObj, "spider.obj"); }
void BM_ObjEngine(benchmark::State& state)
{
    CTaMeshLoaderObj loader(device()->getFileSystem(), nullptr);
    read(state, &loader, kObj, "spider.obj");
}
void BM_LwoIrrlicht(benchmark::State& state) { read(state, irrlichtReader("a.lwo"), kLwo, "hierarchy.lwo"); }
void BM_LwoEngine(benchmark::State& state)
{
    CTaMeshLoaderLwo loader(nullptr);
    read(state, &loader, kLwo, "hierarchy.lwo");
}

BENCHMARK(BM_XIrrlicht)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XEngine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjIrrlicht)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ObjEngine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LwoIrrlicht)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LwoEngine)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
