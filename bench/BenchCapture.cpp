// Capture throughput of the sample demo, side by side with a bare loop over the same frames: the
// demo captured to BMP files at 30 frames per second (every frame animated, rendered, read back and
// written), against reading back and writing the same number of frames of the same size without
// drawing anything. Run under Xvfb from the build folder; prints both rates and their ratio.
#include "bench/BenchSupport.h"

#include "demo/TaDemo.h"
#include "scene/TaScenes.h"
#include "scene/TaSceneManager.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

int main()
{
    char here[4096];
    if (!getcwd(here, sizeof here))
        return 1;
    char pattern[] = "/tmp/tarv-bench-capture-XXXXXX";
    if (!mkdtemp(pattern))
        return 1;
    const std::string dir = pattern;
    const std::string copy = "cp -r '" TARV_SOURCE_DIR "/samples/city' '" TARV_SOURCE_DIR "/samples/demo' '" + dir +
                             "/' && mkdir -p '" + dir + "/demo/music' '" + dir + "/frames' '" + dir +
                             "/bare' && cp '" + std::string(here) + "/test-music/beat.mp3' '" + dir + "/demo/music/'";
    if (std::system(copy.c_str()) != 0)
        return 1;
    taRegisterSceneTable();
    if (!taBenchStartEngine(640, 360)) {
        fprintf(stderr, "the engine does not start on OpenGL (run under xvfb-run)\n");
        return 1;
    }
    // The demo loaded and prepared as taDemoPlay does it; only the capture itself is timed.
    std::unique_ptr<STaDemo> demo(new STaDemo());
    STaDemoIdCounters counters;
    if (taDemoLoad(demo.get(), (dir + "/demo/sample.demo.ini").c_str(), &counters) != 0)
        return 1;
    for (int i = 0; i < demo->partCount; ++i)
        if (demo->parts[i].sceneId >= 0)
            PrepareSceneRender(demo->parts[i].sceneId);
    STaDemoCapture capture;
    capture.baseName = dir + "/frames/f";
    capture.rate = 30.0f;
    const int frames = taDemoFrameCount(demo.get(), capture.rate);
    const auto a = std::chrono::steady_clock::now();
    if (taDemoRunCapture(demo.get(), capture) != 0)
        return 1;
    const auto b = std::chrono::steady_clock::now();
    taDemoFree(demo.get());
    // The bare loop: the last frame read back and written as many times.
    const auto c = std::chrono::steady_clock::now();
    for (int n = 0; n < frames; ++n)
        taScreenshot(taDemoFrameName(dir + "/bare/f", n).c_str());
    const auto d = std::chrono::steady_clock::now();
    const double captureRate = frames / std::chrono::duration<double>(b - a).count();
    const double bareRate = frames / std::chrono::duration<double>(d - c).count();
    printf("capture of the sample demo (%d frames, 640x360): %.1f frames per second\n", frames, captureRate);
    printf("bare read-back and write of the same frames: %.1f frames per second\n", bareRate);
    printf("ratio: %.2f\n", captureRate / bareRate);
    taShutdown();
    std::system(("rm -rf '" + dir + "'").c_str());
    return 0;
}
