// CTaLightSceneNodeExt: a light's engine parameters beyond Irrlicht's light data (intensity and raw
// colour, shadow colour, shadow-map size, epsilon and fuzz, projection image, volumetric settings),
// which the lighting reads. It rides on the light node as an animator (type 4322).
#pragma once

#include <irrlicht.h>

constexpr irr::u32 TA_LIGHT_SCENE_NODE_EXT_TYPE = 4322;

struct STaLightParams {
    irr::f32 intensity = 1.0f;
    irr::f32 rawColour[4] = {1, 1, 1, 1};
    irr::video::ITexture* projectionImage = nullptr; // held by the extension
    irr::f32 shadowColour[4] = {0, 0, 0, 1};
    irr::s32 shadowMapSize = 512;
    irr::f32 shadowEpsilon = 5.0f;
    irr::f32 shadowMapFuzz = 0.0f;
    bool volumetric = false;
    irr::f32 volumetricDensity = 1.0f;
    bool volumetricColourOn = false;
    irr::f32 volumetricColour[4] = {1, 1, 1, 1};
    irr::f32 volumetricBase = 0.0f;
    bool volumetricClamp = false;
    irr::f32 volumetricClampValue = 1.0f;
    irr::s32 volumetricMode = 0;
};

class CTaLightSceneNodeExt : public irr::scene::ISceneNodeAnimator
{
public:
    explicit CTaLightSceneNodeExt(irr::scene::ILightSceneNode* light);
    ~CTaLightSceneNodeExt() override;

    void animateNode(irr::scene::ISceneNode*, irr::u32) override {}
    // A new extension for the clone with a copy of the parameters.
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    bool isEventReceiverEnabled() const override { return false; }
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override
    {
        return static_cast<irr::scene::ESCENE_NODE_ANIMATOR_TYPE>(TA_LIGHT_SCENE_NODE_EXT_TYPE);
    }
    bool hasFinished(void) const override { return false; }
    irr::scene::ILightSceneNode* getLight() const { return m_light; }

    const STaLightParams& params() const { return m_params; }
    STaLightParams& params() { return m_params; }

    // Both also make the light's diffuse colour intensity x raw colour (alpha 1).
    void setIntensity(irr::f32 intensity);
    void setRawColour(irr::f32 r, irr::f32 g, irr::f32 b);
    void setProjectionImage(irr::video::ITexture* image);

private:
    void updateDiffuse();
    irr::scene::ILightSceneNode* m_light;
    STaLightParams m_params;
};

// The light's extension, or nullptr.
CTaLightSceneNodeExt* taGetLightSceneNodeExt(irr::scene::ISceneNode* light);
// The light's extension, made and attached on first use (nullptr for a node that is not a light).
CTaLightSceneNodeExt* taAttachLightSceneNodeExt(irr::scene::ISceneNode* light);
