// Demos: the demo script (an INI file of parts, each showing a scene from a time on, with its music,
// extra scenes, camera shaders and fades) read into one fixed-size record, everything it needs
// loaded with a loading screen, and the start times it leaves open derived from the music of its
// scenes; then played frame by frame, live in step with the music or captured at a fixed rate.
//
// Index
//   record ............ STaDemo, STaDemoPart, STaDemoExtra, STaDemoShader, STaDemoFader, counters
//   loading ........... taDemoParse, taDemoLoad, taDemoResolveTimeline, taDemoFree
//   playing ........... STaDemoState, STaDemoClock, taDemoStep, taDemoRunLive, taDemoRunCapture, taDemoPlay
#pragma once

#include <functional>
#include <string>

constexpr int TA_DEMO_MAX_PARTS = 64;
constexpr int TA_DEMO_MAX_EXTRAS = 15;
constexpr int TA_DEMO_MAX_SHADERS = 10;
constexpr int TA_DEMO_MAX_FADERS = 20;
constexpr int TA_DEMO_NAME_SIZE = 40;  // a part's name: 39 characters
constexpr int TA_DEMO_TEXT_SIZE = 128; // names and paths: 127 characters

struct STaDemoExtra {
    int active;
    char directory[TA_DEMO_TEXT_SIZE];
    char filename[TA_DEMO_TEXT_SIZE];
    int time, length;
    int sceneId, objectBase, lightBase, emitterBase, cubeMapBase;
    int reuseObjects, flushObjects;
};

struct STaDemoShader {
    int active, finished;
    char name[TA_DEMO_TEXT_SIZE];
    int time, length;
    int cameraShaderId;
};

struct STaDemoFader {
    int fadeOut; // 1 without a fadein key
    int active, finished;
    int time, length, fadeLength;
    int color; // 0xRRGGBB
};

struct STaDemoPart {
    char name[TA_DEMO_NAME_SIZE];
    int time; // -1 when the script gives none (derived from the scene's music)
    int timeReset;
    int timeOffset; // subtracted from the timeline to get the scene's own time
    char music[TA_DEMO_TEXT_SIZE];
    char palette[TA_DEMO_TEXT_SIZE];
    char directory[TA_DEMO_TEXT_SIZE];
    char filename[TA_DEMO_TEXT_SIZE]; // empty: the part has no scene
    float cameraNear, cameraFar;
    int musicId, paletteId;
    int sceneId, objectBase, lightBase, emitterBase, cubeMapBase;
    int reuseObjects, flushObjects;
    int paletteChannel, paletteChannelValue;
    int extraCount;
    STaDemoExtra extras[TA_DEMO_MAX_EXTRAS];
    int shaderCount;
    STaDemoShader shaders[TA_DEMO_MAX_SHADERS];
    int faderCount;
    STaDemoFader faders[TA_DEMO_MAX_FADERS];
};

struct STaDemo {
    char musicDirectory[TA_DEMO_TEXT_SIZE];
    char paletteDirectory[TA_DEMO_TEXT_SIZE];
    char shadersDirectory[TA_DEMO_TEXT_SIZE];
    int partCount;
    STaDemoPart parts[TA_DEMO_MAX_PARTS];
};

// The IDs the demo hands out, in the order the scene loader takes its bases.
struct STaDemoIdCounters {
    int scene = 0, object = 1, light = 0, emitter = 0, cubeMap = 0, cameraShader = 0, renderer = 0, effect = 0;
    int palette = 1, music = 1;
};

// Reads the script at `path` into `demo` (zeroed first): 0, or -1 with the reason logged as an
// error with a message box ("Fail to parse ini", "No parts!", "Too many parts: ...").
int taDemoParse(STaDemo* demo, const char* path);
// Parse, then load scenes, music and camera shaders with the loading screen and derive the open
// start times: 0, or -1 (logged; what was loaded stays recorded for taDemoFree). The working
// directory is the demo's directory afterwards.
int taDemoLoad(STaDemo* demo, const char* path, STaDemoIdCounters* counters);
// The start times a script leaves open, from the music of the parts' scenes: 0, or -1 with the
// part's message. `sceneMusic` gives a part's scene music file (nullptr for none) and its start in
// that music in milliseconds.
using TaDemoSceneMusic = std::function<const char*(const STaDemoPart& part, int* startMs)>;
int taDemoResolveTimeline(STaDemo* demo, const TaDemoSceneMusic& sceneMusic);
// "directory/name", or `name` alone when the directory is empty.
std::string taDemoJoinPath(const char* directory, const char* name);
// Loads one scene of the demo (a part's or an extra's) from `directory` below the demo's directory,
// with the counters' IDs, and advances the counters by what it brought. The scene ID is recorded in
// `sceneId` before loading, so that a cancelled load is freed too. 0, 1 cancelled, -1 failed.
int taDemoLoadScene(const std::string& demoDirectory, const char* directory, const char* filename, int reuse,
                    bool extra, STaDemoIdCounters& counters, int& sceneId, int& objectBase, int& lightBase,
                    int& emitterBase, int& cubeMapBase);
// Deletes the music, scenes (of the parts and their extras) and camera shaders the demo loaded.
void taDemoFree(STaDemo* demo);

// --- Playing ---------------------------------------------------------------------------------------------

struct STaDemoState {
    int start = 0;  // clock value at timeline time 0
    int part = -1;  // the current part
    int music = -1; // the playing music
    int palette = -1;
    int scene = -1; // the scene of the current part
    int ended = 0;
};

// Where a live demo takes its time from: the engine clock and the heard music position (the
// engine's own by default; tests drive them).
struct STaDemoClock {
    std::function<int()> now;                      // milliseconds
    std::function<int(int musicId)> musicPosition; // -1 when the music does not play
};
STaDemoClock taDemoEngineClock();

// One frame: `time` -1 live (the clock and the music decide), else the capture clock in
// milliseconds. Switches parts, shows extras, camera shaders and fades at their times, animates the
// current scene and renders the frame. 0.
int taDemoStep(STaDemo* demo, STaDemoState* state, int time, const STaDemoClock& clock);
// The timeline time of a frame (what taDemoStep works with before it switches parts).
int taDemoTimelineTime(const STaDemo* demo, const STaDemoState* state, int time, const STaDemoClock& clock);

// Until the end of the demo, Escape or the window's closing.
int taDemoRunLive(STaDemo* demo);
// What a capture writes and how.
struct STaDemoCapture {
    std::string baseName; // frames are "<baseName>_%06d.bmp" ("" with a video file: no frame files)
    std::string videoFile; // "" or an MP4 written through ffmpeg, the demo's music muxed in
    float rate = 30.0f;   // frames per second
    int firstFrame = 0;   // the frames written: first to last (-1: to the end of the demo)
    int lastFrame = -1;
};
// The ffmpeg command that makes `videoFile` of raw RGB frames on its standard input (`width` x
// `height` at `rate`), with the music file `music` (none: silent) starting `musicStartMs` into the video.
std::string taDemoVideoCommand(const std::string& videoFile, int width, int height, float rate, const char* music,
                               int musicStartMs);
// The number of frames a capture of the whole demo writes at `rate`.
int taDemoFrameCount(const STaDemo* demo, float rate);
// The frame file name of frame `n`, or "" when it would not fit a path.
std::string taDemoFrameName(const std::string& baseName, int n);
int taDemoRunCapture(STaDemo* demo, const STaDemoCapture& capture);
// Loads everything the demo needs on the running engine, carrying on past every problem, and prints
// what it loaded and every problem (a missing mesh, texture, effect or music, a shader that does not
// compile with its file and line, an entity that cannot be made): 0 when there is none, else -1.
int taDemoCheck(const char* path);
// Loads, prepares, plays (live, or captured when `capture` has a base name) and frees a demo: 0 or -1.
int taDemoPlay(const char* path, const STaDemoCapture* capture);
