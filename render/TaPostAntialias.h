// CTaPostAntialias: temporal antialiasing (SMAA of the frame, then a blend with the history of the
// frames before, plain or reprojected through the previous frame's camera) and the sub-pixel jitter
// of the projection that feeds it.
#pragma once

#include <irrlicht.h>

#include <memory>

class CTaEffectManager;
class CTaPostEffect;
class CTaPostSMAA;
class CTaRenderServices;

class CTaPostAntialias
{
public:
    // The antialiasing settings, rewritten every frame from the engine's.
    int mode = 1;           // 1: SMAA on
    int jitter = 0;         // 0 none, 1 two samples, 2 four, 3 eight, other values random
    int blending = 0;       // 0 none, 2 reprojected through the camera, other values plain
    int blendingWeight = 0; // the current frame's weight (see blendWeight)
    bool vlimitEnable = false;
    float vlimitValue = 0;

    CTaPostAntialias(irr::IrrlichtDevice* device, CTaRenderServices* services);
    ~CTaPostAntialias();
    CTaPostAntialias(const CTaPostAntialias&) = delete;
    CTaPostAntialias& operator=(const CTaPostAntialias&) = delete;

    // The three blend effects of `blendFile` (plain, reprojected, reprojected with the velocity
    // limit): "CTaPostAntialias failed to load %s" and false at the first failure. Remembers `smaa`.
    bool init(CTaEffectManager* effects, const char* blendFile, CTaPostSMAA* smaa);
    bool available() const { return mode != 0 || blending != 0; }
    // The weight of the current frame in the blend: 1 on a camera cut.
    float blendWeight(bool cameraCut) const;
    // SMAA and history blending; returns the texture holding the result.
    irr::video::ITexture* run(irr::video::ITexture* destination, irr::video::ITexture* source,
                              irr::video::ITexture* work, irr::video::ITexture* history, bool outputIsBackBuffer,
                              bool sourceIsLinear, bool cameraCut);

    // The projection offset of sample `sampleIndex` for the jitter setting: identity with a
    // translation of (2x / width, 2y / height) for a sub-pixel offset (x, y).
    static irr::core::matrix4 jitterMatrix(int jitter, unsigned sampleIndex, unsigned width, unsigned height);
    // The sub-pixel offset itself, in pixels.
    static irr::core::vector2df jitterOffset(int jitter, unsigned sampleIndex);
    // The random jitter's generator, engine-wide; its seed starts at 0.
    static void resetRandomJitter();

private:
    static constexpr int kBlendVariants = 3;

    irr::IrrlichtDevice* m_device;
    CTaRenderServices* m_services;
    CTaPostSMAA* m_smaa = nullptr;
    std::unique_ptr<CTaPostEffect> m_blend[kBlendVariants]; // plain, reprojected, reprojected and limited
};
