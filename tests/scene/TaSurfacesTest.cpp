// Object surfaces, light parameters and the object functions of scripts on the null device.
#include "TaTestSupport.h"

#include "effects/TaEffect.h"
#include "engine/TaEffects.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "effects/TaEffectDef.h"
#include "nodes/TaLightSceneNodeExt.h"
#include "nodes/TaSceneNodeExt.h"
#include "scene/TaObjects.h"
#include "scene/TaSceneManager.h"
#include "scene/TaSurfaces.h"

namespace {

using namespace irr;

// Two quads side by side, each with a material of its own.
const char* const kTwoQuads = "mtllib two.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 2 0 0\nv 3 0 0\nv 3 1 0\nv 2 1 0\n"
                              "usemtl red\nf 1 2 3\nf 1 3 4\nusemtl blue\nf 5 6 7\nf 5 7 8\n";
const char* const kTwoMaterials = "newmtl red\nKd 1 0 0\nnewmtl blue\nKd 0 0 1\n";

// A renderer that draws surfaces with "Forward.hlsl", as the light pre-pass renderer gives its
// transparent surfaces (the null device's simple renderer gives none).
class TaForwardRenderer : public ITaRenderer
{
public:
    bool render(video::ITexture*) override { return true; }
    STaFrameOptions* getFrameOptions() override { return nullptr; }
    bool getMaterialEffect(char* file, int size, STaFxMacro* macros, int* count, video::E_MATERIAL_TYPE) override
    {
        snprintf(file, size_t(size), "%s", "Forward.hlsl");
        macros[0].name = nullptr;
        *count = 0;
        return true;
    }
};

class TaSurfacesTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        taRegisterSceneTable();
        ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL)), 0);
        // The simple renderer gives surfaces no effect of its own.
        writeFile("plain.obj", kTwoQuads);
        writeFile("two.mtl", kTwoMaterials);
        ASSERT_EQ(LoadObject("plain.obj", 9), 0);
        EXPECT_EQ(taGetSceneNodeExt(taGetObject(9))->rendererVariant(0), nullptr);
        DeleteObject(9);
        auto* forward = new TaForwardRenderer;
        taSetCurrentRenderer(forward);
        forward->drop();
        writeFile("two.obj", kTwoQuads);
        ASSERT_EQ(LoadObject("two.obj", 1), 0);
        ext = taGetSceneNodeExt(taGetObject(1));
        ASSERT_NE(ext, nullptr);
        ASSERT_EQ(ext->materialCount(), 2u);
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
    CTaSurfaceLightwave* surface(u32 i) { return dynamic_cast<CTaSurfaceLightwave*>(ext->getSurface(i)); }
    CTaSceneNodeExt* ext = nullptr;
};

TEST_F(TaSurfacesTest, LoadedObjectsHaveSurfacesFromTheirMaterials)
{
    ASSERT_NE(surface(0), nullptr);
    EXPECT_FLOAT_EQ(surface(0)->getVector(ETASC_BASECOLOR)[0], 1.0f);
    EXPECT_FLOAT_EQ(surface(1)->getVector(ETASC_BASECOLOR)[2], 1.0f);

    // Channels by name, without regard to case; written into the materials on update.
    EXPECT_EQ(SetObjectSurfaceParamFloat3(1, 1, "basecolor", 0, 1, 0), 0);
    EXPECT_EQ(SetObjectSurfaceParamFloat(1, 1, "Transparency", 0.5f), 0);
    EXPECT_EQ(SetObjectSurfaceParamInt(1, 1, "Sidedness", 3), 0);
    // Loaded objects draw with the renderer's surface effect; an update gives each surface the
    // variant its channels need now.
    ASSERT_NE(ext->rendererVariant(1), nullptr);
    EXPECT_EQ(ext->rendererVariant(1)->find("USE_TRANSPARENT"), std::string::npos);
    CTaEffect* before = ext->getEffect(1);
    EXPECT_EQ(UpdateObjectFromSurfaces(1), 0);
    ASSERT_NE(ext->rendererVariant(1), nullptr);
    EXPECT_NE(ext->rendererVariant(1)->find("Forward.hlsl|"), std::string::npos);
    EXPECT_NE(ext->rendererVariant(1)->find("USE_TRANSPARENT"), std::string::npos);
    EXPECT_NE(ext->getEffect(1), before);
    EXPECT_EQ(ext->getEffect(0), ext->getEffect(0)); // surface 0 kept its variant
    const video::SMaterial& blue = taGetObject(1)->getMaterial(1);
    EXPECT_EQ(blue.DiffuseColor, video::SColor(255, 0, 255, 0));
    EXPECT_FALSE(blue.BackfaceCulling);
    // A surface given an effect of its own keeps it through updates.
    CTaEffect* own = ext->getEffect(0);
    ASSERT_NE(own, nullptr);
    own->grab();
    ext->setEffect(0, own, 0, 0);
    EXPECT_EQ(ext->rendererVariant(0), nullptr);
    EXPECT_EQ(SetObjectSurfaceParamFloat(1, 0, "Transparency", 0.5f), 0);
    EXPECT_EQ(UpdateObjectFromSurfaces(1), 0);
    EXPECT_EQ(ext->getEffect(0), own);
    own->drop();

    TaLogCapture log;
    const struct {
        int result;
        const char* message;
    } failures[] = {
        {SetObjectSurfaceParamFloat(1, 2, "Diffuse", 1), "Object ID 1 has no surface 2"},
        {SetObjectSurfaceParamFloat(1, 0, "Shininess", 1), "Unknown surface channel 'Shininess'"},
        {SetObjectSurfaceParamFloat(9, 0, "Diffuse", 1), "Object ID 9 does not exist."},
        {SetObjectSurfaceParamTex(1, 0, "BaseColor", "missing.png"), "Texture does not exist 'missing.png'"},
        {SetObjectSurfaceParamTexImg(1, 0, "BaseColor", 5), "Image 5 does not exist"},
        {SetObjectSurfaceEffect(1, 0, 3), "Effect ID 3 does not exist."},
    };
    for (const auto& f : failures) {
        EXPECT_EQ(f.result, -1) << f.message;
        EXPECT_TRUE(log.contains(f.message)) << f.message;
    }
}

TEST_F(TaSurfacesTest, ClonesLocksAndCollision)
{
    ASSERT_EQ(CloneObject(2, 1), 0);
    CTaSceneNodeExt* twin = taGetSceneNodeExt(taGetObject(2));
    ASSERT_NE(twin, nullptr);
    ASSERT_NE(twin->getSurface(0), nullptr);
    EXPECT_NE(twin->getSurface(0), ext->getSurface(0));
    EXPECT_NE(taMaterialExtHandle(taGetObject(2)->getMaterial(0)), taMaterialExtHandle(taGetObject(1)->getMaterial(0)));
    TaLogCapture log;
    EXPECT_EQ(CloneObject(3, 7), -1);
    EXPECT_TRUE(log.contains("Object ID 7 does not exist."));

    EXPECT_EQ(LockObjectOn(1), 0);
    EXPECT_EQ(taGetObject(1)->getParent(), taEngine().camera);
    EXPECT_EQ(LockObjectOff(1), 0);
    EXPECT_EQ(taGetObject(1)->getParent(), nullptr);
    EXPECT_EQ(GhostObjectOn(1), 0);
    EXPECT_EQ(SetAlphaMappingOn(4, 1), -1);

    EXPECT_EQ(SetObjectCollisionOn(2), 0);
    ASSERT_NE(taEngine().collisionWorld, nullptr);
    EXPECT_EQ(taEngine().collisionWorld->getTriangleCount(), 4);
    EXPECT_EQ(SetObjectCollisionOn(2), 0); // not twice
    EXPECT_EQ(taEngine().collisionWorld->getTriangleCount(), 4);
    DeleteObject(2); // takes its triangles out of the world
    EXPECT_EQ(taEngine().collisionWorld->getTriangleCount(), 0);
}

TEST_F(TaSurfacesTest, LightParameters)
{
    ASSERT_EQ(MakeLight(1), 0);
    scene::ILightSceneNode* light = static_cast<scene::ILightSceneNode*>(idGet(taEngine().lights.get(), 1));
    CTaLightSceneNodeExt* params = taGetLightSceneNodeExt(light);
    ASSERT_NE(params, nullptr);
    EXPECT_EQ(params->params().shadowMapSize, 512);
    EXPECT_FLOAT_EQ(params->params().shadowEpsilon, 5.0f);
    EXPECT_EQ(SetLightRawColor(1, 1.0f, 0.5f, 0.25f), 0);
    EXPECT_EQ(SetLightIntensity(1, 2.0f), 0);
    const video::SColorf diffuse = light->getLightData().DiffuseColor;
    EXPECT_FLOAT_EQ(diffuse.r, 2.0f);
    EXPECT_FLOAT_EQ(diffuse.g, 1.0f);
    EXPECT_FLOAT_EQ(diffuse.b, 0.5f);
    EXPECT_EQ(ColorLightShadow(1, 0x80FF0000), 0);
    EXPECT_FLOAT_EQ(params->params().shadowColour[0], 1.0f);
    EXPECT_FLOAT_EQ(params->params().shadowColour[3], 1.0f);
    EXPECT_EQ(SetShadowMapSize(1, 1024), 0);
    EXPECT_EQ(SetShadowMapFuzz(1, 3), 0);
    EXPECT_EQ(params->params().shadowMapSize, 1024);
    EXPECT_FLOAT_EQ(params->params().shadowMapFuzz, 3.0f);
    EXPECT_EQ(SetLightShadow(1, true), 0);
    EXPECT_TRUE(light->getCastShadow());
    TaLogCapture log;
    EXPECT_EQ(SetLightIntensity(2, 1), -1);
    EXPECT_TRUE(log.contains("Light ID 2 does not exist."));
}

TEST_F(TaSurfacesTest, SurfaceRecordsOfSceneDocuments)
{
    writeFile("own.hlsl", R"(/*
[TARV_BEGIN]
//float Strength : 1 : pixel
//texture Detail : : 
[TARV_END]
*/
float Strength;
sampler2D Detail : register(s1);
float4 vs_main(float4 pos : POSITION) : POSITION { return pos; }
float4 ps_main() : COLOR0
{
#ifdef USE_TRANSPARENT
    return Strength * tex2D(Detail, float2(0, 0));
#else
    return 1;
#endif
}
)");
    STaSurfaceRecord records[3];
    records[0].channels[ETASC_BASECOLOR].kind = ETAPARAM_VECTOR3;
    records[0].channels[ETASC_BASECOLOR].vector[1] = 1;
    records[0].channels[ETASC_SIDEDNESS].kind = ETAPARAM_INT;
    records[0].channels[ETASC_SIDEDNESS].integer = 3;
    records[1].channels[ETASC_TRANSPARENCY].kind = ETAPARAM_FLOAT;
    records[1].channels[ETASC_TRANSPARENCY].vector[0] = 0.5f;
    records[1].channels[ETASC_BUMP].imageFile = "missing.png";
    records[1].applyToSurface = 1;
    records[1].effect.fileName = "own.hlsl";
    STaEffectParamEntry strength;
    strength.name = "Strength";
    strength.kind = ETAPARAM_FLOAT;
    strength.vector[0] = 0.25f;
    records[1].effect.entries.push_back(strength);

    // Values only: textures and effects stay.
    TaLogCapture log;
    CTaEffect* loaded = ext->getEffect(1);
    records[1].applyToSurface = 0; // the renderer's effect, which has no Strength
    ASSERT_EQ(SetSurfaces(1, 2, records, false), 0);
    records[1].applyToSurface = 1;
    EXPECT_FLOAT_EQ(surface(0)->getVector(ETASC_BASECOLOR)[1], 1.0f);
    EXPECT_EQ(surface(0)->getInt(ETASC_SIDEDNESS), 3);
    EXPECT_FLOAT_EQ(surface(1)->getFloat(ETASC_TRANSPARENCY), 0.5f);
    EXPECT_EQ(ext->getEffect(1), loaded);
    EXPECT_TRUE(log.lines.empty()) << log.lines.front();

    // With shaders: the missing map is said (in a box too), the surface's own effect is compiled
    // with its variant and gets the block's values.
    ASSERT_EQ(SetSurfaces(1, 2, records, true), 0);
    EXPECT_TRUE(log.contains("Object ID 1, Surf 1, Param 8: texture 'missing.png' not found"));
    CTaEffect* own = ext->getEffect(1);
    ASSERT_NE(own, nullptr);
    EXPECT_FLOAT_EQ(own->getFloat(own->parameterIndex("Strength")), 0.25f);
    EXPECT_EQ(own->definition()->getFileName(), std::string(m_dir + "/own.hlsl"));

    // One record too many.
    ASSERT_EQ(SetSurfaces(1, 3, records, false), -1);
    EXPECT_TRUE(log.contains("Object ID 1 has no surface 2, cannot SetSurfaces"));
    // A parameter the effect does not have.
    records[1].effect.entries[0].name = "Missing";
    SetSurfaces(1, 2, records, false);
    EXPECT_TRUE(log.contains("own.hlsl: no effect param with name 'Missing'"));
    EXPECT_TRUE(log.contains("Object ID 1 Surface 1: failed to set parameters of shader 'own.hlsl'"));
}

} // namespace
