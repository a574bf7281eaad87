// Effects: value slots, pass materials, the per-draw upload, the constant callback, the texture
// resolver.
#include "effects/TaEffect.h"

#include "core/TaLog.h"
#include "driver/TaTexture.h"
#include "driver/TaVideoDriverExt.h"
#include "files/TaFile.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

using namespace irr;

CTaEffect::CTaEffect(ITaEffectDef* definition) : m_definition(definition)
{
    m_definition->grab();
    const size_t count = m_definition->getDesc().parameters;
    m_values.assign(count * 16, 0.0f);
    m_textureSlots.assign(count, STaFxTextureSlot());
}

CTaEffect::~CTaEffect()
{
    for (ITaEffectBind* bind : m_binds)
        bind->drop();
    m_definition->drop();
}

const SParameter* CTaEffect::parameter(int index) const
{
    return index >= 0 && static_cast<size_t>(index) < parameterCount()
               ? m_definition->getParameter(nullptr, static_cast<unsigned>(index))
               : nullptr;
}

int CTaEffect::parameterIndex(const char* name) const
{
    const SParameter* found = name ? m_definition->getParameterByName(nullptr, name) : nullptr;
    return found ? m_definition->getParameterIndex(found) : -1;
}

// `wantTexture`: 1 for a texture setter, 0 for a numeric one.
bool CTaEffect::numeric(int index, int wantTexture) const
{
    const SParameter* p = parameter(index);
    if (!p)
        return false;
    return taIsTextureType(p->type) == (wantTexture != 0);
}

bool CTaEffect::setFloat(int index, f32 value)
{
    if (!numeric(index, 0))
        return false;
    slot(index)[0] = value;
    return true;
}

bool CTaEffect::setFloatArray(int index, const f32* values, int count)
{
    if (!numeric(index, 0) || (!values && count > 0))
        return false;
    memcpy(slot(index), values, sizeof(f32) * std::min(std::max(count, 0), 16));
    return true;
}

bool CTaEffect::setBool(int index, bool value)
{
    if (!numeric(index, 0))
        return false;
    reinterpret_cast<u8*>(slot(index))[0] = value ? 1 : 0;
    return true;
}

bool CTaEffect::setInt(int index, s32 value)
{
    if (!numeric(index, 0))
        return false;
    memcpy(slot(index), &value, 4);
    return true;
}

bool CTaEffect::setIntArray(int index, const s32* values, int count)
{
    if (!numeric(index, 0) || (!values && count > 0))
        return false;
    memcpy(slot(index), values, sizeof(s32) * std::min(std::max(count, 0), 16));
    return true;
}

bool CTaEffect::setMatrix(int index, const core::matrix4& value)
{
    if (!numeric(index, 0))
        return false;
    memcpy(slot(index), value.pointer(), 64);
    return true;
}

bool CTaEffect::setFloat(const char* name, f32 value) { return setFloat(parameterIndex(name), value); }
bool CTaEffect::setFloatArray(const char* name, const f32* values, int count)
{
    return setFloatArray(parameterIndex(name), values, count);
}
bool CTaEffect::setBool(const char* name, bool value) { return setBool(parameterIndex(name), value); }
bool CTaEffect::setInt(const char* name, s32 value) { return setInt(parameterIndex(name), value); }
bool CTaEffect::setIntArray(const char* name, const s32* values, int count)
{
    return setIntArray(parameterIndex(name), values, count);
}
bool CTaEffect::setMatrix(const char* name, const core::matrix4& value) { return setMatrix(parameterIndex(name), value); }

f32 CTaEffect::getFloat(int index) const
{
    return parameter(index) ? slot(index)[0] : 0.0f;
}

bool CTaEffect::getFloatArray(int index, f32* out, int count) const
{
    if (!parameter(index) || !out)
        return false;
    memcpy(out, slot(index), sizeof(f32) * std::min(std::max(count, 0), 16));
    return true;
}

bool CTaEffect::getBool(int index) const
{
    return parameter(index) && reinterpret_cast<const u8*>(slot(index))[0] != 0;
}

s32 CTaEffect::getInt(int index) const
{
    s32 value = 0;
    if (parameter(index))
        memcpy(&value, slot(index), 4);
    return value;
}

bool CTaEffect::getIntArray(int index, s32* out, int count) const
{
    if (!parameter(index) || !out)
        return false;
    memcpy(out, slot(index), sizeof(s32) * std::min(std::max(count, 0), 16));
    return true;
}

core::matrix4 CTaEffect::getMatrix(int index) const
{
    core::matrix4 value;
    if (parameter(index))
        memcpy(value.pointer(), slot(index), 64);
    return value;
}

const STaFxTextureSlot* CTaEffect::getTextureSlot(int index) const
{
    return numeric(index, 1) ? &m_textureSlots[index] : nullptr;
}

namespace {

bool srgbOf(const ITaEffectDef* definition, const SParameter* parameter, bool defaultSRGB)
{
    const SParameter* annotation = definition->getAnnotationByName(parameter, "SRGB");
    return annotation ? annotation->value == "true" : defaultSRGB;
}

void putLayer(STaTextureLayer& layer, const STaFxTextureSlot& slot)
{
    layer.texture = slot.texture;
    layer.wrapU = slot.wrapU;
    layer.wrapV = slot.wrapV;
    layer.bilinear = slot.bilinear;
    layer.trilinear = slot.trilinear;
    layer.anisotropy = slot.anisotropy;
    layer.srgb = slot.srgb;
}

// The layers of `material` the samplers of a pass bound to `parameter` use.
void putSamplers(const STaFxPass& pass, int parameter, const STaFxTextureSlot& slot, STaMaterial& material)
{
    for (const STaFxShader& shader : pass.shaders)
        for (const STaFxTextureBind& sampler : shader.samplers) {
            if (sampler.parameter != parameter || sampler.sampler < 0)
                continue;
            if (shader.stage == ETAFX_STAGE_VERTEX) {
                if (sampler.sampler < TA_MATERIAL_VERTEX_LAYERS)
                    putLayer(material.vertexLayers[sampler.sampler], slot);
            } else if (sampler.sampler < TA_MATERIAL_LAYERS) {
                putLayer(material.layers[sampler.sampler], slot);
                // Irrlicht's material layers take only Irrlicht's own textures sampled as they are.
                if (sampler.sampler < static_cast<int>(video::MATERIAL_MAX_TEXTURES))
                    material.material.TextureLayer[sampler.sampler].Texture =
                        slot.texture && !dynamic_cast<CTaTexture*>(slot.texture) && !slot.srgb ? slot.texture : nullptr;
            }
        }
}

} // namespace

bool CTaEffect::setTexture(int index, video::ITexture* texture, bool defaultSRGB)
{
    if (!numeric(index, 1))
        return false;
    STaFxTextureSlot& slot = m_textureSlots[index];
    slot.texture = texture;
    slot.srgb = srgbOf(m_definition, parameter(index), defaultSRGB);
    for (auto& technique : m_techniques)
        for (STaFxPass& pass : technique)
            putSamplers(pass, index, slot, pass.material);
    return true;
}

bool CTaEffect::setTexture(const char* name, video::ITexture* texture, bool defaultSRGB)
{
    return setTexture(parameterIndex(name), texture, defaultSRGB);
}

bool CTaEffect::setTextureInLayers(int technique, int passIndex, int index, STaMaterial& layers,
                                   video::ITexture* texture, bool defaultSRGB) const
{
    const STaFxPass* found = pass(technique, passIndex);
    if (!found || !numeric(index, 1))
        return false;
    STaFxTextureSlot slot = m_textureSlots[index];
    slot.texture = texture;
    slot.srgb = srgbOf(m_definition, parameter(index), defaultSRGB);
    putSamplers(*found, index, slot, layers);
    return true;
}

size_t CTaEffect::passCount(int technique) const
{
    return technique >= 0 && static_cast<size_t>(technique) < m_techniques.size() ? m_techniques[technique].size() : 0;
}

const STaFxPass* CTaEffect::pass(int technique, int passIndex) const
{
    if (passIndex < 0 || static_cast<size_t>(passIndex) >= passCount(technique))
        return nullptr;
    return &m_techniques[technique][passIndex];
}

bool CTaEffect::getPassMaterial(int technique, int passIndex, STaMaterial& out) const
{
    const STaFxPass* found = pass(technique, passIndex);
    if (!found)
        return false;
    out.material.MaterialType = found->material.material.MaterialType;
    out.material.MaterialTypeParam = found->material.material.MaterialTypeParam;
    out.material.MaterialTypeParam2 = found->material.material.MaterialTypeParam2;
    out.material.BlendOperation = found->material.material.BlendOperation;
    for (u32 n = 0; n < video::MATERIAL_MAX_TEXTURES; ++n)
        out.material.TextureLayer[n].Texture = found->material.material.TextureLayer[n].Texture;
    std::copy(std::begin(found->material.layers), std::end(found->material.layers), std::begin(out.layers));
    std::copy(std::begin(found->material.vertexLayers), std::end(found->material.vertexLayers),
              std::begin(out.vertexLayers));
    return true;
}

bool CTaEffect::onSetShaderConstants(video::IMaterialRendererServices* services, s32 userData,
                                     const video::SMaterial& material, STaMaterialExt* materialExt)
{
    const STaFxPass* current = materialExt ? pass(materialExt->technique, materialExt->pass) : nullptr;
    if (!current)
        return false;
    for (ITaEffectBind* bind : current->binds)
        if (!bind->onSetMaterial(material, materialExt, userData)) {
            taPrint(ETALOG_ERROR, "CTaEffect::onSetShaderConstants : onSetMaterial() failed, abort");
            return false;
        }
    STaFxUpload upload;
    upload.services = services;
    // Handles belong to the material type's renderer; any other services object gets names.
    upload.constants = services == current->servicesOfConstants ? current->constants : nullptr;
    for (const STaFxShader& shader : current->shaders)
        for (const STaFxConstBind& constant : shader.constants)
            if (constant.function)
                constant.function(constant.bind, upload, constant);
    return true;
}

bool CTaEffect::needsTangents() const
{
    for (unsigned t = 0; t < m_definition->getDesc().techniques; ++t) {
        const SParameter* annotation = m_definition->getAnnotationByName(m_definition->getTechnique(t), "tangents");
        if (annotation && annotation->value == "true")
            return true;
    }
    return false;
}

void CTaEffect::holdBinds()
{
    for (auto& technique : m_techniques)
        for (STaFxPass& pass : technique)
            for (ITaEffectBind* bind : pass.binds)
                if (std::find(m_binds.begin(), m_binds.end(), bind) == m_binds.end()) {
                    bind->grab();
                    m_binds.push_back(bind);
                }
}

CTaEffect* CTaEffect::clone() const
{
    auto* copy = new CTaEffect(m_definition);
    copy->m_values = m_values;
    copy->m_textureSlots = m_textureSlots;
    copy->m_techniques = m_techniques;
    // The constants point into the value slots: into the copy's from now on.
    for (auto& technique : copy->m_techniques)
        for (STaFxPass& pass : technique)
            for (STaFxShader& shader : pass.shaders)
                for (STaFxConstBind& constant : shader.constants)
                    if (constant.parameter >= 0)
                        constant.value = copy->slot(constant.parameter);
    copy->holdBinds();
    return copy;
}

void CTaEffectCallback::OnSetConstants(video::IMaterialRendererServices* services, s32 userData)
{
    STaMaterialExt* record = taMaterialExtOf(m_material);
    if (!record || !record->effect)
        return;
    static_cast<CTaEffect*>(record->effect)->onSetShaderConstants(services, userData, m_material, record);
}

video::ITexture* CTaEffectTextureResolver::resolve(int type, const char* semantic, const char* imageUrl,
                                                   const std::string& effectDirectory,
                                                   const std::vector<std::string>& textureDirectories, bool& failed)
{
    failed = false;
    if (semantic && *semantic)
        return m_textures ? m_textures->getNamedTexture(semantic) : nullptr;
    std::string url = imageUrl ? imageUrl : "";
    const size_t scheme = url.find("file://");
    if (scheme != std::string::npos)
        url = url.substr(scheme + 7);
    if (url.empty())
        return nullptr;
    std::string found;
    if (taFileExists(url.c_str()))
        found = url;
    else if (taFileExists((effectDirectory + url).c_str()))
        found = effectDirectory + url;
    else
        for (const std::string& directory : textureDirectories) {
            std::string candidate = directory;
            if (!candidate.empty() && candidate.back() != '/')
                candidate += '/';
            candidate += url;
            if (taFileExists(candidate.c_str())) {
                found = candidate;
                break;
            }
        }
    if (found.empty()) {
        failed = true;
        return nullptr;
    }
    if (type != ETAFX_TYPE_SAMPLER1D && type != ETAFX_TYPE_TEXTURE2D && type != ETAFX_TYPE_TEXTURE3D &&
        type != ETAFX_TYPE_TEXTURECUBE)
        return nullptr;
    video::ITexture* texture = m_textures ? m_textures->getTextureByType(found.c_str(), type) : nullptr;
    failed = texture == nullptr;
    return texture;
}

u8 taEffectWrapMode(const char* name)
{
    static const struct {
        const char* name;
        video::E_TEXTURE_CLAMP mode;
    } modes[] = {{"WRAP", video::ETC_REPEAT},
                 {"REPEAT", video::ETC_REPEAT},
                 {"CLAMP", video::ETC_CLAMP},
                 {"CLAMP_TO_EDGE", video::ETC_CLAMP_TO_EDGE},
                 {"CLAMP_TO_BORDER", video::ETC_CLAMP_TO_BORDER},
                 {"BORDER", video::ETC_CLAMP_TO_BORDER},
                 {"MIRROR", video::ETC_MIRROR},
                 {"MIRROR_CLAMP", video::ETC_MIRROR_CLAMP},
                 {"MIRRORED_REPEAT", video::ETC_MIRROR_CLAMP},
                 {"MIRROR_CLAMP_TO_EDGE", video::ETC_MIRROR_CLAMP_TO_EDGE},
                 {"MIRROR_CLAMP_TO_BORDER", video::ETC_MIRROR_CLAMP_TO_BORDER},
                 {"MIRROR_ONCE", video::ETC_MIRROR_CLAMP_TO_BORDER}};
    for (const auto& mode : modes)
        if (name && strcmp(name, mode.name) == 0)
            return static_cast<u8>(mode.mode);
    return video::ETC_REPEAT;
}

f32 taPackBlendParameter(int source, int destination, int modulation, int alphaSource)
{
    const u32 packed = u32(alphaSource) << 12 | u32(modulation) << 8 | u32(source) << 4 | u32(destination);
    f32 value;
    memcpy(&value, &packed, 4);
    return value;
}

int taEffectBlendFactor(const char* name)
{
    static const char* const names[] = {"ZERO",      "ONE",           "DEST_COLOR", "ONE_MINUS_DEST_COLOR",
                                        "SRC_COLOR", "ONE_MINUS_SRC_COLOR", "SRC_ALPHA", "ONE_MINUS_SRC_ALPHA",
                                        "DEST_ALPHA", "ONE_MINUS_DEST_ALPHA", "SRC_ALPHA_SATURATE"};
    for (int i = 0; i < 11; ++i)
        if (name && strcasecmp(name, names[i]) == 0)
            return i;
    return 1;
}

bool taAppendCompileFlags(const char* flags, STaFxMacro* macros, size_t capacity, std::string& storage)
{
    if (!flags || !*flags)
        return true;
    if (strlen(flags) > 1023 || !macros || capacity == 0)
        return false;
    size_t used = 0;
    while (used < capacity && macros[used].name)
        ++used;
    if (used == capacity)
        return false; // no terminator: nothing can be appended safely
    // Words, each NAME or NAME=VALUE; the storage keeps them (one terminated string after another).
    storage.clear();
    storage.reserve(strlen(flags) * 2 + 2);
    const char* at = flags;
    std::vector<std::pair<std::string, std::string>> parsed;
    std::vector<bool> hasValue;
    while (*at) {
        while (*at == ' ')
            ++at;
        if (!*at)
            break;
        const char* start = at;
        while (*at && *at != ' ' && *at != '=')
            ++at;
        std::string name(start, at);
        std::string value;
        bool valued = false;
        if (*at == '=') {
            while (*at == '=')
                ++at;
            const char* valueStart = at;
            while (*at && *at != ' ' && *at != '=')
                ++at;
            value.assign(valueStart, at);
            valued = !value.empty();
            while (*at && *at != ' ')
                ++at;
        }
        parsed.emplace_back(name, value);
        hasValue.push_back(valued);
    }
    if (used + parsed.size() + 1 > capacity)
        return false;
    // Offsets first (the storage must not move once pointers are taken).
    std::vector<size_t> nameAt, valueAt;
    for (size_t i = 0; i < parsed.size(); ++i) {
        nameAt.push_back(storage.size());
        storage += parsed[i].first;
        storage.push_back('\0');
        valueAt.push_back(storage.size());
        storage += parsed[i].second;
        storage.push_back('\0');
    }
    for (size_t i = 0; i < parsed.size(); ++i) {
        macros[used + i].name = storage.c_str() + nameAt[i];
        macros[used + i].value = hasValue[i] ? storage.c_str() + valueAt[i] : nullptr;
    }
    macros[used + parsed.size()] = STaFxMacro{nullptr, nullptr};
    return true;
}
