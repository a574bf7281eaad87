// Cube maps on the null driver: the latitude/longitude sizes, making them, what objects sample, the
// cube-map and renderer ID tables, and the copy before its effect exists.
#include "TaTestSupport.h"

#include "driver/TaTexture.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "nodes/TaTextureManager.h"
#include "render/TaCubeMap.h"
#include "render/TaRenderServices.h"
#include "render/TaRendererManager.h"
#include "scene/TaCubeMaps.h"
#include "scene/TaSceneManager.h"

namespace {

using namespace irr;

TEST(TaLatLongSizeTest, FromTheFaceSize)
{
    const struct {
        u32 face, width, height;
    } cases[] = {
        {256, 320, 160}, // g = 181, down to a multiple of 32
        {512, 704, 352},
        {32, 2, 1},      // g = 22 is not above 31
        {45, 2, 1},      // g = 31.8 is 31
        {46, 64, 32},    // g = 32.5 is 32
        {1, 2, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.face);
        EXPECT_EQ(taLatLongSize(c.face), core::dimension2du(c.width, c.height));
    }
}

class TaCubeMapTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        taRegisterSceneTable();
        ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL)), 0);
        manager = taGetManager();
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
    CTaCubeMap* newCubeMap()
    {
        return new CTaCubeMap(taEngine().videoDriver, manager->getVideoDriverExt(), manager->getTextureManager(),
                              manager->getRenderServices());
    }
    CTaManager* manager = nullptr;
};

TEST_F(TaCubeMapTest, MadeOnceWithWhatObjectsSample)
{
    CTaCubeMap* plain = newCubeMap();
    ASSERT_TRUE(plain->create(64, video::ECF_A16B16G16R16F, false));
    ASSERT_NE(plain->cubeTexture(), nullptr);
    EXPECT_EQ(plain->cubeTexture()->getKind(), ETATEXKIND_CUBE);
    EXPECT_EQ(plain->texture(), plain->cubeTexture());
    TaLogCapture log;
    EXPECT_FALSE(plain->create(64, video::ECF_A16B16G16R16F, false));
    EXPECT_TRUE(log.contains("cubemap texture already created"));
    plain->drop();

    CTaCubeMap* withMap = newCubeMap();
    ASSERT_TRUE(withMap->create(256, video::ECF_A16B16G16R16F, true));
    ASSERT_NE(withMap->latLongTexture(), nullptr);
    EXPECT_EQ(withMap->texture(), withMap->latLongTexture());
    EXPECT_EQ(withMap->latLongTexture()->getSize(), core::dimension2du(320, 160));
    EXPECT_FALSE(withMap->rendered());
    // The null driver draws nothing, and nothing failed.
    EXPECT_TRUE(withMap->render(taGetCurrentRenderer(), core::vector3df(1, 2, 3)));
    EXPECT_TRUE(withMap->rendered());
    EXPECT_EQ(withMap->lastPosition(), core::vector3df(1, 2, 3));
    withMap->clear();
    EXPECT_FALSE(withMap->rendered());
    withMap->drop();
}

TEST_F(TaCubeMapTest, AMapTooLargeLeavesNothingHalfMade)
{
    // The largest face the driver takes, whose latitude/longitude map (1.4 times as wide) it refuses.
    const u32 side = manager->getVideoDriverExt()->maxTextureSize(ETATEXKIND_CUBE);
    CTaCubeMap* cube = newCubeMap();
    TaLogCapture log;
    EXPECT_FALSE(cube->create(side, video::ECF_A16B16G16R16F, true));
    EXPECT_TRUE(log.contains("failed to create cubemap latlong texture"));
    EXPECT_EQ(cube->cubeTexture(), nullptr);
    // So it can be made again, smaller.
    EXPECT_TRUE(cube->create(64, video::ECF_A16B16G16R16F, true));
    EXPECT_FALSE(cube->create(side + 1, video::ECF_A16B16G16R16F, false));
    cube->drop();

    CTaCubeMap* huge = newCubeMap();
    EXPECT_FALSE(huge->create(side + 1, video::ECF_A16B16G16R16F, false));
    EXPECT_TRUE(log.contains("failed to create cubemap texture"));
    EXPECT_FALSE(huge->create(64, video::ECF_R8G8B8, false)); // not a format targets are made in
    huge->drop();
}

TEST_F(TaCubeMapTest, UnderIds)
{
    ASSERT_EQ(taCreateCubeMap(3, 32, true), 0);
    EXPECT_FALSE(taCubeMapRendered(3));
    EXPECT_EQ(taRenderCubeMap(3, core::vector3df()), 0);
    EXPECT_TRUE(taCubeMapRendered(3));
    EXPECT_EQ(taClearCubeMap(3), 0);
    EXPECT_FALSE(taCubeMapRendered(3));

    TaLogCapture log;
    EXPECT_EQ(taCreateCubeMap(3, 32, false), -1);
    EXPECT_TRUE(log.contains("invalid CubeMap ID 3 : "));
    EXPECT_EQ(taCreateCubeMap(4, 0, false), -1);
    EXPECT_TRUE(log.contains("Failed to create cube map"));
    EXPECT_EQ(taRenderCubeMap(4, core::vector3df()), -1);
    EXPECT_TRUE(log.contains("CubeMap ID 4 does not exist. "));
    EXPECT_EQ(taClearCubeMap(4), -1);
    EXPECT_FALSE(taCubeMapRendered(4));
    taDeleteCubeMap(3);
    EXPECT_EQ(taGetCubeMap(3), nullptr);
    ASSERT_EQ(taCreateCubeMap(3, 32, false), 0); // the ID is free again; shut-down releases it
}

TEST_F(TaCubeMapTest, CopyBeforeItsEffectIsSetDrawsNothing)
{
    // Services of their own: the engine's have the effect from start-up.
    CTaRenderServices services(taEngine().device, manager->getVideoDriverExt());
    CTaCubeMap* cube = newCubeMap();
    ASSERT_TRUE(cube->create(32, video::ECF_A16B16G16R16F, true));
    TaLogCapture log;
    EXPECT_FALSE(services.copyCubeMapToLatLong(cube->latLongTexture(), cube->cubeTexture()));
    EXPECT_TRUE(log.contains("CTaRenderServices::copyCubeMapToLatLong EffectCubeMapToLatLong is not initialized"));
    cube->drop();
}

TEST_F(TaCubeMapTest, StartUpNeedsTheCopyEffect)
{
    taShutdown();
    taTestRun("rm -f shaders/cubemaptolatlong.hlsl");
    TaLogCapture log;
    STaSetupParams params = taDefaultSetupParams();
    params.driver = ETADRIVER_NULL;
    snprintf(params.audio, sizeof(params.audio), "null");
    snprintf(params.dataDirectory, sizeof(params.dataDirectory), "%s/", m_dir.c_str());
    EXPECT_NE(taSetup(params), 0);
    EXPECT_TRUE(log.contains("fails to init cubemaptolatlong"));
    EXPECT_TRUE(log.contains("CTaResourceManager::initEffectCubeMapToLatLong failed to load"));
}

// A renderer under an ID that goes while it is the current one leaves the default one current.
class CCountingRenderer : public ITaRenderer
{
public:
    bool render(video::ITexture*) override { return true; }
    STaFrameOptions* getFrameOptions() override { return nullptr; }
};

TEST_F(TaCubeMapTest, RendererIdsReleaseTheCurrentRenderer)
{
    ITaRenderer* standard = taGetCurrentRenderer();
    auto* renderer = new CCountingRenderer;
    ASSERT_EQ(idInsert(taEngine().renderers.get(), 7, renderer), 0); // the table holds the reference
    taSetCurrentRenderer(renderer);
    EXPECT_EQ(taGetCurrentRenderer(), renderer);
    idClear(taEngine().renderers.get());
    EXPECT_EQ(taGetCurrentRenderer(), standard);
}

} // namespace
