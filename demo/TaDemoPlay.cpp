// Playing a loaded demo: the timeline from the clock or the heard music, part switches, extras, fades,
// the scene animated to its own time; live, or captured frame by frame at a fixed rate.
#include "demo/TaDemo.h"

#include "core/TaLimits.h"
#include "core/TaLog.h"
#include "driver/TaVideoDriverExt.h"
#include "engine/Ta2D.h"
#include "engine/TaCameraEffects.h"
#include "engine/TaEngine.h"
#include "engine/TaInput.h"
#include "engine/TaManager.h"
#include "files/TaFile.h"
#include "music/TaMusic.h"
#include "platform/TaPlatform.h"
#include "scene/TaScenes.h"

#include <chrono>
#include <csignal>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>

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
        for (int k = 0; k < part.shaderCount; ++k) {
            STaDemoShader& shader = part.shaders[k];
            const int end = shader.time + shader.length;
            if (b >= shader.time && b < end && !shader.active && !shader.finished) {
                // A camera shader that starts ends the one of the part that runs (its window or not).
                for (int g = 0; g < part.shaderCount; ++g)
                    if (part.shaders[g].active) {
                        HideCameraEffect(part.shaders[g].cameraShaderId);
                        part.shaders[g].active = 0;
                        part.shaders[g].finished = 1;
                    }
                ShowCameraEffect(shader.cameraShaderId);
                shader.active = 1;
            }
            if (b >= end && shader.active) {
                HideCameraEffect(shader.cameraShaderId);
                shader.active = 0;
                shader.finished = 1;
            }
        }
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

int taDemoFrameCount(const STaDemo* demo, float rate)
{
    const int end = demo->partCount > 0 ? demo->parts[demo->partCount - 1].time : 0;
    return end > 0 && rate > 0 ? int(std::ceil(double(end) * double(rate) / 1000.0)) : 0;
}

namespace {

// The shell's quoting of a text.
std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool onPath(const char* program)
{
    const char* path = getenv("PATH");
    std::string list = path ? path : "/usr/bin:/bin";
    size_t start = 0;
    while (start <= list.size()) {
        const size_t end = list.find(':', start);
        const std::string directory = list.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!directory.empty() && access((directory + "/" + program).c_str(), X_OK) == 0)
            return true;
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return false;
}

// Frame n of N, frames per second and the time left, on one terminal line.
class CProgress
{
public:
    explicit CProgress(int total) : m_total(total), m_start(std::chrono::steady_clock::now()), m_tty(isatty(2)) {}
    void frame(int n)
    {
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        const int done = n + 1 - m_first;
        const double fps = seconds > 0 ? done / seconds : 0;
        const double left = fps > 0 && m_total > n + 1 ? (m_total - n - 1) / fps : 0;
        if (m_tty)
            fprintf(stderr, "\rframe %d of %d, %.1f frames per second, %.0f s left   ", n + 1, m_total, fps, left);
        else if ((n + 1) % 50 == 0 || n + 1 == m_total)
            fprintf(stderr, "frame %d of %d, %.1f frames per second, %.0f s left\n", n + 1, m_total, fps, left);
    }
    void first(int n) { m_first = n; m_start = std::chrono::steady_clock::now(); }
    ~CProgress()
    {
        if (m_tty)
            fputc('\n', stderr);
    }

private:
    int m_total, m_first = 0;
    std::chrono::steady_clock::time_point m_start;
    bool m_tty;
};

// Frame files written on a worker thread while the next frame draws: the main thread reads the frame
// back (OpenGL stays on it), the worker encodes the 24-bit BMP and replaces the file whole. At most
// three frames wait; a frame that cannot be written ends the capture at the next one.
class CFrameWriter
{
public:
    CFrameWriter() : m_thread([this] { run(); }) {}
    ~CFrameWriter() { finish(); }
    // False once a frame failed.
    bool write(irr::video::IImage* image, const std::string& path)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_room.wait(lock, [this] { return m_queue.size() < 3 || m_failed; });
        if (m_failed) {
            image->drop();
            return false;
        }
        m_queue.push_back({image, path});
        m_work.notify_one();
        return true;
    }
    // Waits for every frame; false when one failed.
    bool finish()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
            m_work.notify_one();
        }
        if (m_thread.joinable())
            m_thread.join();
        return !m_failed;
    }
    const std::string& failedPath() const { return m_failedPath; }

private:
    struct SFrame {
        irr::video::IImage* image;
        std::string path;
    };
    void run()
    {
        std::vector<unsigned char> bmp;
        for (;;) {
            SFrame frame;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_work.wait(lock, [this] { return !m_queue.empty() || m_done; });
                if (m_queue.empty())
                    return;
                frame = m_queue.front();
                m_queue.pop_front();
                m_room.notify_one();
            }
            const bool ok = encode(frame.image, bmp) &&
                            taPlatformWriteFileAtomic(frame.path.c_str(), bmp.data(), bmp.size());
            frame.image->drop();
            if (!ok) {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (!m_failed)
                    m_failedPath = frame.path;
                m_failed = true;
                m_room.notify_all();
            }
        }
    }
    static void put32(unsigned char* p, uint32_t v)
    {
        p[0] = v & 0xFF, p[1] = (v >> 8) & 0xFF, p[2] = (v >> 16) & 0xFF, p[3] = v >> 24;
    }
    static bool encode(irr::video::IImage* image, std::vector<unsigned char>& out)
    {
        const irr::core::dimension2du size = image->getDimension();
        const uint32_t stride = (size.Width * 3 + 3) & ~3u;
        const uint32_t pixels = stride * size.Height;
        out.assign(54 + size_t(pixels), 0);
        unsigned char* h = out.data();
        h[0] = 'B', h[1] = 'M';
        put32(h + 2, 54 + pixels);
        put32(h + 10, 54);
        put32(h + 14, 40);
        put32(h + 18, size.Width);
        put32(h + 22, size.Height);
        h[26] = 1, h[28] = 24;
        put32(h + 34, pixels);
        for (uint32_t y = 0; y < size.Height; ++y) {
            unsigned char* row = h + 54 + size_t(size.Height - 1 - y) * stride;
            for (uint32_t x = 0; x < size.Width; ++x) {
                const irr::video::SColor c = image->getPixel(x, y);
                row[x * 3] = irr::u8(c.getBlue()), row[x * 3 + 1] = irr::u8(c.getGreen()), row[x * 3 + 2] = irr::u8(c.getRed());
            }
        }
        return size.Width > 0 && size.Height > 0;
    }

    std::mutex m_mutex;
    std::condition_variable m_work, m_room;
    std::deque<SFrame> m_queue;
    bool m_done = false, m_failed = false;
    std::string m_failedPath;
    std::thread m_thread;
};

} // namespace

std::string taDemoVideoCommand(const std::string& videoFile, int width, int height, float rate, const char* music,
                               int musicStartMs)
{
    char size[64], fps[64], offset[64];
    snprintf(size, sizeof size, "%dx%d", width, height);
    snprintf(fps, sizeof fps, "%g", double(rate));
    snprintf(offset, sizeof offset, "%.3f", musicStartMs / 1000.0);
    std::string command = "ffmpeg -y -loglevel error -f rawvideo -pix_fmt rgb24 -s " + std::string(size) + " -r " +
                          fps + " -i -";
    if (music && *music)
        command += std::string(" -itsoffset ") + offset + " -i " + quoted(music) + " -map 0:v -map 1:a -c:a aac -b:a 192k";
    command += " -c:v libx264 -preset veryfast -crf 18 -pix_fmt yuv420p -shortest " + quoted(videoFile);
    return command;
}

int taDemoRunCapture(STaDemo* demo, const STaDemoCapture& capture)
{
    taPrint(ETALOG_INFO, "Start capturing: basename='%s' fps=%f", capture.baseName.c_str(), double(capture.rate));
    if (!capture.baseName.empty() && taDemoFrameName(capture.baseName, 0).empty()) {
        taErrorCodeBox(-1, "The capture name '%s' is too long for a frame file name", capture.baseName.c_str());
        return -1;
    }
    // The video: raw frames piped to ffmpeg, with the music of the first part that starts one.
    FILE* video = nullptr;
    std::string musicCopy; // a temporary copy of music that is not on disk
    struct SRemoveCopy {
        std::string& path;
        ~SRemoveCopy()
        {
            if (!path.empty())
                unlink(path.c_str());
        }
    } removeCopy{musicCopy};
    // ffmpeg stopping early must be an error of the capture, not a signal that ends the engine.
    struct SIgnorePipe {
        void (*previous)(int) = signal(SIGPIPE, SIG_IGN);
        ~SIgnorePipe() { signal(SIGPIPE, previous); }
    } ignorePipe;
    if (!capture.videoFile.empty()) {
        if (!onPath("ffmpeg")) {
            taErrorCodeBox(-1, "-capvideo needs ffmpeg, which is not installed (Debian package ffmpeg)");
            return -1;
        }
        if (capture.firstFrame != 0 || capture.lastFrame >= 0) {
            taErrorCodeBox(-1, "-capvideo writes the whole demo; capture a frame range to frame files instead");
            return -1;
        }
        const char* music = nullptr;
        int musicStart = 0;
        std::string musicPath;
        for (int i = 0; i < demo->partCount && !music; ++i)
            if (demo->parts[i].musicId >= 0 && demo->parts[i].music[0]) {
                musicPath = demo->musicDirectory[0] ? std::string(demo->musicDirectory) + "/" + demo->parts[i].music
                                                    : std::string(demo->parts[i].music);
                char absolute[4096];
                if (realpath(taFindFile(musicPath.c_str()), absolute)) {
                    musicPath = absolute;
                } else {
                    // A packed demo's music is in its archive: ffmpeg reads a copy of it.
                    STaFileBlock block = taReadWholeFile(musicPath.c_str());
                    char name[] = "/tmp/tarv-music-XXXXXX";
                    const int fd = block.data ? mkstemp(name) : -1;
                    if (fd >= 0) {
                        const bool written = write(fd, block.data.get(), block.size) == ssize_t(block.size);
                        close(fd);
                        if (written)
                            musicCopy = musicPath = name;
                        else
                            unlink(name);
                    }
                }
                music = musicPath.c_str();
                musicStart = demo->parts[i].time;
            }
        const irr::core::dimension2du screen = taEngine().videoDriver->getScreenSize();
        const std::string command =
            taDemoVideoCommand(capture.videoFile, int(screen.Width), int(screen.Height), capture.rate, music, musicStart);
        taPrint(ETALOG_INFO, "Writing the video: %s", command.c_str());
        video = popen(command.c_str(), "w");
        if (!video) {
            taErrorCodeBox(-1, "Failed to start ffmpeg for '%s'", capture.videoFile.c_str());
            return -1;
        }
    }
    const STaDemoClock clock = taDemoEngineClock();
    STaDemoState state;
    state.start = 0;
    // Fades and everything else that reads the device's clock follow the capture time.
    irr::ITimer* timer = taEngine().device ? taEngine().device->getTimer() : nullptr;
    const irr::u32 timerStart = timer ? timer->getTime() : 0;
    if (timer)
        timer->stop();
    const int total = capture.lastFrame >= 0 ? capture.lastFrame + 1 : taDemoFrameCount(demo, capture.rate);
    CProgress progress(total);
    progress.first(capture.firstFrame);
    std::vector<unsigned char> rgb;
    std::unique_ptr<CFrameWriter> writer(new CFrameWriter());
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
        irr::video::IImage* image = taGetManager()->getVideoDriverExt()->grabFrame();
        if (!image) {
            taErrorCode(1, "failed to grab the screen\n");
            result = -1;
            break;
        }
        if (!capture.baseName.empty()) {
            const std::string name = taDemoFrameName(capture.baseName, n);
            image->grab();
            if (!writer->write(image, name)) {
                image->drop();
                result = -1;
                break;
            }
            taPrint(ETALOG_INFO, "Frame %5d; time %6d ; %s", n, t, name.c_str());
        }
        if (video) {
            const irr::core::dimension2du size = image->getDimension();
            rgb.resize(size_t(size.Width) * size.Height * 3);
            for (irr::u32 y = 0; y < size.Height; ++y)
                for (irr::u32 x = 0; x < size.Width; ++x) {
                    const irr::video::SColor c = image->getPixel(x, y);
                    unsigned char* p = &rgb[(size_t(y) * size.Width + x) * 3];
                    p[0] = irr::u8(c.getRed()), p[1] = irr::u8(c.getGreen()), p[2] = irr::u8(c.getBlue());
                }
            if (fwrite(rgb.data(), 1, rgb.size(), video) != rgb.size()) {
                taErrorCodeBox(-1, "ffmpeg stopped taking frames for '%s'", capture.videoFile.c_str());
                image->drop();
                result = -1;
                break;
            }
        }
        image->drop();
        progress.frame(n);
    }
    if (!writer->finish() && result == 0) {
        taErrorCode(1, "failed to save screenshot to file '%s'\n", writer->failedPath().c_str());
        result = -1;
    }
    if (timer)
        timer->start();
    if (video && pclose(video) != 0 && result == 0) {
        taErrorCodeBox(-1, "ffmpeg failed to write '%s'", capture.videoFile.c_str());
        result = -1;
    }
    return result;
}

int taDemoPlay(const char* path, const STaDemoCapture* capture)
{
    // Loading moves the working directory to the demo's: a relative capture name stays relative to
    // the directory the demo was started from.
    STaDemoCapture frames = capture ? *capture : STaDemoCapture();
    char here[4096];
    if (getcwd(here, sizeof here)) {
        if (!frames.baseName.empty() && frames.baseName[0] != '/')
            frames.baseName = std::string(here) + "/" + frames.baseName;
        if (!frames.videoFile.empty() && frames.videoFile[0] != '/')
            frames.videoFile = std::string(here) + "/" + frames.videoFile;
    }
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
    const bool capturing = (!frames.baseName.empty() || !frames.videoFile.empty()) && frames.rate > 0;
    const int result = capturing ? taDemoRunCapture(demo.get(), frames) : taDemoRunLive(demo.get());
    taDemoFree(demo.get());
    return result;
}
