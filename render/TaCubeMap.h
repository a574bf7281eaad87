// CTaCubeMap: an environment map the engine renders from a point of the scene, as a cube render
// target and, when asked, a latitude/longitude copy of it.
#pragma once

#include "driver/TaVideoDriverExt.h"
#include "nodes/TaSceneNodeExt.h"

class CTaRenderServices;
class ITaRenderer;

class ITaCubeMap : public ITaNodeCubeMap
{
public:
    // Makes the textures; false with a message when they exist already or cannot be made.
    virtual bool create(irr::u32 faceSize, irr::video::ECOLOR_FORMAT format, bool latLong) = 0;
    // Renders the six faces from `position` with `renderer` (and the latitude/longitude copy).
    virtual bool render(ITaRenderer* renderer, const irr::core::vector3df& position) = 0;
    // Clears the faces (and the latitude/longitude map) to 0.
    virtual void clear() = 0;
    virtual bool rendered() const = 0;
};

class CTaCubeMap : public ITaCubeMap
{
public:
    CTaCubeMap(irr::video::IVideoDriver* driver, ITaVideoDriverExt* driverExt, ITaTextureManager* textures,
               CTaRenderServices* services);
    ~CTaCubeMap() override;

    bool create(irr::u32 faceSize, irr::video::ECOLOR_FORMAT format, bool latLong) override;
    bool render(ITaRenderer* renderer, const irr::core::vector3df& position) override;
    void clear() override;
    irr::video::ITexture* texture() override;
    bool rendered() const override { return m_rendered; }

    CTaTexture* cubeTexture() const { return m_cube; }
    irr::video::ITexture* latLongTexture() const { return m_latLong; }
    const irr::core::vector3df& lastPosition() const override { return m_position; }

private:
    irr::video::IVideoDriver* m_driver;
    ITaVideoDriverExt* m_driverExt;
    ITaTextureManager* m_textures;
    CTaRenderServices* m_services;
    CTaTexture* m_cube = nullptr;
    irr::video::ITexture* m_latLong = nullptr;
    irr::core::vector3df m_position;
    bool m_rendered = false, m_latLongWanted = false;
};

// The latitude/longitude map of a cube of `faceSize` texels: 2g x g, g = (int)sqrt(faceSize^2 / 2)
// rounded down to a multiple of 32, or 1 when it is not above 31 (a face of 256 gives 320 x 160).
irr::core::dimension2du taLatLongSize(irr::u32 faceSize);
