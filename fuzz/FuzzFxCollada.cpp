// Fuzz target: the COLLADA FX loader on Irrlicht's XML reader (both profiles).
#include "effects/TaEffectDefCollada.h"
#include "fuzz/FuzzFxCommon.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The loader prints what it skips; keep the fuzzer's output readable.
    static FILE* quiet = freopen("/dev/null", "w", stdout);
    (void)quiet;
    CTaEffectDefLoaderCollada loader;
    fuzzEffectLoader(loader, "fuzz.dae", data, size, size % 2 == 1);
    return 0;
}
