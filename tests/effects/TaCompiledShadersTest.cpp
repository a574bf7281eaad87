// The compiled shaders: reuse by key, the disk cache between runs, dependencies and recompiling.
#include "effects/TaCompiledShaders.h"

#include "core/TaLog.h"

#include "TaTestSupport.h"

#include <algorithm>

namespace {

// The real translator, counting its calls.
class CCountingTranslator : public ITaShaderTranslator
{
public:
    const char* tag() const override { return m_real->tag(); }
    STaShaderTranslation translate(const STaShaderRequest& request) override
    {
        ++calls;
        return m_real->translate(request);
    }
    bool readReflection(const std::string& code, std::vector<STaShaderConstant>& c,
                        std::vector<STaShaderSampler>& s) const override
    {
        return m_real->readReflection(code, c, s);
    }
    int calls = 0;

private:
    std::unique_ptr<ITaShaderTranslator> m_real = taCreateHlslToGlslTranslator();
};

const char* const kWater = "#include \"common.h\"\n"
                           "float4x4 WorldViewProj;\n"
                           "float4 vs_main(float3 p : POSITION) : POSITION { return mul(float4(p * SCALE, 1), WorldViewProj); }\n"
                           "sampler2D Waves : register(s2);\n"
                           "float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(Waves, uv) * tint(); }\n";

class TaCompiledShadersTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        writeFile("shaders/water.hlsl", kWater);
        writeFile("shaders/common.h", "#define SCALE 2.0\nfloat4 tint() { return float4(1, 1, 1, 1); }\n");
        writeFile("shaders/other.h", "");
        taTestRun("mkdir -p cache");
    }
    std::vector<SShaderMacro> macros(std::initializer_list<SShaderMacro> list) { return std::vector<SShaderMacro>(list); }
};

TEST_F(TaCompiledShadersTest, EntriesAreSharedByKey)
{
    CCountingTranslator translator;
    CTaCompiledShaderStore store(translator);
    const auto* vs = store.getCompiledShader("shaders/water.hlsl", "vs_main", true, 3, macros({{"B", "1"}, {"A", ""}}));
    ASSERT_NE(vs, nullptr);
    EXPECT_EQ(vs->id, 1);
    // Another target, the macros in another order: the same entry.
    EXPECT_EQ(store.getCompiledShader("shaders/water.hlsl", "vs_main", true, 2, macros({{"A", ""}, {"B", "1"}})), vs);
    EXPECT_EQ(vs->target, 3);
    EXPECT_EQ(translator.calls, 1);
    const auto* ps = store.getCompiledShader("shaders/water.hlsl", "ps_main", false, 6, {});
    ASSERT_NE(ps, nullptr);
    EXPECT_EQ(ps->id, 2);
    EXPECT_EQ(store.entryById(2), ps);
    EXPECT_NE(std::find(vs->includes.begin(), vs->includes.end(), "shaders/water.hlsl"), vs->includes.end());
    EXPECT_NE(std::find(vs->includes.begin(), vs->includes.end(), "shaders/common.h"), vs->includes.end());
    ASSERT_EQ(ps->samplers.size(), 1u);
    EXPECT_EQ(ps->samplers[0].unit, 2);
}

TEST_F(TaCompiledShadersTest, TheCacheServesTheNextRun)
{
    CCountingTranslator translator;
    {
        CTaCompiledShaderStore store(translator);
        store.setCacheDirectory("cache", ETACACHE_READ | ETACACHE_CHECK | ETACACHE_WRITE);
        ASSERT_NE(store.getCompiledShader("shaders/water.hlsl", "ps_main", false, 6, {}), nullptr);
    }
    EXPECT_EQ(translator.calls, 1);
    CTaCompiledShaderStore next(translator);
    next.setCacheDirectory("cache", ETACACHE_READ | ETACACHE_CHECK | ETACACHE_WRITE);
    const auto* ps = next.getCompiledShader("shaders/water.hlsl", "ps_main", false, 6, {});
    ASSERT_NE(ps, nullptr);
    EXPECT_EQ(translator.calls, 1); // from the cache, with its reflection
    ASSERT_EQ(ps->samplers.size(), 1u);
    EXPECT_EQ(ps->samplers[0].hlslName, "Waves");

    // An include newer than the cache: compiled again.
    ASSERT_EQ(taTestRun("touch -d '2000-01-01' cache/*.pso"), 0);
    CTaCompiledShaderStore third(translator);
    third.setCacheDirectory("cache", ETACACHE_READ | ETACACHE_CHECK | ETACACHE_WRITE);
    ASSERT_NE(third.getCompiledShader("shaders/water.hlsl", "ps_main", false, 6, {}), nullptr);
    EXPECT_EQ(translator.calls, 2);
}

TEST_F(TaCompiledShadersTest, RecompileWhatDependsOnAChangedFile)
{
    CCountingTranslator translator;
    CTaCompiledShaderStore store(translator);
    const auto* vs = store.getCompiledShader("shaders/water.hlsl", "vs_main", true, 3, {});
    ASSERT_NE(vs, nullptr);
    const std::string before = vs->blob;
    std::vector<int> recompiled;
    std::string error;

    ASSERT_TRUE(store.recompileShaders({"shaders/other.h"}, recompiled, error));
    EXPECT_TRUE(recompiled.empty());

    writeFile("shaders/common.h", "#define SCALE 3.0\nfloat4 tint() { return float4(1, 0, 0, 1); }\n");
    TaLogCapture log;
    ASSERT_TRUE(store.recompileShaders({"shaders/common.h"}, recompiled, error));
    EXPECT_EQ(recompiled, std::vector<int>{vs->id});
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_NE(vs->blob, before);
    EXPECT_TRUE(log.contains("INFO : TaGPU: recompile shaders/water.hlsl (Vertex)..."));

    // A broken edit: the old code stays, the failure is reported.
    const std::string good = vs->blob;
    writeFile("shaders/common.h", "this is not HLSL\n");
    ASSERT_TRUE(store.recompileShaders({"shaders/common.h"}, recompiled, error));
    EXPECT_TRUE(recompiled.empty());
    EXPECT_EQ(vs->blob, good);
    EXPECT_EQ(error.find("Failed to compile shaders/water.hlsl\nFailed to Compile Vertex shader shaders/water.hlsl\n"), 0u)
        << error;
}

TEST_F(TaCompiledShadersTest, FailuresSayWhy)
{
    CCountingTranslator translator;
    CTaCompiledShaderStore store(translator);
    std::string error;
    EXPECT_EQ(store.getCompiledShader("shaders/missing.hlsl", "vs_main", true, 3, {}, &error), nullptr);
    EXPECT_EQ(error, "Shader file shaders/missing.hlsl not found");
    writeFile("shaders/bad.hlsl", "float4 vs_main() : POSITION { return nope; }\n");
    EXPECT_EQ(store.getCompiledShader("shaders/bad.hlsl", "vs_main", true, 3, {}, &error), nullptr);
    EXPECT_EQ(error.find("Failed to Compile Vertex shader shaders/bad.hlsl\n"), 0u) << error;
    EXPECT_NE(error.find("bad.hlsl:1"), std::string::npos) << error;
    // Without an error text, the log says it.
    TaLogCapture log;
    EXPECT_EQ(store.getCompiledShader("shaders/missing.hlsl", "ps_main", false, 6, {}), nullptr);
    EXPECT_TRUE(log.contains("ERROR : TaGPU: Shader file not found shaders/missing.hlsl"));
    EXPECT_EQ(store.size(), 0u);
}

} // namespace
