// The OpenGL video-driver extension: raw states set and put back, the capability check.
#include "TaTestSupport.h"

#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "driver/TaVideoDriverExt.h"
#include "driver/gl/TaGLCapabilities.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

namespace {

GLint integer(GLenum name)
{
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

class TaGLVideoDriverExtGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        STaSetupParams params = taTestSetup(ETADRIVER_OPENGL);
        params.width = 64;
        params.height = 64;
        ASSERT_EQ(taSetup(params), 0) << "no OpenGL device: run under xvfb-run";
        ext = taGetManager()->getVideoDriverExt();
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
    ITaVideoDriverExt* ext = nullptr;
};

TEST_F(TaGLVideoDriverExtGLTest, StatesAreSetAndPutBack)
{
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); // as an Irrlicht material would leave it
    ext->setSeparateAlphaBlend(true);
    ext->setAlphaBlend(1, TA_BLEND_CONSTANT_FACTOR, 7);
    ext->setBlendFactor(0x80FF0000);
    ext->setDepthBias(0.0001f, 2.0f);
    ext->setStencil(true);
    ext->setStencilPass(3);
    ext->setStencilFunc(2);
    EXPECT_EQ(integer(GL_BLEND_SRC_RGB), GL_SRC_ALPHA);
    EXPECT_EQ(integer(GL_BLEND_SRC_ALPHA), GL_CONSTANT_COLOR);
    EXPECT_EQ(integer(GL_BLEND_DST_ALPHA), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_TRUE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
    EXPECT_TRUE(glIsEnabled(GL_STENCIL_TEST));
    EXPECT_EQ(integer(GL_STENCIL_FUNC), GL_EQUAL);
    EXPECT_EQ(integer(GL_STENCIL_REF), 1);
    EXPECT_EQ(integer(GL_STENCIL_PASS_DEPTH_PASS), GL_REPLACE);
    GLfloat colour[4] = {};
    glGetFloatv(GL_BLEND_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 1.0f);

    // "Zero" is a state like any other (GL_ZERO is 0 and was once taken for "no state").
    ext->setSrcBlendAlpha(0);
    ext->setStencilPass(2);
    EXPECT_EQ(integer(GL_BLEND_SRC_ALPHA), GL_ZERO);
    EXPECT_EQ(integer(GL_STENCIL_PASS_DEPTH_PASS), GL_ZERO);
    ext->setAlphaBlend(1, 6, 0);
    EXPECT_EQ(integer(GL_BLEND_DST_ALPHA), GL_ZERO);
    ext->setStencilPass(3);

    // Out-of-range numbers change nothing.
    ext->setStencilPass(9);
    ext->setStencilFunc(-1);
    EXPECT_EQ(integer(GL_STENCIL_PASS_DEPTH_PASS), GL_REPLACE);
    EXPECT_EQ(integer(GL_STENCIL_FUNC), GL_EQUAL);

    ext->restoreState();
    EXPECT_EQ(integer(GL_BLEND_SRC_ALPHA), GL_SRC_ALPHA); // alpha follows the colour factors again
    EXPECT_EQ(integer(GL_BLEND_DST_ALPHA), GL_ONE_MINUS_SRC_ALPHA);
    EXPECT_EQ(integer(GL_BLEND_EQUATION_ALPHA), GL_FUNC_ADD);
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
    EXPECT_FALSE(glIsEnabled(GL_STENCIL_TEST));
    EXPECT_EQ(integer(GL_STENCIL_FUNC), GL_ALWAYS);
    EXPECT_EQ(integer(GL_STENCIL_PASS_DEPTH_PASS), GL_KEEP);
    glGetFloatv(GL_BLEND_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[0], 0.0f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TaGLVideoDriverExtGLTest, KeepingTheFrameLeavesBindingsAlone)
{
    ASSERT_TRUE(Sync());
    EXPECT_EQ(integer(GL_READ_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(integer(GL_DRAW_FRAMEBUFFER_BINDING), 0);
    EXPECT_EQ(integer(GL_READ_BUFFER), GL_BACK);
    irr::video::IImage* image = ext->grabFrame();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->getColorFormat(), irr::video::ECF_R8G8B8);
    image->drop();
    EXPECT_EQ(integer(GL_READ_FRAMEBUFFER_BINDING), 0);
}

TEST_F(TaGLVideoDriverExtGLTest, LlvmpipeHasWhatTheRendererNeeds)
{
    EXPECT_EQ(ext->checkCapabilities(), "");
    EXPECT_EQ(taCheckD3DLibraries(), nullptr);
    // Without the engine the check makes a context of its own, and leaves none behind.
    taShutdown();
    EXPECT_EQ(taProbeGLCapabilities(), "");
    EXPECT_EQ(taCheckD3DLibraries(), nullptr);
}

} // namespace
