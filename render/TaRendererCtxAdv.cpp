// The advanced renderer context.
#include "render/TaRendererCtxAdv.h"

#include "core/TaLog.h"
#include "effects/TaEffectManager.h"
#include "render/TaPostEffect.h"
#include "render/TaRenderLightBuffer.h"
#include "render/TaRenderLightPass.h"
#include "render/TaRenderLightVolumetric.h"

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
    // Glow, streaks, depth of field and antialiasing come with the rest of the post-processing chain.
    taPrint(ETALOG_INFO, "CTaRendererCtxAdv: the glow, streak, depth-of-field and antialiasing stages are not part "
                         "of this build yet: frames go without them");
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
}

void CTaRendererCtxAdv::releaseShadowMaps()
{
    for (SShadowMap& map : m_shadowMaps)
        map.owner = nullptr;
}
