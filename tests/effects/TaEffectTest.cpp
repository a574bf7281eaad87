// Effects on the null device: the definition cache, the builder's base materials, define lines and
// macro merging, texture parameters, value setters at their limits, compile flags, and what the
// semantic binds upload (recorded by a stand-in for the driver's services).
#include "TaTestSupport.h"

#include "effects/TaRecordingServices.h"

#include "effects/TaEffectManager.h"
#include "effects/TaGPUProgrammingServices.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"

#include <cstring>
#include <map>

namespace {

using namespace irr;


const char* const kShader = R"(/*
[TARV_BEGIN]
//float4x4 WVP : WorldViewProjection : vertex
//float4x4 WVPT : WorldViewProjectionTranspose : vertex
//float4 Tint : 1,0.5,0.25,1 : pixel
//float2 Size1 : Texture[1].Size : pixel
//float4 Glow : BloomThreshold : pixel
//float Odd : GlowIntensity : pixel
//float4 Second : ObjectPos2 : pixel
//bool Flag : 1 : pixel
//int Count : 3 : pixel
//texture 0 : base.png : srgb
//texture Unused : nothere.png
[TARV_END]
*/
float4x4 WVP;
float4x4 WVPT;
float4 Tint;
float2 Size1;
float4 Glow;
float Odd;
float4 Second;
bool Flag;
int Count;
sampler2D Base : register(s0);
float4 vs_main(float3 p : POSITION) : POSITION { return mul(float4(p, 1), WVP) + mul(WVPT, float4(p, 1)); }
float4 ps_main() : COLOR0
{
    float4 c = Tint * tex2D(Base, Size1) + Glow * Odd + Second;
    return Flag ? c * Count : c;
}
)";

class TaEffectTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL, m_dir + "/")), 0);
        manager = taGetManager()->getEffectManager();
        writeFile("effect.hlsl", kShader);
        video::IVideoDriver* driver = taEngine().videoDriver;
        video::IImage* image = driver->createImage(video::ECF_R8G8B8, core::dimension2du(4, 2));
        driver->writeImageToFile(image, "base.png");
        image->drop();
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
    // A Tarv file of one pass whose config lines are `config`.
    void writeEffect(const char* file, const std::string& config, const std::string& body = "")
    {
        writeFile(file, "/*\n[TARV_BEGIN]\n" + config + "[TARV_END]\n*/\nfloat4 vs_main(float3 p : POSITION) : POSITION "
                        "{ return float4(p, 1); }\nfloat4 ps_main() : COLOR0 { return 1; }\n" + body);
    }
    CTaEffectManager* manager = nullptr;
};

TEST_F(TaEffectTest, DefinitionsAreCachedByFileAndMacroSet)
{
    const STaFxMacro ab[] = {{"A", "1"}, {"B", nullptr}, {nullptr, nullptr}};
    const STaFxMacro ba[] = {{"B", ""}, {"A", "1"}, {nullptr, nullptr}};
    const STaFxMacro a2[] = {{"A", "2"}, {nullptr, nullptr}};
    const size_t before = manager->definitionCount(); // the engine's own effects
    ITaEffectDef* first = manager->getEffectDef("effect.hlsl", ab);
    ASSERT_NE(first, nullptr) << manager->getLastError();
    EXPECT_EQ(manager->getEffectDef("effect.hlsl", ba), first);
    EXPECT_NE(manager->getEffectDef("effect.hlsl", a2), first);
    EXPECT_NE(manager->getEffectDef("effect.hlsl", nullptr), first);
    EXPECT_EQ(manager->definitionCount(), before + 3);

    TaLogCapture log;
    EXPECT_EQ(manager->getEffectDef("effect.txt", nullptr), nullptr);
    EXPECT_TRUE(log.contains("CTaEffectManager: Cannot load effect effect.txt"));
    EXPECT_EQ(manager->getLastError(), "");
}

TEST_F(TaEffectTest, BuildsPassesWithTheirBindsAndTextures)
{
    TaLogCapture log;
    CTaEffect* effect = manager->createEffect("effect.hlsl", -1, nullptr);
    ASSERT_NE(effect, nullptr) << manager->getLastError();
    // A semantic nothing publishes is said once, at build time; the unused texture is neither
    // resolved nor loaded (its file does not exist, and the build did not fail).
    EXPECT_TRUE(log.contains("Warning: effect.hlsl: the Semantic 'GlowIntensity' has no corresponding binding"));
    ASSERT_EQ(effect->techniqueCount(), 1u);
    const STaFxPass* pass = effect->pass(0, 0);
    ASSERT_NE(pass, nullptr);
    std::map<std::string, std::string> bindOf;
    for (const STaFxShader& shader : pass->shaders)
        for (const STaFxConstBind& constant : shader.constants)
            bindOf[constant.name] = constant.bind->bindName();
    EXPECT_EQ(bindOf["WVP"], "Transform");
    EXPECT_EQ(bindOf["Glow"], "Value"); // no semantic map publishes BloomThreshold here
    EXPECT_EQ(bindOf["WVPT"], "Transform");
    EXPECT_EQ(bindOf["Tint"], "Value");
    EXPECT_EQ(bindOf["Size1"], "Material");
    EXPECT_EQ(bindOf["Odd"], "Value");
    EXPECT_EQ(bindOf["Second"], "Object");
    // The numbered texture went to layer 0 with its sRGB flag and is a texture of the file.
    const int base = effect->parameterIndex("Tex__0");
    ASSERT_GE(base, 0);
    ASSERT_NE(effect->getTextureSlot(base), nullptr);
    EXPECT_NE(effect->getTextureSlot(base)->texture, nullptr);
    EXPECT_TRUE(pass->material.layers[0].srgb);
    EXPECT_EQ(pass->material.layers[0].texture, effect->getTextureSlot(base)->texture);
    // sRGB textures stay out of Irrlicht's own layers: the engine binds them.
    EXPECT_EQ(pass->material.material.TextureLayer[0].Texture, nullptr);
    EXPECT_EQ(effect->getTextureSlot(effect->parameterIndex("Unused"))->texture, nullptr);
    effect->drop();
}

TEST_F(TaEffectTest, BaseMaterialsAndTheirErrors)
{
    struct {
        const char* config;
        bool transparent;
        const char* error; // nullptr: builds
    } cases[] = {
        {"", false, nullptr},
        {"//config baseMaterial : Transparent\n", true, nullptr},
        {"//config baseMaterial : TRANSPARENT_ADD_COLOR\n", true, nullptr},
        {"//config baseMaterial : transparent_one_one\n", true, nullptr},
        {"//config baseMaterial : solid\n", false, nullptr},
        {"//config baseMaterial : glass\n", false, "Invalid base material annotation glass"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string file = "base" + std::to_string(n++) + ".hlsl";
        writeEffect(file.c_str(), c.config);
        CTaEffect* effect = manager->createEffect(file.c_str(), -1, nullptr);
        if (c.error) {
            EXPECT_EQ(effect, nullptr) << c.config;
            EXPECT_EQ(manager->getLastError(), c.error) << c.config;
            continue;
        }
        ASSERT_NE(effect, nullptr) << c.config << manager->getLastError();
        const video::E_MATERIAL_TYPE type = effect->pass(0, 0)->material.material.MaterialType;
        EXPECT_EQ(taEngine().videoDriver->getMaterialRenderer(type)->isTransparent(), c.transparent) << c.config;
        effect->drop();
    }
}

// A definition made by hand: one pass whose pixel shader has the given define lines.
CTaEffectDef* definitionWithDefines(const std::string& file, std::vector<std::string> defines)
{
    auto* definition = new CTaEffectDef(file.c_str(), false);
    STechnique technique;
    SPass pass;
    for (int stage : {ETASTAGE_VERTEX, ETASTAGE_PIXEL}) {
        SShader shader;
        shader.stage = stage;
        shader.file = file;
        shader.entryPoint = stage == ETASTAGE_VERTEX ? "vs_main" : "ps_main";
        shader.target = stage == ETASTAGE_VERTEX ? ETATARGET_VS_3_0 : ETATARGET_PS_3_0;
        if (stage == ETASTAGE_PIXEL)
            shader.defines = defines;
        pass.shaders.push_back(shader);
    }
    technique.passes.push_back(pass);
    definition->effect().techniques.push_back(technique);
    return definition;
}

TEST_F(TaEffectTest, DefineLinesAndMacroMerging)
{
    writeFile("defines.hlsl", "float4 vs_main(float3 p : POSITION) : POSITION { return float4(p, 1); }\n"
                              "#ifndef FOO\n#error FOO is missing\n#endif\n"
                              "float4 ps_main() : COLOR0 { return A; }\n");
    CTaGPUProgrammingServices* gpu = taGetManager()->getGPUProgrammingServices();
    std::vector<ITaEffectBind*> binds = taCreateBuiltInBinds(taEngine().device);
    std::vector<ITaEffectTextureResolver*> resolvers;
    std::vector<std::string> none;
    CTaEffectBuilder builder(gpu, taGetManager()->getVideoDriverExt(), binds, resolvers, none, none);
    const STaFxMacro callerA1[] = {{"A", "1"}, {nullptr, nullptr}};
    struct {
        std::vector<std::string> defines;
        const STaFxMacro* macros;
        const char* error;   // nullptr: builds
        const char* warning; // a log line the build must give
    } cases[] = {
        {{"#define FOO", "#define A 2"}, nullptr, nullptr, nullptr},
        {{"  #define   FOO  ", "#define A 3"}, callerA1, nullptr,
         "Warning: when merging macros, duplicate A with different definitions '1' and '3' "},
        {{"#define FOO", "#define"}, nullptr, "Invalid source inline : malformed after #define", nullptr},
        {{"define FOO"}, nullptr, "Invalid source inline : no #define", nullptr},
    };
    for (const auto& c : cases) {
        CTaEffectDef* definition = definitionWithDefines("defines.hlsl", c.defines);
        TaLogCapture log;
        CTaEffect* effect = builder.build(definition, -1, c.macros, nullptr);
        if (c.error) {
            EXPECT_EQ(effect, nullptr);
            EXPECT_EQ(builder.error(), c.error);
        } else {
            EXPECT_NE(effect, nullptr) << builder.error();
        }
        if (c.warning) {
            EXPECT_TRUE(log.contains(c.warning)) << c.warning;
        }
        if (effect)
            effect->drop();
        definition->drop();
    }
    for (ITaEffectBind* bind : binds)
        bind->drop();
}

TEST_F(TaEffectTest, SettersCheckTypesAndStayInTheirSlots)
{
    CTaEffect* effect = manager->createEffect("effect.hlsl", -1, nullptr);
    ASSERT_NE(effect, nullptr) << manager->getLastError();
    const int tint = effect->parameterIndex("Tint"), texture = effect->parameterIndex("Tex__0");
    // Defaults from the file.
    f32 values[16] = {};
    ASSERT_TRUE(effect->getFloatArray(tint, values, 4));
    EXPECT_EQ(values[1], 0.5f);
    EXPECT_TRUE(effect->getBool(effect->parameterIndex("Flag")));
    EXPECT_EQ(effect->getInt(effect->parameterIndex("Count")), 3);
    // A numeric setter on a texture parameter, and setTexture on a numeric one, are refused.
    video::ITexture* before = effect->getTextureSlot(texture)->texture;
    EXPECT_FALSE(effect->setFloat(texture, 1.0f));
    EXPECT_FALSE(effect->setMatrix("Tex__0", core::matrix4()));
    EXPECT_EQ(effect->getTextureSlot(texture)->texture, before);
    EXPECT_FALSE(effect->setTexture("Tint", before, false));
    EXPECT_FALSE(effect->setFloat("NoSuchParameter", 1.0f));
    EXPECT_FALSE(effect->setFloat(999, 1.0f));
    // Counts beyond the 64-byte slot are clamped (the slot after it is untouched).
    f32 many[100];
    for (int i = 0; i < 100; ++i)
        many[i] = float(i);
    const int size1 = effect->parameterIndex("Size1");
    f32 next[4];
    effect->getFloatArray(size1, next, 4);
    EXPECT_TRUE(effect->setFloatArray(tint, many, 100));
    s32 ints[100] = {};
    EXPECT_TRUE(effect->setIntArray("Count", ints, 100));
    f32 after[4];
    effect->getFloatArray(size1, after, 4);
    EXPECT_EQ(memcmp(next, after, sizeof next), 0);
    f32 out[100] = {};
    EXPECT_TRUE(effect->getFloatArray(tint, out, 100));
    EXPECT_EQ(out[15], 15.0f);
    EXPECT_EQ(out[16], 0.0f);

    // setTexture: the SRGB annotation wins, else the caller's default.
    EXPECT_TRUE(effect->setTexture(texture, before, false));
    EXPECT_TRUE(effect->pass(0, 0)->material.layers[0].srgb);
    const int unused = effect->parameterIndex("Unused"); // no SRGB annotation
    EXPECT_TRUE(effect->setTexture(unused, before, true));
    EXPECT_TRUE(effect->getTextureSlot(unused)->srgb);
    EXPECT_TRUE(effect->setTexture(unused, before, false));
    EXPECT_FALSE(effect->getTextureSlot(unused)->srgb);
    // A clone keeps its own values.
    CTaEffect* copy = effect->clone();
    EXPECT_TRUE(copy->setFloat("Tint", 7.0f));
    EXPECT_EQ(effect->getFloat(tint), 0.0f);
    EXPECT_EQ(copy->getFloat(tint), 7.0f);
    EXPECT_EQ(copy->pass(0, 0)->shaders[1].constants[0].value, copy->values().data() + size_t(
        copy->pass(0, 0)->shaders[1].constants[0].parameter) * 16);
    copy->drop();
    effect->drop();
}

TEST(TaCompileFlagsTest, AppendToTheMacroArrayWithinItsLimits)
{
    STaFxMacro macros[6] = {{"FIRST", "1"}, {nullptr, nullptr}};
    std::string storage;
    ASSERT_TRUE(taAppendCompileFlags("A B=2 C= D=x=y", macros, 6, storage));
    EXPECT_STREQ(macros[1].name, "A");
    EXPECT_EQ(macros[1].value, nullptr);
    EXPECT_STREQ(macros[2].name, "B");
    EXPECT_STREQ(macros[2].value, "2");
    EXPECT_STREQ(macros[3].name, "C");
    EXPECT_EQ(macros[3].value, nullptr);
    EXPECT_STREQ(macros[4].name, "D");
    EXPECT_STREQ(macros[4].value, "x");
    EXPECT_EQ(macros[5].name, nullptr);

    // Too many for the array, or longer than 1023 characters: refused, the array as it was.
    STaFxMacro small[3] = {{"FIRST", "1"}, {nullptr, nullptr}};
    EXPECT_FALSE(taAppendCompileFlags("A B", small, 3, storage));
    EXPECT_EQ(small[1].name, nullptr);
    EXPECT_FALSE(taAppendCompileFlags(std::string(1024, 'X').c_str(), small, 3, storage));
    EXPECT_EQ(small[1].name, nullptr);
    EXPECT_TRUE(taAppendCompileFlags("", small, 3, storage));
}

TEST_F(TaEffectTest, WhatTheBindsUpload)
{
    ITaEffectBindSemanticMap* map = manager->createSemanticMap();
    ASSERT_TRUE(map->addSemantic("BloomThreshold", ETASEM_FLOAT4));
    EXPECT_FALSE(map->addSemantic("BloomThreshold", ETASEM_FLOAT));
    const f32 glow[4] = {0.1f, 0.2f, 0.3f, 0.4f};
    ASSERT_TRUE(map->setData("BloomThreshold", glow, sizeof glow));
    EXPECT_FALSE(map->setFloat("Unknown", 1.0f));

    TaLogCapture buildLog;
    CTaEffect* effect = manager->createEffect("effect.hlsl", -1, nullptr);
    ASSERT_NE(effect, nullptr) << manager->getLastError();
    const u32 handle = taNewMaterialExt();
    STaMaterialExt* record = taGetMaterialExt(handle);
    record->effect = effect;
    STaMaterial passMaterial;
    ASSERT_TRUE(effect->getPassMaterial(0, 0, passMaterial));
    video::SMaterial material;
    taApplyMaterial(passMaterial, material, handle);
    EXPECT_EQ(taMaterialExtOf(material), record);

    CTaRecordingServices services;
    TaLogCapture log;
    ASSERT_TRUE(effect->onSetShaderConstants(&services, 0, material, record));
    // The null driver keeps no transforms (the values are checked on OpenGL); they go up whole.
    EXPECT_EQ(services.vertex["WVP"].size(), 16u);
    EXPECT_EQ(services.vertex["WVPT"].size(), 16u);
    EXPECT_EQ(services.pixel["Tint"], std::vector<f32>({1, 0.5f, 0.25f, 1}));
    EXPECT_EQ(services.pixel["Glow"], std::vector<f32>(glow, glow + 4));
    EXPECT_EQ(services.pixel["Size1"], std::vector<f32>({0, 0})); // layer 1 is empty
    EXPECT_EQ(services.pixel["Flag"], std::vector<f32>({1}));
    EXPECT_EQ(services.pixel["Count"], std::vector<f32>({3}));
    EXPECT_EQ(services.pixel.count("Second"), 0u); // no object 2: nothing uploaded, said at every draw
    EXPECT_TRUE(log.contains("CTaEffectBindObject : Object index 2 not found "));
    // A draw that names no pass of the effect uploads nothing.
    record->pass = 3;
    CTaRecordingServices none;
    EXPECT_FALSE(effect->onSetShaderConstants(&none, 0, material, record));
    EXPECT_TRUE(none.pixel.empty());
    taFreeMaterialExt(handle);
    EXPECT_EQ(taMaterialExtOf(material), nullptr);
    effect->drop();
    map->drop();
}

} // namespace
