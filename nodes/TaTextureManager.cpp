// The texture manager.
#include "nodes/TaTextureManager.h"

#include "core/TaLog.h"
#include "driver/TaVideoDriverExt.h"
#include "effects/TaEffectDef.h"
#include "files/TaFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace irr;

namespace {

// Sets the driver's mip-map creation flag for the life of the guard, then puts the old value back.
class CMipMapFlag
{
public:
    CMipMapFlag(video::IVideoDriver* driver, bool value)
        : m_driver(driver), m_old(driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS))
    {
        m_driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, value);
    }
    ~CMipMapFlag() { m_driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, m_old); }

private:
    video::IVideoDriver* m_driver;
    bool m_old;
};

bool isDds(const char* file)
{
    const size_t length = strlen(file);
    return length >= 4 && strcasecmp(file + length - 4, ".dds") == 0;
}

// The generator of the random textures: s <- s * 214013 + 2531011 (mod 2^32), each draw the bits
// 16 to 30 of the new state; a fresh one with seed 0 for each texture.
class CRandom
{
public:
    u32 next()
    {
        m_state = m_state * 214013u + 2531011u;
        return (m_state >> 16) & 0x7FFFu;
    }

private:
    u32 m_state = 0;
};

// Irrlicht's float-to-byte colour conversion: the low 8 bits of floor(255 * value + 0.5), so a
// value above 1 wraps (1.5 gives 127).
u32 toByte(float value)
{
    return static_cast<u32>(static_cast<s32>(std::floor(255.0f * value + 0.5f))) & 0xFFu;
}

u32 colourWord(float red, float green, float blue, float alpha)
{
    return toByte(alpha) << 24 | toByte(red) << 16 | toByte(green) << 8 | toByte(blue);
}

video::IImage* imageOf(video::IVideoDriver* driver, const std::vector<u32>& pixels, u32 side)
{
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(side, side));
    if (!image)
        return nullptr;
    auto* target = static_cast<u8*>(image->lock());
    for (u32 y = 0; y < side; ++y)
        memcpy(target + image->getPitch() * y, pixels.data() + size_t(y) * side, side * 4);
    image->unlock();
    return image;
}

u32 vertexCount(scene::IMesh* mesh)
{
    u64 count = 0;
    for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b)
        count += mesh->getMeshBuffer(b)->getVertexCount();
    return count > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<u32>(count);
}

// Vertex k of a buffer (every vertex type starts with the standard vertex's fields).
video::S3DVertex* vertexAt(scene::IMeshBuffer* buffer, u32 k)
{
    return reinterpret_cast<video::S3DVertex*>(static_cast<u8*>(buffer->getVertices()) +
                                               size_t(k) * video::getVertexPitchFromType(buffer->getVertexType()));
}

} // namespace

bool taCubeFaceFiles(const std::string& file, std::string faces[6])
{
    const size_t dot = file.rfind('.');
    if (dot == std::string::npos || dot < 3 || dot + 1 == file.size())
        return false;
    if (file[dot - 1] != '0' && file[dot - 2] != '0')
        return false;
    const std::string base = file.substr(0, dot - 2), extension = file.substr(dot + 1);
    for (int d = 0; d < 6; ++d)
        faces[d] = base + "0" + char('0' + d) + "." + extension;
    return true;
}

std::vector<uint32_t> taRandRotPixels()
{
    const u32 side = 64;
    std::vector<uint32_t> pixels(side * side);
    CRandom random;
    for (u32 x = 0; x < side; ++x)
        for (u32 y = 0; y < side; ++y) {
            const float angle = float(random.next()) * 6.2831855f / 32767.0f;
            pixels[y * side + x] = colourWord(std::cos(angle) * 0.5f + 1.0f, std::sin(angle) * 0.5f + 1.0f, 0.0f, 1.0f);
        }
    return pixels;
}

std::vector<uint32_t> taRandVecPixels()
{
    const u32 side = 512;
    std::vector<uint32_t> pixels(side * side);
    CRandom random;
    for (u32 x = 0; x < side; ++x)
        for (u32 y = 0; y < side; ++y) {
            float a, b, c;
            do {
                a = float(random.next()) / 32767.0f;
                b = float(random.next()) / 32767.0f;
                c = float(random.next()) / 32767.0f;
            } while (a * a + b * b + c * c > 1.0f);
            pixels[y * side + x] = colourWord(a, b, c, 1.0f);
        }
    return pixels;
}

video::IImage* taCreateGeneratedImage(video::IVideoDriver* driver, const char* name)
{
    if (!driver || !name)
        return nullptr;
    if (strcmp(name, "RandRot") == 0)
        return imageOf(driver, taRandRotPixels(), 64);
    if (strcmp(name, "RandVec") == 0)
        return imageOf(driver, taRandVecPixels(), 512);
    return nullptr;
}

bool taMeshVertexTextureSize(u32 vertices, u32 width, bool withNormals, u32 maxHeight, u32& perRow, u32& height)
{
    perRow = withNormals ? width / 2 : width;
    if (!vertices || !perRow)
        return false;
    const u64 rows = (u64(vertices) + perRow - 1) / perRow;
    if (rows > maxHeight)
        return false;
    height = static_cast<u32>(rows);
    return true;
}

void taFillMeshVertexImage(scene::IMesh* mesh, u32 perRow, bool withNormals, STaTextureImage& image)
{
    const bool half = image.format == video::ECF_A16B16G16R16F;
    auto put = [&](u32 x, u32 y, const core::vector3df& value) {
        if (x >= image.width || y >= image.height)
            return;
        u8* texel = image.pixel(x, y);
        const float values[4] = {value.X, value.Y, value.Z, 0.0f};
        for (int c = 0; c < 4; ++c) {
            if (half) {
                const uint16_t word = taFloatToHalfTruncate(values[c]);
                memcpy(texel + c * 2, &word, 2);
            } else {
                memcpy(texel + c * 4, &values[c], 4);
            }
        }
    };
    u64 k = 0;
    for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
        scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
        for (u32 i = 0; i < buffer->getVertexCount(); ++i, ++k) {
            const video::S3DVertex* vertex = vertexAt(buffer, i);
            const u32 row = static_cast<u32>(k / perRow), column = static_cast<u32>(k % perRow);
            if (withNormals) {
                put(column * 2, row, vertex->Pos);
                put(column * 2 + 1, row, vertex->Normal);
            } else {
                put(column, row, vertex->Pos);
            }
        }
    }
}

void taNumberMeshVertices(scene::IMesh* mesh)
{
    if (!mesh)
        return;
    u32 k = 0;
    for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
        scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
        for (u32 i = 0; i < buffer->getVertexCount(); ++i)
            vertexAt(buffer, i)->Color = video::SColor(k++);
        buffer->setDirty(scene::EBT_VERTEX);
    }
}

CTaTextureManager::CTaTextureManager(IrrlichtDevice* device, ITaVideoDriverExt* driverExt)
    : m_device(device), m_driver(device->getVideoDriver()), m_driverExt(driverExt)
{
}

void CTaTextureManager::checkMipMaps(video::ITexture* texture, bool mipMaps, const char* file)
{
    // The null driver's own textures have no levels at all: there is nothing to compare.
    if (!texture || (texture->getDriverType() == video::EDT_NULL && !dynamic_cast<CTaTexture*>(texture)))
        return;
    if (texture->hasMipMaps() != mipMaps)
        taPrint(ETALOG_WARN,
                "WARN: Cannot get MipMap mode %s for texture %s. Same texture is already created in the other mode",
                mipMaps ? "ENABLED" : "DISABLED", file);
}

video::ITexture* CTaTextureManager::loadFile(const char* file, bool mipMaps)
{
    if (video::ITexture* existing = m_driverExt->findTexture(file))
        return existing;
    CMipMapFlag flag(m_driver, mipMaps);
    if (!isDds(file))
        return m_driver->getTexture(file);
    // A DDS file is read whole and made by the driver extension (cube and volume files, the file's
    // own levels, compressed pixels); the reason of a refusal is logged like the driver's own.
    const STaFileBlock block = taReadWholeFile(file);
    if (!block.data) {
        taPrint(ETALOG_ERROR, "Could not open file of texture: %s", file);
        return nullptr;
    }
    std::string error;
    video::ITexture* texture = m_driverExt->addDdsTexture(file, block.data.get(), block.size, mipMaps, error);
    if (!texture)
        taPrint(ETALOG_ERROR, "Could not load texture '%s': %s", file, error.c_str());
    return texture;
}

video::ITexture* CTaTextureManager::getTexture(const char* file, bool mipMaps)
{
    if (!file || !*file)
        return nullptr;
    video::ITexture* texture = loadFile(file, mipMaps);
    checkMipMaps(texture, mipMaps, file);
    return texture;
}

video::ITexture* CTaTextureManager::getTextureByType(const char* file, int effectTextureType)
{
    if (effectTextureType == ETAFX_TYPE_TEXTURE3D)
        return getVolumeTexture(file);
    if (effectTextureType == ETAFX_TYPE_TEXTURECUBE)
        return getCubeTexture(file, true);
    return getTexture(file, true);
}

video::ITexture* CTaTextureManager::getCubeTexture(const char* file, bool mipMaps)
{
    if (!file || !*file)
        return nullptr;
    const std::string name = std::string(file) + "_cube";
    if (video::ITexture* existing = m_driverExt->findTexture(name.c_str()))
        return existing;
    std::string faces[6];
    if (!taCubeFaceFiles(file, faces))
        return nullptr;
    io::IFileSystem* fileSystem = m_device->getFileSystem();
    for (const std::string& face : faces)
        if (!fileSystem->existFile(face.c_str()))
            return nullptr;
    video::IImage* images[6] = {};
    auto dropImages = [&images] {
        for (video::IImage*& image : images)
            if (image) {
                image->drop();
                image = nullptr;
            }
    };
    for (int d = 0; d < 6; ++d)
        if (!(images[d] = m_driver->createImageFromFile(faces[d].c_str()))) {
            dropImages();
            return nullptr;
        }
    video::ITexture* texture;
    std::string error;
    {
        CMipMapFlag flag(m_driver, mipMaps);
        texture = m_driverExt->addCubeTexture(name.c_str(), images, mipMaps, error);
    }
    if (!texture)
        taPrint(ETALOG_ERROR, "Fail to create cube texture for '%s': %s", file, error.c_str());
    checkMipMaps(texture, mipMaps, file);
    dropImages();
    return texture;
}

video::ITexture* CTaTextureManager::getTextureOrCube(const char* file, bool mipMaps)
{
    if (!file || !*file)
        return nullptr;
    std::string faces[6];
    if (taCubeFaceFiles(file, faces)) {
        io::IFileSystem* fileSystem = m_device->getFileSystem();
        if (std::all_of(faces, faces + 6, [fileSystem](const std::string& face) { return fileSystem->existFile(face.c_str()); }))
            return getCubeTexture(file, mipMaps);
    }
    return getTexture(file, mipMaps);
}

video::ITexture* CTaTextureManager::getR32FTexture(const char* file)
{
    if (!file || !*file)
        return nullptr;
    video::IImage* image = m_driver->createImageFromFile(file);
    if (!image)
        return nullptr;
    const std::string name = std::string(file) + "_r32f";
    if (video::ITexture* existing = m_driverExt->findTexture(name.c_str())) {
        image->drop();
        return existing;
    }
    STaTextureImage floats;
    const bool converted = taImageToR32F(image, floats);
    image->drop();
    if (!converted)
        return nullptr;
    CMipMapFlag flag(m_driver, false);
    std::string error;
    video::ITexture* texture = m_driverExt->addImageTexture(name.c_str(), floats, false, error);
    if (!texture)
        taPrint(ETALOG_ERROR, "Fail to create float texture for '%s': %s", file, error.c_str());
    return texture;
}

video::ITexture* CTaTextureManager::getVolumeTexture(const char* file)
{
    if (!file || !*file)
        return nullptr;
    if (auto* existing = dynamic_cast<CTaTexture*>(m_driverExt->findTexture(file)))
        if (existing->getKind() == ETATEXKIND_VOLUME)
            return existing;
    const bool mipMaps = m_driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
    if (isDds(file))
        return loadFile(file, mipMaps);
    video::IImage* strip = m_driver->createImageFromFile(file);
    if (!strip)
        return nullptr;
    const core::dimension2du size = strip->getDimension();
    const u64 side = size.Height;
    if (strip->getColorFormat() != video::ECF_R8G8B8) {
        taPrint(ETALOG_ERROR, "Fail to create 3D tex for '%s': convertion 2D->3D requires R8G8B8 format", file);
        strip->drop();
        return nullptr;
    }
    if (size.Width != side * side) {
        taPrint(ETALOG_ERROR, "Fail to create 3D tex for '%s': 2D image Width != Height x Height", file);
        strip->drop();
        return nullptr;
    }
    // The volume must fit the driver before anything is allocated for it.
    STaTextureImage volume;
    if (side > m_driverExt->maxTextureSize(ETATEXKIND_VOLUME) ||
        !volume.allocate(ETATEXKIND_VOLUME, video::ECF_A8R8G8B8, size.Height, size.Height, size.Height)) {
        taPrint(ETALOG_ERROR, "Fail to create 3D tex for '%s'", file);
        strip->drop();
        return nullptr;
    }
    const u32 h = size.Height;
    const auto* pixels = static_cast<const u8*>(strip->lock());
    const u32 pitch = strip->getPitch();
    for (u32 z = 0; z < h; ++z)
        for (u32 y = 0; y < h; ++y)
            for (u32 x = 0; x < h; ++x) {
                // Irrlicht's R8G8B8 holds red first; the volume is A8R8G8B8 (B, G, R, A bytes).
                const u8* from = pixels + size_t(y) * pitch + (size_t(z) * h + x) * 3;
                u8* to = volume.pixel(x, y, z);
                to[0] = from[2];
                to[1] = from[1];
                to[2] = from[0];
                to[3] = 255;
            }
    strip->unlock();
    strip->drop();
    std::string error;
    video::ITexture* texture = m_driverExt->addImageTexture(file, volume, mipMaps, error);
    if (!texture)
        taPrint(ETALOG_ERROR, "Fail to create 3D tex for '%s'", file);
    return texture;
}

video::ITexture* CTaTextureManager::getRandRotTexture()
{
    if (video::ITexture* existing = m_driverExt->findTexture("RandRot"))
        return existing;
    video::IImage* image = taCreateGeneratedImage(m_driver, "RandRot");
    if (!image)
        return nullptr;
    CMipMapFlag flag(m_driver, false);
    video::ITexture* texture = m_driver->addTexture("RandRot", image);
    image->drop();
    return texture;
}

video::ITexture* CTaTextureManager::getRandVecTexture()
{
    if (video::ITexture* existing = m_driverExt->findTexture("RandVec"))
        return existing;
    video::IImage* image = taCreateGeneratedImage(m_driver, "RandVec");
    if (!image)
        return nullptr;
    CMipMapFlag flag(m_driver, false);
    video::ITexture* texture = m_driver->addTexture("RandVec", image);
    image->drop();
    return texture;
}

video::ITexture* CTaTextureManager::getCurlNoiseTexture()
{
    if (auto* existing = dynamic_cast<CTaTexture*>(m_driverExt->findTexture("CurlNoise3D")))
        if (existing->getKind() == ETATEXKIND_VOLUME)
            return existing;
    // The curl-noise volume is made by the particle emitters' noise, which this build does not have.
    taPrint(ETALOG_ERROR, "Failed to get Curl noise image");
    taPrint(ETALOG_INFO, "The curl-noise volume comes with the particle emitters, which are not part of this build yet");
    return nullptr;
}

video::ITexture* CTaTextureManager::getNamedTexture(const char* name)
{
    if (!name || !*name)
        return nullptr;
    if (video::ITexture* existing = m_driverExt->findTexture(name))
        return existing;
    if (strcmp(name, "RandRot") == 0)
        return getRandRotTexture();
    if (strcmp(name, "RandVec") == 0)
        return getRandVecTexture();
    if (strcmp(name, "CurlNoise3D") == 0)
        return getCurlNoiseTexture();
    return nullptr;
}

video::ITexture* CTaTextureManager::getRenderTarget(const core::dimension2du& size, video::ECOLOR_FORMAT format)
{
    const SRenderTarget key = {size.Width, size.Height, static_cast<u32>(format), nullptr};
    auto before = [](const SRenderTarget& a, const SRenderTarget& b) {
        if (a.width != b.width)
            return a.width < b.width;
        if (a.height != b.height)
            return a.height < b.height;
        return a.format < b.format;
    };
    auto found = std::lower_bound(m_renderTargets.begin(), m_renderTargets.end(), key, before);
    if (found != m_renderTargets.end() && !before(key, *found))
        return found->texture;
    video::ITexture* texture;
    {
        CMipMapFlag flag(m_driver, false);
        texture = m_driver->addRenderTargetTexture(size, "rt", format);
    }
    if (!texture)
        return nullptr;
    m_renderTargets.push_back({size.Width, size.Height, static_cast<u32>(format), texture});
    std::sort(m_renderTargets.begin(), m_renderTargets.end(), before);
    return texture;
}

video::ITexture* CTaTextureManager::createMeshVertexTexture(scene::IMesh* mesh, const char* name, bool floatFormat,
                                                            u32 width, bool withNormals)
{
    if (!mesh || !name || !*name)
        return nullptr;
    if (m_driverExt->findTexture(name)) {
        taPrint(ETALOG_ERROR, "ERROR: Mesh vertex texture '%s' already exist", name);
        return nullptr;
    }
    const u32 vertices = vertexCount(mesh);
    const u32 maxSide = m_driverExt->maxTextureSize(ETATEXKIND_2D);
    u32 perRow = 0, height = 0;
    if (width > maxSide || !taMeshVertexTextureSize(vertices, width, withNormals, maxSide, perRow, height)) {
        taPrint(ETALOG_ERROR, "Mesh vertex texture '%s': %u vertices do not fit a texture %u texels wide%s", name,
                vertices, width, withNormals ? " with normals" : "");
        return nullptr;
    }
    STaTextureImage image;
    if (!image.allocate(ETATEXKIND_2D, floatFormat ? video::ECF_A32B32G32R32F : video::ECF_A16B16G16R16F, width, height, 1))
        return nullptr;
    taFillMeshVertexImage(mesh, perRow, withNormals, image);
    CMipMapFlag flag(m_driver, false);
    std::string error;
    video::ITexture* texture = m_driverExt->addImageTexture(name, image, false, error);
    if (!texture)
        taPrint(ETALOG_ERROR, "Mesh vertex texture '%s': %s", name, error.c_str());
    return texture;
}
