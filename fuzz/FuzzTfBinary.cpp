// Fuzz target: the binary form of TF documents. The input is the chunk stream; the target puts a
// correct FORM header before it, so every run reaches the chunk reader.
#include "fuzz/FuzzTfCommon.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<uint8_t> bytes(12 + size);
    const uint32_t formSize = static_cast<uint32_t>(size + 4);
    memcpy(bytes.data(), "FORM", 4);
    for (int i = 0; i < 4; ++i)
        bytes[4 + i] = static_cast<uint8_t>(formSize >> (24 - 8 * i));
    memcpy(bytes.data() + 8, "TRVF", 4);
    if (size)
        memcpy(bytes.data() + 12, data, size);
    fuzzTfDocument(bytes.data(), bytes.size());
    return 0;
}
