// The light pass and the shadow maps.
#include "render/TaRenderLightPass.h"

#include "core/TaLog.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "nodes/TaLightSceneNodeExt.h"
#include "render/TaLightGeometry.h"
#include "render/TaNodeRenderInfo.h"
#include "render/TaRenderLightBuffer.h"
#include "render/TaRenderServices.h"

using namespace irr;

CTaRenderLightShadowMap::CTaRenderLightShadowMap(IrrlichtDevice* device, CTaRenderServices* services)
    : m_device(device), m_services(services)
{
}

CTaRenderLightShadowMap::~CTaRenderLightShadowMap()
{
    if (m_defaultEffect)
        m_defaultEffect->drop();
    if (m_clearEffect)
        m_clearEffect->drop();
}

bool CTaRenderLightShadowMap::init(CTaEffectManager* effects, const char* shadowDepthFile, const char* clearFile)
{
    if (!m_defaultEffect)
        m_defaultEffect = effects ? effects->createEffect(shadowDepthFile, -1, nullptr) : nullptr;
    if (!m_defaultEffect) {
        taPrint(ETALOG_ERROR, "CTaRenderLightShadowMap: failed to load %s", shadowDepthFile);
        return false;
    }
    if (!m_clearEffect)
        m_clearEffect = effects ? effects->createEffect(clearFile, -1, nullptr) : nullptr;
    m_clearTechnique = m_clearEffect ? m_clearEffect->definition()->getTechniqueByName("shadow") : -1;
    if (m_clearTechnique < 0) {
        taPrint(ETALOG_ERROR, "CTaRenderLightShadowMap: failed to load %s (shadow)", clearFile);
        return false;
    }
    return true;
}

bool CTaRenderLightShadowMap::renderShadowMap(video::ITexture* target, scene::ILightSceneNode* light,
                                              const core::array<scene::ISceneNode*>& casters,
                                              core::matrix4& viewProjection, float& nearValue, float& farValue)
{
    if (!target || !light)
        return false;
    core::matrix4 view, projection;
    taLightShadowCamera(light, view, projection, nearValue, farValue);
    viewProjection = projection * view;
    scene::SViewFrustum frustum;
    frustum.setFrom(viewProjection);
    // The box of the frustum's eight corners (Irrlicht's own box starts from a camera position that
    // setFrom leaves at the origin, which cut away what lies above a light looking down).
    core::aabbox3df seen(frustum.getNearLeftUp());
    for (const core::vector3df& corner : {frustum.getNearLeftDown(), frustum.getNearRightUp(),
                                          frustum.getNearRightDown(), frustum.getFarLeftUp(), frustum.getFarLeftDown(),
                                          frustum.getFarRightUp(), frustum.getFarRightDown()})
        seen.addInternalPoint(corner);
    core::array<scene::ISceneNode*> casting;
    m_services->filterShadowCasters(casting, casters);
    bool inView = false;
    for (u32 i = 0; i < casting.size() && !inView; ++i) {
        core::aabbox3df box = casting[i]->getBoundingBox();
        casting[i]->getAbsoluteTransformation().transformBoxEx(box);
        inView = box.intersectsWithBox(seen);
    }
    if (!inView)
        return false;

    video::IVideoDriver* driver = m_device->getVideoDriver();
    const core::matrix4 savedView = driver->getTransform(video::ETS_VIEW);
    const core::matrix4 savedProjection = driver->getTransform(video::ETS_PROJECTION);
    video::SOverrideMaterial& override = driver->getOverrideMaterial();
    const video::SOverrideMaterial savedOverride = override;
    driver->setTransform(video::ETS_VIEW, view);
    driver->setTransform(video::ETS_PROJECTION, projection);
    override.Material.Lighting = false;
    override.Material.ZBuffer = video::ECFN_LESSEQUAL;
    override.Material.ZWriteEnable = true;
    override.EnableFlags = video::EMF_LIGHTING | video::EMF_ZBUFFER | video::EMF_ZWRITE_ENABLE;
    override.EnablePasses = scene::ESNRP_SOLID;
    override.Enabled = true;
    driver->setRenderTarget(target, false, true);
    override.Enabled = false;
    m_services->drawEffectQuad(m_clearEffect, m_clearTechnique, 0);
    override.Enabled = true;
    // Casters draw with the shadow variant of their surfaces, or the default shadow effect.
    int drawn = 0;
    m_services->renderNodes(casting, scene::ESNRP_SOLID, "shadow", nullptr, 0, 0, drawn, m_defaultEffect);
    override = savedOverride;
    driver->setTransform(video::ETS_VIEW, savedView);
    driver->setTransform(video::ETS_PROJECTION, savedProjection);
    return true;
}

CTaRenderLightPass::CTaRenderLightPass(IrrlichtDevice* device, CTaRenderLightBuffer* lights, CTaRenderLightShadowMap* shadows)
    : m_device(device), m_lights(lights), m_shadows(shadows)
{
}

bool CTaRenderLightPass::renderLights(video::ITexture* target, const core::array<scene::ISceneNode*>& lights,
                                      const core::array<scene::ISceneNode*>& casters, CTaRendererCtxAdv::SShadowMap* pool,
                                      int poolSize)
{
    m_device->getVideoDriver()->setRenderTarget(target, true, false, video::SColor(0, 0, 0, 0));
    m_lights->setCamera(m_device->getSceneManager()->getActiveCamera());
    m_lights->clearCounters();
    for (u32 i = 0; i < lights.size(); ++i)
        if (lights[i] && lights[i]->getType() == scene::ESNT_LIGHT)
            renderOneLight(target, static_cast<scene::ILightSceneNode*>(lights[i]), casters, pool, poolSize);
    return true;
}

bool CTaRenderLightPass::renderOneLight(video::ITexture* target, scene::ILightSceneNode* light,
                                        const core::array<scene::ISceneNode*>& casters,
                                        CTaRendererCtxAdv::SShadowMap* pool, int poolSize)
{
    const video::SLight& data = light->getLightData();
    if (data.DiffuseColor.r == 0 && data.DiffuseColor.g == 0 && data.DiffuseColor.b == 0)
        return false;
    video::ITexture* shadowMap = nullptr;
    core::matrix4 viewProjection;
    float nearValue = 0, farValue = 0;
    const char* why = nullptr;
    if (light->getCastShadow() && data.Type == video::ELT_SPOT && taLightDrawable(data.Type, data.Radius, &why) &&
        pool && poolSize > 0) {
        const CTaLightSceneNodeExt* extension = taGetLightSceneNodeExt(light);
        const int size = extension ? extension->params().shadowMapSize : 512;
        u32 heights[8];
        bool held[8];
        const int count = poolSize < 8 ? poolSize : 8;
        for (int i = 0; i < count; ++i) {
            heights[i] = pool[i].texture ? pool[i].texture->getSize().Height : 0;
            const CTaLightSceneNodeExt* owner =
                pool[i].owner ? taGetLightSceneNodeExt(static_cast<scene::ISceneNode*>(pool[i].owner)) : nullptr;
            held[i] = owner && owner->params().volumetric;
        }
        const int entry = taPickShadowMap(heights, held, count, size);
        if (entry >= 0 && m_shadows &&
            m_shadows->renderShadowMap(pool[entry].texture, light, casters, viewProjection, nearValue, farValue)) {
            pool[entry].owner = light;
            shadowMap = pool[entry].texture;
        }
    }
    return m_lights->renderLight(target, light, shadowMap, viewProjection, nearValue, farValue);
}
