// The music table: MP3 musics loaded by ID (0 to 49) and played through the engine's mixer. The
// script API exposes these operations under the same names.
#pragma once

#include <cstdint>

constexpr int TA_MUSIC_CAPACITY = 50;

class CTaAudioMixer;

// Makes the table and the mixer on the audio output `audioChoice` ("sdl", "null", "wav:FILE"; ""
// or nullptr for "sdl"). 0, or -1 with "fails to create music list".
int taCreateMusicTable(const char* audioChoice);
// Stops and releases every music still loaded, then the mixer: no audio callback runs afterwards.
void taFreeMusicTable();
// The mixer of the table, or nullptr.
CTaAudioMixer* taGetAudioMixer();

// An ID that holds nothing logs "Music ID %d does not exist. %s" (error, remembered with code 1) and
// the operation returns -1 (0 for MusicVolume); DeleteMusic returns -1 silently.
int LoadMusic(const char* path, int id);
int MusicExist(int id);
int DeleteMusic(int id);
// Stops first if playing, then plays from the current position.
int PlayMusic(int id);
int StopMusic(int id);
int PauseMusic(int id);
int ResumeMusic(int id);
int SetMusicPosition(int id, int ms);
// The position being heard in ms; -1 when there is none.
int GetMusicPosition(int id);
// Percent to hundredths of a decibel: 2000 * log10(percent / 100), within -10000 and 0; 0 percent
// or less is silence.
int SetMusicVolume(int id, int percent);
// The volume back in percent: 100 * 10^(v / 2000), truncated.
int MusicVolume(int id);

// The fast approximations the volume conversions use.
float taFastLog10(float y);
float taFastPow10(float x);
