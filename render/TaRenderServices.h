// CTaRenderServices: drawing operations shared by every renderer.
#pragma once

#include "driver/TaVideoDriverExt.h"

class CTaRendererManager;
class CTaEffect;
class ITaRenderer;

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
    // coordinates (0, 0) at the top left, identity transforms while it draws (the driver's come back
    // afterwards).
    void drawScreenQuad(irr::video::SMaterial material);
    // The full-screen quad drawn with pass `pass` of technique `technique` of an effect, its
    // constants fed as for any effect draw (no node); false when the effect has no such pass.
    // `textures` (when given) go into layers 0 to count - 1 for this draw; null entries leave the
    // pass's own.
    virtual bool drawEffectQuad(CTaEffect* effect, int technique, int pass, irr::video::ITexture* const* textures = nullptr,
                                int count = 0);

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
    // With `fallback`, the materials without such a variant (and every material of a node without
    // render information) are drawn with the fallback effect's first pass instead of being left out.
    // `override` (its EnableFlags say which fields) replaces the nodes' materials' fields. A node in
    // a render set of `hideSet`, or outside `showSet` when that is not 0, is left out. `count`
    // receives the nodes drawn.
    virtual bool renderNodes(const irr::core::array<irr::scene::ISceneNode*>& nodes,
                             irr::scene::E_SCENE_NODE_RENDER_PASS pass, const char* technique,
                             const irr::video::SOverrideMaterial* override, irr::u32 hideSet, irr::u32 showSet,
                             int& count, CTaEffect* fallback = nullptr);

    // --- Cube maps ---
    // Draws the six faces of a cube render target from `position`: for +X, -X, +Y, -Y, +Z, -Z the
    // services' own camera (90 degrees, aspect 1, near 0.1, far 1000) looks 10 units along the axis,
    // up (0, 1, 0) for the side faces, (0, 0, -1) for +Y and (0, 0, 1) for -Y; `renderer` draws the
    // scene into `faceTexture` (a 2D render target of the face size) and the picture is copied into
    // the face, its top row first as Direct3D keeps cube faces, so that lookups by direction find it.
    // The active camera and the back buffer are selected again on every path; false when a face
    // cannot be drawn (the faces before it keep their new pictures).
    virtual bool renderCubeMap(CTaTexture* cube, irr::video::ITexture* faceTexture, const irr::core::vector3df& position,
                               ITaRenderer* renderer);
    // Clears the six faces to 0, then selects the back buffer.
    virtual void clearCubeMap(CTaTexture* cube);
    // Draws the cube map into `target` (selected without clearing) through the latitude/longitude
    // effect, then selects the back buffer; false with a message before the effect is set.
    virtual bool copyCubeMapToLatLong(irr::video::ITexture* target, CTaTexture* cube);
    // Keeps a reference to the latitude/longitude effect, letting go of the previous one.
    virtual void setCubeMapToLatLongEffect(CTaEffect* effect);

    // --- The scene's nodes of this frame, by the walk of collectVisibleNodes ---
    virtual void getLightList(irr::core::array<irr::scene::ISceneNode*>& out);
    // Meshes with an opaque material, meshes with a transparent one, and particle systems.
    virtual void getSolidList(irr::core::array<irr::scene::ISceneNode*>& out);
    virtual void getTransparentList(irr::core::array<irr::scene::ISceneNode*>& out);
    virtual void getTransparentEffectList(irr::core::array<irr::scene::ISceneNode*>& out);
    // The nodes of `in` that cast shadows, in order.
    virtual void filterShadowCasters(irr::core::array<irr::scene::ISceneNode*>& out,
                                     const irr::core::array<irr::scene::ISceneNode*>& in);

    // --- Debug draws, in world space with the current view ---
    virtual void drawBox(const irr::core::aabbox3df& box);
    virtual void drawLightFrustum(irr::scene::ILightSceneNode* light);

private:
    bool drawNode(irr::scene::ISceneNode* node, bool transparentPass, irr::video::SOverrideMaterial* override);

    irr::IrrlichtDevice* m_device;
    ITaVideoDriverExt* m_driverExt; // the raw states its passes set
    irr::u32 m_quadRecord = 0;      // the material extension record of effect quads
    irr::u32 m_fallbackRecord = 0;  // the one of the fallback effect of renderNodes
    irr::scene::ICameraSceneNode* m_camera = nullptr; // the cube faces' camera, outside the scene graph
    CTaEffect* m_latLongEffect = nullptr;
    bool m_valid = true;
};

// The camera a light's shadow map is drawn from: view and projection, and the near and far values the
// light passes report (far is 1 for a directional light). Spot and point lights look along the
// node's world direction with a perspective of twice the outer cone; a directional light looks from
// one unit behind its position through a 30 x 30 orthographic box.
void taLightShadowCamera(irr::scene::ILightSceneNode* light, irr::core::matrix4& view, irr::core::matrix4& projection,
                         float& nearValue, float& farValue);

// Fills the light block the surface effects read (LightsNum, LightsIni, LightParams) from the
// visible lights of the scene: directional lights first, then point, then spot lights, at most five
// in all (the first ones found of each kind, in that order of kinds); colour is the light's diffuse
// colour (intensity included), direction the way the light shines in the world, 1 / radius^2, and
// the spot cone as (cos outer, cos inner) of Irrlicht's half angles. Counts and first indices of
// the three groups.
void taFillLightBlock(irr::scene::ISceneManager* scene);
