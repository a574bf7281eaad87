// Fuzz target: the text form of TF documents, then every accessor on every entry.
#include "fuzz/FuzzTfCommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The first twelve bytes decide the form; make sure this target stays on the text reader.
    if (size >= 4 && memcmp(data, "FORM", 4) == 0)
        return 0;
    fuzzTfDocument(data, size);
    return 0;
}
