// The null driver's extension.
#include "driver/TaNullVideoDriverExt.h"

#include "driver/TaDdsReader.h"

#include <algorithm>
#include <map>

using namespace irr;

namespace {

// The built-in types that draw transparent (the null driver's own renderers say none do).
bool isTransparentType(video::E_MATERIAL_TYPE type)
{
    switch (type) {
    case video::EMT_TRANSPARENT_ADD_COLOR:
    case video::EMT_TRANSPARENT_ALPHA_CHANNEL:
    case video::EMT_TRANSPARENT_VERTEX_ALPHA:
    case video::EMT_TRANSPARENT_REFLECTION_2_LAYER:
    case video::EMT_NORMAL_MAP_TRANSPARENT_ADD_COLOR:
    case video::EMT_NORMAL_MAP_TRANSPARENT_VERTEX_ALPHA:
    case video::EMT_PARALLAX_MAP_TRANSPARENT_ADD_COLOR:
    case video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA:
    case video::EMT_ONETEXTURE_BLEND:
        return true;
    default:
        return false;
    }
}

// Draws nothing; keeps the callback and whether the base type is transparent, so the material sorts
// into the passes its base would.
class CTaNullShaderMaterialRenderer : public video::IMaterialRenderer
{
public:
    CTaNullShaderMaterialRenderer(video::IShaderConstantSetCallBack* callback, video::IMaterialRenderer* base,
                                  bool transparent)
        : m_callback(callback), m_base(base), m_transparent(transparent)
    {
        if (m_callback)
            m_callback->grab();
    }
    ~CTaNullShaderMaterialRenderer() override
    {
        if (m_callback)
            m_callback->drop();
    }
    bool isTransparent() const override { return m_transparent || (m_base && m_base->isTransparent()); }

private:
    video::IShaderConstantSetCallBack* m_callback;
    video::IMaterialRenderer* m_base;
    bool m_transparent;
};

} // namespace

s32 CTaNullVideoDriverExt::addShaderMaterial(const STaShaderProgramDesc&, video::IShaderConstantSetCallBack* callback,
                                             video::E_MATERIAL_TYPE baseMaterial, s32, std::string& error)
{
    if (!m_driver) {
        error = "no video driver";
        return -1;
    }
    auto* renderer = new CTaNullShaderMaterialRenderer(callback, m_driver->getMaterialRenderer(baseMaterial),
                                                       isTransparentType(baseMaterial));
    const s32 type = m_driver->addMaterialRenderer(renderer, "TaShader");
    renderer->drop();
    if (type < 0)
        error = "the driver refused a new material renderer";
    return type;
}

bool CTaNullVideoDriverExt::replaceShaderMaterial(s32 materialType, const STaShaderProgramDesc&, std::string& error)
{
    if (!m_driver || !m_driver->getMaterialRenderer(materialType)) {
        error = "no such material type";
        return false;
    }
    return true;
}

// Full mip chain length of a texture whose largest side is `side`.
static u32 fullChain(u32 side)
{
    u32 levels = 1;
    while (side > 1) {
        side >>= 1;
        ++levels;
    }
    return levels;
}

CTaTexture* CTaNullVideoDriverExt::keep(CTaTexture* texture)
{
    m_textures.add(texture);
    texture->drop();
    return texture;
}

video::ITexture* CTaNullVideoDriverExt::findTexture(const io::path& name)
{
    if (CTaTexture* own = m_textures.find(name))
        return own;
    return m_driver ? m_driver->findTexture(name) : nullptr;
}

CTaTexture* CTaNullVideoDriverExt::addCubeTexture(const io::path& name, video::IImage* const faces[6], bool mipMaps,
                                                  std::string& error)
{
    u32 side = 0;
    if (!taCheckTextureName(m_textures, name, error) || !taCheckCubeFaces(faces, maxTextureSize(ETATEXKIND_CUBE), side, error))
        return nullptr;
    return keep(new CTaTexture(name, ETATEXKIND_CUBE, video::ECF_A8R8G8B8, core::dimension2du(side, side), 1,
                               mipMaps ? fullChain(side) : 1, "A8R8G8B8"));
}

CTaTexture* CTaNullVideoDriverExt::addImageTexture(const io::path& name, const STaTextureImage& image, bool mipMaps,
                                                   std::string& error)
{
    if (!taCheckTextureName(m_textures, name, error) || !taCheckTextureImage(image, maxTextureSize(image.kind), error))
        return nullptr;
    const u32 depth = image.kind == ETATEXKIND_VOLUME ? image.depth : 1;
    static const std::map<int, const char*> names = {{video::ECF_A8R8G8B8, "A8R8G8B8"},
                                                     {video::ECF_R32F, "R32F"},
                                                     {video::ECF_A16B16G16R16F, "A16B16G16R16F"},
                                                     {video::ECF_A32B32G32R32F, "A32B32G32R32F"}};
    return keep(new CTaTexture(name, image.kind, image.format, core::dimension2du(image.width, image.height), depth,
                               mipMaps ? fullChain(std::max({image.width, image.height, depth})) : 1,
                               names.at(image.format)));
}

CTaTexture* CTaNullVideoDriverExt::addDdsTexture(const io::path& name, const void* data, size_t size, bool mipMaps,
                                                 std::string& error)
{
    STaDdsImage dds;
    if (!taCheckTextureName(m_textures, name, error) ||
        !taCheckDds(data, size, maxTextureSize(ETATEXKIND_2D), maxTextureSize(ETATEXKIND_VOLUME), dds, error))
        return nullptr;
    const ETaTextureKind kind = dds.kind == ETADDS_CUBE ? ETATEXKIND_CUBE : dds.kind == ETADDS_VOLUME ? ETATEXKIND_VOLUME : ETATEXKIND_2D;
    // As on OpenGL: the file's own levels when mip maps are asked for, a made chain when it has one
    // level (compressed pixels are decoded for it), the first level only otherwise.
    u32 levels = 1;
    if (mipMaps)
        levels = dds.levels > 1 ? dds.levels : fullChain(std::max({dds.width, dds.height, dds.depth}));
    std::string storage = taDdsFormatName(dds.format);
    if (dds.format >= ETADDS_DXT1 && (kind == ETATEXKIND_VOLUME || (mipMaps && dds.levels == 1)))
        storage += " decoded";
    return keep(new CTaTexture(name, kind, video::ECF_A8R8G8B8, core::dimension2du(dds.width, dds.height), dds.depth,
                               levels, storage));
}

u32 CTaNullVideoDriverExt::maxTextureSize(ETaTextureKind kind)
{
    return kind == ETATEXKIND_VOLUME ? kTaDdsMaxDepth : kTaDdsMaxSide;
}

bool CTaNullVideoDriverExt::bindTexture(u32 unit, video::ITexture* texture, bool)
{
    if (!texture)
        return true;
    const CTaTexture* own = dynamic_cast<const CTaTexture*>(texture);
    const bool flat = !own || own->getKind() == ETATEXKIND_2D;
    return !(flat && unit < 4);
}

// --- Render targets: records without pixels ---

namespace {
const char* targetStorage(video::ECOLOR_FORMAT format)
{
    switch (format) {
    case video::ECF_A8R8G8B8: return "A8R8G8B8";
    case video::ECF_A16B16G16R16F: return "A16B16G16R16F";
    case video::ECF_R32F: return "R32F";
    case video::ECF_A32B32G32R32F: return "A32B32G32R32F";
    default: return nullptr;
    }
}
} // namespace

video::ITexture* CTaNullVideoDriverExt::addRenderTarget(const core::dimension2du& size, const io::path& name,
                                                        video::ECOLOR_FORMAT format)
{
    const char* storage = targetStorage(format == video::ECF_UNKNOWN ? video::ECF_A8R8G8B8 : format);
    if (!storage || size.Width == 0 || size.Height == 0 || size.Width > maxTextureSize(ETATEXKIND_2D) ||
        size.Height > maxTextureSize(ETATEXKIND_2D))
        return nullptr;
    auto* target = new CTaTexture(name, ETATEXKIND_2D, format == video::ECF_UNKNOWN ? video::ECF_A8R8G8B8 : format,
                                  size, 1, 1, storage);
    m_targets.add(target);
    return target;
}

CTaTexture* CTaNullVideoDriverExt::addCubeRenderTarget(const io::path& name, u32 side, video::ECOLOR_FORMAT format,
                                                       std::string& error)
{
    const char* storage = targetStorage(format);
    if (!storage) {
        error = "a cube render target is made in A8R8G8B8, A16B16G16R16F, R32F or A32B32G32R32F";
        return nullptr;
    }
    if (side == 0 || side > maxTextureSize(ETATEXKIND_CUBE)) {
        error = "a cube face of " + std::to_string(side) + " texels is beyond what the driver takes (" +
                std::to_string(maxTextureSize(ETATEXKIND_CUBE)) + ")";
        return nullptr;
    }
    auto* cube = new CTaTexture(name, ETATEXKIND_CUBE, format, core::dimension2du(side, side), 1, 1, storage);
    m_targets.add(cube);
    return cube;
}

bool CTaNullVideoDriverExt::setCubeFaceRenderTarget(CTaTexture* cube, int face, bool, video::SColor)
{
    if (!cube)
        return true;
    return m_targets.contains(cube) && cube->getKind() == ETATEXKIND_CUBE && face >= 0 && face < 6;
}
