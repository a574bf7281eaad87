// Engine textures, engine images and their conversions, and the DDS image loader.
#include "driver/TaTexture.h"

#include "core/TaLog.h"
#include "driver/TaDdsReader.h"

#include <algorithm>
#include <cstring>
#include <memory>

using namespace irr;

CTaTexture::CTaTexture(const io::path& name, ETaTextureKind kind, video::ECOLOR_FORMAT format,
                       const core::dimension2du& size, u32 depth, u32 levels, const std::string& storage)
    : ITexture(name), m_kind(kind), m_format(format), m_size(size), m_depth(depth ? depth : 1),
      m_levels(levels ? levels : 1), m_storage(storage)
{
}

u32 CTaTexture::getPitch() const
{
    return m_size.Width * (video::IImage::getBitsPerPixelFromFormat(m_format) / 8);
}

CTaTexture* CTaTextureTable::find(const io::path& name) const
{
    auto found = m_textures.find(name.c_str());
    return found != m_textures.end() ? found->second : nullptr;
}

bool CTaTextureTable::add(CTaTexture* texture)
{
    if (!texture || !m_textures.emplace(texture->getName().getPath().c_str(), texture).second)
        return false;
    texture->grab();
    return true;
}

void CTaTextureTable::clear()
{
    for (auto& entry : m_textures)
        entry.second->drop();
    m_textures.clear();
}

u32 taTextureImageBytesPerPixel(video::ECOLOR_FORMAT format)
{
    switch (format) {
    case video::ECF_A8R8G8B8: return 4;
    case video::ECF_R32F: return 4;
    case video::ECF_A16B16G16R16F: return 8;
    case video::ECF_A32B32G32R32F: return 16;
    default: return 0;
    }
}

bool STaTextureImage::allocate(ETaTextureKind newKind, video::ECOLOR_FORMAT newFormat, u32 newWidth, u32 newHeight,
                               u32 newDepth, uint64_t maxBytes)
{
    const u32 pixelBytes = taTextureImageBytesPerPixel(newFormat);
    if (!pixelBytes || !newWidth || !newHeight || !newDepth)
        return false;
    // Each factor is below 2^32 and the cap below 2^63: test before each multiplication.
    uint64_t total = uint64_t(newWidth) * newHeight;
    if (total > maxBytes / newDepth)
        return false;
    total *= newDepth;
    if (total > maxBytes / pixelBytes)
        return false;
    total *= pixelBytes;
    bytes.assign(static_cast<size_t>(total), 0);
    kind = newKind;
    format = newFormat;
    width = newWidth;
    height = newHeight;
    depth = newDepth;
    return true;
}

u32 STaTextureImage::bytesPerPixel() const
{
    return taTextureImageBytesPerPixel(format);
}

uint8_t* STaTextureImage::pixel(u32 x, u32 y, u32 z)
{
    return bytes.data() + ((size_t(z) * height + y) * width + x) * bytesPerPixel();
}

uint16_t taFloatToHalfTruncate(float value)
{
    uint32_t bits;
    memcpy(&bits, &value, 4);
    const uint32_t sign = (bits >> 16) & 0x8000u, exponent = (bits >> 23) & 0xFFu, mantissa = bits & 0x7FFFFFu;
    if (exponent == 255) {
        uint32_t top = mantissa >> 13;
        // A NaN whose payload lies only in the low bits would come out as infinity: keep it a NaN.
        if (mantissa && !top)
            top = 0x200;
        return static_cast<uint16_t>(sign | 0x7C00u | top);
    }
    if (exponent < 102)
        return static_cast<uint16_t>(sign);
    if (exponent > 142)
        return static_cast<uint16_t>(sign | 0x7C00u);
    if (exponent >= 113)
        return static_cast<uint16_t>(sign | ((exponent - 112) << 10) | (mantissa >> 13));
    return static_cast<uint16_t>(sign | (((mantissa | 0x800000u) >> (113 - exponent)) >> 13));
}

float taHalfToFloat(uint16_t half)
{
    const uint32_t sign = uint32_t(half & 0x8000u) << 16, exponent = (half >> 10) & 0x1Fu, mantissa = half & 0x3FFu;
    uint32_t bits;
    if (exponent == 31) {
        bits = sign | 0x7F800000u | (mantissa << 13);
    } else if (exponent) {
        bits = sign | ((exponent + 112) << 23) | (mantissa << 13);
    } else if (mantissa) {
        // A denormal: value = mantissa * 2^-24.
        float value = float(mantissa) / 16777216.0f;
        return sign ? -value : value;
    } else {
        bits = sign;
    }
    float value;
    memcpy(&value, &bits, 4);
    return value;
}

bool taImageToR32F(video::IImage* image, STaTextureImage& out)
{
    if (!image)
        return false;
    const core::dimension2du size = image->getDimension();
    if (!out.allocate(ETATEXKIND_2D, video::ECF_R32F, size.Width, size.Height, 1))
        return false;
    for (u32 y = 0; y < size.Height; ++y)
        for (u32 x = 0; x < size.Width; ++x) {
            const float red = image->getPixel(x, y).getRed() / 255.0f;
            memcpy(out.pixel(x, y), &red, 4);
        }
    return true;
}

namespace {

// Largest DDS file the image loader reads into memory.
constexpr long kMaxDdsFileBytes = 1L << 30;

class CTaDdsImageLoader : public video::IImageLoader
{
public:
    explicit CTaDdsImageLoader(video::IVideoDriver* driver) : m_driver(driver) {}

    bool isALoadableFileExtension(const io::path& filename) const override
    {
        return core::hasFileExtension(filename, "dds");
    }

    bool isALoadableFileFormat(io::IReadFile* file) const override
    {
        char magic[4] = {};
        return file && file->read(magic, 4) == 4 && memcmp(magic, "DDS ", 4) == 0;
    }

    video::IImage* loadImage(io::IReadFile* file) const override
    {
        if (!file)
            return nullptr;
        const char* name = file->getFileName().c_str();
        const long size = file->getSize();
        if (size <= 0 || size > kMaxDdsFileBytes) {
            taPrint(ETALOG_ERROR, "DDS file '%s': size %ld is out of range", name, size);
            return nullptr;
        }
        std::vector<uint8_t> bytes(static_cast<size_t>(size));
        file->seek(0);
        if (file->read(bytes.data(), static_cast<u32>(size)) != static_cast<s32>(size)) {
            taPrint(ETALOG_ERROR, "DDS file '%s': cannot read it", name);
            return nullptr;
        }
        STaDdsImage dds;
        std::string error;
        if (!taReadDds(bytes.data(), bytes.size(), dds, error)) {
            taPrint(ETALOG_ERROR, "DDS file '%s': %s", name, error.c_str());
            return nullptr;
        }
        if (dds.kind != ETADDS_2D) {
            taPrint(ETALOG_ERROR, "DDS file '%s' is a %s texture: load it through the texture manager", name,
                    dds.kind == ETADDS_CUBE ? "cube" : "volume");
            return nullptr;
        }
        std::vector<uint8_t> rgba;
        if (!taDecodeDdsSurface(bytes.data(), bytes.size(), dds, dds.surfaces[0], rgba, error)) {
            taPrint(ETALOG_ERROR, "DDS file '%s': %s", name, error.c_str());
            return nullptr;
        }
        video::IImage* image =
            m_driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(dds.width, dds.height));
        if (!image)
            return nullptr;
        auto* target = static_cast<uint8_t*>(image->lock());
        const size_t pitch = image->getPitch();
        for (u32 y = 0; y < dds.height; ++y) {
            const uint8_t* from = rgba.data() + size_t(y) * dds.width * 4;
            uint8_t* to = target + pitch * y;
            for (u32 x = 0; x < dds.width; ++x, from += 4, to += 4) {
                to[0] = from[2];
                to[1] = from[1];
                to[2] = from[0];
                to[3] = from[3];
            }
        }
        image->unlock();
        return image;
    }

private:
    video::IVideoDriver* m_driver;
};

} // namespace

void taAddDdsImageLoader(video::IVideoDriver* driver)
{
    if (!driver)
        return;
    auto* loader = new CTaDdsImageLoader(driver);
    driver->addExternalImageLoader(loader);
    loader->drop();
}

bool taCheckTextureName(const CTaTextureTable& table, const io::path& name, std::string& error)
{
    if (name.empty()) {
        error = "the texture has no name";
        return false;
    }
    if (table.find(name)) {
        error = std::string("a texture named '") + name.c_str() + "' exists already";
        return false;
    }
    return true;
}

bool taCheckCubeFaces(video::IImage* const faces[6], u32 maxSide, u32& side, std::string& error)
{
    if (!faces) {
        error = "no face images";
        return false;
    }
    for (int d = 0; d < 6; ++d) {
        if (!faces[d]) {
            error = "face image " + std::to_string(d) + " is missing";
            return false;
        }
        const core::dimension2du size = faces[d]->getDimension();
        const std::string text = std::to_string(size.Width) + "x" + std::to_string(size.Height);
        if (size.Width != size.Height || !size.Width) {
            error = "face image " + std::to_string(d) + " is " + text + ": cube faces must be square";
            return false;
        }
        if (d == 0)
            side = size.Width;
        else if (size.Width != side) {
            error = "face image " + std::to_string(d) + " is " + text + ", face image 0 is " + std::to_string(side) +
                    "x" + std::to_string(side);
            return false;
        }
        if (size.Width > maxSide) {
            error = "face image " + std::to_string(d) + " is " + text + ", beyond the driver's largest cube face (" +
                    std::to_string(maxSide) + ")";
            return false;
        }
    }
    return true;
}

bool taCheckTextureImage(const STaTextureImage& image, u32 maxSide, std::string& error)
{
    const u32 pixelBytes = taTextureImageBytesPerPixel(image.format);
    if (!pixelBytes) {
        error = "the image format cannot make a texture";
        return false;
    }
    const u32 depth = image.kind == ETATEXKIND_VOLUME ? image.depth : 1;
    if (image.kind == ETATEXKIND_CUBE || !image.width || !image.height || !depth ||
        uint64_t(image.width) * image.height * depth * pixelBytes != image.bytes.size()) {
        error = "the image is empty or its pixels do not match its size";
        return false;
    }
    if (image.width > maxSide || image.height > maxSide || depth > maxSide) {
        error = "the image is " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                (image.kind == ETATEXKIND_VOLUME ? "x" + std::to_string(depth) : std::string()) +
                ", beyond the driver's largest texture (" + std::to_string(maxSide) + ")";
        return false;
    }
    return true;
}

bool taCheckDds(const void* data, size_t size, u32 maxSide, u32 maxVolumeSide, STaDdsImage& dds, std::string& error)
{
    if (!taReadDds(data, size, dds, error))
        return false;
    const u32 limit = dds.kind == ETADDS_VOLUME ? maxVolumeSide : maxSide;
    if (dds.width > limit || dds.height > limit || dds.depth > limit) {
        error = "it is " + std::to_string(dds.width) + "x" + std::to_string(dds.height) +
                (dds.kind == ETADDS_VOLUME ? "x" + std::to_string(dds.depth) : std::string()) +
                ", beyond the driver's largest texture (" + std::to_string(limit) + ")";
        return false;
    }
    return true;
}

const char* taDdsFormatName(int format)
{
    static const char* const names[] = {"A8R8G8B8", "X8R8G8B8", "R8G8B8", "L8", "A8L8", "DXT1", "DXT3", "DXT5"};
    return format >= 0 && format < 8 ? names[format] : "unknown";
}

CTaTargetList::~CTaTargetList()
{
    for (video::ITexture* texture : m_targets)
        texture->drop();
}

bool CTaTargetList::remove(video::ITexture* texture)
{
    auto found = std::find(m_targets.begin(), m_targets.end(), texture);
    if (found == m_targets.end())
        return false;
    m_targets.erase(found);
    texture->drop();
    return true;
}

bool CTaTargetList::contains(const video::ITexture* texture) const
{
    return std::find(m_targets.begin(), m_targets.end(), texture) != m_targets.end();
}
