// CTaRenderLightVolumetric: the light that volumetric point and spot lights scatter towards the eye,
// added over the image (after the transparent geometry) from the light's sphere or cone, or from a
// full-screen quad when the camera is inside or the volume would not fit the camera's range.
#pragma once

#include "render/TaRendererCtxAdv.h"

#include <irrlicht.h>

class CTaEffect;
class CTaEffectManager;
class CTaRenderServices;
class ITaVideoDriverExt;

class CTaRenderLightVolumetric
{
public:
    CTaRenderLightVolumetric(irr::IrrlichtDevice* device, CTaRenderServices* services, ITaVideoDriverExt* driverExt);
    ~CTaRenderLightVolumetric();
    CTaRenderLightVolumetric(const CTaRenderLightVolumetric&) = delete;
    CTaRenderLightVolumetric& operator=(const CTaRenderLightVolumetric&) = delete;

    // The meshes, the point effect and the thirteen spot effects: false at the first failure (logged).
    bool init(CTaEffectManager* effects, const char* spotFile, const char* pointFile);
    // Every light of the list whose volumetric part is on, into `target` (not cleared).
    bool renderVolumetricLights(irr::video::ITexture* target, const irr::core::array<irr::scene::ISceneNode*>& lights,
                                const CTaRendererCtxAdv::SShadowMap* pool, int poolSize);
    bool renderVolumetricLight(irr::scene::ILightSceneNode* light, const CTaRendererCtxAdv::SShadowMap* pool, int poolSize);
    bool drawPointVolume(irr::scene::ILightSceneNode* light, CTaEffect* effect);
    bool drawSpotVolume(irr::scene::ILightSceneNode* light, CTaEffect* effect, irr::video::ITexture* shadowMap,
                        irr::video::ITexture* image);
    // The last draw was a full-screen quad (not the light's volume).
    bool lastDrawFullScreen() const { return m_lastFullScreen; }

private:
    void setCommon(irr::scene::ILightSceneNode* light, CTaEffect* effect);
    bool draw(irr::scene::IMeshBuffer* buffer, const irr::core::matrix4* world, CTaEffect* effect,
              irr::video::ITexture* layer1, irr::video::ITexture* layer2);

    irr::IrrlichtDevice* m_device;
    irr::video::IVideoDriver* m_driver;
    CTaRenderServices* m_services;
    ITaVideoDriverExt* m_driverExt;
    irr::scene::IMesh* m_sphere = nullptr;
    irr::scene::IMesh* m_cone = nullptr;
    irr::u32 m_record = 0;
    CTaEffect* m_point = nullptr;
    CTaEffect* m_spot = nullptr;
    CTaEffect* m_spotVariants[12] = {};
    bool m_lastFullScreen = false;
};
