// CTaPostDof: depth of field: a circle of confusion per pixel from the depth buffer (the physical
// lens model or the artist's focal ranges), then two blurs along directions 60 degrees apart whose
// radius follows it.
#pragma once

#include <irrlicht.h>

#include <memory>

class CTaEffectManager;
class CTaPostEffect;
class CTaRenderServices;

class CTaPostDof
{
public:
    CTaPostDof(irr::IrrlichtDevice* device, CTaRenderServices* services);
    ~CTaPostDof();
    CTaPostDof(const CTaPostDof&) = delete;
    CTaPostDof& operator=(const CTaPostDof&) = delete;

    // The three effects in this order: artist, physical, blur.
    bool init(CTaEffectManager* effects, const char* artistFile, const char* physicalFile, const char* blurFile);
    // From `source` into `out` with the depth buffer `depth`; `work` holds the circle of confusion and
    // `source` is overwritten by the first blur.
    bool runPhysical(irr::video::ITexture* out, irr::video::ITexture* source, irr::video::ITexture* depth,
                     irr::video::ITexture* work);
    bool runArtist(irr::video::ITexture* out, irr::video::ITexture* source, irr::video::ITexture* depth,
                   irr::video::ITexture* work, float radiusScale);

private:
    // The circle of confusion into `work`, the first blur into `source`, the second into `out`.
    bool run(CTaPostEffect* circleOfConfusion, irr::video::ITexture* out, irr::video::ITexture* source,
             irr::video::ITexture* depth, irr::video::ITexture* work, float radiusScale);

    irr::IrrlichtDevice* m_device;
    CTaRenderServices* m_services;
    std::unique_ptr<CTaPostEffect> m_artist, m_physical, m_blur;
};
