// Render services.
#include "render/TaRenderServices.h"

#include "core/TaLog.h"

using namespace irr;

CTaRenderServices::CTaRenderServices(IrrlichtDevice* device, ITaVideoDriverExt* driverExt)
    : m_device(device), m_driverExt(driverExt)
{
}

CTaRenderServices::~CTaRenderServices() = default;

bool CTaRenderServices::setRenderTargets(video::ITexture** textures, int count)
{
    video::IVideoDriver* driver = m_device->getVideoDriver();
    if (count <= 0 || !textures || !textures[0])
        return driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    if (count == 1)
        return driver->setRenderTarget(textures[0], false, false);
    core::array<video::IRenderTarget> targets;
    for (int i = 0; i < count; ++i)
        if (textures[i])
            targets.push_back(video::IRenderTarget(textures[i], video::ECP_ALL, video::EBF_ONE, video::EBF_ZERO,
                                                   video::EBO_NONE));
    return driver->setRenderTarget(targets, false, false);
}

void CTaRenderServices::copyTexture(video::ITexture* texture)
{
    if (!texture)
        return;
    video::IVideoDriver* driver = m_device->getVideoDriver();
    const core::dimension2du target = driver->getCurrentRenderTargetSize();
    const core::dimension2du source = texture->getOriginalSize();
    driver->draw2DImage(texture, core::rect<s32>(0, 0, target.Width, target.Height),
                        core::rect<s32>(0, 0, source.Width, source.Height));
}

void CTaRenderServices::drawScreenQuad(video::SMaterial material)
{
    static const u16 indices[6] = {0, 1, 2, 0, 2, 3};
    const video::SColor white(255, 255, 255, 255);
    video::S3DVertex corners[4] = {video::S3DVertex(-1, -1, 0, 0, 0, 1, white, 0, 1),
                                   video::S3DVertex(-1, 1, 0, 0, 0, 1, white, 0, 0),
                                   video::S3DVertex(1, 1, 0, 0, 0, 1, white, 1, 0),
                                   video::S3DVertex(1, -1, 0, 0, 0, 1, white, 1, 1)};
    material.Lighting = false;
    material.ZWriteEnable = false;
    material.ZBuffer = video::ECFN_ALWAYS;
    material.BackfaceCulling = false;
    video::IVideoDriver* driver = m_device->getVideoDriver();
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->setTransform(video::ETS_VIEW, core::IdentityMatrix);
    driver->setTransform(video::ETS_PROJECTION, core::IdentityMatrix);
    driver->setMaterial(material);
    driver->drawIndexedTriangleList(corners, 4, indices, 2);
}
