// Fuzz target: -extract on arbitrary archive bytes, and the packed-data trailer decoder.
#include "core/TaLog.h"
#include "files/TaExtract.h"
#include "files/TaPackedData.h"
#include "platform/TaPlatform.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {
void quiet(const char*, void*) {}
void quietBox(const char*, const char*, void*) {}

const std::string& scratchDirectory()
{
    static std::string directory = [] {
        char pattern[] = "/tmp/tarv-fuzz-extract-XXXXXX";
        return std::string(mkdtemp(pattern) ? pattern : "/tmp");
    }();
    return directory;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    taSetLogSink(quiet, nullptr);
    taSetMessageBoxHandler(quietBox, nullptr);
    if (size >= TA_PACK_TRAILER_SIZE) {
        STaPackTrailer trailer;
        if (taDecodePackTrailer(data + size - TA_PACK_TRAILER_SIZE, size, &trailer) &&
            (trailer.offset + trailer.size + TA_PACK_TRAILER_SIZE != size))
            abort();
    }
    taExtractSceneArchive(data, size, scratchDirectory().c_str());
    return 0;
}
