// The engine operations that loading and animating a scene call: the same ID-based operations that
// scripts use, behind one small interface so that a scene can be loaded against a recording double in
// tests. The engine's own implementation (taSceneEngineOps) forwards to the object, light, cube-map,
// camera and render-setting operations; a failing operation leaves its message for the caller
// (takeMessage) instead of the script's last error, so that animating a scene whose entity a script
// removed does not raise an error in the script.
#pragma once

#include <irrlicht.h>

#include <string>
#include <vector>

struct STaSurfaceRecord;
struct STaEffectParamBlock;

class ITaSceneOps
{
public:
    using vec3 = irr::core::vector3df;
    virtual ~ITaSceneOps() = default;

    // The message of the last operation that failed, cleared by taking it.
    virtual std::string takeMessage() = 0;

    // --- Objects ---
    virtual bool objectExists(int id) = 0;
    virtual int loadObject(int id, const char* file) = 0;
    virtual int loadPointCloud(int id, const char* file, int points) = 0;
    virtual int cloneObject(int id, int source) = 0;
    virtual int instanceObject(int id, int source) = 0;
    virtual void deleteObject(int id) = 0;
    virtual void showObject(int id) = 0;
    virtual void hideObject(int id) = 0;
    virtual void lockObjectOn(int id) = 0;
    virtual void setObjectShadowCaster(int id, bool on) = 0;
    virtual void setObjectSelectionMask(int id, unsigned mask) = 0;
    virtual void setObjectVertexTexture(int id, const char* name, unsigned options) = 0;
    // The object's cube map (an ID of the cube-map table) with its box correction.
    virtual void setObjectCubeMap(int id, int cubeMap, bool box, const vec3& boxPosition, const vec3& boxScale) = 0;
    virtual void setSurfaces(int id, const std::vector<STaSurfaceRecord>& records, bool recreateShaders) = 0;
    virtual void updateObjectFromSurfaces(int id) = 0;
    virtual void positionObject(int id, const vec3& p) = 0;
    virtual void rotateObject(int id, const vec3& degrees) = 0;
    virtual void scaleObject(int id, const vec3& percent) = 0;
    virtual int totalObjectFrames(int id) = 0;
    virtual void setObjectFrame(int id, float frame) = 0;
    virtual int objectMorphCount(int id) = 0;
    virtual void setObjectMorph(int id, int count, const int* targets, const float* weights) = 0;

    // --- Lights ---
    virtual int makeLight(int id) = 0;
    virtual bool lightExists(int id) = 0;
    virtual void deleteLight(int id) = 0;
    virtual void showLight(int id) = 0;
    virtual void hideLight(int id) = 0;
    virtual void setDirectionalLight(int id) = 0;
    virtual void setPointLight(int id) = 0;
    virtual void setSpotLight(int id, float inner, float outer) = 0;
    virtual void setLightRange(int id, float range) = 0;
    virtual void colorLight(int id, irr::u32 rgb) = 0;
    virtual void setLightRawColor(int id, const vec3& colour) = 0;
    virtual void setLightIntensity(int id, float intensity) = 0;
    virtual void setLightShadow(int id, bool on) = 0;
    virtual void colorLightShadow(int id, irr::u32 rgb) = 0;
    virtual void setShadowMapSize(int id, int size) = 0;
    virtual void setShadowMapFuzz(int id, float fuzz) = 0;
    // nullptr removes the image; a file that does not load is said by the light.
    virtual void setLightProjectionImage(int id, const char* file) = 0;
    virtual void setLightVolumetric(int id, bool on, bool colourOn, const vec3& colour, int mode) = 0;
    virtual void setLightVolumetricShape(int id, float density, float base) = 0;
    // Cube-map rendering switches a volumetric part off for a moment and clamps it.
    virtual void setLightVolumetricVisible(int id, bool on) = 0;
    virtual void setLightVolumetricClamp(int id, bool on, float value) = 0;
    virtual void positionLight(int id, const vec3& p) = 0;
    virtual void rotateLight(int id, const vec3& degrees) = 0;

    // --- Cube maps ---
    virtual int createCubeMap(int id, int faceSize, bool latLong) = 0;
    virtual void deleteCubeMap(int id) = 0;
    virtual void clearCubeMap(int id) = 0;
    virtual bool cubeMapRendered(int id) = 0;
    virtual int renderCubeMap(int id, const vec3& position) = 0;

    // --- Camera and the scene's look ---
    virtual void setCameraFOV(float degrees) = 0;
    virtual void setCameraDOF(int on, float focalDistance, float fStop) = 0;
    virtual void setCameraAdvancedDOF(int on, float minimum, float maximum, float focused, float radiusScale) = 0;
    virtual void setCameraStereo(int on, float separation, int mode, float focus) = 0;
    virtual void positionCamera(const vec3& p) = 0;
    virtual void rotateCamera(const vec3& degrees) = 0;
    virtual void setCameraRange(float nearPlane, float farPlane) = 0;
    virtual void colorAmbientLight(irr::u32 rgb) = 0;
    virtual void colorBackdrop(irr::u32 rgb) = 0;
    virtual void setDisplayColourSpace(int space) = 0;

    // --- Render settings ---
    virtual void setGlow(int on, float intensity, float radius) = 0;
    // values: glow minimum, colour key (3), colour key match, colourise (3), attenuation, angle, compose.
    virtual void setStreaks(int on, const float* values) = 0;
    virtual void setBloom(int on, float specularMinimum, float compose) = 0;
    // values: distance reach, maximum depth decline, depth aliasing epsilon, output multiplier.
    virtual void setSSAO(int on, const float* values) = 0;
    virtual void setShadowSettings(int on, float epsilon) = 0;
    // values: jitter, location, mode, blending, blending weight, velocity limit on; then the limit.
    virtual void setAntialias(const int* values, float limit) = 0;

    // --- Camera effects (a scene's camera shaders) ---
    virtual bool cameraEffectExists(int id) = 0;
    // From the block's file and compile flags: 0, or -1 with the message kept.
    virtual int makeCameraEffect(int id, const STaEffectParamBlock& block) = 0;
    // The block's values, and its textures with `textures`.
    virtual void setCameraEffectParameters(int id, const STaEffectParamBlock& block, bool textures) = 0;
    virtual void showCameraEffect(int id) = 0;
    virtual void hideCameraEffect(int id) = 0;
    virtual void deleteCameraEffect(int id) = 0;

    // --- Renderers and frames ---
    // The engine's default renderer becomes current.
    virtual void useDefaultRenderer() = 0;
    // One frame rendered off-screen (the scene's textures and shaders warmed).
    virtual void renderOffscreenFrame() = 0;
};

// The engine's operations (one process-wide instance).
ITaSceneOps& taSceneEngineOps();
