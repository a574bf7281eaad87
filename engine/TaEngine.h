// The engine context: start-up and shut-down, the frame (Sync), window and timer operations,
// screenshots, shader hot reload and the capability check.
//
// Index
//   context ........... STaEngineContext, taEngine
//   start, stop ....... taSetup, taCreateDevice, taGetSetupError, taShutdown
//   frame ............. Sync, taBeginScene, taEndScene, taRenderToTarget, background, camera range
//   window, time ...... taRun, taSleep, taTimer, window operations
//   services .......... taScreenshot, taReloadShaders, taCheckD3DLibraries, device reset
#pragma once

#include "engine/TaSetupParams.h"
#include "core/TaIdTable.h"
#include "render/TaRenderer.h"

#include <irrlicht.h>

#include <memory>
#include <vector>

class CTaManager;
class CTaSceneNodeAnimatorCamera;

constexpr int TA_ID_TABLE_CAPACITY = 1000;

// The one process-wide engine context; zeroed at start and at shut-down.
struct STaEngineContext {
    bool started = false;
    irr::IrrlichtDevice* device = nullptr;
    irr::video::IVideoDriver* videoDriver = nullptr;
    irr::scene::ISceneManager* sceneManager = nullptr;
    irr::gui::IGUIEnvironment* guiEnvironment = nullptr;
    irr::gui::IGUIFont* font = nullptr;             // the built-in font, for overlay text
    irr::gui::IGUIInOutFader* fader = nullptr;      // the active screen fader, or none
    irr::scene::ICameraSceneNode* camera = nullptr;
    CTaSceneNodeAnimatorCamera* cameraAnimator = nullptr;
    int width = 0, height = 0, bpp = 0;             // the screen mode requested
    bool antialias = false;
    int stereo = 0;
    bool lightPrePass = false;
    int driver = ETADRIVER_OPENGL;                  // ETaDriver of the running device
    int multisamples = 0;                           // samples the device was asked for
    STaRenderSettings renderSettings;
    std::unique_ptr<STaIdTable> images, objects, lights, fxEmitters, cameraShaders, effects, cubeMaps, renderers;
    std::vector<int> cameraEffectsShown;            // camera effect IDs in the order they were shown
    CTaManager* manager = nullptr;
    ITaRenderer* defaultRenderer = nullptr;
    ITaRenderer* currentRenderer = nullptr;         // nullptr: the default one
    bool inScene = false;
    float stereo3D[4] = {0, 0, 0, 0};               // SetCameraStereo: on, separation, mode, focus
    irr::scene::IMetaTriangleSelector* collisionWorld = nullptr; // what the camera may collide with
    irr::scene::ISceneNodeAnimator* cameraCollision = nullptr;
    bool minimised = false;                         // the null device's window state
};

STaEngineContext& taEngine();
bool taIsStarted();
CTaManager* taGetManager();

// --- Start and stop -----------------------------------------------------------------------------
// Starts the engine (shutting a running one down first): 0, or -1 with "Setup failed: %s" logged
// (error, remembered with code -1, message box).
int taSetup(const STaSetupParams& params);
// Creates the device, the manager, the renderer and the ID tables: 0, or 1 with the failure text
// kept for taGetSetupError (everything made is undone). `windowX`/`windowY` -1 centre the window.
int taCreateDevice(int windowX, int windowY, int width, int height, int bpp, bool fullScreen, bool vsync,
                   bool antialias, bool lightPrePass, int stereo, int driver = ETADRIVER_OPENGL);
const char* taGetSetupError();
// Releases the renderer, the manager, the music table, the device and the ID tables; nothing when
// the engine is stopped.
void taShutdown();

// Irrlicht's createDeviceEx, tried again for up to a second while a display is there but refuses
// the connection (a virtual display does so for a moment after a busy client has gone).
irr::IrrlichtDevice* taCreateIrrlichtDevice(const irr::SIrrlichtCreationParameters& params);

// Samples of multisampling the device gets: 4 with antialiasing, but none whenever the light
// pre-pass renderer is asked for (it antialiases in its post chain).
int taMultisampleCount(bool antialias, bool lightPrePass);

// --- Frame --------------------------------------------------------------------------------------
// Renders and presents one frame: scene, GUI, the overlay queue. False when nothing was drawn
// (a minimised window, a failed begin).
bool Sync();
bool taBeginScene();
bool taEndScene();
// Renders the current scene with the current renderer into `target` (nullptr: the back buffer);
// the renderer clears the target to the background colour first, as it does for a frame.
bool taRenderToTarget(irr::video::ITexture* target);
void taSetCurrentRenderer(ITaRenderer* renderer);
ITaRenderer* taGetCurrentRenderer();

// The background colour, 0xRRGGBB (black after start-up); frames clear to it with alpha 0.
void taSetBackgroundColor(irr::u32 rgb);
irr::u32 taGetBackgroundColor();
// The camera's near and far planes; equal values mean 0.1 and 1000.0.
void taSetCameraRange(float nearPlane, float farPlane);

// --- Window and time ----------------------------------------------------------------------------
// The device's run step: false once the window was closed, the device lost or the engine stopped.
bool taRun();
// Sleeps `ms` milliseconds (0 for negative values).
void taSleep(int ms);
// Milliseconds since the first call.
irr::u32 taTimer();
bool taIsWindowActive();
bool taIsWindowMinimized();
void taHideWindow();
void taShowWindow();
void taMinimizeWindow();
void taMaximizeWindow();
void taRestoreWindow();

// --- Services -----------------------------------------------------------------------------------
// Writes the frame the last Sync presented as a 24-bit RGB image, the writer chosen by the
// extension: 0, or -1 with "failed to grab the screen\n" or "failed to save screenshot to file
// '%s'\n" (remembered with code 1).
int taScreenshot(const char* path);
// Recompiles the shaders that depend on the changed files (nothing in archive mode).
void taReloadShaders(int count, const char* const* paths);
// What the renderer needs and the display's OpenGL lacks ("Missing %s. Please install this
// library.\n" per item), or nullptr when nothing is missing. Uses the running device when there
// is one.
const char* taCheckD3DLibraries();

// Device reset: OpenGL never resets, but the notice and the flags are kept so that tests can fire
// them. The notice logs, tells the manager, and sets the device-was-reset flag.
void taFireDeviceReset();
// Marks that precalculated render targets exist: from then on a device reset cannot be recovered
// from. The next Sync reports "Graphic Device lost, cannot re-create rendered textures, exiting"
// (error, code -1, message box) and the engine is lost: Sync draws nothing, taRun is false, and
// the run mode ends with a failure (exit status 255), until the next start.
void taSetPrecalculatedRenderTargets();
bool taIsDeviceLost();
