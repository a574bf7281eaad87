// CTaPostGlow: the glow: what glows in a picture (GlowAlphaMul.hlsl) blurred at half size and on as
// many smaller levels as its radius needs, composed back up and added onto the picture; and
// CTaPostLightStreak, the light streaks that may join it.
#pragma once

#include <irrlicht.h>

#include <memory>

class CTaEffectManager;
class CTaPostEffect;
class CTaRenderServices;

class CTaPostLightStreak
{
public:
    CTaPostLightStreak(irr::IrrlichtDevice* device, CTaRenderServices* services);
    ~CTaPostLightStreak();

    // The max-intensity and draw effects; remembers the compose stage. False (the effect's own message
    // said) when one does not build.
    bool init(CTaEffectManager* effects, const char* maxIntensityFile, const char* drawFile, CTaPostEffect* compose);
    // The streaks of `source` added onto `out`; work 0 and 1 (of one size) carry the six passes, the
    // result ending in work 1. `parameters` are the thirteen streak values (glow minimum, colour key
    // match, colour key rgba, angle in degrees, colorize rgba, attenuation, compose intensity).
    bool run(irr::video::ITexture* out, irr::video::ITexture* source, irr::video::ITexture* work0,
             irr::video::ITexture* work1, const float* parameters);

private:
    std::unique_ptr<CTaPostEffect> m_maxIntensity, m_draw;
    CTaPostEffect* m_compose = nullptr;
};

class CTaPostGlow
{
public:
    // The twelve targets in the order HalfScreen[0], HalfScreen[1], QuarterScreen[0], [1], EighthScreen,
    // SixTeenthScreen, ThirtyTwothScreen, SixtyFourthScreen.
    static constexpr int kTargets = 12;
    // The weights of the 1/8, 1/16 and 1/32 levels for a radius: each level joins as the radius
    // passes 16, 24 and 32 and reaches full weight 16 units later.
    struct SLevels {
        float k, w1, w2, w3;
    };
    static SLevels levels(float radius);

    CTaPostGlow(irr::IrrlichtDevice* device, CTaRenderServices* services);
    ~CTaPostGlow();

    // "GlowAlphaMul.hlsl": "CTaPostGlow failed to load %s" when it does not build. Remembers the stages
    // (not owned), the streak stage and the targets.
    bool init(CTaEffectManager* effects, const char* file, CTaPostEffect* downSample, CTaPostEffect* blur,
              CTaPostEffect* compose, CTaPostLightStreak* streak, irr::video::ITexture* const targets[kTargets]);
    // The glow of `source` added onto `out` with `intensity`; `parameters` are the streak values (used
    // with `streaks`). A source that is the glow's own "HalfScreen[1]" is said and copied into
    // "HalfScreen[0]" first.
    bool run(irr::video::ITexture* out, irr::video::ITexture* source, float radius, float intensity, bool streaks,
             const float* parameters);

private:
    irr::IrrlichtDevice* m_device;
    CTaRenderServices* m_services;
    std::unique_ptr<CTaPostEffect> m_alphaMul;
    CTaPostEffect* m_downSample = nullptr;
    CTaPostEffect* m_blur = nullptr;
    CTaPostEffect* m_compose = nullptr;
    CTaPostLightStreak* m_streak = nullptr;
    irr::video::ITexture* m_targets[kTargets] = {};
};
