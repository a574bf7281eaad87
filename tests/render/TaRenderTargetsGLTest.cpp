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
    // Targets of one size share Irrlicht's depth buffer; the two 512 shadow maps have their own.
    EXPECT_EQ(depthAttachment("BackRTT[0]"), depthAttachment("LightRTT"));
    EXPECT_NE(depthAttachment("BackRTT[0]"), 0);
    EXPECT_NE(depthAttachment("ShadowMap.512"), depthAttachment("ShadowMap.512.1"));
    EXPECT_NE(depthAttachment("ShadowMap.512"), 0);
    GLint stencilBits = 0;
    driver->setRenderTarget(driver->findTexture("ShadowMap.1024"), false, false);
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_STENCIL_ATTACHMENT,
                                          GL_FRAMEBUFFER_ATTACHMENT_STENCIL_SIZE, &stencilBits);
    driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    EXPECT_EQ(stencilBits, 8);
    // Asking again keeps the targets that are there.
    video::ITexture* before = driver->findTexture("LightRTT");
    ASSERT_TRUE(renderers->createRenderTargets(video::ECF_A16B16G16R16F, nullptr));
    EXPECT_EQ(driver->findTexture("LightRTT"), before);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
