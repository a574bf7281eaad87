// The engine's audio mixer and its outputs: the SDL device, a null output paced by the steady
// clock, and a capture output that also writes what was played to a WAV file.
//
// The mixer, not the output, owns the clock: it counts the device frames it has rendered, and
// each output says which device frame is being heard at a given moment. Players map that frame
// back to their own music frames.
//
// Threads: the output calls render() on its own thread; attach, detach and heardFrame() are called
// on the main thread. render() and attach/detach take the mixer lock, so once detach() returns no
// render is using the player.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CTaMp3Player;

// Something that plays rendered frames and knows which one is being heard.
class ITaAudioOutput
{
public:
    virtual ~ITaAudioOutput() = default;
    // Starts calling the mixer; false when the output cannot run.
    virtual bool start() = 0;
    // Stops calling the mixer; after it returns no render is running or will run.
    virtual void stop() = 0;
    // The device frame (fractional) being heard at `now`.
    virtual double heardFrame(std::chrono::steady_clock::time_point now) const = 0;
    virtual const char* name() const = 0;
};

class CTaAudioMixer
{
public:
    // The output rate the mixer asks for; the SDL device may give another.
    static constexpr int DEFAULT_RATE = 48000;

    // "sdl" (the default, also for "" and nullptr; falls back to "null" when no real device
    // opens), "null", or "wav:" + file. nullptr with `error` set when the choice cannot be made.
    static std::unique_ptr<CTaAudioMixer> create(const char* choice, std::string* error);
    ~CTaAudioMixer();

    int rate() const { return m_rate; }
    const char* outputName() const { return m_output ? m_output->name() : "none"; }

    void attach(CTaMp3Player* player);
    void detach(CTaMp3Player* player);

    // The device frame being heard now, never going backwards.
    double heardFrame() const;
    // Device frames rendered so far.
    int64_t renderedFrames() const;

    // Mixes the next `frames` stereo frames into `out` (interleaved float). Output thread.
    void render(float* out, int frames);

private:
    CTaAudioMixer() = default;

    int m_rate = DEFAULT_RATE;
    std::unique_ptr<ITaAudioOutput> m_output;
    mutable std::mutex m_mutex; // voices and the rendered count
    std::vector<CTaMp3Player*> m_voices;
    int64_t m_rendered = 0;
    mutable std::mutex m_clockMutex;
    mutable double m_lastHeard = 0.0;

    friend class CTaSdlAudioOutput;
};
