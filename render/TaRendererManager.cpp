// The renderer manager.
#include "render/TaRendererManager.h"

#include "core/TaLog.h"
#include "driver/TaVideoDriverExt.h"
#include "render/TaRendererCtxAdv.h"
#include "render/TaRendererLpp.h"

#include <algorithm>

#include <cmath>

using namespace irr;

void CTaLastFrameInfo::update(u32 nowMs, const core::matrix4& view, const core::matrix4& projection)
{
    m_view = view;
    m_projection = projection;
    if (!m_started) {
        m_started = true;
        m_previous = nowMs;
        return;
    }
    const u32 duration = nowMs - m_previous;
    m_previous = nowMs;
    if (m_count == kFrames)
        m_total -= m_durations[m_next];
    else
        ++m_count;
    m_durations[m_next] = duration;
    m_total += duration;
    m_next = (m_next + 1) % kFrames;
    m_averageSeconds = static_cast<float>(m_total) / (m_count * 1000.0f);
    m_framesPerSecond = m_averageSeconds > 0 ? 1.0f / m_averageSeconds : 0.0f;
}

bool CTaLastFrameInfo::isCameraCut(const core::matrix4& view, float maxDistance, float maxAngleDegrees) const
{
    core::matrix4 current, previous;
    if (!view.getInverse(current))
        current = view;
    if (!m_view.getInverse(previous))
        previous = m_view;
    if (current.getTranslation().getDistanceFromSQ(previous.getTranslation()) > maxDistance * maxDistance)
        return true;
    core::vector3df u(0, 0, 1), v(0, 0, 1);
    current.rotateVect(u);
    previous.rotateVect(v);
    const float lengths = u.getLength() * v.getLength();
    if (lengths <= 0.0f)
        return false;
    // Rounding can take the cosine of two equal directions past 1.
    const float cosine = core::clamp(u.dotProduct(v) / lengths, -1.0f, 1.0f);
    return std::fabs(std::acos(cosine) * 57.29578f) > maxAngleDegrees;
}

CTaRendererManager::CTaRendererManager(IrrlichtDevice* device, ITaVideoDriverExt* driverExt)
    : m_device(device), m_driverExt(driverExt)
{
}

CTaRendererManager::~CTaRendererManager() = default;

std::vector<STaRenderTargetSpec> taRenderTargetTable(video::ECOLOR_FORMAT format, const core::dimension2du& screen)
{
    // Shifted sides of at least 1: a small screen still gets targets the driver can make.
    auto shifted = [&screen](int shift) {
        return core::dimension2du(std::max(screen.Width >> shift, 1u), std::max(screen.Height >> shift, 1u));
    };
    std::vector<STaRenderTargetSpec> table;
    auto add = [&table](const std::string& name, core::dimension2du size, video::ECOLOR_FORMAT f, bool own) {
        table.push_back({name, size, f, own});
    };
    for (int i = 0; i < 4; ++i)
        add("BackRTT[" + std::to_string(i) + "]", shifted(0), format, false);
    add("DepthRTT", shifted(0), video::ECF_R32F, false);
    add("NormalRTT", shifted(0), format, false);
    add("LightRTT", shifted(0), format, false);
    for (int i = 0; i < 3; ++i)
        add("HalfScreen[" + std::to_string(i) + "]", shifted(1), format, false);
    static const char* const pairs[] = {"QuarterScreen", "EighthScreen", "SixTeenthScreen", "ThirtyTwothScreen",
                                        "SixtyFourthScreen"};
    for (int p = 0; p < 5; ++p)
        for (int i = 0; i < 2; ++i)
            add(std::string(pairs[p]) + "[" + std::to_string(i) + "]", shifted(p + 2), format, false);
    add("QuarterScreenR32F", shifted(2), video::ECF_R32F, false);
    add("EighthScreenR32F", shifted(3), video::ECF_R32F, false);
    add("ShadowMap.256", core::dimension2du(256, 256), video::ECF_R32F, true);
    add("ShadowMap.512", core::dimension2du(512, 512), video::ECF_R32F, true);
    add("ShadowMap.512.1", core::dimension2du(512, 512), video::ECF_R32F, true);
    add("ShadowMap.1024", core::dimension2du(1024, 1024), video::ECF_R32F, true);
    return table;
}

bool CTaRendererManager::createRenderTargets(video::ECOLOR_FORMAT format, const core::dimension2du* size)
{
    video::IVideoDriver* driver = m_device->getVideoDriver();
    if (format == video::ECF_UNKNOWN)
        format = video::ECF_A8R8G8B8;
    const core::dimension2du screen = size ? *size : driver->getScreenSize();
    const bool mipMaps = driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
    bool targetsMade = true, shadowMapsMade = true;
    for (const STaRenderTargetSpec& spec : taRenderTargetTable(format, screen)) {
        video::ITexture* existing = driver->findTexture(spec.name.c_str());
        if (existing && existing->isRenderTarget() && existing->getSize() == spec.size &&
            existing->getColorFormat() == spec.format)
            continue;
        if (existing)
            driver->removeTexture(existing);
        video::ITexture* made = nullptr;
        if (!spec.ownDepth)
            made = m_driverExt ? m_driverExt->addRenderTargetWithSharedStencil(spec.size, spec.name.c_str(), spec.format)
                               : driver->addRenderTargetTexture(spec.size, spec.name.c_str(), spec.format);
        else if (targetsMade && m_driverExt)
            made = m_driverExt->addRenderTargetWithOwnDepth(spec.size, spec.name.c_str(), spec.format);
        if (!made)
            (spec.ownDepth ? shadowMapsMade : targetsMade) = false;
    }
    // The flag goes back on every path (a failure used to leave it off).
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipMaps);
    if (!targetsMade) {
        taPrint(ETALOG_ERROR, "CTaRenderTargets failed to create render targets");
        return false;
    }
    if (!shadowMapsMade) {
        taPrint(ETALOG_ERROR, "CTaRenderTargets failed to create shadow map render targets");
        return false;
    }
    return true;
}

CTaRendererCtxAdv* CTaRendererManager::createCtxAdv(const STaRendererStartupFiles& files, CTaEffectManager* effects)
{
    auto* context = new CTaRendererCtxAdv(m_device, effects, m_services, m_driverExt);
    if (!context->init(files)) {
        context->drop();
        return nullptr;
    }
    return context;
}

ITaRenderer* CTaRendererManager::createRendererLpp(CTaRendererCtxAdv* context, const char* opaqueFile,
                                                   const char* transparentFile)
{
    auto* renderer = new CTaRendererLpp(m_device, context, m_services);
    renderer->setLastFrameInfo(&m_lastFrame);
    if (!renderer->init(opaqueFile, transparentFile)) {
        renderer->drop();
        return nullptr;
    }
    return renderer;
}

CTaRendererCtx* CTaRendererManager::createCtx()
{
    return new CTaRendererCtx();
}

ITaRenderer* CTaRendererManager::createRendererSimple(CTaRendererCtx* context)
{
    return new CTaRendererSimple(m_device, context);
}
