// Volumetric lights.
#include "render/TaRenderLightVolumetric.h"

#include "core/TaLog.h"
#include "driver/TaMaterialExt.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "nodes/TaLightSceneNodeExt.h"
#include "render/TaLightGeometry.h"
#include "render/TaRenderLightBuffer.h"
#include "render/TaRenderServices.h"

#include <algorithm>
#include <cmath>

using namespace irr;

namespace {

void setVector(CTaEffect* effect, const char* name, const core::vector3df& v)
{
    const f32 values[3] = {v.X, v.Y, v.Z};
    effect->setFloatArray(name, values, 3);
}

// The light's world rotation and position, without scale.
core::matrix4 lightWorld(scene::ILightSceneNode* light)
{
    core::matrix4 world;
    world.setRotationDegrees(light->getAbsoluteTransformation().getRotationDegrees());
    world.setTranslation(light->getAbsolutePosition());
    return world;
}

} // namespace

CTaRenderLightVolumetric::CTaRenderLightVolumetric(IrrlichtDevice* device, CTaRenderServices* services,
                                                   ITaVideoDriverExt* driverExt)
    : m_device(device), m_driver(device->getVideoDriver()), m_services(services), m_driverExt(driverExt),
      m_record(taNewMaterialExt())
{
}

CTaRenderLightVolumetric::~CTaRenderLightVolumetric()
{
    for (scene::IMesh* mesh : {m_sphere, m_cone})
        if (mesh)
            mesh->drop();
    for (CTaEffect* effect : {m_point, m_spot})
        if (effect)
            effect->drop();
    for (CTaEffect* effect : m_spotVariants)
        if (effect)
            effect->drop();
    taFreeMaterialExt(m_record);
}

bool CTaRenderLightVolumetric::init(CTaEffectManager* effects, const char* spotFile, const char* pointFile)
{
    if (!taCreateLightMeshes(m_device->getSceneManager()->getGeometryCreator(), m_sphere, m_cone,
                             "CTaRenderLightVolumetric"))
        return false;
    if (!m_point)
        m_point = effects ? effects->createEffect(pointFile, -1, nullptr) : nullptr;
    if (!m_point) {
        taPrint(ETALOG_ERROR, "CTaRenderLightVolumetric failed to load %s", pointFile);
        return false;
    }
    if (!m_spot)
        m_spot = effects->createEffect(spotFile, -1, nullptr);
    if (!m_spot) {
        taPrint(ETALOG_ERROR, "CTaRenderLightVolumetric failed to load %s (standard)", spotFile);
        return false;
    }
    for (int variant = 0; variant < 12; ++variant) {
        if (m_spotVariants[variant])
            continue;
        const char* const* names = taVolumetricSpotMacros(variant);
        STaFxMacro macros[4] = {};
        int n = 0;
        for (; names[n] && n < 3; ++n)
            macros[n] = STaFxMacro{names[n], ""};
        macros[n] = STaFxMacro{nullptr, nullptr};
        m_spotVariants[variant] = effects->createEffect(spotFile, -1, macros);
        if (!m_spotVariants[variant]) {
            taPrint(ETALOG_ERROR, "CTaRenderLightVolumetric failed to load %s (shadow and proj img)", spotFile);
            return false;
        }
    }
    return m_record != 0;
}

bool CTaRenderLightVolumetric::renderVolumetricLights(video::ITexture* target,
                                                      const core::array<scene::ISceneNode*>& lights,
                                                      const CTaRendererCtxAdv::SShadowMap* pool, int poolSize)
{
    m_driver->setRenderTarget(target, false, false);
    for (u32 i = 0; i < lights.size(); ++i) {
        if (!lights[i] || lights[i]->getType() != scene::ESNT_LIGHT)
            continue;
        auto* light = static_cast<scene::ILightSceneNode*>(lights[i]);
        const CTaLightSceneNodeExt* extension = taGetLightSceneNodeExt(light);
        if (extension && extension->params().volumetric)
            renderVolumetricLight(light, pool, poolSize);
    }
    return true;
}

bool CTaRenderLightVolumetric::renderVolumetricLight(scene::ILightSceneNode* light,
                                                     const CTaRendererCtxAdv::SShadowMap* pool, int poolSize)
{
    const video::SLight& data = light->getLightData();
    if (!taLightDrawable(data.Type, data.Radius, nullptr))
        return false;
    if (data.Type == video::ELT_POINT)
        return drawPointVolume(light, m_point);
    if (data.Type != video::ELT_SPOT)
        return false;
    const CTaLightSceneNodeExt* extension = taGetLightSceneNodeExt(light);
    const int quality = extension ? extension->params().volumetricMode : 0;
    video::ITexture* shadowMap = nullptr;
    video::ITexture* image = nullptr;
    if (quality >= 1) {
        for (int i = 0; pool && i < poolSize && !shadowMap; ++i)
            if (pool[i].owner == light)
                shadowMap = pool[i].texture;
        image = extension ? extension->params().projectionImage : nullptr;
    }
    const int variant = taVolumetricSpotVariant(quality, shadowMap != nullptr, image != nullptr);
    return drawSpotVolume(light, variant < 0 ? m_spot : m_spotVariants[variant], shadowMap, image);
}

void CTaRenderLightVolumetric::setCommon(scene::ILightSceneNode* light, CTaEffect* effect)
{
    const video::SLight& data = light->getLightData();
    const CTaLightSceneNodeExt* extension = taGetLightSceneNodeExt(light);
    const STaLightParams params = extension ? extension->params() : STaLightParams();
    core::vector3df colour(data.DiffuseColor.r, data.DiffuseColor.g, data.DiffuseColor.b);
    if (params.volumetricColourOn)
        colour *= core::vector3df(params.volumetricColour[0], params.volumetricColour[1], params.volumetricColour[2]);
    setVector(effect, "LightPosition", light->getAbsolutePosition());
    setVector(effect, "LightColor", colour);
    effect->setFloat("LightRadius", data.Radius);
    effect->setFloat("LightPower", params.volumetricDensity);
    effect->setFloat("IntensityClamp", params.volumetricClamp ? params.volumetricClampValue : 1000000.0f);
}

bool CTaRenderLightVolumetric::draw(scene::IMeshBuffer* buffer, const core::matrix4* world, CTaEffect* effect,
                                    video::ITexture* layer1, video::ITexture* layer2)
{
    m_lastFullScreen = world == nullptr;
    if (!world) {
        effect->setMatrix("WorldViewProjection", core::matrix4());
        video::ITexture* layers[3] = {nullptr, layer1, layer2};
        return m_services->drawEffectQuad(effect, 0, 0, layers, 3);
    }
    m_driver->setTransform(video::ETS_WORLD, *world);
    effect->setMatrix("WorldViewProjection",
                      m_driver->getTransform(video::ETS_PROJECTION) * m_driver->getTransform(video::ETS_VIEW) * *world);
    STaMaterial pass;
    if (!effect->getPassMaterial(0, 0, pass))
        return false;
    if (layer1)
        pass.layers[1].texture = layer1;
    if (layer2)
        pass.layers[2].texture = layer2;
    video::SMaterial material;
    taApplyMaterial(pass, material, m_record, m_driverExt);
    // The far side of the volume is drawn, so that it still covers the screen from close by.
    material.BackfaceCulling = false;
    material.FrontfaceCulling = true;
    material.ZWriteEnable = false;
    material.ZBuffer = video::ECFN_ALWAYS;
    STaMaterialExt* record = taGetMaterialExt(m_record);
    if (record) {
        record->effect = effect;
        record->technique = record->pass = 0;
        record->node = nullptr;
    }
    m_driver->setMaterial(material);
    m_driver->drawMeshBuffer(buffer);
    if (record)
        record->effect = nullptr;
    return true;
}

bool CTaRenderLightVolumetric::drawPointVolume(scene::ILightSceneNode* light, CTaEffect* effect)
{
    if (!effect || !light)
        return false;
    setCommon(light, effect);
    const float radius = light->getLightData().Radius;
    scene::ICameraSceneNode* camera = m_device->getSceneManager()->getActiveCamera();
    if (camera && camera->getFarValue() > 2 * radius) {
        core::matrix4 world, scale;
        world.setTranslation(light->getAbsolutePosition());
        scale.setScale(core::vector3df(std::min(radius, 1000.0f) * 1.15f));
        const core::matrix4 placed = world * scale;
        return draw(m_sphere->getMeshBuffer(0), &placed, effect, nullptr, nullptr);
    }
    return draw(nullptr, nullptr, effect, nullptr, nullptr);
}

bool CTaRenderLightVolumetric::drawSpotVolume(scene::ILightSceneNode* light, CTaEffect* effect, video::ITexture* shadowMap,
                                              video::ITexture* image)
{
    if (!effect || !light)
        return false;
    setCommon(light, effect);
    const video::SLight& data = light->getLightData();
    const core::matrix4 world = lightWorld(light);
    core::vector3df axis(0, 0, 1);
    world.rotateVect(axis);
    axis.normalize();
    const float outer = data.OuterCone;
    const float tanOuter = std::tan(std::min(outer, 89.0f) * core::DEGTORAD);
    const CTaLightSceneNodeExt* extension = taGetLightSceneNodeExt(light);
    const STaLightParams params = extension ? extension->params() : STaLightParams();
    effect->setFloat("LightTanThetaSqr", tanOuter * tanOuter);
    effect->setFloat("LightConeBase", params.volumetricBase);
    effect->setFloat("SoftEdgeRatio", outer > 0 ? (outer - data.InnerCone) / outer : 0.0f);
    core::matrix4 inverse;
    world.getInverse(inverse);
    effect->setMatrix("invConeTransform", inverse.getTransposed());
    if (shadowMap || image) {
        core::matrix4 view, projection;
        float nearValue = 0, farValue = 0;
        taLightShadowCamera(light, view, projection, nearValue, farValue);
        effect->setMatrix("LightWorldViewProj", projection * view);
    }
    video::ITexture* layer1 = shadowMap ? shadowMap : image;
    video::ITexture* layer2 = shadowMap ? image : nullptr;
    scene::ICameraSceneNode* camera = m_device->getSceneManager()->getActiveCamera();
    const bool inside = !camera || taCameraInsideSpotCone(camera->getAbsolutePosition(), camera->getNearValue(),
                                                          light->getAbsolutePosition(), axis, outer);
    if (camera && camera->getFarValue() > 2 * data.Radius && !inside) {
        core::matrix4 scale;
        scale.setScale(taLightConeScale(std::min(data.Radius, 1000.0f), outer));
        const core::matrix4 placed = world * scale;
        return draw(m_cone->getMeshBuffer(0), &placed, effect, layer1, layer2);
    }
    return draw(nullptr, nullptr, effect, layer1, layer2);
}
