// CTaPostSMAA: morphological antialiasing in three full-screen passes (luma edge detection, blending
// weights from the area and search lookup images, neighbourhood blending), the weight pass limited to
// edge pixels by the stencil; and CTaScreenQuadAligned, the quad its passes draw on.
#pragma once

#include "driver/TaMaterialExt.h"

#include <irrlicht.h>

#include <functional>

class CTaEffect;
class CTaEffectManager;
class CTaRenderServices;
class ITaTextureManager;
class ITaVideoDriverExt;

// A full-screen quad drawing one effect with a material extension record of its own: four corners
// at depth 0, normal (0, 0, 1), colour 0, triangles (0, 1, 3) and (1, 2, 3), texture coordinates
// (0, 0) at the top left as the engine's screen quad has them (the post-processing shaders take
// theirs from the clip position). On Direct3D 9 the corners move half a pixel of the current
// render target left and up (its pixel-centre fix); on OpenGL they stay at -1..1.
class CTaScreenQuadAligned
{
public:
    CTaScreenQuadAligned();
    ~CTaScreenQuadAligned();
    CTaScreenQuadAligned(const CTaScreenQuadAligned&) = delete;
    CTaScreenQuadAligned& operator=(const CTaScreenQuadAligned&) = delete;

    // Draws technique 0, pass 0 of `effect` (a reference is held) from now on, with the pass's own
    // layers; false when the effect has no such pass. nullptr lets go of the effect.
    bool setEffect(CTaEffect* effect);
    CTaEffect* effect() const { return m_effect; }
    // The texture and filtering of one layer (0 to 7), over the pass's own.
    void setTexture(int layer, irr::video::ITexture* texture);
    void setBilinear(int layer, bool bilinear);
    const STaTextureLayer& layer(int layer) const { return m_pass.layers[layer]; }
    // The material the quad draws with and its record's handle.
    const irr::video::SMaterial& material() const { return m_material; }
    irr::u32 record() const { return m_record; }

    // The corners for a render target of `size` on `driverType`.
    void placeVertices(const irr::core::dimension2du& size, irr::video::E_DRIVER_TYPE driverType);
    const irr::video::S3DVertex* vertices() const { return m_vertices; }
    static const irr::u16* indices();

    // Places the corners for the current render target, sets the material (lighting, depth writes,
    // wireframe and culling off, depth test always) and an identity world transform and draws.
    // `rawStates` (when given) sets the driver extension's raw states for the draw, once Irrlicht has
    // made the quad's material current (a change of material renderer puts them back). Nothing
    // without an effect.
    void draw(irr::video::IVideoDriver* driver, ITaVideoDriverExt* driverExt,
              const std::function<void()>& rawStates = nullptr);

private:
    irr::video::S3DVertex m_vertices[4];
    irr::video::SMaterial m_material;
    STaMaterial m_pass; // the effect pass's material with this quad's layers
    irr::u32 m_record;  // the material extension record naming the effect
    CTaEffect* m_effect = nullptr;
};

class CTaPostSMAA
{
public:
    // `textures` loads the two lookup images (the engine's texture manager); without one they are
    // loaded by the driver directly.
    CTaPostSMAA(irr::IrrlichtDevice* device, CTaRenderServices* services, ITaVideoDriverExt* driverExt,
                ITaTextureManager* textures = nullptr);
    ~CTaPostSMAA();
    CTaPostSMAA(const CTaPostSMAA&) = delete;
    CTaPostSMAA& operator=(const CTaPostSMAA&) = delete;

    // Files in this order: edge detection, blending weights, neighbourhood blending and gamma effects,
    // the area and the search images (paths as taFindFile gives them). False on a second call, or
    // with "CTaPostSMAA failed to load %s" for each file that failed (whatever was made is let go).
    bool init(CTaEffectManager* effects, const char* const files[6]);
    bool isInitialised() const { return m_initialised; }

    // Antialiases `source` into `destination` (or the back buffer when outputIsBackBuffer), `work`
    // holding the gamma-encoded copy and then the weights. Nothing when not initialised.
    // `destination` and `work` are render targets of the source's size, so that they share the
    // driver's depth-stencil buffer: the edge pass marks the edge pixels there for the weight pass.
    void run(irr::video::ITexture* destination, irr::video::ITexture* source, irr::video::ITexture* work,
             bool outputIsBackBuffer, bool sourceIsLinear);

private:
    enum { EDGE, WEIGHT, BLEND, GAMMA, QUADS };
    void release();

    irr::IrrlichtDevice* m_device;
    CTaRenderServices* m_services;
    ITaVideoDriverExt* m_driverExt;
    ITaTextureManager* m_textures;
    CTaScreenQuadAligned m_quads[QUADS];
    irr::video::ITexture* m_areaTexture = nullptr;   // held while initialised
    irr::video::ITexture* m_searchTexture = nullptr; // held while initialised
    bool m_initialised = false;
};
