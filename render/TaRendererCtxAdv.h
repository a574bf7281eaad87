// CTaRendererCtxAdv: the advanced renderer context: the frame options and render settings of every
// frame, the light-streak parameters, the shadow-map pool, and the semantic map through which the
// post-processing values reach every effect, and the lighting stages (light buffer, shadow maps,
// light pass, volumetric lights) and the post-processing stages (the one-effect passes, glow with light
// streaks, depth of field, SMAA and temporal antialiasing, the post chain of the camera effects).
#pragma once

#include "render/TaRenderer.h"

#include <memory>
#include <string>

class CTaEffectManager;
class CTaRenderLightBuffer;
class CTaRenderLightPass;
class CTaRenderLightShadowMap;
class CTaRenderLightVolumetric;
class CTaPostAntialias;
class CTaPostChain;
class CTaPostDof;
class CTaPostEffect;
class CTaPostGlow;
class CTaPostLightStreak;
class CTaPostSMAA;
class CTaRenderServices;
class ITaEffectBindSemanticMap;
class ITaVideoDriverExt;

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

    // Without render services the context has no lighting stages (init stops before them).
    CTaRendererCtxAdv(irr::IrrlichtDevice* device, CTaEffectManager* effects, CTaRenderServices* services = nullptr,
                      ITaVideoDriverExt* driverExt = nullptr);
    ~CTaRendererCtxAdv() override;

    // In order, stopping with false at the first failure (each logged): the glow targets by name,
    // the shadow maps into the pool, the semantic map with its seven semantics, then the lighting
    // stages from files 0 to 2, 14 and 15, the post stages (one-effect passes, streaks, glow, depth of
    // field) and, with antialiasing, SMAA and temporal antialiasing.
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
    CTaRenderLightBuffer* lightBuffer() { return m_lightBuffer.get(); }
    CTaRenderLightShadowMap* shadowMapRenderer() { return m_shadowMapRenderer.get(); }
    CTaRenderLightPass* lightPass() { return m_lightPass.get(); }
    CTaRenderLightVolumetric* volumetric() { return m_volumetric.get(); }
    // The one-effect post stages: depth clear, Gaussian blur, down-sample, compose, gamma.
    CTaPostEffect* depthClear() { return m_depthClear.get(); }
    CTaPostEffect* gaussianBlur() { return m_gaussianBlur.get(); }
    CTaPostEffect* downSample() { return m_downSample.get(); }
    CTaPostEffect* compose() { return m_compose.get(); }
    CTaPostEffect* gamma() { return m_gamma.get(); }
    CTaPostLightStreak* lightStreak() { return m_streakStage.get(); }
    CTaPostGlow* glow() { return m_glow.get(); }
    CTaPostDof* depthOfField() { return m_dof.get(); }
    // Null unless the context was made with antialiasing.
    CTaPostSMAA* smaa() { return m_smaa.get(); }
    CTaPostAntialias* getAntialiasHistory() { return m_antialiasHistory.get(); }
    CTaPostChain* postChain() { return m_postChain.get(); }

private:
    irr::IrrlichtDevice* m_device;
    CTaEffectManager* m_effects;
    CTaRenderServices* m_services;
    ITaVideoDriverExt* m_driverExt;
    std::unique_ptr<CTaRenderLightBuffer> m_lightBuffer;
    std::unique_ptr<CTaRenderLightShadowMap> m_shadowMapRenderer;
    std::unique_ptr<CTaRenderLightPass> m_lightPass;
    std::unique_ptr<CTaRenderLightVolumetric> m_volumetric;
    std::unique_ptr<CTaPostEffect> m_depthClear, m_gaussianBlur, m_downSample, m_compose, m_gamma;
    std::unique_ptr<CTaPostLightStreak> m_streakStage;
    std::unique_ptr<CTaPostGlow> m_glow;
    std::unique_ptr<CTaPostDof> m_dof;
    std::unique_ptr<CTaPostSMAA> m_smaa;
    std::unique_ptr<CTaPostAntialias> m_antialiasHistory;
    std::unique_ptr<CTaPostChain> m_postChain;
    STaFrameOptions m_frameOptions;
    STaRenderSettings m_renderSettings;
    float m_streak[13] = {0, 0.8f, 1, 1, 1, 1, 0, 0, 0.5f, 1, 1, 0.5f, 1};
    SShadowMap m_shadowMaps[kShadowMaps];
    ITaEffectBindSemanticMap* m_semantics = nullptr;
    bool m_antialias = false;
    bool m_initialised = false;
};
