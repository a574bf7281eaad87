// The renderer manager.
#include "render/TaRendererManager.h"

#include "core/TaLog.h"

using namespace irr;

void CTaLastFrameInfo::update(u32 nowMs, const core::matrix4& view, const core::matrix4& projection)
{
    const u32 duration = m_started ? nowMs - m_previous : 0;
    m_started = true;
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
    m_view = view;
    m_projection = projection;
}

CTaRendererManager::CTaRendererManager(IrrlichtDevice* device) : m_device(device)
{
}

CTaRendererManager::~CTaRendererManager() = default;

bool CTaRendererManager::createRenderTargets(video::ECOLOR_FORMAT, const core::dimension2du*)
{
    taPrint(ETALOG_ERROR, "CTaRendererManager: the render-target table is not part of this build yet");
    return false;
}

CTaRendererCtx* CTaRendererManager::createCtx()
{
    return new CTaRendererCtx();
}

ITaRenderer* CTaRendererManager::createRendererSimple(CTaRendererCtx* context)
{
    return new CTaRendererSimple(m_device, context);
}
