// Object surfaces.
#include "scene/TaSurfaces.h"

#include "core/TaLog.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "effects/TaSemanticTable.h"
#include "engine/Ta2D.h"
#include "engine/TaEffects.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "files/TaFile.h"
#include "nodes/TaSceneNodeExt.h"
#include "nodes/TaTextureManager.h"
#include "render/TaRenderer.h"
#include "scene/TaObjects.h"

#include <cstring>
#include <strings.h>

using namespace irr;

namespace {

constexpr int kMacroCapacity = 100;

CTaSceneNodeExt* objectExt(int id, int code = 1)
{
    scene::ISceneNode* node = taGetObject(id, code);
    if (!node)
        return nullptr;
    CTaSceneNodeExt* ext = taGetSceneNodeExt(node);
    if (!ext)
        taErrorCode(1, "Object ID %d unexpected format (no node extension)", id);
    return ext;
}

// The object's LightWave surface, or nullptr with the error.
CTaSurfaceLightwave* objectSurface(int id, int surface)
{
    CTaSceneNodeExt* ext = objectExt(id);
    if (!ext)
        return nullptr;
    auto* lightwave = surface >= 0 ? dynamic_cast<CTaSurfaceLightwave*>(ext->getSurface(u32(surface))) : nullptr;
    if (!lightwave)
        taErrorCode(2, "Object ID %d has no surface %d", id, surface);
    return lightwave;
}

int channelOf(const char* name)
{
    for (int c = 0; name && c < ETASC_COUNT; ++c)
        if (strcasecmp(taSurfaceChannelName(c), name) == 0)
            return c;
    taErrorCode(3, "Unknown surface channel '%s'", name ? name : "");
    return -1;
}

// The surface's macros and then the renderer's, with the base material; false with the step's error.
bool compileParameters(CTaSceneNodeExt* ext, u32 index, ITaSurface* surface, STaFxMacro* macros, std::string& file,
                       video::E_MATERIAL_TYPE& base, int id, bool forSetSurfaces)
{
    int capacity = kMacroCapacity;
    const STaSurfaceNodeInfo info = ext->surfaceNodeInfo(index);
    if (!surface->getEffectCompileParameters(base, macros, capacity, &info)) {
        if (forSetSurfaces)
            taErrorCode(3, "Object ID %d, Surf %d : Failed to get the effect compile parameters", id, int(index));
        else
            taErrorCode(-1, "Failed to get the effect compile parameters");
        return false;
    }
    int room = kMacroCapacity - capacity;
    char name[TA_PATH_BUFFER] = {};
    ITaRenderer* renderer = taGetCurrentRenderer();
    if (!renderer || !renderer->getMaterialEffect(name, sizeof name, macros + capacity, &room, base)) {
        if (forSetSurfaces)
            taErrorCode(3, "Object ID %d, Surf %d : Failed to get the renderer effect", id, int(index));
        else
            taErrorCode(-1, "Failed to get the renderer effect");
        return false;
    }
    macros[capacity + room].name = nullptr;
    macros[capacity + room].value = nullptr;
    file = name;
    return true;
}

// The renderer's effect for surface `index`, built again only when the surface needs another variant
// than the one it has. False with the step's error.
bool rendererEffect(CTaSceneNodeExt* ext, u32 index, int id, bool forSetSurfaces)
{
    ITaSurface* surface = ext->getSurface(index);
    if (!surface)
        return true;
    STaFxMacro macros[kMacroCapacity];
    std::string file;
    video::E_MATERIAL_TYPE base = video::EMT_SOLID;
    if (!compileParameters(ext, index, surface, macros, file, base, id, forSetSurfaces))
        return false;
    if (file.empty())
        return true;
    std::string variant = file + "|" + std::to_string(int(base));
    for (const STaFxMacro* m = macros; m->name; ++m)
        variant += std::string(" ") + m->name + (m->value ? std::string("=") + m->value : std::string());
    const std::string* current = ext->rendererVariant(index);
    if (current && *current == variant)
        return true;
    const std::string path = taFindFile(file.c_str());
    CTaEffect* effect = taGetManager()->getEffectManager()->createEffect(path.c_str(), base, macros);
    if (!effect) {
        taErrorCodeBox(3, "Object ID %d, Surf %d : Failed to compile effect %s", id, int(index), path.c_str());
        return false;
    }
    ext->setRendererEffect(index, effect, variant);
    effect->drop();
    return true;
}

} // namespace

void taBuildSurfaceEffects(CTaSceneNodeExt* ext, int id)
{
    if (!ext)
        return;
    for (u32 i = 0; i < ext->materialCount(); ++i)
        rendererEffect(ext, i, id, true);
    ext->applyMaterials();
}

int SetObjectSurfaceParamTex(int id, int surface, const char* channel, const char* file)
{
    CTaSurfaceLightwave* lightwave = objectSurface(id, surface);
    const int c = lightwave ? channelOf(channel) : -1;
    if (c < 0)
        return -1;
    CTaTextureManager* textures = taGetManager()->getTextureManager();
    const char* path = taFindFile(file ? file : "");
    video::ITexture* texture =
        c == ETASC_REFLECTIONIMAGE ? textures->getCubeTexture(path, true) : textures->getTexture(path, true);
    if (!texture) {
        taErrorCode(4, "Texture does not exist '%s'", file ? file : "");
        return -1;
    }
    lightwave->setTexture(c, texture);
    return 0;
}

int SetObjectSurfaceParamTexImg(int id, int surface, const char* channel, int image)
{
    CTaSurfaceLightwave* lightwave = objectSurface(id, surface);
    const int c = lightwave ? channelOf(channel) : -1;
    if (c < 0)
        return -1;
    auto* texture = static_cast<video::ITexture*>(idGet(taEngine().images.get(), image));
    if (!texture) {
        taErrorCode(4, "Image %d does not exist", image);
        return -1;
    }
    lightwave->setTexture(c, texture);
    return 0;
}

int SetObjectSurfaceParamInt(int id, int surface, const char* channel, int value)
{
    CTaSurfaceLightwave* lightwave = objectSurface(id, surface);
    const int c = lightwave ? channelOf(channel) : -1;
    if (c < 0)
        return -1;
    lightwave->setInt(c, value);
    return 0;
}

int SetObjectSurfaceParamFloat(int id, int surface, const char* channel, float value)
{
    CTaSurfaceLightwave* lightwave = objectSurface(id, surface);
    const int c = lightwave ? channelOf(channel) : -1;
    if (c < 0)
        return -1;
    lightwave->setFloat(c, value);
    return 0;
}

int SetObjectSurfaceParamFloat3(int id, int surface, const char* channel, float x, float y, float z)
{
    CTaSurfaceLightwave* lightwave = objectSurface(id, surface);
    const int c = lightwave ? channelOf(channel) : -1;
    if (c < 0)
        return -1;
    lightwave->setVector(c, x, y, z);
    return 0;
}

int SetObjectSurfaceEffect(int id, int surface, int effectId)
{
    CTaEffect* effect = taGetEffect(effectId, 3);
    if (!effect)
        return -1;
    CTaSceneNodeExt* ext = objectExt(id);
    if (!ext)
        return -1;
    if (surface < 0 || u32(surface) >= ext->materialCount()) {
        taErrorCode(2, "Object ID %d has no surface %d", id, surface);
        return -1;
    }
    ext->setEffect(u32(surface), effect, 0, 0);
    return 0;
}

int SetObjectSurfaceEffectTechnique(int id, int surface, int technique)
{
    CTaSceneNodeExt* ext = objectExt(id);
    if (!ext)
        return -1;
    if (surface < 0 || u32(surface) >= ext->materialCount()) {
        taErrorCode(2, "Object ID %d has no surface %d", id, surface);
        return -1;
    }
    ext->setTechnique(u32(surface), technique);
    return 0;
}

int UpdateObjectFromSurfaces(int id)
{
    CTaSceneNodeExt* ext = objectExt(id);
    if (!ext)
        return -1;
    // Surfaces drawn with the renderer's effect get the variant their channels need now.
    for (u32 i = 0; i < ext->materialCount(); ++i)
        if (ext->rendererVariant(i))
            rendererEffect(ext, i, id, true);
    if (!ext->applyMaterials()) {
        taErrorCode(-1, "Object ID %d: the mesh could not be given tangents", id);
        return -1;
    }
    return 0;
}

int LoadEffectForObjectSurface(const char* file, int effectId, int id, int surface)
{
    STaIdTable* table = taEngine().effects.get();
    CTaManager* manager = taGetManager();
    if (!table || !manager)
        return -1;
    scene::ISceneNode* node = taGetObject(id, 3);
    if (!node)
        return -1;
    CTaSceneNodeExt* ext = taGetSceneNodeExt(node);
    if (!ext) {
        taErrorCode(3, "Object ID %d does not have node extension", id);
        return -1;
    }
    ITaSurface* own = surface >= 0 ? ext->getSurface(u32(surface)) : nullptr;
    if (!own) {
        taErrorCode(4, "Invalid surface ID %d for the Object ID %d", surface, id);
        return -1;
    }
    STaFxMacro macros[kMacroCapacity];
    std::string rendererFile;
    video::E_MATERIAL_TYPE base = video::EMT_SOLID;
    if (!compileParameters(ext, u32(surface), own, macros, rendererFile, base, id, false))
        return -1;
    DeleteEffect(effectId);
    if (idInsert(table, effectId, table) != 0) {
        taErrorCode(2, "invalid effect ID %d : %s", effectId, idGetErrorText());
        return -1;
    }
    idRemove(table, effectId);
    CTaEffect* effect = manager->getEffectManager()->createEffect(taFindFile(file ? file : ""), base, macros);
    if (!effect) {
        taErrorCode(1, "Failed to load effect '%s' : %s", file ? file : "",
                    manager->getEffectManager()->getLastError().c_str());
        return -1;
    }
    idInsert(table, effectId, effect);
    return 0;
}

int SetSurfaces(int id, int count, const STaSurfaceRecord* records, bool recreateShaders)
{
    scene::ISceneNode* node = taGetObject(id, 1);
    if (!node)
        return -1;
    CTaSceneNodeExt* ext = taGetSceneNodeExt(node);
    if (!ext) {
        taErrorCode(1, "Object ID %d unexpected format (no node extension)", id);
        return -1;
    }
    if (count <= 0 || !records)
        return 0;
    CTaManager* manager = taGetManager();
    CTaTextureManager* textures = manager->getTextureManager();
    for (int i = 0; i < count; ++i) {
        const STaSurfaceRecord& record = records[i];
        auto* surface = dynamic_cast<CTaSurfaceLightwave*>(ext->getSurface(u32(i)));
        if (!surface) {
            taErrorCode(1, "Object ID %d has no surface %d, cannot SetSurfaces", id, i);
            return -1;
        }
        for (int c = 0; c < ETASC_COUNT; ++c) {
            const STaSurfaceChannelRecord& channel = record.channels[c];
            if (channel.kind == ETAPARAM_VECTOR3)
                surface->setVector(c, channel.vector[0], channel.vector[1], channel.vector[2]);
            else if (channel.kind == ETAPARAM_FLOAT)
                surface->setFloat(c, channel.vector[0]);
            else if (channel.kind == ETAPARAM_INT)
                surface->setInt(c, channel.integer);
        }
        const bool ownEffect = record.applyToSurface != 0;
        if (recreateShaders) {
            for (int c = 0; c < ETASC_COUNT; ++c) {
                const STaSurfaceChannelRecord& channel = record.channels[c];
                video::ITexture* texture = nullptr;
                if (!channel.imageFile.empty()) {
                    const char* path = taFindFile(channel.imageFile.c_str());
                    texture = c == ETASC_REFLECTIONIMAGE ? textures->getCubeTexture(path, channel.imageMipMaps != 0)
                                                         : textures->getTexture(path, channel.imageMipMaps != 0);
                    if (!texture)
                        taErrorCodeBox(3, "Object ID %d, Surf %d, Param %d: texture '%s' not found", id, i, c,
                                       channel.imageFile.c_str());
                }
                surface->setTexture(c, texture);
                surface->setColourSpace(c, channel.imageColourSpace == 1 ? 1 : 0);
            }
            if (!surface->getTexture(ETASC_REFLECTIONIMAGE) && ext->getCubeMapTexture()) {
                surface->setTexture(ETASC_REFLECTIONIMAGE, ext->getCubeMapTexture());
                surface->setColourSpace(ETASC_REFLECTIONIMAGE, 0);
            }
            STaFxMacro macros[kMacroCapacity];
            std::string rendererFile;
            video::E_MATERIAL_TYPE base = video::EMT_SOLID;
            if (!ownEffect) {
                rendererEffect(ext, u32(i), id, true);
            } else if (compileParameters(ext, u32(i), surface, macros, rendererFile, base, id, true)) {
                std::string flagStorage;
                const std::string file = taFindFile(record.effect.fileName.c_str());
                if (!taAppendCompileFlags(record.effect.compileFlags.c_str(), macros, kMacroCapacity, flagStorage))
                    taErrorCode(3, "Object ID %d, Surf %d : the compile flags of %s do not fit, left out", id, i,
                                file.c_str());
                CTaEffect* effect = manager->getEffectManager()->createEffect(file.c_str(), base, macros);
                if (!effect) {
                    taErrorCodeBox(3, "Object ID %d, Surf %d : Failed to compile effect %s", id, i, file.c_str());
                } else {
                    ext->setEffect(u32(i), effect, 0, 0);
                    effect->drop();
                }
            }
        }
        CTaEffect* effect = ext->getEffect(u32(i));
        if (effect && ownEffect) {
            if (recreateShaders && !taApplyEffectTextures(effect, record.effect, textures))
                taErrorCode(3, "Object ID %d Surface %d: failed to set textures of shader '%s'", id, i,
                            record.effect.fileName.c_str());
            if (!taApplyEffectParameters(effect, record.effect))
                taErrorCode(3, "Object ID %d Surface %d: failed to set parameters of shader '%s'", id, i,
                            record.effect.fileName.c_str());
        }
    }
    return 0;
}
