// The post chain of the camera effects.
#include "render/TaPostChain.h"

#include "core/TaLog.h"
#include "effects/TaEffect.h"
#include "render/TaRenderServices.h"

#include <strings.h>

using namespace irr;

CTaPostChain::CTaPostChain(IrrlichtDevice* device) : m_device(device) {}

CTaPostChain::~CTaPostChain()
{
    setEffects({});
}

void CTaPostChain::setEffects(const std::vector<CTaEffect*>& effects)
{
    for (CTaEffect* effect : effects)
        if (effect)
            effect->grab();
    for (CTaEffect* effect : m_effects)
        if (effect)
            effect->drop();
    m_effects.clear();
    for (CTaEffect* effect : effects)
        if (effect)
            m_effects.push_back(effect);
}

video::ITexture* CTaPostChain::run(CTaRenderServices* services, video::ITexture* destination,
                                   video::ITexture* source, video::ITexture* work, const char* renderName, bool copy,
                                   video::ITexture* glowBuffer)
{
    if (m_effects.empty() || !services)
        return source;
    video::ITexture* second = destination && destination != source ? destination : work;
    if (!second) {
        taPrint(ETALOG_ERROR, "CTaPostChain: cannot set second flipflop texture");
        return source;
    }
    video::IVideoDriver* driver = m_device->getVideoDriver();
    video::ITexture* current = source;
    // The list may change under a draw (an effect's constants cannot, but stay safe): a copy runs.
    const std::vector<CTaEffect*> effects = m_effects;
    for (CTaEffect* effect : effects) {
        video::ITexture* other = current == source ? second : source;
        if (runEffect(services, effect, other, current, renderName, glowBuffer))
            current = other;
    }
    if (destination && destination != current) {
        if (destination == source || copy) {
            driver->setRenderTarget(destination, false, false);
            services->copyTexture(current);
        } else {
            destination = current;
        }
    }
    if (!destination)
        destination = current;
    driver->setRenderTarget(destination, false, false);
    return destination;
}

bool CTaPostChain::runEffect(CTaRenderServices* services, CTaEffect* effect, video::ITexture* target,
                             video::ITexture* input, const char* renderName, video::ITexture* glowBuffer)
{
    ITaEffectDef* definition = effect->definition();
    const STechnique* technique = definition ? definition->getTechnique(0) : nullptr;
    if (!technique)
        return false;
    // The chain it belongs to: none for the final chain, else the one of its name (case ignored).
    const SParameter* render = definition->getAnnotationByName(technique, "render");
    const char* wanted = render ? definition->getString(render) : nullptr;
    if (wanted && !*wanted)
        wanted = nullptr;
    if (renderName && !*renderName)
        renderName = nullptr;
    if ((wanted == nullptr) != (renderName == nullptr))
        return false;
    if (wanted && strcasecmp(wanted, renderName) != 0)
        return false;

    video::IVideoDriver* driver = m_device->getVideoDriver();
    bool swap = true;
    const SParameter* redirect = definition->getAnnotationByName(technique, "rendertarget");
    if (redirect) {
        const char* name = definition->getString(redirect);
        if (video::ITexture* own = name && *name ? driver->findTexture(name) : nullptr) {
            target = own;
            swap = false;
        }
    }
    const int glow = effect->parameterIndex("GlowRTT");
    if (glow >= 0) {
        if (!glowBuffer)
            return false;
        effect->setTexture(glow, glowBuffer, false);
    }
    if (!driver->setRenderTarget(target, false, false))
        return false;
    video::ITexture* const inputs[1] = {input};
    services->drawEffectQuad(effect, 0, 0, inputs, 1);
    return swap;
}
