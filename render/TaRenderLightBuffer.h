// CTaRenderLightBuffer: draws one light into the light buffer ("LightRTT") with the light-pass
// effect variant of its type and shadow softness, as a full-screen quad or, when the camera is
// clearly outside it, as the sphere or cone around the light.
#pragma once

#include <irrlicht.h>

class CTaEffect;
class CTaEffectManager;
class CTaRenderServices;
class ITaVideoDriverExt;

class CTaRenderLightBuffer
{
public:
    struct SCounters {
        int spot = 0, point = 0, directional = 0, shadowed = 0, fullScreen = 0;
    };

    CTaRenderLightBuffer(irr::IrrlichtDevice* device, CTaRenderServices* services, ITaVideoDriverExt* driverExt);
    ~CTaRenderLightBuffer();
    CTaRenderLightBuffer(const CTaRenderLightBuffer&) = delete;
    CTaRenderLightBuffer& operator=(const CTaRenderLightBuffer&) = delete;

    // The light meshes and the ten light-pass variants of `lightPassFile`: false at the first failure
    // (logged).
    bool init(CTaEffectManager* effects, const char* lightPassFile);
    // The camera of this frame's lights: the driver's current view, its inverse and transposed
    // inverse, the camera's world position and near value.
    void setCamera(irr::scene::ICameraSceneNode* camera);
    // Draws `light` into `target` (not cleared): true when something was drawn. With a shadow map,
    // the light's shadow view-projection and far value place the map.
    bool renderLight(irr::video::ITexture* target, irr::scene::ILightSceneNode* light, irr::video::ITexture* shadowMap,
                     const irr::core::matrix4& shadowViewProjection, float shadowNear, float shadowFar);
    void setDebug(bool debug) { m_debug = debug; }
    bool drawFullScreen(irr::video::ITexture* target, irr::scene::ILightSceneNode* light, CTaEffect* effect);
    bool drawSphere(irr::video::ITexture* target, irr::scene::ILightSceneNode* light, CTaEffect* effect);
    bool drawCone(irr::video::ITexture* target, irr::scene::ILightSceneNode* light, CTaEffect* effect);
    void setEpsilonOverride(bool on, float value)
    {
        m_epsilonOverride = on;
        m_epsilonValue = value;
    }
    void clearCounters() { m_counters = SCounters(); }
    const SCounters& counters() const { return m_counters; }
    // Every light drawn as a full-screen quad (for comparing the volumes with it).
    void setForceFullScreen(bool on) { m_forceFullScreen = on; }
    CTaEffect* effect(int slot) const { return slot >= 0 && slot < 24 ? m_effects[slot] : nullptr; }

private:
    bool drawMesh(irr::scene::IMeshBuffer* buffer, const irr::core::matrix4& world, CTaEffect* effect);
    void useEffect(CTaEffect* effect);

    irr::IrrlichtDevice* m_device;
    irr::video::IVideoDriver* m_driver;
    CTaRenderServices* m_services;
    ITaVideoDriverExt* m_driverExt;
    bool m_debug = false;
    bool m_forceFullScreen = false;
    irr::scene::IMesh* m_sphere = nullptr;
    irr::scene::IMesh* m_cone = nullptr;
    irr::u32 m_record = 0; // the material record the volumes draw with
    irr::video::SMaterial m_material;
    CTaEffect* m_effects[24] = {};
    irr::core::matrix4 m_view, m_viewInverse, m_viewInverseTransposed;
    irr::core::vector3df m_cameraPosition;
    float m_cameraNear = 0;
    bool m_epsilonOverride = false;
    float m_epsilonValue = 0;
    SCounters m_counters;
};

// The unit cone the light stages draw spot lights with: apex at the origin, base of radius 1 at
// z = 1 (4 sides), made from Irrlicht's cone along +Y.
irr::scene::IMesh* taCreateLightConeMesh(const irr::scene::IGeometryCreator* creator);
// The unit sphere (8 x 8 segments) and cone of a light stage, each made when still missing: false,
// with "<stage>: failed to create LightSphereMesh" or "...LightConeMesh", when one cannot be made.
bool taCreateLightMeshes(const irr::scene::IGeometryCreator* creator, irr::scene::IMesh*& sphere,
                         irr::scene::IMesh*& cone, const char* stage);
