// CTaNullVideoDriverExt: the video-driver extension of the null driver, which has no pixels.
#pragma once

#include "driver/TaVideoDriverExt.h"

// Every render state is accepted and has no effect (there is nothing to draw on); there is no
// frame to keep or grab and no window to move. Shader material types are real material types
// whose renderer draws nothing, and engine textures are made after the same checks as on OpenGL
// (sizes, formats and mip levels, without pixels), so that effects, renderers and the texture
// manager build exactly as on OpenGL.
class CTaNullVideoDriverExt : public ITaVideoDriverExt
{
public:
    explicit CTaNullVideoDriverExt(irr::video::IVideoDriver* driver = nullptr) : m_driver(driver) {}

    void setSeparateAlphaBlend(bool) override {}
    void setSrcBlendAlpha(int) override {}
    void setAlphaBlend(int, int, int) override {}
    void setBlendFactor(irr::u32) override {}
    void setDepthBias(float, float) override {}
    void setStencil(bool) override {}
    void setStencilPass(int) override {}
    void setStencilFunc(int) override {}
    void reapplyRawStates() override {}
    void restoreState() override {}
    void keepFrame() override {}
    void framePresented() override {}
    irr::video::IImage* grabFrame() override { return nullptr; }
    std::string checkCapabilities() override { return ""; }
    irr::s32 addShaderMaterial(const STaShaderProgramDesc& program, irr::video::IShaderConstantSetCallBack* callback,
                               irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData,
                               std::string& error) override;
    bool replaceShaderMaterial(irr::s32 materialType, const STaShaderProgramDesc& program, std::string& error) override;
    bool describeShaderMaterial(irr::s32, std::string&) override { return false; }
    ITaShaderConstants* shaderConstants(irr::s32) override { return nullptr; }
    irr::video::ITexture* findTexture(const irr::io::path& name) override;
    CTaTexture* addCubeTexture(const irr::io::path& name, irr::video::IImage* const faces[6], bool mipMaps,
                               std::string& error) override;
    CTaTexture* addImageTexture(const irr::io::path& name, const STaTextureImage& image, bool mipMaps,
                                std::string& error) override;
    CTaTexture* addDdsTexture(const irr::io::path& name, const void* data, size_t size, bool mipMaps,
                              std::string& error) override;
    irr::u32 maxTextureSize(ETaTextureKind kind) override;
    bool bindTexture(irr::u32 unit, irr::video::ITexture* texture, bool srgb) override;
    bool prepareTexture(irr::video::ITexture* texture, bool) override { return texture != nullptr; }
    bool texturePrepared(irr::video::ITexture* texture, bool) override { return texture != nullptr; }
    irr::video::ITexture* addRenderTargetWithOwnDepth(const irr::core::dimension2du& size, const irr::io::path& name,
                                                     irr::video::ECOLOR_FORMAT format) override
    {
        return m_driver ? m_driver->addRenderTargetTexture(size, name, format) : nullptr;
    }
    irr::video::ITexture* addRenderTargetWithSharedStencil(const irr::core::dimension2du& size,
                                                          const irr::io::path& name,
                                                          irr::video::ECOLOR_FORMAT format) override
    {
        return m_driver ? m_driver->addRenderTargetTexture(size, name, format) : nullptr;
    }
    irr::video::ITexture* addRenderTarget(const irr::core::dimension2du& size, const irr::io::path& name,
                                         irr::video::ECOLOR_FORMAT format) override;
    CTaTexture* addCubeRenderTarget(const irr::io::path& name, irr::u32 side, irr::video::ECOLOR_FORMAT format,
                                    std::string& error) override;
    void removeRenderTarget(irr::video::ITexture* texture) override { m_targets.remove(texture); }
    bool setCubeFaceRenderTarget(CTaTexture* cube, int face, bool clear, irr::video::SColor colour) override;
    bool setSwapInterval(int) override { return false; }
    bool moveWindow(int, int) override { return false; }
    bool hideWindow() override { return false; }
    bool showWindow() override { return false; }

private:
    CTaTexture* keep(CTaTexture* texture);

    irr::video::IVideoDriver* m_driver;
    CTaTextureTable m_textures;
    CTaTargetList m_targets;
};
