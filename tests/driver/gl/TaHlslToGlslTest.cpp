// HLSL to GLSL: what the translator writes, its reflection and its errors (headless).
#include "driver/TaShaderTranslator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

namespace {

const char* const kShader = R"(float4x4 WorldViewProj;
float4 Tint;
bool UseTint;
float Weights[4];
sampler2D Tex0 : register(s1) = sampler_state {
    MinFilter = Linear;
};
samplerCUBE Sky;
#include "common.h"
struct VS_IN { float3 pos : POSITION; float3 nrm : NORMAL; float2 uv : TEXCOORD0; float4 col : COLOR0; float3 tan : TANGENT; };
struct VS_OUT { float4 pos : POSITION; float2 uv : TEXCOORD0; float4 col : COLOR0; float size : PSIZE; };
VS_OUT vs_main(VS_IN i) {
    VS_OUT o;
    o.pos = mul(float4(i.pos, 1), WorldViewProj);
    o.uv = i.uv;
    o.col = i.col * Tint + float4(i.nrm + i.tan, 0) * Weights[2];
    o.size = 2;
    return o;
}
float4 ps_main(float2 uv : TEXCOORD0, float4 col : COLOR0, float2 vpos : VPOS, float face : VFACE) : COLOR0 {
    float4 c = tex2D(Tex0, uv) * col + texCUBE(Sky, float3(uv, 1)) * face;
    if (UseTint) c *= Tint;
    return c * scale(fmod(vpos.x, 2.0)) * BRIGHTNESS;
}
)";

bool includeCommon(const char* requested, const char*, std::string& content, std::string& resolved, void* user)
{
    ++*static_cast<int*>(user);
    if (std::string(requested) != "common.h")
        return false;
    content = "float scale(float x) { return x * 0.5 + 0.5; }\n";
    resolved = "shaders/common.h";
    return true;
}

STaShaderTranslation translate(const char* source, const char* entry, ETaShaderStageKind stage, int* includes = nullptr,
                               const char* file = "effect.hlsl")
{
    static int unused = 0;
    STaShaderRequest request;
    request.source = source;
    request.fileName = file;
    request.entryPoint = entry;
    request.stage = stage;
    request.macros = {{"BRIGHTNESS", "1.5"}};
    request.include = includeCommon;
    request.includeUser = includes ? includes : &unused;
    return taCreateHlslToGlslTranslator()->translate(request);
}

bool has(const std::string& text, const std::string& what) { return text.find(what) != std::string::npos; }

TEST(TaHlslToGlslTest, VertexStage)
{
    int includes = 0;
    const STaShaderTranslation vs = translate(kShader, "vs_main", ETASHADERSTAGE_VERTEX, &includes);
    ASSERT_TRUE(vs.ok) << vs.error;
    EXPECT_EQ(vs.code.compare(0, 2, "//"), 0);
    EXPECT_TRUE(has(vs.code, "#version 330 compatibility"));
    for (const char* line : {"#define ta_in_POSITION (gl_Vertex).xyz", "#define ta_in_NORMAL gl_Normal",
                             "#define ta_in_TEXCOORD0 (gl_MultiTexCoord0).xy", "#define ta_in_COLOR0 gl_Color",
                             "#define ta_in_TANGENT (gl_MultiTexCoord1).xyz", "#define ta_out_POSITION gl_Position",
                             "#define ta_out_PSIZE gl_PointSize", "out vec2 ta_var_TEXCOORD0;", "out vec4 ta_var_COLOR0;",
                             "uniform vsGlobals vsG;", "out vec4 ta_ClipPos;", "ta_ClipPos = gl_Position;"})
        EXPECT_TRUE(has(vs.code, line)) << line << "\n" << vs.code;
    EXPECT_FALSE(has(vs.code, "layout(location")) << vs.code;
    EXPECT_EQ(includes, 1);
    ASSERT_EQ(vs.includes.size(), 1u);
    EXPECT_EQ(vs.includes[0], "shaders/common.h");

    std::map<std::string, STaShaderConstant> constants;
    for (const auto& c : vs.constants)
        constants[c.hlslName] = c;
    ASSERT_EQ(constants.count("WorldViewProj"), 1u);
    EXPECT_EQ(constants["WorldViewProj"].glName, "vsG.WorldViewProj");
    EXPECT_EQ(constants["WorldViewProj"].rows * constants["WorldViewProj"].columns, 16);
    EXPECT_EQ(constants["UseTint"].kind, ETACONST_UINT); // HLSL bool arrives as uint
    EXPECT_EQ(constants["Weights"].arraySize, 4);
    EXPECT_EQ(constants["Tint"].rows, 4);
}

// The reflection travels inside the code, so cached code needs no translation.
TEST(TaHlslToGlslTest, ReflectionReadsBackFromTheCode)
{
    auto translator = taCreateHlslToGlslTranslator();
    for (const char* entry : {"vs_main", "ps_main"}) {
        const STaShaderTranslation t =
            translate(kShader, entry, entry[0] == 'v' ? ETASHADERSTAGE_VERTEX : ETASHADERSTAGE_PIXEL);
        ASSERT_TRUE(t.ok) << t.error;
        std::vector<STaShaderConstant> constants;
        std::vector<STaShaderSampler> samplers;
        ASSERT_TRUE(translator->readReflection(t.code, constants, samplers)) << entry;
        ASSERT_EQ(constants.size(), t.constants.size());
        for (size_t i = 0; i < constants.size(); ++i) {
            EXPECT_EQ(constants[i].glName, t.constants[i].glName);
            EXPECT_EQ(constants[i].kind, t.constants[i].kind);
            EXPECT_EQ(constants[i].arraySize, t.constants[i].arraySize);
        }
        ASSERT_EQ(samplers.size(), t.samplers.size());
        for (size_t i = 0; i < samplers.size(); ++i)
            EXPECT_EQ(samplers[i].unit, t.samplers[i].unit);
    }
    std::vector<STaShaderConstant> constants;
    std::vector<STaShaderSampler> samplers;
    EXPECT_FALSE(translator->readReflection("void main() {}\n", constants, samplers));
    EXPECT_FALSE(translator->readReflection("x\n// reflection\n//@constant broken\n", constants, samplers));
    EXPECT_TRUE(translator->readReflection("x\n// reflection\n", constants, samplers));
}

TEST(TaHlslToGlslTest, PixelStage)
{
    const STaShaderTranslation ps = translate(kShader, "ps_main", ETASHADERSTAGE_PIXEL);
    ASSERT_TRUE(ps.ok) << ps.error;
    for (const char* line : {"in vec2 ta_var_TEXCOORD0;", "in vec4 ta_var_COLOR0;",
                             "#define ta_cin_COLOR0 clamp(ta_var_COLOR0, 0.0, 1.0)",
                             "#define ta_in_VFACE (gl_FrontFacing ? 1.0 : -1.0)", "in vec4 ta_ClipPos;",
                             "(ta_ClipPos.xy / ta_ClipPos.w * 0.5 + 0.5) * ta_TargetSize - 0.5",
                             "uniform psGlobals psG;", "trunc(", "1.5"})
        EXPECT_TRUE(has(ps.code, line)) << line << "\n" << ps.code;
    std::map<std::string, STaShaderSampler> samplers;
    for (const auto& s : ps.samplers)
        samplers[s.hlslName] = s;
    ASSERT_EQ(samplers.size(), 2u);
    EXPECT_EQ(samplers["Tex0"].unit, 1);
    EXPECT_EQ(samplers["Tex0"].dimensions, 2);
    EXPECT_EQ(samplers["Sky"].dimensions, 6);
    EXPECT_NE(samplers["Sky"].unit, 1);
}

TEST(TaHlslToGlslTest, ErrorsNameFileAndLine)
{
    struct { const char* source; const char* entry; const char* expected; } cases[] = {
        {"float4 vs_main() : POSITION { return undeclared; }\n", "vs_main", "bad.hlsl:1"},
        {"\n\nfloat4 vs_main() : POSITION { return 1 }\n", "vs_main", "bad.hlsl:3"},
        {"float4 vs_main() : POSITION { return 0; }\n", "other_main", "other_main"},
        {"#include \"missing.h\"\nfloat4 vs_main() : POSITION { return 0; }\n", "vs_main", "missing.h"},
        {"float4 vs_main(float4 p : BLENDWEIGHT) : POSITION { return p; }\n", "vs_main", "BLENDWEIGHT"},
    };
    for (const auto& c : cases) {
        const STaShaderTranslation t = translate(c.source, c.entry, ETASHADERSTAGE_VERTEX, nullptr, "bad.hlsl");
        EXPECT_FALSE(t.ok) << c.source;
        EXPECT_TRUE(has(t.error, c.expected)) << c.expected << " in: " << t.error;
    }
}

// The front end crashes on this source (found by fuzzing); the engine must only see an error.
TEST(TaHlslToGlslTest, AFrontEndCrashIsAnError)
{
    FILE* file = fopen(TARV_TEST_DATA_DIR "/glslang-crash.hlsl", "rb");
    ASSERT_NE(file, nullptr);
    std::string source;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0)
        source.append(buffer, n);
    fclose(file);
    const STaShaderTranslation t = translate(source.c_str(), "vs_main", ETASHADERSTAGE_VERTEX, nullptr, "crash.hlsl");
    EXPECT_FALSE(t.ok);
    // A signal normally; under AddressSanitizer the child reports the fault and exits instead.
    EXPECT_TRUE(has(t.error, "crash.hlsl: the shader translator crashed") ||
                has(t.error, "crash.hlsl: the shader translator ended without a result"))
        << t.error;
    // And the next translation works as before.
    EXPECT_TRUE(translate(kShader, "vs_main", ETASHADERSTAGE_VERTEX).ok);
}

TEST(TaHlslToGlslTest, SamplerStatesAreStrippedKeepingLines)
{
    const std::string source = "sampler2D a = sampler_state\n{\n  Filter = Linear;\n};\nsampler2D b;\n";
    const std::string stripped = taStripSamplerStates(source);
    EXPECT_EQ(std::count(stripped.begin(), stripped.end(), '\n'), std::count(source.begin(), source.end(), '\n'));
    EXPECT_FALSE(has(stripped, "sampler_state"));
    EXPECT_TRUE(has(stripped, "sampler2D a"));
    EXPECT_TRUE(has(stripped, "sampler2D b;"));
    EXPECT_EQ(taStripSamplerStates("float sampler_state_like = 1;"), "float sampler_state_like = 1;");
    EXPECT_EQ(taStripSamplerStates("x = sampler_state { never closed"), "x = sampler_state { never closed");
}

} // namespace
