// LightWave and HyperVoxel surfaces.
#include "nodes/TaSurface.h"

#include "core/TaLog.h"
#include "effects/TaEffect.h"
#include "effects/TaSemanticTable.h"

#include <algorithm>
#include <cstring>
#include <string>

using namespace irr;

const char* const taSurfaceCompileMacros[27] = {
    "USE_TEX_COLOR",          "USE_TEX_LUMINOSITY",         "USE_TEX_DIFFUSE",
    "USE_TEX_SPECULAR",       "USE_TEX_GLOSSINESS",         "USE_TEX_REFLECIMG",
    "USE_TEX_REFLECTIVITY",   "USE_TEX_TRANSPARENCY",       "USE_TEX_TRANSLUCENCY",
    "USE_TEX_NORMAL",         "USE_TRANSPARENT",            "USE_TRANSLUCENCY",
    "USE_TEX_REFLECCUBE",     "USE_COMPTANGENT",            "USE_UV2",
    "USE_UV2INTEX2",          "USE_UV2_TEX_COLOR",          "USE_UV2_TEX_LUMINOSITY",
    "USE_UV2_TEX_DIFFUSE",    "USE_UV2_TEX_SPECULAR",       "USE_UV2_TEX_GLOSSINESS",
    "USE_UV2_TEX_REFLECTIVITY", "USE_UV2_TEX_TRANSPARENCY", "USE_UV2_TEX_TRANSLUCENCY",
    "USE_UV2_TEX_NORMAL",     "USE_CUBEMAPAABB",            "USE_NODECUBEMAP",
};


namespace {

bool validChannel(int channel)
{
    return channel >= 0 && channel < ETASC_COUNT;
}

f32 weighted(video::SColor colour)
{
    return 0.3f * colour.getRed() / 255.0f + 0.59f * colour.getGreen() / 255.0f + 0.11f * colour.getBlue() / 255.0f;
}

// A colour of floats as Irrlicht's 8-bit colour, each channel clamped into 0..1 first (a value
// above 1 would wrap).
video::SColor toColour(f32 r, f32 g, f32 b)
{
    auto byte = [](f32 v) { return u32(std::min(std::max(v, 0.0f), 1.0f) * 255.0f); };
    return video::SColor(255, byte(r), byte(g), byte(b));
}

bool isEngineTexture(video::ITexture* texture)
{
    return dynamic_cast<CTaTexture*>(texture) != nullptr;
}

// Puts a map into layer `n`: the engine layer always, Irrlicht's layer when Irrlicht can bind it.
void putLayer(STaMaterial& material, int n, video::ITexture* texture, u8 colourSpace)
{
    material.layers[n].texture = texture;
    material.layers[n].srgb = colourSpace == 1;
    if (n < int(video::MATERIAL_MAX_TEXTURES))
        material.material.TextureLayer[n].Texture = texture && !isEngineTexture(texture) ? texture : nullptr;
}

// Writes the macros of `bits` (names from `names`) in ascending bit order under the capacity rule.
bool writeMacros(u32 bits, const char* const* names, int nameCount, const char* extra, STaFxMacro* macros,
                 int& capacity, const char* message)
{
    if (capacity == 0)
        return true;
    int count = 0;
    auto add = [&](const char* name) {
        macros[count].name = name;
        macros[count].value = nullptr;
        ++count;
        if (count >= capacity) {
            taPrint(ETALOG_ERROR, "%s", message);
            return false;
        }
        return true;
    };
    for (int bit = 0; bit < nameCount; ++bit)
        if ((bits & (1u << bit)) && !add(names[bit]))
            return false;
    if (extra && !add(extra))
        return false;
    macros[count].name = nullptr;
    macros[count].value = nullptr;
    capacity = count;
    return true;
}

// Every parameter of the effect with the semantic, by index.
std::vector<int> parametersWithSemantic(const CTaEffect* effect, const std::string& semantic)
{
    std::vector<int> indices;
    std::vector<const SParameter*> found;
    effect->definition()->getParametersBySemantic(nullptr, semantic.c_str(), found);
    for (const SParameter* parameter : found) {
        const int index = effect->definition()->getParameterIndex(parameter);
        if (index >= 0)
            indices.push_back(index);
    }
    return indices;
}

// The semantics a channel's map goes to: LW_Tex_<name>, and the texture channel spelling of the
// index of refraction ("RefractionIndex") that Tarv files use.
std::vector<std::string> textureSemantics(int channel)
{
    std::vector<std::string> names{std::string("LW_Tex_") + taSurfaceChannelName(channel)};
    if (channel == ETASC_IOR)
        names.push_back("LW_Tex_RefractionIndex");
    return names;
}

const int kTextureChannels[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, ETASC_REFLECTIONIMAGE, ETASC_REFRACTIONIMAGE};

} // namespace

// --- LightWave ------------------------------------------------------------------------------------------

CTaSurfaceLightwave::CTaSurfaceLightwave()
{
#ifdef _DEBUG
    setDebugName("CTaSurfaceLightwave");
#endif
    memset(&m_data, 0, sizeof m_data);
    clearChannels();
    setVector(ETASC_BASECOLOR, 0.78f, 0.78f, 0.78f);
    setFloat(ETASC_DIFFUSE, 1.0f);
    setFloat(ETASC_BUMP, 1.0f);
    setFloat(ETASC_GLOSSINESS, 0.4f);
    setFloat(ETASC_LINESIZE, 1.0f);
    setFloat(ETASC_VERTEXCOLORING, 1.0f);
}

CTaSurfaceLightwave::~CTaSurfaceLightwave()
{
    for (STaSurfaceChannel& channel : m_data.channels)
        if (channel.texture)
            channel.texture->drop();
}

void CTaSurfaceLightwave::clearChannels()
{
    for (int c = 0; c < ETASC_COUNT; ++c) {
        setTexture(c, nullptr);
        memset(&m_data.channels[c].value, 0, sizeof m_data.channels[c].value);
        m_data.channels[c].colourSpace = 0;
    }
}

void CTaSurfaceLightwave::setData(const STaSurfaceLightwaveData& data)
{
    for (int c = 0; c < ETASC_COUNT; ++c) {
        setTexture(c, data.channels[c].texture);
        m_data.channels[c].value = data.channels[c].value;
        m_data.channels[c].colourSpace = data.channels[c].colourSpace;
    }
}

void CTaSurfaceLightwave::setFloat(int channel, f32 value)
{
    if (validChannel(channel))
        m_data.channels[channel].value.f = value;
}

void CTaSurfaceLightwave::setInt(int channel, s32 value)
{
    if (validChannel(channel))
        m_data.channels[channel].value.i = value;
}

void CTaSurfaceLightwave::setVector(int channel, f32 x, f32 y, f32 z)
{
    if (!validChannel(channel))
        return;
    m_data.channels[channel].value.v[0] = x;
    m_data.channels[channel].value.v[1] = y;
    m_data.channels[channel].value.v[2] = z;
}

void CTaSurfaceLightwave::setTexture(int channel, video::ITexture* texture)
{
    if (!validChannel(channel))
        return;
    if (texture)
        texture->grab();
    if (m_data.channels[channel].texture)
        m_data.channels[channel].texture->drop();
    m_data.channels[channel].texture = texture;
}

void CTaSurfaceLightwave::setColourSpace(int channel, u8 colourSpace)
{
    if (validChannel(channel))
        m_data.channels[channel].colourSpace = colourSpace;
}

f32 CTaSurfaceLightwave::getFloat(int channel) const
{
    return validChannel(channel) ? m_data.channels[channel].value.f : 0.0f;
}

s32 CTaSurfaceLightwave::getInt(int channel) const
{
    return validChannel(channel) ? m_data.channels[channel].value.i : 0;
}

const f32* CTaSurfaceLightwave::getVector(int channel) const
{
    return validChannel(channel) ? m_data.channels[channel].value.v : nullptr;
}

video::ITexture* CTaSurfaceLightwave::getTexture(int channel) const
{
    return validChannel(channel) ? m_data.channels[channel].texture : nullptr;
}

u8 CTaSurfaceLightwave::getColourSpace(int channel) const
{
    return validChannel(channel) ? m_data.channels[channel].colourSpace : 0;
}

ITaSurface* CTaSurfaceLightwave::clone() const
{
    auto* copy = new CTaSurfaceLightwave();
    copy->setData(m_data);
    return copy;
}

void CTaSurfaceLightwave::initFromMaterial(const video::SMaterial& material)
{
    clearChannels();
    const video::SColor diffuse = material.DiffuseColor;
    setVector(ETASC_BASECOLOR, diffuse.getRed() / 255.0f, diffuse.getGreen() / 255.0f, diffuse.getBlue() / 255.0f);
    setTexture(ETASC_BASECOLOR, material.getTexture(0));
    setFloat(ETASC_LUMINOSITY, weighted(material.EmissiveColor));
    setFloat(ETASC_DIFFUSE, 1.0f);
    setFloat(ETASC_SPECULARITY, weighted(material.SpecularColor));
    setFloat(ETASC_GLOSSINESS, material.Shininess / 128.0f);
    switch (material.MaterialType) {
    case video::EMT_REFLECTION_2_LAYER:
        setFloat(ETASC_REFLECTIVITY, 1.0f);
        setInt(ETASC_REFLECTIONOPTIONS, 2);
        setTexture(ETASC_REFLECTIONIMAGE, material.getTexture(1));
        break;
    case video::EMT_TRANSPARENT_ALPHA_CHANNEL: setTexture(ETASC_TRANSPARENCY, material.getTexture(0)); break;
    case video::EMT_TRANSPARENT_VERTEX_ALPHA:
    case video::EMT_TRANSPARENT_REFLECTION_2_LAYER: setFloat(ETASC_TRANSPARENCY, 1.0f); break;
    case video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA: setFloat(ETASC_TRANSPARENCY, 1.0f); break;
    default: break;
    }
    if (material.MaterialType == video::EMT_PARALLAX_MAP_SOLID ||
        material.MaterialType == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA) {
        setTexture(ETASC_BUMP, material.getTexture(1));
        setFloat(ETASC_BUMP, material.MaterialTypeParam / 0.035f);
    }
    setInt(ETASC_SIDEDNESS, material.BackfaceCulling ? 0 : 3);
    if (material.PointCloud) {
        setInt(ETASC_RENDEROUTLINES, 1);
        setFloat(ETASC_LINESIZE, material.Thickness);
    } else if (material.Wireframe) {
        setInt(ETASC_RENDEROUTLINES, 1);
        setFloat(ETASC_LINESIZE, 0.5f);
    }
    if (material.ColorMaterial == video::ECM_DIFFUSE)
        setFloat(ETASC_VERTEXCOLORING, 1.0f);
}

void CTaSurfaceLightwave::applyToMaterial(STaMaterial& m) const
{
    const STaSurfaceChannel* c = m_data.channels;
    const bool transparencyMap = c[ETASC_TRANSPARENCY].texture != nullptr;
    const bool transparent = transparencyMap || c[ETASC_TRANSPARENCY].value.f != 0.0f;
    const bool bumpMap = c[ETASC_BUMP].texture != nullptr;
    const bool reflective = c[ETASC_REFLECTIONOPTIONS].value.i >= 2 && c[ETASC_REFLECTIONIMAGE].texture &&
                            (c[ETASC_REFLECTIVITY].value.f != 0.0f || c[ETASC_REFLECTIVITY].texture);
    video::E_MATERIAL_TYPE type;
    if (bumpMap)
        type = transparent ? video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA : video::EMT_PARALLAX_MAP_SOLID;
    else if (reflective)
        type = transparent ? video::EMT_TRANSPARENT_REFLECTION_2_LAYER : video::EMT_REFLECTION_2_LAYER;
    else if (transparencyMap)
        type = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    else
        type = transparent ? video::EMT_TRANSPARENT_VERTEX_ALPHA : video::EMT_SOLID;
    video::SMaterial& material = m.material;
    material.MaterialType = type;
    const bool parallax = type == video::EMT_PARALLAX_MAP_SOLID || type == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA;
    if (parallax)
        material.MaterialTypeParam = c[ETASC_BUMP].value.f * 0.035f;
    material.ColorMaterial = type == video::EMT_TRANSPARENT_VERTEX_ALPHA ||
                                     type == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA ||
                                     c[ETASC_VERTEXCOLORING].value.i != 0
                                 ? video::ECM_DIFFUSE
                                 : video::ECM_AMBIENT;
    const f32* base = c[ETASC_BASECOLOR].value.v;
    const f32 diffuse = c[ETASC_DIFFUSE].value.f, luminosity = c[ETASC_LUMINOSITY].value.f;
    const f32 specularity = c[ETASC_SPECULARITY].value.f;
    material.DiffuseColor = toColour(base[0] * diffuse, base[1] * diffuse, base[2] * diffuse);
    material.EmissiveColor = toColour(base[0] * luminosity, base[1] * luminosity, base[2] * luminosity);
    material.SpecularColor = toColour(specularity, specularity, specularity);
    material.Shininess = c[ETASC_GLOSSINESS].value.f * 128.0f;
    if (c[ETASC_RENDEROUTLINES].value.i != 0) {
        const f32 lineSize = c[ETASC_LINESIZE].value.f;
        material.Wireframe = lineSize > 0.0f && lineSize < 1.0f;
        material.PointCloud = lineSize >= 1.0f;
        if (material.PointCloud)
            material.Thickness = lineSize;
    }
    material.BackfaceCulling = c[ETASC_SIDEDNESS].value.i != 3;
    material.NormalizeNormals = true;
    putLayer(m, 0, c[ETASC_BASECOLOR].texture, c[ETASC_BASECOLOR].colourSpace);
    if (type == video::EMT_REFLECTION_2_LAYER || type == video::EMT_TRANSPARENT_REFLECTION_2_LAYER)
        putLayer(m, 1, c[ETASC_REFLECTIONIMAGE].texture, c[ETASC_REFLECTIONIMAGE].colourSpace);
    if (parallax)
        putLayer(m, 1, c[ETASC_BUMP].texture, c[ETASC_BUMP].colourSpace);
    for (u32 n = 0; n < video::MATERIAL_MAX_TEXTURES; ++n)
        material.TextureLayer[n].LODBias = -8;
}

u32 CTaSurfaceLightwave::compileBits(const STaSurfaceNodeInfo* node) const
{
    const STaSurfaceChannel* c = m_data.channels;
    u32 bits = 0;
    auto set = [&](int bit, bool condition) {
        if (condition)
            bits |= 1u << bit;
    };
    video::ITexture* reflection = c[ETASC_REFLECTIONIMAGE].texture;
    const bool reflectionMap = reflection && c[ETASC_REFLECTIONOPTIONS].value.i > 1;
    auto* engineReflection = dynamic_cast<CTaTexture*>(reflection);
    set(0, c[ETASC_BASECOLOR].texture);
    set(1, c[ETASC_LUMINOSITY].texture);
    set(2, c[ETASC_DIFFUSE].texture);
    set(3, c[ETASC_SPECULARITY].texture);
    set(4, c[ETASC_GLOSSINESS].texture);
    set(5, reflectionMap);
    set(6, reflectionMap && c[ETASC_REFLECTIVITY].texture);
    set(7, c[ETASC_TRANSPARENCY].texture);
    set(8, c[ETASC_TRANSLUCENCY].texture);
    set(9, c[ETASC_BUMP].texture);
    set(10, c[ETASC_TRANSPARENCY].texture || c[ETASC_TRANSPARENCY].value.f != 0.0f);
    set(11, c[ETASC_TRANSLUCENCY].texture || c[ETASC_TRANSLUCENCY].value.f != 0.0f);
    set(12, reflectionMap && engineReflection && engineReflection->getKind() == ETATEXKIND_CUBE);
    if (node) {
        set(13, hasNormalMap() && !node->carriesTangents);
        set(14, node->hasUV2);
        set(15, node->carriesTangents && node->hasUV2);
        static const int maskBits[9] = {0, 2, 1, 3, 8, 4, 5, 7, 6};
        for (int k = 0; k < 9; ++k)
            set(16 + k, (node->uv2Mask >> maskBits[k]) & 1u);
        const bool nodeCube = reflectionMap && node->cubeMapTexture && reflection == node->cubeMapTexture;
        set(25, nodeCube && node->cubeMapBoxEnabled);
        set(26, nodeCube);
    }
    return bits;
}

bool CTaSurfaceLightwave::getEffectCompileParameters(video::E_MATERIAL_TYPE& baseMaterial, STaFxMacro* macros,
                                                     int& capacity, const STaSurfaceNodeInfo* node) const
{
    const u32 bits = compileBits(node);
    baseMaterial = (bits & 0x400) ? video::EMT_TRANSPARENT_ALPHA_CHANNEL : video::EMT_SOLID;
    return writeMacros(bits, taSurfaceCompileMacros, 27, nullptr, macros, capacity,
                       "CTaSurfaceLightwave::getEffectCompileParameters Not enough space for macros");
}

bool CTaSurfaceLightwave::setEffectTextures(CTaEffect* effect) const
{
    if (!effect)
        return false;
    for (int channel : kTextureChannels)
        for (const std::string& semantic : textureSemantics(channel))
            for (int index : parametersWithSemantic(effect, semantic))
                if (!effect->setTexture(index, m_data.channels[channel].texture, m_data.channels[channel].colourSpace == 1)) {
                    taPrint(ETALOG_ERROR, "CTaSurfaceLightwave::setEffectTextures setSamplerTexture failed for %s",
                            semantic.c_str());
                    return false;
                }
    return true;
}

bool CTaSurfaceLightwave::setEffectTextureOnMaterial(STaMaterial& layers, const CTaEffect* effect, int technique,
                                                     int pass) const
{
    if (!effect)
        return false;
    for (int channel : kTextureChannels)
        for (const std::string& semantic : textureSemantics(channel))
            for (int index : parametersWithSemantic(effect, semantic))
                if (!effect->setTextureInLayers(technique, pass, index, layers, m_data.channels[channel].texture,
                                                m_data.channels[channel].colourSpace == 1)) {
                    taPrint(ETALOG_ERROR,
                            "CTaSurfaceLightwave::setEffectTextureOnMaterial setSamplerTextureOnMaterial failed for %s",
                            semantic.c_str());
                    return false;
                }
    if (!layers.layers[0].texture) {
        layers.layers[0].texture = m_data.channels[ETASC_BASECOLOR].texture;
        layers.layers[0].srgb = m_data.channels[ETASC_BASECOLOR].colourSpace == 1;
    }
    return true;
}

// --- HyperVoxel -----------------------------------------------------------------------------------------

CTaSurfaceLightwaveHV::~CTaSurfaceLightwaveHV()
{
    if (m_data.texture)
        m_data.texture->drop();
}

void CTaSurfaceLightwaveHV::setData(const STaSurfaceLightwaveHVData& data)
{
    if (data.texture)
        data.texture->grab();
    if (m_data.texture)
        m_data.texture->drop();
    m_data = data;
    // Gradients hold at most 9 keys.
    m_data.colourKeyCount = std::min(std::max(m_data.colourKeyCount, 0), 9);
    m_data.sizeKeyCount = std::min(std::max(m_data.sizeKeyCount, 0), 9);
}

ITaSurface* CTaSurfaceLightwaveHV::clone() const
{
    auto* copy = new CTaSurfaceLightwaveHV();
    copy->setData(m_data);
    return copy;
}

void CTaSurfaceLightwaveHV::initFromMaterial(const video::SMaterial& material)
{
    STaSurfaceLightwaveHVData data = m_data;
    data.hasTexture = 1;
    data.texture = material.getTexture(0);
    switch (material.MaterialType) {
    case video::EMT_TRANSPARENT_ALPHA_CHANNEL: data.blendMode = 0; break;
    case video::EMT_ONETEXTURE_BLEND: data.blendMode = 2; break;
    default: data.blendMode = 1; break;
    }
    setData(data);
}

void CTaSurfaceLightwaveHV::applyToMaterial(STaMaterial& m) const
{
    putLayer(m, 0, m_data.texture, 0);
    switch (m_data.blendMode) {
    case 0: m.material.MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL; break;
    case 1: m.material.MaterialType = video::EMT_TRANSPARENT_ADD_COLOR; break;
    case 2:
        // Subtractive: the destination scaled by one minus the particle's colour (a blend with no
        // factors would multiply both by zero and draw black).
        m.material.MaterialType = video::EMT_ONETEXTURE_BLEND;
        m.material.MaterialTypeParam = video::pack_textureBlendFunc(video::EBF_ZERO, video::EBF_ONE_MINUS_SRC_COLOR);
        break;
    default: m.material.MaterialType = video::EMT_SOLID; break;
    }
    m.material.ZWriteEnable = false;
}

bool CTaSurfaceLightwaveHV::getEffectCompileParameters(video::E_MATERIAL_TYPE& baseMaterial, STaFxMacro* macros,
                                                       int& capacity, const STaSurfaceNodeInfo*) const
{
    static const char* const names[4] = {"USE_TEX_COLOR", "USE_COLOR_GRADIENT", "USE_SIZE_GRADIENT", "USE_ROTATION"};
    const u32 bits = (m_data.hasTexture ? 1u : 0u) | (m_data.colourKeyCount ? 2u : 0u) |
                     (m_data.sizeKeyCount ? 4u : 0u) | (m_data.rotation != 0.0f ? 8u : 0u);
    const char* blend = m_data.blendMode == 0   ? "USE_BLEND_ALPHA"
                        : m_data.blendMode == 1 ? "USE_BLEND_ADD"
                        : m_data.blendMode == 2 ? "USE_BLEND_SUB"
                                                : nullptr;
    baseMaterial = m_data.blendMode == 0   ? video::EMT_TRANSPARENT_ALPHA_CHANNEL
                   : m_data.blendMode == 1 ? video::EMT_TRANSPARENT_ADD_COLOR
                   : m_data.blendMode == 2 ? video::EMT_ONETEXTURE_BLEND
                                           : video::EMT_SOLID;
    return writeMacros(bits, names, 4, blend, macros, capacity,
                       "CTaSurfaceLightwaveHV::getEffectCompileParameters Not enough space for macros");
}

bool CTaSurfaceLightwaveHV::setEffectTextures(CTaEffect* effect) const
{
    if (!effect)
        return false;
    const std::vector<int> found = parametersWithSemantic(effect, "LWHV_Tex_Clip");
    if (!found.empty() && !effect->setTexture(found[0], m_data.texture, false)) {
        taPrint(ETALOG_ERROR, "CTaSurfaceLightwaveHV::setEffectTextures setSamplerTexture failed for %s", "LWHV_Tex_Clip");
        return false;
    }
    return true;
}

bool CTaSurfaceLightwaveHV::setEffectTextureOnMaterial(STaMaterial& layers, const CTaEffect* effect, int technique,
                                                       int pass) const
{
    if (!effect)
        return false;
    const std::vector<int> found = parametersWithSemantic(effect, "LWHV_Tex_Clip");
    if (!found.empty() && !effect->setTextureInLayers(technique, pass, found[0], layers, m_data.texture, false)) {
        taPrint(ETALOG_ERROR,
                "CTaSurfaceLightwaveHV::setEffectTextureOnMaterial setSamplerTextureOnMaterial failed for %s",
                "LWHV_Tex_Clip");
        return false;
    }
    if (!layers.layers[0].texture) {
        layers.layers[0].texture = m_data.texture;
        layers.layers[0].srgb = false;
    }
    return true;
}
