// Playing a loaded demo: the timeline from the clock or the heard music, part switches, extras, fades,
// the scene animated to its own time; live, or captured frame by frame at a fixed rate.
#include "demo/TaDemo.h"

#include "core/TaLimits.h"
#include "core/TaLog.h"
#include "engine/Ta2D.h"
#include "engine/TaEngine.h"
#include "engine/TaInput.h"
#include "music/TaMusic.h"
#include "scene/TaScenes.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

bool escapePressed()
{
    return taGetEventReceiver().state().escapeLatch;
}

// Switches to part `n` of the demo (not the last one, which only marks the end).
void switchPart(STaDemo* demo, STaDemoState* state, int n, int& b, int time, const STaDemoClock& clock)
{
    STaDemoPart* previous = state->part >= 0 ? &demo->parts[state->part] : nullptr;
    STaDemoPart& next = demo->parts[n];
    state->part = n;
    if (next.musicId >= 0 && state->music >= 0)
        StopMusic(state->music);
    if (next.sceneId >= 0 && state->scene >= 0) {
        HideScene(state->scene);
        if (previous) {
            for (int e = 0; e < previous->extraCount; ++e) {
                STaDemoExtra& extra = previous->extras[e];
                if (extra.sceneId < 0)
                    continue;
                HideScene(extra.sceneId);
                extra.active = 0;
                if (extra.flushObjects) {
                    DeleteScene(extra.sceneId);
                    extra.sceneId = -1;
                }
            }
            if (previous->flushObjects && previous->sceneId >= 0) {
                DeleteScene(previous->sceneId);
                previous->sceneId = -1;
            }
        }
        state->scene = -1;
    }
    if (next.musicId >= 0) {
        state->music = next.musicId;
        PlayMusic(next.musicId);
    }
    if (next.timeReset) {
        state->start = time >= 0 ? time : clock.now();
        b = 0;
    }
    taSetCameraRange(next.cameraNear, next.cameraFar);
    if (next.sceneId >= 0) {
        state->scene = next.sceneId;
        ShowScene(next.sceneId);
        for (int e = 0; e < next.extraCount; ++e)
            if (next.extras[e].sceneId >= 0) {
                taParkScene(next.extras[e].sceneId);
                ShowScene(next.extras[e].sceneId);
            }
    }
}

int step(STaDemo* demo, STaDemoState* state, int time, const STaDemoClock& clock, bool render)
{
    int b = taDemoTimelineTime(demo, state, time, clock);
    const int following = state->part + 1;
    if (following < demo->partCount && b >= demo->parts[following].time) {
        if (following == demo->partCount - 1) {
            state->ended = 1;
            return 0;
        }
        switchPart(demo, state, following, b, time, clock);
    }
    if (state->part >= 0) {
        STaDemoPart& part = demo->parts[state->part];
        for (int e = 0; e < part.extraCount; ++e) {
            STaDemoExtra& extra = part.extras[e];
            if (extra.sceneId < 0)
                continue;
            const int end = extra.time + extra.length;
            if (b >= extra.time && b < end && !extra.active) {
                taShowSceneEmitters(extra.sceneId);
                extra.active = 1;
            }
            if (b < end && extra.active)
                AnimateScene(extra.sceneId, b - extra.time);
            if (b >= end && extra.active) {
                taParkScene(extra.sceneId);
                extra.active = 0;
            }
        }
        if (part.paletteId >= 0 && part.paletteId != state->palette)
            state->palette = part.paletteId;
        // Camera shaders come with the post chain: the demo said so at load.
        for (int f = 0; f < part.faderCount; ++f) {
            STaDemoFader& fader = part.faders[f];
            const int end = fader.time + fader.length;
            if (b >= fader.time && b < end && !fader.active && !fader.finished) {
                // The engine has one fader: a fade that starts replaces the one that runs, which is
                // over then (and must not stop the new fade when its own window ends).
                for (int g = 0; g < part.faderCount; ++g)
                    if (part.faders[g].active) {
                        part.faders[g].active = 0;
                        part.faders[g].finished = 1;
                    }
                if (fader.fadeOut)
                    FadeOut(fader.fadeLength, unsigned(fader.color));
                else
                    FadeIn(fader.fadeLength, unsigned(fader.color));
                fader.active = 1;
            }
            if (b >= end && fader.active) {
                StopFade();
                fader.active = 0;
                fader.finished = 1;
            }
        }
        if (state->scene >= 0) {
            AnimateScene(state->scene, b - part.timeOffset);
            taUpdateSceneCubeMaps(state->scene, b - part.timeOffset);
        }
    }
    if (render)
        Sync();
    return 0;
}

} // namespace

STaDemoClock taDemoEngineClock()
{
    STaDemoClock clock;
    clock.now = [] { return int(taTimer()); };
    clock.musicPosition = [](int id) { return MusicExist(id) ? GetMusicPosition(id) : -1; };
    return clock;
}

int taDemoTimelineTime(const STaDemo* demo, const STaDemoState* state, int time, const STaDemoClock& clock)
{
    if (time >= 0)
        return time - state->start;
    int b = clock.now() - state->start;
    // The part that started the playing music follows what is heard.
    if (state->part >= 0 && demo->parts[state->part].musicId >= 0) {
        const int position = clock.musicPosition(demo->parts[state->part].musicId);
        if (position != -1)
            b = position;
    }
    return b;
}

int taDemoStep(STaDemo* demo, STaDemoState* state, int time, const STaDemoClock& clock)
{
    return step(demo, state, time, clock, true);
}

int taDemoRunLive(STaDemo* demo)
{
    const STaDemoClock clock = taDemoEngineClock();
    STaDemoState state;
    state.start = clock.now();
    while (taRun() && !escapePressed() && !state.ended)
        taDemoStep(demo, &state, -1, clock);
    return 0;
}

std::string taDemoFrameName(const std::string& baseName, int n)
{
    char name[TA_MAX_PATH];
    const int written = snprintf(name, sizeof name, "%s_%06d.bmp", baseName.c_str(), n);
    return written > 0 && written < int(sizeof name) ? name : "";
}

int taDemoRunCapture(STaDemo* demo, const STaDemoCapture& capture)
{
    taPrint(ETALOG_INFO, "Start capturing: basename='%s' fps=%f", capture.baseName.c_str(), double(capture.rate));
    if (taDemoFrameName(capture.baseName, 0).empty()) {
        taErrorCodeBox(-1, "The capture name '%s' is too long for a frame file name", capture.baseName.c_str());
        return -1;
    }
    const STaDemoClock clock = taDemoEngineClock();
    STaDemoState state;
    state.start = 0;
    // Fades and everything else that reads the device's clock follow the capture time.
    irr::ITimer* timer = taEngine().device ? taEngine().device->getTimer() : nullptr;
    const irr::u32 timerStart = timer ? timer->getTime() : 0;
    if (timer)
        timer->stop();
    int result = 0;
    for (int n = 0; taRun() && !escapePressed() && !state.ended; ++n) {
        if (capture.lastFrame >= 0 && n > capture.lastFrame)
            break;
        const int t = int(double(n) * 1000.0 / double(capture.rate));
        if (timer)
            timer->setTime(timerStart + irr::u32(t));
        const bool wanted = n >= capture.firstFrame;
        step(demo, &state, t, clock, wanted);
        if (!wanted || state.ended)
            continue;
        const std::string name = taDemoFrameName(capture.baseName, n);
        if (taScreenshot(name.c_str()) != 0) {
            result = -1;
            break;
        }
        taPrint(ETALOG_INFO, "Frame %5d; time %6d ; %s", n, t, name.c_str());
    }
    if (timer)
        timer->start();
    return result;
}

int taDemoPlay(const char* path, const STaDemoCapture* capture)
{
    // Loading moves the working directory to the demo's: a relative capture name stays relative to
    // the directory the demo was started from.
    STaDemoCapture frames = capture ? *capture : STaDemoCapture();
    char here[4096];
    if (!frames.baseName.empty() && frames.baseName[0] != '/' && getcwd(here, sizeof here))
        frames.baseName = std::string(here) + "/" + frames.baseName;
    std::unique_ptr<STaDemo> demo(new STaDemo());
    STaDemoIdCounters counters;
    if (taDemoLoad(demo.get(), path, &counters) != 0) {
        taDemoFree(demo.get());
        return -1;
    }
    for (int i = 0; i < demo->partCount; ++i)
        if (demo->parts[i].filename[0] && demo->parts[i].sceneId >= 0)
            PrepareSceneRender(demo->parts[i].sceneId);
    taClearLastError();
    Sync();
    taSleep(200);
    const int result = !frames.baseName.empty() && frames.rate > 0 ? taDemoRunCapture(demo.get(), frames)
                                                                    : taDemoRunLive(demo.get());
    taDemoFree(demo.get());
    return result;
}
