// The table of material extension records.
#include "driver/TaMaterialExt.h"

#include "driver/TaTexture.h"
#include "driver/TaVideoDriverExt.h"

#include <memory>
#include <vector>

using namespace irr;

namespace {

// Records stay where they are while in use (their addresses are handed out).
std::vector<std::unique_ptr<STaMaterialExt>> g_records; // index = handle - 1
std::vector<u32> g_free;

} // namespace

u32 taNewMaterialExt()
{
    if (!g_free.empty()) {
        const u32 handle = g_free.back();
        g_free.pop_back();
        g_records[handle - 1] = std::make_unique<STaMaterialExt>();
        return handle;
    }
    g_records.push_back(std::make_unique<STaMaterialExt>());
    return static_cast<u32>(g_records.size());
}

STaMaterialExt* taGetMaterialExt(u32 handle)
{
    if (handle == 0 || handle > g_records.size())
        return nullptr;
    return g_records[handle - 1].get();
}

void taFreeMaterialExt(u32 handle)
{
    if (!taGetMaterialExt(handle))
        return;
    g_records[handle - 1].reset();
    g_free.push_back(handle);
}

size_t taMaterialExtCount()
{
    return g_records.size() - g_free.size();
}

u32 taMaterialExtHandle(const video::SMaterial& material)
{
    const f32 value = material.MaterialTypeParam2;
    // Only whole numbers in the handle range count: any other value is Irrlicht's or nobody's.
    if (!(value >= 1.0f && value <= 16777216.0f) || value != static_cast<f32>(static_cast<u32>(value)))
        return 0;
    return static_cast<u32>(value);
}

STaMaterialExt* taMaterialExtOf(const video::SMaterial& material)
{
    STaMaterialExt* record = taGetMaterialExt(taMaterialExtHandle(material));
    return record && record->marker == TA_MATERIAL_EXT_MARKER ? record : nullptr;
}

void taApplyMaterial(const STaMaterial& from, video::SMaterial& target, u32 handle, ITaVideoDriverExt* driverExt)
{
    if (driverExt) {
        for (const STaTextureLayer& layer : from.layers)
            if (layer.texture)
                driverExt->prepareTexture(layer.texture, layer.srgb);
        for (const STaTextureLayer& layer : from.vertexLayers)
            if (layer.texture)
                driverExt->prepareTexture(layer.texture, layer.srgb);
    }
    target.MaterialType = from.material.MaterialType;
    target.MaterialTypeParam = from.material.MaterialTypeParam;
    target.MaterialTypeParam2 = static_cast<f32>(handle);
    target.BlendOperation = from.material.BlendOperation;
    for (int n = 0; n < TA_MATERIAL_LAYERS; ++n) {
        const STaTextureLayer& layer = from.layers[n];
        if (n < static_cast<int>(video::MATERIAL_MAX_TEXTURES)) {
            const bool irrlichtOwn = layer.texture && !dynamic_cast<CTaTexture*>(layer.texture) && !layer.srgb;
            target.TextureLayer[n].Texture = irrlichtOwn ? layer.texture : nullptr;
            target.TextureLayer[n].TextureWrapU = layer.wrapU;
            target.TextureLayer[n].TextureWrapV = layer.wrapV;
            target.TextureLayer[n].BilinearFilter = layer.bilinear;
            target.TextureLayer[n].TrilinearFilter = layer.trilinear;
            target.TextureLayer[n].AnisotropicFilter = layer.anisotropy;
        }
    }
    if (STaMaterialExt* record = taGetMaterialExt(handle)) {
        for (int n = 0; n < TA_MATERIAL_LAYERS; ++n)
            record->layers[n] = from.layers[n];
        for (int n = 0; n < TA_MATERIAL_VERTEX_LAYERS; ++n)
            record->vertexLayers[n] = from.vertexLayers[n];
    }
}
