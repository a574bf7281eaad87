// Renderers.
#include "render/TaRenderer.h"

#include "effects/TaEffectDef.h"
#include "render/TaRenderServices.h"

#include <cstdio>

using namespace irr;

bool ITaRenderer::getMaterialEffect(char* effectFile, int effectFileSize, STaFxMacro*, int* macroCount,
                                    video::E_MATERIAL_TYPE)
{
    if (effectFile && effectFileSize > 0)
        effectFile[0] = 0;
    if (macroCount)
        *macroCount = 0;
    return true;
}

bool ITaRenderer::init(const char*, const char*)
{
    return true;
}

CTaRendererSimple::CTaRendererSimple(IrrlichtDevice* device, CTaRendererCtx* context)
    : m_device(device), m_context(context)
{
    if (m_context)
        m_context->grab();
}

CTaRendererSimple::~CTaRendererSimple()
{
    if (m_context)
        m_context->drop();
}

STaFrameOptions* CTaRendererSimple::getFrameOptions()
{
    return m_context ? m_context->getFrameOptions() : nullptr;
}

bool CTaRendererSimple::render(video::ITexture* target)
{
    video::IVideoDriver* driver = m_device->getVideoDriver();
    const video::SColor background(m_context ? m_context->getFrameOptions()->backgroundColour : 0);
    if (!driver->setRenderTarget(target, true, true, background))
        return false;
    taFillLightBlock(m_device->getSceneManager());
    m_device->getSceneManager()->drawAll();
    return true;
}

