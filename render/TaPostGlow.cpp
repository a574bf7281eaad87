// The glow pyramid and the light streaks.
#include "render/TaPostGlow.h"

#include "core/TaLog.h"
#include "effects/TaEffect.h"
#include "render/TaPostEffect.h"
#include "render/TaRenderServices.h"

#include <algorithm>
#include <cmath>

using namespace irr;

namespace {
enum { kHalf0, kHalf1, kQuarter0, kQuarter1, kEighth0, kEighth1, kSixteenth0, kSixteenth1, kThirtySecond0,
       kThirtySecond1 };

float clamp01(float x)
{
    return std::min(std::max(x, 0.0f), 1.0f);
}
} // namespace

// --- Light streaks -----------------------------------------------------------------------------------

CTaPostLightStreak::CTaPostLightStreak(IrrlichtDevice* device, CTaRenderServices* services)
    : m_maxIntensity(new CTaPostEffect(device, services)), m_draw(new CTaPostEffect(device, services))
{
}

CTaPostLightStreak::~CTaPostLightStreak() = default;

bool CTaPostLightStreak::init(CTaEffectManager* effects, const char* maxIntensityFile, const char* drawFile,
                              CTaPostEffect* compose)
{
    if (!m_maxIntensity->load(effects, maxIntensityFile) || !m_draw->load(effects, drawFile))
        return false;
    m_compose = compose;
    return true;
}

bool CTaPostLightStreak::run(video::ITexture* out, video::ITexture* source, video::ITexture* work0,
                             video::ITexture* work1, const float* p)
{
    if (!m_compose || !m_maxIntensity->effect() || !m_draw->effect() || !out || !source || !work0 || !work1)
        return false;
    CTaEffect* pick = m_maxIntensity->effect();
    const f32 limitAlpha[2] = {std::max(p[0] - 0.02f, 0.0f), std::min(p[0] + 0.02f, 1.0f)};
    const f32 limitColour[2] = {std::max(p[1] - 0.01f, 0.0f), std::min(p[1] + 0.01f, 1.0f)};
    const f32 colourKey[3] = {p[2], p[3], p[4]};
    pick->setFloatArray("limitalpha", limitAlpha, 2);
    pick->setFloatArray("limitcolor", limitColour, 2);
    pick->setFloatArray("colorkey", colourKey, 3);
    m_maxIntensity->run(work1, source);

    CTaEffect* draw = m_draw->effect();
    const float angle = p[6] * 0.017453292f;
    f32 direction[2] = {std::cos(angle), std::sin(angle)};
    const f32 colorize[3] = {p[7], p[8], p[9]};
    draw->setFloatArray("colorize", colorize, 3);
    draw->setFloat("attenuation", 1.0f - 0.1f * p[11]);
    for (int n = 0; n < 6; ++n) {
        if (n == 3) {
            direction[0] = -direction[0];
            direction[1] = -direction[1];
        }
        draw->setFloatArray("direction", direction, 2);
        draw->setFloat("passn", float(n < 3 ? n + 1 : n - 2));
        if (n % 2 == 0)
            m_draw->run(work0, work1);
        else
            m_draw->run(work1, work0);
    }
    return m_compose->compose(out, work1, p[12]);
}

// --- Glow --------------------------------------------------------------------------------------------

CTaPostGlow::SLevels CTaPostGlow::levels(float radius)
{
    SLevels l;
    l.k = radius * 2.0f * 0.0625f;
    const float h = l.k * 0.5f;
    l.w1 = clamp01(h - 1.0f);
    l.w2 = clamp01(h - 1.5f);
    l.w3 = clamp01(h - 2.0f);
    return l;
}

CTaPostGlow::CTaPostGlow(IrrlichtDevice* device, CTaRenderServices* services)
    : m_device(device), m_services(services), m_alphaMul(new CTaPostEffect(device, services))
{
}

CTaPostGlow::~CTaPostGlow() = default;

bool CTaPostGlow::init(CTaEffectManager* effects, const char* file, CTaPostEffect* downSample, CTaPostEffect* blur,
                       CTaPostEffect* compose, CTaPostLightStreak* streak, video::ITexture* const targets[kTargets])
{
    if (!m_alphaMul->load(effects, file)) {
        taPrint(ETALOG_ERROR, "CTaPostGlow failed to load %s", file ? file : "");
        return false;
    }
    m_downSample = downSample;
    m_blur = blur;
    m_compose = compose;
    m_streak = streak;
    std::copy(targets, targets + kTargets, m_targets);
    return true;
}

bool CTaPostGlow::run(video::ITexture* out, video::ITexture* source, float radius, float intensity, bool streaks,
                      const float* parameters)
{
    if (!m_downSample || !m_blur || !m_compose || !m_alphaMul->effect() || !out || !source)
        return false;
    video::ITexture* const* t = m_targets;
    if (source == t[kHalf1]) {
        // The glow buffer cannot be read while it is written: the source goes into its pair first.
        taPrint(ETALOG_ERROR, "CTaPostGlow error: Half Source cannot be set to Texture Half [1]");
        m_device->getVideoDriver()->setRenderTarget(t[kHalf0], false, false);
        m_services->copyTexture(source);
        source = t[kHalf0];
    }
    m_alphaMul->run(t[kHalf1], source);

    const SLevels l = levels(radius);
    m_downSample->downSample(t[kQuarter1], t[kHalf1]);
    if (l.w1 != 0)
        m_downSample->downSample(t[kEighth1], t[kQuarter1]);
    if (l.w2 != 0)
        m_downSample->downSample(t[kSixteenth1], t[kEighth1]);
    if (l.w3 != 0)
        m_downSample->downSample(t[kThirtySecond1], t[kSixteenth1]);

    // Each level blurred once: across from [1] into [0], then down from [0] back into [1].
    const auto blurLevel = [&](int first, float levelRadius, float weight) {
        m_blur->gaussianBlur(t[first], t[first + 1], true, levelRadius, weight);
        m_blur->gaussianBlur(t[first + 1], t[first], false, levelRadius, weight);
    };
    if (l.w3 != 0)
        blurLevel(kThirtySecond0, 16 * l.k, l.w3);
    if (l.w2 != 0)
        blurLevel(kSixteenth0, 8 * l.k, l.w2);
    if (l.w1 != 0)
        blurLevel(kEighth0, 4 * l.k, l.w1);
    blurLevel(kQuarter0, 2 * l.k, 1);
    blurLevel(kHalf0, l.k, 1);

    if (l.w3 != 0)
        m_compose->compose(t[kSixteenth1], t[kThirtySecond1], 1);
    if (l.w2 != 0)
        m_compose->compose(t[kEighth1], t[kSixteenth1], 1);
    if (l.w1 != 0)
        m_compose->compose(t[kQuarter1], t[kEighth1], 1);
    m_compose->compose(t[kHalf1], t[kQuarter1], 1);

    if (streaks && m_streak && parameters)
        m_streak->run(t[kHalf1], source, t[kQuarter0], t[kQuarter1], parameters);
    return m_compose->compose(out, t[kHalf1], intensity);
}
