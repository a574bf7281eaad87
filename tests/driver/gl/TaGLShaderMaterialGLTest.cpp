// HLSL materials on the OpenGL device (run under Xvfb): a mesh drawn through a translated pair
// against Irrlicht's fixed-function path, several float targets at once, hot reload, and a corpus
// of Direct3D 9 style shaders that must translate and link.
#include "TaTestSupport.h"

#include "engine/TaEngine.h"
#include "core/TaLog.h"
#include "engine/TaManager.h"
#include "effects/TaEffectDefTarv.h"
#include "effects/TaGPUProgrammingServices.h"
#include "platform/TaPlatform.h"
#include "render/TaRenderServices.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

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

} // namespace
