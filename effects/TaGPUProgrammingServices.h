// CTaGPUProgrammingServices: the engine's single door to the shader compiler: compiled shaders with
// their disk cache, material types built from shader pairs, and hot reload.
#pragma once

#include "effects/TaCompiledShaders.h"

#include <irrlicht.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class ITaVideoDriverExt;

// A macro as callers hand them over: (name, value) pairs of C strings ended by a null name; a null
// value is the empty text.
struct STaMacroArg {
    const char* name;
    const char* value;
};

// One material type made from a vertex and pixel shader pair.
struct SShaderMaterialTypeEntry {
    std::string vsFile, vsEntry, psFile, psEntry;
    irr::video::IShaderConstantSetCallBack* callback = nullptr;
    int baseMaterial = 0;
    int userData = 0;
    std::vector<SShaderMacro> macros;
    int vsId = -1, psId = -1;
    int materialType = -1;
};

class CTaGPUProgrammingServices
{
public:
    // The HLSL translator for OpenGL unless another is given (tests count its calls).
    explicit CTaGPUProgrammingServices(irr::IrrlichtDevice* device,
                                       std::unique_ptr<ITaShaderTranslator> translator = nullptr);
    virtual ~CTaGPUProgrammingServices();

    // The driver extension that makes material types (set by the manager once it exists).
    void setVideoDriverExt(ITaVideoDriverExt* driverExt) { m_driverExt = driverExt; }

    // The cache directory and its flags (1 read, 2 check, 4 write); "" turns the cache off.
    virtual void setCacheDirectory(const char* directory, int flags);
    const std::string& getShaderCacheDirectory() const { return m_cacheDirectory; }
    int getShaderCacheFlags() const { return m_cacheFlags; }

    // The material type for a shader pair, made once per (files, entry points, callback, base type,
    // user data, macros); the targets are not part of the key. -1 on failure, the reason in `error`
    // when given, else in the log.
    virtual irr::s32 getShaderMaterial(const char* vsFile, const char* vsEntry, int vsTarget, const char* psFile,
                                       const char* psEntry, int psTarget,
                                       irr::video::IShaderConstantSetCallBack* callback,
                                       irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData,
                                       const STaMacroArg* macros, std::string* error = nullptr);
    // A new material type for a pair, and the ids of its two compiled shaders.
    virtual irr::s32 createShaderMaterial(const char* vsFile, const char* vsEntry, int vsTarget, const char* psFile,
                                          const char* psEntry, int psTarget,
                                          irr::video::IShaderConstantSetCallBack* callback,
                                          irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData,
                                          const STaMacroArg* macros, int* vsId, int* psId,
                                          std::string* error = nullptr);

    // Recompiles every shader whose include list holds one of the changed paths and relinks the
    // material types made from them in place; `updated` receives those types. A shader that fails
    // keeps its old code. Always true.
    virtual bool recompileShaders(const std::vector<std::string>& changedPaths, std::vector<irr::s32>* updated = nullptr,
                                  std::string* error = nullptr);

    // Constants and samplers of a material type's shaders, from the translation's reflection: false
    // for one the shader does not hold (the compiler dropped it). OpenGL has no constant registers:
    // index -1, and the count of float4 registers the constant would take. A sampler's index is
    // its texture unit within its stage (vertex samplers from unit 8).
    virtual bool getPixelShaderConstant(irr::s32 materialType, const char* name, int* index, int* count);
    virtual bool getVertexShaderConstant(irr::s32 materialType, const char* name, int* index, int* count);
    virtual bool getPixelSamplerIndex(irr::s32 materialType, const char* name, int* index);
    virtual bool getVertexSamplerIndex(irr::s32 materialType, const char* name, int* index);
    // Logs the constants of a material type as the program has them (false on the null driver).
    virtual bool printConstants(irr::s32 materialType);

    // A compiled shader (memory, cache, translator); nullptr on failure.
    const SShaderCompiledEntry* getCompiledShader(const char* file, const char* entryPoint, bool isVertex, int target,
                                                  const std::vector<SShaderMacro>& macros,
                                                  std::string* error = nullptr);

    CTaCompiledShaderStore& store() { return *m_store; }
    size_t materialTypeCount() const { return m_materialTypes.size(); }

private:
    struct MaterialKey {
        std::string vsFile, vsEntry, psFile, psEntry;
        uintptr_t callback;
        int baseMaterial, userData;
        std::vector<SShaderMacro> macros;
        bool operator<(const MaterialKey& other) const;
    };
    void report(std::string* error, const std::string& text) const;
    const SShaderCompiledEntry* shaderOf(irr::s32 materialType, bool pixel) const;

    [[maybe_unused]] irr::IrrlichtDevice* m_device;
    ITaVideoDriverExt* m_driverExt = nullptr;
    std::unique_ptr<ITaShaderTranslator> m_translator;
    std::unique_ptr<CTaCompiledShaderStore> m_store;
    std::map<MaterialKey, SShaderMaterialTypeEntry> m_materialTypes;
    std::string m_cacheDirectory;
    int m_cacheFlags = 0;
};

// The sorted macro list of a macro argument array.
std::vector<SShaderMacro> taMacroListOf(const STaMacroArg* macros);
