// Shader translation against the compiled-shader cache, measured side by side: what a pair costs
// to translate, and what the cache saves on the next run.
#include "engine/TaEngine.h"
#include "core/TaLog.h"
#include "engine/TaManager.h"
#include "effects/TaGPUProgrammingServices.h"
#include "effects/TaShaderCache.h"
#include "driver/TaShaderTranslator.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const char* const kShader = R"(float4x4 WorldViewProj;
float4x4 World;
float4 LightDir;
float4 Tint;
sampler2D Diffuse : register(s0);
sampler2D Normals : register(s1);
struct VS_IN { float3 pos : POSITION; float3 nrm : NORMAL; float2 uv : TEXCOORD0; float3 tan : TANGENT; };
struct VS_OUT { float4 pos : POSITION; float2 uv : TEXCOORD0; float3 nrm : TEXCOORD1; float3 tan : TEXCOORD2; };
VS_OUT vs_main(VS_IN i) {
    VS_OUT o;
    o.pos = mul(float4(i.pos, 1), WorldViewProj);
    o.uv = i.uv;
    o.nrm = mul(i.nrm, (float3x3)World);
    o.tan = mul(i.tan, (float3x3)World);
    return o;
}
float4 ps_main(VS_OUT i) : COLOR0 {
    float3 n = normalize(i.nrm);
    float3 t = normalize(i.tan);
    float3 b = cross(n, t);
    float3 m = tex2D(Normals, i.uv).xyz * 2 - 1;
    float3 N = normalize(m.x * t + m.y * b + m.z * n);
    float l = saturate(dot(N, -LightDir.xyz));
    return tex2D(Diffuse, i.uv) * Tint * (0.2 + 0.8 * l);
}
)";

STaShaderRequest request(const char* entry, ETaShaderStageKind stage)
{
    STaShaderRequest r;
    r.source = kShader;
    r.fileName = "bench.hlsl";
    r.entryPoint = entry;
    r.stage = stage;
    return r;
}

void BM_TranslatePair(benchmark::State& state)
{
    auto translator = taCreateHlslToGlslTranslator();
    for (auto _ : state) {
        auto vs = translator->translate(request("vs_main", ETASHADERSTAGE_VERTEX));
        auto ps = translator->translate(request("ps_main", ETASHADERSTAGE_PIXEL));
        if (!vs.ok || !ps.ok)
            state.SkipWithError("translation failed");
        benchmark::DoNotOptimize(vs.code.data());
        benchmark::DoNotOptimize(ps.code.data());
    }
}
BENCHMARK(BM_TranslatePair)->Unit(benchmark::kMillisecond);

void BM_ReadCachedPair(benchmark::State& state)
{
    char directory[] = "/tmp/tarv-bench-cache-XXXXXX";
    if (!mkdtemp(directory)) {
        state.SkipWithError("no temporary directory");
        return;
    }
    auto translator = taCreateHlslToGlslTranslator();
    const std::string source = std::string(directory) + "/bench.hlsl";
    FILE* file = fopen(source.c_str(), "wb");
    fputs(kShader, file);
    fclose(file);
    CTaShaderCache cache;
    cache.setDirectory(directory, ETACACHE_READ | ETACACHE_CHECK | ETACACHE_WRITE);
    STaShaderCacheKey vsKey{source, "vs_main", true, {}}, psKey{source, "ps_main", false, {}};
    cache.write(vsKey, translator->translate(request("vs_main", ETASHADERSTAGE_VERTEX)).code);
    cache.write(psKey, translator->translate(request("ps_main", ETASHADERSTAGE_PIXEL)).code);
    std::string blob;
    std::vector<std::string> includes;
    for (auto _ : state) {
        bool hit = cache.read(vsKey, translator->tag(), blob, includes) && cache.read(psKey, translator->tag(), blob, includes);
        if (!hit)
            state.SkipWithError("cache miss");
        benchmark::DoNotOptimize(blob.data());
    }
    std::string command = std::string("rm -rf '") + directory + "'";
    if (system(command.c_str()) != 0)
        fprintf(stderr, "bench: cannot remove %s\n", directory);
}
BENCHMARK(BM_ReadCachedPair)->Unit(benchmark::kMicrosecond);

// Counts the translations that reach the real translator.
class CCountingTranslator : public ITaShaderTranslator
{
public:
    explicit CCountingTranslator(int* count) : m_inner(taCreateHlslToGlslTranslator()), m_count(count) {}
    const char* tag() const override { return m_inner->tag(); }
    STaShaderTranslation translate(const STaShaderRequest& request) override
    {
        ++*m_count;
        return m_inner->translate(request);
    }
    bool readReflection(const std::string& code, std::vector<STaShaderConstant>& constants,
                        std::vector<STaShaderSampler>& samplers) const override
    {
        return m_inner->readReflection(code, constants, samplers);
    }

private:
    std::unique_ptr<ITaShaderTranslator> m_inner;
    int* m_count;
};

// Loading an effect's shaders into material types, as a fresh engine run does: eight macro variants
// of one pair (the way surfaces select variants), with an empty cache or with the cache the last
// run left. The warm run must not reach the translator at all.
void loadEffect(benchmark::State& state, bool warm)
{
    STaSetupParams params = taDefaultSetupParams();
    params.driver = ETADRIVER_NULL;
    snprintf(params.audio, sizeof(params.audio), "null");
    if (taSetup(params) != 0) {
        state.SkipWithError("the engine does not start");
        return;
    }
    char directory[] = "/tmp/tarv-bench-effect-XXXXXX";
    if (!mkdtemp(directory)) {
        state.SkipWithError("no temporary directory");
        return;
    }
    const std::string source = std::string(directory) + "/effect.hlsl";
    const std::string cacheDirectory = std::string(directory) + "/shadersCache";
    FILE* file = fopen(source.c_str(), "wb");
    fputs(kShader, file);
    fclose(file);
    static const char* const variants[8][2] = {{"USE_A", "1"}, {"USE_B", "1"}, {"USE_C", "1"}, {"USE_D", "1"},
                                               {"USE_E", "1"}, {"USE_F", "1"}, {"USE_G", "1"}, {"USE_H", "1"}};
    int translations = 0;
    auto run = [&] {
        CTaGPUProgrammingServices gpu(taEngine().device, std::make_unique<CCountingTranslator>(&translations));
        gpu.setVideoDriverExt(taGetManager()->getVideoDriverExt());
        gpu.setCacheDirectory(cacheDirectory.c_str(), ETACACHE_READ | ETACACHE_CHECK | ETACACHE_WRITE);
        for (const auto& variant : variants) {
            const STaMacroArg macros[] = {{variant[0], variant[1]}, {nullptr, nullptr}};
            if (gpu.getShaderMaterial(source.c_str(), "vs_main", 3, source.c_str(), "ps_main", 7, nullptr,
                                      irr::video::EMT_SOLID, 0, macros) < 0)
                state.SkipWithError("effect load failed");
        }
    };
    if (warm)
        run();
    translations = 0;
    for (auto _ : state) {
        if (!warm) {
            state.PauseTiming();
            std::string clear = "rm -rf '" + cacheDirectory + "'";
            if (system(clear.c_str()) != 0)
                state.SkipWithError("cannot clear the cache");
            state.ResumeTiming();
        }
        run();
    }
    state.counters["translations"] = benchmark::Counter(translations, benchmark::Counter::kAvgIterations);
    std::string command = std::string("rm -rf '") + directory + "'";
    if (system(command.c_str()) != 0)
        fprintf(stderr, "bench: cannot remove %s\n", directory);
    taShutdown();
}

void BM_EffectLoadColdCache(benchmark::State& state) { loadEffect(state, false); }
void BM_EffectLoadWarmCache(benchmark::State& state) { loadEffect(state, true); }
BENCHMARK(BM_EffectLoadColdCache)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EffectLoadWarmCache)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    taSetLogLevel(ETALOG_WARN);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
