// Renderers and their contexts: what draws a frame of the current scene.
#pragma once

#include <irrlicht.h>

// Options every renderer context carries.
struct STaFrameOptions {
    irr::u32 backgroundColour = 0; // ARGB
    bool showDebugBuffers = false;
};

// The plain renderer context: only the frame options (reference-counted the library's way).
class CTaRendererCtx : public irr::IReferenceCounted
{
public:
    STaFrameOptions* getFrameOptions() { return &m_frameOptions; }

private:
    STaFrameOptions m_frameOptions;
};

// A renderer draws the current scene into a final target (nullptr: the window's back buffer).
struct STaRenderSettings;

class ITaRenderer : public irr::IReferenceCounted
{
public:
    virtual bool render(irr::video::ITexture* target) = 0;
    // The effect file and macros a surface of the given material type is drawn with under this
    // renderer: the file name into `effectFile`, the macros into `macros` (room for `*macroCount`
    // entries, a terminating pair included; `*macroCount` becomes the number written). The default:
    // no file, no macros.
    virtual bool getMaterialEffect(char* effectFile, int effectFileSize, struct STaFxMacro* macros, int* macroCount,
                                   irr::video::E_MATERIAL_TYPE materialType);
    virtual bool init(const char* opaqueFile, const char* transparentFile);
    // The frame options of the renderer's context (nullptr without one).
    virtual STaFrameOptions* getFrameOptions() = 0;
    // The render settings the renderer reads, which the engine refreshes every frame (nullptr when
    // it reads none).
    virtual STaRenderSettings* getRenderSettings() { return nullptr; }
    // The chain that runs the shown camera effects over the renderer's frames (nullptr: the renderer
    // draws no camera effects, as the simple renderer).
    virtual class CTaPostChain* getPostChain() { return nullptr; }
};

// The simple renderer: clears the target to the context's background colour and lets the scene
// manager draw everything.
class CTaRendererSimple : public ITaRenderer
{
public:
    CTaRendererSimple(irr::IrrlichtDevice* device, CTaRendererCtx* context);
    ~CTaRendererSimple() override;
    bool render(irr::video::ITexture* target) override;
    STaFrameOptions* getFrameOptions() override;

private:
    irr::IrrlichtDevice* m_device;
    CTaRendererCtx* m_context;
};

// The render settings the engine hands the renderer every frame (from the current scene and the
// script's camera calls).
struct STaRenderSettings {
    bool dofEnabled = false;
    float focalDistance = 0, fStop = 0, dofAdvanced = 0;
    float dofFocalRangeMin = 0, dofFocalRangeMax = 0, dofFocalRangeFocused = 0, dofRadiusScale = 0;
    bool glowEnabled = false;
    float glowIntensity = 0, glowRadius = 0;
    bool glowStreaks = false;
    bool bloomEnabled = false;
    float bloomSpecularMin = 0, bloomCompose = 0;
    bool shadowEpsilonOverride = false;
    float shadowEpsilon = 0;
    bool gammaCorrect = false;
    int antialiasLocation = 1;
    bool baking = false;
    // From the scene shown (its render settings), for the lighting and post stages.
    // glow minimum, colour key (3), key match, colourise (3), attenuation, angle, compose
    float streaks[11] = {0, 1, 1, 1, 0.8f, 0, 0.5f, 1, 0.5f, 0, 1};
    bool ssaoEnabled = false;
    float ssao[4] = {};     // distance reach, maximum depth decline, depth aliasing epsilon, output multiplier
    int antialiasJitter = 0, antialiasMode = 1, antialiasBlending = 0, antialiasBlendingWeight = 0;
    bool antialiasVelocityLimit = false;
    float antialiasVelocityLimitValue = 0;
    int displayColourSpace = 0; // 0 linear, else the display's colour space number of the scene
};
