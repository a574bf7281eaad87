// The advanced renderer context.
#include "render/TaRendererCtxAdv.h"

#include "core/TaLog.h"
#include "effects/TaEffectManager.h"
#include "render/TaPostAntialias.h"
#include "render/TaPostChain.h"
#include "render/TaPostDof.h"
#include "render/TaPostEffect.h"
#include "render/TaPostGlow.h"
#include "render/TaPostSMAA.h"
#include "render/TaRenderLightBuffer.h"
#include "render/TaRenderLightPass.h"
#include "render/TaRenderLightVolumetric.h"

#include <algorithm>

using namespace irr;

const char* const taRendererStartupFileNames[21] = {
    "LppDepthClear.hlsl",    "LppLightPass.hlsl",        "LppShadowDepth.hlsl",
    "GaussianBlur.hlsl",     "DownSampleBlur.hlsl",      "ComposeUpSample.hlsl",
    "LightStreakMaxInt.hlsl", "LightStreakDraw.hlsl",    "GlowAlphaMul.hlsl",
    "DofCocArtist.hlsl",     "DofCocPhysical.hlsl",      "Dof.hlsl",
    "Gamma.hlsl",            "BlendAntialias.hlsl",      "VolumetricSpotLight.hlsl",
    "VolumetricPointLight.hlsl", "SMAA-1-LumaEdgeDetection.fx", "SMAA-2-BlendingWeightCalculation.fx",
    "SMAA-3-NeighborhoodBlending.fx", "AreaTexDX9.png", "SearchTex.png"};

namespace {
const char* const kSemantics[7] = {"BloomSpecMin", "BloomThreshold", "FocalDistance", "FStop",
                                   "DofFocalRangeMin", "DofFocalRangeFocused", "DofFocalRangeMax"};
} // namespace

CTaRendererCtxAdv::CTaRendererCtxAdv(IrrlichtDevice* device, CTaEffectManager* effects, CTaRenderServices* services,
                                     ITaVideoDriverExt* driverExt)
    : m_device(device), m_effects(effects), m_services(services), m_driverExt(driverExt)
{
}

CTaRendererCtxAdv::~CTaRendererCtxAdv()
{
    m_lightPass.reset();
    if (m_semantics)
        m_semantics->drop();
}

bool CTaRendererCtxAdv::init(const STaRendererStartupFiles& files)
{
    if (m_initialised)
        return false;
    video::IVideoDriver* driver = m_device->getVideoDriver();
    static const char* const glow[] = {"HalfScreen[0]", "HalfScreen[1]", "HalfScreen[2]", "QuarterScreen[0]",
                                       "QuarterScreen[1]", "EighthScreen[0]", "EighthScreen[1]",
                                       "SixTeenthScreen[0]", "SixTeenthScreen[1]", "ThirtyTwothScreen[0]",
                                       "ThirtyTwothScreen[1]", "SixtyFourthScreen[0]", "SixtyFourthScreen[1]"};
    for (const char* name : glow)
        if (!driver->findTexture(name)) {
            taPrint(ETALOG_ERROR, "CTaRendererCtxAdv failed to find textures for glow");
            return false;
        }
    static const char* const shadowMaps[kShadowMaps] = {"ShadowMap.256", "ShadowMap.512", "ShadowMap.512.1",
                                                        "ShadowMap.1024"};
    for (int i = 0; i < kShadowMaps; ++i) {
        m_shadowMaps[i].texture = driver->findTexture(shadowMaps[i]);
        m_shadowMaps[i].owner = nullptr;
        if (!m_shadowMaps[i].texture) {
            taPrint(ETALOG_ERROR, "CTaRendererCtxAdv failed to allocate shadow map render targets");
            return false;
        }
    }
    if (!m_semantics) {
        m_semantics = m_effects ? m_effects->createSemanticMap() : nullptr;
        if (!m_semantics) {
            taPrint(ETALOG_ERROR, "CTaRendererCtxAdv failed to create BindSemanticMap");
            return false;
        }
        for (const char* name : kSemantics)
            if (!m_semantics->addSemantic(name, ETASEM_FLOAT)) {
                taPrint(ETALOG_ERROR, "CTaRendererCtxAdv failed to create bind semantics");
                return false;
            }
    }
    m_antialias = files.antialias;
    if (!m_services) {
        taPrint(ETALOG_ERROR, "CTaRendererCtxAdv: no render services for the lighting stages");
        return false;
    }
    // The lighting stages, each once.
    if (!m_lightBuffer) {
        m_lightBuffer.reset(new CTaRenderLightBuffer(m_device, m_services, m_driverExt));
        if (!m_lightBuffer->init(m_effects, files.files[1].c_str())) {
            m_lightBuffer.reset();
            return false;
        }
    }
    if (!m_shadowMapRenderer) {
        m_shadowMapRenderer.reset(new CTaRenderLightShadowMap(m_device, m_services));
        if (!m_shadowMapRenderer->init(m_effects, files.files[2].c_str(), files.files[0].c_str())) {
            m_shadowMapRenderer.reset();
            return false;
        }
    }
    if (!m_lightPass)
        m_lightPass.reset(new CTaRenderLightPass(m_device, m_lightBuffer.get(), m_shadowMapRenderer.get()));
    if (!m_volumetric) {
        m_volumetric.reset(new CTaRenderLightVolumetric(m_device, m_services, m_driverExt));
        if (!m_volumetric->init(m_effects, files.files[14].c_str(), files.files[15].c_str())) {
            m_volumetric.reset();
            return false;
        }
    }
    // The one-effect post stages, each once: depth clear, Gaussian blur, down-sample, compose, gamma.
    struct SStage {
        std::unique_ptr<CTaPostEffect>& stage;
        int file;
    } stages[] = {{m_depthClear, 0}, {m_gaussianBlur, 3}, {m_downSample, 4}, {m_compose, 5}, {m_gamma, 12}};
    for (SStage& s : stages) {
        if (s.stage)
            continue;
        s.stage.reset(new CTaPostEffect(m_device, m_services));
        if (!s.stage->load(m_effects, files.files[s.file].c_str())) {
            s.stage.reset();
            return false;
        }
    }
    if (!m_streakStage) {
        m_streakStage.reset(new CTaPostLightStreak(m_device, m_services));
        if (!m_streakStage->init(m_effects, files.files[6].c_str(), files.files[7].c_str(), m_compose.get())) {
            m_streakStage.reset();
            return false;
        }
    }
    if (!m_glow) {
        video::ITexture* targets[CTaPostGlow::kTargets];
        for (int i = 0, j = 0; i < int(sizeof glow / sizeof *glow); ++i)
            if (i != 2) // HalfScreen[2] is the frame's glow source, not the glow's own
                targets[j++] = driver->findTexture(glow[i]);
        m_glow.reset(new CTaPostGlow(m_device, m_services));
        if (!m_glow->init(m_effects, files.files[8].c_str(), m_downSample.get(), m_gaussianBlur.get(), m_compose.get(),
                          m_streakStage.get(), targets)) {
            m_glow.reset();
            return false;
        }
    }
    if (!m_dof) {
        m_dof.reset(new CTaPostDof(m_device, m_services));
        if (!m_dof->init(m_effects, files.files[9].c_str(), files.files[10].c_str(), files.files[11].c_str())) {
            m_dof.reset();
            return false;
        }
    }
    if (m_antialias && !m_smaa) {
        const char* const smaaFiles[6] = {files.files[16].c_str(), files.files[17].c_str(), files.files[18].c_str(),
                                          files.files[12].c_str(), files.files[19].c_str(), files.files[20].c_str()};
        m_smaa.reset(new CTaPostSMAA(m_device, m_services, m_driverExt, m_effects->textureManager()));
        if (!m_smaa->init(m_effects, smaaFiles)) {
            m_smaa.reset();
            return false;
        }
    }
    if (m_antialias && !m_antialiasHistory) {
        m_antialiasHistory.reset(new CTaPostAntialias(m_device, m_services));
        if (!m_antialiasHistory->init(m_effects, files.files[13].c_str(), m_smaa.get())) {
            m_antialiasHistory.reset();
            return false;
        }
    }
    if (!m_postChain)
        m_postChain.reset(new CTaPostChain(m_device));
    m_initialised = true;
    return true;
}

void CTaRendererCtxAdv::updateFrame()
{
    if (!m_semantics)
        return;
    const STaRenderSettings& s = m_renderSettings;
    const float values[7] = {s.bloomEnabled ? s.bloomSpecularMin : 2.0f,
                             s.bloomEnabled ? 1.0f - s.bloomCompose : 1.0f,
                             s.focalDistance,
                             s.fStop,
                             s.dofFocalRangeMin,
                             s.dofFocalRangeFocused,
                             s.dofFocalRangeMax};
    for (int i = 0; i < 7; ++i)
        m_semantics->setFloat(kSemantics[i], values[i]);
    // The streak values in the order the streak passes read them, and the antialiasing settings.
    const float* k = s.streaks;
    const float streak[13] = {k[0], k[4], k[1], k[2], k[3], 1, k[9], k[5], k[6], k[7], 1, k[8], k[10]};
    std::copy(streak, streak + 13, m_streak);
    if (m_antialiasHistory) {
        CTaPostAntialias& a = *m_antialiasHistory;
        a.mode = s.antialiasMode;
        a.jitter = s.antialiasJitter;
        a.blending = s.antialiasBlending;
        a.blendingWeight = s.antialiasBlendingWeight;
        a.vlimitEnable = s.antialiasVelocityLimit;
        a.vlimitValue = s.antialiasVelocityLimitValue;
    }
}

void CTaRendererCtxAdv::releaseShadowMaps()
{
    for (SShadowMap& map : m_shadowMaps)
        map.owner = nullptr;
}
