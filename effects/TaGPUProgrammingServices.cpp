// The shader service.
#include "effects/TaGPUProgrammingServices.h"

#include "app/TaLog.h"

using namespace irr;

CTaGPUProgrammingServices::CTaGPUProgrammingServices(IrrlichtDevice* device)
    : m_device(device), m_translator(taCreateHlslToGlslTranslator()),
      m_store(std::make_unique<CTaCompiledShaderStore>(*m_translator))
{
}

CTaGPUProgrammingServices::~CTaGPUProgrammingServices() = default;

void CTaGPUProgrammingServices::setShaderCacheDirectory(const char* directory, int flags)
{
    m_cacheDirectory = directory ? directory : "";
    m_cacheFlags = flags;
    m_store->setCacheDirectory(m_cacheDirectory, flags);
}

const SShaderCompiledEntry* CTaGPUProgrammingServices::getCompiledShader(const char* file, const char* entryPoint,
                                                                         bool isVertex, int target,
                                                                         const std::vector<SShaderMacro>& macros)
{
    return m_store->getCompiledShader(file ? file : "", entryPoint ? entryPoint : "", isVertex, target, macros);
}

bool CTaGPUProgrammingServices::recompileShaders(const std::vector<std::string>& changedPaths)
{
    std::vector<int> recompiled;
    std::string error;
    m_store->recompileShaders(changedPaths, recompiled, error);
    if (!error.empty())
        taPrint(ETALOG_ERROR, "%s", error.c_str());
    return true;
}

s32 CTaGPUProgrammingServices::getShaderMaterial(const SShaderCompiledEntry*, const SShaderCompiledEntry*,
                                                 video::E_MATERIAL_TYPE)
{
    taPrint(ETALOG_ERROR, "TaGPU: material types from shader pairs are not part of this build yet");
    return -1;
}
