// CTaPostEffect: one full-screen effect of the post-processing chain, drawn on the engine's screen
// quad into a render target with up to two inputs; and the one-effect stages built on it (down-sample,
// compose, Gaussian blur, gamma), each a CTaPostEffect of its own file.
#pragma once

#include <irrlicht.h>

class CTaEffect;
class CTaEffectManager;
class CTaRenderServices;
struct STaFxMacro;

class CTaPostEffect
{
public:
    CTaPostEffect(irr::IrrlichtDevice* device, CTaRenderServices* services);
    ~CTaPostEffect();
    CTaPostEffect(const CTaPostEffect&) = delete;
    CTaPostEffect& operator=(const CTaPostEffect&) = delete;

    // Builds the effect of `file` (default base material, the macros or none) and sets it: false
    // with "CTaPostEffect failed to load %s" when it does not build.
    bool load(CTaEffectManager* effects, const char* file, const STaFxMacro* macros = nullptr);
    // Holds `effect` (a reference taken) in place of the one held.
    void setEffect(CTaEffect* effect);
    CTaEffect* effect() const { return m_effect; }

    // Makes `target` the render target (not cleared), puts the inputs in texture layers 0 and 1 and
    // draws technique 0, pass 0 over the whole target. False without an effect or target.
    bool run(irr::video::ITexture* target, irr::video::ITexture* input0, irr::video::ITexture* input1 = nullptr);
    // Draws into whatever targets are bound (the depth clear of several targets at once).
    bool draw();

    // --- The one-effect stages ---
    // Down-sample ("DownSampleBlur.hlsl") and gamma ("Gamma.hlsl"): source into target.
    bool downSample(irr::video::ITexture* target, irr::video::ITexture* source) { return run(target, source); }
    bool gamma(irr::video::ITexture* target, irr::video::ITexture* source) { return run(target, source); }
    // Compose ("ComposeUpSample.hlsl"): source added onto target, scaled by `intensity`.
    bool compose(irr::video::ITexture* target, irr::video::ITexture* source, float intensity);
    // Gaussian blur ("GaussianBlur.hlsl"): across (horizontal) or down, over `radius` target pixels,
    // scaled by `weight`.
    bool gaussianBlur(irr::video::ITexture* target, irr::video::ITexture* source, bool horizontal, float radius,
                      float weight);

private:
    irr::IrrlichtDevice* m_device;
    CTaRenderServices* m_services;
    CTaEffect* m_effect = nullptr;
};
