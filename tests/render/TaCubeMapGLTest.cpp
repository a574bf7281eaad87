// Cube maps on the OpenGL device (run under Xvfb): six coloured markers on the axes around the
// origin and two small white ones off the axes; every face shows its marker the right way round,
// and the latitude/longitude copy puts each marker at its longitude and latitude.
#include "TaGolden.h"
#include "TaTestSupport.h"

#include "driver/TaVideoDriverExt.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "nodes/TaTextureManager.h"
#include "render/TaCubeMap.h"
#include "render/TaRenderer.h"
#include "render/TaRenderServices.h"
#include "scene/TaCubeMaps.h"
#include "scene/TaSceneManager.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <vector>

namespace {

using namespace irr;

struct SMarker {
    core::vector3df position;
    video::SColor colour;
    f32 size;
};

// +X red, -X green, +Y blue, -Y yellow, +Z magenta, -Z cyan; white above +X towards -Z, and white
// near +Y towards +X and -Z.
const SMarker kMarkers[] = {
    {{5, 0, 0}, video::SColor(255, 255, 0, 0), 2},     {{-5, 0, 0}, video::SColor(255, 0, 255, 0), 2},
    {{0, 5, 0}, video::SColor(255, 0, 0, 255), 2},     {{0, -5, 0}, video::SColor(255, 255, 255, 0), 2},
    {{0, 0, 5}, video::SColor(255, 255, 0, 255), 2},   {{0, 0, -5}, video::SColor(255, 0, 255, 255), 2},
    {{5, 2.5f, -2.5f}, video::SColor(255, 255, 255, 255), 1},
    {{2.5f, 5, -2.5f}, video::SColor(255, 255, 255, 255), 1},
};

class TaCubeMapGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        taRegisterSceneTable(); // cube maps are made by the scene table
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", 64, 48)), 0) << "no OpenGL device: run under xvfb-run";
        scene::ISceneManager* scene = taEngine().sceneManager;
        for (const SMarker& marker : kMarkers) {
            scene::IMeshSceneNode* node = scene->addCubeSceneNode(marker.size, nullptr, -1, marker.position);
            ASSERT_NE(node, nullptr);
            node->setMaterialFlag(video::EMF_LIGHTING, false);
            scene->getMeshManipulator()->setVertexColors(node->getMesh(), marker.colour);
        }
        ext = taGetManager()->getVideoDriverExt();
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
    CTaCubeMap* cubeMap(int id)
    {
        return dynamic_cast<CTaCubeMap*>(taGetCubeMap(id));
    }
    // A face's texels, rows in the order the face keeps them (its first row is the top of the view).
    std::vector<f32> face(CTaTexture* cube, int index)
    {
        const u32 side = cube->getSize().Width;
        std::vector<f32> texels(size_t(side) * side * 4);
        EXPECT_TRUE(ext->setCubeFaceRenderTarget(cube, index));
        glReadPixels(0, 0, side, side, GL_RGBA, GL_FLOAT, texels.data());
        ext->setCubeFaceRenderTarget(nullptr, 0);
        return texels;
    }
    // A 2D render target's texels, its first row first.
    std::vector<f32> texels(video::ITexture* target)
    {
        const core::dimension2du size = target->getSize();
        std::vector<f32> out(size_t(size.Width) * size.Height * 4);
        video::IVideoDriver* driver = taEngine().videoDriver;
        EXPECT_TRUE(driver->setRenderTarget(target, false, false));
        glReadPixels(0, 0, size.Width, size.Height, GL_RGBA, GL_FLOAT, out.data());
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        return out;
    }
    // The texel at (u, v) of a picture `width` wide, as a colour.
    static video::SColor at(const std::vector<f32>& texels, u32 width, f32 u, f32 v)
    {
        const u32 height = u32(texels.size() / 4 / width);
        const size_t i = (size_t(std::min(u32(v * height), height - 1)) * width + std::min(u32(u * width), width - 1)) * 4;
        auto byte = [&](int c) { return u32(std::lround(std::min(std::max(texels[i + c], 0.0f), 1.0f) * 255)); };
        return video::SColor(255, byte(0), byte(1), byte(2));
    }
    // The picture as an image, first row at the top.
    video::IImage* image(const std::vector<f32>& texels, u32 width)
    {
        const u32 height = u32(texels.size() / 4 / width);
        video::IImage* picture = taEngine().videoDriver->createImage(video::ECF_A8R8G8B8, core::dimension2du(width, height));
        for (u32 y = 0; y < height; ++y)
            for (u32 x = 0; x < width; ++x)
                picture->setPixel(x, y, at(texels, width, (x + 0.5f) / width, (y + 0.5f) / height));
        return picture;
    }

    ITaVideoDriverExt* ext = nullptr;
};

::testing::AssertionResult near(video::SColor actual, video::SColor expected)
{
    const int tolerance = 8;
    if (std::abs(int(actual.getRed()) - int(expected.getRed())) <= tolerance &&
        std::abs(int(actual.getGreen()) - int(expected.getGreen())) <= tolerance &&
        std::abs(int(actual.getBlue()) - int(expected.getBlue())) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << actual.getRed() << ", " << actual.getGreen() << ", "
                                         << actual.getBlue() << ") instead of (" << expected.getRed() << ", "
                                         << expected.getGreen() << ", " << expected.getBlue() << ")";
}

TEST_F(TaCubeMapGLTest, FacesShowTheirMarkersTheRightWayRound)
{
    ASSERT_EQ(taCreateCubeMap(1, 64, false), 0);
    CTaCubeMap* cube = cubeMap(1);
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->texture(), cube->cubeTexture()); // no latitude/longitude map: objects get the cube
    scene::ICameraSceneNode* camera = taEngine().sceneManager->getActiveCamera();
    ASSERT_EQ(taRenderCubeMap(1, core::vector3df(0, 0, 0)), 0);
    EXPECT_TRUE(taCubeMapRendered(1));
    EXPECT_EQ(taEngine().sceneManager->getActiveCamera(), camera);

    std::vector<f32> strip(size_t(64 * 6) * 64 * 4);
    for (int f = 0; f < 6; ++f) {
        SCOPED_TRACE(f);
        const std::vector<f32> texels = face(cube->cubeTexture(), f);
        EXPECT_TRUE(near(at(texels, 64, 0.5f, 0.5f), kMarkers[f].colour));
        for (u32 row = 0; row < 64; ++row)
            std::copy_n(&texels[size_t(row) * 64 * 4], 64 * 4, &strip[(size_t(row) * 64 * 6 + f * 64) * 4]);
    }
    // In +X the white marker is up (first rows) and towards -Z (right); in +Y towards +X (right) and
    // -Z (up, the face's top looking along -Z).
    const video::SColor white(255, 255, 255, 255), black(255, 0, 0, 0);
    const std::vector<f32> px = face(cube->cubeTexture(), 0), py = face(cube->cubeTexture(), 2);
    EXPECT_TRUE(near(at(px, 64, 0.75f, 0.25f), white));
    EXPECT_TRUE(near(at(px, 64, 0.25f, 0.75f), black));
    EXPECT_TRUE(near(at(py, 64, 0.75f, 0.25f), white));
    EXPECT_TRUE(near(at(py, 64, 0.25f, 0.75f), black));
    video::IImage* picture = image(strip, 64 * 6);
    EXPECT_TRUE(taMatchesGolden(picture, "cubemap-faces"));
    picture->drop();

    // Cleared, the faces are black again and the cube map not rendered.
    ASSERT_EQ(taClearCubeMap(1), 0);
    EXPECT_FALSE(taCubeMapRendered(1));
    EXPECT_TRUE(near(at(face(cube->cubeTexture(), 0), 64, 0.5f, 0.5f), black));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(TaCubeMapGLTest, LatitudeLongitudeMapPutsMarkersAtTheirAngles)
{
    ASSERT_EQ(taCreateCubeMap(2, 256, true), 0);
    CTaCubeMap* cube = cubeMap(2);
    ASSERT_NE(cube, nullptr);
    ASSERT_NE(cube->latLongTexture(), nullptr);
    EXPECT_EQ(cube->texture(), cube->latLongTexture());
    EXPECT_EQ(cube->latLongTexture()->getSize(), core::dimension2du(320, 160));
    ASSERT_EQ(taRenderCubeMap(2, core::vector3df(0, 0, 0)), 0);
    const std::vector<f32> map = texels(cube->latLongTexture());

    // u = atan2(x, z) / 2pi + 0.5, v = acos(y) / pi.
    auto direction = [](const core::vector3df& d, f32& u, f32& v) {
        const core::vector3df n = core::vector3df(d).normalize();
        u = std::atan2(n.X, n.Z) / 6.2831853f + 0.5f;
        v = std::acos(n.Y) / 3.1415927f;
    };
    for (const SMarker& marker : kMarkers) {
        SCOPED_TRACE(marker.position.X * 100 + marker.position.Y * 10 + marker.position.Z);
        f32 u = 0, v = 0;
        direction(marker.position, u, v);
        // The poles and the seam behind are sampled just inside the map.
        EXPECT_TRUE(near(at(map, 320, std::min(std::max(u, 0.01f), 0.99f), std::min(std::max(v, 0.02f), 0.98f)),
                         marker.colour));
    }
    // Between the markers, nothing.
    f32 u = 0, v = 0;
    direction(core::vector3df(1, -1, 1), u, v);
    EXPECT_TRUE(near(at(map, 320, u, v), video::SColor(255, 0, 0, 0)));
    video::IImage* picture = image(map, 320);
    EXPECT_TRUE(taMatchesGolden(picture, "cubemap-latlong"));
    picture->drop();

    ASSERT_EQ(taClearCubeMap(2), 0);
    EXPECT_TRUE(near(at(texels(cube->latLongTexture()), 320, 0.75f, 0.5f), video::SColor(255, 0, 0, 0)));
    taDeleteCubeMap(2);
    EXPECT_EQ(taGetCubeMap(2), nullptr);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

// A renderer that draws the scene for two faces and then fails.
class CFailingRenderer : public ITaRenderer
{
public:
    bool render(video::ITexture* target) override
    {
        if (++m_calls > 2)
            return false;
        taEngine().videoDriver->setRenderTarget(target, true, true, video::SColor(255, 40, 40, 40));
        taEngine().sceneManager->drawAll();
        return true;
    }
    STaFrameOptions* getFrameOptions() override { return nullptr; }

private:
    int m_calls = 0;
};

TEST_F(TaCubeMapGLTest, AFailedRenderPutsTheCameraAndTheBackBufferBack)
{
    ASSERT_EQ(taCreateCubeMap(1, 32, false), 0);
    CTaCubeMap* cube = cubeMap(1);
    CTaRenderServices* services = taGetManager()->getRenderServices();
    video::ITexture* target = taGetManager()->getTextureManager()->getRenderTarget(core::dimension2du(32, 32),
                                                                                   video::ECF_A16B16G16R16F);
    scene::ICameraSceneNode* camera = taEngine().sceneManager->getActiveCamera();
    auto* renderer = new CFailingRenderer;
    EXPECT_FALSE(services->renderCubeMap(cube->cubeTexture(), target, core::vector3df(), renderer));
    renderer->drop();
    EXPECT_EQ(taEngine().sceneManager->getActiveCamera(), camera);
    GLint drawBinding = -1;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBinding);
    EXPECT_EQ(drawBinding, 0);
    EXPECT_EQ(taEngine().videoDriver->getCurrentRenderTargetSize(), core::dimension2du(64, 48));
    // The two faces drawn keep their pictures.
    EXPECT_TRUE(near(at(face(cube->cubeTexture(), 1), 32, 0.5f, 0.5f), kMarkers[1].colour));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

} // namespace
