// The frame's fixed cost: an empty Sync against one that draws 1000 queued overlay commands, on
// the OpenGL device (run under Xvfb: llvmpipe draws on the CPU) and on the null device (the
// engine's own overhead).
#include "engine/TaEngine.h"
#include "core/TaLog.h"
#include "engine/TaOverlay.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

bool start(int driver)
{
    STaSetupParams params = taDefaultSetupParams();
    params.driver = driver;
    params.vsync = 0;
    params.antialias = 0;
    snprintf(params.audio, sizeof(params.audio), "null");
    return taSetup(params) == 0;
}

void queue1000(irr::video::ITexture* texture)
{
    for (int i = 0; i < 250; ++i) {
        taOverlayBox(i, i, i + 40, i + 30, 0xFF204080);
        taOverlayLine(i, 0, 639 - i, 479, 0xFF00FF00);
        taOverlayImage(texture, 2 * i, 200, -1, -1, true);
        if (i < 64)
            taOverlayText(taEngine().font, 10, i * 7, 0xFFFFFFFF, "Tarv overlay text");
        else
            taOverlayBox(600 - i, 10, 620 - i, 20, 0xFFFF0000);
    }
}

void run(benchmark::State& state, int driver, bool withDraws)
{
    if (!start(driver)) {
        state.SkipWithError("the engine does not start (OpenGL needs a display: run under xvfb-run)");
        return;
    }
    irr::video::IVideoDriver* video = taEngine().videoDriver;
    irr::video::IImage* image = video->createImage(irr::video::ECF_A8R8G8B8, irr::core::dimension2du(16, 16));
    image->fill(irr::video::SColor(255, 255, 200, 0));
    irr::video::ITexture* texture = video->addTexture("bench", image);
    image->drop();
    for (auto _ : state) {
        if (withDraws)
            queue1000(texture);
        benchmark::DoNotOptimize(Sync());
    }
    taShutdown();
}

void BM_SyncEmptyOpenGL(benchmark::State& state) { run(state, ETADRIVER_OPENGL, false); }
void BM_Sync1000DrawsOpenGL(benchmark::State& state) { run(state, ETADRIVER_OPENGL, true); }
void BM_SyncEmptyNull(benchmark::State& state) { run(state, ETADRIVER_NULL, false); }
void BM_Sync1000DrawsNull(benchmark::State& state) { run(state, ETADRIVER_NULL, true); }

BENCHMARK(BM_SyncEmptyOpenGL)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sync1000DrawsOpenGL)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SyncEmptyNull)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Sync1000DrawsNull)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    taSetLogLevel(ETALOG_WARN);
    taDisableMessageBoxes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
