// The object viewer.
#include "app/TaObjectViewer.h"

#include "engine/Ta2D.h"
#include "engine/TaCamera.h"
#include "engine/TaEngine.h"
#include "engine/TaInput.h"
#include "core/TaLog.h"
#include "scene/TaObjects.h"

namespace {
constexpr int kObject = 1;
constexpr int kLight = 1;
} // namespace

int taObjectViewerFrame(unsigned elapsedMs, int frames)
{
    if (frames <= 1)
        return 0;
    const unsigned loop = static_cast<unsigned>(frames) * 1000u / 30u;
    return loop ? static_cast<int>((elapsedMs % loop) * 30u / 1000u) : 0;
}

int taObjectViewer(const STaRunRequest& request)
{
    LoadObject(request.file, kObject);
    if (!ObjectExist(kObject)) {
        taError("Failed to load object %s\n", request.file ? request.file : "");
        return -1;
    }
    float radius = GetObjectRadius(kObject);
    if (radius <= 0)
        radius = 20.0f;
    MakeLight(kLight);
    SetDirectionalLight(kLight, 0, 0, 0); // along +z, the way the camera looks
    ColorBackdrop(0x113366);
    float cameraZ = -1.5f * radius;
    PositionCamera(0, 0, cameraZ);
    RotateObject(kObject, 0, 0, 0);

    const int frames = TotalObjectFrames(kObject);
    const unsigned start = taTimer();
    float yaw = 0, pitch = 0;
    bool dragging = false;
    int lastX = 0, lastY = 0, lastWheel = taMouseWheel();
    while (taRun() && !taEscapeKey()) {
        bool turned = false;
        // The left button alone drags; the first frame of a drag only records where it starts.
        if (taMouseButtonLeft() && !taMouseButtonRight()) {
            const int x = taMouseX(), y = taMouseY();
            if (dragging && (x != lastX || y != lastY)) {
                yaw -= 0.5f * static_cast<float>(x - lastX);
                pitch -= 0.5f * static_cast<float>(y - lastY);
                turned = true;
            }
            dragging = true;
            lastX = x;
            lastY = y;
        } else {
            dragging = false;
        }
        if (taKeyState(37)) {
            yaw += 1.0f;
            turned = true;
        }
        if (taKeyState(39)) {
            yaw -= 1.0f;
            turned = true;
        }
        if (turned)
            RotateObject(kObject, pitch, yaw, 0);

        const int wheel = taMouseWheel();
        float move = static_cast<float>(wheel - lastWheel) * radius / 20.0f;
        lastWheel = wheel;
        if (taKeyState(38))
            move -= radius / 40.0f;
        if (taKeyState(40))
            move += radius / 40.0f;
        if (move != 0) {
            cameraZ += move;
            PositionCamera(0, 0, cameraZ);
        }
        if (frames > 1)
            SetObjectFrame(kObject, static_cast<float>(taObjectViewerFrame(taTimer() - start, frames)));

        Sync();
        if (!taIsWindowActive())
            taSleep(20);
    }
    DeleteObject(kObject);
    return taIsDeviceLost() ? -1 : 0;
}
