// Scripts and the object viewer on the OpenGL device (run under Xvfb): a script's 2D drawing read
// back from its own screenshot, and the object viewer showing a real .x mesh until Escape.
#include "TaTestSupport.h"

#include "app/TaCommandLine.h"
#include "engine/TaEngine.h"
#include "platform/TaWindow.h"
#include "script/TaScriptHost.h"

#include <irrlicht.h>

#include <X11/keysym.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace {

using namespace irr;

class TaScriptGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        loader = createDevice(video::EDT_NULL);
    }
    void TearDown() override
    {
        if (loader)
            loader->drop();
        TaScratchTest::TearDown();
    }
    video::IImage* load(const char* file) { return loader->getVideoDriver()->createImageFromFile(file); }
    IrrlichtDevice* loader = nullptr;
    TaScriptDriver m_driver{ETADRIVER_OPENGL};
};

std::string hex(video::SColor c)
{
    char text[16];
    snprintf(text, sizeof(text), "%02X%02X%02X", c.getRed(), c.getGreen(), c.getBlue());
    return text;
}

TEST_F(TaScriptGLTest, ScriptDrawsAndTakesAScreenshot)
{
    // An 8 x 8 picture: blue on the left half, yellow on the right.
    video::IImage* pattern = loader->getVideoDriver()->createImage(video::ECF_R8G8B8, core::dimension2du(8, 8));
    for (u32 y = 0; y < 8; ++y)
        for (u32 x = 0; x < 8; ++x)
            pattern->setPixel(x, y, x < 4 ? video::SColor(255, 0, 0, 255) : video::SColor(255, 255, 255, 0));
    ASSERT_TRUE(loader->getVideoDriver()->writeImageToFile(pattern, "pattern.png"));
    pattern->drop();

    std::string error;
    ASSERT_EQ(taRunScriptText(R"(
        ta.Setup(320, 240)
        ta.ColorBackdrop(0x203040)
        ta.LoadImage('pattern.png', 1)
        assert(ta.ImageWidth(1) == 8)
        ta.MakeImage(256, 128, 3)
        assert(ta.ImageExist(3) and ta.ImageWidth(3) == 256 and ta.ImageHeight(3) == 128)
        ta.Ink(0xFF0000) ta.Box(10, 10, 50, 40)
        ta.Ink(0x00FF00) ta.Line(60, 100, 160, 100)
        ta.SetTextColor(0xFFFFFF) ta.Text(200, 20, 'HI')
        ta.PasteImage(1, 100, 150)
        ta.SetImageColor(0xFF0000) ta.PasteImageStretch(1, 200, 150, 16, 16)
        ta.Sync()
        ta.ScreenShot('script.png')
    )", &error), 0) << error;
    video::IImage* shot = load("script.png");
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(hex(shot->getPixel(5, 5)), "203040");
    EXPECT_EQ(hex(shot->getPixel(10, 10)), "FF0000");
    EXPECT_EQ(hex(shot->getPixel(49, 39)), "FF0000");
    EXPECT_EQ(hex(shot->getPixel(50, 40)), "203040");
    EXPECT_EQ(hex(shot->getPixel(110, 100)), "00FF00");
    EXPECT_EQ(hex(shot->getPixel(101, 151)), "0000FF");
    EXPECT_EQ(hex(shot->getPixel(106, 151)), "FFFF00");
    // Tinted red: blue turns black, yellow red.
    EXPECT_EQ(hex(shot->getPixel(203, 155)), "000000");
    EXPECT_EQ(hex(shot->getPixel(212, 155)), "FF0000");
    int white = 0;
    for (int y = 18; y < 34; ++y)
        for (int x = 198; x < 220; ++x)
            white += hex(shot->getPixel(x, y)) == "FFFFFF";
    EXPECT_GT(white, 10);
    shot->drop();
}

TEST_F(TaScriptGLTest, EffectsDrawBoxesAndImages)
{
    // The effect paints the box its Rectangle names (in pixels) in its Color, or the Image's colour
    // when Textured is set, and Tint everywhere else.
    writeFile("box.hlsl", R"(/*
[TARV_BEGIN]
//float4 Rectangle : 0,0,0,0 : pixel
//float4 Color : 0,0,0,0 : pixel
//float4 Tint : 0,0,0,1 : pixel
//bool Textured : 0 : pixel
//float2 Screen : ScreenSize : pixel
//texture Image : : pixel filterPoint
[TARV_END]
*/
float4 Rectangle;
float4 Color;
float4 Tint;
bool Textured;
float2 Screen;
sampler2D Image : register(s0);
struct V { float4 pos : POSITION; float2 uv : TEXCOORD0; };
V vs_main(float4 p : POSITION, float2 uv : TEXCOORD0) { V o; o.pos = p; o.uv = uv; return o; }
float4 ps_main(float2 uv : TEXCOORD0) : COLOR0
{
    float2 at = uv * Screen;
    if (at.x >= Rectangle.x && at.y >= Rectangle.y && at.x < Rectangle.x + Rectangle.z && at.y < Rectangle.y + Rectangle.w)
        return Textured ? tex2D(Image, (at - Rectangle.xy) / Rectangle.zw) * Color : Color;
    return Tint;
}
)");
    video::IImage* green = loader->getVideoDriver()->createImage(video::ECF_R8G8B8, core::dimension2du(4, 4));
    green->fill(video::SColor(255, 0, 255, 0));
    ASSERT_TRUE(loader->getVideoDriver()->writeImageToFile(green, "green.png"));
    green->drop();

    std::string error;
    ASSERT_EQ(taRunScriptText(R"(
        ta.Setup(320, 240)
        ta.LoadEffect('box.hlsl', 1)
        ta.Ink(0xFF0000) ta.InkAlpha(255)
        ta.SetEffectConstantFloatN(1, 'Tint', 0, 0, 0.5, 1)
        ta.BoxWithEffect(20, 30, 60, 50, 1)
        ta.Sync()
        ta.ScreenShot('box.png')
        ta.SetEffectConstantBoolean(1, 'Textured', true)
        ta.LoadImage('green.png', 2)
        ta.SetImageColor(0xFFFFFF)
        ta.PasteImageWithEffect(2, 100, 100, -1, -1, 1)
        ta.Sync()
        ta.ScreenShot('image.png')
    )", &error), 0) << error;
    video::IImage* box = load("box.png");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(hex(box->getPixel(5, 5)), "000080");   // Tint outside the box
    EXPECT_EQ(hex(box->getPixel(21, 31)), "FF0000"); // Color from the ink inside it
    EXPECT_EQ(hex(box->getPixel(58, 48)), "FF0000");
    EXPECT_EQ(hex(box->getPixel(61, 51)), "000080");
    box->drop();
    video::IImage* image = load("image.png");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(hex(image->getPixel(101, 101)), "00FF00"); // the image at its own size, white tint
    EXPECT_EQ(hex(image->getPixel(105, 105)), "000080");
    image->drop();
}

TEST_F(TaScriptGLTest, RenderToImage)
{
    video::IImage* pattern = loader->getVideoDriver()->createImage(video::ECF_R8G8B8, core::dimension2du(4, 4));
    pattern->fill(video::SColor(255, 255, 255, 255));
    ASSERT_TRUE(loader->getVideoDriver()->writeImageToFile(pattern, "white.png"));
    pattern->drop();
    std::string error;
    ASSERT_EQ(taRunScriptText(R"(
        ta.Setup(320, 240)
        ta.MakeImage(64, 32, 2)
        ta.ColorBackdrop(0x00FF00)
        ta.RenderToImage(2)              -- cleared to the backdrop first
        ta.ColorBackdrop(0x000000)
        ta.PasteImage(2, 10, 10)
        ta.Sync()
        ta.ScreenShot('render.png')
        ta.LoadImage('white.png', 1)
        ta.RenderToImage(1)
    )", &error), 2);
    EXPECT_NE(error.find("bad argument #1 to 'RenderToImage' (Image ID 1 is not renderable)"), std::string::npos) << error;
    video::IImage* shot = load("render.png");
    ASSERT_NE(shot, nullptr);
    EXPECT_EQ(hex(shot->getPixel(10, 10)), "00FF00");
    EXPECT_EQ(hex(shot->getPixel(73, 41)), "00FF00");
    EXPECT_EQ(hex(shot->getPixel(74, 42)), "000000");
    shot->drop();
}

// A real .x mesh (a cube with a colour map) whose surfaces a script sets through the API, each with
// an effect of its own built for the surface: glowing with its map, then with the map's red only,
// read back from the script's own screenshots.
TEST_F(TaScriptGLTest, ScriptSetsSurfacesOfARealMesh)
{
    std::string error;
    ASSERT_EQ(taRunScriptText(R"(
        ta.Setup(160, 120)
        ta.ColorBackdrop(0x203040)
        ta.LoadObject('/usr/share/assimp/models/X/test.x', 1)
        local r = ta.GetObjectRadius(1)
        assert(r > 0)
        ta.PositionCamera(0, 0, -3 * r)
        ta.RotateCamera(0, 0, 0)
        local function paint(red, green, blue, shot)
            local surfaces = 0
            while pcall(ta.SetObjectSurfaceParamFloat3, 1, surfaces, 'BaseColor', red, green, blue) do
                ta.SetObjectSurfaceParamFloat(1, surfaces, 'Luminosity', 1)
                ta.SetObjectSurfaceParamFloat(1, surfaces, 'Diffuse', 0)
                ta.SetObjectSurfaceParamFloat(1, surfaces, 'Specularity', 0)
                ta.SetObjectSurfaceParamFloat(1, surfaces, 'VertexColoring', 0)
                ta.LoadEffectForObjectSurface('Forward.hlsl', 10 + surfaces, 1, surfaces)
                ta.SetObjectSurfaceEffect(1, surfaces, 10 + surfaces)
                surfaces = surfaces + 1
            end
            assert(surfaces > 0)
            ta.UpdateObjectFromSurfaces(1)
            ta.Sync()
            ta.ScreenShot(shot)
        end
        paint(1, 1, 1, 'map.png')
        paint(1, 0, 0, 'red.png')
    )", &error), 0) << error;
    video::IImage* map = load("map.png");
    video::IImage* red = load("red.png");
    ASSERT_TRUE(map && red);
    EXPECT_EQ(hex(map->getPixel(1, 1)), "203040");
    int coloured = 0, redOnly = 0, other = 0;
    // Pixels of the mesh away from its outline (which antialiasing mixes with the backdrop).
    auto inside = [&](u32 x, u32 y) {
        for (u32 v = y - 1; v <= y + 1; ++v)
            for (u32 u = x - 1; u <= x + 1; ++u)
                if (hex(map->getPixel(u, v)) == "203040")
                    return false;
        return true;
    };
    for (u32 y = 1; y < 119; ++y)
        for (u32 x = 1; x < 159; ++x) {
            if (!inside(x, y))
                continue;
            const video::SColor a = map->getPixel(x, y), b = red->getPixel(x, y);
            coloured += a.getGreen() > 100 || a.getBlue() > 100;
            redOnly += b.getRed() == a.getRed() && b.getGreen() == 0 && b.getBlue() == 0;
            other += b.getGreen() != 0 || b.getBlue() != 0;
        }
    EXPECT_GT(coloured, 200) << "the colour map does not show";
    EXPECT_GT(redOnly, 200) << "the base colour does not filter the map";
    EXPECT_EQ(other, 0);
    map->drop();
    red->drop();
}

TEST_F(TaScriptGLTest, ObjectViewerShowsTheMeshAndEndsOnEscape)
{
    const std::string model = "/usr/share/assimp/models/X/test.x";
    writeFile("tarv-setup.ini", "[Setup]\naudio = null\ndisplay = 320 240\nwindowpos = 0 0\n");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        execl(TARV_EXECUTABLE, TARV_EXECUTABLE, "-userlog", model.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // The viewer goes with the test whatever happens to the test.
    struct SChild {
        pid_t pid;
        ~SChild()
        {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == 0) {
                kill(pid, SIGKILL);
                waitpid(pid, &status, 0);
            }
        }
    } guard{child};
    void* display = taPlatformOpenDisplay();
    ASSERT_NE(display, nullptr);
    // Wait for the viewer's window (its own: other tests may show windows of the same name meanwhile)
    // and a frame with the mesh in it.
    unsigned long window = 0;
    std::vector<unsigned> pixels;
    int width = 0, height = 0, mesh = 0;
    // A window just mapped may still show what was on the screen there before: the viewer has drawn
    // once its corners show the backdrop.
    auto drawn = [&] { return mesh >= 100 && !pixels.empty() && pixels[0] == 0x113366u; };
    for (int attempt = 0; attempt < 200 && !drawn(); ++attempt) {
        usleep(50000);
        if (!window)
            window = taPlatformFindWindow(display, "Tarv", child);
        if (window && taPlatformReadWindow(display, window, pixels, &width, &height)) {
            mesh = 0;
            // The middle of the window: not the viewer's backdrop, not black.
            for (int y = height / 4; y < height * 3 / 4; ++y)
                for (int x = width / 4; x < width * 3 / 4; ++x) {
                    const unsigned p = pixels[static_cast<size_t>(y) * width + x];
                    mesh += p != 0x113366 && p != 0;
                }
        }
    }
    EXPECT_NE(window, 0u);
    EXPECT_GE(mesh, 100) << "no mesh drawn in the middle of the window";
    // The corners show the backdrop.
    if (!pixels.empty()) {
        EXPECT_EQ(pixels[0], 0x113366u);
    }
    ASSERT_TRUE(taPlatformSendKey(display, window, XK_Escape));
    int status = -1;
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (waitpid(child, &status, WNOHANG) == child)
            break;
        usleep(50000);
    }
    taPlatformCloseDisplay(display);
    if (waitpid(child, &status, WNOHANG) == 0) {
        kill(child, SIGKILL);
        waitpid(child, &status, 0);
        FAIL() << "the viewer did not end on Escape";
    }
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
