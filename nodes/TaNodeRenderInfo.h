// What the renderers read of a scene node beyond Irrlicht's: its render-set mask, whether it casts
// shadows, and the material variants of its techniques. Node extensions (CTaSceneNodeExt) provide it.
#pragma once

#include <irrlicht.h>

class ITaNodeRenderInfo
{
public:
    virtual ~ITaNodeRenderInfo() = default;
    virtual irr::u32 renderSetMask() const = 0;
    virtual bool castsShadows() const = 0;
    // Keeps the node's materials so that variants can be put on them for one draw.
    virtual void saveMaterials() = 0;
    // The variant of material `material` for technique `technique` (0 depth, 1 shadow, 2
    // reflection), or -1 when it has none.
    virtual int techniqueVariant(irr::u32 material, int technique) = 0;
    virtual void applyVariant(irr::u32 material, int variant) = 0;
    virtual void restoreMaterials() = 0;
};
