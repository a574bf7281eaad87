// One music: MP3 bytes decoded from memory with libmpg123, played through the engine's mixer.
//
// Threads: the public operations run on the main thread; mixInto() runs on the output's thread
// under the mixer lock. The player's own lock guards the decoder and the playback state they share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class CTaAudioMixer;
struct mpg123_handle_struct; // libmpg123's decoder
struct SRC_STATE_tag;        // libsamplerate's resampler

// The bytes a decoder reads from.
struct STaMp3Source {
    const unsigned char* data;
    size_t size;
    size_t position;
};

class CTaMp3Player
{
public:
    explicit CTaMp3Player(CTaAudioMixer* mixer);
    ~CTaMp3Player();
    CTaMp3Player(const CTaMp3Player&) = delete;
    CTaMp3Player& operator=(const CTaMp3Player&) = delete;

    // Copies the bytes and opens them as MP3: 0, or 1 when they are not MP3 (the reason goes to
    // standard output).
    int loadFromMemory(const void* bytes, size_t size);
    bool ready() const { return m_ready; }

    // Plays from the current position.
    void run();
    // Freezes the position; run() continues from exactly there.
    void pause();
    // Back to the start, not playing.
    void stop();
    // Seeks to `ms` from the start (clamped to the music): 0, or -1 when not ready.
    int setPosition(int64_t ms);
    // The position being heard in ms, or -1 when not ready. While playing it advances smoothly and
    // never goes backwards; paused it stands still; right after a seek it is the target.
    int64_t getPosition();
    // Volume in hundredths of a decibel, -10000 (silence) to 0.
    void setVolume(int volume);
    int volume() const { return m_volume; }

    int rate() const { return m_rate; }
    int64_t lengthFrames() const { return m_length; }

    // Decodes the whole music to interleaved stereo floats at its own rate, from a decoder of its
    // own (for tests and tools). Empty when not ready.
    std::vector<float> decodeAll() const;

    // Output thread, under the mixer lock: adds this music's next `frames` device frames to `out`.
    void mixInto(float* out, int frames, int64_t firstDeviceFrame);
    // The mixer is going away; stop using it.
    void mixerGone();

private:
    enum class State { Stopped, Running, Paused };
    // Which music frame a stretch of device frames played.
    struct Segment {
        int64_t deviceStart;
        int64_t deviceCount;
        double musicStart;
        double musicPerDevice;
    };

    double positionFrames(double heardDeviceFrame); // with m_mutex held
    void seekTo(int64_t frame);                      // with m_mutex held
    int decodeInto(float* out, int frames);          // stereo frames at the music rate; with m_mutex held

    CTaAudioMixer* m_mixer;
    mutable std::mutex m_mutex;
    mpg123_handle_struct* m_handle = nullptr;
    SRC_STATE_tag* m_resampler = nullptr;
    std::unique_ptr<unsigned char[]> m_data;
    size_t m_size = 0;
    STaMp3Source m_source{nullptr, 0, 0};
    bool m_ready = false;
    int m_rate = 0;
    int64_t m_length = 0;
    bool m_ended = false;

    State m_state = State::Stopped;
    int64_t m_startFrame = 0;  // where playback (re)started: reported until it is heard
    double m_lastReported = 0; // never reported less while playing
    double m_frozen = 0;       // the paused position
    double m_nextMusicFrame = 0; // music position of the next device frame mixed
    std::deque<Segment> m_segments;
    std::vector<float> m_pending; // decoded, not yet resampled
    std::vector<float> m_scratch;
    int m_volume = 0;
    float m_gain = 1.0f;
};
