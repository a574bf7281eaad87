// The post-processing chain against a single full-screen copy, side by side in one run at 1280x720
// on the light pre-pass renderer's own targets and stages: the copy of one picture into another,
// each stage alone (glow with light streaks, depth of field, SMAA, the temporal blend, gamma), and
// the whole chain in the order of a frame (glow with streaks, depth of field, gamma, SMAA and the
// temporal blend). The picture holds hard edges, a glowing patch and a depth ramp, so that every
// stage has work. The rounds alternate so that a slow spell of the machine touches every case alike.
// Prints the mean time of each case, the chain's ratio to the copy and each stage's share.
// Run under Xvfb from the build folder (where the engine's shader folders are).
#include "bench/BenchSupport.h"

#include "render/TaPostAntialias.h"
#include "render/TaPostDof.h"
#include "render/TaPostEffect.h"
#include "render/TaPostGlow.h"
#include "render/TaPostSMAA.h"
#include "render/TaRenderServices.h"
#include "render/TaRendererCtxAdv.h"
#include "render/TaRendererLpp.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

using namespace irr;

namespace {

constexpr int kWidth = 1280, kHeight = 720, kRuns = 20, kWarmUp = 3, kRounds = 3;

video::ITexture* target(const char* name)
{
    return taEngine().videoDriver->findTexture(name);
}

// A picture of discs and diagonal bars (hard edges for SMAA), a glowing patch (alpha 0) and, for
// the depth buffer, a ramp from near to far across it.
video::ITexture* fillPictures(CTaRenderServices* services)
{
    video::IVideoDriver* driver = taEngine().videoDriver;
    video::IImage* colour = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(kWidth, kHeight));
    video::IImage* depth = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(kWidth, kHeight));
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool bar = ((x + 2 * y) / 40) % 2 == 0;
            const int cx = x % 160 - 80, cy = y % 160 - 80;
            const bool disc = cx * cx + cy * cy < 50 * 50;
            const bool glows = x > 900 && x < 1000 && y > 300 && y < 400;
            const u32 v = disc ? 230 : bar ? 120 : 30;
            colour->setPixel(u32(x), u32(y), video::SColor(glows ? 0 : 255, v, v / 2 + 40, 255 - v));
            const u32 d = u32(x * 255 / kWidth);
            depth->setPixel(u32(x), u32(y), video::SColor(255, d, d, d));
        }
    driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
    video::ITexture* colourTexture = driver->addTexture("BenchColour", colour);
    video::ITexture* depthTexture = driver->addTexture("BenchDepth", depth);
    colour->drop();
    depth->drop();
    driver->setRenderTarget(target("DepthRTT"), false, false);
    services->copyTexture(depthTexture);
    return colourTexture;
}

struct SCase {
    const char* name;
    std::function<void()> draw;
    std::vector<double> times;
};

} // namespace

int main()
{
    // Antialiasing on: the context then has its SMAA and temporal stages.
    if (!taBenchStartEngine(kWidth, kHeight, true, true)) {
        fprintf(stderr, "the engine did not start with antialiasing (run under Xvfb from the build folder)\n");
        return 1;
    }
    auto* lpp = dynamic_cast<CTaRendererLpp*>(taGetCurrentRenderer());
    if (!lpp || !lpp->context()->smaa()) {
        fprintf(stderr, "no light pre-pass renderer with antialiasing\n");
        return 1;
    }
    CTaRendererCtxAdv& context = *lpp->context();
    CTaRenderServices* services = taGetManager()->getRenderServices();
    video::IVideoDriver* driver = taEngine().videoDriver;
    STaRenderSettings& settings = *context.getRenderSettings();
    settings.focalDistance = 0.5f;
    settings.fStop = 1.4f;
    context.updateFrame();
    CTaPostAntialias& antialias = *context.getAntialiasHistory();

    video::ITexture *back0 = target("BackRTT[0]"), *back1 = target("BackRTT[1]"), *back2 = target("BackRTT[2]"),
                    *back3 = target("BackRTT[3]"), *depth = target("DepthRTT"), *half2 = target("HalfScreen[2]");
    taBeginScene();
    video::ITexture* picture = fillPictures(services);
    // Each draw starts from the same picture (the copy is timed in none of the stages).
    auto restore = [&] {
        driver->setRenderTarget(back0, false, false);
        services->copyTexture(picture);
    };
    auto glow = [&] {
        context.downSample()->downSample(half2, back0);
        context.glow()->run(back0, half2, 24, 1, true, context.getStreakParameters());
    };
    auto dof = [&] { context.depthOfField()->runPhysical(back1, back0, depth, back2); };
    auto smaa = [&] { context.smaa()->run(back1, back0, back2, false, false); };
    auto blend = [&](int mode) {
        antialias.mode = mode;
        antialias.blending = 1;
        antialias.blendingWeight = 2; // half and half
        antialias.run(back1, back0, back2, back3, false, false, false);
    };
    std::vector<SCase> cases = {
        {"one full-screen copy", [&] {
             driver->setRenderTarget(back1, false, false);
             services->copyTexture(back0);
         }, {}},
        {"glow with light streaks", glow, {}},
        {"depth of field", dof, {}},
        {"SMAA", smaa, {}},
        {"temporal blend", [&] { blend(0); }, {}},
        {"gamma", [&] { context.gamma()->gamma(back1, back0); }, {}},
        {"the whole chain", [&] {
             glow();
             dof();
             context.gamma()->gamma(back0, back1);
             blend(1);
         }, {}},
    };
    for (int round = 0; round < kRounds; ++round)
        for (SCase& c : cases) {
            for (int i = 0; i < kWarmUp; ++i) {
                restore();
                c.draw();
            }
            glFinish();
            double total = 0;
            for (int i = 0; i < kRuns; ++i) {
                restore();
                glFinish();
                const auto start = std::chrono::steady_clock::now();
                c.draw();
                glFinish();
                total += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            }
            c.times.push_back(total / kRuns);
        }
    taEndScene();

    auto mean = [](const std::vector<double>& v) {
        double s = 0;
        for (double x : v)
            s += x;
        return v.empty() ? 0.0 : s / double(v.size());
    };
    printf("post-processing at %dx%d (mean of %d rounds of %d draws each)\n", kWidth, kHeight, kRounds, kRuns);
    double stages = 0;
    for (size_t i = 1; i + 1 < cases.size(); ++i)
        stages += mean(cases[i].times);
    const double copy = mean(cases.front().times), chain = mean(cases.back().times);
    for (const SCase& c : cases) {
        const double ms = mean(c.times);
        if (&c == &cases.front() || &c == &cases.back())
            printf("  %-26s %8.2f ms\n", c.name, ms);
        else
            printf("  %-26s %8.2f ms  (%4.1f%% of the stages' sum)\n", c.name, ms, 100.0 * ms / stages);
    }
    printf("the whole chain / one copy: %.1f\n", copy > 0 ? chain / copy : 0.0);
    taShutdown();
    return 0;
}
