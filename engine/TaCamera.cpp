// Camera operations.
#include "engine/TaCamera.h"

#include "engine/TaEngine.h"
#include "engine/TaSceneNodeAnimatorCamera.h"

#include <cmath>

using namespace irr;

void PositionCamera(float x, float y, float z)
{
    STaEngineContext& engine = taEngine();
    engine.cameraAnimator->setPlacedPosition(core::vector3df(x, y, z));
    // A ride owns the camera: the stored value waits until it ends.
    if (!engine.cameraAnimator->riding())
        engine.cameraAnimator->place(engine.camera);
}

void RotateCamera(float x, float y, float z)
{
    STaEngineContext& engine = taEngine();
    // The target follows the rotation.
    engine.camera->bindTargetAndRotation(true);
    engine.cameraAnimator->setPlacedRotation(core::vector3df(x, y, z));
    if (!engine.cameraAnimator->riding())
        engine.cameraAnimator->place(engine.camera);
}

void SetCameraRange(float nearPlane, float farPlane)
{
    taSetCameraRange(nearPlane, farPlane);
}

float taVerticalFieldOfView(float horizontalDegrees, int width, int height)
{
    if (width <= 0 || height <= 0)
        return horizontalDegrees * core::DEGTORAD;
    return 2.0f * std::atan(std::tan(horizontalDegrees * core::PI / 360.0f) * height / width);
}

void SetCameraFOV(float degrees)
{
    const core::dimension2du size = taEngine().videoDriver->getScreenSize();
    taEngine().camera->setFOV(taVerticalFieldOfView(degrees, static_cast<int>(size.Width), static_cast<int>(size.Height)));
}

void SetCameraDOF(int on, float focalDistance, float fStop)
{
    STaRenderSettings& settings = taEngine().renderSettings;
    settings.dofEnabled = on != 0;
    settings.focalDistance = focalDistance;
    settings.fStop = fStop;
}

void SetCameraAdvancedDOF(int on, float rangeMin, float rangeMax, float rangeFocused, float radiusScale)
{
    STaRenderSettings& settings = taEngine().renderSettings;
    settings.dofAdvanced = on ? 1.0f : 0.0f;
    settings.dofFocalRangeMin = rangeMin;
    settings.dofFocalRangeMax = rangeMax;
    settings.dofFocalRangeFocused = rangeFocused;
    settings.dofRadiusScale = radiusScale;
}

void SetCameraStereo(int on, float separation, int mode, float focus)
{
    float* stereo = taEngine().stereo3D;
    stereo[0] = static_cast<float>(on);
    stereo[1] = separation;
    stereo[2] = static_cast<float>(mode);
    stereo[3] = focus;
}

void SetCameraMode(int mode)
{
    taEngine().cameraAnimator->setMode(mode == 1 ? 3 : mode == 2 ? 4 : 2);
}

void SetCameraMoveSpeed(float speed)
{
    taEngine().cameraAnimator->setMoveSpeed(speed);
}

void SetCameraJumpSpeed(float speed)
{
    taEngine().cameraAnimator->setJumpSpeed(speed);
}

void AutomaticCameraCollisionOn(float radius, float gravity, float offset)
{
    STaEngineContext& engine = taEngine();
    AutomaticCameraCollisionOff();
    if (!engine.collisionWorld)
        engine.collisionWorld = engine.sceneManager->createMetaTriangleSelector();
    engine.cameraCollision = engine.sceneManager->createCollisionResponseAnimator(
        engine.collisionWorld, engine.camera, core::vector3df(radius, radius, radius), core::vector3df(0, -gravity, 0),
        core::vector3df(0, offset, 0), 0.0005f);
    engine.camera->addAnimator(engine.cameraCollision);
}

void AutomaticCameraCollisionOff()
{
    STaEngineContext& engine = taEngine();
    if (engine.cameraCollision) {
        engine.camera->removeAnimator(engine.cameraCollision);
        engine.cameraCollision->drop();
        engine.cameraCollision = nullptr;
    }
}
