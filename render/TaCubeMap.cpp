// Cube maps.
#include "render/TaCubeMap.h"

#include "core/TaLog.h"
#include "render/TaRenderServices.h"

#include <cmath>

using namespace irr;

core::dimension2du taLatLongSize(u32 faceSize)
{
    u32 g = static_cast<u32>(std::sqrt(double(faceSize) * double(faceSize) / 2.0));
    g = g > 31 ? g / 32 * 32 : 1;
    return core::dimension2du(2 * g, g);
}

CTaCubeMap::CTaCubeMap(video::IVideoDriver* driver, ITaVideoDriverExt* driverExt, ITaTextureManager* textures,
                       CTaRenderServices* services)
    : m_driver(driver), m_driverExt(driverExt), m_textures(textures), m_services(services)
{
#ifdef _DEBUG
    setDebugName("CTaCubeMap");
#endif
}

CTaCubeMap::~CTaCubeMap()
{
    // A texture someone else still holds is left to them (and to the driver), with a word.
    if (m_cube) {
        if (m_cube->getReferenceCount() == 1)
            m_driverExt->removeRenderTarget(m_cube);
        else
            taPrint(ETALOG_WARN, "Cannot remove texture of cubemap still references %d on it!\n",
                    m_cube->getReferenceCount() - 1);
    }
    if (m_latLong) {
        if (m_latLong->getReferenceCount() == 1)
            m_driverExt->removeRenderTarget(m_latLong);
        else
            taPrint(ETALOG_WARN, "Cannot remove texture of cubemap latlong still references %d on it!\n",
                    m_latLong->getReferenceCount() - 1);
    }
}

bool CTaCubeMap::create(u32 faceSize, video::ECOLOR_FORMAT format, bool latLong)
{
    if (m_cube || m_latLong) {
        taPrint(ETALOG_ERROR, "cubemap texture already created");
        return false;
    }
    std::string error;
    m_cube = m_driverExt->addCubeRenderTarget("rt", faceSize, format, error);
    if (!m_cube) {
        taPrint(ETALOG_ERROR, "failed to create cubemap texture (%s)", error.c_str());
        return false;
    }
    if (latLong) {
        const bool mipMaps = m_driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
        m_driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
        m_latLong = m_driverExt->addRenderTarget(taLatLongSize(faceSize), "rt", format);
        m_driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipMaps);
        if (!m_latLong) {
            taPrint(ETALOG_ERROR, "failed to create cubemap latlong texture");
            // Nothing half-made stays: the cube goes too, so that create may be tried again.
            m_driverExt->removeRenderTarget(m_cube);
            m_cube = nullptr;
            return false;
        }
    }
    m_latLongWanted = latLong;
    return true;
}

bool CTaCubeMap::render(ITaRenderer* renderer, const core::vector3df& position)
{
    m_position = position;
    if (!m_cube)
        return false;
    // The null driver draws nothing: there is nothing to render, and nothing failed.
    if (m_driver->getDriverType() == video::EDT_NULL) {
        m_rendered = true;
        return true;
    }
    video::ITexture* face = m_textures->getRenderTarget(m_cube->getSize(), m_cube->getColorFormat());
    if (!face || !m_services->renderCubeMap(m_cube, face, position, renderer))
        return false;
    if (m_latLongWanted && !m_services->copyCubeMapToLatLong(m_latLong, m_cube))
        return false;
    m_rendered = true;
    return true;
}

void CTaCubeMap::clear()
{
    if (m_cube)
        m_services->clearCubeMap(m_cube);
    if (m_latLong) {
        m_driver->setRenderTarget(m_latLong, true, true, video::SColor(0));
        m_driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    }
    m_rendered = false;
}

video::ITexture* CTaCubeMap::texture()
{
    return m_latLongWanted ? m_latLong : m_cube;
}
