// Objects, lights and the camera operations on the null device.
#include "TaTestSupport.h"
#include "engine/Ta2D.h"
#include "engine/TaCamera.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "core/TaLog.h"
#include "driver/TaVideoDriverExt.h"
#include "engine/TaSceneNodeAnimatorCamera.h"
#include "scene/TaObjects.h"

#include <gtest/gtest.h>

namespace {

class TaCameraAndLightsTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL)), 0);
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
};

TEST_F(TaCameraAndLightsTest, CameraOperations)
{
    STaEngineContext& engine = taEngine();
    // The vertical field of view follows the horizontal one through the screen's aspect.
    struct { float degrees; int width, height; float vertical; } fields[] = {
        {90, 640, 480, 2 * std::atan(0.75f)}, {90, 480, 480, irr::core::HALF_PI}, {60, 0, 0, 60 * irr::core::DEGTORAD},
    };
    for (const auto& f : fields)
        EXPECT_NEAR(taVerticalFieldOfView(f.degrees, f.width, f.height), f.vertical, 1e-5f);
    SetCameraFOV(90);
    EXPECT_NEAR(engine.camera->getFOV(), 2 * std::atan(0.75f), 1e-5f);

    struct { int mode, animatorMode; } modes[] = {{1, 3}, {2, 4}, {0, 2}, {7, 2}};
    for (const auto& m : modes) {
        SetCameraMode(m.mode);
        EXPECT_EQ(engine.cameraAnimator->getMode(), m.animatorMode) << m.mode;
    }
    SetCameraMoveSpeed(5);
    SetCameraJumpSpeed(7);
    EXPECT_FLOAT_EQ(engine.cameraAnimator->getMoveSpeed(), 5);
    EXPECT_FLOAT_EQ(engine.cameraAnimator->getJumpSpeed(), 7);

    // A point straight ahead of the camera lands in the middle of the screen.
    PositionCamera(0, 0, -5);
    RotateCamera(0, 0, 0);
    engine.camera->OnAnimate(0);
    engine.camera->render(); // applies the view and projection
    int x = 0, y = 0;
    PositionToScreen(0, 0, 10, &x, &y);
    EXPECT_EQ(x, 320);
    EXPECT_EQ(y, 240);
    // Turned 90 degrees about y, the camera looks along +x.
    RotateCamera(0, 90, 0);
    irr::core::vector3df look = engine.camera->getTarget() - engine.camera->getPosition();
    EXPECT_NEAR(look.normalize().X, 1.0f, 1e-4f);

    SetCameraDOF(1, 12, 2.8f);
    SetCameraAdvancedDOF(1, 1, 30, 10, 0.5f);
    EXPECT_TRUE(engine.renderSettings.dofEnabled);
    EXPECT_FLOAT_EQ(engine.renderSettings.focalDistance, 12);
    EXPECT_FLOAT_EQ(engine.renderSettings.dofAdvanced, 1);
    EXPECT_FLOAT_EQ(engine.renderSettings.dofFocalRangeMax, 30);
    SetCameraStereo(1, 0.06f, 2, 4);
    EXPECT_FLOAT_EQ(engine.stereo3D[1], 0.06f);

    const size_t animators = engine.camera->getAnimators().getSize();
    AutomaticCameraCollisionOn(1, 9.8f, 0.5f);
    EXPECT_EQ(engine.camera->getAnimators().getSize(), animators + 1);
    AutomaticCameraCollisionOn(2, 9.8f, 0.5f); // replaces, never stacks
    EXPECT_EQ(engine.camera->getAnimators().getSize(), animators + 1);
    AutomaticCameraCollisionOff();
    EXPECT_EQ(engine.camera->getAnimators().getSize(), animators);
}

TEST_F(TaCameraAndLightsTest, Lights)
{
    ASSERT_EQ(MakeLight(3), 0);
    auto* light = static_cast<irr::scene::ILightSceneNode*>(idGet(taEngine().lights.get(), 3));
    ASSERT_NE(light, nullptr);
    EXPECT_EQ(light->getLightType(), irr::video::ELT_POINT);
    EXPECT_FLOAT_EQ(light->getRadius(), 10000000.0f);
    ASSERT_EQ(SetSpotLight(3, 20, 40), 0);
    EXPECT_EQ(light->getLightType(), irr::video::ELT_SPOT);
    EXPECT_FLOAT_EQ(light->getLightData().InnerCone, 20);
    EXPECT_FLOAT_EQ(light->getLightData().OuterCone, 40);
    ASSERT_EQ(SetDirectionalLight(3, 10, 20, 0), 0);
    EXPECT_EQ(light->getLightType(), irr::video::ELT_DIRECTIONAL);
    EXPECT_EQ(light->getRotation(), irr::core::vector3df(10, 20, 0));
    ASSERT_EQ(ColorLight(3, 0xFF8000), 0);
    EXPECT_FLOAT_EQ(light->getLightData().DiffuseColor.g, 128 / 255.0f);
    HideLight(3);
    EXPECT_FALSE(LightVisible(3));
    ColorAmbientLight(0x050505);
    EXPECT_FLOAT_EQ(taEngine().sceneManager->getAmbientLight().r, 5 / 255.0f);
    DeleteLight(3);
    EXPECT_FALSE(LightExist(3));
    TaLogCapture log;
    EXPECT_EQ(MakeLight(1000), -1);
    EXPECT_TRUE(log.contains("invalid Light ID 1000 : invalid ID 1000 greater or equals than 1000"));
}

} // namespace

namespace {

class TaObjectVertexTextureTest : public TaNullEngineTest
{
};

TEST_F(TaObjectVertexTextureTest, BakesNumberedVertices)
{
    writeFile("quad.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3\nf 1 3 4\n");
    ASSERT_EQ(LoadObject("quad.obj", 1), 0);
    EXPECT_EQ(taObjectVertexTexture(7, "vt", 0), -1);
    int code = 0;
    EXPECT_EQ(std::string(taGetLastError(&code)).rfind("Object ID 7 does not exist.", 0), 0u) << taGetLastError(nullptr);
    EXPECT_EQ(code, 1);

    ASSERT_EQ(taObjectVertexTexture(1, "quad-vt", ETAVTX_NORMALS), 0);
    irr::video::ITexture* texture = taGetManager()->getVideoDriverExt()->findTexture("quad-vt");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->getColorFormat(), irr::video::ECF_A16B16G16R16F);
    // The mesh's vertices now carry their running numbers in their colour words.
    irr::scene::ISceneNode* node = taGetObject(1);
    ASSERT_EQ(node->getType(), irr::scene::ESNT_ANIMATED_MESH);
    irr::scene::IMesh* mesh = static_cast<irr::scene::IAnimatedMeshSceneNode*>(node)->getMesh()->getMesh(0);
    irr::u32 k = 0;
    for (irr::u32 b = 0; b < mesh->getMeshBufferCount(); ++b)
        for (irr::u32 i = 0; i < mesh->getMeshBuffer(b)->getVertexCount(); ++i, ++k)
            EXPECT_EQ(static_cast<irr::video::S3DVertex*>(mesh->getMeshBuffer(b)->getVertices())[i].Color.color, k);
    EXPECT_GT(k, 0u);

    // Asked again: kept with bit 0, refused without it.
    EXPECT_EQ(taObjectVertexTexture(1, "quad-vt", ETAVTX_KEEP_EXISTING | ETAVTX_FLOAT), 0);
    EXPECT_EQ(taGetManager()->getVideoDriverExt()->findTexture("quad-vt"), texture);
    TaLogCapture log;
    EXPECT_EQ(taObjectVertexTexture(1, "quad-vt", ETAVTX_FLOAT), -1);
    EXPECT_TRUE(log.contains("ERROR: Mesh vertex texture 'quad-vt' already exist"));
    EXPECT_TRUE(log.contains("Object ID 1 failed to create vertex texture"));
}

} // namespace
