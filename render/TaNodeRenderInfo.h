// What the renderers read of a scene node beyond Irrlicht's: its render-set mask, whether it casts
// shadows, and the material variants of its techniques. The node extensions of the scene layer
// provide it (registered with taSetNodeRenderInfoLookup); a node without one has the defaults of
// taDefaultNodeRenderInfo.
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

// How the renderers find a node's information (nullptr: the node has none).
typedef ITaNodeRenderInfo* (*TaNodeRenderInfoLookup)(irr::scene::ISceneNode* node);
void taSetNodeRenderInfoLookup(TaNodeRenderInfoLookup lookup);
ITaNodeRenderInfo* taNodeRenderInfo(irr::scene::ISceneNode* node);

// A node without information: in no render set, casting shadows when it is a mesh (static,
// animated or morphing), with no technique variants.
bool taDefaultCastsShadows(irr::scene::ISceneNode* node);
