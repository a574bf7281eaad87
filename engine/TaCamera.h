// The camera operations of the script API on the engine's single camera and its animator.
#pragma once

// The placed camera: stored in the animator and applied at once, or kept for later while a ride
// moves the camera (see CTaSceneNodeAnimatorCamera).
void PositionCamera(float x, float y, float z);
void RotateCamera(float x, float y, float z); // degrees
void SetCameraRange(float nearPlane, float farPlane);
// Horizontal field of view in degrees; the camera's vertical one follows from the screen's aspect.
void SetCameraFOV(float degrees);
void SetCameraDOF(int on, float focalDistance, float fStop);
void SetCameraAdvancedDOF(int on, float rangeMin, float rangeMax, float rangeFocused, float radiusScale);
void SetCameraStereo(int on, float separation, int mode, float focus);
// 1 and 2 select the animator's modes 3 and 4; anything else its mode 2.
void SetCameraMode(int mode);
void SetCameraMoveSpeed(float speed);
void SetCameraJumpSpeed(float speed);
void AutomaticCameraCollisionOn(float radius, float gravity, float offset);
void AutomaticCameraCollisionOff();
// The vertical field of view for a horizontal one and a screen size.
float taVerticalFieldOfView(float horizontalDegrees, int width, int height);
