// CTaGLVideoDriverExt: the video-driver extension of Irrlicht's OpenGL driver.
#pragma once

#include "driver/TaVideoDriverExt.h"

#include <map>
#include <vector>

// Sets the render states Irrlicht 1.8 does not expose directly with GL calls, keeps the presented
// frame readable in a frame buffer object of its own, and reaches the X11 window for the window
// operations. Every GL binding it changes for its own work is put back before it returns.
// "No such state" for the mappings below (GL_ZERO itself is 0, a valid blend factor and stencil
// operation).
constexpr unsigned TA_GL_NO_STATE = 0xFFFFFFFFu;

class CTaGLVideoDriverExt : public ITaVideoDriverExt
{
public:
    explicit CTaGLVideoDriverExt(irr::IrrlichtDevice* device);
    ~CTaGLVideoDriverExt() override;

    void setSeparateAlphaBlend(bool enable) override;
    void setSrcBlendAlpha(int factor) override;
    void setAlphaBlend(int operation, int sourceFactor, int destinationFactor) override;
    void setBlendFactor(irr::u32 colour) override;
    void setDepthBias(float bias, float slopeScale) override;
    void setStencil(bool enable) override;
    void setStencilPass(int operation) override;
    void setStencilFunc(int comparison) override;
    void reapplyRawStates() override;
    void restoreState() override;

    void keepFrame() override;
    void framePresented() override;
    irr::video::IImage* grabFrame() override;
    std::string checkCapabilities() override;
    irr::s32 addShaderMaterial(const STaShaderProgramDesc& program, irr::video::IShaderConstantSetCallBack* callback,
                               irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData,
                               std::string& error) override;
    bool replaceShaderMaterial(irr::s32 materialType, const STaShaderProgramDesc& program, std::string& error) override;
    bool describeShaderMaterial(irr::s32 materialType, std::string& text) override;
    ITaShaderConstants* shaderConstants(irr::s32 materialType) override;

    irr::video::ITexture* findTexture(const irr::io::path& name) override;
    CTaTexture* addCubeTexture(const irr::io::path& name, irr::video::IImage* const faces[6], bool mipMaps,
                               std::string& error) override;
    CTaTexture* addImageTexture(const irr::io::path& name, const STaTextureImage& image, bool mipMaps,
                                std::string& error) override;
    CTaTexture* addDdsTexture(const irr::io::path& name, const void* data, size_t size, bool mipMaps,
                              std::string& error) override;
    irr::u32 maxTextureSize(ETaTextureKind kind) override;
    bool bindTexture(irr::u32 unit, irr::video::ITexture* texture, bool srgb) override;
    bool prepareTexture(irr::video::ITexture* texture, bool srgb) override;
    bool texturePrepared(irr::video::ITexture* texture, bool srgb) override;
    // Whether DXT pixels may go to the driver compressed (on when the driver has
    // GL_EXT_texture_compression_s3tc); off, they are decoded first.
    void setCompressedUpload(bool allowed) { m_compressedUpload = allowed; }
    bool compressedUpload() const { return m_compressedUpload; }
    // The GL texture object of one of Irrlicht's OpenGL textures (0 for any other texture).
    unsigned irrlichtTextureName(irr::video::ITexture* texture);

    irr::video::ITexture* addRenderTargetWithSharedStencil(const irr::core::dimension2du& size,
                                                          const irr::io::path& name,
                                                          irr::video::ECOLOR_FORMAT format) override;
    // Irrlicht's target with its depth attachment replaced by `depth` (a depth-stencil renderbuffer);
    // nullptr (the target removed) when the frame buffer is not complete then.
    irr::video::ITexture* attachDepthStencil(irr::video::ITexture* target, unsigned depth);
    irr::video::ITexture* addRenderTargetWithOwnDepth(const irr::core::dimension2du& size, const irr::io::path& name,
                                                     irr::video::ECOLOR_FORMAT format) override;
    irr::video::ITexture* addRenderTarget(const irr::core::dimension2du& size, const irr::io::path& name,
                                         irr::video::ECOLOR_FORMAT format) override;
    CTaTexture* addCubeRenderTarget(const irr::io::path& name, irr::u32 side, irr::video::ECOLOR_FORMAT format,
                                    std::string& error) override;
    void removeRenderTarget(irr::video::ITexture* texture) override;
    bool setCubeFaceRenderTarget(CTaTexture* cube, int face, bool clear, irr::video::SColor colour) override;
    bool setSwapInterval(int interval) override;
    bool moveWindow(int x, int y) override;
    bool hideWindow() override;
    bool showWindow() override;

private:
    void applyAlphaBlend();
    irr::video::IMaterialRenderer* bridgeFor(irr::video::E_MATERIAL_TYPE baseMaterial);
    class CTaGLShaderMaterialRenderer* shaderRenderer(irr::s32 materialType);
    void applyStencil();

    irr::IrrlichtDevice* m_device;
    irr::video::IVideoDriver* m_driver;
    // Raw states as set (GL enums; 0 = not set).
    bool m_separateAlpha = false;
    unsigned m_alphaSource = TA_GL_NO_STATE, m_alphaDestination = TA_GL_NO_STATE, m_alphaEquation = TA_GL_NO_STATE;
    bool m_stencil = false;
    unsigned m_stencilPass = 0x1E00 /* GL_KEEP */, m_stencilFunc = 0x0207 /* GL_ALWAYS */;
    CTaTargetList m_cubeTargets;
    bool m_cubeFaceBound = false;
    // The kept frame.
    unsigned m_frameBuffer = 0, m_colourBuffer = 0;
    int m_frameWidth = 0, m_frameHeight = 0;
    bool m_hasFrame = false;
    // The engine's shader material renderers by material type (the driver holds the references),
    // and the bridge material of Irrlicht's own for each base type.
    std::map<irr::s32, class CTaGLShaderMaterialRenderer*> m_shaderRenderers;
    std::map<int, irr::s32> m_bridges;
    // Engine textures; Irrlicht's textures whose GL names or sRGB copies were asked for (held).
    CTaTextureTable m_textures;
    std::map<irr::video::ITexture*, unsigned> m_irrlichtNames, m_irrlichtSrgb;
    bool m_compressedUpload = false;
    std::vector<unsigned> m_depthBuffers; // the own and shared depth-stencil buffers of render targets
    struct SSharedDepth {
        irr::core::dimension2du size;
        unsigned buffer;
    };
    std::vector<SSharedDepth> m_sharedDepth; // one per size, of addRenderTargetWithSharedStencil
};

// GL values of the engine's blend factor, blend operation, stencil operation and comparison
// numbers; TA_GL_NO_STATE for a number that has none.
unsigned taGLBlendFactor(int factor);
unsigned taGLBlendOperation(int operation);
unsigned taGLStencilOperation(int operation);
unsigned taGLComparison(int comparison);
