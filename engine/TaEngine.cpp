// The engine context.
#include "engine/TaEngine.h"

#include "engine/Ta2D.h"
#include "engine/TaCamera.h"
#include "engine/TaInput.h"
#include "engine/TaLoadingScreen.h"
#include "core/TaLog.h"
#include "engine/TaManager.h"
#include "engine/TaOverlay.h"
#include "engine/TaResourceManager.h"
#include "engine/TaSceneNodeAnimatorCamera.h"
#include "effects/TaEffectBind.h"
#include "effects/TaEffectManager.h"
#include "effects/TaGPUProgrammingServices.h"
#include "files/TaFile.h"
#include "files/TaFileIrr.h"
#include "files/TaWatch.h"
#include "music/TaMusic.h"
#include "nodes/TaMeshLoaders.h"
#include "platform/TaPlatform.h"
#include "platform/TaWindow.h"
#include "render/TaCubeMap.h"
#include "engine/TaCameraEffects.h"
#include "render/TaPostChain.h"
#include "render/TaRendererCtxAdv.h"
#include "render/TaRendererManager.h"
#include "driver/TaVideoDriverExt.h"
#include "driver/gl/TaGLCapabilities.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <cstring>
#include <string>
#include <strings.h>
#include <thread>
#include <vector>

using namespace irr;

namespace {

STaEngineContext g_engine;
u32 g_background = 0;
char g_setupError[1024];
// Per device: a reset after precalculated render targets exist cannot be recovered from.
bool g_deviceWasReset = false;
bool g_precalculatedTargets = false;
bool g_deviceLost = false; // an unrecoverable loss met by Sync, until the next start
std::string g_missingCapabilities;

// A file in memory that grows as a writer writes, for image writers whose output size is not
// known beforehand (the PPM writer's text takes about 13 bytes a pixel).
class CTaGrowableWriteFile : public io::IWriteFile
{
public:
    explicit CTaGrowableWriteFile(const char* name) : m_name(name) {}
    s32 write(const void* buffer, u32 sizeToWrite) override
    {
        if (m_position + sizeToWrite > m_data.size())
            m_data.resize(m_position + sizeToWrite);
        if (sizeToWrite)
            memcpy(m_data.data() + m_position, buffer, sizeToWrite);
        m_position += sizeToWrite;
        return static_cast<s32>(sizeToWrite);
    }
    bool seek(long finalPos, bool relativeMovement) override
    {
        const long target = relativeMovement ? static_cast<long>(m_position) + finalPos : finalPos;
        if (target < 0)
            return false;
        m_position = static_cast<size_t>(target);
        return true;
    }
    long getPos() const override { return static_cast<long>(m_position); }
    const io::path& getFileName() const override { return m_name; }
    const std::vector<char>& data() const { return m_data; }

private:
    io::path m_name;
    std::vector<char> m_data;
    size_t m_position = 0;
};

void setSetupError(const char* text)
{
    snprintf(g_setupError, sizeof(g_setupError), "%s", text);
}

// The informational notes about what this build leaves out are printed once per process.
void noteOnce(bool& done, const char* text)
{
    if (!done) {
        done = true;
        taPrint(ETALOG_INFO, "%s", text);
    }
}
bool g_notedVsync = false;

void reportWindowError(const char* text)
{
    taPrint(ETALOG_WARN, "%s", text);
}

ELOG_LEVEL irrlichtLogLevel()
{
    switch (taGetLogLevel()) {
    case ETALOG_DEBUG: return ELL_DEBUG;
    case ETALOG_INFO: return ELL_INFORMATION;
    case ETALOG_WARN: return ELL_WARNING;
    case ETALOG_ERROR: return ELL_ERROR;
    default: return ELL_NONE;
    }
}

std::string joinDirectory(const char* directory, const char* name)
{
    std::string path = directory ? directory : "";
    if (!path.empty() && path.back() != '/' && path.back() != '\\')
        path += '/';
    return path + name;
}

// What the ID tables release when the engine stops: images leave the driver's texture cache,
// objects and lights leave the scene graph. Tables whose entries nothing creates yet release
// nothing; their layers give them a release function when they fill them.
void releaseImage(void* object)
{
    auto* texture = static_cast<video::ITexture*>(object);
    if (g_engine.videoDriver)
        g_engine.videoDriver->removeTexture(texture);
    texture->drop();
}

void releaseEffect(void* object)
{
    static_cast<CTaEffect*>(object)->drop();
}

void releaseCubeMap(void* object)
{
    static_cast<ITaCubeMap*>(object)->drop();
}

void releaseRenderer(void* object)
{
    // A renderer that goes while it is the current one leaves the default one current.
    auto* renderer = static_cast<ITaRenderer*>(object);
    if (g_engine.currentRenderer == renderer) {
        g_engine.currentRenderer = nullptr;
        renderer->drop();
    }
    renderer->drop();
}

void releaseSceneNode(void* object)
{
    auto* node = static_cast<scene::ISceneNode*>(object);
    node->remove();
    node->drop();
}

// Everything taCreateDevice made, undone in the order of shut-down (renderer, manager, music
// table when `freeMusic`, device, ID tables); the context zeroed.
void releaseContext(bool freeMusic)
{
    STaEngineContext& e = g_engine;
    taGetEventReceiver().setEnabled(false);
    taOverlayClear();
    taLoadingScreenRelease();
    if (e.defaultRenderer)
        e.defaultRenderer->drop();
    if (e.currentRenderer)
        e.currentRenderer->drop();
    delete e.manager;
    e.manager = nullptr;
    if (freeMusic)
        taFreeMusicTable();
    if (e.cameraAnimator)
        e.cameraAnimator->drop();
    if (e.device) {
        e.device->closeDevice();
        e.device->run();
        e.device->drop();
    }
    e = STaEngineContext();
}

// A failed creation step: its text kept for taGetSetupError, everything undone. 1.
int failCreation(const char* text)
{
    setSetupError(text);
    releaseContext(false);
    return 1;
}

// The light pre-pass renderer: the render-target table in half floats at screen size, the advanced
// context with its start-up files, the renderer with its opaque and transparent material files.
// None when a step fails (each logs why).
ITaRenderer* createLightPrePassRenderer(CTaRendererManager* renderers, bool antialias)
{
    if (!renderers->createRenderTargets(video::ECF_A16B16G16R16F, nullptr))
        return nullptr;
    STaRendererStartupFiles files;
    files.antialias = antialias;
    for (int i = 0; i < 21; ++i)
        files.files[i] = taFindFile(taRendererStartupFileNames[i]);
    CTaRendererCtxAdv* context = renderers->createCtxAdv(files, taGetManager()->getEffectManager());
    if (!context)
        return nullptr;
    ITaRenderer* renderer = renderers->createRendererLpp(context, std::string(taFindFile("Lpp.hlsl")).c_str(),
                                                         std::string(taFindFile("Forward.hlsl")).c_str());
    context->drop();
    return renderer;
}

// Engine initialisation: capabilities, manager, cache and texture directories, renderer. 0, or 1
// with the failure text set.
int initEngine(const STaEngineContext& e)
{
    // What the renderer needs of the driver (Direct3D's helper-library check, here OpenGL's).
    if (e.driver == ETADRIVER_OPENGL) {
        std::unique_ptr<ITaVideoDriverExt> probe(taCreateVideoDriverExt(e.device));
        std::string missing = probe->checkCapabilities();
        if (!missing.empty()) {
            while (!missing.empty() && missing.back() == '\n')
                missing.pop_back();
            setSetupError(missing.c_str());
            return 1;
        }
    }
    CTaManager* manager = CTaManager::create(e.device);
    if (!manager) {
        setSetupError("fails to createTaManager");
        return 1;
    }
    g_engine.manager = manager;
    const std::string cache = joinDirectory(taGetDataDirectory(), "shadersCache");
    manager->getGPUProgrammingServices()->setCacheDirectory(cache.c_str(), taIsArchiveMode() ? 1 : 7);
    manager->getEffectManager()->setTextureDirectory(joinDirectory(taGetDataDirectory(), "textures").c_str());

    // The renderer. A 32 x 32 target named "DummyRenderTarget" comes first, without mip-maps.
    video::IVideoDriver* driver = e.videoDriver;
    const bool mipMaps = driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
    driver->addRenderTargetTexture(core::dimension2du(32, 32), "DummyRenderTarget");
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipMaps);
    CTaRendererManager* renderers = manager->getRendererManager();
    ITaRenderer* renderer = nullptr;
    if (e.lightPrePass && e.driver == ETADRIVER_OPENGL) {
        // No fallback: a renderer file that is missing or does not build stops the start-up (the
        // failing step logged why).
        renderer = createLightPrePassRenderer(renderers, e.antialias);
    } else {
        CTaRendererCtx* context = renderers->createCtx();
        renderer = context ? renderers->createRendererSimple(context) : nullptr;
        if (context)
            context->drop();
    }
    if (!renderer) {
        setSetupError("fails to init render");
        return 1;
    }
    g_engine.defaultRenderer = renderer;
    if (!manager->getResourceManager()->initEffectCubeMapToLatLong(taFindFile("cubemaptolatlong.hlsl"))) {
        setSetupError("fails to init cubemaptolatlong");
        return 1;
    }
    // The curl-noise volume: from its cache, else made from the noise volume and cached (not inside a
    // packed executable). A cache that does not load is made again rather than failing every start.
    CTaResourceManager* resources = manager->getResourceManager();
    const std::string curlCache = joinDirectory(taGetDataDirectory(), "curlNoise3D.cache");
    bool cached = false;
    if (std::ifstream(curlCache, std::ios::binary).good()) {
        cached = resources->loadCurlNoiseCache(curlCache.c_str());
        if (!cached)
            taPrint(ETALOG_WARN, "The curl-noise cache %s cannot be used: it is made again from NoiseVolume.dds",
                    curlCache.c_str());
    }
    if (!cached) {
        if (!resources->initCurlNoise(std::string(taFindFile("NoiseVolume.dds")).c_str())) {
            setSetupError("fails to init curl noise");
            return 1;
        }
        if (!taIsArchiveMode() && !resources->saveCurlNoiseCache(curlCache.c_str()))
            taPrint(ETALOG_ERROR, "failed to save %s", curlCache.c_str());
    }
    return 0;
}

} // namespace

STaEngineContext& taEngine()
{
    return g_engine;
}

bool taIsStarted()
{
    return g_engine.started;
}

CTaManager* taGetManager()
{
    return g_engine.manager;
}

const char* taGetSetupError()
{
    return g_setupError;
}

IrrlichtDevice* taCreateIrrlichtDevice(const SIrrlichtCreationParameters& params)
{
    IrrlichtDevice* device = createDeviceEx(params);
    // A virtual display can refuse a new connection for a moment after a client that drew many
    // frames has just gone (measured under Xvfb after a restart): try again for up to a second
    // while a display is there.
    for (int attempt = 0; !device && params.DriverType != video::EDT_NULL && attempt < 20 && taPlatformHasDisplay();
         ++attempt) {
        taSleep(50);
        device = createDeviceEx(params);
    }
    return device;
}

int taMultisampleCount(bool antialias, bool lightPrePass)
{
    return antialias && !lightPrePass ? 4 : 0;
}

int taCreateDevice(int windowX, int windowY, int width, int height, int bpp, bool fullScreen, bool vsync,
                   bool antialias, bool lightPrePass, int stereo, int driverChoice)
{
    g_setupError[0] = 0;
    // A new device has lost nothing and holds no precalculated render targets yet.
    g_deviceLost = false;
    g_deviceWasReset = false;
    g_precalculatedTargets = false;
    STaEngineContext& e = g_engine;
    e = STaEngineContext();
    e.driver = driverChoice == ETADRIVER_NULL ? ETADRIVER_NULL : ETADRIVER_OPENGL;
    e.width = width;
    e.height = height;
    e.bpp = bpp;
    e.antialias = antialias;
    e.lightPrePass = lightPrePass;
    e.stereo = stereo;
    e.multisamples = taMultisampleCount(antialias, lightPrePass);

    MyEventReceiver& receiver = taGetEventReceiver();
    receiver.reset();
    if (e.driver == ETADRIVER_OPENGL)
        taPlatformInstallWindowErrorHandler(reportWindowError);
    SIrrlichtCreationParameters params;
    params.DriverType = e.driver == ETADRIVER_NULL ? video::EDT_NULL : video::EDT_OPENGL;
    params.Stencilbuffer = true;
    params.ZBufferBits = 24;
    params.Fullscreen = fullScreen;
    // Irrlicht 1.8 sets vsync with glXSwapIntervalSGI, which the X server refuses for a direct
    // context (GLXBadContextTag at every start): the driver extension sets it below instead.
    params.Vsync = false;
    params.WindowSize = core::dimension2du(width, height);
    params.Bits = static_cast<u8>(bpp);
    params.AntiAlias = static_cast<u8>(e.multisamples);
    params.EventReceiver = &receiver;
    params.LoggingLevel = irrlichtLogLevel();
    e.device = taCreateIrrlichtDevice(params);
    if (!e.device) {
        return failCreation("fails to createDevice");
    }
    e.device->setWindowCaption(L"Tarv");

    e.videoDriver = e.device->getVideoDriver();
    if (!e.videoDriver) {
        return failCreation("fails to getVideoDriver");
    }
    if (e.driver == ETADRIVER_OPENGL) {
        std::unique_ptr<ITaVideoDriverExt> driverExt(taCreateVideoDriverExt(e.device));
        // Irrlicht 1.8 has no creation field for the window position: move the window once it
        // exists, centring it along an axis whose position is not given.
        if (!fullScreen) {
            std::vector<STaDisplayMode> modes;
            STaDisplayMode desktop{width, height, 0, 0};
            taPlatformDisplayModes(modes, desktop);
            const int x = windowX != -1 ? windowX : (desktop.width - width) / 2;
            const int y = windowY != -1 ? windowY : (desktop.height - height) / 2;
            driverExt->moveWindow(x < 0 ? 0 : x, y < 0 ? 0 : y);
        }
        if (!driverExt->setSwapInterval(vsync ? 1 : 0) && vsync)
            noteOnce(g_notedVsync, "The display's OpenGL cannot wait for the vertical blank: vsync is off");
        // Irrlicht names no owner on its window: a modeller's side finds the viewer by its process id.
        const video::SExposedVideoData& window = e.videoDriver->getExposedVideoData();
        taPlatformSetWindowProcess(window.OpenGLLinux.X11Display, window.OpenGLLinux.X11Window);
    }
    taReapplyFilesystem(e.device->getFileSystem());
    e.videoDriver->setTextureCreationFlag(video::ETCF_ALWAYS_32_BIT, true);

    e.sceneManager = e.device->getSceneManager();
    if (!e.sceneManager) {
        return failCreation("fails to getSceneManager");
    }
    e.guiEnvironment = e.device->getGUIEnvironment();
    if (!e.guiEnvironment) {
        return failCreation("fails to getGUIEnvironment");
    }
    e.font = e.guiEnvironment->getBuiltInFont();

    e.camera = e.sceneManager->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0), core::vector3df(0, 0, 100));
    if (!e.camera) {
        return failCreation("fails to create camera");
    }
    e.sceneManager->setActiveCamera(e.camera);
    e.cameraAnimator = new CTaSceneNodeAnimatorCamera(100.0f, 0.01f);
    e.cameraAnimator->setMode(2);
    e.camera->addAnimator(e.cameraAnimator);

    e.sceneManager->getParameters()->setAttribute("Allow_ZWrite_On_Transparent", true);
    // The engine's own readers for the mesh formats it accepts, written for untrusted files.
    taAddMeshLoaders(e.sceneManager);
    taOverlayClear();

    if (initEngine(e) != 0) {
        releaseContext(false); // the failure text is initialisation's own
        return 1;
    }

    static const char* const tableFailures[8] = {
        "fails to create image list", "fails to create object list", "fails to create light list",
        "fails to create fxemitter list", "fails to create camera shader list", "fails to create effect list",
        "fails to create cubemap list", "fails to create renderer list"};
    std::unique_ptr<STaIdTable>* tables[8] = {&e.images, &e.objects, &e.lights, &e.fxEmitters,
                                              &e.cameraShaders, &e.effects, &e.cubeMaps, &e.renderers};
    const TaIdRelease releases[8] = {releaseImage, releaseSceneNode, releaseSceneNode, nullptr,
                                     taReleaseCameraEffect, releaseEffect, releaseCubeMap, releaseRenderer};
    for (int i = 0; i < 8; ++i) {
        *tables[i] = idCreate(TA_ID_TABLE_CAPACITY, releases[i]);
        if (!*tables[i]) {
            return failCreation(tableFailures[i]);
        }
    }
    receiver.setEnabled(true);
    e.started = true;
    return 0;
}

int taSetup(const STaSetupParams& params)
{
    if (g_engine.started)
        taShutdown();
    if (params.dataDirectory[0])
        taSetDataDirectory(params.dataDirectory);
    const int width = params.width > 0 ? params.width : 640;
    const int height = params.height > 0 ? params.height : 480;
    const int bpp = params.bpp > 0 ? params.bpp : 32;
    if (taCreateDevice(params.windowX, params.windowY, width, height, bpp, params.windowed == 0, params.vsync != 0,
                       params.antialias != 0, params.lightPrePass != 0, params.stereo > 0 ? params.stereo : 0,
                       params.driver) != 0) {
        // The step's text as it is, and the way out on a line of its own where one is known.
        const bool noDisplay = params.driver != ETADRIVER_NULL && strcmp(taGetSetupError(), "fails to createDevice") == 0 &&
                               !taPlatformHasDisplay();
        taErrorCodeBox(-1, "Setup failed: %s%s", taGetSetupError(),
                       noDisplay ? "\nno X display: run under xvfb-run, or use -driver null" : "");
        return -1;
    }
    g_background = 0;
    taReset2DState();
    if (params.hideMouse != -1 && params.hideMouse != 0 && g_engine.device->getCursorControl())
        g_engine.device->getCursorControl()->setVisible(false);
    taSetCameraRange(params.cameraNear, params.cameraFar);
    if (taCreateMusicTable(params.audio) != 0) {
        taErrorCodeBox(-1, "Failed to setup music replay");
        taShutdown();
        return -1;
    }
    g_engine.started = true;
    return 0;
}

void taShutdown()
{
    if (!g_engine.device)
        return;
    taGetEventReceiver().setEnabled(false);
    STaEngineContext& e = g_engine;
    // What scripts, viewers and scenes made: every ID table releases what it still holds (images,
    // objects, lights, ...), then the fades, fonts and collision go.
    for (STaIdTable* table : {e.images.get(), e.objects.get(), e.lights.get(), e.fxEmitters.get(),
                              e.cameraShaders.get(), e.effects.get(), e.cubeMaps.get(), e.renderers.get()})
        idClear(table);
    StopFade();
    taReset2DState();
    AutomaticCameraCollisionOff();
    if (e.collisionWorld)
        e.collisionWorld->drop();
    e.collisionWorld = nullptr;
    releaseContext(true);
}

// --- Frame --------------------------------------------------------------------------------------

void taSetBackgroundColor(u32 rgb)
{
    g_background = rgb & 0xFFFFFF;
}

u32 taGetBackgroundColor()
{
    return g_background;
}

void taSetCameraRange(float nearPlane, float farPlane)
{
    if (nearPlane == farPlane) {
        nearPlane = 0.1f;
        farPlane = 1000.0f;
    }
    if (g_engine.camera) {
        g_engine.camera->setNearValue(nearPlane);
        g_engine.camera->setFarValue(farPlane);
    }
}

void taSetCurrentRenderer(ITaRenderer* renderer)
{
    if (renderer)
        renderer->grab();
    if (g_engine.currentRenderer)
        g_engine.currentRenderer->drop();
    g_engine.currentRenderer = renderer;
}

ITaRenderer* taGetCurrentRenderer()
{
    return g_engine.currentRenderer ? g_engine.currentRenderer : g_engine.defaultRenderer;
}

bool taBeginScene()
{
    STaEngineContext& e = g_engine;
    if (!e.videoDriver)
        return false;
    if (e.inScene)
        return true;
    if (!e.videoDriver->beginScene(false, false, video::SColor(0, (g_background >> 16) & 0xFF,
                                                               (g_background >> 8) & 0xFF, g_background & 0xFF)))
        return false;
    e.inScene = true;
    return true;
}

bool taEndScene()
{
    STaEngineContext& e = g_engine;
    if (!e.inScene) {
        taPrint(ETALOG_WARN, "endRendering called while not in Rendering");
        return false;
    }
    e.inScene = false;
    // Keep the presented picture readable for screenshots: after the swap it is gone.
    if (e.manager)
        e.manager->getVideoDriverExt()->keepFrame();
    if (!e.videoDriver->endScene()) {
        taPrint(ETALOG_WARN, "endScene failed");
        return false;
    }
    if (e.manager)
        e.manager->getVideoDriverExt()->framePresented();
    return true;
}

// What the renderer takes from the engine every frame: the background colour, and the render
// settings of the current scene and the camera calls.
static void prepareRenderer(ITaRenderer* renderer)
{
    if (STaFrameOptions* options = renderer->getFrameOptions())
        options->backgroundColour = g_background;
    if (STaRenderSettings* settings = renderer->getRenderSettings())
        *settings = g_engine.renderSettings;
    // The camera effects shown, in showing order; none while precalculated targets are baked.
    if (CTaPostChain* chain = renderer->getPostChain())
        chain->setEffects(g_engine.renderSettings.baking ? std::vector<CTaEffect*>() : taShownCameraEffects());
}

bool taRenderToTarget(video::ITexture* target)
{
    ITaRenderer* renderer = taGetCurrentRenderer();
    if (!g_engine.started || !renderer)
        return false;
    prepareRenderer(renderer);
    const bool rendered = renderer->render(target);
    if (target)
        g_engine.videoDriver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    return rendered;
}

bool Sync()
{
    STaEngineContext& e = g_engine;
    if (!e.started)
        return false;
    // What the file watchers' workers met is shown here, on the main thread.
    taShowFileOperationProblems();
    if (taIsWindowMinimized()) {
        taOverlayClear();
        e.device->yield();
        return false;
    }
    if (g_deviceLost)
        return false;
    // The loss is a failure that the run mode reports (its loop ends as taRun turns false, and the
    // process exits non-zero), never an exit with success from inside the frame.
    if (g_deviceWasReset && g_precalculatedTargets) {
        taErrorCodeBox(-1, "Graphic Device lost, cannot re-create rendered textures, exiting");
        g_deviceLost = true;
        return false;
    }
    if (!taBeginScene()) {
        taPrint(ETALOG_WARN, "beginScene failed");
        taOverlayClear();
        return false;
    }
    ITaRenderer* renderer = taGetCurrentRenderer();
    prepareRenderer(renderer);
    renderer->render(nullptr);
    // The frame's camera, before the overlay's screen quads set transforms of their own.
    const core::matrix4 view = e.videoDriver->getTransform(video::ETS_VIEW);
    const core::matrix4 projection = e.videoDriver->getTransform(video::ETS_PROJECTION);
    // The overlay draws over whatever target the renderer left selected: the back buffer.
    e.videoDriver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    e.guiEnvironment->drawAll();
    taOverlayDraw(e.videoDriver, e.manager ? e.manager->getVideoDriverExt() : nullptr);
    const bool presented = taEndScene();
    CTaLastFrameInfo* lastFrame = e.manager->getRendererManager()->getLastFrameInfo();
    lastFrame->update(e.device->getTimer()->getRealTime(), view, projection);
    // What effects read as the previous frame.
    taSetEffectLastFrame(lastFrame->previousView(), lastFrame->previousProjection(), lastFrame->framesPerSecond());
    return presented;
}

// --- Window and time ----------------------------------------------------------------------------

bool taRun()
{
    return g_engine.device && !g_deviceLost && g_engine.device->run();
}

bool taIsDeviceLost()
{
    return g_deviceLost;
}

void taSleep(int ms)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(ms > 0 ? ms : 0));
}

u32 taTimer()
{
    static const auto start = std::chrono::steady_clock::now();
    return static_cast<u32>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
}

bool taIsWindowActive()
{
    if (!g_engine.device)
        return false;
    if (g_engine.driver == ETADRIVER_NULL)
        return !g_engine.minimised;
    return g_engine.device->isWindowActive();
}

bool taIsWindowMinimized()
{
    if (!g_engine.device)
        return false;
    // The null device has no window: it keeps the state the window operations asked for.
    if (g_engine.driver == ETADRIVER_NULL)
        return g_engine.minimised;
    return g_engine.device->isWindowMinimized();
}

void taHideWindow()
{
    if (g_engine.manager && !g_engine.manager->getVideoDriverExt()->hideWindow())
        g_engine.minimised = true;
}

void taShowWindow()
{
    if (g_engine.manager && !g_engine.manager->getVideoDriverExt()->showWindow())
        g_engine.minimised = false;
}

void taMinimizeWindow()
{
    if (!g_engine.device)
        return;
    // The null device has no window (and Irrlicht's window calls would reach for one).
    if (g_engine.driver != ETADRIVER_NULL)
        g_engine.device->minimizeWindow();
    g_engine.minimised = true;
}

void taMaximizeWindow()
{
    if (!g_engine.device)
        return;
    // The null device has no window (and Irrlicht's window calls would reach for one).
    if (g_engine.driver != ETADRIVER_NULL)
        g_engine.device->maximizeWindow();
    g_engine.minimised = false;
}

void taRestoreWindow()
{
    if (!g_engine.device)
        return;
    // The null device has no window (and Irrlicht's window calls would reach for one).
    if (g_engine.driver != ETADRIVER_NULL)
        g_engine.device->restoreWindow();
    g_engine.minimised = false;
}

// --- Services -----------------------------------------------------------------------------------

int taScreenshot(const char* path)
{
    video::IImage* image = g_engine.manager ? g_engine.manager->getVideoDriverExt()->grabFrame() : nullptr;
    if (!image) {
        taErrorCode(1, "failed to grab the screen\n");
        return -1;
    }
    // The image is written into memory first and the file replaced whole: a capture that fails
    // half-way (a full disk) leaves no broken frame behind.
    bool written = false;
    if (path && *path) {
        CTaGrowableWriteFile* file = new CTaGrowableWriteFile(path);
        written = g_engine.videoDriver->writeImageToFile(image, file);
        const std::vector<char>& memory = file->data();
        written = written && !memory.empty() && taPlatformWriteFileAtomic(path, memory.data(), memory.size());
        file->drop();
    }
    image->drop();
    if (!written) {
        // Irrlicht picks the writer by the extension: name them when none took the file.
        static const char* const extensions[] = {".bmp", ".jpg", ".pcx", ".png", ".ppm", ".tga"};
        const std::string name = taNormalizeSlashes(path ? path : "");
        const std::string extension = name.find('.') == std::string::npos ? "" : name.substr(name.rfind('.'));
        bool known = false;
        for (const char* candidate : extensions)
            known |= strcasecmp(extension.c_str(), candidate) == 0;
        taErrorCode(1, "failed to save screenshot to file '%s'\n%s", path ? path : "",
                    known ? "" : "the extension chooses the image writer: .bmp, .jpg, .pcx, .png, .ppm or .tga\n");
        return -1;
    }
    return 0;
}

void taReloadShaders(int count, const char* const* paths)
{
    if (taIsArchiveMode() || count <= 0 || !paths || !g_engine.manager)
        return;
    std::vector<std::string> changed;
    for (int i = 0; i < count; ++i) {
        if (!paths[i])
            continue;
        changed.push_back(taNormalizeSlashes(paths[i]));
        taPrint(ETALOG_INFO, "detected file change %s", changed.back().c_str());
    }
    taPrint(ETALOG_INFO, "updating shaders...");
    g_engine.manager->getGPUProgrammingServices()->recompileShaders(changed, nullptr, nullptr);
    taPrint(ETALOG_INFO, "updating shaders done");
}

const char* taCheckD3DLibraries()
{
    if (g_engine.manager && g_engine.driver == ETADRIVER_OPENGL)
        g_missingCapabilities = g_engine.manager->getVideoDriverExt()->checkCapabilities();
    else
        g_missingCapabilities = taProbeGLCapabilities();
    return g_missingCapabilities.empty() ? nullptr : g_missingCapabilities.c_str();
}

void taFireDeviceReset()
{
    taPrint(ETALOG_INFO, "taIrrlicht: D3D Device is about to RESET\n");
    if (g_engine.manager)
        g_engine.manager->onDeviceReset();
    g_deviceWasReset = true;
}

void taSetPrecalculatedRenderTargets()
{
    if (!g_precalculatedTargets)
        g_deviceWasReset = false;
    g_precalculatedTargets = true;
}
