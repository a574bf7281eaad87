// Drawing a scene of 1,000 mesh nodes on the OpenGL device (run under Xvfb): the engine's own node
// lists (the visible-node walk, then the solid and transparent passes drawn buffer by buffer)
// against Irrlicht's drawAll of the same scene.
#include "bench/BenchSupport.h"
#include "core/TaLog.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "render/TaRenderServices.h"

#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <cstdio>

namespace {

using namespace irr;

struct SScene {
    bool ok = false;
    SScene()
    {
        if (!taBenchStartEngine(320, 240))
            return;
        scene::ISceneManager* scene = taEngine().sceneManager;
        scene::IMesh* cube = scene->getGeometryCreator()->createCubeMesh(core::vector3df(0.5f, 0.5f, 0.5f));
        for (int i = 0; i < 1000; ++i) {
            scene::IMeshSceneNode* node = scene->addMeshSceneNode(cube);
            node->setPosition(core::vector3df(float(i % 40) - 20, float(i / 40 % 25) - 12, 40 + float(i / 1000)));
            node->setMaterialFlag(video::EMF_LIGHTING, false);
        }
        cube->drop();
        scene->getActiveCamera()->setPosition(core::vector3df(0, 0, 0));
        scene->getActiveCamera()->setTarget(core::vector3df(0, 0, 40));
        ok = true;
    }
    ~SScene()
    {
        if (ok)
            taShutdown();
    }
};

void BM_IrrlichtDrawAll(benchmark::State& state)
{
    SScene scene;
    if (!scene.ok) {
        state.SkipWithError("the engine does not start on OpenGL (run under xvfb-run)");
        return;
    }
    video::IVideoDriver* driver = taEngine().videoDriver;
    for (auto _ : state) {
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        taEngine().sceneManager->drawAll();
        glFinish();
        driver->endScene();
    }
}

void BM_EngineNodeLists(benchmark::State& state)
{
    SScene scene;
    if (!scene.ok) {
        state.SkipWithError("the engine does not start on OpenGL (run under xvfb-run)");
        return;
    }
    video::IVideoDriver* driver = taEngine().videoDriver;
    scene::ISceneManager* manager = taEngine().sceneManager;
    CTaRenderServices* services = taGetManager()->getRenderServices();
    core::array<scene::ISceneNode*> nodes;
    int count = 0;
    for (auto _ : state) {
        driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
        // What drawAll does before drawing: animate, place the camera.
        manager->getRootSceneNode()->OnAnimate(taEngine().device->getTimer()->getTime());
        manager->getActiveCamera()->render();
        services->collectVisibleNodes(nodes);
        services->renderNodes(nodes, scene::ESNRP_SOLID, "", nullptr, 0, 0, count);
        services->renderNodes(nodes, scene::ESNRP_TRANSPARENT, "", nullptr, 0, 0, count);
        glFinish();
        driver->endScene();
    }
}

} // namespace

BENCHMARK(BM_IrrlichtDrawAll)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineNodeLists)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
