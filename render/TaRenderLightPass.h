// The light pass: every light of the frame into the light buffer, a shadow-casting spot light first
// rendering its shadow map into an entry of the shadow-map pool (CTaRenderLightShadowMap).
#pragma once

#include "render/TaRendererCtxAdv.h"

#include <irrlicht.h>

class CTaEffect;
class CTaEffectManager;
class CTaRenderLightBuffer;
class CTaRenderServices;

class CTaRenderLightShadowMap
{
public:
    CTaRenderLightShadowMap(irr::IrrlichtDevice* device, CTaRenderServices* services);
    ~CTaRenderLightShadowMap();
    CTaRenderLightShadowMap(const CTaRenderLightShadowMap&) = delete;
    CTaRenderLightShadowMap& operator=(const CTaRenderLightShadowMap&) = delete;

    // The default shadow effect from `shadowDepthFile` and the clear of a shadow map from
    // `clearFile` (its "shadow" technique: colour clears stop at 1, the maps keep depths in world
    // units): false when one does not build (logged).
    bool init(CTaEffectManager* effects, const char* shadowDepthFile, const char* clearFile);
    CTaEffect* defaultEffect() const { return m_defaultEffect; }
    // The clear of the light pre-pass buffers (technique 0) and of a shadow map ("shadow").
    CTaEffect* clearEffect() const { return m_clearEffect; }
    // Renders `light`'s shadow map into `target` (cleared to white and far depth) from the casters
    // that cast shadows, when one of them is in the light's view; false (nothing touched) otherwise.
    // The light's view-projection, near and far values come out.
    bool renderShadowMap(irr::video::ITexture* target, irr::scene::ILightSceneNode* light,
                         const irr::core::array<irr::scene::ISceneNode*>& casters, irr::core::matrix4& viewProjection,
                         float& nearValue, float& farValue);

private:
    irr::IrrlichtDevice* m_device;
    CTaRenderServices* m_services;
    CTaEffect* m_defaultEffect = nullptr;
    CTaEffect* m_clearEffect = nullptr;
    int m_clearTechnique = -1;
};

class CTaRenderLightPass
{
public:
    CTaRenderLightPass(irr::IrrlichtDevice* device, CTaRenderLightBuffer* lights, CTaRenderLightShadowMap* shadows);
    // Clears `target` (colour 0, depth kept) and draws every light of the list into it.
    bool renderLights(irr::video::ITexture* target, const irr::core::array<irr::scene::ISceneNode*>& lights,
                      const irr::core::array<irr::scene::ISceneNode*>& casters, CTaRendererCtxAdv::SShadowMap* pool,
                      int poolSize);
    // One light, with its shadow map when it is a shadow-casting spot light and a caster is in view.
    bool renderOneLight(irr::video::ITexture* target, irr::scene::ILightSceneNode* light,
                        const irr::core::array<irr::scene::ISceneNode*>& casters, CTaRendererCtxAdv::SShadowMap* pool,
                        int poolSize);

private:
    irr::IrrlichtDevice* m_device;
    CTaRenderLightBuffer* m_lights;
    CTaRenderLightShadowMap* m_shadows;
};
