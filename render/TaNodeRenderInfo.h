// How the renderers find what they read of a scene node (ITaNodeRenderInfo): its node extension,
// or a lookup of the caller's; a node without either has the defaults of taDefaultCastsShadows.
#pragma once

#include "nodes/TaNodeRenderInfo.h"

#include <irrlicht.h>

// How the renderers find a node's information (nullptr: the node has none). Without a lookup of
// its own, a node's extension (CTaSceneNodeExt) answers.
typedef ITaNodeRenderInfo* (*TaNodeRenderInfoLookup)(irr::scene::ISceneNode* node);
void taSetNodeRenderInfoLookup(TaNodeRenderInfoLookup lookup);
ITaNodeRenderInfo* taNodeRenderInfo(irr::scene::ISceneNode* node);

// A node without information: in no render set, casting shadows when it is a mesh (static,
// animated or morphing), with no technique variants.
bool taDefaultCastsShadows(irr::scene::ISceneNode* node);
