// One step of 262,144 particles, by each of the 32 advance loops, against a plain pass that reads and
// writes the same 48 bytes per particle (position += velocity × h over the pool in memory order: the
// memory bound), side by side in one run on one core. The particles live long, so none dies in the
// steps measured. Prints nanoseconds per particle for the plain pass and for each loop, and each
// loop's ratio to the plain pass.
#include "particles/TaCurlNoise.h"
#include "particles/TaFxEmitter.h"
#include "particles/TaParticlePool.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr int kRounds = 5, kSteps = 8;
constexpr size_t kParticles = CTaParticlePool::kSharedCount;

double nanoseconds(const std::chrono::steady_clock::time_point& start)
{
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    CTaCurlNoise curl;
    std::vector<uint8_t> voxels(32 * 32 * 32);
    for (size_t i = 0; i < voxels.size(); ++i)
        voxels[i] = uint8_t((i * 2654435761u) >> 24);
    curl.buildFromVoxels(voxels.data(), voxels.size(), 32);

    CTaFxEmitter emitter;
    if (!emitter.init(kParticles, false))
        return 1;
    emitter.setBirthRate(float(kParticles) * 10.0f);
    emitter.setLifeTime(1000, 0);
    emitter.setGeneratorSize(10, 10, 10);
    emitter.setVelocity(0, 1, 0);
    emitter.setCurlNoise(&curl);
    emitter.update(1000);
    emitter.update(1100);
    if (emitter.getParticleCount() != kParticles) {
        fprintf(stderr, "%zu particles, not %zu\n", emitter.getParticleCount(), kParticles);
        return 1;
    }
    // The plain pass walks the same records in memory order.
    std::vector<STaParticle*> records;
    for (const STaParticle* p = emitter.liveHead(); p; p = emitter.next(p))
        records.push_back(const_cast<STaParticle*>(p));
    std::sort(records.begin(), records.end());
    STaParticle* first = records.front();
    const bool contiguous = records.back() == first + (kParticles - 1);

    emitter.setRandomVelocity(1);
    emitter.setCurlNoisePower(1);
    emitter.setResistance(0.5f, 0);
    emitter.setGravity(0, -9.8f, 0);
    emitter.setDepthSort(false); // the step alone: the sort is measured by nothing here
    std::vector<double> plain, loops[32];
    float t = 1.1f;
    for (int round = 0; round < kRounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        for (int step = 0; step < kSteps; ++step) {
            const float h = 0.016f;
            if (contiguous)
                for (size_t i = 0; i < kParticles; ++i) {
                    STaParticle& p = first[i];
                    p.position[0] += p.velocity[0] * h, p.position[1] += p.velocity[1] * h,
                        p.position[2] += p.velocity[2] * h;
                    p.velocity[1] -= 0.001f;
                }
            else
                for (STaParticle* p : records) {
                    p->position[0] += p->velocity[0] * h, p->position[1] += p->velocity[1] * h,
                        p->position[2] += p->velocity[2] * h;
                    p->velocity[1] -= 0.001f;
                }
        }
        plain.push_back(nanoseconds(start) / double(kSteps) / double(kParticles));
        for (unsigned features = 0; features <= ETAFXF_ALL; ++features) {
            start = std::chrono::steady_clock::now();
            for (int step = 0; step < kSteps; ++step)
                emitter.advance(t += 0.016f, 0.016f, features);
            loops[features].push_back(nanoseconds(start) / double(kSteps) / double(kParticles));
        }
    }
    auto best = [](std::vector<double> v) { return *std::min_element(v.begin(), v.end()); };
    const double bound = best(plain);
    printf("one step of %zu particles, best of %d rounds (ns per particle)\n", kParticles, kRounds);
    printf("  the plain pass (48 bytes read and written)   %6.2f\n", bound);
    static const char* const names[5] = {"random", "curl", "resistance", "gravity", "depth"};
    for (unsigned features = 0; features <= ETAFXF_ALL; ++features) {
        char label[96] = "";
        for (int b = 0; b < 5; ++b)
            if (features & (1u << b)) {
                if (*label)
                    snprintf(label + strlen(label), sizeof(label) - strlen(label), "+");
                snprintf(label + strlen(label), sizeof(label) - strlen(label), "%s", names[b]);
            }
        const double ns = best(loops[features]);
        printf("  loop %2u %-34s %6.2f  %5.2fx\n", features, *label ? label : "(motion only)", ns, ns / bound);
    }
    return 0;
}
