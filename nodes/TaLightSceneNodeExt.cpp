// Light extensions.
#include "nodes/TaLightSceneNodeExt.h"

using namespace irr;

CTaLightSceneNodeExt::CTaLightSceneNodeExt(scene::ILightSceneNode* light) : m_light(light)
{
#ifdef _DEBUG
    setDebugName("CTaLightSceneNodeExt");
#endif
}

CTaLightSceneNodeExt::~CTaLightSceneNodeExt()
{
    if (m_params.projectionImage)
        m_params.projectionImage->drop();
}

scene::ISceneNodeAnimator* CTaLightSceneNodeExt::createClone(scene::ISceneNode* node, scene::ISceneManager*)
{
    if (!node || node->getType() != scene::ESNT_LIGHT)
        return nullptr;
    auto* copy = new CTaLightSceneNodeExt(static_cast<scene::ILightSceneNode*>(node));
    copy->m_params = m_params;
    if (copy->m_params.projectionImage)
        copy->m_params.projectionImage->grab();
    return copy;
}

void CTaLightSceneNodeExt::setIntensity(f32 intensity)
{
    m_params.intensity = intensity;
    updateDiffuse();
}

void CTaLightSceneNodeExt::setRawColour(f32 r, f32 g, f32 b)
{
    m_params.rawColour[0] = r;
    m_params.rawColour[1] = g;
    m_params.rawColour[2] = b;
    m_params.rawColour[3] = 1.0f;
    updateDiffuse();
}

void CTaLightSceneNodeExt::setProjectionImage(video::ITexture* image)
{
    if (image)
        image->grab();
    if (m_params.projectionImage)
        m_params.projectionImage->drop();
    m_params.projectionImage = image;
}

void CTaLightSceneNodeExt::updateDiffuse()
{
    if (!m_light)
        return;
    const f32 i = m_params.intensity;
    m_light->getLightData().DiffuseColor =
        video::SColorf(m_params.rawColour[0] * i, m_params.rawColour[1] * i, m_params.rawColour[2] * i, 1.0f);
}

CTaLightSceneNodeExt* taGetLightSceneNodeExt(scene::ISceneNode* light)
{
    if (!light)
        return nullptr;
    for (scene::ISceneNodeAnimator* animator : light->getAnimators())
        if (animator->getType() == static_cast<scene::ESCENE_NODE_ANIMATOR_TYPE>(TA_LIGHT_SCENE_NODE_EXT_TYPE))
            return static_cast<CTaLightSceneNodeExt*>(animator);
    return nullptr;
}

CTaLightSceneNodeExt* taAttachLightSceneNodeExt(scene::ISceneNode* light)
{
    if (!light || light->getType() != scene::ESNT_LIGHT)
        return nullptr;
    if (CTaLightSceneNodeExt* existing = taGetLightSceneNodeExt(light))
        return existing;
    auto* ext = new CTaLightSceneNodeExt(static_cast<scene::ILightSceneNode*>(light));
    light->addAnimator(ext);
    ext->drop();
    return ext;
}
