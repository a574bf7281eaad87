// Shader translation against the compiled-shader cache, measured side by side: what a pair costs
// to translate, and what the cache saves on the next run.
#include "effects/TaShaderCache.h"
#include "effects/TaShaderTranslator.h"

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

} // namespace

BENCHMARK_MAIN();
