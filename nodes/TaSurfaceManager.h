// CTaSurfaceManager: LightWave surfaces and the shader variants they select.
#pragma once

#include <irrlicht.h>

class CTaSurfaceManager
{
public:
    explicit CTaSurfaceManager(irr::IrrlichtDevice* device) : m_device(device) {}
    virtual ~CTaSurfaceManager() = default;

    // Surfaces known now (none until surfaces are part of the build).
    virtual int surfaceCount() const { return 0; }

private:
    [[maybe_unused]] irr::IrrlichtDevice* m_device;
};
