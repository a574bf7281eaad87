// Textures on the OpenGL device (run under Xvfb: llvmpipe works on the CPU): loading a 2048 x 2048
// DXT1 DDS file with its mip chain (read, checked, uploaded compressed, or decoded and uploaded)
// against only reading its bytes; building the 512 x 512 "RandVec" texture against uploading a
// ready picture of the same size.
#include "bench/BenchSupport.h"
#include "core/TaLog.h"
#include "driver/TaDdsReader.h"
#include "driver/gl/TaGLTexture.h"
#include "engine/TaEngine.h"
#include "files/TaFile.h"
#include "nodes/TaTextureManager.h"

#include <benchmark/benchmark.h>

#include <GL/gl.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <string>
#include <vector>

namespace {

void put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

// A DXT1 file of side x side with its whole mip chain, the blocks filled from a fixed generator.
std::string writeDxt1(uint32_t side)
{
    std::vector<uint8_t> file = {'D', 'D', 'S', ' '};
    uint32_t levels = 0;
    for (uint32_t s = side; s; s /= 2)
        ++levels;
    for (uint32_t v : {124u, 0x1007u | 0x20000u, side, side, 0u, 0u, levels})
        put32(file, v);
    for (int i = 0; i < 11; ++i)
        put32(file, 0);
    for (uint32_t v : {32u, 4u, 0x31545844u /* DXT1 */, 0u, 0u, 0u, 0u, 0u, 0x401008u, 0u, 0u, 0u, 0u})
        put32(file, v);
    uint32_t state = 1;
    for (uint32_t s = side; s; s /= 2) {
        const size_t blocks = size_t((s + 3) / 4) * ((s + 3) / 4);
        for (size_t b = 0; b < blocks * 8; ++b) {
            state = state * 1664525u + 1013904223u;
            file.push_back(uint8_t(state >> 24));
        }
    }
    const std::string path = "/tmp/tarv-bench-" + std::to_string(getpid()) + "-dxt1.dds";
    FILE* out = fopen(path.c_str(), "wb");
    fwrite(file.data(), 1, file.size(), out);
    fclose(out);
    return path;
}

class CEngine
{
public:
    CEngine() : ok(taBenchStartEngine(64, 64)) {}
    ~CEngine()
    {
        if (ok)
            taShutdown();
    }
    bool ok;
};

void BM_DdsReadBytes(benchmark::State& state)
{
    const std::string path = writeDxt1(2048);
    for (auto _ : state) {
        STaFileBlock block = taReadWholeFile(path.c_str());
        benchmark::DoNotOptimize(block.data.get());
    }
    remove(path.c_str());
}

void loadDds(benchmark::State& state, bool compressed)
{
    CEngine engine;
    if (!engine.ok) {
        state.SkipWithError("the engine does not start (OpenGL needs a display: run under xvfb-run)");
        return;
    }
    const std::string path = writeDxt1(2048);
    for (auto _ : state) {
        STaFileBlock block = taReadWholeFile(path.c_str());
        STaDdsImage dds;
        std::string error;
        if (!taReadDds(block.data.get(), block.size, dds, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        CTaGLTexture* texture = taGLMakeDdsTexture("bench.dds", block.data.get(), block.size, dds, true, compressed, error);
        glFinish();
        if (!texture) {
            state.SkipWithError(error.c_str());
            break;
        }
        texture->drop();
    }
    remove(path.c_str());
}

void BM_DdsLoadCompressed(benchmark::State& state) { loadDds(state, true); }
void BM_DdsLoadDecoded(benchmark::State& state) { loadDds(state, false); }

void BM_RandVecPixels(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(taRandVecPixels().data());
}

void uploadImage(benchmark::State& state, bool generate)
{
    CEngine engine;
    if (!engine.ok) {
        state.SkipWithError("the engine does not start (OpenGL needs a display: run under xvfb-run)");
        return;
    }
    irr::video::IVideoDriver* driver = taEngine().videoDriver;
    driver->setTextureCreationFlag(irr::video::ETCF_CREATE_MIP_MAPS, false);
    irr::video::IImage* ready = taCreateGeneratedImage(driver, "RandVec");
    for (auto _ : state) {
        irr::video::IImage* image = generate ? taCreateGeneratedImage(driver, "RandVec") : ready;
        irr::video::ITexture* texture = driver->addTexture("RandVec", image);
        glFinish();
        driver->removeTexture(texture);
        if (generate)
            image->drop();
    }
    ready->drop();
}

void BM_RandVecTexture(benchmark::State& state) { uploadImage(state, true); }
void BM_UploadReady512(benchmark::State& state) { uploadImage(state, false); }

} // namespace

BENCHMARK(BM_DdsReadBytes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DdsLoadCompressed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DdsLoadDecoded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RandVecPixels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RandVecTexture)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadReady512)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
