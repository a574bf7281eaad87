// CTaTextureManager: the engine's door to textures that need more than a plain load of a picture:
// file textures with an explicit mip-map choice, cube textures from six files, volume textures from
// strips, float copies, the generated textures, scratch render targets and mesh vertex textures.
//
// Every texture stays with the driver (Irrlicht's cache, or the driver extension's table for the
// engine textures), under its name: a file's name, the file's name + "_cube" or + "_r32f", a fixed
// name for the generated ones, the caller's for a vertex texture. The manager never deletes one.
//
// The driver's mip-map creation flag: every operation that makes a texture sets it to the wanted
// value while it does and puts the old value back: off for the generated textures, float copies,
// vertex textures and render targets, the caller's choice for file and cube textures, as it stands
// for volume textures.
#pragma once

#include "driver/TaTexture.h"

#include <irrlicht.h>

#include <cstdint>
#include <string>
#include <vector>

class ITaVideoDriverExt;

// The interface (ITaTextureManager) is in driver/TaTexture.h, where the effects that take their
// textures from it see it.
class CTaTextureManager : public ITaTextureManager
{
public:
    CTaTextureManager(irr::IrrlichtDevice* device, ITaVideoDriverExt* driverExt);
    ~CTaTextureManager() override = default;

    irr::video::ITexture* getTexture(const char* file, bool mipMaps) override;
    irr::video::ITexture* getTextureByType(const char* file, int effectTextureType) override;
    irr::video::ITexture* getCubeTexture(const char* file, bool mipMaps) override;
    irr::video::ITexture* getTextureOrCube(const char* file, bool mipMaps) override;
    irr::video::ITexture* getR32FTexture(const char* file) override;
    irr::video::ITexture* getVolumeTexture(const char* file) override;
    irr::video::ITexture* getRandRotTexture() override;
    irr::video::ITexture* getRandVecTexture() override;
    irr::video::ITexture* getCurlNoiseTexture() override;
    irr::video::ITexture* getNamedTexture(const char* name) override;
    irr::video::ITexture* getRenderTarget(const irr::core::dimension2du& size, irr::video::ECOLOR_FORMAT format) override;
    irr::video::ITexture* createMeshVertexTexture(irr::scene::IMesh* mesh, const char* name, bool floatFormat,
                                                  irr::u32 width, bool withNormals) override;

    // Render targets in the cache now.
    size_t renderTargetCount() const { return m_renderTargets.size(); }

private:
    struct SRenderTarget {
        irr::u32 width, height, format;
        irr::video::ITexture* texture;
    };
    irr::video::ITexture* loadFile(const char* file, bool mipMaps);
    void checkMipMaps(irr::video::ITexture* texture, bool mipMaps, const char* file);

    irr::IrrlichtDevice* m_device;
    irr::video::IVideoDriver* m_driver;
    ITaVideoDriverExt* m_driverExt;
    std::vector<SRenderTarget> m_renderTargets; // sorted by width, height, format
};

// --- What the manager is made of, for tools and tests ---

// Whether a file name is the first of six cube face files, and if so the six names: with n the
// index of the last ".", n >= 3, the "." not last, and the character at n - 1 or n - 2 the digit 0;
// the faces are the first n - 2 characters + "0" + d + "." + the extension, d = 0 to 5.
bool taCubeFaceFiles(const std::string& file, std::string faces[6]);

// The generated textures' pixels, as A8R8G8B8 words (x outer, y inner order of the generator; the
// words are stored row by row): "RandRot" 64 x 64, "RandVec" 512 x 512.
std::vector<uint32_t> taRandRotPixels();
std::vector<uint32_t> taRandVecPixels();
// The generated texture of that name as an image (nullptr for another name); the caller drops it.
irr::video::IImage* taCreateGeneratedImage(irr::video::IVideoDriver* driver, const char* name);

// A mesh's vertex texture layout: vertices per row and rows; false when it cannot be made (no
// vertices, width 0, width 1 with normals, or more rows than `maxHeight`).
bool taMeshVertexTextureSize(irr::u32 vertexCount, irr::u32 width, bool withNormals, irr::u32 maxHeight,
                             irr::u32& perRow, irr::u32& height);
// Fills the vertex texture image of a mesh (A16B16G16R16F or A32B32G32R32F, already sized).
void taFillMeshVertexImage(irr::scene::IMesh* mesh, irr::u32 perRow, bool withNormals, STaTextureImage& image);
// Numbers a mesh's vertices: each vertex's colour word becomes its running index over all buffers,
// so that a vertex shader finds its own texel of the mesh's vertex texture.
void taNumberMeshVertices(irr::scene::IMesh* mesh);
