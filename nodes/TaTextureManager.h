// CTaTextureManager: textures that need more than a plain load, by name.
#pragma once

#include <irrlicht.h>

class CTaTextureManager
{
public:
    explicit CTaTextureManager(irr::IrrlichtDevice* device) : m_device(device) {}
    virtual ~CTaTextureManager() = default;

    // A texture by name: the driver's plain load, found through the file layer (nullptr when it
    // does not load; the driver logs why).
    virtual irr::video::ITexture* getTexture(const char* name);

private:
    irr::IrrlichtDevice* m_device;
};
