// The engine's implementation of the operations scenes call.
#include "scene/TaSceneOps.h"

#include "core/TaLog.h"
#include "effects/TaEffectParams.h"
#include "engine/TaCamera.h"
#include "engine/TaCameraEffects.h"
#include "engine/TaEngine.h"
#include "render/TaCubeMap.h"
#include "scene/TaCubeMaps.h"
#include "scene/TaObjects.h"
#include "scene/TaSurfaces.h"

namespace {

class CTaSceneEngineOps final : public ITaSceneOps
{
public:
    std::string takeMessage() override
    {
        std::string message;
        message.swap(m_message);
        return message;
    }

    bool objectExists(int id) override { return ObjectExist(id); }
    int loadObject(int id, const char* file) override { return keep(LoadObject(file, id)); }
    int loadPointCloud(int id, const char* file, int points) override
    {
        return keep(taLoadPointCloudObject(file, id, points));
    }
    int cloneObject(int id, int source) override { return keep(CloneObject(id, source)); }
    int instanceObject(int id, int source) override { return keep(InstanceObject(id, source)); }
    void deleteObject(int id) override { DeleteObject(id); }
    void showObject(int id) override { keep(ShowObject(id)); }
    void hideObject(int id) override { keep(HideObject(id)); }
    void lockObjectOn(int id) override { keep(LockObjectOn(id)); }
    void setObjectShadowCaster(int id, bool on) override { keep(taSetObjectShadowCaster(id, on)); }
    void setObjectSelectionMask(int id, unsigned mask) override { keep(taSetObjectSelectionMask(id, mask)); }
    void setObjectVertexTexture(int id, const char* name, unsigned options) override
    {
        keep(taObjectVertexTexture(id, name, options));
    }
    void setObjectCubeMap(int id, int cubeMap, bool box, const vec3& boxPosition, const vec3& boxScale) override
    {
        ITaCubeMap* cube = taGetCubeMap(cubeMap);
        if (keep(cube ? 0 : -1) == 0)
            keep(taSetObjectCubeMap(id, cube, box, boxPosition, boxScale));
    }
    void setSurfaces(int id, const std::vector<STaSurfaceRecord>& records, bool recreateShaders) override
    {
        keep(SetSurfaces(id, int(records.size()), records.data(), recreateShaders));
    }
    void updateObjectFromSurfaces(int id) override { keep(UpdateObjectFromSurfaces(id)); }
    void positionObject(int id, const vec3& p) override { keep(PositionObject(id, p.X, p.Y, p.Z)); }
    void rotateObject(int id, const vec3& r) override { keep(RotateObject(id, r.X, r.Y, r.Z)); }
    void scaleObject(int id, const vec3& s) override { keep(ScaleObject(id, s.X, s.Y, s.Z)); }
    int totalObjectFrames(int id) override
    {
        const int frames = TotalObjectFrames(id);
        keep(0);
        return frames;
    }
    void setObjectFrame(int id, float frame) override { keep(SetObjectFrame(id, frame)); }
    // Morph meshes are not part of this build yet: no object has morph targets.
    int objectMorphCount(int) override { return 0; }
    void setObjectMorph(int, int, const int*, const float*) override {}

    int makeLight(int id) override { return keep(MakeLight(id)); }
    bool lightExists(int id) override { return LightExist(id); }
    void deleteLight(int id) override { DeleteLight(id); }
    void showLight(int id) override { keep(ShowLight(id)); }
    void hideLight(int id) override { keep(HideLight(id)); }
    void setDirectionalLight(int id) override { keep(SetDirectionalLight(id, 0, 0, 1)); }
    void setPointLight(int id) override { keep(SetPointLight(id, 0, 0, 1)); }
    void setSpotLight(int id, float inner, float outer) override { keep(SetSpotLight(id, inner, outer)); }
    void setLightRange(int id, float range) override { keep(SetLightRange(id, range)); }
    void colorLight(int id, irr::u32 rgb) override { keep(ColorLight(id, rgb)); }
    void setLightRawColor(int id, const vec3& c) override { keep(SetLightRawColor(id, c.X, c.Y, c.Z)); }
    void setLightIntensity(int id, float intensity) override { keep(SetLightIntensity(id, intensity)); }
    void setLightShadow(int id, bool on) override { keep(SetLightShadow(id, on)); }
    void colorLightShadow(int id, irr::u32 rgb) override { keep(ColorLightShadow(id, rgb)); }
    void setShadowMapSize(int id, int size) override { keep(SetShadowMapSize(id, size)); }
    void setShadowMapFuzz(int id, float fuzz) override { keep(SetShadowMapFuzz(id, fuzz)); }
    void setLightProjectionImage(int id, const char* file) override { keep(taSetLightProjectionImage(id, file)); }
    void setLightVolumetric(int id, bool on, bool colourOn, const vec3& colour, int mode) override
    {
        keep(taSetLightVolumetric(id, on, colourOn, colour, mode));
    }
    void setLightVolumetricShape(int id, float density, float base) override
    {
        keep(taSetLightVolumetricShape(id, density, base));
    }
    void setLightVolumetricVisible(int id, bool on) override { keep(taSetLightVolumetricVisible(id, on)); }
    void setLightVolumetricClamp(int id, bool on, float value) override
    {
        keep(taSetLightVolumetricClamp(id, on, value));
    }
    void positionLight(int id, const vec3& p) override { keep(PositionLight(id, p.X, p.Y, p.Z)); }
    void rotateLight(int id, const vec3& r) override { keep(RotateLight(id, r.X, r.Y, r.Z)); }

    int createCubeMap(int id, int faceSize, bool latLong) override
    {
        return keep(faceSize > 0 ? taCreateCubeMap(id, irr::u32(faceSize), latLong) : -1);
    }
    void deleteCubeMap(int id) override { taDeleteCubeMap(id); }
    void clearCubeMap(int id) override { keep(taClearCubeMap(id)); }
    bool cubeMapRendered(int id) override { return taCubeMapRendered(id); }
    int renderCubeMap(int id, const vec3& position) override { return keep(taRenderCubeMap(id, position)); }

    void setCameraFOV(float degrees) override { SetCameraFOV(degrees); }
    void setCameraDOF(int on, float focalDistance, float fStop) override { SetCameraDOF(on, focalDistance, fStop); }
    void setCameraAdvancedDOF(int on, float minimum, float maximum, float focused, float radiusScale) override
    {
        SetCameraAdvancedDOF(on, minimum, maximum, focused, radiusScale);
    }
    void setCameraStereo(int on, float separation, int mode, float focus) override
    {
        SetCameraStereo(on, separation, mode, focus);
    }
    void positionCamera(const vec3& p) override { PositionCamera(p.X, p.Y, p.Z); }
    void rotateCamera(const vec3& r) override { RotateCamera(r.X, r.Y, r.Z); }
    void setCameraRange(float nearPlane, float farPlane) override { SetCameraRange(nearPlane, farPlane); }
    void colorAmbientLight(irr::u32 rgb) override { ColorAmbientLight(rgb); }
    void colorBackdrop(irr::u32 rgb) override { ColorBackdrop(rgb); }
    void setDisplayColourSpace(int space) override { taEngine().renderSettings.displayColourSpace = space; }

    void setGlow(int on, float intensity, float radius) override
    {
        STaRenderSettings& r = taEngine().renderSettings;
        r.glowEnabled = on != 0;
        r.glowIntensity = intensity;
        r.glowRadius = radius;
    }
    void setStreaks(int on, const float* values) override
    {
        STaRenderSettings& r = taEngine().renderSettings;
        r.glowStreaks = on != 0;
        if (on)
            for (int i = 0; i < 11; ++i)
                r.streaks[i] = values[i];
    }
    void setBloom(int on, float specularMinimum, float compose) override
    {
        STaRenderSettings& r = taEngine().renderSettings;
        r.bloomEnabled = on != 0;
        if (on) {
            r.bloomSpecularMin = specularMinimum;
            r.bloomCompose = compose;
        }
    }
    void setSSAO(int on, const float* values) override
    {
        STaRenderSettings& r = taEngine().renderSettings;
        r.ssaoEnabled = on != 0;
        if (on)
            for (int i = 0; i < 4; ++i)
                r.ssao[i] = values[i];
    }
    void setShadowSettings(int on, float epsilon) override
    {
        STaRenderSettings& r = taEngine().renderSettings;
        r.shadowEpsilonOverride = on != 0;
        if (on)
            r.shadowEpsilon = epsilon;
    }
    void setAntialias(const int* v, float limit) override
    {
        STaRenderSettings& r = taEngine().renderSettings;
        r.antialiasJitter = v[0];
        r.antialiasLocation = v[1];
        r.antialiasMode = v[2];
        r.antialiasBlending = v[3];
        r.antialiasBlendingWeight = v[4];
        r.antialiasVelocityLimit = v[5] != 0;
        r.antialiasVelocityLimitValue = limit;
    }

    bool cameraEffectExists(int id) override { return CameraEffectExist(id); }
    int makeCameraEffect(int id, const STaEffectParamBlock& block) override
    {
        return keep(taMakeCameraEffect(id, block.fileName.c_str(), block.compileFlags.c_str()));
    }
    void setCameraEffectParameters(int id, const STaEffectParamBlock& block, bool textures) override
    {
        if (!taApplyCameraEffectParameters(id, block, textures))
            keep(-1);
    }
    void showCameraEffect(int id) override { keep(ShowCameraEffect(id)); }
    void hideCameraEffect(int id) override { keep(HideCameraEffect(id)); }
    void deleteCameraEffect(int id) override { DeleteCameraEffect(id); }

    void useDefaultRenderer() override { taSetCurrentRenderer(nullptr); }
    void renderOffscreenFrame() override
    {
        STaEngineContext& engine = taEngine();
        if (!engine.started || !engine.videoDriver ||
            !engine.videoDriver->queryFeature(irr::video::EVDF_RENDER_TO_TARGET))
            return;
        irr::video::ITexture* target =
            engine.videoDriver->addRenderTargetTexture(engine.videoDriver->getScreenSize(), "TaScenePrepareFrame");
        if (!target)
            return;
        taRenderToTarget(target);
        engine.videoDriver->removeTexture(target);
    }

private:
    // Moves a failing operation's message from the last error to this object's own.
    int keep(int result)
    {
        int code = 0;
        if (const char* text = taGetLastError(&code)) {
            m_message = text;
            taClearLastError();
        } else if (result != 0 && m_message.empty()) {
            m_message = "failed";
        }
        return result;
    }

    std::string m_message;
};

} // namespace

ITaSceneOps& taSceneEngineOps()
{
    static CTaSceneEngineOps ops;
    return ops;
}
