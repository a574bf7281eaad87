// Pictures, pictures drawn into targets and float render targets for the post-processing tests, and
// their texels read back.
#pragma once

#include "render/TaRenderServices.h"

#include <irrlicht.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>

#include <functional>
#include <vector>

// A picture of w x h texels from `texel(x, y)` (8 bits a channel, no mip-maps).
inline irr::video::ITexture* taTestPicture(irr::video::IVideoDriver* driver, const char* name, irr::u32 w, irr::u32 h,
                                           const std::function<irr::video::SColor(irr::u32, irr::u32)>& texel)
{
    irr::video::IImage* image = driver->createImage(irr::video::ECF_A8R8G8B8, irr::core::dimension2du(w, h));
    for (irr::u32 y = 0; y < h; ++y)
        for (irr::u32 x = 0; x < w; ++x)
            image->setPixel(x, y, texel(x, y));
    const bool mipMaps = driver->getTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS);
    driver->setTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS, false);
    irr::video::ITexture* texture = driver->addTexture(name, image);
    driver->setTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS, mipMaps);
    image->drop();
    return texture;
}

// Draws the target's size of texels from `texel(x, y)` into it (8 bits a channel; y counts rows from
// the first in memory, the bottom one, as taTestTexels gives them back: a picture's top row lands at
// the top of the target). The picture, named `name`, is removed again. False when the target could
// not be drawn into.
inline bool taTestPaint(irr::video::IVideoDriver* driver, CTaRenderServices* services, irr::video::ITexture* target,
                        const char* name, const std::function<irr::video::SColor(irr::u32, irr::u32)>& texel)
{
    const irr::core::dimension2du size = target->getSize();
    irr::video::ITexture* picture = taTestPicture(driver, name, size.Width, size.Height, [&](irr::u32 x, irr::u32 y) {
        return texel(x, size.Height - 1 - y);
    });
    const bool bound = driver->setRenderTarget(target, false, false);
    if (bound)
        services->copyTexture(picture);
    driver->removeTexture(picture);
    driver->setRenderTarget(irr::video::ERT_FRAME_BUFFER, false, false);
    return bound;
}

// A float render target cleared to `clear`.
inline irr::video::ITexture* taTestFloatTarget(irr::video::IVideoDriver* driver, const char* name, irr::u32 w, irr::u32 h,
                                               irr::video::SColor clear = irr::video::SColor(0, 0, 0, 0))
{
    irr::video::ITexture* target =
        driver->addRenderTargetTexture(irr::core::dimension2du(w, h), name, irr::video::ECF_A32B32G32R32F);
    if (target) {
        driver->setRenderTarget(target, true, true, clear);
        driver->setRenderTarget(irr::video::ERT_FRAME_BUFFER, false, false);
    }
    return target;
}

// The target's texels as RGBA floats, rows from the first one in memory.
inline std::vector<float> taTestTexels(irr::video::IVideoDriver* driver, irr::video::ITexture* texture)
{
    const irr::core::dimension2du size = texture->getSize();
    driver->setRenderTarget(texture, false, false);
    std::vector<float> out(size_t(size.Width) * size.Height * 4);
    glReadPixels(0, 0, GLsizei(size.Width), GLsizei(size.Height), GL_RGBA, GL_FLOAT, out.data());
    driver->setRenderTarget(irr::video::ERT_FRAME_BUFFER, false, false);
    return out;
}
