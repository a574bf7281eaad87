// The LightWave object reader: IFF chunks (big-endian) of LWO2 and LWOB files into a CTaMesh.
//
// Reading happens in two steps. The chunk walk gathers the object as LightWave lists it (points,
// polygons as corner lists, tags, UV maps, surfaces, clips); every index is turned global there
// (point indices count across all layers, polygon indices across all face lists). The build then
// turns each surface's polygons into triangle fans with smoothed normals and UVs.
#include "nodes/TaMeshLoaderLwo.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

using namespace irr;

namespace {

// Caps on the whole object. What the reader allocates grows with the bytes that describe it
// (every count is checked against them first); these bound it for files of any size, far above
// what real objects need.
constexpr size_t kMaxPoints = size_t(16) << 20;
constexpr size_t kMaxCorners = size_t(16) << 20; // point references of all polygons
constexpr size_t kMaxPolygons = size_t(16) << 20;
constexpr size_t kMaxIndices = size_t(48) << 20; // triangle indices of the mesh
// Irrlicht 1.8 mesh buffers index their vertices with 16 bits.
constexpr u32 kMaxBufferVertices = 65535;
// Smoothing by angle compares every pair of polygons at a point. Points in more polygons than
// this (fan centres, poles, or a hostile file's single shared point) are smoothed across all of
// them instead, which keeps the work linear in the number of corners.
constexpr size_t kMaxCompared = 256;
// LightWave's colour for surfaces without COLR.
constexpr f32 kDefaultGrey = 200.0f / 255.0f;
constexpr u32 kNoSurface = 0xFFFFFFFFu;

constexpr u32 chunkId(const char (&name)[5])
{
    return (u32(u8(name[0])) << 24) | (u32(u8(name[1])) << 16) | (u32(u8(name[2])) << 8) | u32(u8(name[3]));
}

// A chunk id for messages: unprintable bytes as '?'.
std::string idText(u32 id)
{
    std::string text(4, '?');
    for (int i = 0; i < 4; ++i) {
        const char c = char((id >> (24 - 8 * i)) & 0xFF);
        if (c >= 0x20 && c < 0x7F)
            text[size_t(i)] = c;
    }
    return text;
}

template <class... A> std::string format(const char* pattern, A... arguments)
{
    char text[256];
    snprintf(text, sizeof(text), pattern, arguments...);
    return text;
}

// A big-endian cursor over a byte range. Reading past the end yields zeros and clears ok(), so a
// caller checks once after a group of reads.
class CTaLwoCursor
{
public:
    CTaLwoCursor(const u8* data, size_t size) : m_data(data), m_size(size) {}

    size_t left() const { return m_size - m_pos; }
    bool ok() const { return m_ok; }

    u32 u8v()
    {
        if (left() < 1)
            return fail();
        return m_data[m_pos++];
    }
    u32 u16v()
    {
        if (left() < 2)
            return fail();
        const u32 value = (u32(m_data[m_pos]) << 8) | m_data[m_pos + 1];
        m_pos += 2;
        return value;
    }
    u32 u32v()
    {
        if (left() < 4)
            return fail();
        const u32 value = (u32(m_data[m_pos]) << 24) | (u32(m_data[m_pos + 1]) << 16) | (u32(m_data[m_pos + 2]) << 8) |
                          m_data[m_pos + 3];
        m_pos += 4;
        return value;
    }
    f32 f32v()
    {
        const u32 bits = u32v();
        f32 value;
        memcpy(&value, &bits, sizeof(value));
        return value;
    }
    // A variable-length index: two bytes, or four when the first is 0xFF (then the low 24 bits).
    u32 vx()
    {
        if (left() >= 1 && m_data[m_pos] == 0xFF)
            return u32v() & 0x00FFFFFFu;
        return u16v();
    }
    // A zero-terminated string padded to an even length. Without its zero it takes the rest and
    // clears ok().
    std::string s0()
    {
        const u8* start = m_data + m_pos;
        const void* zero = memchr(start, 0, left());
        if (!zero) {
            std::string rest(reinterpret_cast<const char*>(start), left());
            m_pos = m_size;
            m_ok = false;
            return rest;
        }
        const size_t length = size_t(static_cast<const u8*>(zero) - start);
        std::string text(reinterpret_cast<const char*>(start), length);
        skip(std::min(left(), (length + 2) & ~size_t(1)));
        return text;
    }
    void skip(size_t count)
    {
        if (count > left()) {
            m_pos = m_size;
            m_ok = false;
            return;
        }
        m_pos += count;
    }
    // The next `count` bytes as a cursor of their own (the caller checked count <= left()).
    CTaLwoCursor take(size_t count)
    {
        count = std::min(count, left());
        CTaLwoCursor inner(m_data + m_pos, count);
        m_pos += count;
        return inner;
    }

private:
    u32 fail()
    {
        m_pos = m_size;
        m_ok = false;
        return 0;
    }

    const u8* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

// Walks sub-chunks (id, 2-byte size, data, pad byte when the size is odd), calling
// visit(id, cursor) for each. False, with `badId`, when one runs past the end of `outer`.
template <class F> bool forEachSubChunk(CTaLwoCursor& outer, u32& badId, F visit)
{
    while (outer.left() >= 6) {
        const u32 id = outer.u32v();
        const size_t length = outer.u16v();
        if (length > outer.left()) {
            badId = id;
            return false;
        }
        CTaLwoCursor inner = outer.take(length);
        if ((length & 1) && outer.left() > 0)
            outer.skip(1);
        visit(id, inner);
    }
    return true;
}

// --- The object as LightWave lists it ------------------------------------------------------

struct STaLwoPolygon {
    u32 first = 0; // into STaLwoObject::corners
    u32 count = 0;
    u32 surface = kNoSurface; // tag index (LWO2) or SRFS index (LWOB)
};

struct STaLwoUv {
    u32 point;
    f32 u, v;
};
struct STaLwoCornerUv {
    u32 point;
    u32 polygon;
    f32 u, v;
};

// A TXUV map: per-point values (VMAP) and per-polygon-corner overrides (VMAD), merged from all
// layers by name.
struct STaLwoUvMap {
    std::string name;
    std::vector<STaLwoUv> points;
    std::vector<STaLwoCornerUv> corners;
};

// A texture layer of a surface (a BLOK).
struct STaLwoLayer {
    u32 channel = 0;
    bool image = false; // IMAP, the only kind with a clip and a UV map
    bool enabled = true;
    bool hasClip = false;
    u32 clip = 0;
    bool uvProjection = true; // PROJ absent or 5 (UV)
    std::string uvMap;
};

enum class ETaLwoSmoothing { All, Angle, Flat };

struct STaLwoSurface {
    std::string name;
    f32 colour[3] = {kDefaultGrey, kDefaultGrey, kDefaultGrey};
    f32 diffuse = 1.0f;
    // As LightWave shows it: a surface without a smoothing angle (SMAN) is faceted.
    ETaLwoSmoothing smoothing = ETaLwoSmoothing::Flat;
    f32 smoothingAngle = 0.0f;
    std::vector<STaLwoLayer> layers;
    std::string image; // LWOB: the colour texture's image name
};

struct STaLwoObject {
    bool lwob = false;
    std::vector<core::vector3df> points;
    std::vector<u32> corners; // global point indices
    std::vector<STaLwoPolygon> polygons;
    std::vector<std::string> tags; // LWO2 TAGS, LWOB SRFS
    std::vector<STaLwoSurface> surfaces;
    std::vector<STaLwoUvMap> uvMaps;
    std::map<std::string, u32> uvMapOfName;
    std::map<u32, std::string> clips;

    // The current layer's first point, and the face list that PTAG and VMAD refer to.
    size_t layerBase = 0;
    size_t faceBase = 0;
    size_t faceCount = 0;

    std::string error;

    size_t layerPoints() const { return points.size() - layerBase; }
    bool fail(const std::string& text)
    {
        if (error.empty())
            error = text;
        return false;
    }
};

f32 finiteOr(f32 value, f32 fallback) { return std::isfinite(value) ? value : fallback; }

// --- Chunks shared by both formats ----------------------------------------------------------

bool readPoints(STaLwoObject& object, CTaLwoCursor& c)
{
    const size_t count = c.left() / 12;
    if (count > kMaxPoints - object.points.size())
        return object.fail("the object has too many points");
    object.points.reserve(object.points.size() + count);
    for (size_t i = 0; i < count; ++i) {
        const f32 x = c.f32v(), y = c.f32v(), z = c.f32v();
        object.points.emplace_back(finiteOr(x, 0), finiteOr(y, 0), finiteOr(z, 0));
    }
    return true;
}

void readNames(std::vector<std::string>& names, CTaLwoCursor& c)
{
    while (c.left() > 0)
        names.push_back(c.s0());
}

bool addPolygon(STaLwoObject& object, STaLwoPolygon polygon)
{
    if (object.polygons.size() >= kMaxPolygons)
        return object.fail("the object has too many polygons");
    object.polygons.push_back(polygon);
    return true;
}

// Checks and stores one corner of polygon `number` (counted within its list).
bool addCorner(STaLwoObject& object, size_t number, u32 point)
{
    if (point >= object.layerPoints())
        return object.fail(format("polygon %zu uses point %u of %zu", number, point, object.layerPoints()));
    if (object.corners.size() >= kMaxCorners)
        return object.fail("the object has too many polygon corners");
    object.corners.push_back(u32(object.layerBase + point));
    return true;
}

// --- LWO2 -----------------------------------------------------------------------------------

bool readPolygons2(STaLwoObject& object, CTaLwoCursor& c)
{
    const u32 type = c.u32v();
    object.faceBase = object.polygons.size();
    object.faceCount = 0;
    // Curves, bones and the like are not drawn; the PTAG and VMAD that follow them refer to them
    // and find no faces.
    if (type != chunkId("FACE") && type != chunkId("PTCH") && type != chunkId("SUBD"))
        return true;
    size_t number = 0;
    while (c.left() >= 2) {
        const u32 count = c.u16v() & 0x03FF; // the top 6 bits are flags
        STaLwoPolygon polygon;
        polygon.first = u32(object.corners.size());
        polygon.count = count;
        for (u32 k = 0; k < count; ++k) {
            const u32 point = c.vx();
            if (!c.ok())
                return object.fail(format("chunk POLS ends inside polygon %zu", number));
            if (!addCorner(object, number, point))
                return false;
        }
        if (!addPolygon(object, polygon))
            return false;
        ++number;
    }
    object.faceCount = object.polygons.size() - object.faceBase;
    return true;
}

void readPolygonTags(STaLwoObject& object, CTaLwoCursor& c)
{
    if (c.u32v() != chunkId("SURF"))
        return; // part, smoothing-group and sketch-colour tags do not matter here
    while (c.left() > 0) {
        const u32 polygon = c.vx();
        const u32 tag = c.u16v();
        if (!c.ok())
            return;
        if (polygon < object.faceCount)
            object.polygons[object.faceBase + polygon].surface = tag;
    }
}

STaLwoUvMap& uvMapNamed(STaLwoObject& object, const std::string& name)
{
    auto found = object.uvMapOfName.find(name);
    if (found != object.uvMapOfName.end())
        return object.uvMaps[found->second];
    object.uvMapOfName.emplace(name, u32(object.uvMaps.size()));
    object.uvMaps.emplace_back();
    object.uvMaps.back().name = name;
    return object.uvMaps.back();
}

// VMAP (perPolygon false) and VMAD: only TXUV maps matter. Entries naming points or polygons the
// layer does not have are ignored; a cut-short last entry ends the map.
void readUvMap(STaLwoObject& object, CTaLwoCursor& c, bool perPolygon)
{
    const u32 type = c.u32v();
    const u32 dimension = c.u16v();
    const std::string name = c.s0();
    if (!c.ok() || type != chunkId("TXUV") || dimension < 2)
        return;
    STaLwoUvMap& map = uvMapNamed(object, name);
    while (c.left() > 0) {
        const u32 point = c.vx();
        const u32 polygon = perPolygon ? c.vx() : 0;
        if (!c.ok() || c.left() < size_t(dimension) * 4)
            return;
        const f32 u = finiteOr(c.f32v(), 0), v = finiteOr(c.f32v(), 0);
        c.skip(size_t(dimension - 2) * 4);
        if (point >= object.layerPoints())
            continue;
        const u32 globalPoint = u32(object.layerBase + point);
        if (!perPolygon)
            map.points.push_back({globalPoint, u, v});
        else if (polygon < object.faceCount)
            map.corners.push_back({globalPoint, u32(object.faceBase + polygon), u, v});
    }
}

void readClip(STaLwoObject& object, CTaLwoCursor& c)
{
    const u32 index = c.u32v();
    u32 badId = 0;
    forEachSubChunk(c, badId, [&](u32 id, CTaLwoCursor& s) {
        if (id == chunkId("STIL") && !object.clips.count(index))
            object.clips[index] = s.s0();
    });
}

// One BLOK: its header (IMAP, PROC, GRAD or SHDR with the ordinal, CHAN and ENAB), then the
// attributes (IMAG, PROJ, VMAP; the rest does not matter here).
bool readTextureLayer(STaLwoSurface& surface, CTaLwoCursor& c, u32& badId)
{
    if (c.left() < 6)
        return true;
    STaLwoLayer layer;
    const u32 kind = c.u32v();
    const size_t headerLength = c.u16v();
    if (headerLength > c.left()) {
        badId = kind;
        return false;
    }
    layer.image = kind == chunkId("IMAP");
    CTaLwoCursor header = c.take(headerLength);
    if ((headerLength & 1) && c.left() > 0)
        c.skip(1);
    header.s0(); // the ordinal: layers apply in file order here
    if (!forEachSubChunk(header, badId, [&](u32 id, CTaLwoCursor& s) {
            if (id == chunkId("CHAN"))
                layer.channel = s.u32v();
            else if (id == chunkId("ENAB"))
                layer.enabled = s.u16v() != 0 || !s.ok();
        }))
        return false;
    if (!forEachSubChunk(c, badId, [&](u32 id, CTaLwoCursor& s) {
            if (id == chunkId("IMAG")) {
                layer.clip = s.vx();
                layer.hasClip = s.ok();
            } else if (id == chunkId("PROJ")) {
                layer.uvProjection = s.u16v() == 5 || !s.ok();
            } else if (id == chunkId("VMAP")) {
                layer.uvMap = s.s0();
            }
        }))
        return false;
    surface.layers.push_back(std::move(layer));
    return true;
}

bool readSurface2(STaLwoObject& object, CTaLwoCursor& c)
{
    STaLwoSurface surface;
    surface.name = c.s0();
    c.s0(); // the surface it was derived from
    u32 badId = 0;
    bool layersOk = true;
    const bool ok = forEachSubChunk(c, badId, [&](u32 id, CTaLwoCursor& s) {
        if (id == chunkId("COLR")) {
            for (f32& channel : surface.colour)
                channel = s.f32v();
        } else if (id == chunkId("DIFF")) {
            surface.diffuse = s.f32v();
        } else if (id == chunkId("SMAN")) {
            surface.smoothingAngle = s.f32v();
            surface.smoothing = ETaLwoSmoothing::Angle;
        } else if (id == chunkId("BLOK") && layersOk) {
            layersOk = readTextureLayer(surface, s, badId);
        }
    });
    if (!ok || !layersOk)
        return object.fail(format("surface \"%.64s\": sub-chunk %s runs past the end of its chunk", surface.name.c_str(),
                                  idText(badId).c_str()));
    object.surfaces.push_back(std::move(surface));
    return true;
}

// --- LWOB -----------------------------------------------------------------------------------

// Polygons: count, u16 points, i16 surface (1-based). A negative surface says detail polygons
// follow, after their count; they are listed like any other polygon, so they are read as such.
bool readPolygonsB(STaLwoObject& object, CTaLwoCursor& c)
{
    size_t number = 0;
    while (c.left() >= 2) {
        const u32 count = c.u16v();
        if (c.left() < size_t(count) * 2 + 2)
            return object.fail(format("chunk POLS ends inside polygon %zu", number));
        STaLwoPolygon polygon;
        polygon.first = u32(object.corners.size());
        polygon.count = count;
        for (u32 k = 0; k < count; ++k)
            if (!addCorner(object, number, c.u16v()))
                return false;
        int surface = int(int16_t(uint16_t(c.u16v())));
        if (surface < 0) {
            surface = -surface;
            c.u16v(); // how many detail polygons follow
        }
        if (surface >= 1)
            polygon.surface = u32(surface - 1);
        if (!addPolygon(object, polygon))
            return false;
        ++number;
    }
    return true;
}

bool readSurfaceB(STaLwoObject& object, CTaLwoCursor& c)
{
    STaLwoSurface surface;
    surface.name = c.s0();
    bool colourTexture = false, smoothFlag = false, hasAngle = false;
    u32 badId = 0;
    const bool ok = forEachSubChunk(c, badId, [&](u32 id, CTaLwoCursor& s) {
        if (id == chunkId("COLR")) {
            for (f32& channel : surface.colour)
                channel = f32(s.u8v()) / 255.0f;
        } else if (id == chunkId("FLAG")) {
            // Bit 2 switches smoothing on; the angle comes from SMAN.
            const u32 flags = s.u16v();
            smoothFlag = s.ok() && (flags & 4);
        } else if (id == chunkId("DIFF")) {
            surface.diffuse = f32(int16_t(uint16_t(s.u16v()))) / 256.0f;
        } else if (id == chunkId("VDIF")) {
            surface.diffuse = s.f32v();
        } else if (id == chunkId("SMAN")) {
            surface.smoothingAngle = s.f32v();
            hasAngle = true;
        } else if ((id & 0x00FFFFFFu) == (chunkId("CTEX") & 0x00FFFFFFu)) {
            // CTEX starts the colour texture; DTEX, STEX, BTEX... start the others.
            colourTexture = id == chunkId("CTEX");
        } else if (id == chunkId("TIMG") && colourTexture && surface.image.empty()) {
            const std::string name = s.s0();
            if (name != "(none)")
                surface.image = name;
        }
    });
    // FLAG may come after SMAN. Without the smoothing bit the surface is faceted, as LightWave
    // shows it; with it and no angle, smooth everywhere.
    surface.smoothing = !smoothFlag ? ETaLwoSmoothing::Flat : hasAngle ? ETaLwoSmoothing::Angle : ETaLwoSmoothing::All;
    if (surface.smoothing == ETaLwoSmoothing::Flat)
        surface.smoothingAngle = 0;
    if (!ok)
        return object.fail(format("surface \"%.64s\": sub-chunk %s runs past the end of its chunk", surface.name.c_str(),
                                  idText(badId).c_str()));
    object.surfaces.push_back(std::move(surface));
    return true;
}

// --- The chunk walk -------------------------------------------------------------------------

bool readChunks(STaLwoObject& object, const u8* data, size_t size)
{
    if (size < 12 || memcmp(data, "FORM", 4) != 0)
        return object.fail("not a LightWave object");
    if (memcmp(data + 8, "LWO2", 4) == 0)
        object.lwob = false;
    else if (memcmp(data + 8, "LWOB", 4) == 0)
        object.lwob = true;
    else
        return object.fail("not a LightWave object");
    CTaLwoCursor form(data, size);
    form.skip(4);
    // Exporters get the FORM size wrong often enough: a size past the end of the data, or one too
    // small to hold even the type (a size never filled in), means "what is there".
    const size_t formSize = form.u32v();
    form = CTaLwoCursor(data + 12, std::min(size, formSize < 4 ? size : size_t(8) + formSize) - 12);

    static const u32 kNeeded[] = {chunkId("LAYR"), chunkId("PNTS"), chunkId("POLS"), chunkId("PTAG"),
                                  chunkId("TAGS"), chunkId("SRFS"), chunkId("VMAP"), chunkId("VMAD"),
                                  chunkId("SURF"), chunkId("CLIP")};
    while (form.left() >= 8) {
        const u32 id = form.u32v();
        const size_t length = form.u32v();
        if (length > form.left()) {
            if (std::find(std::begin(kNeeded), std::end(kNeeded), id) == std::end(kNeeded))
                break; // a cut-short chunk nobody reads: take what came before
            return object.fail(format("chunk %s runs past the end of the file", idText(id).c_str()));
        }
        CTaLwoCursor c = form.take(length);
        if ((length & 1) && form.left() > 0)
            form.skip(1);

        bool ok = true;
        if (id == chunkId("PNTS")) {
            ok = readPoints(object, c);
        } else if (id == chunkId("POLS")) {
            ok = object.lwob ? readPolygonsB(object, c) : readPolygons2(object, c);
        } else if (id == chunkId("SURF")) {
            ok = object.lwob ? readSurfaceB(object, c) : readSurface2(object, c);
        } else if (id == chunkId("SRFS") && object.lwob) {
            readNames(object.tags, c);
        } else if (!object.lwob) {
            if (id == chunkId("LAYR")) {
                object.layerBase = object.points.size();
                object.faceBase = object.polygons.size();
                object.faceCount = 0;
            } else if (id == chunkId("TAGS")) {
                readNames(object.tags, c);
            } else if (id == chunkId("PTAG")) {
                readPolygonTags(object, c);
            } else if (id == chunkId("VMAP")) {
                readUvMap(object, c, false);
            } else if (id == chunkId("VMAD")) {
                readUvMap(object, c, true);
            } else if (id == chunkId("CLIP")) {
                readClip(object, c);
            }
        }
        if (!ok)
            return false;
    }
    return true;
}

// --- The build ------------------------------------------------------------------------------

// A UV map made ready for lookups. Ordered maps here and below: their worst case stays
// logarithmic whatever keys a file chooses.
struct STaLwoUvLookup {
    bool built = false;
    std::map<u32, core::vector2df> points;
    std::map<uint64_t, core::vector2df> corners; // polygon << 32 | point
};

uint64_t cornerKey(u32 polygon, u32 point) { return (uint64_t(polygon) << 32) | point; }

const STaLwoUvLookup& uvLookup(const STaLwoObject& object, std::vector<STaLwoUvLookup>& lookups, size_t map)
{
    STaLwoUvLookup& lookup = lookups[map];
    if (!lookup.built) {
        lookup.built = true;
        // Irrlicht's v runs down the image, LightWave's up.
        for (const STaLwoUv& entry : object.uvMaps[map].points)
            lookup.points[entry.point] = core::vector2df(entry.u, 1.0f - entry.v);
        for (const STaLwoCornerUv& entry : object.uvMaps[map].corners)
            lookup.corners[cornerKey(entry.polygon, entry.point)] = core::vector2df(entry.u, 1.0f - entry.v);
    }
    return lookup;
}

// A corner's UV: the polygon's own value, else the point's; (0, 0) where the map has neither.
core::vector2df uvAt(const STaLwoUvLookup* lookup, u32 polygon, u32 point)
{
    if (!lookup)
        return core::vector2df(0, 0);
    auto corner = lookup->corners.find(cornerKey(polygon, point));
    if (corner != lookup->corners.end())
        return corner->second;
    auto found = lookup->points.find(point);
    return found != lookup->points.end() ? found->second : core::vector2df(0, 0);
}

int uvMapIndex(const STaLwoObject& object, const std::string& name)
{
    auto found = object.uvMapOfName.find(name);
    return found != object.uvMapOfName.end() ? int(found->second) : -1;
}

u32 channelBit(u32 channel)
{
    static const std::pair<u32, u32> kBits[] = {
        {chunkId("COLR"), ETAUV2_COLOR},         {chunkId("DIFF"), ETAUV2_DIFFUSE},
        {chunkId("LUMI"), ETAUV2_LUMINOSITY},    {chunkId("SPEC"), ETAUV2_SPECULAR},
        {chunkId("REFL"), ETAUV2_REFLECTIVITY},  {chunkId("TRAN"), ETAUV2_TRANSPARENCY},
        {chunkId("BUMP"), ETAUV2_NORMAL},        {chunkId("TRNL"), ETAUV2_TRANSLUCENCY},
        {chunkId("GLOS"), ETAUV2_GLOSSINESS},
    };
    for (const auto& bit : kBits)
        if (bit.first == channel)
            return bit.second;
    return 0;
}

// The UV map a texture layer reads, or -1.
int layerUvMap(const STaLwoObject& object, const STaLwoLayer& layer)
{
    if (!layer.image || !layer.enabled || !layer.uvProjection || layer.uvMap.empty())
        return -1;
    return uvMapIndex(object, layer.uvMap);
}

video::SColor toColour(const f32 rgb[3], f32 scale)
{
    u32 channels[3];
    for (int i = 0; i < 3; ++i) {
        const f32 value = rgb[i] * scale;
        channels[i] = value > 0 ? (value < 1 ? u32(value * 255.0f + 0.5f) : 255u) : 0u; // NaN lands on 0
    }
    return video::SColor(255, channels[0], channels[1], channels[2]);
}

// The last path component of a LightWave file name ("C:dir/image.png", "C:\dir\image.png").
std::string baseName(const std::string& name)
{
    const size_t slash = name.find_last_of("/\\:");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

// Loads `name` through the driver, as given, then below `directory`. Names that exist on disk but
// are not regular files (directories, devices) are never handed to the image loaders; names not
// on disk are, as they may live in an archive the file system serves.
video::ITexture* loadImage(video::IVideoDriver* driver, const io::path& directory, const std::string& name,
                           std::map<std::string, video::ITexture*>& cache)
{
    if (!driver || name.empty())
        return nullptr;
    auto cached = cache.find(name);
    if (cached != cache.end())
        return cached->second;
    std::vector<std::string> candidates{name};
    std::string folder(directory.c_str());
    if (!folder.empty()) {
        if (folder.back() != '/' && folder.back() != '\\')
            folder += '/';
        if (name[0] != '/' && name.find(':') == std::string::npos)
            candidates.push_back(folder + name);
        candidates.push_back(folder + baseName(name));
    }
    video::ITexture* texture = nullptr;
    for (const std::string& candidate : candidates) {
        struct stat status;
        if (candidate.empty() || candidate.back() == '/' ||
            (stat(candidate.c_str(), &status) == 0 && !S_ISREG(status.st_mode)))
            continue;
        texture = driver->getTexture(io::path(candidate.c_str()));
        if (texture)
            break;
    }
    cache[name] = texture;
    return texture;
}

// The face normal: the sum of the fan's triangle normals, (b - a) x (c - a) as Irrlicht's
// triangles have it, so LightWave's clockwise polygons face the viewer. Zero when degenerate.
core::vector3df faceNormal(const STaLwoObject& object, const STaLwoPolygon& polygon)
{
    double n[3] = {0, 0, 0};
    const core::vector3df& a = object.points[object.corners[polygon.first]];
    for (u32 k = 1; k + 1 < polygon.count; ++k) {
        const core::vector3df& b = object.points[object.corners[polygon.first + k]];
        const core::vector3df& c = object.points[object.corners[polygon.first + k + 1]];
        const double e1[3] = {double(b.X) - a.X, double(b.Y) - a.Y, double(b.Z) - a.Z};
        const double e2[3] = {double(c.X) - a.X, double(c.Y) - a.Y, double(c.Z) - a.Z};
        n[0] += e1[1] * e2[2] - e1[2] * e2[1];
        n[1] += e1[2] * e2[0] - e1[0] * e2[2];
        n[2] += e1[0] * e2[1] - e1[1] * e2[0];
    }
    const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (!(length > 0) || !std::isfinite(length))
        return core::vector3df(0, 0, 0);
    return core::vector3df(f32(n[0] / length), f32(n[1] / length), f32(n[2] / length));
}

core::vector3df unitOr(const core::vector3df& sum, const core::vector3df& fallback)
{
    const double length = std::sqrt(double(sum.X) * sum.X + double(sum.Y) * sum.Y + double(sum.Z) * sum.Z);
    if (!(length > 1e-12) || !std::isfinite(length))
        return fallback;
    return core::vector3df(f32(sum.X / length), f32(sum.Y / length), f32(sum.Z / length));
}

// Per corner of the surface's polygons, the normal: the face normals of the surface's polygons
// at the same point, those within the smoothing angle of the corner's own polygon (all of them,
// or none but its own).
void smoothNormals(const STaLwoObject& object, const STaLwoSurface& surface, const std::vector<u32>& polygons,
                   const std::vector<core::vector3df>& faceNormals, std::vector<core::vector3df>& cornerNormals)
{
    ETaLwoSmoothing mode = surface.smoothing;
    f32 cosLimit = -2;
    if (mode == ETaLwoSmoothing::Angle) {
        const f32 angle = surface.smoothingAngle;
        if (!(angle > 0))
            mode = ETaLwoSmoothing::Flat;
        else if (angle >= core::PI)
            mode = ETaLwoSmoothing::All;
        else
            cosLimit = std::min(std::cos(angle) - 1e-6f, 0.9999f); // a unit normal always passes its own test
    }
    static const core::vector3df kUp(0, 1, 0);
    if (mode == ETaLwoSmoothing::Flat) {
        for (u32 p : polygons)
            for (u32 k = 0; k < object.polygons[p].count; ++k)
                cornerNormals[object.polygons[p].first + k] = unitOr(faceNormals[p], kUp);
        return;
    }
    // (point, corner, polygon), grouped by point.
    struct STaCornerRef {
        u32 point, corner, polygon;
    };
    std::vector<STaCornerRef> refs;
    for (u32 p : polygons)
        for (u32 k = 0; k < object.polygons[p].count; ++k) {
            const u32 corner = object.polygons[p].first + k;
            refs.push_back({object.corners[corner], corner, p});
        }
    std::sort(refs.begin(), refs.end(), [](const STaCornerRef& a, const STaCornerRef& b) {
        return a.point != b.point ? a.point < b.point : a.corner < b.corner;
    });
    std::vector<f32> group; // the group's face normals, x y z after each other
    for (size_t begin = 0; begin < refs.size();) {
        size_t end = begin + 1;
        while (end < refs.size() && refs[end].point == refs[begin].point)
            ++end;
        const size_t count = end - begin;
        group.resize(count * 3);
        f32 all[3] = {0, 0, 0};
        for (size_t j = 0; j < count; ++j) {
            const core::vector3df& n = faceNormals[refs[begin + j].polygon];
            group[3 * j] = n.X, group[3 * j + 1] = n.Y, group[3 * j + 2] = n.Z;
            all[0] += n.X, all[1] += n.Y, all[2] += n.Z;
        }
        const bool byAngle = mode == ETaLwoSmoothing::Angle && count <= kMaxCompared;
        const f32* normals = group.data();
        for (size_t i = 0; i < count; ++i) {
            f32 sum[3] = {all[0], all[1], all[2]};
            const f32* own = normals + 3 * i;
            if (byAngle) {
                sum[0] = sum[1] = sum[2] = 0;
                // The corner's own polygon passes the test (a degenerate one adds nothing anyway).
                for (size_t j = 0; j < count; ++j) {
                    const f32* other = normals + 3 * j;
                    if (own[0] * other[0] + own[1] * other[1] + own[2] * other[2] >= cosLimit)
                        sum[0] += other[0], sum[1] += other[1], sum[2] += other[2];
                }
            }
            const core::vector3df ownNormal(own[0], own[1], own[2]);
            cornerNormals[refs[begin + i].corner] =
                unitOr(core::vector3df(sum[0], sum[1], sum[2]), unitOr(ownNormal, kUp));
        }
        begin = end;
    }
}

// What identifies a vertex within a buffer: point, UVs and normal, as bits (so NaN and -0 compare
// like any other value).
struct STaLwoVertexKey {
    u32 words[8];
    bool operator<(const STaLwoVertexKey& other) const
    {
        return std::lexicographical_compare(std::begin(words), std::end(words), std::begin(other.words),
                                            std::end(other.words));
    }
};

u32 bitsOf(f32 value)
{
    u32 bits;
    memcpy(&bits, &value, sizeof(bits));
    return bits;
}

// One surface's geometry, for either vertex type.
struct STaLwoSurfaceInput {
    const STaLwoObject* object;
    const std::vector<u32>* polygons;
    const std::vector<core::vector3df>* cornerNormals;
    const STaLwoUvLookup* uv1;
    const STaLwoUvLookup* uv2;
    video::SMaterial material;
    u32 uv2Mask;
};

video::S3DVertex makeVertex(const video::S3DVertex*, const core::vector3df& position, const core::vector3df& normal,
                            const core::vector2df& uv, const core::vector2df&)
{
    return video::S3DVertex(position, normal, video::SColor(255, 255, 255, 255), uv);
}
video::S3DVertex2TCoords makeVertex(const video::S3DVertex2TCoords*, const core::vector3df& position,
                                    const core::vector3df& normal, const core::vector2df& uv,
                                    const core::vector2df& uv2)
{
    return video::S3DVertex2TCoords(position, normal, video::SColor(255, 255, 255, 255), uv, uv2);
}

// Appends the surface's buffers to `mesh`: triangle fans in LightWave's corner order, a new buffer
// whenever the next polygon might not fit in 16-bit indices.
template <class TVertex> void buildSurface(const STaLwoSurfaceInput& in, CTaMesh& mesh)
{
    const STaLwoObject& object = *in.object;
    scene::CMeshBuffer<TVertex>* buffer = nullptr;
    STaMeshBufferExtra* extra = nullptr;
    std::map<STaLwoVertexKey, u16> known;
    std::vector<u16> cornerVertices;
    auto finish = [&] {
        if (!buffer)
            return;
        buffer->recalculateBoundingBox();
        mesh.addMeshBuffer(buffer);
        buffer->drop();
        buffer = nullptr;
    };
    for (u32 p : *in.polygons) {
        const STaLwoPolygon& polygon = object.polygons[p];
        if (polygon.count < 3)
            continue;
        if (!buffer || buffer->Vertices.size() + polygon.count > kMaxBufferVertices) {
            finish();
            buffer = new scene::CMeshBuffer<TVertex>();
            buffer->Material = in.material;
            mesh.extras.emplace_back();
            extra = &mesh.extras.back();
            extra->uv2Value = in.uv2 ? 1 : 0;
            extra->uv2Mask = in.uv2Mask;
            known.clear();
        }
        cornerVertices.clear();
        for (u32 k = 0; k < polygon.count; ++k) {
            const u32 corner = polygon.first + k;
            const u32 point = object.corners[corner];
            const core::vector3df& normal = (*in.cornerNormals)[corner];
            const core::vector2df uv = uvAt(in.uv1, p, point);
            const core::vector2df uv2 = in.uv2 ? uvAt(in.uv2, p, point) : core::vector2df(0, 0);
            const STaLwoVertexKey key{{point, bitsOf(uv.X), bitsOf(uv.Y), bitsOf(uv2.X), bitsOf(uv2.Y),
                                       bitsOf(normal.X), bitsOf(normal.Y), bitsOf(normal.Z)}};
            auto found = known.find(key);
            if (found == known.end()) {
                found = known.emplace(key, u16(buffer->Vertices.size())).first;
                buffer->Vertices.push_back(makeVertex(static_cast<const TVertex*>(nullptr), object.points[point],
                                                      normal, uv, uv2));
                extra->OriginalVerticesIndices.push_back(point);
            }
            cornerVertices.push_back(found->second);
        }
        for (u32 k = 1; k + 1 < polygon.count; ++k) {
            buffer->Indices.push_back(cornerVertices[0]);
            buffer->Indices.push_back(cornerVertices[k]);
            buffer->Indices.push_back(cornerVertices[k + 1]);
        }
    }
    finish();
}

CTaMesh* buildMesh(const STaLwoObject& object, video::IVideoDriver* driver, const io::path& directory,
                   std::string& error)
{
    // Triangles first: an object without any is refused before anything is built.
    size_t indices = 0;
    for (const STaLwoPolygon& polygon : object.polygons)
        if (polygon.count >= 3)
            indices += 3 * size_t(polygon.count - 2);
    if (indices == 0) {
        error = "the object has no polygons";
        return nullptr;
    }
    if (indices > kMaxIndices) {
        error = "the object has too many triangles";
        return nullptr;
    }

    // Surfaces by name, in the order polygons first use them; untagged polygons share the
    // nameless one (LightWave's default surface).
    std::map<std::string, u32> slotOfName;
    std::vector<std::string> slotNames;
    std::vector<u32> slotOfTag(object.tags.size(), kNoSurface);
    std::vector<std::vector<u32>> slotPolygons;
    for (u32 p = 0; p < object.polygons.size(); ++p) {
        const u32 tag = object.polygons[p].surface;
        u32 slot;
        if (tag < object.tags.size() && slotOfTag[tag] != kNoSurface) {
            slot = slotOfTag[tag];
        } else {
            const std::string name = tag < object.tags.size() ? object.tags[tag] : std::string();
            auto found = slotOfName.find(name);
            if (found == slotOfName.end()) {
                found = slotOfName.emplace(name, u32(slotNames.size())).first;
                slotNames.push_back(name);
                slotPolygons.emplace_back();
            }
            slot = found->second;
            if (tag < object.tags.size())
                slotOfTag[tag] = slot;
        }
        slotPolygons[slot].push_back(p);
    }

    std::vector<core::vector3df> faceNormals(object.polygons.size());
    for (size_t p = 0; p < object.polygons.size(); ++p)
        if (object.polygons[p].count >= 3)
            faceNormals[p] = faceNormal(object, object.polygons[p]);
    std::vector<core::vector3df> cornerNormals(object.corners.size());
    std::vector<STaLwoUvLookup> lookups(object.uvMaps.size());
    std::map<std::string, video::ITexture*> textures;
    const STaLwoSurface defaultSurface;
    std::map<std::string, const STaLwoSurface*> surfaceOfName; // the first SURF of a name
    for (const STaLwoSurface& surface : object.surfaces)
        surfaceOfName.emplace(surface.name, &surface);

    CTaMesh* mesh = new CTaMesh();
    for (size_t slot = 0; slot < slotNames.size(); ++slot) {
        auto named = surfaceOfName.find(slotNames[slot]);
        const STaLwoSurface* surface = named != surfaceOfName.end() ? named->second : &defaultSurface;
        smoothNormals(object, *surface, slotPolygons[slot], faceNormals, cornerNormals);

        // UVs: the colour layer's map, else the file's first; a second map when another layer
        // reads one.
        int uv1 = -1;
        const STaLwoLayer* colourLayer = nullptr;
        for (const STaLwoLayer& layer : surface->layers) {
            if (layer.channel != chunkId("COLR") || !layer.image || !layer.enabled)
                continue;
            if (!colourLayer)
                colourLayer = &layer;
            if (uv1 < 0)
                uv1 = layerUvMap(object, layer);
        }
        if (uv1 < 0 && !object.uvMaps.empty())
            uv1 = 0;
        int uv2 = -1;
        u32 uv2Mask = 0;
        for (const STaLwoLayer& layer : surface->layers) {
            const int map = layerUvMap(object, layer);
            if (map >= 0 && map != uv1 && uv2 < 0)
                uv2 = map;
            if (map >= 0 && map == uv2)
                uv2Mask |= channelBit(layer.channel);
        }

        STaLwoSurfaceInput input;
        input.object = &object;
        input.polygons = &slotPolygons[slot];
        input.cornerNormals = &cornerNormals;
        input.uv1 = uv1 >= 0 ? &uvLookup(object, lookups, size_t(uv1)) : nullptr;
        input.uv2 = uv2 >= 0 ? &uvLookup(object, lookups, size_t(uv2)) : nullptr;
        input.uv2Mask = uv2Mask;
        input.material.Lighting = true;
        const f32 diffuse = surface->diffuse;
        input.material.DiffuseColor = toColour(surface->colour, diffuse);
        input.material.AmbientColor = input.material.DiffuseColor;
        std::string image = surface->image;
        if (colourLayer && colourLayer->hasClip) {
            auto clip = object.clips.find(colourLayer->clip);
            if (clip != object.clips.end())
                image = clip->second;
        }
        if (video::ITexture* texture = loadImage(driver, directory, image, textures))
            input.material.setTexture(0, texture);

        if (input.uv2)
            buildSurface<video::S3DVertex2TCoords>(input, *mesh);
        else
            buildSurface<video::S3DVertex>(input, *mesh);
    }
    mesh->recalculateBoundingBox();
    return mesh;
}

} // namespace

CTaMesh* taReadLwoMesh(const void* data, size_t size, video::IVideoDriver* driver, const io::path& directory,
                       std::string& error)
{
    error.clear();
    if (!data)
        size = 0;
    STaLwoObject object;
    if (!readChunks(object, static_cast<const u8*>(data), size)) {
        error = object.error;
        return nullptr;
    }
    return buildMesh(object, driver, directory, error);
}

CTaMeshLoaderLwo::CTaMeshLoaderLwo(video::IVideoDriver* driver) : m_driver(driver) {}

bool CTaMeshLoaderLwo::isALoadableFileExtension(const io::path& filename) const
{
    const s32 dot = filename.findLast('.');
    return dot >= 0 && filename.subString(u32(dot), filename.size() - u32(dot)).equals_ignore_case(".lwo");
}

scene::IAnimatedMesh* CTaMeshLoaderLwo::createMesh(io::IReadFile* file)
{
    m_lastError.clear();
    if (!file) {
        m_lastError = "no file to read";
        return nullptr;
    }
    // Objects over 1 GiB are beyond what the reader's caps would accept anyway.
    const long size = file->getSize();
    if (size < 0 || size > (long(1) << 30)) {
        m_lastError = "the file is too large";
        return nullptr;
    }
    std::vector<u8> data(size_t(size) + 1);
    file->seek(0);
    const s32 got = file->read(data.data(), u32(size));
    data.resize(got > 0 ? size_t(got) : 0);

    const io::path& name = file->getFileName();
    const s32 slash = std::max(name.findLast('/'), name.findLast('\\'));
    const io::path directory = slash >= 0 ? name.subString(0, u32(slash)) : io::path();

    CTaMesh* mesh = taReadLwoMesh(data.data(), data.size(), m_driver, directory, m_lastError);
    if (!mesh)
        return nullptr;
    scene::SAnimatedMesh* animated = new scene::SAnimatedMesh(mesh);
    mesh->drop();
    animated->recalculateBoundingBox();
    return animated;
}

const std::string& CTaMeshLoaderLwo::lastError() const { return m_lastError; }
