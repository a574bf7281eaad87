// The scene viewer.
#include "app/TaSceneViewer.h"

#include "app/TaProcess.h"
#include "core/TaLog.h"
#include "engine/Ta2D.h"
#include "engine/TaEngine.h"
#include "engine/TaInput.h"
#include "engine/TaLoadingScreen.h"
#include "files/TaFile.h"
#include "files/TaFileIrr.h"
#include "files/TaWatch.h"
#include "music/TaMusic.h"
#include "scene/TaScenes.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr int kScene = 1;
constexpr int kMusic = 1;
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
    taDebugPrint("Tarv Engine scene viewer started\n");
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
    if (options.flags & ETAVIEWER_RIDE)
        taPrint(ETALOG_WARN, "Riding through the scene is not part of this build yet: the scene's camera is shown");
    m_fpsStart = nowMs;
    return 0;
}

void CTaSceneViewer::frame(int nowMs, const STaViewerKeys& keys)
{
    if (!m_started)
        return;
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
        }
        const int userFrame = taLastUserValue();
        if (userFrame != m_lastUserFrame) {
            m_lastUserFrame = userFrame;
            const int fps = SceneFps(kScene);
            const int t = fps > 0 ? (userFrame - SceneFrameStart(kScene)) * 1000 / fps : 0;
            showTime(nowMs, std::max(0, t));
        }
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
    const int direction = (keys.right || keys.plus ? 1 : 0) - (keys.left || keys.minus ? 1 : 0);
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
    if (pressed(keys.rightButton, m_previous.rightButton))
        taPrint(ETALOG_WARN, "Riding through the scene is not part of this build yet");
    m_previous = keys;
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
    const int fps = SceneFps(kScene);
    Ink(0x000000);
    InkAlpha(20);
    Box(0, 0, 180, 30);
    SetTextColor(0xFFFFFF);
    SetTextAlpha(255);
    char line[128];
    snprintf(line, sizeof line, "Frame=%4.2f time=%dmn%dsec%d millisec=%d",
             double(SceneFrameStart(kScene)) + double(fps) * t / 1000.0, t / 60000, (t / 1000) % 60, (t / 100) % 10, t);
    Text(0, 0, line);
    snprintf(line, sizeof line, "FPS=%.2f (%.2f ms/frm)", double(m_fps), double(m_msPerFrame));
    Text(0, 15, line);
    if (m_status == -1)
        Text(0, 30, "UPDATE SCENE FAILED: cannot read tarv scene file. Try export again.");
}

void CTaSceneViewer::end()
{
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
        viewer.frame(int(taTimer()), keys);
        Sync();
    }
    viewer.end();
    return 0;
}
