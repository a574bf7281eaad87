// Pictures of the render services and the driver extension's states on the OpenGL device (run
// under Xvfb), against golden images: an asymmetric picture copied through one to four render
// targets, four targets written at once, a stencil-masked draw and back-face culling inside a
// render target; and the separate alpha blend by value.
#include "TaGolden.h"
#include "TaTestSupport.h"

#include "driver/TaVideoDriverExt.h"
#include "effects/TaGPUProgrammingServices.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "render/TaRenderServices.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

namespace {

using namespace irr;

class TaGoldenGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", 64, 48)), 0) << "no OpenGL device: run under xvfb-run";
        driver = taEngine().videoDriver;
        services = taGetManager()->getRenderServices();
        ext = taGetManager()->getVideoDriverExt();
    }
    void TearDown() override
    {
        if (shot)
            shot->drop();
        taShutdown();
        TaScratchTest::TearDown();
    }
    // The window's picture after the frame drawn between taBeginScene and now.
    video::IImage* present()
    {
        taEndScene();
        EXPECT_EQ(taScreenshot("shot.png"), 0);
        if (shot)
            shot->drop();
        shot = driver->createImageFromFile("shot.png");
        return shot;
    }
    video::ITexture* target(const char* name, video::ECOLOR_FORMAT format = video::ECF_A8R8G8B8,
                            core::dimension2du size = core::dimension2du(64, 48))
    {
        video::ITexture* texture = driver->addRenderTargetTexture(size, name, format);
        EXPECT_NE(texture, nullptr) << name;
        return texture;
    }

    video::IVideoDriver* driver = nullptr;
    CTaRenderServices* services = nullptr;
    ITaVideoDriverExt* ext = nullptr;
    video::IImage* shot = nullptr;
};

// An "L" with a red square at its top right and a green foot: no mirror or turn of it looks the same.
video::ITexture* letterL(video::IVideoDriver* driver)
{
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(64, 48));
    image->fill(video::SColor(255, 20, 30, 90));
    for (u32 y = 0; y < 48; ++y)
        for (u32 x = 0; x < 64; ++x) {
            if ((x >= 8 && x < 16 && y >= 6 && y < 40) || (x >= 8 && x < 40 && y >= 32 && y < 40))
                image->setPixel(x, y, video::SColor(255, 255, 255, 255));
            if (x >= 48 && x < 58 && y >= 4 && y < 14)
                image->setPixel(x, y, video::SColor(255, 230, 20, 20));
            if (y == 45 && x < 30)
                image->setPixel(x, y, video::SColor(255, 20, 220, 40));
        }
    video::ITexture* texture = driver->addTexture("letterL", image);
    image->drop();
    return texture;
}

TEST_F(TaGoldenGLTest, CopiesThroughRenderTargetsKeepThePictureUpright)
{
    video::ITexture* picture = letterL(driver);
    video::ITexture* targets[2] = {target("copyA"), target("copyB")};
    for (int passes = 1; passes <= 4; ++passes) {
        SCOPED_TRACE(passes);
        ASSERT_TRUE(taBeginScene());
        driver->setRenderTarget(targets[0], true, true, video::SColor(255, 0, 0, 0));
        services->copyTexture(picture);
        for (int pass = 1; pass < passes; ++pass) {
            driver->setRenderTarget(targets[pass % 2], true, true, video::SColor(255, 0, 0, 0));
            services->copyTexture(targets[(pass - 1) % 2]);
        }
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, true, true, video::SColor(255, 0, 0, 0));
        services->copyTexture(targets[(passes - 1) % 2]);
        EXPECT_TRUE(taMatchesGolden(present(), "copy-chain"));
    }
}

TEST_F(TaGoldenGLTest, FourTargetsAtOnce)
{
    writeFile("mrt.hlsl", R"(
struct V { float4 pos : POSITION; float2 uv : TEXCOORD0; };
V vs_main(float4 p : POSITION, float2 uv : TEXCOORD0) { V o; o.pos = p; o.uv = uv; return o; }
struct O { float4 c0 : COLOR0; float4 c1 : COLOR1; float4 c2 : COLOR2; float4 c3 : COLOR3; };
O ps_main(float2 uv : TEXCOORD0)
{
    O o;
    o.c0 = float4(uv.x, 0, 0, 1);
    o.c1 = float4(0, uv.y, 0, 1);
    o.c2 = (frac(uv.x * 4) < 0.5) == (frac(uv.y * 3) < 0.5) ? float4(1, 1, 1, 1) : float4(0, 0, 0.5, 1);
    o.c3 = float4(1 - uv.x, uv.y, 0.5, 1);
    return o;
}
)");
    const s32 type = taGetManager()->getGPUProgrammingServices()->getShaderMaterial(
        "mrt.hlsl", "vs_main", 3, "mrt.hlsl", "ps_main", 7, nullptr, video::EMT_SOLID, 0, nullptr);
    ASSERT_GE(type, 0);
    video::ITexture* targets[4] = {target("mrt0", video::ECF_A8R8G8B8, {32, 24}),
                                   target("mrt1", video::ECF_A8R8G8B8, {32, 24}),
                                   target("mrt2", video::ECF_A8R8G8B8, {32, 24}),
                                   target("mrt3", video::ECF_A8R8G8B8, {32, 24})};
    ASSERT_TRUE(taBeginScene());
    ASSERT_TRUE(services->setRenderTargets(targets, 4));
    video::SMaterial material;
    material.MaterialType = static_cast<video::E_MATERIAL_TYPE>(type);
    services->drawScreenQuad(material);
    // The four side by side on the window, each the right way up.
    driver->setRenderTarget(video::ERT_FRAME_BUFFER, true, true, video::SColor(255, 0, 0, 0));
    for (int i = 0; i < 4; ++i) {
        const core::position2di at((i % 2) * 32, (i / 2) * 24);
        driver->draw2DImage(targets[i], at, core::rect<s32>(0, 0, 32, 24));
    }
    EXPECT_TRUE(taMatchesGolden(present(), "mrt"));
}

TEST_F(TaGoldenGLTest, AStencilMaskedDraw)
{
    // A target with depth and stencil of its own: a blue box writes 1 into the stencil, then a white
    // screen quad (unlit: its vertex colour) draws only where the stencil holds 1.
    video::ITexture* masked = ext->addRenderTargetWithOwnDepth({64, 48}, "masked", video::ECF_A8R8G8B8);
    ASSERT_NE(masked, nullptr);
    ASSERT_TRUE(taBeginScene());
    driver->setRenderTarget(masked, true, true, video::SColor(255, 30, 30, 30));
    glClearStencil(0);
    glClear(GL_STENCIL_BUFFER_BIT);
    ext->setStencil(true);
    ext->setStencilFunc(0); // always
    ext->setStencilPass(3); // replace with 1
    driver->draw2DRectangle(video::SColor(255, 40, 40, 120), core::rect<s32>(10, 8, 40, 30));
    ext->setStencilFunc(2); // equal to 1
    ext->setStencilPass(1); // keep
    services->drawScreenQuad(video::SMaterial());
    ext->restoreState();
    driver->setRenderTarget(video::ERT_FRAME_BUFFER, true, true, video::SColor(255, 0, 0, 0));
    services->copyTexture(masked);
    EXPECT_TRUE(taMatchesGolden(present(), "stencil"));
}

TEST_F(TaGoldenGLTest, BackFacesAreCulledInsideARenderTarget)
{
    // Two triangles, the left one facing the camera, the right one facing away: inside a render
    // target as on the window, only the left one is drawn.
    scene::SMeshBuffer* buffer = new scene::SMeshBuffer();
    const video::SColor colour(255, 250, 200, 40);
    auto vertex = [&](float x, float y) { return video::S3DVertex(x, y, 0, 0, 0, -1, colour, 0, 0); };
    buffer->Vertices.push_back(vertex(-3, -1));
    buffer->Vertices.push_back(vertex(-2, 1));
    buffer->Vertices.push_back(vertex(-1, -1));
    buffer->Vertices.push_back(vertex(1, -1));
    buffer->Vertices.push_back(vertex(2, 1));
    buffer->Vertices.push_back(vertex(3, -1));
    for (u16 i : {0, 1, 2, 3, 5, 4})
        buffer->Indices.push_back(i);
    buffer->recalculateBoundingBox();
    scene::SMesh* mesh = new scene::SMesh();
    mesh->addMeshBuffer(buffer);
    buffer->drop();
    scene::IMeshSceneNode* node = taEngine().sceneManager->addMeshSceneNode(mesh);
    mesh->drop();
    node->setPosition(core::vector3df(0, 0, 6));
    node->setMaterialFlag(video::EMF_LIGHTING, false);
    node->setMaterialFlag(video::EMF_BACK_FACE_CULLING, true);
    video::ITexture* scene = target("culled");
    taEngine().sceneManager->getActiveCamera()->setPosition(core::vector3df(0, 0, 0));
    taEngine().sceneManager->getActiveCamera()->setTarget(core::vector3df(0, 0, 6));

    ASSERT_TRUE(taBeginScene());
    driver->setRenderTarget(scene, true, true, video::SColor(255, 0, 0, 0));
    taEngine().sceneManager->drawAll();
    driver->setRenderTarget(video::ERT_FRAME_BUFFER, true, true, video::SColor(255, 0, 0, 0));
    services->copyTexture(scene);
    video::IImage* throughTarget = present();
    ASSERT_NE(throughTarget, nullptr);
    EXPECT_TRUE(taMatchesGolden(throughTarget, "culling-rt"));
    // The left half holds the triangle, the right half nothing.
    int left = 0, right = 0;
    for (u32 y = 0; y < 48; ++y)
        for (u32 x = 0; x < 64; ++x)
            (x < 32 ? left : right) += throughTarget->getPixel(x, y).getRed() > 128;
    EXPECT_GT(left, 50);
    EXPECT_EQ(right, 0);
}

TEST_F(TaGoldenGLTest, SeparateAlphaBlendScalesTheDestinationAlpha)
{
    // Destination alpha 1, source alpha 0.5; the alpha channel blends by its own factors: source
    // times the constant factor 0, destination times one minus the source alpha: 0.5.
    writeFile("vertexcolour.hlsl", R"(
struct V { float4 pos : POSITION; float4 colour : COLOR0; };
V vs_main(float4 p : POSITION, float4 colour : COLOR0) { V o; o.pos = p; o.colour = colour; return o; }
float4 ps_main(float4 colour : COLOR0) : COLOR0 { return colour; }
)");
    const s32 type = taGetManager()->getGPUProgrammingServices()->getShaderMaterial(
        "vertexcolour.hlsl", "vs_main", 3, "vertexcolour.hlsl", "ps_main", 7, nullptr,
        video::EMT_TRANSPARENT_VERTEX_ALPHA, 0, nullptr);
    ASSERT_GE(type, 0);
    video::ITexture* blended = target("blended");
    ASSERT_TRUE(taBeginScene());
    driver->setRenderTarget(blended, true, true, video::SColor(255, 0, 0, 255));
    ext->setSeparateAlphaBlend(true);
    ext->setBlendFactor(0x00000000);
    ext->setAlphaBlend(1, TA_BLEND_CONSTANT_FACTOR, 7); // add: constant factor, one minus source alpha
    video::SMaterial half;
    half.MaterialType = static_cast<video::E_MATERIAL_TYPE>(type);
    half.Lighting = false;
    half.ZBuffer = video::ECFN_ALWAYS;
    half.BackfaceCulling = false;
    half.BlendOperation = video::EBO_ADD; // Irrlicht 1.8 blends only with a blend operation named
    driver->setMaterial(half);
    const video::SColor colour(128, 255, 0, 0);
    const video::S3DVertex corners[4] = {video::S3DVertex(-1, -1, 0, 0, 0, 1, colour, 0, 1),
                                         video::S3DVertex(-1, 1, 0, 0, 0, 1, colour, 0, 0),
                                         video::S3DVertex(1, 1, 0, 0, 0, 1, colour, 1, 0),
                                         video::S3DVertex(1, -1, 0, 0, 0, 1, colour, 1, 1)};
    const u16 indices[6] = {0, 1, 2, 0, 2, 3};
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->setTransform(video::ETS_VIEW, core::IdentityMatrix);
    driver->setTransform(video::ETS_PROJECTION, core::IdentityMatrix);
    driver->drawIndexedTriangleList(corners, 4, indices, 2);
    GLubyte pixel[4] = {};
    glReadPixels(32, 24, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    ext->restoreState();
    driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    taEndScene();
    EXPECT_NEAR(pixel[3], 127, 2);  // the destination alpha halved
    EXPECT_NEAR(pixel[0], 128, 2);  // colour: the usual source-alpha blend of red over blue
    EXPECT_NEAR(pixel[2], 127, 2);
}

} // namespace
