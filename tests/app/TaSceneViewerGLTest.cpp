// The scene viewer beside the modeller on the OpenGL device (run under Xvfb), with the sample city
// paused at its start: the re-exported scene updated in place, a saved shader file compiled again
// (a broken one keeping the picture), the window kept above other windows, and the frames that
// `tarvtool sendframe` sends.
#include "TaTestSupport.h"

#include "app/TaSceneViewer.h"
#include "core/TaLog.h"
#include "engine/TaEngine.h"
#include "files/TaWatch.h"
#include "platform/TaWindow.h"
#include "scene/TaObjects.h"
#include "scene/TaSceneManager.h"
#include "scene/TaScenes.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

// Last: Xlib's macros (None, Status, ...) would clash with the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace {

constexpr int kWidth = 160, kHeight = 120;
// The overlay's text lines cover the rows above this one.
constexpr int kBelowOverlay = 48;

// A frame read back as 0xRRGGBB values.
struct Picture {
    std::vector<unsigned> pixels;
    unsigned at(int x, int y) const { return pixels[size_t(y) * kWidth + x]; }
};

bool near(unsigned a, unsigned b)
{
    for (int shift = 0; shift < 24; shift += 8)
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > 24)
            return false;
    return true;
}

// Pixels of the rectangle [x0, x1) x [y0, y1) that differ clearly between two pictures.
int differing(const Picture& a, const Picture& b, int x0, int y0, int x1, int y1)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            n += near(a.at(x, y), b.at(x, y)) ? 0 : 1;
    return n;
}

// Pixels below the overlay that are close to `rgb`.
int coloured(const Picture& p, unsigned rgb)
{
    int n = 0;
    for (int y = kBelowOverlay; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            n += near(p.at(x, y), rgb) ? 1 : 0;
    return n;
}

// `text` with its one occurrence of `from` replaced by `to` (unchanged, and a failure, without one).
std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    EXPECT_EQ(text.find(from, at + 1), std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

class TaSceneViewerGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        // A data directory of its own, so that the test can save its shader files.
        taTestRun(std::string("cp -r '") + TARV_DATA_DIR + "' '" + m_dir + "/data' && cp -r '" + TARV_SAMPLES_DIR +
                  "/city' '" + m_dir + "/city'");
        taRegisterSceneTable();
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/data/", kWidth, kHeight, true)), 0)
            << "no OpenGL device: run under xvfb-run";
    }
    void TearDown() override
    {
        m_viewer.end();
        taFreeWatches();
        taShutdown();
        TaScratchTest::TearDown();
    }

    // The city paused at its start, following its file and the modeller's frame.
    void start()
    {
        STaViewerOptions options{};
        options.flags = ETAVIEWER_SYNCUPDATE | ETAVIEWER_PAUSED;
        ASSERT_EQ(m_viewer.start((m_dir + "/city/city.tscn").c_str(), options, int(taTimer())), 0);
    }
    // One turn of the viewer's loop (the window's events, the viewer's frame, drawing) and the
    // picture it drew.
    Picture draw()
    {
        Picture picture;
        taRun();
        m_viewer.frame(int(taTimer()), STaViewerKeys());
        EXPECT_TRUE(Sync());
        const std::string path = m_dir + "/frame.png";
        EXPECT_EQ(taScreenshot(path.c_str()), 0);
        irr::video::IImage* image = taEngine().videoDriver->createImageFromFile(path.c_str());
        EXPECT_NE(image, nullptr);
        // A picture that could not be read stays black (the failure is counted above).
        picture.pixels.assign(size_t(kWidth) * kHeight, 0);
        if (!image)
            return picture;
        EXPECT_EQ(image->getDimension(), irr::core::dimension2du(kWidth, kHeight));
        const irr::core::dimension2du size = image->getDimension();
        for (int y = 0; y < kHeight && y < int(size.Height); ++y)
            for (int x = 0; x < kWidth && x < int(size.Width); ++x)
                picture.pixels[size_t(y) * kWidth + x] = image->getPixel(x, y).color & 0xFFFFFF;
        image->drop();
        return picture;
    }
    // Draws until `done` holds for the last picture, for at most `timeoutMs`: whether it held.
    bool drawUntil(const std::function<bool(const Picture&)>& done, int timeoutMs, Picture* last = nullptr)
    {
        const unsigned deadline = taTimer() + unsigned(timeoutMs);
        for (;;) {
            Picture picture = draw();
            const bool held = done(picture);
            if (last)
                *last = picture;
            if (held || taTimer() > deadline)
                return held;
            taSleep(10);
        }
    }

    CTaSceneViewer m_viewer;
};

TEST_F(TaSceneViewerGLTest, ReExportedSceneUpdatesInPlace)
{
    start();
    const Picture before = draw();
    // Paused: the same picture frame after frame.
    EXPECT_EQ(differing(before, draw(), 0, kBelowOverlay, kWidth, kHeight), 0);

    // The modeller exports the scene again with the brick block on the right of the street sunk
    // into the ground: the right half of the picture shows what was behind it, the left half stays.
    writeFile("city/city.tscn", replaced(readFile("city/city.tscn"), "position FP 14 0 8\n", "position FP 14 -40 8\n"));
    Picture after;
    ASSERT_TRUE(drawUntil([](const Picture&) { return taGetObject(2)->getPosition().Y < 0; }, 5000, &after))
        << "the scene was not updated from its file";
    EXPECT_EQ(m_viewer.updateStatus(), 0);
    EXPECT_EQ(m_viewer.sceneTime(), 0); // the frame shown stays
    after = draw();
    const int half = kWidth / 2, rows = kHeight - kBelowOverlay;
    EXPECT_EQ(differing(before, after, 0, kBelowOverlay, half, kHeight), 0);
    EXPECT_GT(differing(before, after, half, kBelowOverlay, kWidth, kHeight), half * rows / 5);
}

TEST_F(TaSceneViewerGLTest, SavedShaderFileRedrawsTheSurfacesAndABrokenOneKeepsThem)
{
    TaLogCapture log;
    start();
    const Picture before = draw();
    constexpr unsigned kMagenta = 0xFF00FF;
    ASSERT_LT(coloured(before, kMagenta), 10);

    // The opaque surfaces' effect (the light pre-pass renderer's material file) saved with its
    // colour replaced by magenta: once the folder watch has seen it, the surfaces turn magenta.
    const std::string material = readFile("data/shaders/Lpp.hlsl");
    const std::string lit = "    colour = materialColour(input, face, vpos);\n    depth";
    const std::string magenta = replaced(material, lit, "    colour = float4(1, 0, 1, 1);\n    depth");
    writeFile("data/shaders/Lpp.hlsl", magenta);
    const int surfaces = kWidth * (kHeight - kBelowOverlay) / 3;
    Picture recoloured;
    EXPECT_TRUE(drawUntil([&](const Picture& p) { return coloured(p, kMagenta) > surfaces; }, 10000, &recoloured))
        << "the surfaces were not drawn again with the saved shader: " << coloured(recoloured, kMagenta)
        << " magenta pixels";
    EXPECT_TRUE(log.contains("updating shaders done"));

    // A save that does not compile: the error is said and the surfaces keep the last good shader.
    log.lines.clear();
    writeFile("data/shaders/Lpp.hlsl",
              replaced(magenta, "colour = float4(1, 0, 1, 1);", "colour = float4(1, 0, 1 1);"));
    EXPECT_TRUE(drawUntil([&](const Picture&) { return log.contains("updating shaders done"); }, 10000))
        << "the broken shader was not compiled again";
    bool errorSaid = false;
    std::string lines;
    for (const std::string& line : log.lines) {
        errorSaid = errorSaid || (line.find("ERROR : Failed to compile") != std::string::npos &&
                                  line.find("Lpp.hlsl") != std::string::npos);
        lines += line;
    }
    EXPECT_TRUE(errorSaid) << lines;
    EXPECT_EQ(differing(recoloured, draw(), 0, kBelowOverlay, kWidth, kHeight), 0);
}

TEST_F(TaSceneViewerGLTest, KeptAboveOtherWindowsAndShowsTheFramesTarvtoolSends)
{
    // A second connection listens on the root window, where the requests to the window manager go
    // (there is no window manager under Xvfb to act on them).
    Display* listener = XOpenDisplay(nullptr);
    ASSERT_NE(listener, nullptr);
    const Window root = DefaultRootWindow(listener);
    const Atom state = XInternAtom(listener, "_NET_WM_STATE", False);
    const Atom above = XInternAtom(listener, "_NET_WM_STATE_ABOVE", False);
    XSelectInput(listener, root, SubstructureNotifyMask);
    XSync(listener, False);

    taSetLogLevel(ETALOG_DEBUG);
    TaLogCapture log;
    start();
    EXPECT_TRUE(log.contains("Viewer window kept above other windows"));
    const irr::video::SExposedVideoData& data = taEngine().videoDriver->getExposedVideoData();
    const unsigned long window = data.OpenGLLinux.X11Window;
    bool asked = false;
    for (int i = 0; i < 100 && !asked; ++i) {
        XEvent event;
        if (!XCheckTypedEvent(listener, ClientMessage, &event)) {
            taSleep(10);
            continue;
        }
        asked = event.xclient.window == window && event.xclient.message_type == state &&
                event.xclient.data.l[0] == 1 && Atom(event.xclient.data.l[1]) == above;
    }
    EXPECT_TRUE(asked) << "no _NET_WM_STATE request to add _NET_WM_STATE_ABOVE for the viewer's window";

    // A window that is not mapped yet carries the state in its property, once however often asked.
    const Window unmapped = XCreateSimpleWindow(listener, root, 0, 0, 10, 10, 0, 0, 0);
    XSync(listener, False);
    EXPECT_TRUE(taPlatformKeepWindowAbove(listener, unmapped));
    EXPECT_TRUE(taPlatformKeepWindowAbove(listener, unmapped));
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* property = nullptr;
    ASSERT_EQ(XGetWindowProperty(listener, unmapped, state, 0, 16, False, XA_ATOM, &type, &format, &count, &after,
                                 &property),
              Success);
    ASSERT_NE(property, nullptr);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(reinterpret_cast<const Atom*>(property)[0], above);
    XFree(property);
    XDestroyWindow(listener, unmapped);
    XCloseDisplay(listener);

    // The modeller's side names the viewer by its window or its process; the viewer shows the frame
    // at the scene's own rate from its own start frame, a frame before the start as the start.
    char hexadecimal[32], decimal[32];
    snprintf(hexadecimal, sizeof(hexadecimal), "0x%lx", window);
    snprintf(decimal, sizeof(decimal), "%lu", window);
    const std::string process = std::to_string(getpid());
    const struct {
        const char* what;
        std::string target;
        int frame;
    } cases[] = {
        {"by process id", process, SceneFrameStart(1) + 45},
        {"by window id", hexadecimal, SceneFrameStart(1) + 90},
        {"by window id in decimal", decimal, SceneFrameStart(1) + 12},
        {"before the start frame", process, SceneFrameStart(1) - 5},
    };
    ASSERT_GT(SceneFps(1), 0);
    for (const auto& c : cases) {
        const std::string output = m_dir + "/sendframe.txt";
        ASSERT_EQ(taTestRun(std::string(TARV_TOOL) + " sendframe " + c.target + " " + std::to_string(c.frame) + " > '" +
                            output + "' 2>&1"),
                  0)
            << c.what << ": " << readFile("sendframe.txt");
        EXPECT_NE(readFile("sendframe.txt").find(std::string("sent to window ") + hexadecimal), std::string::npos)
            << c.what << ": " << readFile("sendframe.txt");
        const int expected = std::max(0, (c.frame - SceneFrameStart(1)) * 1000 / SceneFps(1));
        EXPECT_TRUE(drawUntil([&](const Picture&) { return m_viewer.sceneTime() == expected; }, 3000))
            << c.what << ": frame " << c.frame << " shows time " << m_viewer.sceneTime() << ", not " << expected;
    }
}

} // namespace
