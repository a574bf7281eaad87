// The texture manager.
#include "nodes/TaTextureManager.h"

#include "files/TaFile.h"

irr::video::ITexture* CTaTextureManager::getTexture(const char* name)
{
    if (!name || !*name)
        return nullptr;
    return m_device->getVideoDriver()->getTexture(taFindFile(name));
}
