// The mixer and its outputs.
#include "music/TaAudioMixer.h"

#include "core/TaLog.h"
#include "music/TaMp3Player.h"
#include "platform/TaPlatform.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Frames rendered per call by the clock-paced outputs, and how far ahead of the heard frame they
// render (so every frame is mixed before it is due).
constexpr int TA_PACED_CHUNK = 256;
constexpr int TA_PACED_LEAD = 1024;

// Renders in step with the steady clock: the frame heard at time t is exactly (t - start) * rate.
class CTaPacedAudioOutput : public ITaAudioOutput
{
public:
    explicit CTaPacedAudioOutput(CTaAudioMixer& mixer) : m_mixer(mixer) {}
    ~CTaPacedAudioOutput() override { stop(); }

    bool start() override
    {
        m_start = Clock::now();
        m_running = true;
        m_thread = std::thread([this] { loop(); });
        // The thread waits, holding nothing, while the process forks.
        m_forkPause = taPlatformAddForkPause([this] { park(); }, [this] { unpark(); });
        return true;
    }

    void stop() override
    {
        {
            std::lock_guard<std::mutex> lock(m_wakeMutex);
            if (!m_running)
                return;
            m_running = false;
        }
        taPlatformRemoveForkPause(m_forkPause);
        m_wake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
        finish();
    }

    double heardFrame(Clock::time_point now) const override
    {
        return std::chrono::duration<double>(now - m_start).count() * m_mixer.rate();
    }

    const char* name() const override { return "null"; }

protected:
    // What a capture does with each rendered chunk.
    virtual void played(const float*, int) {}
    virtual void finish() {}

private:
    void loop()
    {
        std::vector<float> buffer(size_t(TA_PACED_CHUNK) * 2);
        std::unique_lock<std::mutex> lock(m_wakeMutex);
        while (m_running) {
            lock.unlock();
            const double due = heardFrame(Clock::now()) + TA_PACED_LEAD;
            while (static_cast<double>(m_mixer.renderedFrames()) < due) {
                m_mixer.render(buffer.data(), TA_PACED_CHUNK);
                played(buffer.data(), TA_PACED_CHUNK);
            }
            lock.lock();
            m_wake.wait_for(lock, std::chrono::milliseconds(2), [this] { return !m_running || m_paused; });
            while (m_paused && m_running) {
                m_parked = true;
                m_parkedChanged.notify_all();
                m_wake.wait(lock);
            }
            m_parked = false;
        }
    }
    void park()
    {
        std::unique_lock<std::mutex> lock(m_wakeMutex);
        m_paused = true;
        m_wake.notify_all();
        m_parkedChanged.wait(lock, [this] { return m_parked || !m_running; });
    }
    void unpark()
    {
        {
            std::lock_guard<std::mutex> lock(m_wakeMutex);
            m_paused = false;
        }
        m_wake.notify_all();
    }

    CTaAudioMixer& m_mixer;
    Clock::time_point m_start;
    std::thread m_thread;
    std::mutex m_wakeMutex;
    std::condition_variable m_wake, m_parkedChanged;
    bool m_running = false, m_paused = false, m_parked = false;
    int m_forkPause = 0;
};

// The paced output that also writes every rendered frame to a 32-bit float WAV file.
class CTaCaptureAudioOutput : public CTaPacedAudioOutput
{
public:
    CTaCaptureAudioOutput(CTaAudioMixer& mixer, std::string path) : CTaPacedAudioOutput(mixer), m_path(std::move(path)), m_rate(mixer.rate()) {}
    ~CTaCaptureAudioOutput() override { stop(); }

    bool open(std::string* error)
    {
        m_file = fopen(m_path.c_str(), "wb");
        if (!m_file) {
            if (error)
                *error = "cannot write the capture file '" + m_path + "': " + strerror(errno);
            return false;
        }
        writeHeader(0);
        return true;
    }

    const char* name() const override { return "wav"; }

private:
    void played(const float* frames, int count) override
    {
        if (m_file && fwrite(frames, sizeof(float) * 2, size_t(count), m_file) == size_t(count))
            m_frames += uint64_t(count);
    }

    void finish() override
    {
        if (!m_file)
            return;
        fseek(m_file, 0, SEEK_SET);
        writeHeader(m_frames);
        fclose(m_file);
        m_file = nullptr;
    }

    static void put32(unsigned char* p, uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<unsigned char>(v >> (8 * i));
    }

    void writeHeader(uint64_t frames)
    {
        const uint64_t bytes64 = frames * 8;
        const uint32_t bytes = bytes64 > 0xFFFFFFF0u - 36 ? 0xFFFFFFF0u - 36 : static_cast<uint32_t>(bytes64);
        unsigned char header[44];
        memcpy(header, "RIFF", 4);
        put32(header + 4, 36 + bytes);
        memcpy(header + 8, "WAVEfmt ", 8);
        put32(header + 16, 16);
        header[20] = 3; // IEEE float
        header[21] = 0;
        header[22] = 2; // channels
        header[23] = 0;
        put32(header + 24, uint32_t(m_rate));
        put32(header + 28, uint32_t(m_rate) * 8);
        header[32] = 8; // block align
        header[33] = 0;
        header[34] = 32; // bits
        header[35] = 0;
        memcpy(header + 36, "data", 4);
        put32(header + 40, bytes);
        fwrite(header, 1, sizeof(header), m_file);
    }

    std::string m_path;
    int m_rate;
    FILE* m_file = nullptr;
    uint64_t m_frames = 0;
};

} // namespace

// The SDL audio device. SDL's own clockless drivers ("dummy", "disk") drift, so they are refused.
class CTaSdlAudioOutput : public ITaAudioOutput
{
public:
    explicit CTaSdlAudioOutput(CTaAudioMixer& mixer) : m_mixer(mixer) {}
    ~CTaSdlAudioOutput() override { stop(); }

    bool open(std::string* reason)
    {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            *reason = SDL_GetError();
            return false;
        }
        m_initialised = true;
        const char* driver = SDL_GetCurrentAudioDriver();
        if (!driver || strcmp(driver, "dummy") == 0 || strcmp(driver, "disk") == 0) {
            *reason = std::string("SDL audio driver '") + (driver ? driver : "none") + "' keeps no time";
            return false;
        }
        SDL_AudioSpec want{}, have{};
        want.freq = CTaAudioMixer::DEFAULT_RATE;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = 512;
        want.callback = &CTaSdlAudioOutput::callback;
        want.userdata = this;
        m_device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
        if (m_device == 0) {
            *reason = SDL_GetError();
            return false;
        }
        m_mixer.m_rate = have.freq;
        m_latency = have.samples;
        return true;
    }

    bool start() override
    {
        SDL_PauseAudioDevice(m_device, 0);
        return true;
    }

    void stop() override
    {
        if (m_device) {
            SDL_CloseAudioDevice(m_device); // waits for a running callback
            m_device = 0;
        }
        if (m_initialised) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            m_initialised = false;
        }
    }

    double heardFrame(Clock::time_point now) const override
    {
        std::lock_guard<std::mutex> lock(m_anchorMutex);
        if (!m_anchored)
            return 0.0;
        // The buffer handed over at the anchor starts being heard about one device buffer later.
        double frame = m_anchorFrame - m_latency + std::chrono::duration<double>(now - m_anchorTime).count() * m_mixer.rate();
        return std::min(std::max(frame, 0.0), static_cast<double>(m_anchorFrame + m_anchorFrames));
    }

    const char* name() const override { return "sdl"; }

private:
    static void callback(void* user, Uint8* stream, int length)
    {
        auto* self = static_cast<CTaSdlAudioOutput*>(user);
        const int frames = length / int(sizeof(float) * 2);
        {
            std::lock_guard<std::mutex> lock(self->m_anchorMutex);
            self->m_anchorTime = Clock::now();
            self->m_anchorFrame = self->m_mixer.renderedFrames();
            self->m_anchorFrames = frames;
            self->m_anchored = true;
        }
        self->m_mixer.render(reinterpret_cast<float*>(stream), frames);
    }

    CTaAudioMixer& m_mixer;
    SDL_AudioDeviceID m_device = 0;
    bool m_initialised = false;
    int m_latency = 0;
    mutable std::mutex m_anchorMutex;
    Clock::time_point m_anchorTime;
    int64_t m_anchorFrame = 0;
    int m_anchorFrames = 0;
    bool m_anchored = false;
};

std::unique_ptr<CTaAudioMixer> CTaAudioMixer::create(const char* choice, std::string* error)
{
    std::unique_ptr<CTaAudioMixer> mixer(new CTaAudioMixer());
    const std::string what = choice ? choice : "";
    if (what.empty() || what == "sdl") {
        auto sdl = std::make_unique<CTaSdlAudioOutput>(*mixer);
        std::string reason;
        if (sdl->open(&reason)) {
            mixer->m_output = std::move(sdl);
        } else {
            sdl.reset();
            mixer->m_rate = DEFAULT_RATE;
            taPrint(ETALOG_INFO, "No audio device (%s): music plays on the null output", reason.c_str());
            mixer->m_output = std::make_unique<CTaPacedAudioOutput>(*mixer);
        }
    } else if (what == "null") {
        mixer->m_output = std::make_unique<CTaPacedAudioOutput>(*mixer);
    } else if (what.compare(0, 4, "wav:") == 0 && what.size() > 4) {
        auto capture = std::make_unique<CTaCaptureAudioOutput>(*mixer, what.substr(4));
        if (!capture->open(error))
            return nullptr;
        mixer->m_output = std::move(capture);
    } else {
        if (error)
            *error = "unknown audio output '" + what + "' (use sdl, null or wav:FILE)";
        return nullptr;
    }
    if (!mixer->m_output->start()) {
        if (error)
            *error = "the audio output does not start";
        return nullptr;
    }
    return mixer;
}

CTaAudioMixer::~CTaAudioMixer()
{
    // No render may run once the players go.
    if (m_output)
        m_output->stop();
    std::lock_guard<std::mutex> lock(m_mutex);
    for (CTaMp3Player* voice : m_voices)
        voice->mixerGone();
    m_voices.clear();
}

void CTaAudioMixer::attach(CTaMp3Player* player)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (std::find(m_voices.begin(), m_voices.end(), player) == m_voices.end())
        m_voices.push_back(player);
}

void CTaAudioMixer::detach(CTaMp3Player* player)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_voices.erase(std::remove(m_voices.begin(), m_voices.end(), player), m_voices.end());
}

double CTaAudioMixer::heardFrame() const
{
    const double frame = m_output ? m_output->heardFrame(Clock::now()) : 0.0;
    std::lock_guard<std::mutex> lock(m_clockMutex);
    m_lastHeard = std::max(m_lastHeard, frame);
    return m_lastHeard;
}

int64_t CTaAudioMixer::renderedFrames() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_rendered;
}

void CTaAudioMixer::render(float* out, int frames)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    std::fill(out, out + size_t(frames) * 2, 0.0f);
    for (CTaMp3Player* voice : m_voices)
        voice->mixInto(out, frames, m_rendered);
    // Several musics together can pass full scale: clip rather than wrap in the device.
    if (m_voices.size() > 1)
        for (size_t i = 0; i < size_t(frames) * 2; ++i)
            out[i] = std::min(1.0f, std::max(-1.0f, out[i]));
    m_rendered += frames;
}
