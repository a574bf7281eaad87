// CTaRendererCtxAdv: the advanced renderer context: the frame options and render settings of every
// frame, the light-streak parameters, the shadow-map pool, and the semantic map through which the
// post-processing values reach every effect. Its lighting and post-processing stages come with the
// light pre-pass renderer; until then init() stops after the parts above and says so.
#pragma once

#include "render/TaRenderer.h"

#include <string>

class CTaEffectManager;
class ITaEffectBindSemanticMap;

// The files the advanced context is made from: the antialiasing switch and 21 files (the renderers'
// effect files and the two antialiasing pictures) in a fixed order.
struct STaRendererStartupFiles {
    bool antialias = false;
    std::string files[21];
};
// The names of the 21 files in their order.
extern const char* const taRendererStartupFileNames[21];

class CTaRendererCtxAdv : public irr::IReferenceCounted
{
public:
    static constexpr int kShadowMaps = 4;
    struct SShadowMap {
        irr::video::ITexture* texture = nullptr;
        void* owner = nullptr; // the light holding it this frame
    };

    CTaRendererCtxAdv(irr::IrrlichtDevice* device, CTaEffectManager* effects);
    ~CTaRendererCtxAdv() override;

    // In order, stopping with false at the first failure (each logged): the glow targets by name,
    // the shadow maps into the pool, the semantic map with its seven semantics, then the stages.
    bool init(const STaRendererStartupFiles& files);
    bool isInitialised() const { return m_initialised; }
    // The seven semantics from the render settings (once per frame).
    void updateFrame();
    // Every shadow map free again (once per frame).
    void releaseShadowMaps();

    STaFrameOptions* getFrameOptions() { return &m_frameOptions; }
    STaRenderSettings* getRenderSettings() { return &m_renderSettings; }
    float* getStreakParameters() { return m_streak; }
    SShadowMap* getShadowMaps() { return m_shadowMaps; }
    ITaEffectBindSemanticMap* getSemantics() { return m_semantics; }
    bool antialiasEnabled() const { return m_antialias; }

private:
    irr::IrrlichtDevice* m_device;
    CTaEffectManager* m_effects;
    STaFrameOptions m_frameOptions;
    STaRenderSettings m_renderSettings;
    float m_streak[13] = {0, 0.8f, 1, 1, 1, 1, 0, 0, 0.5f, 1, 1, 0.5f, 1};
    SShadowMap m_shadowMaps[kShadowMaps];
    ITaEffectBindSemanticMap* m_semantics = nullptr;
    bool m_antialias = false;
    bool m_initialised = false;
};
