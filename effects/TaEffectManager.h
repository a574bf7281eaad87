// CTaEffectManager: loads effect definitions through its loaders and caches them, builds effects,
// and owns the bind list, the texture resolvers and the shader and texture directories.
#pragma once

#include "effects/TaEffect.h"
#include "effects/TaShaderCache.h"

#include <irrlicht.h>

#include <string>
#include <vector>

class ITaVideoDriverExt;
class ITaTextureManager;
class CTaGPUProgrammingServices;
class CTaRendererManager;
class CTaRenderServices;
class CTaSceneManager;

class CTaEffectManager
{
public:
    CTaEffectManager(irr::IrrlichtDevice* device, ITaVideoDriverExt* driverExt, CTaGPUProgrammingServices* gpu,
                     CTaRendererManager* rendererManager, CTaRenderServices* renderServices,
                     ITaTextureManager* textureManager, CTaSceneManager* sceneManager);
    virtual ~CTaEffectManager();

    // The cached definition of a file with these macros (borrowed: the cache keeps it), loading it
    // on the first request; nullptr with the reason logged and kept as the last error.
    virtual ITaEffectDef* getEffectDef(const char* fileName, const STaFxMacro* macros);
    // A new effect of the file (the caller owns the reference), or nullptr with the reason logged and
    // kept as the last error. `defaultBaseMaterial`: Irrlicht's material type for passes that name
    // none (-1: solid); `callback` nullptr: the manager's.
    virtual CTaEffect* createEffect(const char* fileName, irr::s32 defaultBaseMaterial, const STaFxMacro* macros,
                                    irr::video::IShaderConstantSetCallBack* callback = nullptr);
    virtual void addShaderDirectory(const char* path);
    virtual void addTextureDirectory(const char* path);
    // Inserted at the front of the bind list (it takes precedence), held.
    virtual void addBind(ITaEffectBind* bind);
    virtual void addTextureResolver(ITaEffectTextureResolver* resolver);
    virtual void addLoader(ITaEffectDefLoader* loader);
    // A new semantic map, already in the bind list (the caller owns one reference).
    virtual ITaEffectBindSemanticMap* createSemanticMap();
    virtual const std::string& getLastError() const { return m_lastError; }

    // The engine's texture directory (the data directory's "textures"), the first texture directory.
    virtual void setTextureDirectory(const char* directory);
    const std::string& getTextureDirectory() const { return m_textureDirectory; }
    // An effect of the file without macros (nullptr on failure, logged).
    virtual CTaEffect* loadEffect(const char* path);

    const std::vector<ITaEffectBind*>& binds() const { return m_binds; }
    // The texture manager effects load their images through.
    ITaTextureManager* textureManager() const { return m_textureManager; }
    size_t definitionCount() const { return m_definitions.size(); }

private:
    struct SEffectDefEntry {
        std::string fileName;
        bool usesMacros;
        std::vector<SShaderMacro> macros;
        ITaEffectDef* definition;
    };
    static bool keyBefore(const SEffectDefEntry& a, const SEffectDefEntry& b);

    irr::IrrlichtDevice* m_device;
    ITaVideoDriverExt* m_driverExt;
    CTaGPUProgrammingServices* m_gpu;
    ITaTextureManager* m_textureManager;
    std::vector<ITaEffectDefLoader*> m_loaders;
    std::vector<SEffectDefEntry> m_definitions; // sorted by key
    std::vector<ITaEffectBind*> m_binds;
    std::vector<ITaEffectTextureResolver*> m_resolvers;
    std::vector<std::string> m_shaderDirectories, m_textureDirectories;
    std::string m_textureDirectory;
    CTaEffectCallback* m_defaultCallback;
    std::string m_lastError;
};

// The effect builder: one effect of a definition, in four steps (parameters, techniques, textures,
// material layers); the first failure stops it with its text.
class CTaEffectBuilder
{
public:
    CTaEffectBuilder(CTaGPUProgrammingServices* gpu, ITaVideoDriverExt* driverExt,
                     const std::vector<ITaEffectBind*>& binds, const std::vector<ITaEffectTextureResolver*>& resolvers,
                     const std::vector<std::string>& shaderDirectories,
                     const std::vector<std::string>& textureDirectories);
    // nullptr with error() saying why.
    CTaEffect* build(ITaEffectDef* definition, irr::s32 defaultBaseMaterial, const STaFxMacro* macros,
                     irr::video::IShaderConstantSetCallBack* callback);
    const std::string& error() const { return m_error; }

private:
    bool initParameters(CTaEffect& effect);
    bool initTechniques(CTaEffect& effect, irr::s32 defaultBaseMaterial, const STaFxMacro* macros,
                        irr::video::IShaderConstantSetCallBack* callback);
    bool buildPass(CTaEffect& effect, const SPass* pass, STaFxPass& out, irr::s32 defaultBaseMaterial,
                   const STaFxMacro* macros, irr::video::IShaderConstantSetCallBack* callback);
    bool loadTextures(CTaEffect& effect);
    bool setMaterialLayers(CTaEffect& effect);
    bool fail(const std::string& text);

    CTaGPUProgrammingServices* m_gpu;
    ITaVideoDriverExt* m_driverExt;
    const std::vector<ITaEffectBind*>& m_binds;
    const std::vector<ITaEffectTextureResolver*>& m_resolvers;
    const std::vector<std::string>& m_shaderDirectories;
    const std::vector<std::string>& m_textureDirectories;
    std::string m_error;
};
