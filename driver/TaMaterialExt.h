// What an engine material carries beyond Irrlicht 1.8's SMaterial: eight texture layers and four
// vertex texture layers with their sampling (wrap, filters, anisotropy, sRGB), and the record that
// tells the effect's constant callback which effect, technique, pass, node and surface a draw is.
//
// Irrlicht 1.8's SMaterial has four layers and no user pointer. The record lives in a table of the
// engine's; a material names it by a handle kept in SMaterial::MaterialTypeParam2 (as a whole
// number; 0 means none), which no Irrlicht material renderer reads and the engine's own material
// renderers own. At draw time the engine's material renderer finds the record from the material and
// binds its layers itself: layers 0 to 3 holding plain 2D textures of Irrlicht's also go through the
// SMaterial (so fixed-function draws see them), everything else only through the record.
#pragma once

#include <irrlicht.h>

constexpr irr::u32 TA_MATERIAL_EXT_MARKER = 0x123456;
constexpr int TA_MATERIAL_LAYERS = 8;
constexpr int TA_MATERIAL_VERTEX_LAYERS = 4;
// Texture units of the vertex layers: 8 to 11.
constexpr int TA_VERTEX_TEXTURE_UNIT = 8;

// A texture layer: the texture and how it is sampled. Wrap modes are Irrlicht's E_TEXTURE_CLAMP.
struct STaTextureLayer {
    irr::video::ITexture* texture = nullptr;
    irr::u8 wrapU = irr::video::ETC_REPEAT;
    irr::u8 wrapV = irr::video::ETC_REPEAT;
    bool bilinear = true;
    bool trilinear = false;
    irr::u8 anisotropy = 0; // 0 or 1: off
    bool srgb = false;
};

// A material with all the engine's layers: what an effect pass holds and hands out.
struct STaMaterial {
    irr::video::SMaterial material;
    STaTextureLayer layers[TA_MATERIAL_LAYERS];
    STaTextureLayer vertexLayers[TA_MATERIAL_VERTEX_LAYERS];
};

// The record a material's handle names.
struct STaMaterialExt {
    irr::u32 marker = TA_MATERIAL_EXT_MARKER;
    void* effect = nullptr; // the effect that draws with this material (the effects layer's CTaEffect)
    int technique = 0;
    int pass = 0;
    irr::scene::ISceneNode* node = nullptr; // null for screen quads
    int surface = 0;
    STaTextureLayer layers[TA_MATERIAL_LAYERS];
    STaTextureLayer vertexLayers[TA_MATERIAL_VERTEX_LAYERS];
};

// A new zeroed record (marker set) and its handle (1, 2, ...; freed handles are reused).
irr::u32 taNewMaterialExt();
// The record of a handle, or nullptr for 0, a freed or an unknown handle.
STaMaterialExt* taGetMaterialExt(irr::u32 handle);
void taFreeMaterialExt(irr::u32 handle);
// Records in use now.
size_t taMaterialExtCount();

// The handle a material carries (0 for none) and the record it names with the marker checked.
irr::u32 taMaterialExtHandle(const irr::video::SMaterial& material);
STaMaterialExt* taMaterialExtOf(const irr::video::SMaterial& material);

// Makes `target` draw as `from` with the record of `handle`: material type and parameter, the
// handle, layers 0 to 3 that hold plain 2D textures of Irrlicht's (and not sRGB) in the SMaterial's
// layers, and every layer in the record. The record's effect, technique, pass, node and surface are
// the caller's to set. With the driver extension, the textures the engine will bind are prepared
// (ITaVideoDriverExt::prepareTexture): call it outside draws.
void taApplyMaterial(const STaMaterial& from, irr::video::SMaterial& target, irr::u32 handle,
                     class ITaVideoDriverExt* driverExt = nullptr);
