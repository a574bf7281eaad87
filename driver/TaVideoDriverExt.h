// ITaVideoDriverExt: the render states and driver facilities the Irrlicht driver does not expose.
#pragma once

#include "driver/TaShaderTranslator.h"
#include "driver/TaTexture.h"

#include <irrlicht.h>

#include <string>
#include <vector>

// A translated vertex and pixel shader pair with the reflection of both stages: what a shader
// material type is made from.
struct STaShaderProgramDesc {
    std::string name; // named in messages (the pixel shader's file)
    std::string vertexCode, pixelCode;
    std::vector<STaShaderConstant> vertexConstants, pixelConstants;
    std::vector<STaShaderSampler> vertexSamplers, pixelSamplers;
};

// Value mappings shared by every back end (anything else maps to "no valid state", which the
// back ends ignore):
//   blend factors: Irrlicht's order 0..10 (zero ... source alpha saturate), plus 200 = the constant
//                  blend factor;
//   blend operations: 1 add, 2 subtract, 3 reverse subtract, 4/6/8 minimum, 5/7/9 maximum;
//   stencil operations: 1..8 keep, zero, replace, increment-saturate, decrement-saturate, invert,
//                  increment, decrement;
//   comparisons: 0 always, 1 less-equal, 2 equal, 3 less, 4 not-equal, 5 greater-equal, 6 greater,
//                7 always, 8 never.
constexpr int TA_BLEND_CONSTANT_FACTOR = 200;

// The constants of one shader material type, found by name once and set by handle at every draw
// (the effects' per-draw upload). Handles stay valid when the material type's program is relinked.
class ITaShaderConstants
{
public:
    virtual ~ITaShaderConstants() = default;
    // A handle for a constant of the vertex or pixel stage by its HLSL name, struct and array
    // members included ("LightParams[2].LightColor", "LightsNum.LightDirsNum"); -1 when the program
    // has no such constant.
    virtual int constantHandle(bool pixelStage, const char* name) = 0;
    // Sets up to `count` floats, whole elements only, converted to the constant's type (ints and
    // bools included); nothing for -1.
    virtual void setConstant(int handle, const irr::f32* values, int count) = 0;
};

class ITaVideoDriverExt
{
public:
    virtual ~ITaVideoDriverExt() = default;

    // Raw render states. They stay set until changed again or restoreState() runs.
    virtual void setSeparateAlphaBlend(bool enable) = 0;
    virtual void setSrcBlendAlpha(int factor) = 0;
    virtual void setAlphaBlend(int operation, int sourceFactor, int destinationFactor) = 0;
    virtual void setBlendFactor(irr::u32 colour) = 0;
    virtual void setDepthBias(float bias, float slopeScale) = 0;
    virtual void setStencil(bool enable) = 0;
    virtual void setStencilPass(int operation) = 0;
    virtual void setStencilFunc(int comparison) = 0;
    // Sets the raw states above again over what a material just set (Irrlicht's blend function
    // resets the alpha factors): the engine's material renderers call it before each draw.
    virtual void reapplyRawStates() = 0;
    // Puts every raw state above back to what Irrlicht's own draws expect, so none of it leaks into
    // them (Irrlicht's state cache does not see these states).
    virtual void restoreState() = 0;

    // Called right before the frame is presented: keeps a copy of it, so that grabFrame() returns
    // what the last presented frame showed (after the swap the back buffer is undefined).
    virtual void keepFrame() = 0;
    // Called right after the frame was presented: waits until the window system has taken it, so
    // that a client drawing faster than the display shows (a virtual display never throttles) does
    // not pile up frames in the server.
    virtual void framePresented() = 0;
    // The kept frame as a new 24-bit RGB image (the caller drops it), or nullptr when there is none.
    virtual irr::video::IImage* grabFrame() = 0;

    // What the renderer needs of the driver and this one lacks: one "Missing %s. Please install
    // this library.\n" line for each missing capability, or "" when nothing is missing.
    virtual std::string checkCapabilities() = 0;

    // Shader material types: the engine's own material renderers, each owning its program, so that
    // a reload relinks in place under the same material type. The callback is grabbed; its
    // OnSetConstants sets constants by their HLSL names. -1 (add) or false (replace) with `error`
    // saying why; a failed replace keeps the old program.
    virtual irr::s32 addShaderMaterial(const STaShaderProgramDesc& program,
                                       irr::video::IShaderConstantSetCallBack* callback,
                                       irr::video::E_MATERIAL_TYPE baseMaterial, irr::s32 userData,
                                       std::string& error) = 0;
    virtual bool replaceShaderMaterial(irr::s32 materialType, const STaShaderProgramDesc& program,
                                       std::string& error) = 0;
    // The constants of a shader material type as the program has them, one line each in `text`
    // ("Name='%s' RegisterIndex=%d RegisterCount=%d\n", the index being the uniform location) under
    // "Vertex Shader Constants\n" and "Pixel Shader Constants\n"; false when the driver keeps none.
    virtual bool describeShaderMaterial(irr::s32 materialType, std::string& text) = 0;
    // The constants of a shader material type, or nullptr when the driver sets none (the null
    // driver) or the type is not a shader material.
    virtual ITaShaderConstants* shaderConstants(irr::s32 materialType) = 0;

    // --- Textures Irrlicht's driver cannot make ---
    // Engine textures are kept in the extension's own table under their names until the extension
    // goes. findTexture() looks there first, then in the driver's cache (without loading anything).
    virtual irr::video::ITexture* findTexture(const irr::io::path& name) = 0;
    // A cube texture from six images, image d becoming face d (+X, -X, +Y, -Y, +Z, -Z); the faces
    // must be square and of one size. nullptr with `error` for an empty or taken name, a missing
    // image or a size the driver cannot take.
    virtual CTaTexture* addCubeTexture(const irr::io::path& name, irr::video::IImage* const faces[6], bool mipMaps,
                                       std::string& error) = 0;
    // A 2D or volume texture of an engine image (A8R8G8B8 or one of the float formats).
    virtual CTaTexture* addImageTexture(const irr::io::path& name, const STaTextureImage& image, bool mipMaps,
                                        std::string& error) = 0;
    // A texture of a DDS file held in memory: 2D, cube or volume, with the file's mip chain when mip
    // maps are asked for (made when the file has none and the pixels are not compressed), DXT
    // formats uploaded compressed where the driver takes them and decoded otherwise. The file is
    // checked whole before anything is made.
    virtual CTaTexture* addDdsTexture(const irr::io::path& name, const void* data, size_t size, bool mipMaps,
                                      std::string& error) = 0;
    // Largest side the driver takes for a 2D, cube or volume texture.
    virtual irr::u32 maxTextureSize(ETaTextureKind kind) = 0;
    // Binds a texture (an engine texture or one of the driver's) for shaders on a texture unit, in
    // sRGB when asked (8-bit colour only: the driver decodes it to linear values when sampling);
    // nullptr unbinds the unit. Units 0 to 3 belong to Irrlicht's material layers for 2D textures:
    // a 2D texture there is refused (false), as is a texture the driver cannot bind.
    // Must not be called inside a draw: for one of Irrlicht's textures it may draw (see
    // prepareTexture).
    virtual bool bindTexture(irr::u32 unit, irr::video::ITexture* texture, bool srgb) = 0;
    // Makes one of Irrlicht's textures bindable by the engine (and its sRGB copy when asked): the
    // driver learns its GL object through a draw of nothing, so this is done outside draws, when a
    // texture enters an engine material layer. Engine textures need nothing. False when the texture
    // cannot be bound by the engine.
    virtual bool prepareTexture(irr::video::ITexture* texture, bool srgb) = 0;
    // Whether bindTexture would bind the texture without drawing.
    virtual bool texturePrepared(irr::video::ITexture* texture, bool srgb) = 0;

    // A render target of Irrlicht's with a depth-stencil buffer of its own instead of the one it
    // shares with the targets of its size (shadow maps). Made outside draws; nullptr when the driver
    // makes no render targets (the null driver) or refuses.
    virtual irr::video::ITexture* addRenderTargetWithOwnDepth(const irr::core::dimension2du& size,
                                                             const irr::io::path& name,
                                                             irr::video::ECOLOR_FORMAT format) = 0;

    // A render target of Irrlicht's whose depth buffer is a depth-stencil buffer shared by every
    // target of its size made here (the screen-sized targets of the advanced renderer, so that a
    // stencil written while drawing into one is read while drawing into another). Made outside
    // draws; nullptr when the driver refuses (the null driver: Irrlicht's own target).
    virtual irr::video::ITexture* addRenderTargetWithSharedStencil(const irr::core::dimension2du& size,
                                                                  const irr::io::path& name,
                                                                  irr::video::ECOLOR_FORMAT format) = 0;

    // --- Render targets of engine objects (cube maps) ---
    // A 2D render target kept by the driver until removeRenderTarget: Irrlicht's own (in its texture
    // list, found by name) on OpenGL, a record without pixels on the null driver, so that engine
    // objects made of targets also exist headless. nullptr when the driver refuses.
    virtual irr::video::ITexture* addRenderTarget(const irr::core::dimension2du& size, const irr::io::path& name,
                                                 irr::video::ECOLOR_FORMAT format) = 0;
    // A cube texture drawn into face by face: square faces of `side` texels in A8R8G8B8,
    // A16B16G16R16F, R32F or A32B32G32R32F, no mip maps, a depth buffer of its own. Kept by the
    // extension until removeRenderTarget (many may share a name, so findTexture does not see it);
    // nullptr with `error` when the driver refuses.
    virtual CTaTexture* addCubeRenderTarget(const irr::io::path& name, irr::u32 side, irr::video::ECOLOR_FORMAT format,
                                            std::string& error) = 0;
    // Lets go of a target made by addRenderTarget or addCubeRenderTarget (it is deleted once nobody
    // else holds it); nothing for another texture.
    virtual void removeRenderTarget(irr::video::ITexture* texture) = 0;
    // Makes face `face` (0 to 5: +X, -X, +Y, -Y, +Z, -Z) of a cube render target the target of the
    // draws that follow, over the whole face, its colour (and depth) cleared when asked; Irrlicht's
    // own target becomes the back buffer meanwhile, so its 2D draws and getCurrentRenderTargetSize()
    // see the screen's size. nullptr selects the back buffer again: whoever selects a face selects
    // the back buffer before Irrlicht chooses another target. False for another texture or face.
    virtual bool setCubeFaceRenderTarget(CTaTexture* cube, int face, bool clear = false,
                                         irr::video::SColor colour = irr::video::SColor(0)) = 0;

    // Waits for `interval` vertical blanks per presented frame (0: none): false when the driver
    // cannot choose. The engine asks Irrlicht for no vsync and sets it here: Irrlicht 1.8 uses
    // glXSwapIntervalSGI, which a direct context's X server refuses (GLXBadContextTag).
    virtual bool setSwapInterval(int interval) = 0;

    // Window operations beyond Irrlicht's own; false when the driver has no window.
    virtual bool moveWindow(int x, int y) = 0;
    virtual bool hideWindow() = 0;
    virtual bool showWindow() = 0;
};

// The extension for the device's driver: the OpenGL one, or the null one for any other driver.
ITaVideoDriverExt* taCreateVideoDriverExt(irr::IrrlichtDevice* device);
