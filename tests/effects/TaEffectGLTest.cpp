// Effects drawing on the OpenGL device (run under Xvfb): the transform semantics against Irrlicht's
// fixed-function picture, constants of every kind, texture layers beyond Irrlicht's four and
// vertex textures, sRGB, semantic maps, and a blending pass.
#include "TaTestSupport.h"

#include "effects/TaRecordingServices.h"

#include "effects/TaEffectManager.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "nodes/TaTextureManager.h"
#include "render/TaRenderServices.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <array>
#include <cmath>
#include <cstring>
#include <map>

namespace {

using namespace irr;
using Colour = std::array<float, 4>;


class TaEffectGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", 160, 120)), 0) << "no OpenGL device: run under xvfb-run";
        driver = taEngine().videoDriver;
        manager = taGetManager()->getEffectManager();
        handle = taNewMaterialExt();
    }
    void TearDown() override
    {
        if (effect)
            effect->drop();
        if (shot)
            shot->drop();
        taFreeMaterialExt(handle);
        taShutdown();
        TaScratchTest::TearDown();
    }

    // Loads an effect written here from its Tarv block and HLSL body.
    bool load(const std::string& block, const std::string& body)
    {
        writeFile("effect.hlsl", "/*\n[TARV_BEGIN]\n" + block + "[TARV_END]\n*/\n" + body);
        effect = manager->createEffect("effect.hlsl", -1, nullptr);
        EXPECT_NE(effect, nullptr) << manager->getLastError();
        return effect != nullptr;
    }
    // The effect's pass on a material, through the material extension record.
    void apply(video::SMaterial& material, int technique = 0, int pass = 0)
    {
        STaMaterialExt* record = taGetMaterialExt(handle);
        record->effect = effect;
        record->technique = technique;
        record->pass = pass;
        STaMaterial passMaterial;
        ASSERT_TRUE(effect->getPassMaterial(technique, pass, passMaterial));
        taApplyMaterial(passMaterial, material, handle, taGetManager()->getVideoDriverExt());
    }
    // A screen quad with the effect into a 4 x 4 float target cleared to `clear`; its centre pixel.
    Colour quad(const Colour& clear = {0, 0, 0, 0})
    {
        Colour pixel = {-1, -1, -1, -1};
        video::ITexture* target = taGetManager()->getTextureManager()->getRenderTarget(core::dimension2du(4, 4),
                                                                                     video::ECF_A32B32G32R32F);
        EXPECT_NE(target, nullptr);
        if (!target)
            return pixel;
        video::SMaterial material;
        apply(material);
        EXPECT_TRUE(taBeginScene());
        driver->setRenderTarget(target, true, true,
                                video::SColor(u32(clear[3] * 255), u32(clear[0] * 255), u32(clear[1] * 255),
                                              u32(clear[2] * 255)));
        taGetManager()->getRenderServices()->drawScreenQuad(material);
        glReadPixels(2, 2, 1, 1, GL_RGBA, GL_FLOAT, pixel.data());
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        taEndScene();
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        return pixel;
    }
    void writeImage(const char* file, u32 width, u32 height, video::SColor colour)
    {
        video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(width, height));
        image->fill(colour);
        ASSERT_TRUE(driver->writeImageToFile(image, file));
        image->drop();
    }
    void screenshot()
    {
        ASSERT_TRUE(Sync());
        ASSERT_EQ(taScreenshot("shot.png"), 0);
        if (shot)
            shot->drop();
        shot = driver->createImageFromFile("shot.png");
        ASSERT_NE(shot, nullptr);
    }

    video::IVideoDriver* driver = nullptr;
    CTaEffectManager* manager = nullptr;
    CTaEffect* effect = nullptr;
    video::IImage* shot = nullptr;
    u32 handle = 0;
};

::testing::AssertionResult near(const Colour& got, const Colour& want, float tolerance = 2.0f / 255)
{
    for (int c = 0; c < 4; ++c)
        if (std::fabs(got[c] - want[c]) > tolerance)
            return ::testing::AssertionFailure() << "got (" << got[0] << ", " << got[1] << ", " << got[2] << ", "
                                                 << got[3] << "), want (" << want[0] << ", " << want[1] << ", "
                                                 << want[2] << ", " << want[3] << ")";
    return ::testing::AssertionSuccess();
}

const char* const kScreenVertex = "float4 vs_main(float4 p : POSITION) : POSITION { return p; }\n";

TEST_F(TaEffectGLTest, TransformsMatchTheFixedFunctionPicture)
{
    // A checker texture on a rotated, non-uniformly scaled quad: first Irrlicht's own drawing.
    video::IImage* pattern = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
    for (u32 y = 0; y < 4; ++y)
        for (u32 x = 0; x < 4; ++x)
            pattern->setPixel(x, y, video::SColor(255, 40 + x * 60, 40 + y * 60, 200 - (x + y) * 20));
    driver->writeImageToFile(pattern, "checker.png");
    pattern->drop();
    scene::IMesh* mesh = taEngine().sceneManager->getGeometryCreator()->createPlaneMesh(
        core::dimension2df(3, 3), core::dimension2du(1, 1), nullptr, core::dimension2df(1, 1));
    scene::IMeshSceneNode* node = taEngine().sceneManager->addMeshSceneNode(mesh);
    mesh->drop();
    node->setPosition(core::vector3df(0.3f, -0.2f, 4));
    node->setRotation(core::vector3df(-75, 20, 10));
    node->setScale(core::vector3df(1.4f, 1, 0.6f));
    node->setMaterialFlag(video::EMF_LIGHTING, false);
    node->setMaterialTexture(0, driver->getTexture("checker.png"));
    screenshot();
    video::IImage* reference = shot;
    shot = nullptr;

    // Then through an effect fed by WorldViewProjection (the transposed product, for mul(M, v)).
    ASSERT_TRUE(load("//float4x4 WVP : WorldViewProjection : vertex\n//float4x4 WI : WorldInverse : vertex\n"
                     "//texture 0 : checker.png\n",
                     "float4x4 WVP;\nfloat4x4 WI;\nsampler2D Base : register(s0);\n"
                     "struct V { float4 pos : POSITION; float2 uv : TEXCOORD0; };\n"
                     "V vs_main(float3 p : POSITION, float2 uv : TEXCOORD0) { V o; o.pos = mul(WVP, float4(p, 1)); "
                     "o.uv = uv + mul(WI, float4(p, 1)).xy * 1e-9; return o; }\n"
                     "float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(Base, uv); }\n"));
    apply(node->getMaterial(0));
    screenshot();
    int lit = 0, different = 0;
    for (u32 y = 0; y < 120; ++y)
        for (u32 x = 0; x < 160; ++x) {
            const video::SColor a = reference->getPixel(x, y), b = shot->getPixel(x, y);
            const int delta = std::max({std::abs(int(a.getRed()) - int(b.getRed())),
                                        std::abs(int(a.getGreen()) - int(b.getGreen())),
                                        std::abs(int(a.getBlue()) - int(b.getBlue()))});
            lit += a.color != 0xFF000000;
            different += delta > 8;
        }
    reference->drop();
    EXPECT_GT(lit, 1500);
    EXPECT_LE(different, lit / 100);

    // The values themselves: the plain and transposed products.
    CTaRecordingServices services;
    STaMaterialExt* record = taGetMaterialExt(handle);
    driver->setTransform(video::ETS_WORLD, node->getAbsoluteTransformation());
    ASSERT_TRUE(effect->onSetShaderConstants(&services, 0, node->getMaterial(0), record));
    core::matrix4 wvp = driver->getTransform(video::ETS_PROJECTION);
    wvp *= driver->getTransform(video::ETS_VIEW);
    wvp *= node->getAbsoluteTransformation();
    ASSERT_EQ(services.vertex["WVP"].size(), 16u);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(services.vertex["WVP"][i], wvp.getTransposed().pointer()[i], 1e-5f) << i;
    // The world's inverse (an affine matrix: the engine's short way) against Irrlicht's general one.
    core::matrix4 inverse;
    ASSERT_TRUE(node->getAbsoluteTransformation().getInverse(inverse));
    ASSERT_EQ(services.vertex["WI"].size(), 16u);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(services.vertex["WI"][i], inverse.getTransposed().pointer()[i], 1e-5f) << i;
}

TEST_F(TaEffectGLTest, ConstantsOfEveryKindReachThePixels)
{
    ASSERT_TRUE(load("//bool Flag : 0 : pixel\n//int Count : 1 : pixel\n//float4 Tint : 0.25,0.5,0.75,1 : pixel\n"
                     "//float4 Glow : BloomThreshold : pixel\n",
                     std::string(kScreenVertex) +
                         "bool Flag;\nint Count;\nfloat4 Tint;\nfloat4 Glow;\n"
                         "float4 ps_main() : COLOR0 { if (Flag) return float4(1, 0, 0, 1);\n"
                         "  if (Count == 2) return float4(0, 0, 1, 1);\n  return Tint + Glow; }\n"));
    EXPECT_TRUE(near(quad(), {0.25f, 0.5f, 0.75f, 1}));
    ASSERT_TRUE(effect->setInt("Count", 2));
    EXPECT_TRUE(near(quad(), {0, 0, 1, 1}));
    ASSERT_TRUE(effect->setBool("Flag", true));
    EXPECT_TRUE(near(quad(), {1, 0, 0, 1}));
    ASSERT_TRUE(effect->setBool("Flag", false));
    ASSERT_TRUE(effect->setInt("Count", 0));
    const f32 tint[4] = {0.1f, 0.2f, 0.3f, 0.5f};
    ASSERT_TRUE(effect->setFloatArray("Tint", tint, 4));
    EXPECT_TRUE(near(quad(), {0.1f, 0.2f, 0.3f, 0.5f}));

    // A semantic map made before the effect feeds its semantic from C++.
    effect->drop();
    effect = nullptr;
    ITaEffectBindSemanticMap* map = manager->createSemanticMap();
    map->addSemantic("BloomThreshold", ETASEM_FLOAT4);
    effect = manager->createEffect("effect.hlsl", -1, nullptr);
    ASSERT_NE(effect, nullptr);
    const f32 glow[4] = {0.5f, 0.25f, 0, 0};
    map->setData("BloomThreshold", glow, sizeof glow);
    EXPECT_TRUE(near(quad(), {0.75f, 0.75f, 0.75f, 1}));
    map->drop();
}

TEST_F(TaEffectGLTest, LayersBeyondIrrlichtsFourAndVertexTextures)
{
    writeImage("five.png", 2, 2, video::SColor(255, 0, 200, 0));
    writeImage("vertex.png", 2, 2, video::SColor(255, 0, 0, 160));
    writeImage("grey.png", 2, 2, video::SColor(255, 0x80, 0x80, 0x80));
    ASSERT_TRUE(load("//texture Five : five.png : filterPoint\n//texture Fetched : vertex.png : vertex filterPoint\n"
                     "//texture 2 : grey.png : srgb\n",
                     "sampler2D Five : register(s5);\nsampler2D Grey : register(s2);\nsampler2D Fetched : register(s0);\n"
                     "struct V { float4 pos : POSITION; float4 fetched : COLOR0; };\n"
                     "V vs_main(float4 p : POSITION) { V o; o.pos = p; o.fetched = tex2Dlod(Fetched, float4(0.5, 0.5, 0, 0)); "
                     "return o; }\n"
                     "float4 ps_main(float4 fetched : COLOR0) : COLOR0 {\n"
                     "  return float4(tex2D(Grey, float2(0.5, 0.5)).r, tex2D(Five, float2(0.5, 0.5)).g, fetched.b, 1); }\n"));
    const STaFxPass* pass = effect->pass(0, 0);
    ASSERT_NE(pass->material.layers[5].texture, nullptr);
    ASSERT_NE(pass->material.vertexLayers[0].texture, nullptr);
    ASSERT_TRUE(pass->material.layers[2].srgb);
    // Layer 5 and the vertex layer reach the shaders; the sRGB layer decodes 0x80 to about 0.216.
    const Colour got = quad();
    EXPECT_NEAR(got[0], 0.2158f, 3e-3f);
    EXPECT_NEAR(got[1], 200 / 255.0f, 2e-3f);
    EXPECT_NEAR(got[2], 160 / 255.0f, 2e-3f);
}

TEST_F(TaEffectGLTest, WrapModesAndStructMembers)
{
    // Two texels, red then blue, sampled past the right edge: clamped it is blue, repeated red; the
    // repeated one sits in Irrlicht's layers, the clamped one in a layer the engine binds.
    video::IImage* pair = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(2, 1));
    pair->setPixel(0, 0, video::SColor(255, 255, 0, 0));
    pair->setPixel(1, 0, video::SColor(255, 0, 0, 255));
    driver->writeImageToFile(pair, "pair.png");
    pair->drop();
    ASSERT_TRUE(load("//texture 1 : pair.png : filterPoint repeat\n//texture 6 : pair.png : filterPoint clamp\n"
                     "//float4 LightParams : LightParams : pixel\n",
                     std::string(kScreenVertex) +
                         "sampler2D Repeated : register(s1);\nsampler2D Clamped : register(s6);\n"
                         "struct Light { float3 LightColor; float3 LightPosition; float3 LightDirection;\n"
                         "  float InvLightRadiusSqr; float2 SpotlightAngles; };\nLight LightParams[5];\n"
                         "float4 ps_main() : COLOR0 { float2 at = float2(1.25, 0.5);\n"
                         "  return float4(tex2D(Repeated, at).r, tex2D(Clamped, at).b, LightParams[1].LightColor.g,\n"
                         "                LightParams[3].SpotlightAngles.y); }\n"));
    taEffectLightBlock().lights[1].colour[1] = 0.375f;
    taEffectLightBlock().lights[3].spotAngles[1] = 0.625f;
    EXPECT_TRUE(near(quad(), {1, 1, 0.375f, 0.625f}));
    taEffectLightBlock() = STaLightBlock();
}

TEST_F(TaEffectGLTest, TheRenderServicesDrawAnyTechniqueOnAScreenQuad)
{
    ASSERT_TRUE(load("//config techniques : depth\n//float4 Tint : 0.5,0.5,0.5,1 : pixel\n",
                     std::string(kScreenVertex) +
                         "float4 Tint;\n"
                         "#ifdef USE_TECH_DEPTH\nfloat4 ps_main() : COLOR0 { return float4(0, Tint.g, 0, 1); }\n"
                         "#else\nfloat4 ps_main() : COLOR0 { return float4(Tint.r, 0, 0, 1); }\n#endif\n"));
    ASSERT_EQ(effect->techniqueCount(), 2u);
    video::ITexture* target = taGetManager()->getTextureManager()->getRenderTarget(core::dimension2du(4, 4),
                                                                                 video::ECF_A32B32G32R32F);
    CTaRenderServices* services = taGetManager()->getRenderServices();
    for (int technique = 0; technique < 2; ++technique) {
        ASSERT_TRUE(taBeginScene());
        driver->setRenderTarget(target, true, true, video::SColor(0, 0, 0, 0));
        EXPECT_TRUE(services->drawEffectQuad(effect, technique, 0));
        Colour pixel;
        glReadPixels(2, 2, 1, 1, GL_RGBA, GL_FLOAT, pixel.data());
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        taEndScene();
        EXPECT_TRUE(near(pixel, technique == 0 ? Colour{0.5f, 0, 0, 1} : Colour{0, 0.5f, 0, 1})) << technique;
    }
    EXPECT_FALSE(services->drawEffectQuad(effect, 2, 0));
    EXPECT_FALSE(services->drawEffectQuad(effect, 0, 1));
}

TEST_F(TaEffectGLTest, ABlendingPassBlendsWithItsFactors)
{
    writeFile("blend.hlsl", std::string(kScreenVertex) + "float4 ps_main() : COLOR0 { return float4(0.25, 0.5, 0, 1); }\n");
    auto* definition = new CTaEffectDef("blend.hlsl", true);
    STechnique technique;
    SPass pass;
    for (int stage : {ETASTAGE_VERTEX, ETASTAGE_PIXEL}) {
        SShader shader;
        shader.stage = stage;
        shader.file = "blend.hlsl";
        shader.entryPoint = stage == ETASTAGE_VERTEX ? "vs_main" : "ps_main";
        shader.target = stage == ETASTAGE_VERTEX ? ETATARGET_VS_3_0 : ETATARGET_PS_3_0;
        pass.shaders.push_back(shader);
    }
    SState enable, source, destination;
    enable.name = "blend_enable", enable.value = "TRUE";
    source.name = "blend_func src", source.value = "one";
    destination.name = "blend_func dest", destination.value = "ONE";
    pass.states = {enable, source, destination};
    technique.passes.push_back(pass);
    definition->effect().techniques.push_back(technique);
    std::vector<ITaEffectTextureResolver*> resolvers;
    std::vector<std::string> none;
    CTaEffectBuilder builder(taGetManager()->getGPUProgrammingServices(), taGetManager()->getVideoDriverExt(),
                             manager->binds(), resolvers, none, none);
    CTaEffectCallback* callback = new CTaEffectCallback();
    effect = builder.build(definition, -1, nullptr, callback);
    callback->drop();
    definition->drop();
    ASSERT_NE(effect, nullptr) << builder.error();
    EXPECT_EQ(effect->pass(0, 0)->material.material.MaterialTypeParam, taPackBlendParameter(1, 1, 1, 2));
    // One plus one: the quad's colour added to what the (float) target held, alpha included.
    EXPECT_TRUE(near(quad({0.5f, 0.25f, 0.5f, 1}), {0.75f, 0.75f, 0.5f, 2}, 3.0f / 255));

    // A pass on the transparent base blends by the source alpha.
    effect->drop();
    effect = nullptr;
    ASSERT_TRUE(load("//config baseMaterial : transparent\n",
                     std::string(kScreenVertex) + "float4 ps_main() : COLOR0 { return float4(1, 0, 0, 0.25); }\n"));
    EXPECT_TRUE(near(quad({0, 0, 1, 1}), {0.25f, 0, 0.75f, 0.25f * 0.25f + 0.75f}, 3.0f / 255));
}

} // namespace
