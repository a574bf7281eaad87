// MP3 playback from memory with libmpg123, resampled with libsamplerate when the music's rate is
// not the device's.
#include "music/TaMp3Player.h"

#include "music/TaAudioMixer.h"

#include "core/TaLog.h"

#include <mpg123.h>
#include <samplerate.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

namespace {

// How many recent segments a player keeps to map heard device frames to music frames.
constexpr size_t TA_SEGMENTS_KEPT = 128;

ssize_t readMemory(void* handle, void* buffer, size_t bytes)
{
    auto* source = static_cast<STaMp3Source*>(handle);
    const size_t left = source->size - source->position;
    const size_t n = std::min(bytes, left);
    memcpy(buffer, source->data + source->position, n);
    source->position += n;
    return static_cast<ssize_t>(n);
}

off_t seekMemory(void* handle, off_t offset, int whence)
{
    auto* source = static_cast<STaMp3Source*>(handle);
    off_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? off_t(source->position) : off_t(source->size);
    if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END)
        return -1;
    const off_t target = base + offset;
    // Positions beyond the end are refused.
    if (target < 0 || target > off_t(source->size))
        return -1;
    source->position = size_t(target);
    return target;
}

void initLibrary()
{
    static const int initialised = mpg123_init();
    (void)initialised;
}

// Opens a decoder on `source`: float stereo at the music's own rate, gapless, lengths scanned.
mpg123_handle* openDecoder(STaMp3Source* source, long* rate, int64_t* length, const char** problem)
{
    initLibrary();
    int error = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &error);
    if (!handle) {
        *problem = mpg123_plain_strerror(error);
        return nullptr;
    }
    mpg123_param(handle, MPG123_FLAGS, MPG123_GAPLESS | MPG123_QUIET | MPG123_FORCE_FLOAT, 0.0);
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_FORCE_STEREO, 0.0);
    int channels = 0, encoding = 0;
    if (mpg123_replace_reader_handle(handle, readMemory, seekMemory, nullptr) != MPG123_OK ||
        mpg123_open_handle(handle, source) != MPG123_OK ||
        mpg123_getformat(handle, rate, &channels, &encoding) != MPG123_OK || *rate <= 0) {
        *problem = mpg123_strerror(handle);
        mpg123_delete(handle);
        return nullptr;
    }
    mpg123_format_none(handle);
    mpg123_format(handle, *rate, MPG123_STEREO, MPG123_ENC_FLOAT_32);
    if (mpg123_scan(handle) != MPG123_OK) {
        *problem = mpg123_strerror(handle);
        mpg123_delete(handle);
        return nullptr;
    }
    const off_t samples = mpg123_length(handle);
    *length = samples > 0 ? int64_t(samples) : 0;
    return handle;
}

} // namespace

CTaMp3Player::CTaMp3Player(CTaAudioMixer* mixer) : m_mixer(mixer)
{
    if (m_mixer)
        m_mixer->attach(this);
}

CTaMp3Player::~CTaMp3Player()
{
    // After detach no render touches this player.
    if (m_mixer)
        m_mixer->detach(this);
    if (m_handle)
        mpg123_delete(m_handle);
    if (m_resampler)
        src_delete(m_resampler);
}

void CTaMp3Player::mixerGone()
{
    m_mixer = nullptr;
}

int CTaMp3Player::loadFromMemory(const void* bytes, size_t size)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_ready || !bytes || size == 0) {
        taPrint(ETALOG_ERROR, "Failed to decode mp3 - %s", m_ready ? "already loaded" : "no data");
        return 1;
    }
    m_data.reset(new (std::nothrow) unsigned char[size]);
    if (!m_data) {
        printf("Could not allocate %zu bytes\n", size);
        return 1;
    }
    memcpy(m_data.get(), bytes, size);
    m_size = size;
    m_source = STaMp3Source{m_data.get(), m_size, 0};
    long rate = 0;
    const char* problem = "";
    mpg123_handle* handle = openDecoder(&m_source, &rate, &m_length, &problem);
    if (!handle) {
        taPrint(ETALOG_ERROR, "Failed to decode mp3 - %s", problem);
        return 1;
    }
    m_handle = handle;
    m_rate = int(rate);
    const int deviceRate = m_mixer ? m_mixer->rate() : m_rate;
    if (deviceRate != m_rate) {
        int error = 0;
        SRC_STATE* resampler = src_new(SRC_SINC_MEDIUM_QUALITY, 2, &error);
        if (!resampler) {
            taPrint(ETALOG_ERROR, "Failed to decode mp3 - %s", src_strerror(error));
            return 1;
        }
        m_resampler = resampler;
    }
    m_ready = true;
    return 0;
}

void CTaMp3Player::seekTo(int64_t frame)
{
    frame = std::max<int64_t>(0, std::min(frame, m_length));
    mpg123_seek(m_handle, off_t(frame), SEEK_SET);
    if (m_resampler)
        src_reset(m_resampler);
    m_pending.clear();
    m_segments.clear();
    m_ended = false;
    m_startFrame = frame;
    m_lastReported = double(frame);
    m_nextMusicFrame = double(frame);
}

void CTaMp3Player::run()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_ready || m_state == State::Running)
        return;
    if (m_state == State::Paused)
        seekTo(int64_t(std::llround(m_frozen)));
    m_segments.clear();
    m_state = State::Running;
}

void CTaMp3Player::pause()
{
    const double heard = m_mixer ? m_mixer->heardFrame() : 0.0;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_ready || m_state != State::Running)
        return;
    m_frozen = positionFrames(heard);
    m_state = State::Paused;
    // Resume continues from the frozen frame: what was mixed past it but not heard plays again.
    seekTo(int64_t(std::llround(m_frozen)));
}

void CTaMp3Player::stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_ready)
        return;
    seekTo(0);
    m_state = State::Stopped;
}

int CTaMp3Player::setPosition(int64_t ms)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_ready)
        return -1;
    const int64_t frame = ms <= 0 ? 0 : int64_t((long double)ms * m_rate / 1000);
    seekTo(frame);
    if (m_state == State::Paused)
        m_frozen = double(m_startFrame);
    return 0;
}

double CTaMp3Player::positionFrames(double heard)
{
    if (m_state == State::Stopped)
        return double(m_startFrame);
    if (m_state == State::Paused)
        return m_frozen;
    double music = double(m_startFrame);
    if (!m_segments.empty() && heard >= double(m_segments.front().deviceStart)) {
        const Segment& last = m_segments.back();
        music = last.musicStart + double(last.deviceCount) * last.musicPerDevice;
        for (auto it = m_segments.rbegin(); it != m_segments.rend(); ++it) {
            if (heard >= double(it->deviceStart)) {
                const double into = std::min(heard - double(it->deviceStart), double(it->deviceCount));
                music = it->musicStart + into * it->musicPerDevice;
                break;
            }
        }
    }
    music = std::min(std::max(music, m_lastReported), double(m_length));
    m_lastReported = music;
    return music;
}

int64_t CTaMp3Player::getPosition()
{
    const double heard = m_mixer ? m_mixer->heardFrame() : 0.0;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_ready || m_rate <= 0)
        return -1;
    return int64_t(positionFrames(heard) * 1000.0 / m_rate);
}

void CTaMp3Player::setVolume(int volume)
{
    volume = std::max(-10000, std::min(0, volume));
    std::lock_guard<std::mutex> lock(m_mutex);
    m_volume = volume;
    m_gain = volume <= -10000 ? 0.0f : float(std::pow(10.0, volume / 2000.0));
}

int CTaMp3Player::decodeInto(float* out, int frames)
{
    auto* handle = m_handle;
    int done = 0;
    while (done < frames && !m_ended) {
        size_t bytes = 0;
        const int result = mpg123_read(handle, reinterpret_cast<unsigned char*>(out + size_t(done) * 2),
                                       size_t(frames - done) * sizeof(float) * 2, &bytes);
        done += int(bytes / (sizeof(float) * 2));
        if (result == MPG123_DONE || (result != MPG123_OK && result != MPG123_NEW_FORMAT && bytes == 0))
            m_ended = true;
    }
    return done;
}

void CTaMp3Player::mixInto(float* out, int frames, int64_t firstDeviceFrame)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_ready || m_state != State::Running || frames <= 0)
        return;
    m_scratch.resize(size_t(frames) * 2);
    int produced = 0;
    double musicPerDevice = 1.0;
    if (!m_resampler) {
        produced = decodeInto(m_scratch.data(), frames);
    } else {
        const double ratio = double(m_mixer ? m_mixer->rate() : m_rate) / double(m_rate);
        musicPerDevice = 1.0 / ratio;
        auto* resampler = m_resampler;
        while (produced < frames) {
            if (m_pending.empty() && !m_ended) {
                m_pending.resize(1024 * 2);
                const int got = decodeInto(m_pending.data(), 1024);
                m_pending.resize(size_t(got) * 2);
            }
            SRC_DATA data{};
            data.data_in = m_pending.data();
            data.input_frames = long(m_pending.size() / 2);
            data.data_out = m_scratch.data() + size_t(produced) * 2;
            data.output_frames = frames - produced;
            data.src_ratio = ratio;
            data.end_of_input = m_ended && m_pending.empty() ? 1 : 0;
            if (src_process(resampler, &data) != 0)
                break;
            m_pending.erase(m_pending.begin(), m_pending.begin() + data.input_frames_used * 2);
            produced += int(data.output_frames_gen);
            if (data.output_frames_gen == 0 && data.input_frames_used == 0 && m_ended)
                break;
        }
    }
    const float gain = m_gain;
    for (size_t i = 0; i < size_t(produced) * 2; ++i)
        out[i] += m_scratch[i] * gain;
    if (produced > 0) {
        m_segments.push_back(Segment{firstDeviceFrame, produced, m_nextMusicFrame, musicPerDevice});
        if (m_segments.size() > TA_SEGMENTS_KEPT)
            m_segments.pop_front();
        m_nextMusicFrame += produced * musicPerDevice;
    }
}

std::vector<float> CTaMp3Player::decodeAll() const
{
    std::vector<float> all;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_ready)
        return all;
    STaMp3Source source{m_data.get(), m_size, 0};
    long rate = 0;
    int64_t length = 0;
    const char* problem = "";
    mpg123_handle* handle = openDecoder(&source, &rate, &length, &problem);
    if (!handle)
        return all;
    all.resize(size_t(length) * 2);
    size_t done = 0;
    while (done < all.size()) {
        size_t bytes = 0;
        const int result = mpg123_read(handle, reinterpret_cast<unsigned char*>(all.data() + done),
                                       (all.size() - done) * sizeof(float), &bytes);
        done += bytes / sizeof(float);
        if (result != MPG123_OK && result != MPG123_NEW_FORMAT)
            break;
    }
    all.resize(done);
    mpg123_delete(handle);
    return all;
}
