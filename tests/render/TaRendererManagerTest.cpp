// The renderer manager's record of the last frames.
#include "TaTestSupport.h"

#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "render/TaRendererManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

TEST(TaLastFrameInfoTest, KeepsTheLastThirtyFrames)
{
    CTaLastFrameInfo info;
    irr::core::matrix4 identity;
    info.update(1000, identity, identity); // the first frame has no duration: nothing is recorded
    EXPECT_EQ(info.count(), 0);
    EXPECT_FLOAT_EQ(info.framesPerSecond(), 0.0f);
    info.update(1040, identity, identity);
    EXPECT_EQ(info.count(), 1);
    EXPECT_FLOAT_EQ(info.framesPerSecond(), 25.0f); // not dragged down by a made-up first duration
    for (int i = 1; i <= 40; ++i)
        info.update(1040 + i * 20, identity, identity);
    EXPECT_EQ(info.count(), 30);
    EXPECT_FLOAT_EQ(info.averageFrameTime(), 0.020f);
    EXPECT_FLOAT_EQ(info.framesPerSecond(), 50.0f);
}

TEST(TaLastFrameInfoTest, CameraCuts)
{
    auto look = [](irr::core::vector3df from, irr::core::vector3df at) {
        irr::core::matrix4 view;
        view.buildCameraLookAtMatrixLH(from, at, irr::core::vector3df(0, 1, 0));
        return view;
    };
    CTaLastFrameInfo info;
    const irr::core::matrix4 before = look({0, 0, -5}, {0, 0, 0});
    info.update(0, before, irr::core::matrix4());
    struct {
        const char* what;
        irr::core::matrix4 view;
        bool cut;
    } cases[] = {
        {"the same view (a cosine rounded past 1 must not give NaN)", before, false},
        {"moved 0.9", look({0.9f, 0, -5}, {0.9f, 0, 0}), false},
        {"moved 1.1", look({1.1f, 0, -5}, {1.1f, 0, 0}), true},
        {"turned 15 degrees", look({0, 0, -5}, {std::tan(15 * irr::core::DEGTORAD) * 5, 0, 0}), false},
        {"turned 25 degrees", look({0, 0, -5}, {std::tan(25 * irr::core::DEGTORAD) * 5, 0, 0}), true},
        {"turned around", look({0, 0, -5}, {0, 0, -10}), true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(info.isCameraCut(c.view, 1, 20), c.cut) << c.what;
}

} // namespace

namespace {

TEST(TaRenderTargetTableTest, NamesSizesAndFormats)
{
    using irr::core::dimension2du;
    const auto find = [](const std::vector<STaRenderTargetSpec>& table, const char* name) {
        for (const STaRenderTargetSpec& spec : table)
            if (spec.name == name)
                return spec;
        ADD_FAILURE() << name << " is not in the table";
        return STaRenderTargetSpec{};
    };
    struct {
        dimension2du screen;
        const char* name;
        dimension2du size;
        irr::video::ECOLOR_FORMAT format;
        bool ownDepth;
    } cases[] = {
        {{1366, 768}, "BackRTT[3]", {1366, 768}, irr::video::ECF_A16B16G16R16F, false},
        {{1366, 768}, "DepthRTT", {1366, 768}, irr::video::ECF_R32F, false},
        {{1366, 768}, "HalfScreen[2]", {683, 384}, irr::video::ECF_A16B16G16R16F, false},
        {{1366, 768}, "SixTeenthScreen[1]", {85, 48}, irr::video::ECF_A16B16G16R16F, false},
        {{1366, 768}, "ThirtyTwothScreen[0]", {42, 24}, irr::video::ECF_A16B16G16R16F, false},
        {{1366, 768}, "SixtyFourthScreen[1]", {21, 12}, irr::video::ECF_A16B16G16R16F, false},
        {{1366, 768}, "QuarterScreenR32F", {341, 192}, irr::video::ECF_R32F, false},
        {{1366, 768}, "EighthScreenR32F", {170, 96}, irr::video::ECF_R32F, false},
        {{1366, 768}, "ShadowMap.512.1", {512, 512}, irr::video::ECF_R32F, true},
        // Shifts, not divisions; and a side that shifts to 0 stays 1, which the driver can make.
        {{33, 17}, "HalfScreen[0]", {16, 8}, irr::video::ECF_A16B16G16R16F, false},
        {{33, 17}, "ThirtyTwothScreen[1]", {1, 1}, irr::video::ECF_A16B16G16R16F, false},
        {{33, 17}, "SixtyFourthScreen[0]", {1, 1}, irr::video::ECF_A16B16G16R16F, false},
        {{33, 17}, "ShadowMap.1024", {1024, 1024}, irr::video::ECF_R32F, true},
    };
    for (const auto& c : cases) {
        const auto table = taRenderTargetTable(irr::video::ECF_A16B16G16R16F, c.screen);
        EXPECT_EQ(table.size(), 26u);
        const STaRenderTargetSpec spec = find(table, c.name);
        EXPECT_EQ(spec.size, c.size) << c.name << " of " << c.screen.Width << "x" << c.screen.Height;
        EXPECT_EQ(spec.format, c.format) << c.name;
        EXPECT_EQ(spec.ownDepth, c.ownDepth) << c.name;
    }
    // The shadow maps come last, in their order.
    const auto table = taRenderTargetTable(irr::video::ECF_A8R8G8B8, {640, 480});
    EXPECT_EQ(table[22].name, "ShadowMap.256");
    EXPECT_EQ(table[25].name, "ShadowMap.1024");
}

} // namespace

namespace {

class TaRenderTargetsTest : public TaNullEngineTest
{
};

TEST_F(TaRenderTargetsTest, AFailureSaysSoAndPutsTheMipMapFlagBack)
{
    // The null driver makes no render targets.
    irr::video::IVideoDriver* driver = taEngine().videoDriver;
    driver->setTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS, true);
    TaLogCapture log;
    EXPECT_FALSE(taGetManager()->getRendererManager()->createRenderTargets(irr::video::ECF_UNKNOWN, nullptr));
    EXPECT_TRUE(log.contains("CTaRenderTargets failed to create render targets"));
    EXPECT_TRUE(driver->getTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS));
}

} // namespace

#include "render/TaNodeRenderInfo.h"
#include "render/TaRenderServices.h"

namespace {

TEST_F(TaRenderTargetsTest, NodeWalksSkipHiddenBranchesLightsAndCameras)
{
    irr::scene::ISceneManager* scene = taEngine().sceneManager;
    irr::scene::IMesh* cube = scene->getGeometryCreator()->createCubeMesh();
    irr::scene::ISceneNode* a = scene->addMeshSceneNode(cube);
    irr::scene::ISceneNode* b = scene->addMeshSceneNode(cube, a);     // child of a
    irr::scene::ISceneNode* hidden = scene->addMeshSceneNode(cube);
    scene->addMeshSceneNode(cube, hidden);                            // under a hidden node
    irr::scene::ISceneNode* light = scene->addLightSceneNode();
    scene->addMeshSceneNode(cube, light);                             // under a light
    irr::scene::ISceneNode* empty = scene->addEmptySceneNode();
    cube->drop();
    hidden->setVisible(false);

    CTaRenderServices* services = taGetManager()->getRenderServices();
    irr::core::array<irr::scene::ISceneNode*> nodes;
    services->collectVisibleNodes(nodes);
    std::vector<irr::scene::ISceneNode*> visible(nodes.pointer(), nodes.pointer() + nodes.size());
    // The engine's own camera and light 0 are not listed either.
    EXPECT_EQ(visible, (std::vector<irr::scene::ISceneNode*>{a, b, empty}));
    services->collectShadowCasters(nodes);
    std::vector<irr::scene::ISceneNode*> casters(nodes.pointer(), nodes.pointer() + nodes.size());
    EXPECT_EQ(casters, (std::vector<irr::scene::ISceneNode*>{a, b})); // meshes, by default

    // The frame's lists by kind: lights wherever they are, opaque and transparent meshes.
    b->setMaterialType(irr::video::EMT_TRANSPARENT_ALPHA_CHANNEL);
    auto list = [&](void (CTaRenderServices::*get)(irr::core::array<irr::scene::ISceneNode*>&)) {
        (services->*get)(nodes);
        return std::vector<irr::scene::ISceneNode*>(nodes.pointer(), nodes.pointer() + nodes.size());
    };
    const std::vector<irr::scene::ISceneNode*> lights = list(&CTaRenderServices::getLightList);
    EXPECT_NE(std::find(lights.begin(), lights.end(), light), lights.end());
    EXPECT_EQ(list(&CTaRenderServices::getSolidList), (std::vector<irr::scene::ISceneNode*>{a}));
    EXPECT_EQ(list(&CTaRenderServices::getTransparentList), (std::vector<irr::scene::ISceneNode*>{b}));
    EXPECT_TRUE(list(&CTaRenderServices::getTransparentEffectList).empty());
    irr::core::array<irr::scene::ISceneNode*> in;
    in.push_back(empty);
    in.push_back(b);
    services->filterShadowCasters(nodes, in);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0], b);
}

TEST_F(TaRenderTargetsTest, LightShadowCameras)
{
    using irr::core::vector3df;
    irr::scene::ISceneManager* scene = taEngine().sceneManager;
    irr::scene::ILightSceneNode* light = scene->addLightSceneNode(nullptr, vector3df(0, 10, 0));
    irr::video::SLight& data = light->getLightData();
    const struct {
        irr::video::E_LIGHT_TYPE type;
        float radius, expectedFar;
        vector3df rotation, eyeInView; // where the node's position ends up in the light's view
    } cases[] = {
        {irr::video::ELT_SPOT, 100, 100, {0, 90, 0}, {0, 0, 0}},       // looking along +X
        {irr::video::ELT_SPOT, 9000, 5000, {0, 90, 0}, {0, 0, 0}},     // far stops at 5000
        {irr::video::ELT_POINT, 100, 5000, {90, 0, 0}, {0, 0, 0}},     // looking straight down
        {irr::video::ELT_DIRECTIONAL, 100, 1, {0, 90, 0}, {0, 0, 1}},  // from one unit behind
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        data.Type = c.type;
        data.Radius = c.radius;
        data.OuterCone = 30;
        light->setRotation(c.rotation);
        light->updateAbsolutePosition();
        irr::core::matrix4 view, projection;
        float nearValue = 0, farValue = 0;
        taLightShadowCamera(light, view, projection, nearValue, farValue);
        EXPECT_FLOAT_EQ(nearValue, 0.01f);
        EXPECT_FLOAT_EQ(farValue, c.expectedFar);
        vector3df direction(0, 0, 1);
        light->getAbsoluteTransformation().rotateVect(direction);
        vector3df eye = light->getAbsolutePosition(), ahead = eye + direction * 2;
        view.transformVect(eye);
        view.transformVect(ahead);
        EXPECT_TRUE(eye.equals(c.eyeInView, 1e-4f)) << eye.X << " " << eye.Y << " " << eye.Z;
        EXPECT_TRUE((ahead - eye).equals(vector3df(0, 0, 2), 1e-4f)); // the view looks along the light
        // The projection puts the near plane at depth 0 and the far one at 1 (spot and point).
        if (c.type != irr::video::ELT_DIRECTIONAL) {
            irr::f32 clip[4];
            projection.transformVect(clip, vector3df(0, 0, c.expectedFar));
            EXPECT_NEAR(clip[2] / clip[3], 1.0f, 1e-4f);
        }
    }
}

} // namespace
