// The music table.
#include "music/TaMusic.h"

#include "core/TaLog.h"
#include "core/TaIdTable.h"
#include "files/TaFile.h"
#include "music/TaAudioMixer.h"
#include "music/TaMp3Player.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

// One loaded music.
struct STaMusic {
    char path[2048];
    std::unique_ptr<CTaMp3Player> player;
    bool playing = false;
};

struct STaMusicTable {
    std::unique_ptr<CTaAudioMixer> mixer;
    std::unique_ptr<STaIdTable> table;
};
std::unique_ptr<STaMusicTable> g_music;

STaMusic* musicOf(int id, bool report = true)
{
    STaMusic* music = g_music ? static_cast<STaMusic*>(idGet(g_music->table.get(), id)) : nullptr;
    if (!music && report)
        taErrorCode(1, "Music ID %d does not exist. %s", id, g_music ? idGetErrorText() : "no music list");
    return music;
}

} // namespace

float taFastLog10(float y)
{
    // y = m * 2^e with m in [1, 2): log2(y) ~ e + (-m^2/3 + 2m - 5/3).
    int e = 0;
    const float half = std::frexp(y, &e); // y = half * 2^e, half in [0.5, 1)
    const float m = half * 2.0f;
    e -= 1;
    return 0.30103f * (float(e) + (-m * m / 3.0f + 2.0f * m - 5.0f / 3.0f));
}

float taFastPow10(float x)
{
    // 10^x = 2^a with a = 3.321928 x = k + f: 2^k * (1 + 0.75 f + 0.25 f^2).
    const float a = 3.321928f * x;
    const int k = int(a); // truncated towards zero
    const float f = a - float(k);
    return std::ldexp(1.0f + 0.75f * f + 0.25f * f * f, k);
}

int taCreateMusicTable(const char* audioChoice)
{
    taFreeMusicTable();
    auto music = std::make_unique<STaMusicTable>();
    music->table = idCreate(TA_MUSIC_CAPACITY);
    std::string error;
    music->mixer = CTaAudioMixer::create(audioChoice, &error);
    if (!music->table || !music->mixer) {
        taPrint(ETALOG_ERROR, "fails to create music list");
        if (!error.empty())
            taPrint(ETALOG_ERROR, "%s", error.c_str());
        return -1;
    }
    g_music = std::move(music);
    return 0;
}

void taFreeMusicTable()
{
    if (!g_music)
        return;
    // Players first (each detaches from the mixer), then the mixer and its output.
    for (int id = 0; id <= idHighest(g_music->table.get()); ++id)
        if (auto* music = static_cast<STaMusic*>(g_music->table->entries[id])) {
            if (music->player)
                music->player->stop();
            delete music;
            g_music->table->entries[id] = nullptr;
        }
    g_music.reset();
}

CTaAudioMixer* taGetAudioMixer() { return g_music ? g_music->mixer.get() : nullptr; }

int LoadMusic(const char* path, int id)
{
    if (!g_music) {
        taErrorCode(1, "Music ID %d does not exist. %s", id, "no music list");
        return -1;
    }
    auto music = std::make_unique<STaMusic>();
    if (idInsert(g_music->table.get(), id, music.get()) != 0) {
        taPrintCode(ETALOG_WARN | ETALOG_REMEMBER, 2, "invalid Music ID %d : %s", id, idGetErrorText());
        return -1;
    }
    snprintf(music->path, sizeof(music->path), "%s", path ? path : "");
    music->player = std::make_unique<CTaMp3Player>(g_music->mixer.get());
    if (!music->player) {
        idRemove(g_music->table.get(), id);
        taErrorCode(-1, "Failed to create mp3 renderer");
        return -1;
    }
    // The text stays "Failed to load mp3"; the line after it says which of the two went wrong.
    STaFileBlock block = taReadWholeFile(path ? path : "");
    if (!block.data) {
        idRemove(g_music->table.get(), id);
        taErrorCode(-1, "Failed to load mp3\ncannot open '%s'", path ? path : "");
        return -1;
    }
    if (music->player->loadFromMemory(block.data.get(), block.size) != 0) {
        idRemove(g_music->table.get(), id);
        taErrorCode(-1, "Failed to load mp3\n'%s' is not MP3 audio the decoder can read", path ? path : "");
        return -1;
    }
    music.release();
    return 0;
}

int MusicExist(int id) { return musicOf(id, false) ? 1 : 0; }

int DeleteMusic(int id)
{
    STaMusic* music = musicOf(id, false);
    if (!music)
        return -1;
    if (music->playing)
        music->player->stop();
    idRemove(g_music->table.get(), id);
    delete music;
    return 0;
}

int PlayMusic(int id)
{
    STaMusic* music = musicOf(id);
    if (!music)
        return -1;
    if (music->playing)
        music->player->stop();
    music->player->run();
    music->playing = true;
    return 0;
}

int StopMusic(int id)
{
    STaMusic* music = musicOf(id);
    if (!music)
        return -1;
    music->player->stop();
    music->playing = false;
    return 0;
}

int PauseMusic(int id)
{
    STaMusic* music = musicOf(id);
    if (!music)
        return -1;
    if (music->playing)
        music->player->pause();
    return 0;
}

int ResumeMusic(int id)
{
    STaMusic* music = musicOf(id);
    if (!music)
        return -1;
    music->player->run();
    music->playing = true;
    return 0;
}

int SetMusicPosition(int id, int ms)
{
    STaMusic* music = musicOf(id);
    if (!music)
        return -1;
    return music->player->setPosition(ms);
}

int GetMusicPosition(int id)
{
    STaMusic* music = musicOf(id);
    if (!music)
        return -1;
    const int64_t ms = music->player->getPosition();
    return ms < 0 ? -1 : int(ms);
}

int SetMusicVolume(int id, int percent)
{
    STaMusic* music = musicOf(id);
    if (!music)
        return -1;
    // No logarithm of 0 or of a negative number: that is silence.
    int volume = -10000;
    if (percent > 0) {
        const float hundredths = 2000.0f * taFastLog10(float(percent) / 100.0f);
        volume = hundredths < -10000.0f ? -10000 : hundredths > 0.0f ? 0 : int(hundredths);
    }
    music->player->setVolume(volume);
    return 0;
}

int MusicVolume(int id)
{
    STaMusic* music = musicOf(id);
    if (!music)
        return 0;
    return int(100.0f * taFastPow10(float(music->player->volume()) / 2000.0f));
}
