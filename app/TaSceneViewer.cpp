// The scene viewer.
#include "app/TaSceneViewer.h"

#include "app/TaProcess.h"
#include "core/TaLog.h"
#include "engine/Ta2D.h"
#include "engine/TaCamera.h"
#include "engine/TaDialogs.h"
#include "engine/TaEngine.h"
#include "engine/TaInput.h"
#include "engine/TaLoadingScreen.h"
#include "engine/TaSceneNodeAnimatorCamera.h"
#include "files/TaFile.h"
#include "files/TaFileIrr.h"
#include "files/TaWatch.h"
#include "music/TaMusic.h"
#include "platform/TaWindow.h"
#include "render/TaRenderer.h"
#include "scene/TaObjects.h"
#include "scene/TaScenes.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int kScene = 1;
constexpr int kMusic = 1;
// Scene units per ms for a ride speed of 1 cm/s (a scene unit is a metre).
constexpr float kRideSpeedToMoveSpeed = 0.00001f;
// The ride's collision response: a body of this radius; with gravity on, the eye sits this far above
// the body's centre and the camera jumps with the same speed gravity pulls with after a second.
constexpr float kRideCollisionRadius = 0.5f;
constexpr float kRideGravity = 0.05f;
constexpr float kRideEyeOffset = 0.6f;
constexpr float kRideJumpSpeed = 0.05f;
const char* const kShaderFolders[] = {"shaders", "shadersHV", "shadersPP", "shadersPP2", "shadersSURF", "shadersSURF2"};

int progress(int percent, void*)
{
    taLoadingScreenProgress(percent);
    return 0;
}

bool exists(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// One frame of the current renderer into the 32 x 32 "DummyRenderTarget": the scene manager
// animates and the renderer sets itself up, nothing is shown.
void renderDummy()
{
    STaEngineContext& engine = taEngine();
    irr::video::ITexture* target = engine.videoDriver->findTexture("DummyRenderTarget");
    if (!target)
        return;
    const bool began = !engine.inScene && taBeginScene();
    taRenderToTarget(target);
    if (began) {
        engine.inScene = false;
        engine.videoDriver->endScene();
    }
}

// The renderer's debug display (its debug buffers drawn over the frame) on or off.
void toggleDebugDisplay()
{
    if (ITaRenderer* renderer = taGetCurrentRenderer())
        if (STaFrameOptions* options = renderer->getFrameOptions())
            options->showDebugBuffers = !options->showDebugBuffers;
}

} // namespace

int CTaSceneViewer::endTime() const
{
    return std::max(0, SceneAnimTimeEnd(kScene));
}

void CTaSceneViewer::pauseAt(int t)
{
    m_paused = true;
    m_pausedTime = t;
    if (m_music)
        PauseMusic(kMusic);
}

void CTaSceneViewer::setRideSpeed(int cmPerSecond)
{
    m_rideSpeed = cmPerSecond;
    SetCameraMoveSpeed(float(m_rideSpeed) * kRideSpeedToMoveSpeed);
}

// The camera takes the mouse and the arrow keys; the scene's camera animation waits meanwhile.
void CTaSceneViewer::startRide()
{
    m_riding = true;
    if (m_options.rideOpts & ETAVIEWER_RIDE_FIRST_PERSON) {
        taShowMouse(false);
        m_cursorHidden = true;
    }
    SetCameraMode(m_options.rideOpts & ETAVIEWER_RIDE_FIRST_PERSON ? 1 : 2);
    if (m_options.rideOpts & ETAVIEWER_RIDE_COLLISION) {
        const bool gravity = (m_options.rideOpts & ETAVIEWER_RIDE_GRAVITY) != 0;
        AutomaticCameraCollisionOn(kRideCollisionRadius, gravity ? kRideGravity : 0.0f,
                                   gravity ? kRideEyeOffset : 0.0f);
    }
}

// Back to the scene's camera.
void CTaSceneViewer::stopRide()
{
    m_riding = false;
    if (m_cursorHidden) {
        taShowMouse(true);
        m_cursorHidden = false;
    }
    if (m_options.rideOpts & ETAVIEWER_RIDE_COLLISION)
        AutomaticCameraCollisionOff();
    SetCameraMode(0);
}

void CTaSceneViewer::text(int x, int y, const char* line)
{
    Text(x, y, line);
    m_texts.push_back(STaViewerText{x, y, line});
}

// Shows time `t` from now on: as the paused time, or by moving the time base (and the music).
void CTaSceneViewer::showTime(int nowMs, int t)
{
    if (m_paused) {
        m_pausedTime = t;
    } else {
        m_timeBase = nowMs - t;
        if (m_music)
            SetMusicPosition(kMusic, t + m_musicOffset);
    }
    m_force = true;
}

int CTaSceneViewer::start(const char* file, const STaViewerOptions& options, int nowMs)
{
    m_options = options;
    m_riding = false;
    m_cursorHidden = false;
    m_idle = 0;
    taDebugPrint("Tarv Engine scene viewer started\n");
    // -binary without a file asks for one (cancelled, or no display: nothing to do).
    if ((!file || !*file) && (options.flags & ETAVIEWER_ASK_FILE) && (options.flags & ETAVIEWER_BINARY)) {
        static const char* const filters[] = {"Tarv Scene (lws.ini)", "*.lws.ini", "All", "*.*", nullptr, nullptr};
        file = taFileRequester("Open Tarv scene for binary convert", filters);
        if (!file)
            return -1;
    }
    if (!file || !*file) {
        taErrorCodeBox(-1, "Failed to load scene: no scene file");
        return -1;
    }
    // The scene's directory becomes the working directory; the scene is named by its file.
    std::string path = file;
    const size_t slash = path.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "" : path.substr(0, slash);
    m_file = slash == std::string::npos ? path : path.substr(slash + 1);
    if (!directory.empty())
        taSetWorkingDirectory(directory.c_str());
    if (!taIsArchiveMode()) {
        const std::string data = taGetDataDirectory() ? taGetDataDirectory() : "";
        for (int i = 0; i < 6; ++i)
            if (exists(data + kShaderFolders[i])) {
                taFolderWatchCreate((data + kShaderFolders[i]).c_str(), i);
                m_shaderWatch[i] = true;
            }
    }
    taSetSceneLoadCallback(progress, nullptr);
    taSetSceneLoadErrorReport(true);
    taLoadingScreenBegin();
    STaSceneBases bases;
    bases.object = 1;
    const int loaded = taLoadScene(m_file.c_str(), kScene, bases, false, directory.c_str(), false);
    taLoadingScreenEnd();
    taSetSceneLoadCallback(nullptr, nullptr);
    if (loaded == 1)
        return -1;
    if (loaded != 0) {
        taErrorCodeBox(-1, "Failed to load scene");
        return -1;
    }
    m_started = true;
    if (options.flags & ETAVIEWER_BINARY) {
        DeleteScene(kScene);
        m_started = false;
        return 1;
    }
    if (options.flags & ETAVIEWER_MUSIC) {
        if (const char* music = taSceneMusic(kScene)) {
            std::string base = music;
            const size_t cut = base.find_last_of("/\\:");
            if (cut != std::string::npos)
                base.erase(0, cut + 1);
            if (base.find('.') != std::string::npos)
                base.erase(base.find_last_of('.'));
            std::string found;
            for (const char* folder : {"../music", "../data"})
                if (found.empty() && exists(std::string(folder) + "/" + base + ".mp3"))
                    found = std::string(folder) + "/" + base + ".mp3";
            if (found.empty()) {
                taPrint(ETALOG_WARN, "Fail to find %s.mp3 in ../music or ../data", base.c_str());
            } else if (LoadMusic(found.c_str(), kMusic) == 0 && MusicExist(kMusic)) {
                taDebugPrint("Loaded Music %s\n", found.c_str());
                m_music = true;
            } else {
                taPrint(ETALOG_ERROR, "Fail to load music %s", found.c_str());
            }
            taClearLastError();
            m_musicOffset = taSceneMusicStart(kScene);
        }
    }
    PrepareSceneRender(kScene);
    if (options.flags & ETAVIEWER_SYNCUPDATE) {
        taFileWatchCreate(m_file.c_str(), 0);
        m_lastUserFrame = taLastUserValue();
        // Beside the modeller's window: X11 has no windows owned across programs, so the window
        // manager is asked to keep the viewer above the others instead.
        if (taEngine().driver == ETADRIVER_OPENGL && !taEngine().device->isFullscreen()) {
            const irr::video::SExposedVideoData& window = taEngine().videoDriver->getExposedVideoData();
            if (taPlatformKeepWindowAbove(window.OpenGLLinux.X11Display, window.OpenGLLinux.X11Window))
                taPrint(ETALOG_DEBUG, "Viewer window kept above other windows");
        }
    }
    ShowScene(kScene);
    m_timeBase = nowMs;
    m_paused = false;
    m_force = true;
    if ((options.flags & ETAVIEWER_FRAMESTART) && SceneFps(kScene) > 0) {
        int t = (options.frameStart - SceneFrameStart(kScene)) * 1000 / SceneFps(kScene);
        t = std::min(std::max(t, 0), endTime());
        m_timeBase = nowMs - t;
    }
    if (options.flags & ETAVIEWER_PAUSED) {
        pauseAt(nowMs - m_timeBase);
    } else if (m_music) {
        SetMusicPosition(kMusic, nowMs - m_timeBase + m_musicOffset);
        PlayMusic(kMusic);
    }
    // Riding: the camera's speed, and the collision set-up.
    if (options.rideOpts & ETAVIEWER_RIDE_COLLISION) {
        const int objects = SceneTotalObjects(kScene);
        for (int id = 1; id <= objects; ++id)
            SetObjectCollisionOff(id);
        SetCameraJumpSpeed(kRideJumpSpeed);
    }
    setRideSpeed(options.rideSpeed > 0 ? options.rideSpeed : 1000);
    if (options.flags & ETAVIEWER_RIDE) {
        // The ride starts where the scene's camera is at the time shown first.
        AnimateScene(kScene, std::min(std::max(nowMs - m_timeBase, 0), endTime()));
        renderDummy();
        startRide();
    }
    m_fpsStart = nowMs;
    return 0;
}

bool CTaSceneViewer::frame(int nowMs, const STaViewerKeys& keys)
{
    if (!m_started)
        return false;
    // Shader files saved since the last frame.
    {
        bool changed = false;
        for (int i = 0; i < 6; ++i)
            changed = changed || (m_shaderWatch[i] && taFolderWatchChanged(i));
        if (changed) {
            taSleep(200);
            std::vector<const char*> files;
            std::vector<std::string> names;
            for (int i = 0; i < 6; ++i) {
                if (!m_shaderWatch[i])
                    continue;
                const char* const* paths = nullptr;
                const int n = taGetFolderWatchChanges(i, &paths);
                for (int k = 0; k < n && names.size() < 100; ++k)
                    names.push_back(paths[k]);
                taFolderWatchReset(i);
            }
            for (const std::string& name : names)
                files.push_back(name.c_str());
            taReloadShaders(int(files.size()), files.data());
            m_force = true; // drawn again with them, even by an idle viewer
        }
    }
    if (m_options.flags & ETAVIEWER_SYNCUPDATE) {
        if (taFileWatchChanged(0)) {
            if (taFileWatchWaitReadable(0, 3000) != 0) {
                taDebugPrint("ERROR : UPDATE SCENE FAILED; Cannot read file\n");
                m_status = -1;
            } else {
                const int fps = SceneFps(kScene);
                const float frame = float(SceneFrameStart(kScene)) + float(fps) * float(m_shownTime) / 1000.0f;
                taDebugPrint("Update Scene...\n");
                if (taUpdateScene(m_file.c_str(), kScene) != 0) {
                    taDebugPrint("ERROR : UPDATE SCENE FAILED\n");
                    m_status = -1;
                } else {
                    m_status = 0;
                    if (m_music)
                        m_musicOffset = taSceneMusicStart(kScene);
                    const int newFps = SceneFps(kScene);
                    const int t = newFps > 0 ? int((frame - float(SceneFrameStart(kScene))) * 1000.0f / float(newFps)) : 0;
                    showTime(nowMs, std::max(0, t));
                }
            }
            taFileWatchReset(0);
            m_force = true; // the scene or the failure message, shown at once
        }
        const int userFrame = taLastUserValue();
        if (userFrame != m_lastUserFrame) {
            m_lastUserFrame = userFrame;
            const int fps = SceneFps(kScene);
            const int t = fps > 0 ? (userFrame - SceneFrameStart(kScene)) * 1000 / fps : 0;
            showTime(nowMs, std::max(0, t));
        }
    }
    // Paused, with nothing new to show, behind other windows: mostly sleep.
    if (!(m_options.flags & ETAVIEWER_NOIDLEINACTIVE) && m_paused && !m_force && !taIsWindowActive()) {
        if (++m_idle % 10 != 0) {
            taSleep(10);
            return false;
        }
    } else {
        m_idle = 0;
    }
    const int end = endTime();
    // Keys, each acting once per press.
    auto pressed = [](bool now, bool before) { return now && !before; };
    if (pressed(keys.returnKey, m_previous.returnKey))
        m_loop = !m_loop;
    int t = m_paused ? m_pausedTime : nowMs - m_timeBase;
    if (!m_paused && m_music) {
        const int position = GetMusicPosition(kMusic);
        if (position != -1)
            t = position - m_musicOffset;
    }
    t = std::min(t, end);
    if (pressed(keys.space, m_previous.space)) {
        if (!m_paused) {
            pauseAt(t);
        } else {
            const int from = m_pausedTime >= end ? 0 : m_pausedTime;
            m_paused = false;
            m_timeBase = nowMs - from;
            if (m_music) {
                SetMusicPosition(kMusic, from + m_musicOffset);
                ResumeMusic(kMusic);
                PlayMusic(kMusic);
            }
            t = from;
        }
    }
    const int stepSize = keys.shift ? 10 : 1;
    // While riding the arrows strafe the camera; + and - still scrub.
    const bool right = keys.plus || (keys.right && !m_riding);
    const bool left = keys.minus || (keys.left && !m_riding);
    const int direction = (right ? 1 : 0) - (left ? 1 : 0);
    if (direction != 0) {
        if (m_paused) {
            m_pausedTime = std::min(std::max(m_pausedTime + direction * 5 * stepSize, 0), end);
            t = m_pausedTime;
        } else {
            m_timeBase -= direction * 10 * stepSize;
            t = std::min(std::max(nowMs - m_timeBase, 0), end);
            if (m_music)
                SetMusicPosition(kMusic, t + m_musicOffset);
        }
    }
    if (pressed(keys.rightButton, m_previous.rightButton)) {
        if (m_riding)
            stopRide();
        else
            startRide();
    }
    if (m_riding && pressed(keys.one, m_previous.one))
        setRideSpeed(std::max(1, m_rideSpeed - 10));
    if (m_riding && pressed(keys.two, m_previous.two))
        setRideSpeed(m_rideSpeed + 10);
    if (pressed(keys.f12, m_previous.f12))
        toggleDebugDisplay();
    m_previous = keys;
    // A first-person ride hides the cursor only while the window is active.
    if (m_riding && (m_options.rideOpts & ETAVIEWER_RIDE_FIRST_PERSON) && m_cursorHidden != taIsWindowActive()) {
        m_cursorHidden = !m_cursorHidden;
        taShowMouse(!m_cursorHidden);
    }
    // The end of the scene: again from the start with the loop on, else paused there.
    if (!m_paused) {
        if (nowMs < m_timeBase) {
            pauseAt(0);
            t = 0;
        } else if (t >= end) {
            if (m_loop && end > 0) {
                m_timeBase += end;
                t = std::max(0, nowMs - m_timeBase) % end;
                if (m_music)
                    SetMusicPosition(kMusic, t + m_musicOffset);
            } else {
                pauseAt(end);
                t = end;
            }
        }
    }
    if (!m_paused || t != m_shownTime || m_force) {
        AnimateScene(kScene, t);
        taUpdateSceneCubeMaps(kScene, t);
    }
    m_force = false;
    m_shownTime = t;
    taClearLastError();

    // The overlay.
    if (++m_fpsFrames == 30) {
        const int elapsed = std::max(1, nowMs - m_fpsStart);
        m_fps = 30000.0f / float(elapsed);
        m_msPerFrame = float(elapsed) / 30.0f;
        m_fpsFrames = 0;
        m_fpsStart = nowMs;
    }
    // Without a frame rate (absent, or below 1) there is no time but 0: every conversion above
    // is guarded, and the overlay says so.
    const int fps = SceneFps(kScene);
    m_texts.clear();
    Ink(0x000000);
    InkAlpha(20);
    Box(0, 0, 180, 30);
    if (m_riding)
        Box(0, 30, 90, 60);
    SetTextColor(0xFFFFFF);
    SetTextAlpha(255);
    char line[128];
    snprintf(line, sizeof line, "Frame=%4.2f time=%dmn%dsec%d millisec=%d",
             double(SceneFrameStart(kScene)) + double(fps) * t / 1000.0, t / 60000, (t / 1000) % 60, (t / 100) % 10, t);
    text(0, 0, line);
    snprintf(line, sizeof line, "FPS=%.2f (%.2f ms/frm)", double(m_fps), double(m_msPerFrame));
    text(0, 15, line);
    int y = 30; // the notes go below the boxes
    if (m_riding) {
        snprintf(line, sizeof line, "%s %dcm/s", m_options.rideOpts & ETAVIEWER_RIDE_FIRST_PERSON ? "Ride FPS" : "Ride",
                 m_rideSpeed);
        text(105, 15, line);
        const irr::core::vector3df position = taEngine().camera->getAbsolutePosition();
        const CTaSceneNodeAnimatorCamera* animator = taEngine().cameraAnimator;
        const double values[6] = {position.X, position.Y, position.Z,
                                  animator->getHeading(), animator->getPitch(), 0.0};
        const char* const formats[6] = {"X %.3f", "Y %.3f", "Z %.3f", "H %.1f", "P %.1f", "B %.1f"};
        for (int i = 0; i < 6; ++i) {
            snprintf(line, sizeof line, formats[i], values[i]);
            text(i < 3 ? 0 : 50, 30 + 10 * (i % 3), line);
        }
        y = 60;
    }
    if (m_status == -1) {
        text(0, y, "UPDATE SCENE FAILED: cannot read tarv scene file. Try export again.");
        y += 15;
    }
    if (fps < 1)
        text(0, y, "Scene has no frame rate: shown at time 0");
    return true;
}

void CTaSceneViewer::end()
{
    if (m_riding)
        stopRide();
    if (m_music) {
        StopMusic(kMusic);
        DeleteMusic(kMusic);
        m_music = false;
    }
    if (m_started)
        DeleteScene(kScene);
    m_started = false;
    if (m_options.flags & ETAVIEWER_SYNCUPDATE)
        taFileWatchDelete(0);
    for (int i = 0; i < 6; ++i)
        if (m_shaderWatch[i]) {
            taFolderWatchDelete(i);
            m_shaderWatch[i] = false;
        }
    taDebugPrint("Tarv Engine scene viewer ended\n");
}

int taSceneViewer(const char* file, const STaViewerOptions& options)
{
    // -binary runs without setup or display: the engine starts on the null driver for the load.
    if (!taIsStarted()) {
        STaSetupParams params = taDefaultSetupParams();
        params.driver = ETADRIVER_NULL;
        snprintf(params.audio, sizeof(params.audio), "null");
        snprintf(params.dataDirectory, sizeof(params.dataDirectory), "%s", taGetExeDirectory());
        if (taSetup(params) != 0)
            return -1;
        CTaSceneViewer viewer;
        const int started = viewer.start(file, options, int(taTimer()));
        viewer.end();
        taShutdown();
        return started >= 0 ? 0 : -1;
    }
    CTaSceneViewer viewer;
    const int started = viewer.start(file, options, int(taTimer()));
    if (started != 0)
        return started == 1 ? 0 : -1;
    const STaInputState& input = taGetEventReceiver().state();
    while (taRun() && !input.escapeLatch) {
        STaViewerKeys keys;
        keys.returnKey = input.keys[13];
        keys.space = input.keys[32];
        keys.shift = input.shift;
        keys.right = input.keys[39];
        keys.left = input.keys[37];
        keys.plus = input.keys[187] || input.keys[107];
        keys.minus = input.keys[189] || input.keys[109];
        keys.f12 = input.keys[123];
        keys.rightButton = input.rightButton;
        keys.one = input.keys['1'];
        keys.two = input.keys['2'];
        if (viewer.frame(int(taTimer()), keys))
            Sync();
    }
    viewer.end();
    return 0;
}
