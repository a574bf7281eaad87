// Fuzz target: demo scripts read into the demo record (the INI reader, every part key, the numbered
// extras, shaders and fades, the bounded fields), then the start times derived with made-up scene
// music for every part.
#include "core/TaLog.h"
#include "demo/TaDemo.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

namespace {
void quiet(const char*, void*) {}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    taSetLogSink(quiet, nullptr);
    taDisableMessageBoxes();
    static const std::string path = "/tmp/tarv-fuzz-demo-" + std::to_string(getpid()) + ".demo.ini";
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    fwrite(data, 1, size, file);
    fclose(file);
    std::unique_ptr<STaDemo> demo(new STaDemo());
    if (taDemoParse(demo.get(), path.c_str()) == 0) {
        if (demo->partCount < 1 || demo->partCount > TA_DEMO_MAX_PARTS)
            __builtin_trap();
        for (int i = 0; i < demo->partCount; ++i) {
            const STaDemoPart& part = demo->parts[i];
            if (part.extraCount > TA_DEMO_MAX_EXTRAS || part.shaderCount > TA_DEMO_MAX_SHADERS ||
                part.faderCount > TA_DEMO_MAX_FADERS || !memchr(part.name, 0, sizeof part.name) ||
                !memchr(part.filename, 0, sizeof part.filename))
                __builtin_trap();
        }
        // Every other part's scene plays a music at an offset taken from the part's time.
        taDemoResolveTimeline(demo.get(), [](const STaDemoPart& part, int* start) -> const char* {
            *start = part.time > 0 ? part.time / 2 : 0;
            return part.name[0] % 2 ? part.music[0] ? part.music : "dir/scene.wav" : nullptr;
        });
    }
    taClearLastError();
    return 0;
}
