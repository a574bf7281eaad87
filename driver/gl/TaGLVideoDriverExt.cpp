// The OpenGL video-driver extension.
#include "driver/gl/TaGLVideoDriverExt.h"

#include "platform/TaWindow.h"
#include "driver/TaNullVideoDriverExt.h"
#include "driver/gl/TaGLCapabilities.h"
#include "driver/gl/TaGLShaderMaterialRenderer.h"
#include "driver/gl/TaGLTexture.h"
#include "driver/TaDdsReader.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>
#include <GL/glx.h>

#include <cstring>
#include <vector>

using namespace irr;

unsigned taGLBlendFactor(int factor)
{
    static const unsigned factors[] = {GL_ZERO, GL_ONE, GL_DST_COLOR, GL_ONE_MINUS_DST_COLOR, GL_SRC_COLOR,
                                       GL_ONE_MINUS_SRC_COLOR, GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_DST_ALPHA,
                                       GL_ONE_MINUS_DST_ALPHA, GL_SRC_ALPHA_SATURATE};
    if (factor >= 0 && factor <= 10)
        return factors[factor];
    return factor == TA_BLEND_CONSTANT_FACTOR ? GL_CONSTANT_COLOR : TA_GL_NO_STATE;
}

unsigned taGLBlendOperation(int operation)
{
    switch (operation) {
    case 1: return GL_FUNC_ADD;
    case 2: return GL_FUNC_SUBTRACT;
    case 3: return GL_FUNC_REVERSE_SUBTRACT;
    case 4: case 6: case 8: return GL_MIN;
    case 5: case 7: case 9: return GL_MAX;
    default: return TA_GL_NO_STATE;
    }
}

unsigned taGLStencilOperation(int operation)
{
    static const unsigned operations[] = {GL_KEEP, GL_ZERO, GL_REPLACE, GL_INCR, GL_DECR, GL_INVERT, GL_INCR_WRAP,
                                          GL_DECR_WRAP};
    return operation >= 1 && operation <= 8 ? operations[operation - 1] : TA_GL_NO_STATE;
}

unsigned taGLComparison(int comparison)
{
    static const unsigned comparisons[] = {GL_ALWAYS, GL_LEQUAL, GL_EQUAL, GL_LESS, GL_NOTEQUAL, GL_GEQUAL,
                                           GL_GREATER, GL_ALWAYS, GL_NEVER};
    return comparison >= 0 && comparison <= 8 ? comparisons[comparison] : TA_GL_NO_STATE;
}

ITaVideoDriverExt* taCreateVideoDriverExt(IrrlichtDevice* device)
{
    if (device && device->getVideoDriver() && device->getVideoDriver()->getDriverType() == video::EDT_OPENGL)
        return new CTaGLVideoDriverExt(device);
    return new CTaNullVideoDriverExt(device ? device->getVideoDriver() : nullptr);
}

CTaGLVideoDriverExt::CTaGLVideoDriverExt(IrrlichtDevice* device) : m_device(device), m_driver(device->getVideoDriver())
{
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const char* name = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, i));
        if (name && strcmp(name, "GL_EXT_texture_compression_s3tc") == 0)
            m_compressedUpload = true;
    }
    glGetError();
}

CTaGLVideoDriverExt::~CTaGLVideoDriverExt()
{
    if (!m_depthBuffers.empty())
        glDeleteRenderbuffers(static_cast<GLsizei>(m_depthBuffers.size()), m_depthBuffers.data());
    m_textures.clear();
    for (auto& entry : m_irrlichtSrgb)
        if (entry.second)
            glDeleteTextures(1, &entry.second);
    for (auto& entry : m_irrlichtNames)
        entry.first->drop();
    if (m_frameBuffer)
        glDeleteFramebuffers(1, &m_frameBuffer);
    if (m_colourBuffer)
        glDeleteRenderbuffers(1, &m_colourBuffer);
}

// Alpha factors apply only while separate alpha blending is on; off, the alpha channel follows the
// colour factors as Irrlicht set them.
void CTaGLVideoDriverExt::applyAlphaBlend()
{
    GLint sourceRgb = GL_ONE, destinationRgb = GL_ZERO, equationRgb = GL_FUNC_ADD;
    glGetIntegerv(GL_BLEND_SRC_RGB, &sourceRgb);
    glGetIntegerv(GL_BLEND_DST_RGB, &destinationRgb);
    glGetIntegerv(GL_BLEND_EQUATION_RGB, &equationRgb);
    if (m_separateAlpha) {
        glBlendFuncSeparate(sourceRgb, destinationRgb,
                            m_alphaSource != TA_GL_NO_STATE ? GLenum(m_alphaSource) : GLenum(sourceRgb),
                            m_alphaDestination != TA_GL_NO_STATE ? GLenum(m_alphaDestination) : GLenum(destinationRgb));
        glBlendEquationSeparate(equationRgb,
                                m_alphaEquation != TA_GL_NO_STATE ? GLenum(m_alphaEquation) : GLenum(equationRgb));
    } else {
        glBlendFunc(sourceRgb, destinationRgb);
        glBlendEquation(equationRgb);
    }
}

void CTaGLVideoDriverExt::setSeparateAlphaBlend(bool enable)
{
    m_separateAlpha = enable;
    applyAlphaBlend();
}

void CTaGLVideoDriverExt::setSrcBlendAlpha(int factor)
{
    const unsigned value = taGLBlendFactor(factor);
    if (value != TA_GL_NO_STATE) {
        m_alphaSource = value;
        applyAlphaBlend();
    }
}

void CTaGLVideoDriverExt::setAlphaBlend(int operation, int sourceFactor, int destinationFactor)
{
    if (const unsigned value = taGLBlendOperation(operation); value != TA_GL_NO_STATE)
        m_alphaEquation = value;
    if (const unsigned value = taGLBlendFactor(sourceFactor); value != TA_GL_NO_STATE)
        m_alphaSource = value;
    if (const unsigned value = taGLBlendFactor(destinationFactor); value != TA_GL_NO_STATE)
        m_alphaDestination = value;
    applyAlphaBlend();
}

void CTaGLVideoDriverExt::setBlendFactor(u32 colour)
{
    const video::SColor c(colour);
    glBlendColor(c.getRed() / 255.0f, c.getGreen() / 255.0f, c.getBlue() / 255.0f, c.getAlpha() / 255.0f);
}

void CTaGLVideoDriverExt::setDepthBias(float bias, float slopeScale)
{
    if (bias == 0.0f && slopeScale == 0.0f) {
        glDisable(GL_POLYGON_OFFSET_FILL);
        glPolygonOffset(0.0f, 0.0f);
        return;
    }
    // Direct3D's bias is in depth-buffer units of [0, 1]; GL's units are the smallest resolvable
    // step of the 24-bit depth buffer.
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(slopeScale, bias * 16777215.0f);
}

void CTaGLVideoDriverExt::applyStencil()
{
    if (m_stencil)
        glEnable(GL_STENCIL_TEST);
    else
        glDisable(GL_STENCIL_TEST);
    glStencilFunc(m_stencilFunc, m_stencil ? 1 : 0, 0xFFFFFFFFu);
    glStencilOp(GL_KEEP, GL_KEEP, m_stencilPass);
}

void CTaGLVideoDriverExt::setStencil(bool enable)
{
    m_stencil = enable;
    applyStencil();
}

void CTaGLVideoDriverExt::setStencilPass(int operation)
{
    if (const unsigned value = taGLStencilOperation(operation); value != TA_GL_NO_STATE) {
        m_stencilPass = value;
        applyStencil();
    }
}

void CTaGLVideoDriverExt::setStencilFunc(int comparison)
{
    if (const unsigned value = taGLComparison(comparison); value != TA_GL_NO_STATE) {
        m_stencilFunc = value;
        applyStencil();
    }
}

void CTaGLVideoDriverExt::reapplyRawStates()
{
    if (m_separateAlpha)
        applyAlphaBlend();
    if (m_stencil)
        applyStencil();
}

void CTaGLVideoDriverExt::restoreState()
{
    m_separateAlpha = false;
    m_alphaSource = m_alphaDestination = m_alphaEquation = TA_GL_NO_STATE;
    applyAlphaBlend();
    glBlendEquation(GL_FUNC_ADD);
    glBlendColor(0, 0, 0, 0);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(0.0f, 0.0f);
    m_stencil = false;
    m_stencilPass = GL_KEEP;
    m_stencilFunc = GL_ALWAYS;
    applyStencil();
}

void CTaGLVideoDriverExt::keepFrame()
{
    const core::dimension2du size = m_driver->getScreenSize();
    const int width = static_cast<int>(size.Width), height = static_cast<int>(size.Height);
    if (width <= 0 || height <= 0)
        return;
    GLint readBinding = 0, drawBinding = 0, renderbufferBinding = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readBinding);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &drawBinding);
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &renderbufferBinding);
    if (!m_frameBuffer || width != m_frameWidth || height != m_frameHeight) {
        if (!m_frameBuffer)
            glGenFramebuffers(1, &m_frameBuffer);
        if (!m_colourBuffer)
            glGenRenderbuffers(1, &m_colourBuffer);
        glBindRenderbuffer(GL_RENDERBUFFER, m_colourBuffer);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_frameBuffer);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, m_colourBuffer);
        m_frameWidth = width;
        m_frameHeight = height;
    }
    // The presented picture is the window's back buffer (a multisampled one resolves in the blit).
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, m_frameBuffer);
    GLint readBuffer = GL_BACK;
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glReadBuffer(GL_BACK);
    GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBlitFramebuffer(0, 0, width, height, 0, 0, width, height, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    if (scissor)
        glEnable(GL_SCISSOR_TEST);
    glReadBuffer(readBuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readBinding);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, drawBinding);
    glBindRenderbuffer(GL_RENDERBUFFER, renderbufferBinding);
    m_hasFrame = glGetError() == GL_NO_ERROR;
}

void CTaGLVideoDriverExt::framePresented()
{
    const video::SExposedVideoData& data = m_driver->getExposedVideoData();
    taPlatformSyncWindow(data.OpenGLLinux.X11Display);
}

video::IImage* CTaGLVideoDriverExt::grabFrame()
{
    if (!m_hasFrame)
        return nullptr;
    const int width = m_frameWidth, height = m_frameHeight;
    std::vector<unsigned char> pixels(static_cast<size_t>(width) * height * 3);
    GLint readBinding = 0, packAlignment = 4;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readBinding);
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, m_frameBuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, readBinding);
    if (glGetError() != GL_NO_ERROR)
        return nullptr;
    video::IImage* image = m_driver->createImage(video::ECF_R8G8B8, core::dimension2du(width, height));
    if (!image)
        return nullptr;
    // GL rows run bottom-up; the image's top-down. Irrlicht's R8G8B8 holds red first.
    unsigned char* target = static_cast<unsigned char*>(image->lock());
    const size_t pitch = image->getPitch(), row = static_cast<size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        memcpy(target + pitch * y, pixels.data() + row * (height - 1 - y), row);
    image->unlock();
    return image;
}

std::string CTaGLVideoDriverExt::checkCapabilities()
{
    return taGLCapabilityText(reinterpret_cast<const char*>(glGetString(GL_VERSION)),
                              reinterpret_cast<const char*>(glGetString(GL_SHADING_LANGUAGE_VERSION)),
                              reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)));
}

video::IMaterialRenderer* CTaGLVideoDriverExt::bridgeFor(video::E_MATERIAL_TYPE baseMaterial)
{
    auto found = m_bridges.find(baseMaterial);
    if (found == m_bridges.end()) {
        // A GLSL material of Irrlicht's own on the base type: drawing through it sets the base
        // type's render states and binds the material's texture layers the way Irrlicht does.
        static const char* const vertex = "void main() { gl_Position = ftransform(); }";
        static const char* const pixel = "void main() { gl_FragColor = vec4(1.0); }";
        video::IGPUProgrammingServices* gpu = m_driver->getGPUProgrammingServices();
        const s32 type = gpu ? gpu->addHighLevelShaderMaterial(vertex, "main", video::EVST_VS_1_1, pixel, "main",
                                                               video::EPST_PS_1_1, nullptr, baseMaterial, 0)
                             : -1;
        found = m_bridges.emplace(baseMaterial, type).first;
    }
    return found->second >= 0 ? m_driver->getMaterialRenderer(found->second) : nullptr;
}

CTaGLShaderMaterialRenderer* CTaGLVideoDriverExt::shaderRenderer(s32 materialType)
{
    auto found = m_shaderRenderers.find(materialType);
    return found != m_shaderRenderers.end() ? found->second : nullptr;
}

s32 CTaGLVideoDriverExt::addShaderMaterial(const STaShaderProgramDesc& program,
                                           video::IShaderConstantSetCallBack* callback,
                                           video::E_MATERIAL_TYPE baseMaterial, s32 userData, std::string& error)
{
    video::IMaterialRenderer* bridge = bridgeFor(baseMaterial);
    if (!bridge) {
        error = "the driver cannot make GLSL materials";
        return -1;
    }
    auto* renderer = new CTaGLShaderMaterialRenderer(m_driver, this, callback, bridge,
                                                     m_driver->getMaterialRenderer(baseMaterial), userData);
    if (!renderer->link(program, error)) {
        renderer->drop();
        return -1;
    }
    const s32 type = m_driver->addMaterialRenderer(renderer, "TaShader");
    renderer->drop();
    if (type < 0) {
        error = "the driver refused a new material renderer";
        return -1;
    }
    m_shaderRenderers[type] = renderer;
    return type;
}

bool CTaGLVideoDriverExt::replaceShaderMaterial(s32 materialType, const STaShaderProgramDesc& program,
                                                std::string& error)
{
    CTaGLShaderMaterialRenderer* renderer = shaderRenderer(materialType);
    if (!renderer) {
        error = "material type " + std::to_string(materialType) + " is not a shader material";
        return false;
    }
    return renderer->link(program, error);
}

bool CTaGLVideoDriverExt::describeShaderMaterial(s32 materialType, std::string& text)
{
    CTaGLShaderMaterialRenderer* renderer = shaderRenderer(materialType);
    if (!renderer)
        return false;
    text = renderer->describe();
    return true;
}

namespace {
unsigned makeDepthStencil(const core::dimension2du& size)
{
    GLuint depth = 0;
    GLint previous = 0;
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &previous);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, size.Width, size.Height);
    glBindRenderbuffer(GL_RENDERBUFFER, previous);
    return depth;
}
} // namespace

video::ITexture* CTaGLVideoDriverExt::attachDepthStencil(video::ITexture* target, unsigned depth)
{
    // Irrlicht keeps the target's frame buffer to itself; selecting the target binds it.
    if (!m_driver->setRenderTarget(target, false, false)) {
        m_driver->removeTexture(target);
        return nullptr;
    }
    GLint frameBuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &frameBuffer);
    bool ok = frameBuffer != 0;
    if (ok) {
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, 0, 0);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
        ok = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE && glGetError() == GL_NO_ERROR;
    }
    m_driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    if (!ok) {
        m_driver->removeTexture(target);
        return nullptr;
    }
    return target;
}

video::ITexture* CTaGLVideoDriverExt::addRenderTargetWithOwnDepth(const core::dimension2du& size,
                                                                 const io::path& name, video::ECOLOR_FORMAT format)
{
    video::ITexture* target = m_driver->addRenderTargetTexture(size, name, format);
    if (!target)
        return nullptr;
    // Its shared depth attachment is replaced by a depth-stencil buffer of the target's own.
    const unsigned depth = makeDepthStencil(size);
    if (!attachDepthStencil(target, depth)) {
        glDeleteRenderbuffers(1, &depth);
        return nullptr;
    }
    m_depthBuffers.push_back(depth);
    return target;
}

video::ITexture* CTaGLVideoDriverExt::addRenderTargetWithSharedStencil(const core::dimension2du& size,
                                                                      const io::path& name,
                                                                      video::ECOLOR_FORMAT format)
{
    video::ITexture* target = m_driver->addRenderTargetTexture(size, name, format);
    if (!target)
        return nullptr;
    unsigned depth = 0;
    for (const SSharedDepth& shared : m_sharedDepth)
        if (shared.size == size)
            depth = shared.buffer;
    if (!depth) {
        depth = makeDepthStencil(size);
        m_depthBuffers.push_back(depth);
        m_sharedDepth.push_back({size, depth});
    }
    return attachDepthStencil(target, depth);
}

video::ITexture* CTaGLVideoDriverExt::addRenderTarget(const core::dimension2du& size, const io::path& name,
                                                      video::ECOLOR_FORMAT format)
{
    return m_driver->addRenderTargetTexture(size, name, format);
}

CTaTexture* CTaGLVideoDriverExt::addCubeRenderTarget(const io::path& name, u32 side, video::ECOLOR_FORMAT format,
                                                     std::string& error)
{
    CTaGLCubeTarget* cube = taGLMakeCubeTarget(name, side, format, error);
    if (cube)
        m_cubeTargets.add(cube);
    return cube;
}

void CTaGLVideoDriverExt::removeRenderTarget(video::ITexture* texture)
{
    if (!texture)
        return;
    if (m_cubeFaceBound)
        setCubeFaceRenderTarget(nullptr, 0, false, video::SColor(0));
    if (!m_cubeTargets.remove(texture))
        m_driver->removeTexture(texture); // nothing when it is not one of the driver's
}

bool CTaGLVideoDriverExt::setCubeFaceRenderTarget(CTaTexture* cube, int face, bool clear, video::SColor colour)
{
    if (!cube) {
        if (m_cubeFaceBound) {
            glBindFramebuffer(GL_FRAMEBUFFER, 0);
            const core::dimension2du& screen = m_driver->getScreenSize();
            glViewport(0, 0, screen.Width, screen.Height);
            m_cubeFaceBound = false;
        }
        return true;
    }
    auto* target = dynamic_cast<CTaGLCubeTarget*>(cube);
    if (!target || face < 0 || face >= 6 || !m_cubeTargets.contains(cube))
        return false;
    // Irrlicht lets go of its own target first (it binds the back buffer only when it had one).
    m_driver->setRenderTarget(static_cast<video::ITexture*>(nullptr), false, false);
    glBindFramebuffer(GL_FRAMEBUFFER, target->frameBuffer(face));
    glViewport(0, 0, cube->getSize().Width, cube->getSize().Height);
    m_cubeFaceBound = true;
    if (clear) {
        // Irrlicht's cached masks stay true to GL: what is opened for the clear is put back.
        GLboolean colourMask[4], depthMask = GL_TRUE;
        GLint stencilMask = ~0;
        glGetBooleanv(GL_COLOR_WRITEMASK, colourMask);
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
        glGetIntegerv(GL_STENCIL_WRITEMASK, &stencilMask);
        const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
        glDisable(GL_SCISSOR_TEST);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthMask(GL_TRUE);
        glStencilMask(~0u);
        glClearColor(colour.getRed() / 255.0f, colour.getGreen() / 255.0f, colour.getBlue() / 255.0f,
                     colour.getAlpha() / 255.0f);
        glClearDepth(1.0);
        glClearStencil(0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
        glColorMask(colourMask[0], colourMask[1], colourMask[2], colourMask[3]);
        glDepthMask(depthMask);
        glStencilMask(static_cast<GLuint>(stencilMask));
        if (scissor)
            glEnable(GL_SCISSOR_TEST);
    }
    return true;
}

ITaShaderConstants* CTaGLVideoDriverExt::shaderConstants(s32 materialType)
{
    return shaderRenderer(materialType);
}

bool CTaGLVideoDriverExt::setSwapInterval(int interval)
{
    // GLX_EXT_swap_control names the drawable and works for direct and indirect contexts alike;
    // GLX_MESA_swap_control is the current context's. Each is looked up, never assumed (a virtual
    // display offers neither).
    const video::SExposedVideoData& data = m_driver->getExposedVideoData();
    auto* display = static_cast<Display*>(data.OpenGLLinux.X11Display);
    if (!display)
        return false;
    const char* extensions = glXQueryExtensionsString(display, DefaultScreen(display));
    auto has = [extensions](const char* name) {
        if (!extensions)
            return false;
        const size_t length = strlen(name);
        for (const char* at = extensions; (at = strstr(at, name)) != nullptr; at += length)
            if ((at == extensions || at[-1] == ' ') && (at[length] == ' ' || at[length] == 0))
                return true;
        return false;
    };
    if (has("GLX_EXT_swap_control")) {
        auto swapInterval = reinterpret_cast<void (*)(Display*, GLXDrawable, int)>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalEXT")));
        GLXDrawable drawable = glXGetCurrentDrawable();
        if (swapInterval && drawable) {
            swapInterval(display, drawable, interval);
            return true;
        }
    }
    if (has("GLX_MESA_swap_control")) {
        auto swapInterval = reinterpret_cast<int (*)(unsigned)>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalMESA")));
        if (swapInterval)
            return swapInterval(static_cast<unsigned>(interval < 0 ? 0 : interval)) == 0;
    }
    // The SGI call goes through the X server with the context's tag: right only for an indirect
    // context, and it cannot turn vsync off.
    GLXContext context = glXGetCurrentContext();
    if (has("GLX_SGI_swap_control") && context && !glXIsDirect(display, context) && interval > 0) {
        auto swapInterval = reinterpret_cast<int (*)(int)>(
            glXGetProcAddressARB(reinterpret_cast<const GLubyte*>("glXSwapIntervalSGI")));
        if (swapInterval)
            return swapInterval(interval) == 0;
    }
    return false;
}

bool CTaGLVideoDriverExt::moveWindow(int x, int y)
{
    const video::SExposedVideoData& data = m_driver->getExposedVideoData();
    return taPlatformMoveWindow(data.OpenGLLinux.X11Display, data.OpenGLLinux.X11Window, x, y);
}

bool CTaGLVideoDriverExt::hideWindow()
{
    const video::SExposedVideoData& data = m_driver->getExposedVideoData();
    return taPlatformHideWindow(data.OpenGLLinux.X11Display, data.OpenGLLinux.X11Window);
}

bool CTaGLVideoDriverExt::showWindow()
{
    const video::SExposedVideoData& data = m_driver->getExposedVideoData();
    return taPlatformShowWindow(data.OpenGLLinux.X11Display, data.OpenGLLinux.X11Window);
}

video::ITexture* CTaGLVideoDriverExt::findTexture(const io::path& name)
{
    if (CTaTexture* own = m_textures.find(name))
        return own;
    return m_driver->findTexture(name);
}

CTaTexture* CTaGLVideoDriverExt::addCubeTexture(const io::path& name, video::IImage* const faces[6], bool mipMaps,
                                                std::string& error)
{
    u32 side = 0;
    if (!taCheckTextureName(m_textures, name, error) || !taCheckCubeFaces(faces, maxTextureSize(ETATEXKIND_CUBE), side, error))
        return nullptr;
    CTaGLTexture* texture = taGLMakeCubeTexture(name, faces, side, mipMaps, error);
    if (texture) {
        m_textures.add(texture);
        texture->drop();
    }
    return texture;
}

CTaTexture* CTaGLVideoDriverExt::addImageTexture(const io::path& name, const STaTextureImage& image, bool mipMaps,
                                                 std::string& error)
{
    if (!taCheckTextureName(m_textures, name, error) || !taCheckTextureImage(image, maxTextureSize(image.kind), error))
        return nullptr;
    CTaGLTexture* texture = taGLMakeImageTexture(name, image, mipMaps, error);
    if (texture) {
        m_textures.add(texture);
        texture->drop();
    }
    return texture;
}

CTaTexture* CTaGLVideoDriverExt::addDdsTexture(const io::path& name, const void* data, size_t size, bool mipMaps,
                                               std::string& error)
{
    STaDdsImage dds;
    if (!taCheckTextureName(m_textures, name, error) ||
        !taCheckDds(data, size, maxTextureSize(ETATEXKIND_2D),
                    maxTextureSize(ETATEXKIND_VOLUME), dds, error))
        return nullptr;
    if (dds.kind == ETADDS_CUBE && (dds.width > maxTextureSize(ETATEXKIND_CUBE))) {
        error = "its faces are beyond the driver's largest cube face (" + std::to_string(maxTextureSize(ETATEXKIND_CUBE)) + ")";
        return nullptr;
    }
    CTaGLTexture* texture = taGLMakeDdsTexture(name, data, size, dds, mipMaps, m_compressedUpload, error);
    if (texture) {
        m_textures.add(texture);
        texture->drop();
    }
    return texture;
}

u32 CTaGLVideoDriverExt::maxTextureSize(ETaTextureKind kind)
{
    GLint value = 0;
    glGetIntegerv(kind == ETATEXKIND_VOLUME ? GL_MAX_3D_TEXTURE_SIZE
                  : kind == ETATEXKIND_CUBE ? GL_MAX_CUBE_MAP_TEXTURE_SIZE
                                        : GL_MAX_TEXTURE_SIZE,
                  &value);
    return value > 0 ? static_cast<u32>(value) : 0;
}

unsigned CTaGLVideoDriverExt::irrlichtTextureName(video::ITexture* texture)
{
    if (!texture || texture->getDriverType() != video::EDT_OPENGL)
        return 0;
    auto found = m_irrlichtNames.find(texture);
    if (found != m_irrlichtNames.end())
        return found->second;
    // Irrlicht keeps the GL name to itself; it binds a material's first layer on unit 0 when it
    // draws, so a triangle of no area (which draws nothing) shows it. Through Irrlicht's own draw,
    // its cache of bindings stays true.
    video::SMaterial material;
    material.Lighting = false;
    material.ZBuffer = video::ECFN_NEVER;
    material.ZWriteEnable = false;
    material.setTexture(0, texture);
    m_driver->setMaterial(material);
    const video::S3DVertex vertices[3];
    const u16 indices[3] = {0, 1, 2};
    m_driver->drawVertexPrimitiveList(vertices, 3, indices, 1, video::EVT_STANDARD, scene::EPT_TRIANGLES,
                                      video::EIT_16BIT);
    GLint active = GL_TEXTURE0, name = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glActiveTexture(GL_TEXTURE0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    glActiveTexture(active);
    if (name <= 0 || !glIsTexture(name))
        return 0;
    texture->grab();
    m_irrlichtNames[texture] = static_cast<unsigned>(name);
    return static_cast<unsigned>(name);
}

bool CTaGLVideoDriverExt::prepareTexture(video::ITexture* texture, bool srgb)
{
    if (!texture)
        return false;
    if (dynamic_cast<CTaGLTexture*>(texture))
        return true;
    const unsigned name = irrlichtTextureName(texture);
    if (name && srgb && texture->getColorFormat() == video::ECF_A8R8G8B8 && !m_irrlichtSrgb.count(texture))
        m_irrlichtSrgb.emplace(texture, taGLMakeSrgbCopy(name, texture->hasMipMaps()));
    return name != 0;
}

bool CTaGLVideoDriverExt::texturePrepared(video::ITexture* texture, bool srgb)
{
    if (!texture)
        return false;
    if (dynamic_cast<CTaGLTexture*>(texture))
        return true;
    if (!m_irrlichtNames.count(texture))
        return false;
    return !srgb || texture->getColorFormat() != video::ECF_A8R8G8B8 || m_irrlichtSrgb.count(texture);
}

bool CTaGLVideoDriverExt::bindTexture(u32 unit, video::ITexture* texture, bool srgb)
{
    GLint units = 0;
    glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &units);
    if (static_cast<GLint>(unit) >= units)
        return false;
    GLenum target = GL_TEXTURE_2D;
    unsigned name = 0;
    if (texture) {
        if (auto* own = dynamic_cast<CTaGLTexture*>(texture)) {
            target = own->target();
            name = own->glName();
            if (srgb)
                if (const unsigned copy = own->srgbName())
                    name = copy;
        } else if (prepareTexture(texture, srgb)) {
            name = m_irrlichtNames[texture];
            auto found = m_irrlichtSrgb.find(texture);
            if (srgb && found != m_irrlichtSrgb.end() && found->second)
                name = found->second;
        }
        if (!name || (target == GL_TEXTURE_2D && unit < 4))
            return false;
    }
    GLint active = GL_TEXTURE0;
    glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
    glActiveTexture(GL_TEXTURE0 + unit);
    if (texture) {
        glBindTexture(target, name);
    } else {
        if (unit >= 4)
            glBindTexture(GL_TEXTURE_2D, 0);
        glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
        glBindTexture(GL_TEXTURE_3D, 0);
    }
    glActiveTexture(active);
    return true;
}
