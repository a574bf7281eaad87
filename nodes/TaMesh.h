// CTaMesh: an Irrlicht mesh with what the engine keeps per mesh buffer beyond Irrlicht's own
// vertices and indices (the LightWave point each vertex came from, the second UV set's use).
#pragma once

#include <irrlicht.h>

#include <vector>

// Bits of a buffer's UV2 mask: the texture channels of its surface that read the second UV set.
enum ETaUv2Channel {
    ETAUV2_COLOR = 1u << 0,
    ETAUV2_DIFFUSE = 1u << 1,
    ETAUV2_LUMINOSITY = 1u << 2,
    ETAUV2_SPECULAR = 1u << 3,
    ETAUV2_REFLECTIVITY = 1u << 4,
    ETAUV2_TRANSPARENCY = 1u << 5,
    ETAUV2_NORMAL = 1u << 6,
    ETAUV2_TRANSLUCENCY = 1u << 7,
    ETAUV2_GLOSSINESS = 1u << 8,
};

// What a loader keeps on one mesh buffer.
struct STaMeshBufferExtra {
    // Per vertex, the LightWave point index it was made from (one point may become several
    // vertices). Empty for formats without point numbers.
    std::vector<irr::u32> OriginalVerticesIndices;
    // 1 when the buffer's vertices carry a second UV set (S3DVertex2TCoords::TCoords2), else 0.
    irr::u32 uv2Value = 0;
    // ETaUv2Channel bits: which texture channels read the second UV set.
    irr::u32 uv2Mask = 0;
};

// A static mesh whose buffer i has extras[i] (the vector is as long as the buffer list).
class CTaMesh : public irr::scene::SMesh
{
public:
    std::vector<STaMeshBufferExtra> extras;
};

// The extras of a buffer of `mesh` when it is a CTaMesh, else nullptr.
inline const STaMeshBufferExtra* taMeshBufferExtra(const irr::scene::IMesh* mesh, irr::u32 buffer)
{
    const CTaMesh* own = dynamic_cast<const CTaMesh*>(mesh);
    return own && buffer < own->extras.size() ? &own->extras[buffer] : nullptr;
}
