// Packed data appended to the executable or beside it.
#include "files/TaPackedData.h"

#include "core/TaLog.h"
#include "platform/TaPlatform.h"

#include <cstdio>
#include <cstring>
#include <new>

const char TA_PACK_MAGIC[8] = {'T', 'A', 'R', 'V', 'P', 'A', 'C', 'K'};

namespace {

constexpr uint32_t TA_PACK_TRAILER_VERSION = 1;

void putLE32(unsigned char* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(value >> (8 * i));
}

void putLE64(unsigned char* out, uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint32_t getLE32(const unsigned char* in)
{
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | in[i];
    return value;
}

uint64_t getLE64(const unsigned char* in)
{
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | in[i];
    return value;
}

struct STaStdioCloser {
    void operator()(FILE* file) const { if (file) fclose(file); }
};
using TaStdioPtr = std::unique_ptr<FILE, STaStdioCloser>;

// Size of an open file, or -1.
int64_t fileSizeOf(FILE* file)
{
    if (fseeko(file, 0, SEEK_END) != 0)
        return -1;
    off_t size = ftello(file);
    return size < 0 ? -1 : static_cast<int64_t>(size);
}

} // namespace

void taEncodePackTrailer(const STaPackTrailer& trailer, unsigned char out[TA_PACK_TRAILER_SIZE])
{
    memcpy(out, TA_PACK_MAGIC, sizeof(TA_PACK_MAGIC));
    putLE32(out + 8, static_cast<uint32_t>(trailer.resourceNumber));
    putLE32(out + 12, TA_PACK_TRAILER_VERSION);
    putLE64(out + 16, trailer.offset);
    putLE64(out + 24, trailer.size);
}

bool taDecodePackTrailer(const unsigned char in[TA_PACK_TRAILER_SIZE], uint64_t fileSize, STaPackTrailer* trailer)
{
    if (memcmp(in, TA_PACK_MAGIC, sizeof(TA_PACK_MAGIC)) != 0 || getLE32(in + 12) != TA_PACK_TRAILER_VERSION)
        return false;
    if (fileSize < TA_PACK_TRAILER_SIZE)
        return false;
    const uint64_t end = fileSize - TA_PACK_TRAILER_SIZE;
    const uint32_t number = getLE32(in + 8);
    const uint64_t offset = getLE64(in + 16);
    const uint64_t size = getLE64(in + 24);
    // Checked without overflow: the archive must end exactly where the trailer begins.
    if (number > 0xFFFF || size > end || offset != end - size)
        return false;
    trailer->resourceNumber = static_cast<int>(number);
    trailer->offset = offset;
    trailer->size = size;
    return true;
}

bool taReadPackTrailer(const char* executablePath, STaPackTrailer* trailer)
{
    if (!executablePath || !executablePath[0])
        return false;
    TaStdioPtr file(fopen(executablePath, "rb"));
    if (!file)
        return false;
    int64_t size = fileSizeOf(file.get());
    if (size < static_cast<int64_t>(TA_PACK_TRAILER_SIZE))
        return false;
    unsigned char bytes[TA_PACK_TRAILER_SIZE];
    if (fseeko(file.get(), static_cast<off_t>(size - static_cast<int64_t>(TA_PACK_TRAILER_SIZE)), SEEK_SET) != 0 ||
        fread(bytes, 1, sizeof(bytes), file.get()) != sizeof(bytes))
        return false;
    return taDecodePackTrailer(bytes, static_cast<uint64_t>(size), trailer);
}

std::vector<STaPackTrailer> taDecodePackTrailers(const unsigned char* data, uint64_t end)
{
    std::vector<STaPackTrailer> trailers;
    STaPackTrailer trailer;
    while (static_cast<int>(trailers.size()) < TA_PACK_MAX_RESOURCES && end >= TA_PACK_TRAILER_SIZE &&
           taDecodePackTrailer(data + end - TA_PACK_TRAILER_SIZE, end, &trailer)) {
        trailers.insert(trailers.begin(), trailer);
        end = trailer.offset;
    }
    return trailers;
}

std::vector<STaPackTrailer> taReadPackTrailers(const char* executablePath)
{
    std::vector<STaPackTrailer> trailers;
    if (!executablePath || !executablePath[0])
        return trailers;
    TaStdioPtr file(fopen(executablePath, "rb"));
    if (!file)
        return trailers;
    int64_t end = fileSizeOf(file.get());
    STaPackTrailer trailer;
    unsigned char bytes[TA_PACK_TRAILER_SIZE];
    while (static_cast<int>(trailers.size()) < TA_PACK_MAX_RESOURCES && end >= static_cast<int64_t>(TA_PACK_TRAILER_SIZE)) {
        if (fseeko(file.get(), static_cast<off_t>(end - static_cast<int64_t>(TA_PACK_TRAILER_SIZE)), SEEK_SET) != 0 ||
            fread(bytes, 1, sizeof(bytes), file.get()) != sizeof(bytes) ||
            !taDecodePackTrailer(bytes, static_cast<uint64_t>(end), &trailer))
            break;
        trailers.insert(trailers.begin(), trailer);
        end = static_cast<int64_t>(trailer.offset);
    }
    return trailers;
}

bool taFindPackTrailer(const char* executablePath, int number, STaPackTrailer* trailer)
{
    for (const STaPackTrailer& found : taReadPackTrailers(executablePath))
        if (found.resourceNumber == number) {
            *trailer = found;
            return true;
        }
    return false;
}

std::string taPackedDataFileOf(const char* executablePath)
{
    std::string path = executablePath ? executablePath : "";
    return taFileDirOf(path) + taFileNameOf(path, false) + ".dat";
}

int taHasPackedData(const char* executablePath)
{
    STaPackTrailer trailer;
    if (taFindPackTrailer(executablePath, TA_RESOURCE_PACKED, &trailer))
        return 1;
    if (!executablePath || !executablePath[0])
        return 0;
    return taPlatformPathKind(taPackedDataFileOf(executablePath).c_str()) == ETAPATH_FILE ? 1 : 0;
}

void taScrambleResource(void* block, size_t size)
{
    // Byte by byte against the key's little-endian bytes: the same result on any host.
    unsigned char* bytes = static_cast<unsigned char*>(block);
    const size_t whole = size - size % 4;
    for (size_t i = 0; i < whole; ++i)
        bytes[i] ^= static_cast<unsigned char>(TA_SCRAMBLE_KEY >> (8 * (i % 4)));
}

STaFileBlock taLoadPackedResource(const char* executablePath, int number)
{
    STaFileBlock block;
    STaPackTrailer trailer;
    if (!taFindPackTrailer(executablePath, number, &trailer))
        return block;
    if (trailer.size >= SIZE_MAX)
        return block;
    TaStdioPtr file(fopen(executablePath, "rb"));
    if (!file || fseeko(file.get(), static_cast<off_t>(trailer.offset), SEEK_SET) != 0)
        return block;
    const size_t size = static_cast<size_t>(trailer.size);
    std::unique_ptr<char[]> data(new (std::nothrow) char[size + 1]);
    if (!data || fread(data.get(), 1, size, file.get()) != size)
        return block;
    data[size] = 0;
    taScrambleResource(data.get(), size);
    block.data = std::move(data);
    block.size = size;
    return block;
}
