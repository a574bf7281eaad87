// Packed data: the scrambled archive appended to a copy of the executable, or a ".dat" file beside it.
//
// An executable that carries an archive ends with the archive, scrambled, followed by a trailer:
//
//   offset  size  field
//   0       8     magic "TARVPACK"
//   8       4     resource number (500: the demo or scene set, 501: the shader set), little-endian
//   12      4     trailer version, 1
//   16      8     offset of the archive in the file, little-endian
//   24      8     size of the archive, little-endian
//
// The archive must end exactly where the trailer begins; a trailer whose offset or size does not
// fit the file is no packed data.
//
// Resources 500 and 501 live side by side, each archive followed by its own trailer:
//
//   [executable][archive A][trailer A][archive B][trailer B]
//
// read from the end backwards: the trailer before an archive ends where that archive begins. A
// file with one trailer is the single-resource form, read as before. Stamping a resource replaces
// only that one.
#pragma once

#include "files/TaFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr int TA_RESOURCE_PACKED = 500;  // the packed demo, scene or script set
constexpr int TA_RESOURCE_SHADERS = 501; // the shader set, never read by the executable itself
constexpr uint32_t TA_SCRAMBLE_KEY = 0x56524154;
constexpr size_t TA_PACK_TRAILER_SIZE = 32;
extern const char TA_PACK_MAGIC[8];

// A decoded trailer.
struct STaPackTrailer {
    int resourceNumber = 0;
    uint64_t offset = 0;
    uint64_t size = 0;
};

// At most this many resources are read from one file (a chain longer than that is cut there).
constexpr int TA_PACK_MAX_RESOURCES = 16;

// Reads and checks the trailer at the end of a file. False when there is none or it does not fit.
bool taReadPackTrailer(const char* executablePath, STaPackTrailer* trailer);
// Every resource of a file, the first stamped first; empty when it carries none.
std::vector<STaPackTrailer> taReadPackTrailers(const char* executablePath);
// The trailers ending at byte `end` of `data`, the first stamped first.
std::vector<STaPackTrailer> taDecodePackTrailers(const unsigned char* data, uint64_t end);
// The trailer of resource `number`; false when the file does not carry it.
bool taFindPackTrailer(const char* executablePath, int number, STaPackTrailer* trailer);
// The 32 bytes of a trailer.
void taEncodePackTrailer(const STaPackTrailer& trailer, unsigned char out[TA_PACK_TRAILER_SIZE]);
// Decodes and checks 32 bytes against the size of the file they end; false when they are no trailer.
bool taDecodePackTrailer(const unsigned char in[TA_PACK_TRAILER_SIZE], uint64_t fileSize, STaPackTrailer* trailer);

// The ".dat" file of an executable: its directory, its name without extension, ".dat".
std::string taPackedDataFileOf(const char* executablePath);

// 1 when the executable carries resource 500 (whatever else it carries) or its ".dat" file exists,
// else 0.
int taHasPackedData(const char* executablePath);

// Exclusive-or of every whole 32-bit little-endian word with TA_SCRAMBLE_KEY; the last size mod 4
// bytes stay as they are. Applying it twice restores the block.
void taScrambleResource(void* block, size_t size);

// A copy of resource `number` of the executable, unscrambled. Empty data when the executable has no
// such resource or it cannot be read.
STaFileBlock taLoadPackedResource(const char* executablePath, int number);
