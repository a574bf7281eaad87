// The DirectDraw Surface (DDS) reader: parses a file held in memory, lays out its surfaces, and decodes them to RGBA8.
//
// Written for untrusted files: every dimension and count is capped, every size is computed in 64 bits with
// overflow checks, and every surface must lie wholly inside the caller's buffer before it is described, so
// neither parsing nor decoding can read outside the buffer or allocate more than the decoded-size cap.
// Anything the reader cannot make sense of is refused with a message rather than guessed at.
//
// Pure CPU code: no Irrlicht or GL here; uploading the decoded (or still compressed) data is done elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Pixel formats the reader accepts. The uncompressed names give the channel order of a little-endian
// 32/24/16-bit word, so A8R8G8B8 is stored B,G,R,A in memory.
enum ETaDdsFormat {
    ETADDS_A8R8G8B8,
    ETADDS_X8R8G8B8,
    ETADDS_R8G8B8,
    ETADDS_L8,
    ETADDS_A8L8,
    ETADDS_DXT1,
    ETADDS_DXT3,
    ETADDS_DXT5,
};

enum ETaDdsKind {
    ETADDS_2D,
    ETADDS_CUBE,
    ETADDS_VOLUME,
};

// Largest width and height, and largest volume depth, the reader accepts.
constexpr uint32_t kTaDdsMaxSide = 16384;
constexpr uint32_t kTaDdsMaxDepth = 2048;
// Largest total of all surfaces decoded to RGBA8. Big enough for a full mip chain of the largest 2D texture
// (16384 x 16384 is 1 GiB, its mips another third), small enough that a hostile header cannot make us ask for more.
constexpr uint64_t kTaDdsMaxDecodedBytes = uint64_t(2) << 30;
// Where the pixel data starts: the magic "DDS " and the 124-byte header.
constexpr size_t kTaDdsDataOffset = 128;

// One surface of the file: a mip level of a face (cube: faces +X, -X, +Y, -Y, +Z, -Z in file order) or of a volume
// (a volume level holds `depth` slices one after another).
struct STaDdsSurface {
    int face = 0;
    int level = 0;
    uint32_t width = 0, height = 0, depth = 1;
    size_t offset = 0, size = 0; // bytes in the caller's buffer
};

struct STaDdsImage {
    ETaDdsKind kind = ETADDS_2D;
    ETaDdsFormat format = ETADDS_A8R8G8B8;
    uint32_t width = 0, height = 0, depth = 1; // of level 0; depth is 1 unless a volume
    uint32_t levels = 1;
    int faces = 1; // 1 or 6
    std::vector<STaDdsSurface> surfaces; // every face's levels, in file order; offsets into the caller's buffer
};

// Parses the header and lays out every surface against `size`; false with `error` saying what is wrong
// (for example "not a DDS file", "the header size is 12, not 124", "unsupported pixel format FOURCC 'ATI2'",
// "mip level 3 of face 2 runs past the end of the file", "width 0", "width 70000 exceeds 16384").
// Bytes after the last surface are ignored.
bool taReadDds(const void* data, size_t size, STaDdsImage& image, std::string& error);

// Decodes one surface to RGBA8: width*height*depth*4 bytes, slices one after another, rows top to bottom as
// stored, R,G,B,A byte order. Formats without alpha decode with alpha 255. The surface is checked against the
// image and `size` again, so a surface that did not come from taReadDds on the same buffer is refused, not trusted.
bool taDecodeDdsSurface(const void* data, size_t size, const STaDdsImage& image, const STaDdsSurface& surface,
                        std::vector<uint8_t>& rgba, std::string& error);

// Bytes one surface of the given size takes in the file: whole 4x4 blocks per slice for DXT, width*bytes per
// pixel per row otherwise (the header's pitch is not used: writers fill it in inconsistently). 0 if it would
// not fit in 64 bits (cannot happen within the limits above).
uint64_t taDdsSurfaceBytes(ETaDdsFormat format, uint32_t width, uint32_t height, uint32_t depth);
