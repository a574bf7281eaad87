// Engine textures: what Irrlicht 1.8's driver cannot make (cube and volume textures, float textures
// made from the engine's own images, DDS files with their mip chains and compressed formats), and
// the pixel conversions they are made with.
#pragma once

#include <irrlicht.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

enum ETaTextureKind {
    ETATEXKIND_2D,
    ETATEXKIND_CUBE,
    ETATEXKIND_VOLUME,
};

// A texture the driver extension made. Its driver type is EDT_NULL whatever the back end: Irrlicht's
// OpenGL driver refuses a texture of another driver type in a material layer (with a log line)
// instead of taking it for one of its own, so an engine texture that strays into an SMaterial is
// never misread. The engine binds engine textures itself (ITaVideoDriverExt::bindTexture).
// They keep no pixels on the CPU: lock() gives nullptr.
class CTaTexture : public irr::video::ITexture
{
public:
    CTaTexture(const irr::io::path& name, ETaTextureKind kind, irr::video::ECOLOR_FORMAT format,
               const irr::core::dimension2du& size, irr::u32 depth, irr::u32 levels, const std::string& storage);

    ETaTextureKind getKind() const { return m_kind; }
    irr::u32 getDepth() const { return m_depth; }   // 1 unless a volume
    irr::u32 getLevels() const { return m_levels; } // mip levels held, 1 without mip maps
    // How the pixels are stored, for messages and tools ("A8R8G8B8", "DXT1", "DXT1 decoded", ...).
    const std::string& getStorage() const { return m_storage; }

    void* lock(irr::video::E_TEXTURE_LOCK_MODE, irr::u32) override { return nullptr; }
    void unlock() override {}
    const irr::core::dimension2du& getOriginalSize() const override { return m_size; }
    const irr::core::dimension2du& getSize() const override { return m_size; }
    irr::video::E_DRIVER_TYPE getDriverType() const override { return irr::video::EDT_NULL; }
    irr::video::ECOLOR_FORMAT getColorFormat() const override { return m_format; }
    irr::u32 getPitch() const override;
    bool hasMipMaps() const override { return m_levels > 1; }
    void regenerateMipMapLevels(void*) override {}

private:
    ETaTextureKind m_kind;
    irr::video::ECOLOR_FORMAT m_format;
    irr::core::dimension2du m_size;
    irr::u32 m_depth, m_levels;
    std::string m_storage;
};

// The engine textures of one driver extension by name; each is held (grabbed) until the table goes.
class CTaTextureTable
{
public:
    ~CTaTextureTable() { clear(); }
    CTaTexture* find(const irr::io::path& name) const;
    // Adds a texture; false (and nothing held) when the name is taken.
    bool add(CTaTexture* texture);
    void clear();

private:
    std::map<std::string, CTaTexture*> m_textures;
};

// Render targets an extension keeps for engine objects: each held until removed or the list goes.
class CTaTargetList
{
public:
    ~CTaTargetList();
    // Takes over the caller's reference.
    void add(irr::video::ITexture* texture) { m_targets.push_back(texture); }
    // Drops the list's reference; false when the texture is not in the list.
    bool remove(irr::video::ITexture* texture);
    bool contains(const irr::video::ITexture* texture) const;

private:
    std::vector<irr::video::ITexture*> m_targets;
};

// Pixels of an engine image: one level, tightly packed, rows top to bottom, slices one after
// another. Formats: A8R8G8B8 (Irrlicht's layout: B, G, R, A bytes), R32F, A16B16G16R16F (red first,
// half floats) and A32B32G32R32F (red first).
struct STaTextureImage {
    ETaTextureKind kind = ETATEXKIND_2D; // 2D or volume
    irr::video::ECOLOR_FORMAT format = irr::video::ECF_A8R8G8B8;
    irr::u32 width = 0, height = 0, depth = 1;
    std::vector<uint8_t> bytes;

    // Sizes the image and zeroes its pixels; false (and nothing allocated) when a side is 0, the
    // format is not one of the four, or the size does not fit in `maxBytes`.
    bool allocate(ETaTextureKind kind, irr::video::ECOLOR_FORMAT format, irr::u32 width, irr::u32 height,
                  irr::u32 depth, uint64_t maxBytes = uint64_t(1) << 31);
    irr::u32 bytesPerPixel() const;
    uint8_t* pixel(irr::u32 x, irr::u32 y, irr::u32 z = 0);
};

// Bytes per pixel of the four engine image formats, 0 for any other.
irr::u32 taTextureImageBytesPerPixel(irr::video::ECOLOR_FORMAT format);

// Float to half float, truncating: e = 255 keeps infinity or NaN (top 10 mantissa bits); below
// 2^-24 gives a signed zero, from 2^16 up a signed infinity; denormals are shifted, never rounded.
uint16_t taFloatToHalfTruncate(float value);
float taHalfToFloat(uint16_t half);

// The red channel of an 8-bit image as R32F values in [0, 1] (what a conversion of a colour image to
// a one-channel float format keeps). false when the image is empty or too large.
bool taImageToR32F(irr::video::IImage* image, STaTextureImage& out);

// Registers the engine's DDS reader with the driver's image loaders, so that a 2D ".dds" file opens
// wherever Irrlicht opens pictures (mesh materials, 2D images): its first level, decoded to
// A8R8G8B8. Cube and volume files are refused there; the texture manager loads them whole.
void taAddDdsImageLoader(irr::video::IVideoDriver* driver);

// The texture manager's operations (nodes/TaTextureManager.h has the manager and what each does).
class ITaTextureManager
{
public:
    virtual ~ITaTextureManager() = default;
    // The driver's texture of a file (already loaded, or loaded now), made with or without mip maps;
    // "WARN: Cannot get MipMap mode ..." when it exists made the other way. A ".dds" file is loaded
    // whole (2D, cube or volume, its own mip chain, compressed pixels) as an engine texture.
    virtual irr::video::ITexture* getTexture(const char* file, bool mipMaps) = 0;
    // By an effect parameter's texture type: volume for texture3D, cube (with mip maps) for
    // textureCUBE, a plain texture with mip maps otherwise.
    virtual irr::video::ITexture* getTextureByType(const char* file, int effectTextureType) = 0;
    // A cube texture of the six face files the file names (file + "_cube"), or none.
    virtual irr::video::ITexture* getCubeTexture(const char* file, bool mipMaps) = 0;
    // The cube texture when the file names six face files that all exist, else as getTexture.
    virtual irr::video::ITexture* getTextureOrCube(const char* file, bool mipMaps) = 0;
    // The picture's red channel as an R32F texture (file + "_r32f").
    virtual irr::video::ITexture* getR32FTexture(const char* file) = 0;
    // A volume texture: a ".dds" volume, or an R8G8B8 strip of H slices of H x H side by side.
    virtual irr::video::ITexture* getVolumeTexture(const char* file) = 0;
    virtual irr::video::ITexture* getRandRotTexture() = 0;
    virtual irr::video::ITexture* getRandVecTexture() = 0;
    virtual irr::video::ITexture* getCurlNoiseTexture() = 0;
    // The driver's texture of that name, or one of the generated textures by its name; none else.
    virtual irr::video::ITexture* getNamedTexture(const char* name) = 0;
    // A scratch render target of that size and format, shared by every caller asking the same.
    virtual irr::video::ITexture* getRenderTarget(const irr::core::dimension2du& size,
                                                  irr::video::ECOLOR_FORMAT format) = 0;
    // The mesh's vertices (and normals) as a float texture `width` texels wide, one texel per
    // position (position and normal side by side with normals), in the order of the buffers and
    // their vertices; half floats unless `floatFormat`.
    virtual irr::video::ITexture* createMeshVertexTexture(irr::scene::IMesh* mesh, const char* name,
                                                          bool floatFormat, irr::u32 width, bool withNormals) = 0;
};

// --- Checks every back end makes before it makes an engine texture (false with `error`) ---
struct STaDdsImage;
// A name that is not empty and not taken by an engine texture.
bool taCheckTextureName(const CTaTextureTable& table, const irr::io::path& name, std::string& error);
// Six images, square, of one size within `maxSide`; `side` is their size.
bool taCheckCubeFaces(irr::video::IImage* const faces[6], irr::u32 maxSide, irr::u32& side, std::string& error);
// An image of one of the four formats whose bytes match its size, within `maxSide` (every side).
bool taCheckTextureImage(const STaTextureImage& image, irr::u32 maxSide, std::string& error);
// A DDS file the reader accepts whose sides are within the driver's limits for its kind.
bool taCheckDds(const void* data, size_t size, irr::u32 maxSide, irr::u32 maxVolumeSide, STaDdsImage& dds,
                std::string& error);
// The name of a DDS file's storage ("A8R8G8B8", "DXT1", ...).
const char* taDdsFormatName(int format);
