// One light drawn into the light buffer over the sample city's geometry buffers on the OpenGL device
// (run under Xvfb): nothing lit beyond a point light's radius, the sphere and cone volumes give the
// picture of the full-screen quad, a spot lights only inside its cone, a light without radius or
// colour draws nothing.
#include "TaTestSupport.h"

#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "engine/TaCamera.h"
#include "engine/TaEngine.h"
#include "files/TaFile.h"
#include "engine/TaManager.h"
#include "nodes/TaLightSceneNodeExt.h"
#include "render/TaLightGeometry.h"
#include "render/TaRenderLightBuffer.h"
#include "render/TaRenderLightPass.h"
#include "render/TaRenderLightVolumetric.h"
#include "render/TaRenderServices.h"
#include "render/TaRendererManager.h"
#include "scene/TaObjects.h"
#include "scene/TaSceneManager.h"
#include "scene/TaScenes.h"
#include "scene/TaSurfaces.h"
#include "nodes/TaSceneNodeExt.h"
#include "nodes/TaSurface.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cmath>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

using namespace irr;

constexpr int kSize = 256;

class TaLightPassGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_TRUE(taTestUseSampleCity(m_dir, TARV_SAMPLES_DIR));
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", kSize, kSize, true)), 0) << "no OpenGL device: run under xvfb-run";
        m_driver = taEngine().videoDriver;
        ASSERT_EQ(LoadScene("city.tscn", 0, 1, 1, 1, 1, 1, 1, 1, false, "city"), 0);
        ShowScene(0);
        ASSERT_EQ(AnimateScene(0, 0), 0);
        CTaEffectManager* effects = taGetManager()->getEffectManager();
        m_depthClear = effects->createEffect(std::string(taFindFile("LppDepthClear.hlsl")).c_str(), -1, nullptr);
        ASSERT_NE(m_depthClear, nullptr);
        m_lights.reset(new CTaRenderLightBuffer(taEngine().device, taGetManager()->getRenderServices(),
                                                taGetManager()->getVideoDriverExt()));
        ASSERT_TRUE(m_lights->init(effects, std::string(taFindFile("LppLightPass.hlsl")).c_str()));
        // Looking straight down on the road from 30 units up.
        m_camera = taEngine().sceneManager->getActiveCamera();
        PositionCamera(0, 30, -8);
        RotateCamera(90, 0, 0);
        m_camera->setNearValue(0.1f);
    }
    void TearDown() override
    {
        m_lights.reset();
        if (m_depthClear)
            m_depthClear->drop();
        taShutdown();
        TaScratchTest::TearDown();
    }

    scene::ILightSceneNode* makeLight(video::E_LIGHT_TYPE type, const core::vector3df& position, float radius)
    {
        scene::ILightSceneNode* light =
            taEngine().sceneManager->addLightSceneNode(nullptr, position, video::SColorf(0.5f, 0.4f, 0.3f), radius);
        taAttachLightSceneNodeExt(light);
        video::SLight& data = light->getLightData();
        data.Type = type;
        data.OuterCone = 20;
        data.InnerCone = 10;
        light->setRotation(core::vector3df(90, 0, 0)); // +Z turned to point down
        light->updateAbsolutePosition();
        return light;
    }

    // Reads a render target's texels as floats, `channels` per texel.
    std::vector<float> texels(const char* name, int channels)
    {
        video::ITexture* target = m_driver->findTexture(name);
        EXPECT_NE(target, nullptr) << name;
        m_driver->setRenderTarget(target, false, false);
        std::vector<float> out(size_t(kSize) * kSize * channels);
        glReadPixels(0, 0, kSize, kSize, channels == 1 ? GL_RED : GL_RGBA, GL_FLOAT, out.data());
        return out;
    }

    // The geometry buffers of the city seen by the camera, then `light` alone into the light buffer.
    std::vector<float> lightBuffer(scene::ILightSceneNode* light, bool fullScreen, bool* drawn = nullptr)
    {
        EXPECT_TRUE(taBeginScene());
        m_camera->OnAnimate(0);
        m_camera->render(); // the driver's view and projection
        CTaRenderServices* services = taGetManager()->getRenderServices();
        video::ITexture* geometry[2] = {m_driver->findTexture("NormalRTT"), m_driver->findTexture("DepthRTT")};
        EXPECT_TRUE(services->setRenderTargets(geometry, 2));
        m_driver->clearZBuffer();
        EXPECT_TRUE(services->drawEffectQuad(m_depthClear, 0, 0));
        core::array<scene::ISceneNode*> nodes;
        services->collectVisibleNodes(nodes);
        int count = 0;
        EXPECT_TRUE(services->renderNodes(nodes, scene::ESNRP_SOLID, "depth", nullptr, 0, 0, count));
        EXPECT_GT(count, 0);
        video::ITexture* lightTarget = m_driver->findTexture("LightRTT");
        m_driver->setRenderTarget(lightTarget, true, false, video::SColor(0, 0, 0, 0));
        m_lights->setCamera(m_camera);
        m_lights->clearCounters();
        m_lights->setForceFullScreen(fullScreen);
        const bool result = m_lights->renderLight(lightTarget, light, nullptr, core::matrix4(), 0, 0);
        if (drawn)
            *drawn = result;
        std::vector<float> out = texels("LightRTT", 4);
        m_driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        taEndScene();
        return out;
    }

    // The view-space position of a texel from its depth (the camera looks along its view +Z).
    core::vector3df viewPosition(int x, int y, float depth)
    {
        const core::matrix4& projection = m_driver->getTransform(video::ETS_PROJECTION);
        const float ndcX = (x + 0.5f) / kSize * 2 - 1, ndcY = (y + 0.5f) / kSize * 2 - 1;
        return core::vector3df(ndcX / projection[0] * depth, ndcY / projection[5] * depth, depth);
    }

    static int lit(const std::vector<float>& buffer)
    {
        int n = 0;
        for (size_t i = 0; i < buffer.size(); i += 4)
            n += buffer[i] + buffer[i + 1] + buffer[i + 2] > 1e-4f ? 1 : 0;
        return n;
    }
    static float largestDifference(const std::vector<float>& a, const std::vector<float>& b)
    {
        float d = 0;
        for (size_t i = 0; i < a.size() && i < b.size(); ++i)
            d = std::max(d, std::fabs(a[i] - b[i]));
        return d;
    }

    video::IVideoDriver* m_driver = nullptr;
    scene::ICameraSceneNode* m_camera = nullptr;
    CTaEffect* m_depthClear = nullptr;
    std::unique_ptr<CTaRenderLightBuffer> m_lights;
};

TEST_F(TaLightPassGLTest, APointLightStopsAtItsRadiusAndItsSphereMatchesTheFullScreenQuad)
{
    // On the camera's axis, 3 units above the road, radius 8.
    scene::ILightSceneNode* light = makeLight(video::ELT_POINT, core::vector3df(0, 3, -8), 8);
    const std::vector<float> sphere = lightBuffer(light, false);
    EXPECT_EQ(m_lights->counters().point, 1);
    EXPECT_EQ(m_lights->counters().fullScreen, 0); // 25 units away: the sphere
    const std::vector<float> quad = lightBuffer(light, true);
    EXPECT_EQ(m_lights->counters().fullScreen, 1);
    EXPECT_GT(lit(sphere), 500);
    EXPECT_LE(largestDifference(sphere, quad), 1.0f / 255.0f);

    // Beyond the radius nothing is lit (a texel's footprint of slack at the edge).
    lightBuffer(light, true);
    const std::vector<float> depth = texels("DepthRTT", 1);
    core::vector3df lightInView = light->getAbsolutePosition();
    m_driver->getTransform(video::ETS_VIEW).transformVect(lightInView);
    int outside = 0, litOutside = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const float z = depth[size_t(y) * kSize + x];
            if (!(z > 0.1f && z < 1000.0f))
                continue;
            if (viewPosition(x, y, z).getDistanceFrom(lightInView) <= 8.0f * 1.05f)
                continue;
            ++outside;
            const float* c = &quad[(size_t(y) * kSize + x) * 4];
            litOutside += c[0] + c[1] + c[2] > 1e-4f ? 1 : 0;
        }
    EXPECT_GT(outside, 1000);
    EXPECT_EQ(litOutside, 0);
}

TEST_F(TaLightPassGLTest, ASpotLightsItsConeOnlyAndItsConeMatchesTheFullScreenQuad)
{
    // 8 units above the street, radius 12: 21.9 units from the camera, outside the widened cone.
    scene::ILightSceneNode* spot = makeLight(video::ELT_SPOT, core::vector3df(0, 8, -8), 12);
    scene::ILightSceneNode* point = makeLight(video::ELT_POINT, core::vector3df(0, 8, -8), 12);
    const std::vector<float> cone = lightBuffer(spot, false);
    EXPECT_EQ(m_lights->counters().spot, 1);
    EXPECT_EQ(m_lights->counters().fullScreen, 0);
    const std::vector<float> quad = lightBuffer(spot, true);
    EXPECT_LE(largestDifference(cone, quad), 1.0f / 255.0f);
    // The 20 degree cone 8 units up lights a disc of about 3 units: far less than the point light.
    const std::vector<float> all = lightBuffer(point, true);
    EXPECT_GT(lit(cone), 100);
    EXPECT_LT(lit(cone) * 3, lit(all));
}

TEST_F(TaLightPassGLTest, LightsThatCannotShineDrawNothing)
{
    struct Case {
        const char* what;
        video::E_LIGHT_TYPE type;
        float radius;
        video::SColorf colour;
    };
    const Case cases[] = {
        {"black", video::ELT_POINT, 8, video::SColorf(0, 0, 0)},
        {"no radius", video::ELT_POINT, 0, video::SColorf(1, 1, 1)},
        {"negative radius", video::ELT_SPOT, -2, video::SColorf(1, 1, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        scene::ILightSceneNode* light = makeLight(c.type, core::vector3df(0, 3, -8), c.radius);
        light->getLightData().DiffuseColor = c.colour;
        light->getLightData().Radius = c.radius;
        TaLogCapture log;
        bool drawn = true;
        const std::vector<float> buffer = lightBuffer(light, false, &drawn);
        EXPECT_FALSE(drawn);
        EXPECT_EQ(lit(buffer), 0);
        for (float v : buffer)
            ASSERT_TRUE(std::isfinite(v));
        if (c.radius <= 0) {
            EXPECT_TRUE(log.contains("its radius is not above 0"));
        }
        light->remove();
    }
}

TEST_F(TaLightPassGLTest, AShadowCastingSpotLightLeavesTheGroundBehindTheBuildingsDark)
{
    // Every object of the city casts shadows; a spot light low over the road, turned towards the
    // blocks on one side, throws their shadows across the pavement behind them.
    for (int id = 1; id <= SceneTotalObjects(0); ++id)
        taSetObjectShadowCaster(id, true);
    scene::ILightSceneNode* spot = makeLight(video::ELT_SPOT, core::vector3df(0, 14, -8), 60);
    spot->getLightData().OuterCone = 45;
    spot->getLightData().InnerCone = 35;
    spot->setRotation(core::vector3df(60, 90, 0));
    spot->updateAbsolutePosition();
    taAttachLightSceneNodeExt(spot)->params().shadowMapSize = 512;
    CTaRenderLightShadowMap shadows(taEngine().device, taGetManager()->getRenderServices());
    ASSERT_TRUE(shadows.init(taGetManager()->getEffectManager(), std::string(taFindFile("LppShadowDepth.hlsl")).c_str(),
                             std::string(taFindFile("LppDepthClear.hlsl")).c_str()));
    CTaRenderLightPass pass(taEngine().device, m_lights.get(), &shadows);
    CTaRendererCtxAdv::SShadowMap pool[4];
    const char* const names[4] = {"ShadowMap.256", "ShadowMap.512", "ShadowMap.512.1", "ShadowMap.1024"};
    for (int i = 0; i < 4; ++i)
        pool[i].texture = m_driver->findTexture(names[i]);

    auto lightWithShadow = [&](bool cast) {
        spot->enableCastShadow(cast);
        for (auto& entry : pool)
            entry.owner = nullptr;
        EXPECT_TRUE(taBeginScene());
        m_camera->OnAnimate(0);
        m_camera->render();
        CTaRenderServices* services = taGetManager()->getRenderServices();
        video::ITexture* geometry[2] = {m_driver->findTexture("NormalRTT"), m_driver->findTexture("DepthRTT")};
        services->setRenderTargets(geometry, 2);
        m_driver->clearZBuffer();
        services->drawEffectQuad(m_depthClear, 0, 0);
        core::array<scene::ISceneNode*> nodes, casters, lights;
        services->collectVisibleNodes(nodes);
        services->collectShadowCasters(casters);
        int count = 0;
        services->renderNodes(nodes, scene::ESNRP_SOLID, "depth", nullptr, 0, 0, count);
        lights.push_back(spot);
        EXPECT_TRUE(pass.renderLights(m_driver->findTexture("LightRTT"), lights, casters, pool, 4));
        std::vector<float> out = texels("LightRTT", 4);
        m_driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        taEndScene();
        return out;
    };
    const std::vector<float> open = lightWithShadow(false);
    EXPECT_EQ(m_lights->counters().shadowed, 0);
    const std::vector<float> shadowed = lightWithShadow(true);
    EXPECT_EQ(m_lights->counters().shadowed, 1);
    EXPECT_EQ(pool[1].owner, spot); // 512 texels: "ShadowMap.512"
    // Light is only taken away: a good part of what the open light reaches lies in shadow.
    int brighter = 0;
    for (size_t i = 0; i < open.size(); i += 4)
        brighter += shadowed[i] > open[i] + 1.0f / 255.0f ? 1 : 0;
    EXPECT_EQ(brighter, 0);
    EXPECT_GT(lit(open), 2000);
    EXPECT_LT(lit(shadowed), lit(open) * 9 / 10);
    EXPECT_GT(lit(shadowed), lit(open) / 10);

    // A mesh without a shadow technique of its own (here a plain node without surfaces) casts its
    // shadow through the default shadow effect: with the city casting none, a block hung in the
    // middle of the beam darkens the ground.
    for (int id = 1; id <= SceneTotalObjects(0); ++id)
        taSetObjectShadowCaster(id, false);
    const std::vector<float> free = lightWithShadow(true);
    scene::IMesh* cube = taEngine().sceneManager->getGeometryCreator()->createCubeMesh(core::vector3df(4, 4, 4));
    scene::ISceneNode* block = taEngine().sceneManager->addMeshSceneNode(cube, nullptr, -1, core::vector3df(4, 7, -8));
    cube->drop();
    ASSERT_NE(block, nullptr);
    block->updateAbsolutePosition();
    const std::vector<float> blocked = lightWithShadow(true);
    EXPECT_LT(lit(blocked), lit(free) - 500) << lit(free);
}

TEST_F(TaLightPassGLTest, AVolumetricSpotBrightensTheAirInsideItsConeOnly)
{
    // Hanging 10 units over the pavement beside the road, shining down: seen from above, the air it
    // lights lies between its apex and the disc it throws on the ground.
    scene::ILightSceneNode* spot = makeLight(video::ELT_SPOT, core::vector3df(8, 10, -8), 12);
    spot->getLightData().OuterCone = 15;
    spot->getLightData().InnerCone = 10;
    taAttachLightSceneNodeExt(spot)->params().volumetric = true;
    taAttachLightSceneNodeExt(spot)->params().volumetricDensity = 4;
    scene::ILightSceneNode* plain = makeLight(video::ELT_POINT, core::vector3df(-8, 5, -8), 6); // not volumetric
    CTaRenderLightVolumetric volumetric(taEngine().device, taGetManager()->getRenderServices(),
                                        taGetManager()->getVideoDriverExt());
    ASSERT_TRUE(volumetric.init(taGetManager()->getEffectManager(),
                                std::string(taFindFile("VolumetricSpotLight.hlsl")).c_str(),
                                std::string(taFindFile("VolumetricPointLight.hlsl")).c_str()));
    lightBuffer(spot, false); // the geometry buffers
    ASSERT_TRUE(taBeginScene());
    m_camera->render();
    video::ITexture* image = m_driver->findTexture("BackRTT[0]");
    m_driver->setRenderTarget(image, true, false, video::SColor(0, 0, 0, 0));
    core::array<scene::ISceneNode*> lights;
    lights.push_back(plain);
    lights.push_back(spot);
    EXPECT_TRUE(volumetric.renderVolumetricLights(image, lights, nullptr, 0));
    EXPECT_FALSE(volumetric.lastDrawFullScreen()); // seen from outside: its cone
    const std::vector<float> air = texels("BackRTT[0]", 4);
    const core::matrix4 viewProjection = m_driver->getTransform(video::ETS_PROJECTION) * m_driver->getTransform(video::ETS_VIEW);
    m_driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    taEndScene();

    // The screen box of the apex and the rim of the cone where it meets the ground.
    float left = 1e9f, right = -1e9f, bottom = 1e9f, top = -1e9f;
    auto include = [&](const core::vector3df& p) {
        f32 c[4] = {p.X, p.Y, p.Z, 1};
        viewProjection.multiplyWith1x4Matrix(c);
        const float x = (c[0] / c[3] * 0.5f + 0.5f) * kSize, y = (c[1] / c[3] * 0.5f + 0.5f) * kSize;
        left = std::min(left, x), right = std::max(right, x), bottom = std::min(bottom, y), top = std::max(top, y);
    };
    include(spot->getAbsolutePosition());
    const float rim = 10 * std::tan(15 * core::DEGTORAD);
    for (int k = 0; k < 32; ++k)
        include(core::vector3df(8 + rim * std::cos(k * 0.19635f), 0, -8 + rim * std::sin(k * 0.19635f)));
    int inside = 0, outside = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            const float* c = &air[(size_t(y) * kSize + x) * 4];
            if (c[0] + c[1] + c[2] <= 1e-3f)
                continue;
            // Rows may run either way in the target: the box is symmetric about the road's axis.
            const bool within = x >= left - 3 && x <= right + 3 &&
                                ((y >= bottom - 3 && y <= top + 3) || (kSize - 1 - y >= bottom - 3 && kSize - 1 - y <= top + 3));
            (within ? inside : outside) += 1;
        }
    EXPECT_GT(inside, 50);
    EXPECT_EQ(outside, 0);
}

} // namespace

#include "render/TaRendererCtxAdv.h"
#include "render/TaRendererLpp.h"

namespace {

// The engine started with the light pre-pass renderer draws the city's surfaces lit through the
// light buffer by the lights of the scene, brighter with a lamp added just ahead of the camera; a
// light effect that does not build leaves the frames to the simple renderer, said once.
class TaRendererLppGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_TRUE(taTestUseSampleCity(m_dir, TARV_SAMPLES_DIR));
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
};

TEST_F(TaRendererLppGLTest, ACityFrameLitByItsLights)
{
    ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", kSize, kSize, true)), 0);
    ITaRenderer* renderer = taGetCurrentRenderer();
    ASSERT_NE(dynamic_cast<CTaRendererLpp*>(renderer), nullptr);
    ASSERT_EQ(LoadScene("city.tscn", 0, 1, 1, 1, 1, 1, 1, 1, false, "city"), 0);
    ShowScene(0);
    ASSERT_EQ(AnimateScene(0, 0), 0);
    video::IVideoDriver* driver = taEngine().videoDriver;
    auto frame = [&](const char* name) {
        EXPECT_TRUE(taBeginScene());
        EXPECT_TRUE(renderer->render(nullptr));
        taEndScene();
        EXPECT_EQ(taScreenshot(name), 0);
        return driver->createImageFromFile(name);
    };
    video::IImage* before = frame("before.png");
    ASSERT_NE(before, nullptr);
    scene::ICameraSceneNode* camera = taEngine().sceneManager->getActiveCamera();
    // A strong light just ahead of the camera.
    core::vector3df ahead = camera->getTarget() - camera->getAbsolutePosition();
    ahead.normalize();
    scene::ILightSceneNode* lamp = taEngine().sceneManager->addLightSceneNode(
        nullptr, camera->getAbsolutePosition() + ahead * 1.5f, video::SColorf(3, 3, 3), 12);
    taAttachLightSceneNodeExt(lamp);
    video::IImage* after = frame("after.png");
    ASSERT_NE(after, nullptr);
    long sumBefore = 0, sumAfter = 0;
    for (u32 y = 0; y < u32(kSize); ++y)
        for (u32 x = 0; x < u32(kSize); ++x) {
            const video::SColor a = before->getPixel(x, y), b = after->getPixel(x, y);
            sumBefore += a.getRed() + a.getGreen() + a.getBlue();
            sumAfter += b.getRed() + b.getGreen() + b.getBlue();
        }
    EXPECT_GT(sumBefore, 0);
    EXPECT_GT(sumAfter, sumBefore + kSize * kSize / 4);

    // With the debug buffers shown, their thumbnails cover the top left (the normals there), and the
    // picture beyond them is the frame's.
    renderer->getFrameOptions()->showDebugBuffers = true;
    video::IImage* debug = frame("debug.png");
    ASSERT_NE(debug, nullptr);
    int changedInThumbnail = 0, changedBeyond = 0;
    for (u32 y = 0; y < u32(kSize); ++y)
        for (u32 x = 0; x < u32(kSize); ++x) {
            const bool differs = debug->getPixel(x, y) != after->getPixel(x, y);
            if (x < 160 && y < 120)
                changedInThumbnail += differs;
            else if (x >= 200 && y >= 140)
                changedBeyond += differs;
        }
    EXPECT_GT(changedInThumbnail, 160 * 120 / 2);
    EXPECT_EQ(changedBeyond, 0);
    debug->drop();
    before->drop();
    after->drop();
}

// A spot light over a box on a white ground, seen from the side: the script functions of its shadow
// act on the frame. Without shadow the ground beside the box is lit; with it dark; its shadow colour
// tints the shadow; a larger fuzz widens the soft edge.
TEST_F(TaRendererLppGLTest, TheShadowFunctionsOfALightActOnTheFrame)
{
    ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", kSize, kSize, true)), 0);
    scene::ISceneManager* scene = taEngine().sceneManager;
    auto solid = [&](scene::IMesh* mesh, const core::vector3df& at) {
        scene::ISceneNode* node = scene->addMeshSceneNode(mesh, nullptr, -1, at);
        mesh->drop();
        CTaSceneNodeExt* ext = taGiveSurfaces(node);
        ASSERT_NE(ext, nullptr);
        auto* surface = dynamic_cast<CTaSurfaceLightwave*>(ext->getSurface(0));
        ASSERT_NE(surface, nullptr);
        surface->setVector(ETASC_BASECOLOR, 1, 1, 1);
        surface->setFloat(ETASC_DIFFUSE, 1);
        surface->setFloat(ETASC_SPECULARITY, 0);
        taBuildSurfaceEffects(ext, 0);
        ext->setCastShadows(true);
    };
    solid(scene->getGeometryCreator()->createPlaneMesh(core::dimension2df(40, 40)), core::vector3df(0, 0, 0));
    solid(scene->getGeometryCreator()->createCubeMesh(core::vector3df(2, 2, 2)), core::vector3df(0, 5, 0));
    ASSERT_EQ(MakeLight(1), 0);
    ASSERT_EQ(SetSpotLight(1, 30, 40), 0);
    ASSERT_EQ(PositionLight(1, 0, 10, 0), 0);
    ASSERT_EQ(RotateLight(1, 90, 0, 0), 0); // down
    ASSERT_EQ(SetLightRange(1, 30), 0);
    ColorAmbientLight(0);
    taSetBackgroundColor(0);
    taEngine().camera->setPosition(core::vector3df(0, 12, -14));
    taEngine().camera->setTarget(core::vector3df(0, 0, 0));
    // The ground along +x from beside the box (in its shadow up to about 2.5) to the open light, on
    // the screen of the camera as a frame leaves it.
    EXPECT_TRUE(Sync());
    std::vector<core::position2di> line;
    for (int i = 0; i < 40; ++i)
        line.push_back(scene->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(
            core::vector3df(1.2f + 0.1f * float(i), 0, 0), taEngine().camera));
    auto frame = [&](const char* name) {
        EXPECT_TRUE(Sync());
        EXPECT_EQ(taScreenshot(name), 0);
        video::IImage* image = taEngine().videoDriver->createImageFromFile(name);
        std::vector<video::SColor> out;
        for (const core::position2di& p : line)
            out.push_back(image ? image->getPixel(u32(p.X), u32(p.Y)) : video::SColor(0));
        if (image)
            image->drop();
        return out;
    };
    // Index 6 (x = 1.8) lies in the shadow, index 35 (x = 4.7) in the open light.
    ASSERT_EQ(SetLightShadow(1, false), 0);
    const std::vector<video::SColor> open = frame("open.png");
    EXPECT_GT(open[6].getGreen(), 60u);
    EXPECT_GT(open[35].getGreen(), 60u);
    ASSERT_EQ(SetLightShadow(1, true), 0);
    const std::vector<video::SColor> shadowed = frame("shadowed.png");
    EXPECT_LT(shadowed[6].getGreen(), open[6].getGreen() / 4);
    EXPECT_NEAR(int(shadowed[35].getGreen()), int(open[35].getGreen()), 8);
    ASSERT_EQ(ColorLightShadow(1, 0xFF0000), 0);
    const std::vector<video::SColor> red = frame("red.png");
    EXPECT_GT(red[6].getRed(), red[6].getGreen() + 40);
    ASSERT_EQ(ColorLightShadow(1, 0), 0);
    // The soft edge: samples neither as dark as the shadow nor as bright as the open light.
    auto between = [&](const std::vector<video::SColor>& row) {
        int n = 0;
        const int dark = shadowed[6].getGreen(), bright = open[35].getGreen(), margin = (bright - dark) / 6;
        for (const video::SColor& c : row)
            n += int(c.getGreen()) > dark + margin && int(c.getGreen()) < bright - margin ? 1 : 0;
        return n;
    };
    ASSERT_EQ(SetShadowMapSize(1, 1024), 0);
    ASSERT_EQ(SetShadowMapFuzz(1, 0), 0);
    const int sharp = between(frame("sharp.png"));
    ASSERT_EQ(SetShadowMapFuzz(1, 40), 0);
    const int soft = between(frame("soft.png"));
    EXPECT_GT(soft, sharp + 2) << sharp;
}

// A renderer file that does not build stops the start-up, saying which file and why: there is no
// quiet fallback to a renderer that draws a different picture.
TEST_F(TaRendererLppGLTest, ABrokenRendererFileFailsTheStartUp)
{
    const struct {
        const char* file;
        const char* contents;
        const char* said;
    } cases[] = {
        {"LppLightPass.hlsl", "float4 ps_main() : COLOR0 { return float4(1, 0, 0 1); }\n", "LppLightPass.hlsl"},
        {"GlowAlphaMul.hlsl", "float4 ps_main() : COLOR0 { return 1 }\n", "CTaPostGlow failed to load"},
    };
    for (const auto& c : cases) {
        writeFile(std::string("shaders/") + c.file, c.contents);
        TaLogCapture log;
        EXPECT_NE(taSetup(taTestGLSetup(m_dir + "/", kSize, kSize, true)), 0) << c.file;
        EXPECT_TRUE(log.contains("fails to init render")) << c.file;
        EXPECT_TRUE(log.contains(c.said)) << c.file;
        EXPECT_FALSE(taIsStarted());
        std::remove((m_dir + "/shaders/" + c.file).c_str());
    }
}

} // namespace
