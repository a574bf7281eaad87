// GL engine textures: cube, volume, float and DDS textures, and sRGB copies.
#include "driver/gl/TaGLTexture.h"

#include "driver/TaDdsReader.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

using namespace irr;

namespace {

// Binds on the last texture unit, which no material layer uses, and puts back the active unit, that
// unit's binding of the target and the pixel store alignments when it goes. Irrlicht's cache of the
// bindings of units 0 to 3 never sees a change.
class CBindGuard
{
public:
    CBindGuard(GLenum target, GLuint texture) : m_target(target)
    {
        glGetIntegerv(GL_ACTIVE_TEXTURE, &m_active);
        GLint units = 16;
        glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &units);
        glActiveTexture(GL_TEXTURE0 + std::max(units, 1) - 1);
        glGetIntegerv(bindingQuery(target), &m_previous);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &m_unpack);
        glGetIntegerv(GL_PACK_ALIGNMENT, &m_pack);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glBindTexture(target, texture);
    }
    ~CBindGuard()
    {
        glBindTexture(m_target, m_previous);
        glPixelStorei(GL_UNPACK_ALIGNMENT, m_unpack);
        glPixelStorei(GL_PACK_ALIGNMENT, m_pack);
        glActiveTexture(m_active);
    }
    static GLenum bindingQuery(GLenum target)
    {
        return target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_BINDING_CUBE_MAP
               : target == GL_TEXTURE_3D     ? GL_TEXTURE_BINDING_3D
                                             : GL_TEXTURE_BINDING_2D;
    }

private:
    GLenum m_target;
    GLint m_active = GL_TEXTURE0, m_previous = 0, m_unpack = 4, m_pack = 4;
};

// Clears errors left by others, so that the ones after belong to the caller.
void clearErrors()
{
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

bool failed(const char* what, std::string& error)
{
    const GLenum code = glGetError();
    if (code == GL_NO_ERROR)
        return false;
    clearErrors();
    char text[96];
    snprintf(text, sizeof text, "the driver refused %s (GL error 0x%04X)", what, code);
    error = text;
    return true;
}

// Sampling parameters of a new texture: linear filtering, mip maps as made, wrapping like Direct3D's
// default (cube faces clamp at their edges).
void setParameters(GLenum target, u32 levels)
{
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, levels > 1 ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_BASE_LEVEL, 0);
    glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels) - 1);
    const GLint wrap = target == GL_TEXTURE_CUBE_MAP ? GL_CLAMP_TO_EDGE : GL_REPEAT;
    glTexParameteri(target, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, wrap);
    glTexParameteri(target, GL_TEXTURE_WRAP_R, wrap);
}

u32 fullChain(u32 side)
{
    u32 levels = 1;
    while (side > 1) {
        side >>= 1;
        ++levels;
    }
    return levels;
}

// How the pixels of one format go to GL.
struct SUpload {
    GLint internal;
    GLenum format, type;
    bool compressed;
    GLint swizzle[4]; // {0} when none
};

SUpload imageUpload(video::ECOLOR_FORMAT format)
{
    switch (format) {
    case video::ECF_R32F: return {GL_R32F, GL_RED, GL_FLOAT, false, {0}};
    case video::ECF_A16B16G16R16F: return {GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, false, {0}};
    case video::ECF_A32B32G32R32F: return {GL_RGBA32F, GL_RGBA, GL_FLOAT, false, {0}};
    default: return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, false, {0}};
    }
}

SUpload ddsUpload(ETaDdsFormat format)
{
    switch (format) {
    case ETADDS_A8R8G8B8: return {GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, false, {0}};
    case ETADDS_X8R8G8B8: return {GL_RGB8, GL_BGRA, GL_UNSIGNED_BYTE, false, {0}};
    case ETADDS_R8G8B8: return {GL_RGB8, GL_BGR, GL_UNSIGNED_BYTE, false, {0}};
    case ETADDS_L8: return {GL_R8, GL_RED, GL_UNSIGNED_BYTE, false, {GL_RED, GL_RED, GL_RED, GL_ONE}};
    case ETADDS_A8L8: return {GL_RG8, GL_RG, GL_UNSIGNED_BYTE, false, {GL_RED, GL_RED, GL_RED, GL_GREEN}};
    case ETADDS_DXT1: return {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 0, 0, true, {0}};
    case ETADDS_DXT3: return {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 0, 0, true, {0}};
    case ETADDS_DXT5: return {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 0, 0, true, {0}};
    }
    return {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, false, {0}};
}

const SUpload kDecoded = {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE, false, {0}};

GLuint newTexture()
{
    GLuint name = 0;
    glGenTextures(1, &name);
    return name;
}

} // namespace

CTaGLTexture::CTaGLTexture(const io::path& name, ETaTextureKind kind, video::ECOLOR_FORMAT format,
                           const core::dimension2du& size, u32 depth, u32 levels, const std::string& storage,
                           unsigned target, unsigned glName, bool colour8)
    : CTaTexture(name, kind, format, size, depth, levels, storage), m_target(target), m_glName(glName),
      m_colour8(colour8)
{
}

CTaGLTexture::~CTaGLTexture()
{
    if (m_glName)
        glDeleteTextures(1, &m_glName);
    if (m_srgbName)
        glDeleteTextures(1, &m_srgbName);
}

unsigned CTaGLTexture::srgbName()
{
    if (m_srgbTried || !m_colour8)
        return m_srgbName;
    m_srgbTried = true;
    // Every level of every face read back as 8-bit RGBA (the driver decodes compressed ones; the
    // swizzled one- and two-channel formats are read as they are stored and spread here) and
    // uploaded again in sRGB.
    clearErrors();
    GLint swizzle[4] = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
    {
        CBindGuard guard(m_target, m_glName);
        glGetTexParameteriv(m_target, GL_TEXTURE_SWIZZLE_RGBA, swizzle);
    }
    const bool luminance = swizzle[0] == GL_RED && swizzle[1] == GL_RED;
    const bool withAlpha = luminance && swizzle[3] == GL_GREEN;
    const GLuint copy = newTexture();
    std::vector<uint8_t> pixels, rgba;
    const int faces = m_target == GL_TEXTURE_CUBE_MAP ? 6 : 1;
    for (u32 level = 0; level < getLevels(); ++level)
        for (int face = 0; face < faces; ++face) {
            const GLenum image = m_target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + face : m_target;
            GLint width = 0, height = 0, depth = 1;
            {
                CBindGuard guard(m_target, m_glName);
                glGetTexLevelParameteriv(image, level, GL_TEXTURE_WIDTH, &width);
                glGetTexLevelParameteriv(image, level, GL_TEXTURE_HEIGHT, &height);
                if (m_target == GL_TEXTURE_3D)
                    glGetTexLevelParameteriv(image, level, GL_TEXTURE_DEPTH, &depth);
                const size_t count = size_t(width) * height * depth;
                const int channels = withAlpha ? 2 : luminance ? 1 : 4;
                pixels.resize(count * channels);
                glGetTexImage(image, level, channels == 1 ? GL_RED : channels == 2 ? GL_RG : GL_RGBA,
                              GL_UNSIGNED_BYTE, pixels.data());
                rgba.resize(count * 4);
                for (size_t i = 0; i < count; ++i) {
                    const uint8_t* from = pixels.data() + i * channels;
                    uint8_t* to = rgba.data() + i * 4;
                    if (channels == 4)
                        memcpy(to, from, 4);
                    else {
                        to[0] = to[1] = to[2] = from[0];
                        to[3] = channels == 2 ? from[1] : 255;
                    }
                }
            }
            CBindGuard guard(m_target, copy);
            if (m_target == GL_TEXTURE_3D)
                glTexImage3D(GL_TEXTURE_3D, level, GL_SRGB8_ALPHA8, width, height, depth, 0, GL_RGBA,
                             GL_UNSIGNED_BYTE, rgba.data());
            else
                glTexImage2D(image, level, GL_SRGB8_ALPHA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
        }
    {
        CBindGuard guard(m_target, copy);
        setParameters(m_target, getLevels());
    }
    std::string error;
    if (failed("an sRGB copy", error)) {
        GLuint doomed = copy;
        glDeleteTextures(1, &doomed);
        return 0;
    }
    m_srgbName = copy;
    return m_srgbName;
}

CTaGLTexture* taGLMakeCubeTexture(const io::path& name, video::IImage* const faces[6], u32 side, bool mipMaps,
                                  std::string& error)
{
    clearErrors();
    GLuint texture = newTexture();
    std::vector<uint8_t> pixels(size_t(side) * side * 4);
    const u32 levels = mipMaps ? fullChain(side) : 1;
    {
        CBindGuard guard(GL_TEXTURE_CUBE_MAP, texture);
        for (int d = 0; d < 6; ++d) {
            faces[d]->copyToScaling(pixels.data(), side, side, video::ECF_A8R8G8B8, side * 4);
            glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + d, 0, GL_RGBA8, side, side, 0, GL_BGRA, GL_UNSIGNED_BYTE,
                         pixels.data());
        }
        setParameters(GL_TEXTURE_CUBE_MAP, levels);
        if (levels > 1)
            glGenerateMipmap(GL_TEXTURE_CUBE_MAP);
    }
    if (failed("the cube texture", error)) {
        glDeleteTextures(1, &texture);
        return nullptr;
    }
    return new CTaGLTexture(name, ETATEXKIND_CUBE, video::ECF_A8R8G8B8, core::dimension2du(side, side), 1, levels,
                            "A8R8G8B8", GL_TEXTURE_CUBE_MAP, texture, true);
}

CTaGLTexture* taGLMakeImageTexture(const io::path& name, const STaTextureImage& image, bool mipMaps,
                                   std::string& error)
{
    clearErrors();
    const bool volume = image.kind == ETATEXKIND_VOLUME;
    const GLenum target = volume ? GL_TEXTURE_3D : GL_TEXTURE_2D;
    const u32 depth = volume ? image.depth : 1;
    const u32 levels = mipMaps ? fullChain(std::max({image.width, image.height, depth})) : 1;
    const SUpload upload = imageUpload(image.format);
    GLuint texture = newTexture();
    {
        CBindGuard guard(target, texture);
        if (volume)
            glTexImage3D(target, 0, upload.internal, image.width, image.height, depth, 0, upload.format, upload.type,
                         image.bytes.data());
        else
            glTexImage2D(target, 0, upload.internal, image.width, image.height, 0, upload.format, upload.type,
                         image.bytes.data());
        setParameters(target, levels);
        if (levels > 1)
            glGenerateMipmap(target);
    }
    if (failed(volume ? "the volume texture" : "the texture", error)) {
        glDeleteTextures(1, &texture);
        return nullptr;
    }
    static const std::pair<video::ECOLOR_FORMAT, const char*> names[] = {
        {video::ECF_R32F, "R32F"}, {video::ECF_A16B16G16R16F, "A16B16G16R16F"}, {video::ECF_A32B32G32R32F, "A32B32G32R32F"}};
    const char* storage = "A8R8G8B8";
    for (const auto& entry : names)
        if (entry.first == image.format)
            storage = entry.second;
    return new CTaGLTexture(name, image.kind, image.format, core::dimension2du(image.width, image.height), depth,
                            levels, storage, target, texture, image.format == video::ECF_A8R8G8B8);
}

CTaGLTexture* taGLMakeDdsTexture(const io::path& name, const void* data, size_t size, const STaDdsImage& dds,
                                 bool mipMaps, bool compressedUpload, std::string& error)
{
    clearErrors();
    const ETaTextureKind kind = dds.kind == ETADDS_CUBE ? ETATEXKIND_CUBE : dds.kind == ETADDS_VOLUME ? ETATEXKIND_VOLUME : ETATEXKIND_2D;
    const GLenum target = kind == ETATEXKIND_CUBE ? GL_TEXTURE_CUBE_MAP : kind == ETATEXKIND_VOLUME ? GL_TEXTURE_3D : GL_TEXTURE_2D;
    SUpload upload = ddsUpload(dds.format);
    // The file's levels when mip maps are asked for, the first level only otherwise, and a made
    // chain when mip maps are asked for and the file has one level. Compressed pixels are decoded
    // where GL cannot take them as they are: without the compressed formats, in a volume (GL has no
    // compressed volumes), and to make a chain (GL cannot render into compressed levels).
    u32 levels = mipMaps ? dds.levels : 1;
    const bool generate = mipMaps && dds.levels == 1;
    const bool decode = upload.compressed && (!compressedUpload || kind == ETATEXKIND_VOLUME || generate);
    if (decode)
        upload = kDecoded;
    const u32 madeLevels = generate ? fullChain(std::max({dds.width, dds.height, dds.depth})) : levels;

    const auto* bytes = static_cast<const uint8_t*>(data);
    std::vector<uint8_t> rgba;
    GLuint texture = newTexture();
    {
        CBindGuard guard(target, texture);
        for (const STaDdsSurface& surface : dds.surfaces) {
            if (static_cast<u32>(surface.level) >= levels)
                continue;
            const GLenum image = kind == ETATEXKIND_CUBE ? GL_TEXTURE_CUBE_MAP_POSITIVE_X + surface.face : target;
            const void* pixels = bytes + surface.offset;
            GLsizei pixelBytes = static_cast<GLsizei>(surface.size);
            if (decode) {
                if (!taDecodeDdsSurface(data, size, dds, surface, rgba, error)) {
                    glDeleteTextures(1, &texture);
                    return nullptr;
                }
                pixels = rgba.data();
            }
            if (upload.compressed)
                glCompressedTexImage2D(image, surface.level, upload.internal, surface.width, surface.height, 0,
                                       pixelBytes, pixels);
            else if (kind == ETATEXKIND_VOLUME)
                glTexImage3D(image, surface.level, upload.internal, surface.width, surface.height, surface.depth, 0,
                             upload.format, upload.type, pixels);
            else
                glTexImage2D(image, surface.level, upload.internal, surface.width, surface.height, 0, upload.format,
                             upload.type, pixels);
        }
        setParameters(target, madeLevels);
        if (upload.swizzle[0])
            glTexParameteriv(target, GL_TEXTURE_SWIZZLE_RGBA, upload.swizzle);
        if (generate && madeLevels > 1)
            glGenerateMipmap(target);
    }
    if (failed("the DDS texture", error)) {
        glDeleteTextures(1, &texture);
        return nullptr;
    }
    std::string storage = taDdsFormatName(dds.format);
    if (decode)
        storage += " decoded";
    return new CTaGLTexture(name, kind, video::ECF_A8R8G8B8, core::dimension2du(dds.width, dds.height), dds.depth,
                            madeLevels, storage, target, texture, true);
}

unsigned taGLMakeSrgbCopy(unsigned glName, bool mipMaps)
{
    clearErrors();
    GLint width = 0, height = 0;
    std::vector<uint8_t> pixels;
    {
        CBindGuard guard(GL_TEXTURE_2D, glName);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        if (width <= 0 || height <= 0)
            return 0;
        pixels.resize(size_t(width) * height * 4);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    }
    GLuint copy = newTexture();
    const u32 levels = mipMaps ? fullChain(std::max(width, height)) : 1;
    {
        CBindGuard guard(GL_TEXTURE_2D, copy);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_SRGB8_ALPHA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        setParameters(GL_TEXTURE_2D, levels);
        if (levels > 1)
            glGenerateMipmap(GL_TEXTURE_2D);
    }
    std::string error;
    if (failed("an sRGB copy", error)) {
        glDeleteTextures(1, &copy);
        return 0;
    }
    return copy;
}

CTaGLCubeTarget::CTaGLCubeTarget(const io::path& name, video::ECOLOR_FORMAT format, u32 side, const std::string& storage,
                                 unsigned glName, const unsigned frameBuffers[6], unsigned depth)
    : CTaGLTexture(name, ETATEXKIND_CUBE, format, core::dimension2du(side, side), 1, 1, storage, GL_TEXTURE_CUBE_MAP,
                   glName, format == video::ECF_A8R8G8B8),
      m_depth(depth)
{
    std::copy(frameBuffers, frameBuffers + 6, m_frameBuffers);
}

CTaGLCubeTarget::~CTaGLCubeTarget()
{
    glDeleteFramebuffers(6, m_frameBuffers);
    glDeleteRenderbuffers(1, &m_depth);
}

CTaGLCubeTarget* taGLMakeCubeTarget(const io::path& name, u32 side, video::ECOLOR_FORMAT format, std::string& error)
{
    const char* storage = format == video::ECF_A8R8G8B8        ? "A8R8G8B8"
                          : format == video::ECF_A16B16G16R16F ? "A16B16G16R16F"
                          : format == video::ECF_R32F          ? "R32F"
                          : format == video::ECF_A32B32G32R32F ? "A32B32G32R32F"
                                                               : nullptr;
    if (!storage) {
        error = "a cube render target is made in A8R8G8B8, A16B16G16R16F, R32F or A32B32G32R32F";
        return nullptr;
    }
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_CUBE_MAP_TEXTURE_SIZE, &maxSide);
    if (side == 0 || side > static_cast<u32>(maxSide)) {
        error = "a cube face of " + std::to_string(side) + " texels is beyond what the driver takes (" +
                std::to_string(maxSide) + ")";
        return nullptr;
    }
    clearErrors();
    const SUpload upload = imageUpload(format);
    GLuint texture = newTexture();
    {
        CBindGuard guard(GL_TEXTURE_CUBE_MAP, texture);
        for (int d = 0; d < 6; ++d)
            glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + d, 0, upload.internal, side, side, 0, upload.format,
                         upload.type, nullptr);
        setParameters(GL_TEXTURE_CUBE_MAP, 1);
    }
    GLint previousBuffer = 0, previousDraw = 0, previousRead = 0;
    glGetIntegerv(GL_RENDERBUFFER_BINDING, &previousBuffer);
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &previousDraw);
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &previousRead);
    GLuint depth = 0, frameBuffers[6] = {};
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, side, side);
    glBindRenderbuffer(GL_RENDERBUFFER, previousBuffer);
    glGenFramebuffers(6, frameBuffers);
    bool complete = true;
    for (int d = 0; d < 6 && complete; ++d) {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, frameBuffers[d]);
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_CUBE_MAP_POSITIVE_X + d, texture, 0);
        glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth);
        complete = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    }
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, previousDraw);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, previousRead);
    if (failed("the cube render target", error) || !complete) {
        if (error.empty())
            error = "the driver cannot draw into a cube face of " + std::string(storage);
        glDeleteFramebuffers(6, frameBuffers);
        glDeleteRenderbuffers(1, &depth);
        glDeleteTextures(1, &texture);
        return nullptr;
    }
    return new CTaGLCubeTarget(name, format, side, storage, texture, frameBuffers, depth);
}
