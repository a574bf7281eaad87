// One full-screen effect of the post-processing chain.
#include "render/TaPostEffect.h"

#include "core/TaLog.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "render/TaRenderServices.h"

using namespace irr;

CTaPostEffect::CTaPostEffect(IrrlichtDevice* device, CTaRenderServices* services)
    : m_device(device), m_services(services)
{
}

CTaPostEffect::~CTaPostEffect()
{
    if (m_effect)
        m_effect->drop();
}

bool CTaPostEffect::load(CTaEffectManager* effects, const char* file, const STaFxMacro* macros)
{
    CTaEffect* made = effects ? effects->createEffect(file, -1, macros) : nullptr;
    if (!made) {
        taPrint(ETALOG_ERROR, "CTaPostEffect failed to load %s", file ? file : "");
        return false;
    }
    setEffect(made);
    made->drop();
    return true;
}

void CTaPostEffect::setEffect(CTaEffect* effect)
{
    if (effect)
        effect->grab();
    if (m_effect)
        m_effect->drop();
    m_effect = effect;
}

bool CTaPostEffect::run(video::ITexture* target, video::ITexture* input0, video::ITexture* input1)
{
    if (!m_effect || !target || !m_services)
        return false;
    if (!m_device->getVideoDriver()->setRenderTarget(target, false, false))
        return false;
    video::ITexture* const inputs[2] = {input0, input1};
    return m_services->drawEffectQuad(m_effect, 0, 0, inputs, 2);
}

bool CTaPostEffect::draw()
{
    return m_effect && m_services && m_services->drawEffectQuad(m_effect, 0, 0);
}

bool CTaPostEffect::compose(video::ITexture* target, video::ITexture* source, float intensity)
{
    if (!m_effect)
        return false;
    m_effect->setFloat("Intensity", intensity);
    return run(target, source);
}

bool CTaPostEffect::gaussianBlur(video::ITexture* target, video::ITexture* source, bool horizontal, float radius,
                                 float weight)
{
    if (!m_effect)
        return false;
    const f32 direction[2] = {horizontal ? 1.0f : 0.0f, horizontal ? 0.0f : 1.0f};
    m_effect->setFloatArray("Direction", direction, 2);
    m_effect->setFloat("Radius", radius);
    m_effect->setFloat("Intensity", weight);
    return run(target, source);
}
