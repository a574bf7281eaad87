// CTaRenderServices: drawing operations shared by every renderer.
#pragma once

#include "driver/TaVideoDriverExt.h"

class CTaRendererManager;

class CTaRenderServices
{
public:
    CTaRenderServices(irr::IrrlichtDevice* device, ITaVideoDriverExt* driverExt);
    virtual ~CTaRenderServices();

    // False when the services could not be built; the engine does not start then.
    bool isValid() const { return m_valid; }

    // Several render targets at once; count 0 or a null first texture selects the back buffer.
    // Nothing is cleared.
    virtual bool setRenderTargets(irr::video::ITexture** textures, int count);
    // Draws the texture over the whole current render target.
    virtual void copyTexture(irr::video::ITexture* texture);
    // Draws the full-screen quad with `material` (its own states: lighting and depth writes off,
    // depth test always, both faces): clip-space corners (-1, -1) to (1, 1) at depth 0, texture
    // coordinates (0, 0) at the top left, identity transforms.
    void drawScreenQuad(irr::video::SMaterial material);
    // The full-screen quad drawn with pass `pass` of technique `technique` of an effect, its
    // constants fed as for any effect draw (no node); false when the effect has no such pass.
    virtual bool drawEffectQuad(class CTaEffect* effect, int technique, int pass);

    // --- Node lists ---
    // The visible nodes below the scene root in walk order (an invisible node ends its branch;
    // lights and cameras are not listed and their children not visited).
    virtual void collectVisibleNodes(irr::core::array<irr::scene::ISceneNode*>& out);
    // The same walk keeping the nodes that cast shadows.
    virtual void collectShadowCasters(irr::core::array<irr::scene::ISceneNode*>& out);
    // Draws the listed nodes' mesh buffers that belong to `pass` (ESNRP_SOLID: opaque materials;
    // ESNRP_TRANSPARENT or ESNRP_TRANSPARENT_EFFECT: transparent ones), in list order. `technique`
    // "", "depth", "shadow" or "reflection": with one, only nodes with render information and a
    // variant of that technique are drawn, with the variant; any other name draws nothing (false).
    // `override` (its EnableFlags say which fields) replaces the nodes' materials' fields. A node in
    // a render set of `hideSet`, or outside `showSet` when that is not 0, is left out. `count`
    // receives the nodes drawn.
    virtual bool renderNodes(const irr::core::array<irr::scene::ISceneNode*>& nodes,
                             irr::scene::E_SCENE_NODE_RENDER_PASS pass, const char* technique,
                             const irr::video::SOverrideMaterial* override, irr::u32 hideSet, irr::u32 showSet,
                             int& count);

private:
    bool drawNode(irr::scene::ISceneNode* node, bool transparentPass, irr::video::SOverrideMaterial* override);

    irr::IrrlichtDevice* m_device;
    ITaVideoDriverExt* m_driverExt; // the raw states its passes set
    irr::u32 m_quadRecord = 0;      // the material extension record of effect quads
    bool m_valid = true;
};
