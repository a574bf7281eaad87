// The shader service.
#include "effects/TaGPUProgrammingServices.h"

#include "core/TaLog.h"
#include "files/TaFile.h"
#include "driver/TaVideoDriverExt.h"

#include <algorithm>
#include <tuple>

using namespace irr;

namespace {

STaShaderProgramDesc programOf(const SShaderCompiledEntry& vertex, const SShaderCompiledEntry& pixel)
{
    STaShaderProgramDesc desc;
    desc.name = pixel.file;
    desc.vertexCode = vertex.blob;
    desc.pixelCode = pixel.blob;
    desc.vertexConstants = vertex.constants;
    desc.pixelConstants = pixel.constants;
    desc.vertexSamplers = vertex.samplers;
    desc.pixelSamplers = pixel.samplers;
    return desc;
}

} // namespace

std::vector<SShaderMacro> taMacroListOf(const STaMacroArg* macros)
{
    std::vector<SShaderMacro> list;
    for (; macros && macros->name; ++macros)
        list.push_back(SShaderMacro{macros->name, macros->value ? macros->value : ""});
    taSortMacros(list);
    return list;
}

bool CTaGPUProgrammingServices::MaterialKey::operator<(const MaterialKey& other) const
{
    return std::tie(vsFile, vsEntry, psFile, psEntry, callback, baseMaterial, userData) <
               std::tie(other.vsFile, other.vsEntry, other.psFile, other.psEntry, other.callback, other.baseMaterial,
                        other.userData) ||
           (std::tie(vsFile, vsEntry, psFile, psEntry, callback, baseMaterial, userData) ==
                std::tie(other.vsFile, other.vsEntry, other.psFile, other.psEntry, other.callback, other.baseMaterial,
                         other.userData) &&
            (macros.size() != other.macros.size() ? macros.size() < other.macros.size() : macros < other.macros));
}

CTaGPUProgrammingServices::CTaGPUProgrammingServices(IrrlichtDevice* device,
                                                     std::unique_ptr<ITaShaderTranslator> translator)
    : m_device(device), m_translator(translator ? std::move(translator) : taCreateHlslToGlslTranslator()),
      m_store(std::make_unique<CTaCompiledShaderStore>(*m_translator))
{
}

CTaGPUProgrammingServices::~CTaGPUProgrammingServices() = default;

void CTaGPUProgrammingServices::report(std::string* error, const std::string& text) const
{
    if (error)
        *error = text;
    else
        taPrint(ETALOG_ERROR, "%s", text.c_str());
}

void CTaGPUProgrammingServices::setCacheDirectory(const char* directory, int flags)
{
    m_cacheDirectory = directory ? directory : "";
    m_cacheFlags = flags;
    m_store->setCacheDirectory(m_cacheDirectory, flags);
}

const SShaderCompiledEntry* CTaGPUProgrammingServices::getCompiledShader(const char* file, const char* entryPoint,
                                                                         bool isVertex, int target,
                                                                         const std::vector<SShaderMacro>& macros,
                                                                         std::string* error)
{
    return m_store->getCompiledShader(file ? file : "", entryPoint ? entryPoint : "", isVertex, target, macros, error);
}

s32 CTaGPUProgrammingServices::getShaderMaterial(const char* vsFile, const char* vsEntry, int vsTarget,
                                                 const char* psFile, const char* psEntry, int psTarget,
                                                 video::IShaderConstantSetCallBack* callback,
                                                 video::E_MATERIAL_TYPE baseMaterial, s32 userData,
                                                 const STaMacroArg* macros, std::string* error)
{
    const std::string vs = vsFile ? vsFile : "", ps = psFile ? psFile : "";
    MaterialKey key{vs, vsEntry ? vsEntry : "", ps, psEntry ? psEntry : "", reinterpret_cast<uintptr_t>(callback),
                    static_cast<int>(baseMaterial), userData, taMacroListOf(macros)};
    auto found = m_materialTypes.find(key);
    if (found != m_materialTypes.end()) {
        taPrint(ETALOG_DEBUG, "TaGPU: Found already created shader %s %s", vs.c_str(), ps.c_str());
        return found->second.materialType;
    }
    auto exists = [this](const std::string& file) { return m_store->isBuiltIn(file) || taFileExists(file.c_str()); };
    if (!exists(vs) || !exists(ps)) {
        if (error)
            *error = "Shader files not found : " + vs + " " + ps;
        else
            taPrint(ETALOG_ERROR, "TaGPU: Shader files not found %s %s", vs.c_str(), ps.c_str());
        return -1;
    }
    int vsId = -1, psId = -1;
    const s32 type = createShaderMaterial(vsFile, vsEntry, vsTarget, psFile, psEntry, psTarget, callback, baseMaterial,
                                          userData, macros, &vsId, &psId, error);
    if (type < 0) {
        if (!error)
            taPrint(ETALOG_ERROR, "TaGPU: Failed to get shader %s %s", vs.c_str(), ps.c_str());
        return -1;
    }
    SShaderMaterialTypeEntry entry;
    entry.vsFile = key.vsFile;
    entry.vsEntry = key.vsEntry;
    entry.psFile = key.psFile;
    entry.psEntry = key.psEntry;
    entry.callback = callback;
    entry.baseMaterial = baseMaterial;
    entry.userData = userData;
    entry.macros = key.macros;
    entry.vsId = vsId;
    entry.psId = psId;
    entry.materialType = type;
    m_materialTypes.emplace(std::move(key), std::move(entry));
    return type;
}

s32 CTaGPUProgrammingServices::createShaderMaterial(const char* vsFile, const char* vsEntry, int vsTarget,
                                                    const char* psFile, const char* psEntry, int psTarget,
                                                    video::IShaderConstantSetCallBack* callback,
                                                    video::E_MATERIAL_TYPE baseMaterial, s32 userData,
                                                    const STaMacroArg* macros, int* vsId, int* psId,
                                                    std::string* error)
{
    if (vsId)
        *vsId = -1;
    if (psId)
        *psId = -1;
    if (!m_driverExt) {
        report(error, "TaGPU: failed to get gpu");
        return -1;
    }
    const std::vector<SShaderMacro> list = taMacroListOf(macros);
    const SShaderCompiledEntry* vertex = getCompiledShader(vsFile, vsEntry, true, vsTarget, list, error);
    if (!vertex)
        return -1;
    const SShaderCompiledEntry* pixel = getCompiledShader(psFile, psEntry, false, psTarget, list, error);
    if (!pixel)
        return -1;
    std::string why;
    const s32 type = m_driverExt->addShaderMaterial(programOf(*vertex, *pixel), callback, baseMaterial, userData, why);
    if (type < 0) {
        report(error, "TaGPU: addHighLevelShaderMaterial failed: " + why);
        return -1;
    }
    if (vsId)
        *vsId = vertex->id;
    if (psId)
        *psId = pixel->id;
    return type;
}

bool CTaGPUProgrammingServices::recompileShaders(const std::vector<std::string>& changedPaths,
                                                 std::vector<s32>* updated, std::string* error)
{
    if (updated)
        updated->clear();
    std::vector<int> recompiled;
    std::string failures;
    std::string compileFailures;
    m_store->recompileShaders(changedPaths, recompiled, compileFailures);
    failures = compileFailures;
    auto wasRecompiled = [&](int id) { return std::find(recompiled.begin(), recompiled.end(), id) != recompiled.end(); };
    for (auto& item : m_materialTypes) {
        SShaderMaterialTypeEntry& entry = item.second;
        if (!wasRecompiled(entry.vsId) && !wasRecompiled(entry.psId))
            continue;
        const SShaderCompiledEntry* vertex = m_store->entryById(entry.vsId);
        const SShaderCompiledEntry* pixel = m_store->entryById(entry.psId);
        std::string why = "the compiled shaders are gone";
        if (vertex && pixel && m_driverExt &&
            m_driverExt->replaceShaderMaterial(entry.materialType, programOf(*vertex, *pixel), why)) {
            if (updated)
                updated->push_back(entry.materialType);
            continue;
        }
        const std::string text = "Failed to update material " + entry.psFile + "\n" + why;
        if (!error)
            taPrint(ETALOG_ERROR, "TaGPU: %s", text.c_str());
        failures += text + "\n";
    }
    if (error)
        *error = failures;
    else if (!compileFailures.empty())
        taPrint(ETALOG_ERROR, "%s", compileFailures.c_str());
    return true;
}

// OpenGL has no constant registers: constants are set by name, so every query answers "not
// located", as for any driver without constant tables.
const SShaderCompiledEntry* CTaGPUProgrammingServices::shaderOf(s32 materialType, bool pixel) const
{
    for (const auto& entry : m_materialTypes)
        if (entry.second.materialType == materialType && materialType >= 0)
            return m_store->entryById(pixel ? entry.second.psId : entry.second.vsId);
    return nullptr;
}

// OpenGL has no constant registers: a constant the translated shader holds answers index -1 and the
// number of float4 registers it would take; one the compiler dropped answers false.
static bool constantOf(const SShaderCompiledEntry* shader, const char* name, int* index, int* count)
{
    if (!shader || !name)
        return false;
    for (const STaShaderConstant& constant : shader->constants)
        if (constant.hlslName == name) {
            if (index)
                *index = -1;
            if (count)
                *count = std::max(1, constant.arraySize) * std::max(1, constant.columns > 1 ? constant.columns : 1);
            return true;
        }
    return false;
}

// A sampler's index is the texture unit the translation gave it, counted within its stage.
static bool samplerOf(const SShaderCompiledEntry* shader, const char* name, int firstUnit, int* index)
{
    if (!shader || !name)
        return false;
    for (const STaShaderSampler& sampler : shader->samplers)
        if (sampler.hlslName == name) {
            if (index)
                *index = sampler.unit - firstUnit;
            return true;
        }
    return false;
}

bool CTaGPUProgrammingServices::getPixelShaderConstant(s32 materialType, const char* name, int* index, int* count)
{
    return constantOf(shaderOf(materialType, true), name, index, count);
}

bool CTaGPUProgrammingServices::getVertexShaderConstant(s32 materialType, const char* name, int* index, int* count)
{
    return constantOf(shaderOf(materialType, false), name, index, count);
}

bool CTaGPUProgrammingServices::getPixelSamplerIndex(s32 materialType, const char* name, int* index)
{
    return samplerOf(shaderOf(materialType, true), name, 0, index);
}

bool CTaGPUProgrammingServices::getVertexSamplerIndex(s32 materialType, const char* name, int* index)
{
    return samplerOf(shaderOf(materialType, false), name, 8, index);
}

bool CTaGPUProgrammingServices::printConstants(s32 materialType)
{
    std::string text;
    if (!m_driverExt || !m_driverExt->describeShaderMaterial(materialType, text)) {
        taPrint(ETALOG_ERROR, "printConstants not supported for this DriverType");
        return false;
    }
    taPrint(ETALOG_INFO, "%s", text.c_str());
    return true;
}
