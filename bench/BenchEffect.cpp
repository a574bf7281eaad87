// The per-draw constant upload of a typical material effect on the OpenGL device (run under Xvfb):
// 20 constants (four transforms, the camera position, the time, four light positions and
// directions, two light colours and four surface values) through the effect's binds, against the
// raw glUniform calls that set the same values.
#include "bench/BenchSupport.h"
#include "core/TaLog.h"
#include "driver/gl/TaGLShaderMaterialRenderer.h"
#include "effects/TaEffectManager.h"
#include "effects/TaGPUProgrammingServices.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"

#include <benchmark/benchmark.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using namespace irr;

const char* const kEffect = R"(/*
[TARV_BEGIN]
//float4x4 WVP : WorldViewProjection : vertex
//float4x4 World : WorldTranspose : vertex
//float4x4 WorldIT : WorldInverseTranspose : vertex
//float4x4 View : ViewTranspose : vertex
//float4 Eye : ViewPosition : pixel
//float Now : Time : pixel
//float4 L0 : LightPos0 : pixel
//float4 L1 : LightPos1 : pixel
//float4 L2 : LightPos2 : pixel
//float4 L3 : LightPos3 : pixel
//float3 D0 : LightDir0 : pixel
//float3 D1 : LightDir1 : pixel
//float3 D2 : LightDir2 : pixel
//float3 D3 : LightDir3 : pixel
//float4 C0 : LightDiffuse0 : pixel
//float4 C1 : LightDiffuse1 : pixel
//float4 Base : 0.8,0.7,0.6,1 : pixel
//float4 Spec : 0.5,0.5,0.5,32 : pixel
//float4 Glow : 0,0,0,0 : pixel
//float4 Rim : 0.2,0.3,0.4,1 : pixel
[TARV_END]
*/
float4x4 WVP, World, WorldIT, View;
float4 Eye; float Now;
float4 L0, L1, L2, L3; float3 D0, D1, D2, D3; float4 C0, C1;
float4 Base, Spec, Glow, Rim;
struct V { float4 pos : POSITION; float4 w : TEXCOORD0; };
V vs_main(float3 p : POSITION) { V o; o.pos = mul(WVP, float4(p, 1));
  o.w = mul(World, float4(p, 1)) + mul(WorldIT, float4(p, 0)) + mul(View, float4(p, 1)); return o; }
float4 ps_main(float4 w : TEXCOORD0) : COLOR0 {
  float4 c = Base * (L0 + L1 + L2 + L3) + float4(D0 + D1 + D2 + D3, 0) * C0 + C1 * Spec + Glow + Rim * Eye * Now;
  return c + w; }
)";

struct SFixture {
    bool ok = false;
    CTaEffect* effect = nullptr;
    CTaGLShaderMaterialRenderer* renderer = nullptr;
    video::SMaterial material;
    u32 handle = 0;
    std::string file;

    SFixture()
    {
        if (!taBenchStartEngine(64, 64))
            return;
        for (int i = 0; i < 4; ++i)
            taEngine().sceneManager->addLightSceneNode(nullptr, core::vector3df(float(i), 2, 3));
        file = "/tmp/tarv-bench-" + std::to_string(getpid()) + "-effect.hlsl";
        std::ofstream(file) << kEffect;
        effect = taGetManager()->getEffectManager()->createEffect(file.c_str(), -1, nullptr);
        if (!effect)
            return;
        handle = taNewMaterialExt();
        STaMaterialExt* record = taGetMaterialExt(handle);
        record->effect = effect;
        STaMaterial pass;
        effect->getPassMaterial(0, 0, pass);
        taApplyMaterial(pass, material, handle);
        renderer = dynamic_cast<CTaGLShaderMaterialRenderer*>(
            taEngine().videoDriver->getMaterialRenderer(pass.material.MaterialType));
        ok = renderer != nullptr;
    }
    ~SFixture()
    {
        if (effect)
            effect->drop();
        taFreeMaterialExt(handle);
        if (!file.empty())
            remove(file.c_str());
        taShutdown();
    }
};

void BM_EffectConstantsPerDraw(benchmark::State& state)
{
    SFixture fixture;
    if (!fixture.ok) {
        state.SkipWithError("the effect does not start on OpenGL (run under xvfb-run)");
        return;
    }
    glUseProgram(fixture.renderer->program());
    STaMaterialExt* record = taGetMaterialExt(fixture.handle);
    for (auto _ : state)
        fixture.effect->onSetShaderConstants(fixture.renderer, 0, fixture.material, record);
    glUseProgram(0);
}

void BM_RawUniformsPerDraw(benchmark::State& state)
{
    SFixture fixture;
    if (!fixture.ok) {
        state.SkipWithError("the effect does not start on OpenGL (run under xvfb-run)");
        return;
    }
    const GLuint program = fixture.renderer->program();
    glUseProgram(program);
    // The same uniforms, found once, set with values computed once.
    static const char* const matrices[] = {"vsG.WVP", "vsG.World", "vsG.WorldIT", "vsG.View"};
    static const char* const vectors4[] = {"psG.Eye", "psG.L0", "psG.L1", "psG.L2", "psG.L3", "psG.C0",
                                           "psG.C1",  "psG.Base", "psG.Spec", "psG.Glow", "psG.Rim"};
    static const char* const vectors3[] = {"psG.D0", "psG.D1", "psG.D2", "psG.D3"};
    GLint matrixAt[4], vector4At[11], vector3At[4];
    for (int i = 0; i < 4; ++i)
        matrixAt[i] = glGetUniformLocation(program, matrices[i]);
    for (int i = 0; i < 11; ++i)
        vector4At[i] = glGetUniformLocation(program, vectors4[i]);
    for (int i = 0; i < 4; ++i)
        vector3At[i] = glGetUniformLocation(program, vectors3[i]);
    const GLint timeAt = glGetUniformLocation(program, "psG.Now");
    const core::matrix4 m;
    const GLfloat v[4] = {0.5f, 0.25f, 0.125f, 1};
    for (auto _ : state) {
        for (GLint at : matrixAt)
            glUniformMatrix4fv(at, 1, GL_FALSE, m.pointer());
        for (GLint at : vector4At)
            glUniform4fv(at, 1, v);
        for (GLint at : vector3At)
            glUniform3fv(at, 1, v);
        glUniform1fv(timeAt, 1, v);
    }
    glUseProgram(0);
}

} // namespace

BENCHMARK(BM_EffectConstantsPerDraw);
BENCHMARK(BM_RawUniformsPerDraw);
BENCHMARK_MAIN();
