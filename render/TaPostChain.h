// CTaPostChain: the camera effects shown this frame, run one after the other as full-screen passes
// that ping-pong between two textures. An effect runs in the chain whose render name its technique's
// "render" annotation gives (none: the final chain), may draw into a texture of its own
// ("rendertarget"), and one that reads the glow ("GlowRTT") runs only while the glow is on.
#pragma once

#include <irrlicht.h>

#include <vector>

class CTaEffect;
class CTaRenderServices;

class CTaPostChain
{
public:
    explicit CTaPostChain(irr::IrrlichtDevice* device);
    virtual ~CTaPostChain();
    CTaPostChain(const CTaPostChain&) = delete;
    CTaPostChain& operator=(const CTaPostChain&) = delete;

    // Takes references to the new effects, then lets go of the old ones.
    virtual void setEffects(const std::vector<CTaEffect*>& effects);
    const std::vector<CTaEffect*>& effects() const { return m_effects; }
    // Runs the effects from `source`, `destination` (or `work` when there is none or it is the
    // source) being the other texture of the pair; the result is made the render target and returned.
    // No effects: the source, nothing drawn. `renderName` null for the final chain. With `copy` (or
    // when the destination is the source) the result is copied into the destination when it ended in
    // the other texture. `glowBuffer` is bound to effects that read "GlowRTT" (null: the glow is off
    // and they are skipped).
    virtual irr::video::ITexture* run(CTaRenderServices* services, irr::video::ITexture* destination,
                                      irr::video::ITexture* source, irr::video::ITexture* work, const char* renderName,
                                      bool copy, irr::video::ITexture* glowBuffer);

private:
    // One effect from `input` into `target`: true when it drew there (the pair swaps).
    bool runEffect(CTaRenderServices* services, CTaEffect* effect, irr::video::ITexture* target,
                   irr::video::ITexture* input, const char* renderName, irr::video::ITexture* glowBuffer);

    irr::IrrlichtDevice* m_device;
    std::vector<CTaEffect*> m_effects;
};
