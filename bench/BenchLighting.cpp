// The light pre-pass renderer against Irrlicht's fixed-function lighting, side by side in one run: a
// generated scene of 100 objects (cubes and spheres on a ground plane) seen at 1280x720, drawn
//   - by the simple renderer, Irrlicht's fixed-function path, which lights with its 8 hardware
//     lights (the scene holds 32 point lights; Irrlicht picks 8 of them), and
//   - by the light pre-pass renderer with 8, 32 and 128 point lights and 2 shadow-casting spots,
//     and, to show where its time goes, with no lights and with the 32 point lights alone.
// Each configuration starts the engine afresh; the rounds alternate so that a slow spell of the
// machine touches every configuration alike. Prints the mean frame time of each and the ratios.
// Run under Xvfb from the build folder (where the engine's shader folders are).
#include "bench/BenchSupport.h"

#include "nodes/TaSceneNodeExt.h"
#include "scene/TaObjects.h"
#include "scene/TaSceneManager.h"
#include "nodes/TaSurface.h"
#include "scene/TaScenes.h"
#include "scene/TaSurfaces.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace irr;

namespace {

constexpr int kWidth = 1280, kHeight = 720, kObjects = 100, kFrames = 40, kWarmUp = 5, kRounds = 3;

struct SConfiguration {
    const char* name;
    bool lightPrePass;
    int pointLights;
    int spots;
};

// A surface of the given colour on `node`, drawn with the current renderer's effect (none for the
// simple renderer, whose fixed-function material takes the colour and Irrlicht's lighting).
void giveSurface(scene::ISceneNode* node, float r, float g, float b)
{
    CTaSceneNodeExt* ext = taGiveSurfaces(node);
    if (ext) {
        for (u32 i = 0; i < ext->materialCount(); ++i)
            if (auto* surface = dynamic_cast<CTaSurfaceLightwave*>(ext->getSurface(i))) {
                surface->setVector(ETASC_BASECOLOR, r, g, b);
                surface->setFloat(ETASC_DIFFUSE, 1);
                surface->setFloat(ETASC_SPECULARITY, 0.3f);
                surface->setFloat(ETASC_LUMINOSITY, 0);
            }
        taBuildSurfaceEffects(ext, 0);
    }
    for (u32 i = 0; i < node->getMaterialCount(); ++i)
        node->getMaterial(i).Lighting = true;
}

void buildScene(const SConfiguration& c)
{
    scene::ISceneManager* scene = taEngine().sceneManager;
    const scene::IGeometryCreator* geometry = scene->getGeometryCreator();
    scene::IMesh* ground = geometry->createPlaneMesh(core::dimension2df(60, 60));
    giveSurface(scene->addMeshSceneNode(ground), 0.6f, 0.6f, 0.6f);
    ground->drop();
    scene::IMesh* cube = geometry->createCubeMesh(core::vector3df(2, 2, 2));
    scene::IMesh* sphere = geometry->createSphereMesh(1.2f, 24, 24);
    for (int i = 0; i < kObjects; ++i) {
        const float x = float(i % 10) * 5 - 22.5f, z = float(i / 10) * 5 - 22.5f;
        scene::IMeshSceneNode* node = scene->addMeshSceneNode(i % 2 ? sphere : cube, nullptr, -1,
                                                             core::vector3df(x, 1.2f, z),
                                                             core::vector3df(0, float(i * 17 % 90), 0));
        giveSurface(node, 0.3f + 0.07f * float(i % 10), 0.5f, 0.9f - 0.08f * float(i / 10));
    }
    cube->drop();
    sphere->drop();
    // Point lights over the grid, each reaching a few objects, in colours of their own.
    int id = 1;
    for (int i = 0; i < c.pointLights; ++i, ++id) {
        MakeLight(id);
        const float a = float(i) * 2.39996f, r = 4 + 21 * std::sqrt((float(i) + 0.5f) / float(c.pointLights));
        PositionLight(id, r * std::cos(a), 3, r * std::sin(a));
        SetLightRange(id, 9);
        SetLightRawColor(id, 0.5f + 0.5f * std::sin(a), 0.5f + 0.5f * std::sin(a + 2.1f), 0.5f + 0.5f * std::sin(a + 4.2f));
        SetLightIntensity(id, 0.6f);
    }
    // Shadow-casting spots looking down on the grid from either side.
    for (int i = 0; i < c.spots; ++i, ++id) {
        MakeLight(id);
        SetSpotLight(id, 25, 35);
        PositionLight(id, i ? 12.0f : -12.0f, 20, 0);
        RotateLight(id, 80, i ? -90.0f : 90.0f, 0);
        SetLightRange(id, 45);
        SetLightShadow(id, true);
        SetShadowMapSize(id, 1024);
    }
    ColorAmbientLight(0x101010);
    taEngine().camera->setPosition(core::vector3df(0, 22, -38));
    taEngine().camera->setTarget(core::vector3df(0, 0, 0));
    taEngine().camera->setFarValue(200);
}

// Mean milliseconds per frame of one run of configuration `c`; negative when the engine does not start.
double measure(const SConfiguration& c)
{
    if (!taBenchStartEngine(kWidth, kHeight, c.lightPrePass))
        return -1;
    buildScene(c);
    for (int i = 0; i < kWarmUp; ++i)
        Sync();
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kFrames; ++i)
        Sync();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    taShutdown();
    return ms / kFrames;
}

} // namespace

int main()
{
    taRegisterSceneTable();
    const SConfiguration configurations[] = {
        {"fixed-function, 8 of 32 point lights", false, 32, 0},
        {"light pre-pass, 8 point lights + 2 shadowed spots", true, 8, 2},
        {"light pre-pass, 32 point lights + 2 shadowed spots", true, 32, 2},
        {"light pre-pass, 128 point lights + 2 shadowed spots", true, 128, 2},
        {"light pre-pass, no lights (the buffers alone)", true, 0, 0},
        {"light pre-pass, 32 point lights, no spots", true, 32, 0},
    };
    constexpr int kCount = int(sizeof configurations / sizeof configurations[0]);
    std::vector<double> best(kCount, 1e30);
    for (int round = 0; round < kRounds; ++round)
        for (int i = 0; i < kCount; ++i) {
            const double ms = measure(configurations[i]);
            if (ms < 0) {
                fprintf(stderr, "the engine does not start on OpenGL (run under xvfb-run)\n");
                return 1;
            }
            best[i] = std::min(best[i], ms);
        }
    printf("frame of 100 objects at %dx%d (best of %d runs of %d frames each):\n", kWidth, kHeight, kRounds, kFrames);
    for (int i = 0; i < kCount; ++i)
        printf("  %-52s %8.2f ms\n", configurations[i].name, best[i]);
    printf("light pre-pass with 32 lights + 2 spots / fixed-function with 8 lights: %.2f\n", best[2] / best[0]);
    printf("light pre-pass cost growth: 32 / 8 lights %.2f, 128 / 8 lights %.2f\n", best[2] / best[1],
           best[3] / best[1]);
    return 0;
}
