// Fuzz target: the Tarv shader format loader.
#include "effects/TaEffectDefTarv.h"
#include "fuzz/FuzzFxCommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CTaEffectDefLoaderTarv loader;
    fuzzEffectLoader(loader, "fuzz.hlsl", data, size, false);
    return 0;
}
