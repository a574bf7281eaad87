// Drawing one light into the light buffer.
#include "render/TaRenderLightBuffer.h"

#include "core/TaLog.h"
#include "driver/TaMaterialExt.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "nodes/TaLightSceneNodeExt.h"
#include "render/TaLightGeometry.h"
#include "render/TaRenderServices.h"

#include <cmath>

using namespace irr;

namespace {

// The light's world direction: the node's rotation applied to +Z.
core::vector3df worldDirection(scene::ILightSceneNode* light)
{
    core::vector3df direction(0, 0, 1);
    light->getAbsoluteTransformation().rotateVect(direction);
    return direction.normalize();
}

bool isBlack(const video::SColorf& colour)
{
    return colour.r == 0.0f && colour.g == 0.0f && colour.b == 0.0f;
}

} // namespace

scene::IMesh* taCreateLightConeMesh(const scene::IGeometryCreator* creator)
{
    scene::IMesh* cone =
        creator->createConeMesh(1.0f, 1.0f, 4, video::SColor(0xFFFFFFFF), video::SColor(0xFFFFFFFF));
    if (!cone)
        return nullptr;
    // Irrlicht's cone stands on y = 0 with its apex at y = 1: turn it a quarter about X so that it
    // opens along +Z from an apex at the origin, (x, y, z) -> (x, z, 1 - y), a rotation.
    for (u32 b = 0; b < cone->getMeshBufferCount(); ++b) {
        scene::IMeshBuffer* buffer = cone->getMeshBuffer(b);
        for (u32 v = 0; v < buffer->getVertexCount(); ++v) {
            core::vector3df& p = buffer->getPosition(v);
            p = core::vector3df(p.X, p.Z, 1.0f - p.Y);
            core::vector3df& n = buffer->getNormal(v);
            n = core::vector3df(n.X, n.Z, -n.Y);
        }
        buffer->recalculateBoundingBox();
    }
    cone->setDirty();
    if (auto* mesh = dynamic_cast<scene::SMesh*>(cone))
        mesh->recalculateBoundingBox();
    return cone;
}

bool taCreateLightMeshes(const scene::IGeometryCreator* creator, scene::IMesh*& sphere, scene::IMesh*& cone,
                         const char* stage)
{
    if (!sphere)
        sphere = creator->createSphereMesh(1.0f, 8, 8);
    if (!sphere) {
        taPrint(ETALOG_ERROR, "%s: failed to create LightSphereMesh", stage);
        return false;
    }
    if (!cone)
        cone = taCreateLightConeMesh(creator);
    if (!cone) {
        taPrint(ETALOG_ERROR, "%s: failed to create LightConeMesh", stage);
        return false;
    }
    return true;
}

CTaRenderLightBuffer::CTaRenderLightBuffer(IrrlichtDevice* device, CTaRenderServices* services, ITaVideoDriverExt* driverExt)
    : m_device(device), m_driver(device->getVideoDriver()), m_services(services), m_driverExt(driverExt),
      m_record(taNewMaterialExt())
{
}

CTaRenderLightBuffer::~CTaRenderLightBuffer()
{
    if (m_sphere)
        m_sphere->drop();
    if (m_cone)
        m_cone->drop();
    for (CTaEffect*& effect : m_effects)
        if (effect) {
            effect->drop();
            effect = nullptr;
        }
    taFreeMaterialExt(m_record);
}

bool CTaRenderLightBuffer::init(CTaEffectManager* effects, const char* lightPassFile)
{
    if (!taCreateLightMeshes(m_device->getSceneManager()->getGeometryCreator(), m_sphere, m_cone,
                             "CTaRenderLightBuffer"))
        return false;
    for (int slot = 0; slot < 24; ++slot) {
        const char* const* names = taLightPassSlotMacros(slot);
        if (!names || m_effects[slot])
            continue;
        STaFxMacro macros[5] = {};
        int n = 0;
        for (; names[n] && n < 4; ++n)
            macros[n] = STaFxMacro{names[n], ""};
        macros[n] = STaFxMacro{nullptr, nullptr};
        m_effects[slot] = effects ? effects->createEffect(lightPassFile, -1, macros) : nullptr;
        if (!m_effects[slot]) {
            taPrint(ETALOG_ERROR, "CTaRenderLightBuffer: failed to load %s", lightPassFile);
            return false;
        }
    }
    return m_record != 0;
}

void CTaRenderLightBuffer::setCamera(scene::ICameraSceneNode* camera)
{
    m_view = m_driver->getTransform(video::ETS_VIEW);
    m_view.getInverse(m_viewInverse);
    m_viewInverseTransposed = m_viewInverse.getTransposed();
    m_cameraPosition = camera ? camera->getAbsolutePosition() : core::vector3df();
    m_cameraNear = camera ? camera->getNearValue() : 0.0f;
}

bool CTaRenderLightBuffer::renderLight(video::ITexture* target, scene::ILightSceneNode* light, video::ITexture* shadowMap,
                                       const core::matrix4& shadowViewProjection, float, float shadowFar)
{
    if (!light)
        return false;
    const video::SLight& data = light->getLightData();
    if (isBlack(data.DiffuseColor))
        return false;
    const char* why = nullptr;
    if (!taLightDrawable(data.Type, data.Radius, &why)) {
        taPrint(ETALOG_WARN, "CTaRenderLightBuffer: light '%s' skipped: %s", light->getName(), why);
        return false;
    }
    const CTaLightSceneNodeExt* extension = taGetLightSceneNodeExt(light);
    const STaLightParams params = extension ? extension->params() : STaLightParams();
    const bool shadowed = shadowMap && light->getCastShadow() && data.Type == video::ELT_SPOT;
    const int slot = taLightPassSlot(data.Type, shadowed, params.shadowMapFuzz);
    if (slot < 0) {
        taPrint(ETALOG_ERROR, "CTaRenderLightBuffer: wrong light type");
        return false;
    }
    CTaEffect* effect = m_effects[slot];
    if (!effect)
        return false;

    const core::vector3df position = light->getAbsolutePosition();
    const float distance = position.getDistanceFrom(m_cameraPosition) - m_cameraNear;
    auto setVector = [effect](const char* name, const core::vector3df& v) {
        const f32 values[3] = {v.X, v.Y, v.Z};
        effect->setFloatArray(name, values, 3);
    };
    if (data.Type == video::ELT_SPOT || data.Type == video::ELT_DIRECTIONAL) {
        core::vector3df direction = worldDirection(light);
        m_viewInverseTransposed.rotateVect(direction);
        setVector("LightDirection", direction.normalize());
    }
    if (data.Type == video::ELT_SPOT || data.Type == video::ELT_POINT) {
        core::vector3df viewPosition = position;
        m_view.transformVect(viewPosition);
        setVector("LightPosition", viewPosition);
        const float inverseRadius = 1.0f / data.Radius;
        effect->setFloat("InvLightRadiusSqr", inverseRadius * inverseRadius);
    }
    if (data.Type == video::ELT_SPOT) {
        const f32 angles[2] = {std::cos(data.InnerCone * core::DEGTORAD), std::cos(data.OuterCone * core::DEGTORAD)};
        effect->setFloatArray("SpotlightAngles", angles, 2);
        ++m_counters.spot;
    } else if (data.Type == video::ELT_POINT) {
        ++m_counters.point;
    } else {
        ++m_counters.directional;
    }
    const ETaLightVolume volume =
        m_forceFullScreen ? ETAVOLUME_FULL_SCREEN : taLightVolume(data.Type, data.Radius, data.OuterCone, distance);
    setVector("LightColor", core::vector3df(data.DiffuseColor.r, data.DiffuseColor.g, data.DiffuseColor.b));
    if (shadowed) {
        effect->setMatrix("ShadowWorldViewProj", shadowViewProjection * m_viewInverse);
        effect->setFloat("ShadowMaxD", shadowFar);
        setVector("ShadowColor", core::vector3df(params.shadowColour[0], params.shadowColour[1], params.shadowColour[2]) *
                                     params.intensity);
        const core::dimension2du size = shadowMap->getSize();
        const f32 mapSize[2] = {f32(size.Width), f32(size.Height)};
        effect->setFloatArray("ShadowMapSize", mapSize, 2);
        if (!effect->setTexture("ShadowMap", shadowMap, false))
            taPrint(ETALOG_ERROR, "CTaRenderLightBuffer: no shader texture parameter ShadowMap");
        effect->setFloat("ShadowEpsilon", 0.00001f * (m_epsilonOverride ? m_epsilonValue : params.shadowEpsilon));
        ++m_counters.shadowed;
    }
    switch (volume) {
    case ETAVOLUME_SPHERE: return drawSphere(target, light, effect);
    case ETAVOLUME_CONE: return drawCone(target, light, effect);
    default: return drawFullScreen(target, light, effect);
    }
}

void CTaRenderLightBuffer::useEffect(CTaEffect* effect)
{
    STaMaterial pass;
    effect->getPassMaterial(0, 0, pass);
    taApplyMaterial(pass, m_material, m_record, m_driverExt);
    if (STaMaterialExt* record = taGetMaterialExt(m_record)) {
        record->effect = effect;
        record->technique = 0;
        record->pass = 0;
        record->node = nullptr;
    }
}

bool CTaRenderLightBuffer::drawFullScreen(video::ITexture* target, scene::ILightSceneNode*, CTaEffect* effect)
{
    if (!effect)
        return false;
    m_driver->setRenderTarget(target, false, false);
    effect->setMatrix("WorldViewProjection", core::matrix4());
    ++m_counters.fullScreen;
    return m_services->drawEffectQuad(effect, 0, 0);
}

bool CTaRenderLightBuffer::drawMesh(scene::IMeshBuffer* buffer, const core::matrix4& world, CTaEffect* effect)
{
    m_driver->setTransform(video::ETS_WORLD, world);
    effect->setMatrix("WorldViewProjection",
                      m_driver->getTransform(video::ETS_PROJECTION) * m_driver->getTransform(video::ETS_VIEW) * world);
    useEffect(effect);
    m_material.ZBuffer = video::ECFN_LESSEQUAL;
    m_material.ZWriteEnable = false;
    m_driver->setMaterial(m_material);
    m_driver->drawMeshBuffer(buffer);
    if (m_debug) {
        video::SMaterial wire;
        wire.Lighting = false;
        wire.ZWriteEnable = false;
        wire.Wireframe = true;
        m_driver->setMaterial(wire);
        m_driver->drawMeshBuffer(buffer);
    }
    if (STaMaterialExt* record = taGetMaterialExt(m_record))
        record->effect = nullptr;
    return true;
}

bool CTaRenderLightBuffer::drawSphere(video::ITexture* target, scene::ILightSceneNode* light, CTaEffect* effect)
{
    if (!effect || !m_sphere || !light)
        return false;
    m_driver->setRenderTarget(target, false, false);
    core::matrix4 world;
    world.setTranslation(light->getAbsolutePosition());
    core::matrix4 scale;
    scale.setScale(core::vector3df(1.15f * light->getLightData().Radius));
    return drawMesh(m_sphere->getMeshBuffer(0), world * scale, effect);
}

bool CTaRenderLightBuffer::drawCone(video::ITexture* target, scene::ILightSceneNode* light, CTaEffect* effect)
{
    if (!effect || !m_cone || !light)
        return false;
    m_driver->setRenderTarget(target, false, false);
    const video::SLight& data = light->getLightData();
    // The node's world rotation and position, without its scale.
    core::matrix4 world;
    world.setRotationDegrees(light->getAbsoluteTransformation().getRotationDegrees());
    world.setTranslation(light->getAbsolutePosition());
    core::matrix4 scale;
    scale.setScale(taLightConeScale(data.Radius, data.OuterCone));
    return drawMesh(m_cone->getMeshBuffer(0), world * scale, effect);
}
