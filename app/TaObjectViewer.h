// The object viewer: one mesh shown under a directional light, turned with the mouse or the arrow
// keys, zoomed with the wheel, its animation played at 30 frames per second, until Escape.
#pragma once

#include "app/TaRunModes.h"

// The viewer on a started engine: 0, or -1 with "Failed to load object %s\n" (error, message box).
int taObjectViewer(const STaRunRequest& request);

// The animation frame the viewer shows after `elapsedMs` for a mesh of `frames` frames.
int taObjectViewerFrame(unsigned elapsedMs, int frames);
