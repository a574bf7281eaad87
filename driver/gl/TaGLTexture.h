// CTaGLTexture: an engine texture held by a GL texture object.
#pragma once

#include "driver/TaTexture.h"

struct STaDdsImage;

class CTaGLTexture : public CTaTexture
{
public:
    CTaGLTexture(const irr::io::path& name, ETaTextureKind kind, irr::video::ECOLOR_FORMAT format,
                 const irr::core::dimension2du& size, irr::u32 depth, irr::u32 levels, const std::string& storage,
                 unsigned target, unsigned glName, bool colour8);
    ~CTaGLTexture() override;

    unsigned target() const { return m_target; } // GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP or GL_TEXTURE_3D
    unsigned glName() const { return m_glName; }
    // The same pixels in an sRGB format (made on first use, 0 when the pixels are not 8-bit colour or
    // the driver cannot make it).
    unsigned srgbName();

private:
    unsigned m_target, m_glName, m_srgbName = 0;
    bool m_colour8, m_srgbTried = false;
};

// Makers of the GL textures. Each binds only through a guard that puts every binding it touches
// back, and deletes what it made when the driver reports an error (nullptr with `error`).
CTaGLTexture* taGLMakeCubeTexture(const irr::io::path& name, irr::video::IImage* const faces[6], irr::u32 side,
                                  bool mipMaps, std::string& error);
CTaGLTexture* taGLMakeImageTexture(const irr::io::path& name, const STaTextureImage& image, bool mipMaps,
                                   std::string& error);
// `compressedUpload`: DXT pixels go to the driver as they are; otherwise they are decoded first.
CTaGLTexture* taGLMakeDdsTexture(const irr::io::path& name, const void* data, size_t size, const STaDdsImage& dds,
                                 bool mipMaps, bool compressedUpload, std::string& error);
// An sRGB copy of a 2D GL texture of 8-bit colour (one of Irrlicht's): its first level read back and
// uploaded again, with a mip chain when `mipMaps`. 0 when it cannot be made.
unsigned taGLMakeSrgbCopy(unsigned glName, bool mipMaps);

// A cube texture drawn into face by face (environment maps): a frame buffer per face with that face
// attached and one depth-stencil buffer of the face size that the six share. No mip maps.
class CTaGLCubeTarget : public CTaGLTexture
{
public:
    CTaGLCubeTarget(const irr::io::path& name, irr::video::ECOLOR_FORMAT format, irr::u32 side, const std::string& storage,
                    unsigned glName, const unsigned frameBuffers[6], unsigned depth);
    ~CTaGLCubeTarget() override;
    bool isRenderTarget() const override { return true; }
    unsigned frameBuffer(int face) const { return m_frameBuffers[face]; }

private:
    unsigned m_frameBuffers[6];
    unsigned m_depth;
};

// A cube render target of `side` texels in A8R8G8B8, A16B16G16R16F, R32F or A32B32G32R32F; nullptr
// with `error` for another format or when the driver refuses (nothing is left behind).
CTaGLCubeTarget* taGLMakeCubeTarget(const irr::io::path& name, irr::u32 side, irr::video::ECOLOR_FORMAT format,
                                    std::string& error);
