// CTaGPUProgrammingServices: the engine's shader service: compiled shaders with their disk cache,
// hot reload, and the material types built from shader pairs.
#pragma once

#include "effects/TaCompiledShaders.h"

#include <irrlicht.h>

#include <memory>
#include <string>
#include <vector>

class CTaGPUProgrammingServices
{
public:
    // Makes the HLSL translator for the device's driver.
    explicit CTaGPUProgrammingServices(irr::IrrlichtDevice* device);
    virtual ~CTaGPUProgrammingServices();

    // The cache directory and its flags (1 read, 2 check, 4 write).
    virtual void setShaderCacheDirectory(const char* directory, int flags);
    const std::string& getShaderCacheDirectory() const { return m_cacheDirectory; }
    int getShaderCacheFlags() const { return m_cacheFlags; }

    // A compiled shader for a request, from memory, the cache or the translator (nullptr when it
    // cannot be compiled; the reason is logged).
    virtual const SShaderCompiledEntry* getCompiledShader(const char* file, const char* entryPoint, bool isVertex,
                                                          int target, const std::vector<SShaderMacro>& macros);

    // Recompiles every shader that depends on one of the changed files; a shader that fails keeps
    // its old code and the failure is logged.
    virtual bool recompileShaders(const std::vector<std::string>& changedPaths);

    // A material type from a vertex and pixel shader pair: not part of this build yet (reported,
    // -1).
    virtual irr::s32 getShaderMaterial(const SShaderCompiledEntry* vertexShader, const SShaderCompiledEntry* pixelShader,
                                       irr::video::E_MATERIAL_TYPE baseMaterial);

    CTaCompiledShaderStore& store() { return *m_store; }

private:
    irr::IrrlichtDevice* m_device;
    std::unique_ptr<ITaShaderTranslator> m_translator;
    std::unique_ptr<CTaCompiledShaderStore> m_store;
    std::string m_cacheDirectory;
    int m_cacheFlags = 0;
};
