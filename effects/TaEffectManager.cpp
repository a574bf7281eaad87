// The effect manager and the effect builder.
#include "effects/TaEffectManager.h"

#include "core/TaLog.h"
#include "driver/TaTexture.h"
#include "driver/TaVideoDriverExt.h"
#include "effects/TaEffectDefCollada.h"
#include "effects/TaEffectDefTarv.h"
#include "effects/TaGPUProgrammingServices.h"
#include "files/TaFile.h"
#include "files/TaFileIrr.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

using namespace irr;

namespace {

std::vector<SShaderMacro> sortedMacros(const STaFxMacro* macros)
{
    std::vector<SShaderMacro> list;
    for (const STaFxMacro* m = macros; m && m->name; ++m)
        list.push_back({m->name, m->value ? m->value : ""});
    taSortMacros(list);
    return list;
}

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string stripScheme(const std::string& file)
{
    const size_t scheme = file.find("file://");
    return scheme == std::string::npos ? file : file.substr(scheme + 7);
}

std::string trim(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return "";
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Irrlicht's vertex and pixel shader types of the definition's target codes; -1 for others.
int vertexTarget(int code)
{
    return code == ETATARGET_VS_1_1 ? video::EVST_VS_1_1 : code == ETATARGET_VS_2_0 ? video::EVST_VS_2_0
                                                       : code == ETATARGET_VS_3_0 ? video::EVST_VS_3_0
                                                                                  : -1;
}

int pixelTarget(int code)
{
    return code == ETATARGET_PS_1_1 ? video::EPST_PS_1_1 : code == ETATARGET_PS_2_0 ? video::EPST_PS_2_0
                                                       : code == ETATARGET_PS_3_0 ? video::EPST_PS_3_0
                                                                                  : -1;
}

int elementCountOf(int type)
{
    switch (type) {
    case ETAFX_TYPE_FLOAT2: return 2;
    case ETAFX_TYPE_FLOAT3: return 3;
    case ETAFX_TYPE_FLOAT4: return 4;
    case ETAFX_TYPE_FLOAT4X4: return 16;
    default: return 1;
    }
}

} // namespace

// --- The manager -----------------------------------------------------------------------------------

CTaEffectManager::CTaEffectManager(IrrlichtDevice* device, ITaVideoDriverExt* driverExt,
                                   CTaGPUProgrammingServices* gpu, CTaRendererManager*, CTaRenderServices*,
                                   ITaTextureManager* textureManager, CTaSceneManager*)
    : m_device(device), m_driverExt(driverExt), m_gpu(gpu), m_textureManager(textureManager),
      m_defaultCallback(new CTaEffectCallback())
{
    m_loaders.push_back(new CTaEffectDefLoaderCollada());
    m_loaders.push_back(new CTaEffectDefLoaderTarv());
    m_binds = taCreateBuiltInBinds(device, driverExt);
    taForgetEffectLastFrame();
    m_resolvers.push_back(new CTaEffectTextureResolver(textureManager));
}

CTaEffectManager::~CTaEffectManager()
{
    for (SEffectDefEntry& entry : m_definitions)
        entry.definition->drop();
    for (ITaEffectBind* bind : m_binds)
        bind->drop();
    for (ITaEffectTextureResolver* resolver : m_resolvers)
        resolver->drop();
    for (ITaEffectDefLoader* loader : m_loaders)
        loader->drop();
    m_defaultCallback->drop();
}

bool CTaEffectManager::keyBefore(const SEffectDefEntry& a, const SEffectDefEntry& b)
{
    if (a.fileName != b.fileName)
        return a.fileName < b.fileName;
    if (!a.usesMacros && !b.usesMacros)
        return false;
    if (a.macros.size() != b.macros.size())
        return a.macros.size() < b.macros.size();
    return a.macros < b.macros;
}

ITaEffectDef* CTaEffectManager::getEffectDef(const char* fileName, const STaFxMacro* macros)
{
    if (!fileName || !*fileName) {
        taPrint(ETALOG_ERROR, "CTaEffectManager: Cannot load effect %s", "");
        m_lastError.clear();
        return nullptr;
    }
    // The key: against the file system's working directory on disk, as it stands inside an archive
    // (whose names are relative to it). Not Irrlicht's getAbsolutePath: it answers only the part of
    // a path that exists on disk, which loses the file name of one inside an archive.
    io::IFileSystem* fs = m_device->getFileSystem();
    io::path path = fileName;
    path.replace('\\', '/');
    if (path[0] != '/' && !taIsArchiveMode())
        path = fs->getWorkingDirectory() + "/" + path;
    std::string absolute = fs->flattenFilename(path).c_str(); // "." and ".." resolved, a '/' added
    while (absolute.size() > 1 && absolute.back() == '/')
        absolute.pop_back();
    const std::vector<SShaderMacro> list = sortedMacros(macros);
    // A definition that does not depend on macros serves every macro list.
    for (const SEffectDefEntry& entry : m_definitions)
        if (entry.fileName == absolute && (!entry.usesMacros || entry.macros == list))
            return entry.definition;
    for (auto loader = m_loaders.rbegin(); loader != m_loaders.rend(); ++loader) {
        if (!(*loader)->canLoad(absolute.c_str()))
            continue;
        const char* errorText = nullptr;
        ITaEffectDef* definition = (*loader)->load(
            nullptr, absolute.c_str(), macros,
            m_device->getVideoDriver()->getDriverType() == video::EDT_OPENGL, &errorText);
        if (errorText || !definition) {
            m_lastError = errorText ? errorText : "";
            taPrint(ETALOG_ERROR, "CTaEffectManager: ERROR ITaEffectDef : %s", m_lastError.c_str());
            if (definition)
                definition->drop();
            return nullptr;
        }
        SEffectDefEntry entry{absolute, (*loader)->usesMacros(), (*loader)->usesMacros() ? list : std::vector<SShaderMacro>(),
                              definition};
        m_definitions.insert(std::upper_bound(m_definitions.begin(), m_definitions.end(), entry, keyBefore), entry);
        return definition;
    }
    taPrint(ETALOG_ERROR, "CTaEffectManager: Cannot load effect %s", fileName);
    m_lastError.clear();
    return nullptr;
}

CTaEffect* CTaEffectManager::createEffect(const char* fileName, s32 defaultBaseMaterial, const STaFxMacro* macros,
                                          video::IShaderConstantSetCallBack* callback)
{
    ITaEffectDef* definition = getEffectDef(fileName, macros);
    if (!definition)
        return nullptr;
    std::vector<std::string> textureDirectories;
    if (!m_textureDirectory.empty())
        textureDirectories.push_back(m_textureDirectory);
    textureDirectories.insert(textureDirectories.end(), m_textureDirectories.begin(), m_textureDirectories.end());
    CTaEffectBuilder builder(m_gpu, m_driverExt, m_binds, m_resolvers, m_shaderDirectories, textureDirectories);
    CTaEffect* effect = builder.build(definition, defaultBaseMaterial, macros, callback ? callback : m_defaultCallback);
    if (!effect) {
        m_lastError = builder.error();
        taPrint(ETALOG_ERROR, "CTaEffectManager: ERROR CTaEffect : %s", m_lastError.c_str());
        return nullptr;
    }
    return effect;
}

CTaEffect* CTaEffectManager::loadEffect(const char* path)
{
    return createEffect(path, -1, nullptr, nullptr);
}

void CTaEffectManager::addShaderDirectory(const char* path)
{
    if (path)
        m_shaderDirectories.push_back(path);
}

void CTaEffectManager::addTextureDirectory(const char* path)
{
    if (path)
        m_textureDirectories.push_back(path);
}

void CTaEffectManager::setTextureDirectory(const char* directory)
{
    m_textureDirectory = directory ? directory : "";
}

void CTaEffectManager::addBind(ITaEffectBind* bind)
{
    if (!bind)
        return;
    bind->grab();
    m_binds.insert(m_binds.begin(), bind);
}

void CTaEffectManager::addTextureResolver(ITaEffectTextureResolver* resolver)
{
    if (!resolver)
        return;
    resolver->grab();
    m_resolvers.insert(m_resolvers.begin(), resolver);
}

void CTaEffectManager::addLoader(ITaEffectDefLoader* loader)
{
    if (!loader)
        return;
    loader->grab();
    m_loaders.push_back(loader);
}

ITaEffectBindSemanticMap* CTaEffectManager::createSemanticMap()
{
    ITaEffectBindSemanticMap* map = taCreateSemanticMap();
    addBind(map);
    return map;
}

// --- The builder -----------------------------------------------------------------------------------

CTaEffectBuilder::CTaEffectBuilder(CTaGPUProgrammingServices* gpu, ITaVideoDriverExt* driverExt,
                                   const std::vector<ITaEffectBind*>& binds,
                                   const std::vector<ITaEffectTextureResolver*>& resolvers,
                                   const std::vector<std::string>& shaderDirectories,
                                   const std::vector<std::string>& textureDirectories)
    : m_gpu(gpu), m_driverExt(driverExt), m_binds(binds), m_resolvers(resolvers),
      m_shaderDirectories(shaderDirectories), m_textureDirectories(textureDirectories)
{
}

bool CTaEffectBuilder::fail(const std::string& text)
{
    if (m_error.empty())
        m_error = text;
    return false;
}

CTaEffect* CTaEffectBuilder::build(ITaEffectDef* definition, s32 defaultBaseMaterial, const STaFxMacro* macros,
                                   video::IShaderConstantSetCallBack* callback)
{
    m_error.clear();
    auto* effect = new CTaEffect(definition);
    const bool ok = (initParameters(*effect) || fail("Unknown error init parameters")) &&
                    (initTechniques(*effect, defaultBaseMaterial, macros, callback) ||
                     fail("Unknown error init techniques")) &&
                    (loadTextures(*effect) || fail("Unknown error load textures")) &&
                    (setMaterialLayers(*effect) || fail("Unknown error set Material Layers"));
    if (!ok) {
        effect->drop();
        return nullptr;
    }
    effect->holdBinds();
    return effect;
}

bool CTaEffectBuilder::initParameters(CTaEffect& effect)
{
    const ITaEffectDef* definition = effect.definition();
    const unsigned count = definition->getDesc().parameters;
    for (unsigned i = 0; i < count; ++i) {
        const SParameter* p = definition->getParameter(nullptr, i);
        if (!p)
            return fail("Failed to get parameter from description");
        f32* slot = effect.values().data() + size_t(i) * 16;
        std::fill(slot, slot + 16, 0.0f);
        switch (p->type) {
        case ETAFX_TYPE_BOOL: reinterpret_cast<u8*>(slot)[0] = definition->getBool(p) ? 1 : 0; break;
        case ETAFX_TYPE_FLOAT: slot[0] = definition->getFloat(p); break;
        case ETAFX_TYPE_FLOAT2:
        case ETAFX_TYPE_FLOAT3:
        case ETAFX_TYPE_FLOAT4:
        case ETAFX_TYPE_FLOAT4X4: definition->getFloatArray(p, slot, elementCountOf(p->type)); break;
        case ETAFX_TYPE_INT: {
            const s32 value = definition->getInt(p);
            memcpy(slot, &value, 4);
            break;
        }
        default:
            if (taIsTextureType(p->type)) {
                const STaSamplerInfo info = definition->getSamplerInfo(p);
                STaFxTextureSlot& texture = effect.textures()[i];
                texture = STaFxTextureSlot();
                texture.wrapU = taEffectWrapMode(info.wrapU);
                texture.wrapV = taEffectWrapMode(info.wrapV);
                const std::string minify = info.minFilter ? info.minFilter : "";
                const std::string magnify = info.magFilter ? info.magFilter : "";
                const std::string mip = info.mipFilter ? info.mipFilter : "";
                if (minify == "NEAREST")
                    texture.bilinear = false;
                else if (minify == "LINEAR")
                    texture.bilinear = true;
                else if (minify == "ANISOTROPIC")
                    texture.anisotropy = 8;
                if (magnify == "NEAREST")
                    texture.bilinear = false;
                else if (magnify == "LINEAR")
                    texture.bilinear = true;
                if (mip == "LINEAR")
                    texture.trilinear = true;
                const SParameter* srgb = definition->getAnnotationByName(p, "SRGB");
                texture.srgb = srgb && srgb->value == "true";
            }
            break;
        }
    }
    return true;
}

bool CTaEffectBuilder::initTechniques(CTaEffect& effect, s32 defaultBaseMaterial, const STaFxMacro* macros,
                                      video::IShaderConstantSetCallBack* callback)
{
    const ITaEffectDef* definition = effect.definition();
    const unsigned techniques = definition->getDesc().techniques;
    effect.techniques().assign(techniques, {});
    for (unsigned t = 0; t < techniques; ++t) {
        const STechnique* technique = definition->getTechnique(t);
        if (!technique)
            return fail("Failed to get technique description");
        const STaTechniqueDesc desc = definition->getTechniqueDesc(technique);
        effect.techniques()[t].resize(desc.passes);
        for (unsigned p = 0; p < desc.passes; ++p)
            if (!buildPass(effect, definition->getPass(technique, p), effect.techniques()[t][p], defaultBaseMaterial,
                           macros, callback))
                return false;
    }
    return true;
}

bool CTaEffectBuilder::buildPass(CTaEffect& effect, const SPass* pass, STaFxPass& out, s32 defaultBaseMaterial,
                                 const STaFxMacro* macros, video::IShaderConstantSetCallBack* callback)
{
    ITaEffectDef* definition = effect.definition();
    if (!pass)
        return fail("Failed to get pass description");
    const STaPassDesc desc = definition->getPassDesc(pass);

    // 1. Shaders.
    std::string vsFile, vsEntry = "main", psFile, psEntry = "main";
    int vsTarget = video::EVST_VS_3_0, psTarget = video::EPST_PS_3_0;
    for (unsigned i = 0; i < desc.shaders; ++i) {
        const SShader* shader = definition->getShader(pass, i);
        if (!shader)
            return fail("Failed to get Shader Desc");
        const STaShaderDesc shaderDesc = definition->getShaderDesc(shader);
        const std::string file = stripScheme(shaderDesc.file ? shaderDesc.file : "");
        if (shaderDesc.stage == ETASTAGE_VERTEX) {
            if (file.empty())
                return fail(std::string("Inconsistent Vertex Shader Filename ") + (shaderDesc.file ? shaderDesc.file : ""));
            vsTarget = vertexTarget(shaderDesc.target);
            if (vsTarget < 0)
                return fail("Unsupported Vertex Compiler target");
            vsFile = file;
            vsEntry = shaderDesc.entryPoint ? shaderDesc.entryPoint : "main";
        } else if (shaderDesc.stage == ETASTAGE_PIXEL) {
            if (file.empty())
                return fail(std::string("Inconsistent Pixel Shader Filename ") + (shaderDesc.file ? shaderDesc.file : ""));
            psTarget = pixelTarget(shaderDesc.target);
            if (psTarget < 0)
                return fail("Unsupported Pixel Compiler target");
            psFile = file;
            psEntry = shaderDesc.entryPoint ? shaderDesc.entryPoint : "main";
        }
    }

    // 2. Base material.
    video::E_MATERIAL_TYPE base = defaultBaseMaterial < 0 ? video::EMT_SOLID
                                                          : static_cast<video::E_MATERIAL_TYPE>(defaultBaseMaterial);
    f32 baseParameter = 0.0f;
    const SState* blend = definition->getStateByName(pass, "blend_enable");
    const SParameter* annotation = definition->getAnnotationByName(pass, "baseMaterial");
    if (blend && strcasecmp(blend->value.c_str(), "true") == 0) {
        const SState* source = definition->getStateByName(pass, "blend_func src");
        const SState* destination = definition->getStateByName(pass, "blend_func dest");
        base = video::EMT_ONETEXTURE_BLEND;
        baseParameter = taPackBlendParameter(source ? taEffectBlendFactor(source->value.c_str()) : 1,
                                             destination ? taEffectBlendFactor(destination->value.c_str()) : 0, 1, 2);
    } else if (annotation) {
        const char* name = annotation->value.c_str();
        if (strcasecmp(name, "solid") == 0)
            base = video::EMT_SOLID;
        else if (strcasecmp(name, "transparent_add_color") == 0)
            base = video::EMT_TRANSPARENT_ADD_COLOR;
        else if (strcasecmp(name, "transparent_vertex_alpha") == 0)
            base = video::EMT_TRANSPARENT_VERTEX_ALPHA;
        else if (strcasecmp(name, "transparent") == 0 || strcasecmp(name, "transparent_alpha_channel") == 0)
            base = video::EMT_TRANSPARENT_ALPHA_CHANNEL;
        else if (strcasecmp(name, "transparent_alpha_channel_ref") == 0)
            base = video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF;
        else if (strcasecmp(name, "transparent_one_one") == 0) {
            base = video::EMT_ONETEXTURE_BLEND;
            baseParameter = taPackBlendParameter(video::EBF_ONE, video::EBF_ONE, 1, 0);
        } else if (strcasecmp(name, "transparent_sub_color") == 0) {
            base = video::EMT_ONETEXTURE_BLEND;
            baseParameter = taPackBlendParameter(video::EBF_ZERO, video::EBF_ONE_MINUS_SRC_COLOR, 1, 0);
        } else
            return fail(std::string("Invalid base material annotation ") + name);
    }

    // 3. Macros: the caller's, then the shaders' defines (the first of a name wins).
    std::vector<std::pair<std::string, std::string>> merged;
    for (const STaFxMacro* m = macros; m && m->name; ++m)
        merged.emplace_back(m->name, m->value ? m->value : "");
    for (unsigned i = 0; i < desc.shaders; ++i) {
        const SShader* shader = definition->getShader(pass, i);
        const STaShaderDesc shaderDesc = definition->getShaderDesc(shader);
        for (unsigned d = 0; d < shaderDesc.defines; ++d) {
            const char* line = nullptr;
            if (!definition->getShaderDefine(shader, d, &line) || !line)
                return fail("Failed to get source inline");
            const std::string text = line;
            const size_t at = text.find("#define");
            if (at == std::string::npos)
                return fail("Invalid source inline : no #define");
            const std::string rest = trim(text.substr(at + 7));
            if (rest.empty())
                return fail("Invalid source inline : malformed after #define");
            const size_t gap = rest.find_first_of(" \t");
            const std::string name = rest.substr(0, gap);
            const std::string value = gap == std::string::npos ? "" : trim(rest.substr(gap));
            auto existing = std::find_if(merged.begin(), merged.end(),
                                         [&name](const std::pair<std::string, std::string>& m) { return m.first == name; });
            if (existing == merged.end())
                merged.emplace_back(name, value);
            else if (existing->second != value)
                taPrint(ETALOG_WARN, "Warning: when merging macros, duplicate %s with different definitions '%s' and '%s' ",
                        name.c_str(), existing->second.c_str(), value.c_str());
        }
    }
    std::vector<STaMacroArg> macroArgs;
    for (const auto& m : merged)
        if (!m.first.empty())
            macroArgs.push_back({m.first.c_str(), m.second.empty() ? nullptr : m.second.c_str()});
    macroArgs.push_back({nullptr, nullptr});

    // 4. Files: beside the definition, then in the shader directories, else as given.
    const std::string effectDirectory = directoryOf(definition->getFileName());
    auto locate = [&](const std::string& file) {
        if (file.empty())
            return file;
        if (!taIsAbsolutePath(file.c_str()) && taFileExists((effectDirectory + file).c_str()))
            return effectDirectory + file;
        for (const std::string& directory : m_shaderDirectories) {
            const std::string candidate = directory + "/" + file;
            if (taFileExists(candidate.c_str()))
                return candidate;
        }
        return file;
    };
    vsFile = locate(vsFile);
    psFile = locate(psFile);

    // 5. The material type.
    std::string error;
    const s32 type = m_gpu->getShaderMaterial(vsFile.c_str(), vsEntry.c_str(), vsTarget, psFile.c_str(),
                                              psEntry.c_str(), psTarget, callback, base, 0, macroArgs.data(), &error);
    if (type < 0)
        return fail(error.empty() ? "the shader material cannot be made" : error);
    out.constants = m_driverExt ? m_driverExt->shaderConstants(type) : nullptr;

    // 6. Constants and samplers.
    for (unsigned i = 0; i < desc.shaders; ++i) {
        const SShader* shader = definition->getShader(pass, i);
        const STaShaderDesc shaderDesc = definition->getShaderDesc(shader);
        if (shaderDesc.stage != ETASTAGE_VERTEX && shaderDesc.stage != ETASTAGE_PIXEL)
            return fail("initConstantBind: Unsupported shader stage");
        const bool pixel = shaderDesc.stage == ETASTAGE_PIXEL;
        STaFxShader fxShader;
        fxShader.stage = shaderDesc.stage;
        int nextSampler = 0;
        for (unsigned b = 0; b < shaderDesc.binds; ++b) {
            const SParameter* bind = definition->getShaderBind(shader, b);
            if (!bind || bind->name.empty())
                return fail("Failed to get Bind name");
            const SParameter* p = definition->getBindParameter(bind);
            if (!p)
                return fail("failed to get Param '" + (bind->value.empty() ? std::string("??") : bind->value) +
                            "' for the Bind '" + bind->name + "'");
            const STaParameterDesc pdesc = definition->getParameterDesc(p);
            const int index = definition->getParameterIndex(p);
            if (pdesc.type >= ETAFX_TYPE_BOOL && pdesc.type <= ETAFX_TYPE_INT) {
                STaFxConstBind constant;
                constant.stage = shaderDesc.stage;
                constant.type = pdesc.type;
                constant.name = bind->name;
                constant.semantic = pdesc.semantic ? pdesc.semantic : "";
                constant.parameter = index;
                constant.value = effect.values().data() + size_t(index) * 16;
                constant.elementCount = elementCountOf(pdesc.type);
                int registerIndex = -1, registerCount = 0;
                const bool held = pixel ? m_gpu->getPixelShaderConstant(type, bind->name.c_str(), &registerIndex, &registerCount)
                                        : m_gpu->getVertexShaderConstant(type, bind->name.c_str(), &registerIndex, &registerCount);
                if (!held)
                    continue; // the compiled shader does not hold it: never uploaded
                constant.registerIndex = registerIndex;
                constant.registerCount = registerCount;
                for (ITaEffectBind* candidate : m_binds) {
                    constant.argument[0] = constant.argument[1] = 0;
                    if (TaFxBindFunction function = candidate->getBindFunction(constant)) {
                        constant.bind = candidate;
                        constant.function = function;
                        break;
                    }
                }
                if (!constant.function)
                    return fail("failed to get a bind function for " + constant.name);
                if (constant.bind == m_binds.back() && !constant.semantic.empty()) {
                    std::string base = definition->getFileName();
                    base = base.substr(base.find_last_of("/\\") == std::string::npos ? 0 : base.find_last_of("/\\") + 1);
                    taPrint(ETALOG_WARN, "Warning: %s: the Semantic '%s' has no corresponding binding", base.c_str(),
                            constant.semantic.c_str());
                }
                if (out.constants)
                    constant.handle = out.constants->constantHandle(pixel, constant.name.c_str());
                if (std::find(out.binds.begin(), out.binds.end(), constant.bind) == out.binds.end())
                    out.binds.push_back(constant.bind);
                fxShader.constants.push_back(constant);
            } else if (taIsTextureType(pdesc.type)) {
                STaFxTextureBind sampler;
                sampler.stage = shaderDesc.stage;
                sampler.type = pdesc.type;
                sampler.name = bind->name;
                sampler.parameter = index;
                int samplerIndex = -1;
                const bool held = pixel ? m_gpu->getPixelSamplerIndex(type, bind->name.c_str(), &samplerIndex)
                                        : m_gpu->getVertexSamplerIndex(type, bind->name.c_str(), &samplerIndex);
                if (!held)
                    continue;
                sampler.sampler = samplerIndex >= 0 ? samplerIndex : nextSampler;
                ++nextSampler;
                fxShader.samplers.push_back(sampler);
            }
        }
        out.shaders.push_back(fxShader);
    }

    // 7. Texture states add samplers to the pixel shader.
    for (unsigned i = 0; i < desc.states; ++i) {
        const SState* state = definition->getState(pass, i);
        if (!state || (state->name != "texture1D" && state->name != "texture2D" && state->name != "texture3D" &&
                       state->name != "textureCUBE"))
            continue;
        const SParameter* p = definition->getStateParameter(state);
        if (!p)
            return fail("failed to get Param '" + state->parameter + "' for the texture state'" + state->name + "'");
        STaFxTextureBind sampler;
        sampler.stage = ETAFX_STAGE_PIXEL;
        sampler.type = p->type;
        sampler.name = p->name;
        sampler.parameter = definition->getParameterIndex(p);
        sampler.sampler = state->index;
        auto pixelShader = std::find_if(out.shaders.begin(), out.shaders.end(),
                                        [](const STaFxShader& s) { return s.stage == ETAFX_STAGE_PIXEL; });
        if (pixelShader == out.shaders.end()) {
            out.shaders.push_back(STaFxShader());
            out.shaders.back().stage = ETAFX_STAGE_PIXEL;
            pixelShader = out.shaders.end() - 1;
        }
        pixelShader->samplers.push_back(sampler);
    }

    // 8. The pass material.
    out.material.material.MaterialType = static_cast<video::E_MATERIAL_TYPE>(type);
    out.material.material.MaterialTypeParam = baseParameter;
    out.material.material.MaterialTypeParam2 = 0.0f;
    // Irrlicht 1.8 turns blending off after the base type turned it on unless the material names
    // a blend operation: every blending base type gets one (alpha testing alone needs none).
    if (base == video::EMT_ONETEXTURE_BLEND || base == video::EMT_TRANSPARENT_ADD_COLOR ||
        base == video::EMT_TRANSPARENT_ALPHA_CHANNEL || base == video::EMT_TRANSPARENT_VERTEX_ALPHA)
        out.material.material.BlendOperation = video::EBO_ADD;
    if (m_driverExt)
        out.servicesOfConstants = dynamic_cast<video::IMaterialRendererServices*>(out.constants);
    return true;
}

bool CTaEffectBuilder::loadTextures(CTaEffect& effect)
{
    ITaEffectDef* definition = effect.definition();
    const std::string effectDirectory = directoryOf(definition->getFileName());
    for (size_t i = 0; i < effect.parameterCount(); ++i) {
        const SParameter* p = effect.parameter(static_cast<int>(i));
        if (!p || !taIsTextureType(p->type))
            continue;
        bool sampled = false;
        for (auto& technique : effect.techniques())
            for (STaFxPass& pass : technique)
                for (STaFxShader& shader : pass.shaders)
                    for (STaFxTextureBind& sampler : shader.samplers)
                        sampled |= sampler.parameter == static_cast<int>(i);
        if (!sampled) {
            taPrint(ETALOG_DEBUG,
                    "CTaEffectBuilder::loadTextures : The Texture Parameter '%s' is not bound to any shader sampler, do not load texture.",
                    p->name.c_str());
            continue;
        }
        const char* semantic = p->semantic.empty() ? nullptr : p->semantic.c_str();
        const char* url = p->imageUrl.empty() ? nullptr : p->imageUrl.c_str();
        for (ITaEffectTextureResolver* resolver : m_resolvers) {
            bool failed = false;
            video::ITexture* texture =
                resolver->resolve(p->type, semantic, url, effectDirectory, m_textureDirectories, failed);
            if (failed)
                return fail(std::string("Failed to get Texture [ Semantic=") + (semantic ? semantic : "<null>") +
                            " ImageUrl=" + (url ? url : "<null>") + " ] of parameter " + p->name);
            if (texture) {
                taPrint(ETALOG_DEBUG, "CTaEffectBuilder::loadParameterTexture : loaded Semantic='%s' Url='%s'",
                        semantic ? semantic : "", url ? url : "");
                effect.textures()[i].texture = texture;
                break;
            }
        }
    }
    return true;
}

bool CTaEffectBuilder::setMaterialLayers(CTaEffect& effect)
{
    for (auto& technique : effect.techniques())
        for (STaFxPass& pass : technique)
            for (STaFxShader& shader : pass.shaders)
                for (STaFxTextureBind& sampler : shader.samplers) {
                    const bool vertex = shader.stage == ETAFX_STAGE_VERTEX;
                    if (!vertex && sampler.sampler >= TA_MATERIAL_LAYERS)
                        return fail("Sampler illegal index > MATERIAL_MAX_TEXTURES");
                    if (vertex && sampler.sampler >= TA_MATERIAL_VERTEX_LAYERS)
                        return fail("Sampler illegal index > MATERIAL_MAX_TEXTURES_VERTEX");
                }
    // Each texture parameter's layer into every sampler bound to it.
    for (size_t i = 0; i < effect.parameterCount(); ++i) {
        const SParameter* p = effect.parameter(static_cast<int>(i));
        if (!p || !taIsTextureType(p->type))
            continue;
        const STaFxTextureSlot slot = effect.textures()[i];
        // setTexture keeps the flag the builder read from the annotation.
        effect.setTexture(static_cast<int>(i), slot.texture, slot.srgb);
        effect.textures()[i] = slot;
    }
    return true;
}
