// The render-target table on the OpenGL device (run under Xvfb): every target found by name at its
// size and format, shadow maps with depth and stencil of their own, the others sharing Irrlicht's.
#include "TaTestSupport.h"

#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "render/TaRendererManager.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

namespace {

using namespace irr;

class TaRenderTargetsGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", 200, 120)), 0) << "no OpenGL device: run under xvfb-run";
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
    // The GL object attached as depth to a target's frame buffer.
    GLint depthAttachment(const char* name)
    {
        video::IVideoDriver* driver = taEngine().videoDriver;
        EXPECT_TRUE(driver->setRenderTarget(driver->findTexture(name), false, false)) << name;
        GLint object = 0;
        glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &object);
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        return object;
    }
};

TEST_F(TaRenderTargetsGLTest, TheTableByName)
{
    video::IVideoDriver* driver = taEngine().videoDriver;
    CTaRendererManager* renderers = taGetManager()->getRendererManager();
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, true);
    ASSERT_TRUE(renderers->createRenderTargets(video::ECF_A16B16G16R16F, nullptr));
    EXPECT_TRUE(driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS)); // back as it was
    for (const STaRenderTargetSpec& spec : taRenderTargetTable(video::ECF_A16B16G16R16F, {200, 120})) {
        video::ITexture* target = driver->findTexture(spec.name.c_str());
        ASSERT_NE(target, nullptr) << spec.name;
        EXPECT_TRUE(target->isRenderTarget()) << spec.name;
        EXPECT_EQ(target->getSize(), spec.size) << spec.name;
        EXPECT_EQ(target->getColorFormat(), spec.format) << spec.name;
    }
    // Targets of one size share one depth-stencil buffer (a stencil written while drawing into one is
    // read while drawing into another); the two 512 shadow maps have their own.
    EXPECT_EQ(depthAttachment("BackRTT[0]"), depthAttachment("LightRTT"));
    EXPECT_EQ(depthAttachment("HalfScreen[0]"), depthAttachment("HalfScreen[2]"));
    EXPECT_NE(depthAttachment("BackRTT[0]"), 0);
    EXPECT_NE(depthAttachment("ShadowMap.512"), depthAttachment("ShadowMap.512.1"));
    EXPECT_NE(depthAttachment("ShadowMap.512"), 0);
    for (const char* name : {"ShadowMap.1024", "BackRTT[2]", "QuarterScreen[1]"}) {
        GLint stencilBits = 0;
        driver->setRenderTarget(driver->findTexture(name), false, false);
        glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_STENCIL_ATTACHMENT,
                                              GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE, &stencilBits);
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        EXPECT_EQ(stencilBits, 8) << name;
    }
    // Asking again keeps the targets that are there.
    video::ITexture* before = driver->findTexture("LightRTT");
    ASSERT_TRUE(renderers->createRenderTargets(video::ECF_A16B16G16R16F, nullptr));
    EXPECT_EQ(driver->findTexture("LightRTT"), before);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace

#include "render/TaNodeRenderInfo.h"
#include "render/TaRenderServices.h"

namespace {

TEST_F(TaRenderTargetsGLTest, RenderNodesDrawsTheListedNodesOnly)
{
    video::IVideoDriver* driver = taEngine().videoDriver;
    scene::ISceneManager* scene = taEngine().sceneManager;
    // Three quads side by side facing the camera, each of its own colour.
    const video::SColor colours[3] = {{255, 255, 0, 0}, {255, 0, 255, 0}, {255, 0, 0, 255}};
    scene::ISceneNode* quads[3];
    for (int i = 0; i < 3; ++i) {
        video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(1, 1));
        image->fill(colours[i]);
        video::ITexture* texture = driver->addTexture(("colour" + std::to_string(i)).c_str(), image);
        image->drop();
        scene::IMesh* plane = scene->getGeometryCreator()->createPlaneMesh(core::dimension2df(1.5f, 1.5f));
        quads[i] = scene->addMeshSceneNode(plane);
        plane->drop();
        quads[i]->setPosition(core::vector3df(-2.0f + 2.0f * i, 0, 5));
        quads[i]->setRotation(core::vector3df(-90, 0, 0));
        quads[i]->setMaterialFlag(video::EMF_LIGHTING, false);
        quads[i]->setMaterialTexture(0, texture);
        quads[i]->updateAbsolutePosition();
    }
    scene::ICameraSceneNode* camera = scene->getActiveCamera();
    camera->setPosition(core::vector3df(0, 0, 0));
    camera->setTarget(core::vector3df(0, 0, 5));
    CTaRenderServices* services = taGetManager()->getRenderServices();
    auto draw = [&](const core::array<scene::ISceneNode*>& nodes, const video::SOverrideMaterial* override,
                    int& count, int counted[3]) {
        ASSERT_TRUE(taBeginScene());
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, true, true, video::SColor(255, 0, 0, 0));
        camera->render(); // view and projection
        ASSERT_TRUE(services->renderNodes(nodes, scene::ESNRP_SOLID, "", override, 0, 0, count));
        taEndScene();
        ASSERT_EQ(taScreenshot("nodes.png"), 0);
        video::IImage* shot = driver->createImageFromFile("nodes.png");
        ASSERT_NE(shot, nullptr);
        counted[0] = counted[1] = counted[2] = 0;
        for (u32 y = 0; y < 120; ++y)
            for (u32 x = 0; x < 200; ++x) {
                const video::SColor c = shot->getPixel(x, y);
                counted[0] += c.getRed() > 200 && c.getGreen() < 50;
                counted[1] += c.getGreen() > 200 && c.getRed() < 50;
                counted[2] += c.getBlue() > 200 && c.getRed() < 50;
            }
        shot->drop();
    };
    core::array<scene::ISceneNode*> firstAndLast;
    firstAndLast.push_back(quads[0]);
    firstAndLast.push_back(quads[2]);
    int count = 0, counted[3];
    draw(firstAndLast, nullptr, count, counted);
    EXPECT_EQ(count, 2);
    EXPECT_GT(counted[0], 200);
    EXPECT_EQ(counted[1], 0); // not listed: not drawn
    EXPECT_GT(counted[2], 200);
    // An override that turns lighting on (and there is no light) replaces the nodes' own flag.
    video::SOverrideMaterial override;
    override.Material.Lighting = true;
    override.EnableFlags = video::EMF_LIGHTING;
    draw(firstAndLast, &override, count, counted);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(counted[0] + counted[1] + counted[2], 0);
    // Techniques need the nodes' render information (none here); unknown names draw nothing.
    EXPECT_TRUE(services->renderNodes(firstAndLast, scene::ESNRP_SOLID, "depth", nullptr, 0, 0, count));
    EXPECT_EQ(count, 0);
    EXPECT_FALSE(services->renderNodes(firstAndLast, scene::ESNRP_SOLID, "glow", nullptr, 0, 0, count));
    // The transparent pass draws none of these opaque buffers.
    EXPECT_TRUE(services->renderNodes(firstAndLast, scene::ESNRP_TRANSPARENT, "", nullptr, 0, 0, count));
    EXPECT_EQ(count, 0);
}

} // namespace

#include "effects/TaEffectManager.h"
#include "effects/TaRecordingServices.h"
#include "render/TaRenderLightBuffer.h"
#include "render/TaRenderLightPass.h"
#include "render/TaRenderLightVolumetric.h"
#include "render/TaPostEffect.h"
#include "render/TaRendererCtxAdv.h"
#include "files/TaFile.h"

namespace {

TEST_F(TaRenderTargetsGLTest, TheAdvancedContextSaysWhatItLacks)
{
    CTaRendererManager* renderers = taGetManager()->getRendererManager();
    CTaEffectManager* effects = taGetManager()->getEffectManager();
    STaRendererStartupFiles files;
    {
        TaLogCapture log;
        EXPECT_EQ(renderers->createCtxAdv(files, effects), nullptr); // no render targets yet
        EXPECT_TRUE(log.contains("CTaRendererCtxAdv failed to find textures for glow"));
    }
    ASSERT_TRUE(renderers->createRenderTargets(video::ECF_A16B16G16R16F, nullptr));
    {
        // The lighting stages need their effect files: the first missing one is named.
        TaLogCapture log;
        EXPECT_EQ(renderers->createCtxAdv(files, effects), nullptr);
        EXPECT_TRUE(log.contains("CTaRenderLightBuffer: failed to load"));
    }
    for (int i = 0; i < 21; ++i)
        files.files[i] = taFindFile(taRendererStartupFileNames[i]);
    files.antialias = true;
    {
        // With them, the context has its lighting and post stages, antialiasing included.
        CTaRendererCtxAdv* made = renderers->createCtxAdv(files, effects);
        ASSERT_NE(made, nullptr);
        EXPECT_NE(made->lightBuffer(), nullptr);
        EXPECT_NE(made->lightPass(), nullptr);
        EXPECT_NE(made->volumetric(), nullptr);
        EXPECT_NE(made->lightBuffer()->effect(23), nullptr); // the softest shadowed spot
        for (CTaPostEffect* stage : {made->depthClear(), made->gaussianBlur(), made->downSample(), made->compose(),
                                     made->gamma()})
            EXPECT_TRUE(stage && stage->effect());
        EXPECT_TRUE(made->lightStreak() && made->glow() && made->depthOfField() && made->postChain());
        EXPECT_EQ(made->smaa() != nullptr, files.antialias);
        EXPECT_EQ(made->getAntialiasHistory() != nullptr, files.antialias);
        made->drop();
    }
    // What it has before the stages (no render services here): the pool and the semantics of
    // every frame.
    CTaRendererCtxAdv* context = new CTaRendererCtxAdv(taEngine().device, effects);
    EXPECT_FALSE(context->init(files));
    EXPECT_EQ(context->getShadowMaps()[3].texture, taEngine().videoDriver->findTexture("ShadowMap.1024"));
    EXPECT_FLOAT_EQ(context->getStreakParameters()[1], 0.8f);
    writeFile("post.hlsl", "/*\n[TARV_BEGIN]\n//float Threshold : BloomThreshold : pixel\n"
                           "//float Spec : BloomSpecMin : pixel\n//float Focus : FocalDistance : pixel\n[TARV_END]\n*/\n"
                           "float Threshold; float Spec; float Focus;\n"
                           "float4 vs_main(float4 p : POSITION) : POSITION { return p; }\n"
                           "float4 ps_main() : COLOR0 { return float4(Threshold, Spec, Focus, 1); }\n");
    CTaEffect* effect = effects->createEffect("post.hlsl", -1, nullptr);
    ASSERT_NE(effect, nullptr) << effects->getLastError();
    STaRenderSettings* settings = context->getRenderSettings();
    const u32 handle = taNewMaterialExt();
    taGetMaterialExt(handle)->effect = effect;
    video::SMaterial material;
    STaMaterial pass;
    effect->getPassMaterial(0, 0, pass);
    taApplyMaterial(pass, material, handle);
    struct {
        bool bloom;
        float compose, specular, focus;
        float threshold, spec;
    } cases[] = {{false, 0.3f, 0.7f, 5, 1.0f, 2.0f}, {true, 0.25f, 0.5f, 12, 0.75f, 0.5f}};
    for (const auto& c : cases) {
        settings->bloomEnabled = c.bloom;
        settings->bloomCompose = c.compose;
        settings->bloomSpecularMin = c.specular;
        settings->focalDistance = c.focus;
        context->updateFrame();
        CTaRecordingServices services;
        ASSERT_TRUE(effect->onSetShaderConstants(&services, 0, material, taGetMaterialExt(handle)));
        EXPECT_EQ(services.pixel["Threshold"], std::vector<f32>{c.threshold});
        EXPECT_EQ(services.pixel["Spec"], std::vector<f32>{c.spec});
        EXPECT_EQ(services.pixel["Focus"], std::vector<f32>{c.focus});
    }
    taFreeMaterialExt(handle);
    effect->drop();
    context->drop();
}

} // namespace

namespace {

// The debug draws: a white box and a light's yellow shadow frustum, drawn where they are in the world.
TEST_F(TaRenderTargetsGLTest, DebugDrawsOfABoxAndALightFrustum)
{
    video::IVideoDriver* driver = taEngine().videoDriver;
    scene::ISceneManager* scene = taEngine().sceneManager;
    scene::ICameraSceneNode* camera = scene->getActiveCamera();
    camera->setPosition(core::vector3df(0, 0, -10));
    camera->setTarget(core::vector3df(0, 0, 0));
    scene::ILightSceneNode* light = scene->addLightSceneNode(nullptr, core::vector3df(0, 0, -2));
    light->getLightData().Type = video::ELT_SPOT;
    light->getLightData().Radius = 6;
    light->getLightData().OuterCone = 20;
    light->updateAbsolutePosition();
    CTaRenderServices* services = taGetManager()->getRenderServices();
    auto count = [&](bool box) {
        EXPECT_TRUE(taBeginScene());
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, true, true, video::SColor(255, 0, 0, 0));
        camera->updateAbsolutePosition();
        camera->render();
        if (box)
            services->drawBox(core::aabbox3df(-2, -2, -2, 2, 2, 2));
        else
            services->drawLightFrustum(light);
        taEndScene();
        EXPECT_EQ(taScreenshot("debug.png"), 0);
        video::IImage* shot = driver->createImageFromFile("debug.png");
        int white = 0, yellow = 0;
        for (u32 y = 0; shot && y < 120; ++y)
            for (u32 x = 0; x < 200; ++x) {
                const video::SColor c = shot->getPixel(x, y);
                white += c.getRed() > 200 && c.getGreen() > 200 && c.getBlue() > 200;
                yellow += c.getRed() > 200 && c.getGreen() > 200 && c.getBlue() < 50;
            }
        if (shot)
            shot->drop();
        return std::make_pair(white, yellow);
    };
    const auto box = count(true), frustum = count(false);
    EXPECT_GT(box.first, 50);
    EXPECT_EQ(box.second, 0);
    EXPECT_GT(frustum.second, 50);
    EXPECT_EQ(frustum.first, 0);
}

} // namespace
