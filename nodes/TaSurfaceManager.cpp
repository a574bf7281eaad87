// The surface manager.
#include "nodes/TaSurfaceManager.h"

#include <cstring>

ITaSurface* CTaSurfaceManager::createSurfaceByName(const char* name)
{
    if (!name)
        return nullptr;
    if (strcmp(name, "lightwave") == 0)
        return new CTaSurfaceLightwave();
    if (strcmp(name, "lightwave_hv") == 0)
        return new CTaSurfaceLightwaveHV();
    return nullptr;
}

ITaSurface* CTaSurfaceManager::createSurface(irr::u32 type)
{
    if (type == ETAST_LIGHTWAVE)
        return new CTaSurfaceLightwave();
    if (type == ETAST_LIGHTWAVEHV)
        return new CTaSurfaceLightwaveHV();
    return nullptr;
}
