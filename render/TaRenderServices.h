// CTaRenderServices: drawing operations shared by every renderer.
#pragma once

#include "driver/TaVideoDriverExt.h"

class CTaRendererManager;

class CTaRenderServices
{
public:
    CTaRenderServices(irr::IrrlichtDevice* device, ITaVideoDriverExt* driverExt);
    virtual ~CTaRenderServices();

    // False when the services could not be built; the engine does not start then.
    bool isValid() const { return m_valid; }

    // Several render targets at once; count 0 or a null first texture selects the back buffer.
    // Nothing is cleared.
    virtual bool setRenderTargets(irr::video::ITexture** textures, int count);
    // Draws the texture over the whole current render target.
    virtual void copyTexture(irr::video::ITexture* texture);
    // Draws the full-screen quad with `material` (its own states: lighting and depth writes off,
    // depth test always, both faces): clip-space corners (-1, -1) to (1, 1) at depth 0, texture
    // coordinates (0, 0) at the top left, identity transforms.
    void drawScreenQuad(irr::video::SMaterial material);

private:
    irr::IrrlichtDevice* m_device;
    [[maybe_unused]] ITaVideoDriverExt* m_driverExt; // the raw states its passes set
    bool m_valid = true;
};
