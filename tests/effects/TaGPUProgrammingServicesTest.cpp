// The shader service on the null driver: material types from shader pairs, their keys, failures,
// hot reload and the register queries.
#include "TaTestSupport.h"

#include "engine/TaEngine.h"
#include "core/TaLog.h"
#include "engine/TaManager.h"
#include "effects/TaGPUProgrammingServices.h"

namespace {

const char* const kPair = R"(float4x4 WorldViewProj;
float4 Tint;
float4 Unused;
sampler2D Diffuse : register(s3);
sampler2D Bumps : register(s1);
float4 vs_main(float3 p : POSITION) : POSITION { return mul(float4(p, 1), WorldViewProj); }
float4 ps_main() : COLOR0 { return Tint * tex2D(Diffuse, Tint.xy) * tex2D(Bumps, Tint.zw); }
)";

class TaGPUProgrammingServicesTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL, m_dir + "/")), 0);
        gpu = taGetManager()->getGPUProgrammingServices();
        writeFile("pair.hlsl", kPair);
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
    irr::s32 material(const STaMacroArg* macros = nullptr, int psTarget = 7, std::string* error = nullptr,
                      const char* ps = "pair.hlsl", irr::video::E_MATERIAL_TYPE base = irr::video::EMT_SOLID)
    {
        return gpu->getShaderMaterial("pair.hlsl", "vs_main", 3, ps, "ps_main", psTarget, nullptr, base, 0, macros,
                                      error);
    }
    CTaGPUProgrammingServices* gpu = nullptr;
};

TEST_F(TaGPUProgrammingServicesTest, OneMaterialTypePerKey)
{
    // What the engine made for its own effects at start-up.
    const size_t types = gpu->materialTypeCount(), stored = gpu->store().size();
    const irr::s32 type = material();
    ASSERT_GE(type, 0);
    EXPECT_NE(taEngine().videoDriver->getMaterialRenderer(type), nullptr);
    // The targets are not part of the key; the macro order is not either.
    EXPECT_EQ(material(nullptr, 4), type);
    const STaMacroArg ab[] = {{"A", "1"}, {"B", nullptr}, {nullptr, nullptr}};
    const STaMacroArg ba[] = {{"B", ""}, {"A", "1"}, {nullptr, nullptr}};
    const irr::s32 withMacros = material(ab);
    EXPECT_GE(withMacros, 0);
    EXPECT_NE(withMacros, type);
    EXPECT_EQ(material(ba), withMacros);
    // Another base type is another material type; transparency follows the base.
    const irr::s32 transparent = material(nullptr, 7, nullptr, "pair.hlsl", irr::video::EMT_TRANSPARENT_ADD_COLOR);
    EXPECT_NE(transparent, type);
    EXPECT_TRUE(taEngine().videoDriver->getMaterialRenderer(transparent)->isTransparent());
    EXPECT_FALSE(taEngine().videoDriver->getMaterialRenderer(type)->isTransparent());
    EXPECT_EQ(gpu->materialTypeCount(), types + 3);
    // Each (stage, file, entry, macros) compiled once, and cached beside the data directory.
    EXPECT_EQ(gpu->store().size(), stored + 4);
    EXPECT_TRUE(exists("shadersCache"));
}

TEST_F(TaGPUProgrammingServicesTest, FailuresGoToTheErrorTextOrTheLog)
{
    std::string error;
    EXPECT_EQ(material(nullptr, 7, &error, "missing.hlsl"), -1);
    EXPECT_EQ(error, "Shader files not found : pair.hlsl missing.hlsl");
    {
        TaLogCapture log;
        EXPECT_EQ(material(nullptr, 7, nullptr, "missing.hlsl"), -1);
        EXPECT_TRUE(log.contains("ERROR : TaGPU: Shader files not found pair.hlsl missing.hlsl"));
    }
    writeFile("broken.hlsl", "float4 ps_main() : COLOR0 { return undefinedThing; }\n");
    error.clear();
    EXPECT_EQ(material(nullptr, 7, &error, "broken.hlsl"), -1);
    EXPECT_EQ(error.rfind("Failed to Compile Pixel shader broken.hlsl\n", 0), 0u) << error;
    EXPECT_NE(error.find("broken.hlsl:1"), std::string::npos) << error;
    {
        TaLogCapture log;
        EXPECT_EQ(material(nullptr, 7, nullptr, "broken.hlsl"), -1);
        EXPECT_TRUE(log.contains("TaGPU: Failed to Compile Pixel shader broken.hlsl"));
        EXPECT_TRUE(log.contains("TaGPU: Failed to get shader pair.hlsl broken.hlsl"));
    }
}

TEST_F(TaGPUProgrammingServicesTest, ReloadRecompilesWhatDependsOnTheFile)
{
    writeFile("lit.hlsl", "#include \"inc/tint.hlsli\"\nfloat4 ps_main() : COLOR0 { return tintOf(); }\n");
    writeFile("inc/tint.hlsli", "float4 Tint;\nfloat4 tintOf() { return Tint; }\n");
    const irr::s32 plain = material();
    const irr::s32 lit = material(nullptr, 7, nullptr, "lit.hlsl");
    ASSERT_GE(plain, 0);
    ASSERT_GE(lit, 0);

    std::vector<irr::s32> updated;
    std::string error;
    TaLogCapture log;
    writeFile("inc/tint.hlsli", "float4 Tint;\nfloat4 tintOf() { return Tint * 2; }\n");
    ASSERT_TRUE(gpu->recompileShaders({"./inc/tint.hlsli"}, &updated, &error));
    EXPECT_EQ(updated, std::vector<irr::s32>{lit});
    EXPECT_EQ(error, "");
    EXPECT_TRUE(log.contains("TaGPU: recompile lit.hlsl (Pixel)..."));

    // A file nothing includes changes nothing.
    ASSERT_TRUE(gpu->recompileShaders({"other.hlsl"}, &updated, &error));
    EXPECT_TRUE(updated.empty());

    // A broken reload keeps the old code and says why.
    writeFile("inc/tint.hlsli", "float4 Tint;\nfloat4 tintOf() { return Tint * ; }\n");
    ASSERT_TRUE(gpu->recompileShaders({"./inc/tint.hlsli"}, &updated, &error));
    EXPECT_TRUE(updated.empty());
    EXPECT_EQ(error.rfind("Failed to compile lit.hlsl\n", 0), 0u) << error;
    EXPECT_EQ(material(nullptr, 7, nullptr, "lit.hlsl"), lit);
}

TEST_F(TaGPUProgrammingServicesTest, ConstantsAndSamplersComeFromTheReflection)
{
    const irr::s32 type = material();
    ASSERT_GE(type, 0);
    int index = 5, count = 5;
    // OpenGL has no registers: index -1; a matrix would take four.
    EXPECT_TRUE(gpu->getVertexShaderConstant(type, "WorldViewProj", &index, &count));
    EXPECT_EQ(index, -1);
    EXPECT_EQ(count, 4);
    EXPECT_TRUE(gpu->getPixelShaderConstant(type, "Tint", &index, &count));
    EXPECT_EQ(count, 1);
    // Each stage's block holds every global of the file, used or not; unknown names and material
    // types are not there.
    EXPECT_TRUE(gpu->getPixelShaderConstant(type, "Unused", &index, &count));
    EXPECT_FALSE(gpu->getPixelShaderConstant(type, "Nothing", &index, &count));
    EXPECT_FALSE(gpu->getPixelShaderConstant(-1, "Tint", &index, &count));
    // Samplers answer the unit their register gives.
    EXPECT_TRUE(gpu->getPixelSamplerIndex(type, "Diffuse", &index));
    EXPECT_EQ(index, 3);
    EXPECT_TRUE(gpu->getPixelSamplerIndex(type, "Bumps", &index));
    EXPECT_EQ(index, 1);
    EXPECT_FALSE(gpu->getVertexSamplerIndex(type, "Diffuse", &index));
    TaLogCapture log;
    EXPECT_FALSE(gpu->printConstants(type)); // the null driver keeps no programs
    EXPECT_TRUE(log.contains("printConstants not supported for this DriverType"));
}

} // namespace
