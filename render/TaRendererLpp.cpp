// The light pre-pass renderer's frame.
#include "render/TaRendererLpp.h"

#include "core/TaLog.h"
#include "effects/TaEffectDef.h"
#include "render/TaPostAntialias.h"
#include "render/TaPostChain.h"
#include "render/TaPostDof.h"
#include "render/TaPostEffect.h"
#include "render/TaPostGlow.h"
#include "render/TaRenderLightBuffer.h"
#include "render/TaRenderLightPass.h"
#include "render/TaRenderLightVolumetric.h"
#include "render/TaRenderServices.h"
#include "render/TaRendererCtxAdv.h"
#include "render/TaRendererManager.h"

#include <cstdio>

using namespace irr;

unsigned CTaRendererLpp::s_jitterFrame = 0;

CTaRendererLpp::CTaRendererLpp(IrrlichtDevice* device, CTaRendererCtxAdv* context, CTaRenderServices* services)
    : m_device(device), m_context(context), m_services(services)
{
    if (m_context)
        m_context->grab();
    m_solidOverride.Material.ZBuffer = video::ECFN_LESSEQUAL;
    m_solidOverride.EnableFlags = video::EMF_ZBUFFER;
    m_solidOverride.EnablePasses = 0;
    m_solidOverride.Enabled = true;
    m_transparentOverride.Material.ZWriteEnable = false;
    m_transparentOverride.EnableFlags = video::EMF_ZWRITE_ENABLE;
    m_transparentOverride.EnablePasses = 0;
    m_transparentOverride.Enabled = true;
}

CTaRendererLpp::~CTaRendererLpp()
{
    if (m_context)
        m_context->drop();
}

STaFrameOptions* CTaRendererLpp::getFrameOptions()
{
    return m_context ? m_context->getFrameOptions() : nullptr;
}

STaRenderSettings* CTaRendererLpp::getRenderSettings()
{
    return m_context ? m_context->getRenderSettings() : nullptr;
}

void CTaRendererLpp::drawThumbnail(video::ITexture* texture, int x, int y, int w, int h)
{
    if (!texture)
        return;
    const core::dimension2du size = texture->getOriginalSize();
    m_device->getVideoDriver()->draw2DImage(texture, core::rect<s32>(x, y, x + w, y + h),
                                            core::rect<s32>(0, 0, s32(size.Width), s32(size.Height)));
}

void CTaRendererLpp::drawDebugBuffers()
{
    if (!m_initialised)
        return;
    drawThumbnail(m_targets[kNormal], 0, 0, 160, 120);
    drawThumbnail(m_targets[kDepth], 180, 0, 160, 120);
    drawThumbnail(m_targets[kLight], 360, 0, 160, 120);
    if (CTaRendererCtxAdv::kShadowMaps > 1)
        drawThumbnail(m_context->getShadowMaps()[1].texture, 540, 0, 160, 120);
    drawThumbnail(m_targets[kHalf1], 0, 140, 160, 120);
    drawThumbnail(m_targets[kQuarter0], 0, 270, 160, 120);
    drawThumbnail(m_targets[kQuarter1], 0, 400, 160, 120);
}

bool CTaRendererLpp::init(const char* opaqueFile, const char* transparentFile)
{
    if (m_initialised)
        return false;
    m_opaqueFile = opaqueFile ? opaqueFile : "";
    m_transparentFile = transparentFile ? transparentFile : "";
    static const char* const names[kTargets] = {"BackRTT[0]", "BackRTT[1]", "BackRTT[2]", "BackRTT[3]",
                                                "DepthRTT",   "NormalRTT",  "LightRTT",   "HalfScreen[0]",
                                                "HalfScreen[1]", "HalfScreen[2]", "QuarterScreen[0]", "QuarterScreen[1]"};
    video::IVideoDriver* driver = m_device->getVideoDriver();
    for (int i = 0; i < kTargets; ++i) {
        m_targets[i] = driver->findTexture(names[i]);
        if (!m_targets[i]) {
            taPrint(ETALOG_ERROR, "CTaRendererLpp failed to find render targets");
            return false;
        }
    }
    if (!m_context || !m_context->isInitialised() || !m_services) {
        taPrint(ETALOG_ERROR, "CTaRendererLpp: the advanced context is not initialised");
        return false;
    }
    m_initialised = true;
    return true;
}

bool CTaRendererLpp::getMaterialEffect(char* effectFile, int effectFileSize, STaFxMacro* macros, int* macroCount,
                                       video::E_MATERIAL_TYPE materialType)
{
    if (!macroCount || *macroCount < 2 || !macros) {
        taPrint(ETALOG_ERROR, "CTaRendererLpp::getMaterialEffect not enough space for macros");
        return false;
    }
    video::IMaterialRenderer* renderer = m_device->getVideoDriver()->getMaterialRenderer(materialType);
    const bool transparent = renderer && renderer->isTransparent();
    if (effectFile && effectFileSize > 0)
        snprintf(effectFile, size_t(effectFileSize), "%s", (transparent ? m_transparentFile : m_opaqueFile).c_str());
    macros[0].name = "USE_OUTDEPTH";
    macros[0].value = "";
    macros[1].name = nullptr;
    macros[1].value = nullptr;
    *macroCount = 1;
    return true;
}

CTaPostChain* CTaRendererLpp::getPostChain()
{
    return m_context->postChain();
}

bool CTaRendererLpp::render(video::ITexture* target)
{
    if (!m_initialised)
        return false;
    video::IVideoDriver* driver = m_device->getVideoDriver();
    scene::ISceneManager* scene = m_device->getSceneManager();
    m_context->updateFrame();
    const STaRenderSettings& settings = *m_context->getRenderSettings();
    const STaFrameOptions& options = *m_context->getFrameOptions();
    m_context->lightBuffer()->setEpsilonOverride(settings.shadowEpsilonOverride, settings.shadowEpsilon);
    m_context->lightBuffer()->setDebug(options.showDebugBuffers);

    // The animators and the absolute transforms of every node (as the scene manager's own draw
    // does first), then the camera's transforms and the light block the transparent surfaces read.
    scene->getRootSceneNode()->OnAnimate(m_device->getTimer()->getTime());
    scene::ICameraSceneNode* camera = scene->getActiveCamera();
    if (camera) {
        camera->OnRegisterSceneNode();
        camera->render();
    }
    taFillLightBlock(scene);
    core::array<scene::ISceneNode*> lights, solid, transparent, transparentEffect, casters;
    m_services->getLightList(lights);
    m_services->getSolidList(solid);
    m_services->getTransparentList(transparent);
    m_services->getTransparentEffectList(transparentEffect);
    m_services->collectShadowCasters(casters);

    const bool glowActive = settings.glowEnabled && settings.glowIntensity != 0;
    const bool cameraCut = !target && m_lastFrame && camera &&
                           m_lastFrame->isCameraCut(camera->getViewMatrix(), 1, 20);
    CTaPostAntialias* antialias = m_context->getAntialiasHistory();
    CTaPostChain* chain = m_context->postChain();
    video::ITexture* const glowBuffer = glowActive ? m_targets[kHalf1] : nullptr;
    const auto other = [this](video::ITexture* p) { return p == m_targets[kBack0] ? m_targets[kBack1] : m_targets[kBack0]; };

    // The projection, moved by a sub-pixel offset on frames drawn to the window with jitter.
    const core::matrix4 projection = driver->getTransform(video::ETS_PROJECTION);
    if (!target && antialias && antialias->jitter != 0) {
        const core::dimension2du size = m_targets[kBack0]->getSize();
        ++s_jitterFrame;
        driver->setTransform(video::ETS_PROJECTION,
                             CTaPostAntialias::jitterMatrix(antialias->jitter, s_jitterFrame, size.Width, size.Height) *
                                 projection);
    }

    // The geometry buffers: cleared to "nothing here", then the opaque surfaces' depth technique. The
    // picture's alpha keeps 1 - glow (the material pass writes it): cleared to 1, nothing glows.
    video::SColor background(options.backgroundColour);
    background.setAlpha(255);
    driver->setRenderTarget(m_targets[kBack0], true, true, background);
    video::ITexture* geometry[2] = {m_targets[kNormal], m_targets[kDepth]};
    m_services->setRenderTargets(geometry, 2);
    m_services->drawEffectQuad(m_context->shadowMapRenderer()->clearEffect(), 0, 0);
    int drawn = 0;
    m_services->renderNodes(solid, scene::ESNRP_SOLID, "depth", nullptr, 0, 0, drawn);

    // Every light into the light buffer, and the camera effects that work on it.
    m_context->releaseShadowMaps();
    m_context->lightPass()->renderLights(m_targets[kLight], lights, casters, m_context->getShadowMaps(),
                                         CTaRendererCtxAdv::kShadowMaps);
    chain->run(m_services, m_targets[kLight], m_targets[kLight], m_targets[kBack1], "lightpost", true, nullptr);

    // The opaque surfaces reading the light buffer, then the transparent ones.
    video::ITexture* colourAndDepth[2] = {m_targets[kBack0], m_targets[kDepth]};
    m_services->setRenderTargets(colourAndDepth, 2);
    m_services->renderNodes(solid, scene::ESNRP_SOLID, "", &m_solidOverride, 0, 0, drawn);
    chain->run(m_services, m_targets[kBack0], m_targets[kBack0], m_targets[kBack1], "solidpost", true, nullptr);
    m_services->setRenderTargets(colourAndDepth, 2);
    m_services->renderNodes(transparent, scene::ESNRP_TRANSPARENT, "", &m_transparentOverride, 0, 0, drawn);
    video::ITexture* p =
        chain->run(m_services, m_targets[kBack1], m_targets[kBack0], nullptr, "prepost", false, nullptr);

    // The volumetric lights over the picture; antialiasing here when it runs before the glow.
    m_context->volumetric()->renderVolumetricLights(p, lights, m_context->getShadowMaps(),
                                                    CTaRendererCtxAdv::kShadowMaps);
    const bool antialiasOn = m_context->antialiasEnabled() && antialias && antialias->available();
    if (antialiasOn && settings.antialiasLocation == 2)
        p = antialias->run(other(p), p, m_targets[kBack2], m_targets[kBack3], false, settings.gammaCorrect, cameraCut);

    // The glow's source before the transparent effects, which do not glow; the glow onto the picture.
    if (glowActive)
        m_context->downSample()->downSample(m_targets[kHalf2], p);
    video::ITexture* pictureAndDepth[2] = {p, m_targets[kDepth]};
    m_services->setRenderTargets(pictureAndDepth, 2);
    m_services->renderNodes(transparentEffect, scene::ESNRP_TRANSPARENT_EFFECT, "", &m_transparentOverride, 0, 0, drawn);
    if (glowActive)
        m_context->glow()->run(p, m_targets[kHalf2], settings.glowRadius, settings.glowIntensity, settings.glowStreaks,
                               m_context->getStreakParameters());

    // Depth of field, the final camera effects, gamma and the late antialiasing.
    if (settings.dofEnabled) {
        video::ITexture* out = other(p);
        if (settings.dofAdvanced == 0)
            m_context->depthOfField()->runPhysical(out, p, m_targets[kDepth], m_targets[kBack2]);
        else
            m_context->depthOfField()->runArtist(out, p, m_targets[kDepth], m_targets[kBack2], settings.dofRadiusScale);
        p = out;
    }
    p = chain->run(m_services, other(p), p, nullptr, nullptr, false, glowBuffer);
    const bool lateAntialias = antialiasOn && settings.antialiasLocation == 1;
    if (settings.gammaCorrect) {
        video::ITexture* out = lateAntialias ? other(p) : target;
        if (out) {
            m_context->gamma()->gamma(out, p);
        } else {
            driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
            m_services->drawEffectQuad(m_context->gamma()->effect(), 0, 0, &p, 1);
        }
        p = out;
    }
    if (lateAntialias) {
        antialias->run(target ? target : m_targets[kBack2], p, other(p), m_targets[kBack3], !target, false, cameraCut);
    } else if (!settings.gammaCorrect) {
        if (target)
            driver->setRenderTarget(target, false, false);
        else
            driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
        m_services->copyTexture(p);
    }
    if (!target)
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    if (options.showDebugBuffers && !target)
        drawDebugBuffers();
    driver->setTransform(video::ETS_PROJECTION, projection);
    return true;
}
