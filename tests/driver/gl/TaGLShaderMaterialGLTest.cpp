// HLSL materials on the OpenGL device (run under Xvfb): a mesh drawn through a translated pair
// against Irrlicht's fixed-function path, several float targets at once, hot reload, a corpus of
// Direct3D 9 style shaders that must translate and link, and the light pre-pass effects in every
// variant, drawn over a synthetic scene against their lighting model.
#include "TaTestSupport.h"

#include "engine/TaEngine.h"
#include "core/TaLog.h"
#include "driver/TaMaterialExt.h"
#include "engine/TaManager.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectDefTarv.h"
#include "effects/TaEffectManager.h"
#include "effects/TaGPUProgrammingServices.h"
#include "platform/TaPlatform.h"
#include "render/TaRenderServices.h"
#include "render/TaRendererManager.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace irr;

// Sets what the test shaders read: the world-view-projection, a tint and an array of values.
class CTestConstants : public video::IShaderConstantSetCallBack
{
public:
    void OnSetConstants(video::IMaterialRendererServices* services, s32) override
    {
        video::IVideoDriver* driver = services->getVideoDriver();
        core::matrix4 wvp = driver->getTransform(video::ETS_PROJECTION);
        wvp *= driver->getTransform(video::ETS_VIEW);
        wvp *= driver->getTransform(video::ETS_WORLD);
        services->setVertexShaderConstant("WorldViewProj", wvp.pointer(), 16);
        services->setPixelShaderConstant("Tint", tint, 4);
        services->setPixelShaderConstant("Values", values, 16);
    }
    f32 tint[4] = {1, 1, 1, 1};
    f32 values[16] = {};
};

class TaGLShaderMaterialGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", 160, 120)), 0) << "no OpenGL device: run under xvfb-run";
        driver = taEngine().videoDriver;
        gpu = taGetManager()->getGPUProgrammingServices();
        constants = new CTestConstants();
    }
    void TearDown() override
    {
        if (image)
            image->drop();
        taShutdown();
        constants->drop();
        TaScratchTest::TearDown();
    }

    std::string shaderPath(const char* name) const { return std::string(TARV_TEST_DATA_DIR) + "/shaders/" + name; }

    s32 material(const std::string& file, std::string* error = nullptr,
                 video::E_MATERIAL_TYPE base = video::EMT_SOLID)
    {
        return gpu->getShaderMaterial(file.c_str(), "vs_main", 3, file.c_str(), "ps_main", 7, constants, base, 0,
                                      nullptr, error);
    }

    // A 4 x 4 texture of sixteen different colours.
    video::ITexture* checker()
    {
        video::IImage* pattern = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
        for (u32 y = 0; y < 4; ++y)
            for (u32 x = 0; x < 4; ++x)
                pattern->setPixel(x, y, video::SColor(255, 40 + x * 60, 40 + y * 60, 200 - (x + y) * 20));
        video::ITexture* texture = driver->addTexture("checker", pattern);
        pattern->drop();
        return texture;
    }

    // A quad facing the camera at z = 4, slightly turned so that perspective shows.
    scene::IMeshSceneNode* quad(video::ITexture* texture)
    {
        scene::IMesh* mesh = taEngine().sceneManager->getGeometryCreator()->createPlaneMesh(
            core::dimension2df(3, 3), core::dimension2du(1, 1), nullptr, core::dimension2df(1, 1));
        scene::IMeshSceneNode* node = taEngine().sceneManager->addMeshSceneNode(mesh);
        mesh->drop();
        node->setPosition(core::vector3df(0, 0, 4));
        node->setRotation(core::vector3df(-80, 15, 0));
        node->setMaterialFlag(video::EMF_LIGHTING, false);
        node->setMaterialTexture(0, texture);
        return node;
    }

    void shoot()
    {
        ASSERT_TRUE(Sync());
        ASSERT_EQ(taScreenshot("shot.png"), 0);
        if (image)
            image->drop();
        image = driver->createImageFromFile("shot.png");
        ASSERT_NE(image, nullptr);
    }

    video::IVideoDriver* driver = nullptr;
    CTaGPUProgrammingServices* gpu = nullptr;
    CTestConstants* constants = nullptr;
    video::IImage* image = nullptr;
};

TEST_F(TaGLShaderMaterialGLTest, TexturedMeshMatchesTheFixedFunctionPath)
{
    scene::IMeshSceneNode* node = quad(checker());
    shoot();
    video::IImage* reference = image;
    image = nullptr;

    const s32 type = material(shaderPath("textured.hlsl"));
    ASSERT_GE(type, 0);
    node->setMaterialType(static_cast<video::E_MATERIAL_TYPE>(type));
    shoot();

    int lit = 0, different = 0, worst = 0;
    for (u32 y = 0; y < 120; ++y)
        for (u32 x = 0; x < 160; ++x) {
            const video::SColor a = reference->getPixel(x, y), b = image->getPixel(x, y);
            const int delta = std::max({std::abs(int(a.getRed()) - int(b.getRed())),
                                        std::abs(int(a.getGreen()) - int(b.getGreen())),
                                        std::abs(int(a.getBlue()) - int(b.getBlue()))});
            lit += a.color != 0xFF000000;
            different += delta > 2;
            worst = std::max(worst, delta);
        }
    reference->drop();
    RecordProperty("lit", lit);
    RecordProperty("different", different);
    RecordProperty("worst", worst);
    EXPECT_GT(lit, 2000);          // the quad covers a good part of the frame
    EXPECT_LE(different, lit / 200) << "worst channel difference " << worst;

    // The tint constant reaches the pixel shader.
    constants->tint[1] = 0;
    constants->tint[2] = 0;
    shoot();
    const video::SColor centre = image->getPixel(80, 60);
    EXPECT_GT(centre.getRed(), 30u);
    EXPECT_EQ(centre.getGreen(), 0u);
    EXPECT_EQ(centre.getBlue(), 0u);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TaGLShaderMaterialGLTest, FourFloatTargetsAtOnce)
{
    video::ITexture* targets[4];
    for (int i = 0; i < 4; ++i) {
        targets[i] = driver->addRenderTargetTexture(core::dimension2du(16, 16), ("mrt" + std::to_string(i)).c_str(),
                                                    video::ECF_A32B32G32R32F);
        ASSERT_NE(targets[i], nullptr);
    }
    const s32 type = material(shaderPath("mrt.hlsl"));
    ASSERT_GE(type, 0);
    const f32 values[16] = {0.25f, -1.5f, 2.0f, 1.0f, 10.0f, 0.0f, 0.5f, -3.0f,
                            1e-3f, 100.0f, -0.125f, 7.0f, 0.75f, 0.75f, -0.75f, 64.0f};
    std::copy(values, values + 16, constants->values);

    ASSERT_TRUE(taBeginScene());
    CTaRenderServices* services = taGetManager()->getRenderServices();
    ASSERT_TRUE(services->setRenderTargets(targets, 4));
    video::SMaterial quadMaterial;
    quadMaterial.MaterialType = static_cast<video::E_MATERIAL_TYPE>(type);
    services->drawScreenQuad(quadMaterial);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(driver->setRenderTarget(targets[i], false, false));
        GLfloat read[4] = {};
        glReadPixels(8, 8, 1, 1, GL_RGBA, GL_FLOAT, read);
        for (int c = 0; c < 4; ++c)
            EXPECT_FLOAT_EQ(read[c], values[i * 4 + c]) << "target " << i << " channel " << c;
    }
    driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    taEndScene();
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TaGLShaderMaterialGLTest, HotReloadChangesThePictureAndABrokenReloadKeepsIt)
{
    const char* const shader = "float4x4 WorldViewProj;\n"
                               "float4 vs_main(float3 p : POSITION) : POSITION { return mul(float4(p, 1), WorldViewProj); }\n"
                               "float4 ps_main() : COLOR0 { return float4(%s); }\n";
    auto write = [&](const char* colour) {
        char text[512];
        snprintf(text, sizeof(text), shader, colour);
        writeFile("reload.hlsl", text);
    };
    write("1, 0, 0, 1");
    scene::IMeshSceneNode* node = quad(nullptr);
    const s32 type = material("reload.hlsl");
    ASSERT_GE(type, 0);
    node->setMaterialType(static_cast<video::E_MATERIAL_TYPE>(type));
    shoot();
    EXPECT_EQ(image->getPixel(80, 60).color, 0xFFFF0000);

    write("0, 1, 0, 1");
    const char* changed[] = {"reload.hlsl"};
    taReloadShaders(1, changed);
    shoot();
    EXPECT_EQ(image->getPixel(80, 60).color, 0xFF00FF00);

    TaLogCapture log;
    write("0, 0, 1, oops");
    taReloadShaders(1, changed);
    EXPECT_TRUE(log.contains("Failed to compile reload.hlsl"));
    shoot();
    EXPECT_EQ(image->getPixel(80, 60).color, 0xFF00FF00);
}

// The copy pass of the render services: a render target drawn over the whole current target by
// sampling it at the pixel's own position.
const char* const kCopyShader =
    "float2 resolution; sampler2D smplr : register(s0); float4 vs_main(float4 pos:POSITION):POSITION { return "
    "pos; } float4 ps_main(float4 vp:VPOS) : COLOR0 {   float4 Color = tex2D(smplr, (vp.xy+float2(0.5,0.5) ) / "
    "resolution );   return Color; }";

class CResolution : public video::IShaderConstantSetCallBack
{
public:
    void OnSetConstants(video::IMaterialRendererServices* services, s32) override
    {
        const core::dimension2du size = services->getVideoDriver()->getCurrentRenderTargetSize();
        const f32 resolution[2] = {f32(size.Width), f32(size.Height)};
        services->setPixelShaderConstant("resolution", resolution, 2);
    }
};

// Orientation: render targets keep OpenGL's row order (as Irrlicht's own draws do) and VPOS has
// OpenGL's lower-left origin, so a picture copied by VPOS through any number of render targets
// comes out the right way up. Checked with an asymmetric picture over odd and even chains.
TEST_F(TaGLShaderMaterialGLTest, CopyChainsKeepTheOrientation)
{
    video::IImage* quadrants = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(160, 120));
    for (u32 y = 0; y < 120; ++y)
        for (u32 x = 0; x < 160; ++x)
            quadrants->setPixel(x, y, y < 60 ? (x < 80 ? 0xFFFF0000 : 0xFF00FF00) : (x < 80 ? 0xFF0000FF : 0xFFFFFFFF));
    quadrants->setPixel(5, 5, 0xFF000000); // and one marked pixel
    video::ITexture* picture = driver->addTexture("quadrants", quadrants);
    quadrants->drop();
    gpu->store().setBuiltInSource("<test>/copy.hlsl", kCopyShader);
    CResolution* resolution = new CResolution();
    const s32 copy = gpu->getShaderMaterial("<test>/copy.hlsl", "vs_main", 3, "<test>/copy.hlsl", "ps_main", 7,
                                            resolution, video::EMT_SOLID, 0, nullptr);
    resolution->drop();
    ASSERT_GE(copy, 0);
    video::ITexture* targets[2] = {driver->addRenderTargetTexture(core::dimension2du(160, 120), "chainA"),
                                   driver->addRenderTargetTexture(core::dimension2du(160, 120), "chainB")};

    auto copyPass = [&](video::ITexture* source) {
        video::SMaterial material;
        material.MaterialType = static_cast<video::E_MATERIAL_TYPE>(copy);
        material.setTexture(0, source);
        material.TextureLayer[0].BilinearFilter = false;
        taGetManager()->getRenderServices()->drawScreenQuad(material);
    };
    for (int passes = 1; passes <= 4; ++passes) {
        SCOPED_TRACE(passes);
        ASSERT_TRUE(taBeginScene());
        // The picture into the first target with Irrlicht's own 2D draw.
        driver->setRenderTarget(targets[0], true, true, video::SColor(255, 0, 0, 0));
        driver->draw2DImage(picture, core::position2di(0, 0));
        // Target to target, then the last pass onto the window.
        for (int pass = 1; pass < passes; ++pass) {
            driver->setRenderTarget(targets[pass % 2], true, true, video::SColor(255, 0, 0, 0));
            copyPass(targets[(pass - 1) % 2]);
        }
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, true, true, video::SColor(255, 0, 0, 0));
        copyPass(targets[(passes - 1) % 2]);
        taEndScene();
        ASSERT_EQ(taScreenshot("chain.png"), 0);
        video::IImage* shot = driver->createImageFromFile("chain.png");
        ASSERT_NE(shot, nullptr);
        EXPECT_EQ(shot->getPixel(20, 20).color, 0xFFFF0000);
        EXPECT_EQ(shot->getPixel(140, 20).color, 0xFF00FF00);
        EXPECT_EQ(shot->getPixel(20, 100).color, 0xFF0000FF);
        EXPECT_EQ(shot->getPixel(140, 100).color, 0xFFFFFFFF);
        EXPECT_EQ(shot->getPixel(5, 5).color, 0xFF000000);
        EXPECT_EQ(shot->getPixel(6, 5).color, 0xFFFF0000);
        shot->drop();
    }
}

// Every pass of an effect file: its vertex and pixel shader as one material type.
void compileEffectPasses(CTaGPUProgrammingServices* gpu, const std::string& path, CTestConstants* constants)
{
    CTaEffectDefLoaderTarv loader;
    const char* errorText = nullptr;
    ITaEffectDef* effect = loader.load(nullptr, path.c_str(), nullptr, true, &errorText);
    ASSERT_EQ(errorText, nullptr) << path << ": " << errorText;
    const STaEffectInfo info = effect->getDesc();
    for (unsigned t = 0; t < info.techniques; ++t) {
        const STechnique* technique = effect->getTechnique(t);
        for (unsigned p = 0; p < effect->getTechniqueDesc(technique).passes; ++p) {
            const SPass* pass = effect->getPass(technique, p);
            std::string files[2], entries[2];
            for (unsigned i = 0; i < effect->getPassDesc(pass).shaders; ++i) {
                const STaShaderDesc shader = effect->getShaderDesc(effect->getShader(pass, i));
                const int slot = shader.stage == ETASTAGE_VERTEX ? 0 : 1;
                files[slot] = shader.file && *shader.file ? shader.file : path;
                entries[slot] = shader.entryPoint ? shader.entryPoint : "";
            }
            if (entries[0].empty() || entries[1].empty())
                continue;
            std::string error;
            EXPECT_GE(gpu->getShaderMaterial(files[0].c_str(), entries[0].c_str(), 3, files[1].c_str(),
                                             entries[1].c_str(), 7, constants, video::EMT_SOLID, 0, nullptr, &error),
                      0)
                << path << " technique " << t << " pass " << p << "\n" << error;
        }
    }
    effect->drop();
}

TEST_F(TaGLShaderMaterialGLTest, Direct3D9StyleShadersTranslateAndLink)
{
    const char* const files[] = {"textured.hlsl", "mrt.hlsl", "samplers.hlsl", "screen.hlsl", "constants.hlsl",
                                 "tangents.hlsl"};
    for (const char* file : files) {
        std::string error;
        EXPECT_GE(material(shaderPath(file), &error), 0) << file << "\n" << error;
    }
    // The effect files under data/, every pass of every technique.
    std::vector<std::string> effects;
    std::function<void(const std::string&)> walk = [&](const std::string& directory) {
        taPlatformListDirectory(directory.c_str(), [&](const char* name, bool isDirectory) {
            const std::string path = directory + "/" + name;
            if (isDirectory)
                walk(path);
            else if (taFileHasExtension(name, {"hlsl"}))
                effects.push_back(path);
        });
    };
    walk(TARV_DATA_DIR);
    for (const std::string& path : effects)
        compileEffectPasses(gpu, path, constants);

    TaLogCapture log;
    const s32 type = material(shaderPath("constants.hlsl"));
    EXPECT_TRUE(gpu->printConstants(type));
    EXPECT_TRUE(log.contains("Vertex Shader Constants"));
    EXPECT_TRUE(log.contains("Name='Bones'"));
    EXPECT_TRUE(log.contains("Name='LightColors'"));
}

// The renderer's effects (light pre-pass and post-processing) in every variant the renderer asks for,
// built as effects: each links, holds every constant the renderer sets by name (one the compiler
// dropped would be set for nothing), reads its textures from the layers the renderer fills, and
// blends as its pass must.
TEST_F(TaGLShaderMaterialGLTest, RendererEffectsBuildInEveryVariant)
{
    using Names = std::vector<const char*>;
    using Layers = std::vector<std::pair<const char*, int>>;
    const Names light = {"WorldViewProjection", "FarCorners", "LightColor"};
    const Names distant = {"LightDirection"};
    const Names point = {"LightPosition", "InvLightRadiusSqr"};
    const Names spot = {"LightPosition", "InvLightRadiusSqr", "LightDirection", "SpotlightAngles"};
    const Names shadow = {"ShadowWorldViewProj", "ShadowMaxD", "ShadowColor", "ShadowEpsilon"};
    const Names filtered = {"ShadowMapSize"}; // every filter but the single lookup steps by texels
    const Names volume = {"WorldViewProjection", "CameraPosition", "FarCornersWorld", "FarValue", "LightPosition",
                          "LightColor", "LightRadius", "LightPower", "IntensityClamp"};
    const Names cone = {"LightTanThetaSqr", "LightConeBase", "SoftEdgeRatio", "invConeTransform"};
    const Names projected = {"LightWorldViewProj"};
    const Layers buffers = {{"NormalBuffer", 0}, {"DepthBuffer", 1}};
    const Layers shadowBuffers = {{"NormalBuffer", 0}, {"DepthBuffer", 1}, {"ShadowMap", 2}};
    const Layers depth = {{"DepthBuffer", 0}};
    const Layers depthShadow = {{"DepthBuffer", 0}, {"ShadowMap", 1}};
    const Layers depthImage = {{"DepthBuffer", 0}, {"ProjectionImage", 1}};
    const Layers depthShadowImage = {{"DepthBuffer", 0}, {"ShadowMap", 1}, {"ProjectionImage", 2}};
    struct SCase {
        const char* file;
        Names macros;
        std::vector<Names> constants;
        Layers layers;
        bool additive;
    };
    const SCase cases[] = {
        {"LppDepthClear.hlsl", {}, {{"WorldViewProjection"}}, {}, false},
        {"LppShadowDepth.hlsl", {}, {{"WorldViewProj", "WorldView"}}, {}, false},
        {"LppLightPass.hlsl", {"USE_DISTANT"}, {light, distant}, buffers, true},
        {"LppLightPass.hlsl", {"USE_POINT"}, {light, point}, buffers, true},
        {"LppLightPass.hlsl", {"USE_SPOTLIGHT"}, {light, spot}, buffers, true},
        {"LppLightPass.hlsl", {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH0"}, {light, spot, shadow}, shadowBuffers, true},
        {"LppLightPass.hlsl", {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH1"}, {light, spot, shadow, filtered}, shadowBuffers, true},
        {"LppLightPass.hlsl", {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH2"}, {light, spot, shadow, filtered}, shadowBuffers, true},
        {"LppLightPass.hlsl", {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH4"}, {light, spot, shadow, filtered}, shadowBuffers, true},
        {"LppLightPass.hlsl", {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH8"}, {light, spot, shadow, filtered}, shadowBuffers, true},
        {"LppLightPass.hlsl", {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH16"}, {light, spot, shadow, filtered}, shadowBuffers, true},
        {"LppLightPass.hlsl", {"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH32"}, {light, spot, shadow, filtered}, shadowBuffers, true},
        {"VolumetricPointLight.hlsl", {}, {volume}, depth, true},
        {"VolumetricSpotLight.hlsl", {}, {volume, cone}, depth, true},
        {"VolumetricSpotLight.hlsl", {"USE_PROJIMAGE", "QUALITY_1"}, {volume, cone, projected}, depthImage, true},
        {"VolumetricSpotLight.hlsl", {"USE_SHADOW", "QUALITY_1"}, {volume, cone, projected}, depthShadow, true},
        {"VolumetricSpotLight.hlsl", {"USE_SHADOW", "USE_PROJIMAGE", "QUALITY_1"}, {volume, cone, projected}, depthShadowImage, true},
        {"VolumetricSpotLight.hlsl", {"USE_PROJIMAGE", "QUALITY_2"}, {volume, cone, projected}, depthImage, true},
        {"VolumetricSpotLight.hlsl", {"USE_SHADOW", "QUALITY_2"}, {volume, cone, projected}, depthShadow, true},
        {"VolumetricSpotLight.hlsl", {"USE_SHADOW", "USE_PROJIMAGE", "QUALITY_2"}, {volume, cone, projected}, depthShadowImage, true},
        {"VolumetricSpotLight.hlsl", {"USE_PROJIMAGE", "QUALITY_3"}, {volume, cone, projected}, depthImage, true},
        {"VolumetricSpotLight.hlsl", {"USE_SHADOW", "QUALITY_3"}, {volume, cone, projected}, depthShadow, true},
        {"VolumetricSpotLight.hlsl", {"USE_SHADOW", "USE_PROJIMAGE", "QUALITY_3"}, {volume, cone, projected}, depthShadowImage, true},
        {"VolumetricSpotLight.hlsl", {"USE_PROJIMAGE", "QUALITY_4"}, {volume, cone, projected}, depthImage, true},
        {"VolumetricSpotLight.hlsl", {"USE_SHADOW", "QUALITY_4"}, {volume, cone, projected}, depthShadow, true},
        {"VolumetricSpotLight.hlsl", {"USE_SHADOW", "USE_PROJIMAGE", "QUALITY_4"}, {volume, cone, projected}, depthShadowImage, true},
        {"Gamma.hlsl", {}, {}, {{"Source", 0}}, false},
        {"DownSampleBlur.hlsl", {}, {}, {{"Source", 0}}, false},
        {"ComposeUpSample.hlsl", {}, {{"Intensity"}}, {{"Source", 0}}, true},
        {"GaussianBlur.hlsl", {}, {{"Direction", "Radius", "Intensity"}}, {{"Source", 0}}, false},
        {"SMAA-1-LumaEdgeDetection.fx", {}, {{"TargetSize"}}, {{"Source", 0}}, false},
        {"SMAA-2-BlendingWeightCalculation.fx", {}, {{"TargetSize"}}, {{"Edges", 0}, {"Area", 1}, {"Search", 2}}, false},
        {"SMAA-3-NeighborhoodBlending.fx", {}, {{"TargetSize"}}, {{"Source", 0}, {"Weights", 1}}, false},
        {"DofCocArtist.hlsl", {}, {{"FocalRangeMin", "FocalRangeFocused", "FocalRangeMax"}}, {{"Source", 0}, {"DepthBuffer", 1}}, false},
        {"DofCocPhysical.hlsl", {}, {{"FocalDistance", "FStop", "TargetSize"}}, {{"Source", 0}, {"DepthBuffer", 1}}, false},
        {"Dof.hlsl", {}, {{"angle", "radiusScale", "TargetSize"}}, {{"Source", 0}, {"DepthBuffer", 1}}, false},
        {"BlendAntialias.hlsl", {}, {{"Blend"}}, {{"Current", 0}, {"History", 1}}, false},
        {"BlendAntialias.hlsl", {"USE_REPROJ_CAMERA"}, {{"Blend", "TargetSize", "CameraPosition", "FarCornersWorld", "FarValue", "PrevViewProj"}}, {{"Current", 0}, {"History", 1}, {"DepthBuffer", 2}}, false},
        {"BlendAntialias.hlsl", {"USE_REPROJ_CAMERA", "USE_VLIMIT"}, {{"Blend", "TargetSize", "CameraPosition", "FarCornersWorld", "FarValue", "PrevViewProj", "VLimit"}}, {{"Current", 0}, {"History", 1}, {"DepthBuffer", 2}}, false},
    };
    CTaEffectManager* effects = taGetManager()->getEffectManager();
    const f32 oneOne = taPackBlendParameter(video::EBF_ONE, video::EBF_ONE, 1, 0);
    for (const SCase& c : cases) {
        std::string what = c.file;
        std::vector<STaFxMacro> macros;
        for (const char* name : c.macros) {
            what += std::string(" ") + name;
            macros.push_back({name, nullptr});
        }
        macros.push_back({nullptr, nullptr});
        SCOPED_TRACE(what);
        const std::string path = std::string(TARV_DATA_DIR) + "/shaders/" + c.file;
        CTaEffect* effect = effects->createEffect(path.c_str(), -1, macros.data());
        ASSERT_NE(effect, nullptr) << effects->getLastError();
        const STaFxPass* pass = effect->pass(0, 0);
        ASSERT_NE(pass, nullptr);
        std::vector<std::string> held;
        std::vector<std::pair<std::string, int>> sampled;
        for (const STaFxShader& shader : pass->shaders) {
            for (const STaFxConstBind& constant : shader.constants)
                held.push_back(constant.name);
            for (const STaFxTextureBind& sampler : shader.samplers)
                sampled.emplace_back(sampler.name, sampler.sampler);
        }
        for (const Names& names : c.constants)
            for (const char* name : names)
                EXPECT_TRUE(std::find(held.begin(), held.end(), name) != held.end()) << name << " is not in the program";
        EXPECT_EQ(sampled.size(), c.layers.size());
        for (const auto& layer : c.layers)
            EXPECT_TRUE(std::find(sampled.begin(), sampled.end(), std::make_pair(std::string(layer.first), layer.second)) !=
                        sampled.end())
                << layer.first << " is not read from layer " << layer.second;
        const video::SMaterial& material = pass->material.material;
        EXPECT_EQ(c.additive, material.MaterialTypeParam == oneOne && material.BlendOperation == video::EBO_ADD);
        effect->drop();
    }
}

// The light pre-pass effects drawn over a synthetic scene and compared with the lighting model
// computed here: a camera off the origin and turned a little, a wall at view depth 10 facing it over
// the right three quarters of the screen (nothing over the left quarter), and lights placed in view
// or world space as the renderer places them.
class TaGLShaderMaterialLppGLTest : public TaGLShaderMaterialGLTest
{
protected:
    static constexpr int kWidth = 160, kHeight = 120, kShadowSize = 256;
    static constexpr float kWallDepth = 10, kNoSurfaceDepth = 1e8f, kGlossiness = 0.2f;

    void SetUp() override
    {
        TaGLShaderMaterialGLTest::SetUp();
        ASSERT_TRUE(taGetManager()->getRendererManager()->createRenderTargets(video::ECF_A16B16G16R16F, nullptr));
        scene::ISceneManager* scene = taEngine().sceneManager;
        camera = scene->addCameraSceneNode(nullptr, core::vector3df(1, 2, -3), core::vector3df(2.5f, 2, 7));
        scene->setActiveCamera(camera);
        camera->setAspectRatio(float(kWidth) / kHeight);
        camera->setNearValue(0.1f);
        camera->setFarValue(100);
        camera->OnAnimate(0);
        camera->render(); // its frustum, read by the far-corner semantics
        view = camera->getViewMatrix();
        view.getInverse(viewInverse);
        projection = camera->getProjectionMatrix();
        // The wall: the cleared buffers, then a surface where x >= 1/4 of the screen (normal towards
        // the camera, glossiness kGlossiness, depth kWallDepth).
        writeFile("wall.hlsl", "/*\n[TARV_BEGIN]\n//float2 TargetSize : TargetSize : pixel\n[TARV_END]\n*/\n"
                               "float2 TargetSize;\n"
                               "float4 vs_main(float3 p : POSITION) : POSITION { return float4(p, 1); }\n"
                               "void ps_main(float2 vpos : VPOS, out float4 n : COLOR0, out float4 d : COLOR1) {\n"
                               "    clip((vpos.x + 0.5) / TargetSize.x - 0.25);\n"
                               "    n = float4(0, 0, -1, 0.2); d = float4(10, 0, 0, 1);\n}\n");
        // A shadow map whose lower half holds casters at depth 5 (or `Near` everywhere).
        writeFile("casters.hlsl", "/*\n[TARV_BEGIN]\n//float2 TargetSize : TargetSize : pixel\n"
                                  "//float Near : 5 : pixel\n//float Everywhere : 0 : pixel\n[TARV_END]\n*/\n"
                                  "float2 TargetSize; float Near; float Everywhere;\n"
                                  "float4 vs_main(float3 p : POSITION) : POSITION { return float4(p, 1); }\n"
                                  "float4 ps_main(float2 vpos : VPOS) : COLOR0 {\n"
                                  "    bool caster = Everywhere > 0 || (vpos.y + 0.5) / TargetSize.y < 0.5;\n"
                                  "    return float4(caster ? Near : 1e8, 0, 0, 1);\n}\n");
        CTaEffect* clear = effect((std::string(TARV_DATA_DIR) + "/shaders/LppDepthClear.hlsl").c_str(), {});
        CTaEffect* wall = effect((m_dir + "/wall.hlsl").c_str(), {});
        ASSERT_TRUE(clear && wall);
        video::ITexture* buffers[2] = {driver->findTexture("NormalRTT"), driver->findTexture("DepthRTT")};
        ASSERT_TRUE(buffers[0] && buffers[1]);
        ASSERT_TRUE(taBeginScene());
        CTaRenderServices* services = taGetManager()->getRenderServices();
        ASSERT_TRUE(services->setRenderTargets(buffers, 2));
        EXPECT_TRUE(services->drawEffectQuad(clear, 0, 0));
        EXPECT_TRUE(services->drawEffectQuad(wall, 0, 0));
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        taEndScene();
        clear->drop();
        wall->drop();
    }

    CTaEffect* effect(const char* path, std::vector<const char*> names)
    {
        std::vector<STaFxMacro> macros;
        for (const char* name : names)
            macros.push_back({name, nullptr});
        macros.push_back({nullptr, nullptr});
        CTaEffectManager* effects = taGetManager()->getEffectManager();
        CTaEffect* built = effects->createEffect(path, -1, macros.data());
        EXPECT_NE(built, nullptr) << path << ": " << effects->getLastError();
        return built;
    }

    // Fills ShadowMap.256 with casters at `nearDepth` in its lower half, or everywhere.
    video::ITexture* shadowMap(float nearDepth, bool everywhere)
    {
        video::ITexture* map = driver->findTexture("ShadowMap.256");
        CTaEffect* casters = effect((m_dir + "/casters.hlsl").c_str(), {});
        if (!map || !casters) {
            if (casters)
                casters->drop();
            return nullptr;
        }
        casters->setFloat("Near", nearDepth);
        casters->setFloat("Everywhere", everywhere ? 1.0f : 0.0f);
        taBeginScene();
        driver->setRenderTarget(map, true, true, video::SColor(0, 0, 0, 0));
        taGetManager()->getRenderServices()->drawEffectQuad(casters, 0, 0);
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        taEndScene();
        casters->drop();
        return map;
    }

    // Draws the effect additively into `target` cleared to black; the target's texels (RGBA, rows
    // from the bottom).
    std::vector<float> draw(CTaEffect* fx, const char* target)
    {
        video::ITexture* texture = driver->findTexture(target);
        std::vector<float> out(size_t(kWidth) * kHeight * 4);
        if (!fx || !texture)
            return out;
        taBeginScene();
        driver->setRenderTarget(texture, true, false, video::SColor(0, 0, 0, 0));
        EXPECT_TRUE(taGetManager()->getRenderServices()->drawEffectQuad(fx, 0, 0));
        glReadPixels(0, 0, kWidth, kHeight, GL_RGBA, GL_FLOAT, out.data());
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        taEndScene();
        return out;
    }

    // The view-space direction through a texel's centre, scaled to view depth 1.
    core::vector3df viewRay(int x, int y) const
    {
        const float ndcX = (x + 0.5f) / kWidth * 2 - 1, ndcY = (y + 0.5f) / kHeight * 2 - 1;
        return core::vector3df(ndcX / projection[0], ndcY / projection[5], 1);
    }
    static bool onWall(int x) { return (x + 0.5f) / kWidth >= 0.25f; }
    static float clip01(float v) { return std::min(std::max(v, 0.0f), 1.0f); }
    void setVector(CTaEffect* fx, const char* name, const core::vector3df& v)
    {
        const f32 values[3] = {v.X, v.Y, v.Z};
        EXPECT_TRUE(fx->setFloatArray(name, values, 3)) << name;
    }

    scene::ICameraSceneNode* camera = nullptr;
    core::matrix4 view, viewInverse, projection;
};

TEST_F(TaGLShaderMaterialLppGLTest, LightPassMatchesTheLightingModel)
{
    // A spot light near the camera pointing into the wall; its shadow camera as the renderer makes it.
    const core::vector3df spotAt(0.5f, 0.3f, 0), spotAxis = core::vector3df(0.1f, -0.05f, 1).normalize();
    core::matrix4 shadowView, shadowProjection;
    shadowView.buildCameraLookAtMatrixLH(spotAt, spotAt + spotAxis, core::vector3df(0, 1, 0));
    shadowProjection.buildProjectionMatrixPerspectiveFovLH(50 * core::DEGTORAD, 1, 0.01f, 100);
    const core::matrix4 shadowViewProjection = shadowProjection * shadowView; // from view space
    const core::vector3df shadowColour(0.2f, 0.1f, 0.05f);
    struct SCase {
        std::vector<const char*> macros;
        core::vector3df position, direction;
        float radius;
        float filterTexels; // -1: no shadow
    };
    const SCase cases[] = {
        {{"USE_DISTANT"}, {}, core::vector3df(0.3f, -0.2f, 1).normalize(), 0, -1},
        {{"USE_POINT"}, {1, 0.5f, 7}, {}, 6, -1},
        {{"USE_SPOTLIGHT"}, spotAt, spotAxis, 30, -1},
        {{"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH0"}, spotAt, spotAxis, 30, 0},
        {{"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH1"}, spotAt, spotAxis, 30, 1},
        {{"USE_SPOTLIGHT", "USE_SHADOW", "USE_SH8"}, spotAt, spotAxis, 30, 8},
    };
    const core::vector3df colour(0.8f, 0.6f, 0.4f);
    const float cosInner = std::cos(15 * core::DEGTORAD), cosOuter = std::cos(25 * core::DEGTORAD);
    video::ITexture* map = shadowMap(5, false);
    ASSERT_NE(map, nullptr);
    for (const SCase& c : cases) {
        std::string what;
        for (const char* name : c.macros)
            what += std::string(name) + " ";
        SCOPED_TRACE(what);
        CTaEffect* fx = effect((std::string(TARV_DATA_DIR) + "/shaders/LppLightPass.hlsl").c_str(), c.macros);
        ASSERT_NE(fx, nullptr);
        const bool distant = c.radius == 0, spot = c.macros.size() > 0 && std::string(c.macros[0]) == "USE_SPOTLIGHT";
        const bool shadowed = c.filterTexels >= 0;
        setVector(fx, "LightColor", colour);
        setVector(fx, "LightPosition", c.position);
        setVector(fx, "LightDirection", c.direction);
        fx->setFloat("InvLightRadiusSqr", distant ? 0 : 1 / (c.radius * c.radius));
        const f32 angles[2] = {cosInner, cosOuter};
        fx->setFloatArray("SpotlightAngles", angles, 2);
        if (shadowed) {
            EXPECT_TRUE(fx->setMatrix("ShadowWorldViewProj", shadowViewProjection));
            EXPECT_TRUE(fx->setFloat("ShadowMaxD", 100));
            setVector(fx, "ShadowColor", shadowColour);
            const f32 mapSize[2] = {kShadowSize, kShadowSize};
            EXPECT_TRUE(fx->setFloatArray("ShadowMapSize", mapSize, 2));
            EXPECT_TRUE(fx->setFloat("ShadowEpsilon", 0.001f));
            EXPECT_TRUE(fx->setTexture("ShadowMap", map, false));
        }
        const std::vector<float> light = draw(fx, "LightRTT");
        fx->drop();

        int lit = 0, shadowedTexels = 0, checked = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const float* got = &light[(size_t(y) * kWidth + x) * 4];
                if (!onWall(x)) {
                    ASSERT_EQ(got[0] + got[1] + got[2] + got[3], 0.0f) << "no surface at " << x << ", " << y;
                    continue;
                }
                // The model: Blinn-Phong with the surfaces' exponent, (1 - d^2 / r^2)^2 falloff,
                // smooth spot edge, the shadow colour where the map holds a nearer caster.
                const core::vector3df p = viewRay(x, y) * kWallDepth, normal(0, 0, -1);
                core::vector3df toLight = -c.direction;
                float strength = 1;
                if (!distant) {
                    toLight = c.position - p;
                    const float fade = clip01(1 - toLight.getLengthSQ() / (c.radius * c.radius));
                    strength = fade * fade;
                    toLight.normalize();
                    if (spot) {
                        const float t = clip01((-toLight.dotProduct(c.direction) - cosOuter) / (cosInner - cosOuter));
                        strength *= t * t * (3 - 2 * t);
                    }
                }
                core::vector3df tint = colour;
                if (shadowed) {
                    f32 clipPos[4];
                    shadowViewProjection.transformVect(clipPos, p);
                    const float v = clipPos[1] / clipPos[3] * 0.5f + 0.5f;
                    if (std::fabs(v - 0.5f) * kShadowSize < c.filterTexels + 1.5f)
                        continue; // on the filtered edge
                    if (v < 0.5f && clipPos[3] / 100 - 0.001f > 0.05f) {
                        tint = colour * shadowColour;
                        shadowedTexels += strength > 0.1f;
                    }
                }
                const float facing = clip01(normal.dotProduct(toLight));
                const core::vector3df halfway = (toLight + (-p).normalize()).normalize();
                const float specular = std::pow(clip01(normal.dotProduct(halfway)), std::exp2(10 * kGlossiness + 2));
                const float luminance = tint.X * 0.3f + tint.Y * 0.59f + tint.Z * 0.11f;
                const float expected[4] = {tint.X * facing * strength, tint.Y * facing * strength,
                                           tint.Z * facing * strength, luminance * specular * facing * strength};
                for (int i = 0; i < 4; ++i)
                    ASSERT_NEAR(got[i], expected[i], 0.004f + 0.01f * expected[i])
                        << "channel " << i << " at " << x << ", " << y;
                lit += expected[0] > 0.05f;
                ++checked;
            }
        EXPECT_GT(lit, 500);
        EXPECT_GT(checked, kWidth * kHeight / 2);
        if (shadowed) {
            EXPECT_GT(shadowedTexels, 300);
        }
    }
}

TEST_F(TaGLShaderMaterialLppGLTest, VolumetricLightsMatchTheScatteringIntegral)
{
    const core::vector3df colour(0.9f, 0.7f, 0.5f);
    const float power = 3, intensityClamp = 0.8f;
    core::vector3df cameraAt = camera->getAbsolutePosition();
    // The point light 8 in front of the camera, its radius 4 reaching into the wall.
    core::vector3df pointAt(0.5f, 0, 8);
    viewInverse.transformVect(pointAt);
    // The spot light left of the view, shining across it and into the wall.
    core::vector3df spotAt(-2, 1, 6), spotAxis(1, -0.3f, 0.6f);
    viewInverse.transformVect(spotAt);
    viewInverse.rotateVect(spotAxis);
    spotAxis.normalize();
    const float tanTheta = std::tan(25 * core::DEGTORAD), coneBase = 8, spotRadius = 8, softEdge = 0.2f;
    core::matrix4 spotWorld, coneFromWorld;
    spotWorld.buildRotateFromTo(core::vector3df(0, 0, 1), spotAxis);
    spotWorld.setTranslation(spotAt);
    spotWorld.getInverse(coneFromWorld);
    core::vector3df check(0, 0, 1);
    spotWorld.rotateVect(check);
    ASSERT_LT((check - spotAxis).getLength(), 1e-4f);
    core::matrix4 lightView, lightProjection;
    lightView.buildCameraLookAtMatrixLH(spotAt, spotAt + spotAxis, core::vector3df(0, 1, 0));
    lightProjection.buildProjectionMatrixPerspectiveFovLH(50 * core::DEGTORAD, 1, 0.01f, 100);
    const core::matrix4 lightViewProjection = lightProjection * lightView;

    // A projected image: its top row red, its bottom row green.
    video::IImage* picture = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(1, 2));
    picture->setPixel(0, 0, video::SColor(255, 255, 0, 0));
    picture->setPixel(0, 1, video::SColor(255, 0, 255, 0));
    video::ITexture* image = driver->addTexture("redOverGreen", picture);
    picture->drop();
    // Its colour at v (0 = top), filtered between the two texel centres.
    auto imageColour = [](float v) {
        const float g = clip01((v - 0.25f) * 2);
        return core::vector3df(1 - g, g, 0);
    };

    // The density of the glow at a world point: the falloff to 0 at the radius, for the spot light
    // also the cone with its soft edge; and the image's colour there.
    auto density = [&](bool spot, const core::vector3df& p, core::vector3df& tint) {
        tint = core::vector3df(1, 1, 1);
        const core::vector3df centre = spot ? spotAt : pointAt;
        const float radius = spot ? spotRadius : 4;
        const float falloff = std::max(1 / (1 + 16 * (p - centre).getLengthSQ() / (radius * radius)) - 1.0f / 17, 0.0f);
        if (!spot)
            return falloff;
        core::vector3df q = p;
        coneFromWorld.transformVect(q);
        if (q.Z <= 0 || q.Z > coneBase)
            return 0.0f;
        const float width = std::sqrt(q.X * q.X + q.Y * q.Y) / (q.Z * tanTheta);
        f32 clipPos[4];
        lightViewProjection.transformVect(clipPos, p);
        tint = imageColour(0.5f - 0.5f * clipPos[1] / clipPos[3]);
        return falloff * clip01((1 - width) / softEdge);
    };
    // The glow of a pixel by a fine sum along its ray up to the wall (or far beyond it).
    auto expected = [&](bool spot, bool projected, int x, int y) {
        const core::vector3df ray = viewRay(x, y);
        core::vector3df direction = ray;
        viewInverse.rotateVect(direction);
        direction.normalize();
        const float end = std::min((onWall(x) ? kWallDepth : kNoSurfaceDepth) * ray.getLength(), 40.0f);
        const int steps = 4000;
        core::vector3df sum;
        for (int i = 0; i < steps; ++i) {
            core::vector3df tint;
            const float d = density(spot, cameraAt + direction * ((i + 0.5f) * end / steps), tint);
            sum += (projected ? tint : core::vector3df(1, 1, 1)) * d;
        }
        core::vector3df glow = sum * (power * end / steps / (spot ? spotRadius : 4));
        const float brightest = std::max(std::max(glow.X, glow.Y), glow.Z);
        return colour * (brightest > intensityClamp ? glow * (intensityClamp / brightest) : glow);
    };

    struct SCase {
        const char* file;
        std::vector<const char*> macros;
        const char* shadow; // "" none, "far": no casters, "near": casters before everything
        bool projected;
    };
    const SCase cases[] = {
        {"VolumetricPointLight.hlsl", {}, "", false},
        {"VolumetricSpotLight.hlsl", {}, "", false},
        {"VolumetricSpotLight.hlsl", {"USE_SHADOW", "QUALITY_2"}, "far", false},
        {"VolumetricSpotLight.hlsl", {"USE_SHADOW", "QUALITY_4"}, "near", false},
        {"VolumetricSpotLight.hlsl", {"USE_PROJIMAGE", "QUALITY_4"}, "", true},
        {"VolumetricSpotLight.hlsl", {"USE_SHADOW", "USE_PROJIMAGE", "QUALITY_3"}, "far", true},
    };
    for (const SCase& c : cases) {
        std::string what = c.file;
        for (const char* name : c.macros)
            what += std::string(" ") + name;
        SCOPED_TRACE(what);
        const bool spot = std::string(c.file) == "VolumetricSpotLight.hlsl", dark = std::string(c.shadow) == "near";
        CTaEffect* fx = effect((std::string(TARV_DATA_DIR) + "/shaders/" + c.file).c_str(), c.macros);
        ASSERT_NE(fx, nullptr);
        setVector(fx, "LightPosition", spot ? spotAt : pointAt);
        setVector(fx, "LightColor", colour);
        fx->setFloat("LightRadius", spot ? spotRadius : 4);
        fx->setFloat("LightPower", power);
        fx->setFloat("IntensityClamp", intensityClamp);
        fx->setFloat("LightTanThetaSqr", tanTheta * tanTheta);
        fx->setFloat("LightConeBase", coneBase);
        fx->setFloat("SoftEdgeRatio", softEdge);
        fx->setMatrix("invConeTransform", coneFromWorld.getTransposed());
        fx->setMatrix("LightWorldViewProj", lightViewProjection);
        if (*c.shadow) {
            EXPECT_TRUE(fx->setTexture("ShadowMap", shadowMap(dark ? 0.001f : 1e8f, true), false));
        }
        if (c.projected) {
            EXPECT_TRUE(fx->setTexture("ProjectionImage", image, false));
        }
        const std::vector<float> glow = draw(fx, "BackRTT[0]");
        fx->drop();

        float brightest = 0, worst = 0;
        for (int y = 0; y < kHeight; y += 3)
            for (int x = 0; x < kWidth; x += 3) {
                const float* got = &glow[(size_t(y) * kWidth + x) * 4];
                const core::vector3df want = dark ? core::vector3df() : expected(spot, c.projected, x, y);
                brightest = std::max(brightest, want.X);
                worst = std::max({worst, std::fabs(got[0] - want.X), std::fabs(got[1] - want.Y),
                                  std::fabs(got[2] - want.Z)});
            }
        if (!dark) {
            EXPECT_GT(brightest, 0.2f);
        }
        // Half-float targets, and for the spot light a march of 8 to 64 steps against the fine sum.
        EXPECT_LE(worst, 0.012f);
    }
}

TEST_F(TaGLShaderMaterialLppGLTest, ShadowDepthWritesTheDepthAlongTheLightsAxisOverAClearedMap)
{
    CTaEffect* fx = effect((std::string(TARV_DATA_DIR) + "/shaders/LppShadowDepth.hlsl").c_str(), {});
    CTaEffect* clear = effect((std::string(TARV_DATA_DIR) + "/shaders/LppDepthClear.hlsl").c_str(), {});
    video::ITexture* map = driver->findTexture("ShadowMap.256");
    ASSERT_TRUE(fx && clear && map);
    ASSERT_EQ(clear->techniqueCount(), 2u);
    // The light's camera, off the origin and turned; a wall before the right half of its view at
    // light-view depth z = 6 + 0.5 x, given in world space.
    core::matrix4 lightView, lightViewInverse, lightProjection;
    lightView.buildCameraLookAtMatrixLH(core::vector3df(3, 1, -2), core::vector3df(3.3f, 0.8f, -1),
                                        core::vector3df(0, 1, 0));
    lightView.getInverse(lightViewInverse);
    lightProjection.buildProjectionMatrixPerspectiveFovLH(50 * core::DEGTORAD, 1, 0.01f, 100);
    video::S3DVertex corners[4];
    const float xs[4] = {0, 6, 6, 0}, ys[4] = {-6, -6, 6, 6};
    for (int i = 0; i < 4; ++i) {
        core::vector3df p(xs[i], ys[i], 6 + 0.5f * xs[i]);
        lightViewInverse.transformVect(p);
        corners[i].Pos = p;
    }
    const u16 indices[6] = {0, 1, 2, 0, 2, 3};
    const u32 record = taNewMaterialExt();
    STaMaterial pass;
    ASSERT_TRUE(fx->getPassMaterial(0, 0, pass));
    video::SMaterial material;
    taApplyMaterial(pass, material, record, taGetManager()->getVideoDriverExt());
    taGetMaterialExt(record)->effect = fx;
    material.BackfaceCulling = false;

    ASSERT_TRUE(taBeginScene());
    driver->setRenderTarget(map, true, true, video::SColor(0, 0, 0, 0));
    EXPECT_TRUE(taGetManager()->getRenderServices()->drawEffectQuad(clear, 1, 0));
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->setTransform(video::ETS_VIEW, lightView);
    driver->setTransform(video::ETS_PROJECTION, lightProjection);
    driver->setMaterial(material);
    driver->drawIndexedTriangleList(corners, 4, indices, 2);
    std::vector<float> depth(size_t(kShadowSize) * kShadowSize);
    glReadPixels(0, 0, kShadowSize, kShadowSize, GL_RED, GL_FLOAT, depth.data());
    driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    taEndScene();
    taGetMaterialExt(record)->effect = nullptr;
    taFreeMaterialExt(record);
    clear->drop();
    fx->drop();

    // Along the ray through a texel, (rx z, ry z, z) meets the wall where z = 6 / (1 - 0.5 rx), for
    // rx >= 0; the left half keeps the cleared depth.
    for (int y = 0; y < kShadowSize; y += 5)
        for (int x = 0; x < kShadowSize; x += 5) {
            const float rx = ((x + 0.5f) / kShadowSize * 2 - 1) / lightProjection[0];
            const float got = depth[size_t(y) * kShadowSize + x];
            if (rx < -0.01f) {
                ASSERT_EQ(got, kNoSurfaceDepth) << x << ", " << y;
            } else if (rx > 0.01f) {
                ASSERT_NEAR(got, 6 / (1 - 0.5f * rx), 0.02f) << x << ", " << y;
            }
        }
}
} // namespace
