// CTaSurfaceManager: makes surfaces by kind.
#pragma once

#include "nodes/TaSurface.h"

#include <irrlicht.h>

class CTaSurfaceManager
{
public:
    explicit CTaSurfaceManager(irr::IrrlichtDevice* device) : m_device(device) {}
    virtual ~CTaSurfaceManager() = default;

    // "lightwave" or "lightwave_hv" (exactly), with the defaults; nullptr for another name.
    virtual ITaSurface* createSurfaceByName(const char* name);
    // ETAST_LIGHTWAVE or ETAST_LIGHTWAVEHV; nullptr for another type.
    virtual ITaSurface* createSurface(irr::u32 type);

private:
    [[maybe_unused]] irr::IrrlichtDevice* m_device;
};
