// Fuzz target: the DDS reader. Every input that parses has all its surfaces decoded, so both the layout
// checks and the block decoders see hostile sizes; the decoded pixels are touched so the work is not skipped.
#include "driver/TaDdsReader.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    STaDdsImage image;
    std::string error;
    if (!taReadDds(data, size, image, error))
        return 0;
    std::vector<uint8_t> rgba;
    volatile uint8_t sink = 0;
    for (const STaDdsSurface& surface : image.surfaces) {
        // Every surface taReadDds laid out must decode: a refusal here means the two disagree.
        if (!taDecodeDdsSurface(data, size, image, surface, rgba, error))
            __builtin_trap();
        if (!rgba.empty())
            sink = sink ^ rgba[rgba.size() - 1];
    }
    return 0;
}
