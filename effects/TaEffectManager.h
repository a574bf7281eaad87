// CTaEffectManager: loads effect files into effects and keeps them by name.
#pragma once

#include <irrlicht.h>

#include <string>

class ITaVideoDriverExt;
class CTaGPUProgrammingServices;
class CTaRendererManager;
class CTaRenderServices;
class CTaTextureManager;
class CTaSceneManager;

class CTaEffectManager
{
public:
    CTaEffectManager(irr::IrrlichtDevice* device, ITaVideoDriverExt* driverExt, CTaGPUProgrammingServices* gpu,
                     CTaRendererManager* rendererManager, CTaRenderServices* renderServices,
                     CTaTextureManager* textureManager, CTaSceneManager* sceneManager);
    virtual ~CTaEffectManager();

    // Where effects find the textures they name.
    virtual void setTextureDirectory(const char* directory) { m_textureDirectory = directory ? directory : ""; }
    const std::string& getTextureDirectory() const { return m_textureDirectory; }

    // Loading an effect file: not part of this build yet (logged; nullptr).
    virtual irr::IReferenceCounted* loadEffect(const char* path);

private:
    [[maybe_unused]] irr::IrrlichtDevice* m_device;
    std::string m_textureDirectory;
};
