// The scene viewer: one scene document shown as scene 1, played in a loop or paused, scrubbed, with
// its music, a text overlay, shader files reloaded when they change and, in the synchronised-update
// mode next to the modeller, the scene reloaded in place whenever its file changes and the frame the
// modeller sends shown. The right mouse button rides through the scene with the engine's camera.
#pragma once

#include "app/TaSetup.h"

#include <string>
#include <vector>

// Ride options (STaViewerOptions::rideOpts).
enum ETaViewerRideOptions {
    // Ride with the camera's collision response (every scene object made non-colliding first);
    // the camera jumps with right Control.
    ETAVIEWER_RIDE_COLLISION = 0x01,
    // With ETAVIEWER_RIDE_COLLISION: gravity and the eye's offset above the collision body.
    ETAVIEWER_RIDE_GRAVITY = 0x02,
    // Mouse look with the cursor hidden (camera mode 1); without it, looking while dragging (mode 2).
    ETAVIEWER_RIDE_FIRST_PERSON = 0x04,
};

// One text line of the viewer's overlay, as queued in the last frame.
struct STaViewerText {
    int x, y;
    std::string text;
};

// What the viewer reads of the keyboard and mouse in one frame (held states; the viewer finds the
// presses itself).
struct STaViewerKeys {
    bool returnKey = false, space = false, shift = false, right = false, left = false, plus = false, minus = false;
    bool f12 = false, rightButton = false, one = false, two = false;
};

class CTaSceneViewer
{
public:
    // Loads the scene (and its music, the watches) and shows it: 0, 1 when the options asked only to
    // load it (-binary, done), -1 when it does not load (said).
    int start(const char* file, const STaViewerOptions& options, int nowMs);
    // One frame at `nowMs` with the keys held now: watches, the live update, keys, time, animation,
    // overlay; true when the caller should render it (Sync). False for the frames an idle viewer
    // only sleeps through: paused, nothing to show afresh and the window inactive, nine frames of
    // ten wait 10 ms and draw nothing (unless ETAVIEWER_NOIDLEINACTIVE).
    bool frame(int nowMs, const STaViewerKeys& keys);
    void end();

    int sceneTime() const { return m_shownTime; } // the time the last frame showed, ms
    bool paused() const { return m_paused; }
    bool looping() const { return m_loop; }
    int updateStatus() const { return m_status; }
    bool hasMusic() const { return m_music; }
    bool riding() const { return m_riding; }
    int rideSpeed() const { return m_rideSpeed; } // cm/s
    const std::vector<STaViewerText>& overlayTexts() const { return m_texts; }

private:
    void showTime(int nowMs, int t);
    void pauseAt(int t);
    int endTime() const;
    void startRide();
    void stopRide();
    void setRideSpeed(int cmPerSecond);
    void text(int x, int y, const char* line);

    STaViewerOptions m_options{};
    std::string m_file;
    bool m_started = false;
    int m_timeBase = 0;
    bool m_paused = false;
    int m_pausedTime = 0;
    int m_shownTime = -1;
    bool m_loop = false;
    bool m_music = false;
    int m_musicOffset = 0;
    bool m_force = true;
    int m_status = 0;
    int m_lastUserFrame = 0;
    bool m_shaderWatch[6] = {};
    STaViewerKeys m_previous;
    int m_fpsFrames = 0, m_fpsStart = 0;
    float m_fps = 0, m_msPerFrame = 0;
    int m_idle = 0;
    bool m_riding = false;
    int m_rideSpeed = 1000;
    bool m_cursorHidden = false;
    std::vector<STaViewerText> m_texts;
};

// The run mode: the viewer on the running engine until Escape or the window closes: 0 or -1.
int taSceneViewer(const char* file, const STaViewerOptions& options);
