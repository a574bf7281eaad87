// Effect definitions: the Tarv shader format line by line, and COLLADA FX documents.
#include "effects/TaEffectDefCollada.h"
#include "effects/TaEffectDefTarv.h"
#include "effects/TaSemanticTable.h"

#include "TaTestSupport.h"

#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace {

// A definition and its error text, dropped at the end of the scope.
struct STaLoaded {
    CTaEffectDef* def = nullptr;
    const char* error = nullptr;
    ~STaLoaded()
    {
        if (def)
            def->drop();
    }
    const SEffectDesc& fx() const { return def->effect(); }
    const SParameter* param(const char* name) const { return def->getParameterByName(nullptr, name); }
    const SShader* shader(unsigned technique, unsigned index) const
    {
        return def->getShader(def->getPass(def->getTechnique(technique), 0), index);
    }
};

class TaEffectDefTest : public TaScratchTest
{
protected:
    // Loads `lines` as the declaration block of a Tarv shader, with the caller's macro names.
    void tarv(STaLoaded& out, const std::string& lines, std::vector<const char*> macros = {})
    {
        writeFile("effect.hlsl", "float4 x;\n/*\n[TARV_BEGIN]\n" + lines + "\n[TARV_END]\n//float4 After : 1\n*/\n");
        std::vector<STaFxMacro> list;
        for (const char* macro : macros)
            list.push_back(STaFxMacro{macro, "1"});
        list.push_back(STaFxMacro{nullptr, nullptr});
        CTaEffectDefLoaderTarv loader;
        out.def = static_cast<CTaEffectDef*>(loader.load(nullptr, "effect.hlsl", list.data(), false, &out.error));
    }

    void collada(STaLoaded& out, const std::string& document, bool isOpenGL = false)
    {
        writeFile("effect.dae", document);
        CTaEffectDefLoaderCollada loader;
        out.def = static_cast<CTaEffectDef*>(loader.load(nullptr, "effect.dae", nullptr, isOpenGL, &out.error));
    }
};

// The worked example of the format, field by field through the interface.
TEST_F(TaEffectDefTest, GlassExample)
{
    STaLoaded glass;
    tarv(glass, "//title Glass\n"
                "//config techniques : depth\n"
                "//config baseMaterial : transparent\n"
                "//float4x4 WVP : WorldViewProjection : vertex\n"
                "//float4 Tint : 1,1,1,0.5 : pixel color\n"
                "//texture 0 : Color : srgb trilinear");
    ASSERT_EQ(glass.error, nullptr);
    const ITaEffectDef& d = *glass.def;
    EXPECT_EQ(std::string(d.getFileName()), m_dir + "/effect.hlsl");
    const STaEffectInfo info = d.getDesc();
    EXPECT_STREQ(info.title, "Glass");
    EXPECT_EQ(info.techniques, 2u);
    EXPECT_EQ(info.parameters, 4u);
    EXPECT_EQ(d.getTechniqueByName(""), 0);
    EXPECT_EQ(d.getTechniqueByName("depth"), 1);
    EXPECT_EQ(d.getTechniqueByName("Depth"), -1);

    for (unsigned t = 0; t < 2; ++t) {
        const STechnique* technique = d.getTechnique(t);
        const SPass* pass = d.getPass(technique, 0);
        ASSERT_NE(pass, nullptr);
        EXPECT_EQ(d.getPassDesc(pass).shaders, 2u);
        EXPECT_STREQ(d.getString(d.getAnnotationByName(pass, "baseMaterial")), "transparent");
        const STaShaderDesc vs = d.getShaderDesc(d.getShader(pass, 0));
        const STaShaderDesc ps = d.getShaderDesc(d.getShader(pass, 1));
        EXPECT_EQ(vs.stage, ETASTAGE_VERTEX);
        EXPECT_STREQ(vs.entryPoint, "vs_main");
        EXPECT_EQ(vs.target, ETATARGET_VS_3_0);
        EXPECT_EQ(ps.stage, ETASTAGE_PIXEL);
        EXPECT_STREQ(ps.entryPoint, "ps_main");
        EXPECT_EQ(ps.target, ETATARGET_PS_3_0);
        EXPECT_EQ(std::string(vs.file), m_dir + "/effect.hlsl");
        ASSERT_EQ(vs.binds, 1u);
        ASSERT_EQ(ps.binds, 1u);
        EXPECT_EQ(d.getBindParameter(d.getShaderBind(d.getShader(pass, 0), 0)), glass.param("WVP"));
        EXPECT_EQ(d.getBindParameter(d.getShaderBind(d.getShader(pass, 1), 0)), glass.param("Tint"));
        const STaStateDesc state = d.getStateDesc(d.getState(pass, 0));
        EXPECT_STREQ(state.name, "texture2D");
        EXPECT_EQ(state.index, 0);
        EXPECT_EQ(d.getStateParameter(d.getState(pass, 0)), glass.param(t == 0 ? "Tex__0" : "Tex_depth_0"));
        EXPECT_EQ(vs.defines, t == 0 ? 0u : 2u);
    }
    const char* line = nullptr;
    ASSERT_TRUE(d.getShaderDefine(glass.shader(1, 1), 1, &line));
    EXPECT_STREQ(line, "#define USE_TECH_DEPTH");
    EXPECT_FALSE(d.getShaderDefine(glass.shader(1, 1), 2, &line));

    EXPECT_STREQ(d.getParameterDesc(glass.param("WVP")).semantic, "WorldViewProjectionTranspose");
    EXPECT_EQ(d.getParameterDesc(glass.param("WVP")).type, ETAFX_TYPE_FLOAT4X4);
    EXPECT_STREQ(d.getString(glass.param("Tint")), "1  1  1  0.5  ");
    EXPECT_STREQ(d.getString(d.getAnnotationByName(glass.param("Tint"), "UIWidget")), "Color");
    float tint[4];
    EXPECT_TRUE(d.getFloatArray(glass.param("Tint"), tint, 4));
    EXPECT_EQ(tint[3], 0.5f);
    float five[5];
    EXPECT_FALSE(d.getFloatArray(glass.param("Tint"), five, 5));
    EXPECT_EQ(five[4], 0.0f);
    for (const char* texture : {"Tex__0", "Tex_depth_0"}) {
        const SParameter* p = glass.param(texture);
        ASSERT_NE(p, nullptr) << texture;
        EXPECT_STREQ(p->semantic.c_str(), "LW_Tex_BaseColor");
        EXPECT_STREQ(d.getString(d.getAnnotationByName(p, "SRGB")), "true");
        const STaSamplerInfo sampler = d.getSamplerInfo(p);
        EXPECT_STREQ(sampler.minFilter, "LINEAR");
        EXPECT_STREQ(sampler.magFilter, "LINEAR");
        EXPECT_STREQ(sampler.mipFilter, "LINEAR");
    }
    EXPECT_EQ(d.getTextureParameterIndexBySemantic(nullptr, "LW_Tex_BaseColor"), 2);
    std::vector<const SParameter*> same;
    EXPECT_EQ(d.getParametersBySemantic(nullptr, "LW_Tex_BaseColor", same), 2u);
    EXPECT_EQ(d.getParameterIndex(glass.param("Tint")), 1);
    // The line after the end marker is not read.
    EXPECT_EQ(glass.param("After"), nullptr);
}

// Declaration lines, each checked for what it must (and must not) produce.
TEST_F(TaEffectDefTest, DeclarationLines)
{
    struct {
        const char* what;
        std::string lines;
        std::vector<const char*> macros;
        std::function<void(const STaLoaded&)> check;
    } cases[] = {
        {"separators and a spaced statement", "//----\n//====\n// float4 X : 1", {},
         [](const STaLoaded& l) { ASSERT_NE(l.param("X"), nullptr); EXPECT_EQ(l.fx().parameters.size(), 1u); }},
        {"unknown second field is a value", "//float4 M : MySemantic", {},
         [](const STaLoaded& l) { EXPECT_EQ(l.param("M")->value, "MySemantic  "); EXPECT_EQ(l.param("M")->semantic, ""); }},
        {"surface channel", "//float4 S : surface_diffuse\n//float R : Surface_Roughness", {},
         [](const STaLoaded& l) { EXPECT_EQ(l.param("S")->semantic, "LW_Diffuse"); EXPECT_EQ(l.param("R")->semantic, "LW_Roughness"); }},
        {"conditional on a macro that is set", "//TARV_PP:D:TEX_BUMP://texture 1 : Bump", {"USE_TEX_BUMP"},
         [](const STaLoaded& l) { ASSERT_NE(l.param("Tex__1"), nullptr); EXPECT_EQ(l.param("Tex__1")->semantic, "LW_Tex_Bump"); }},
        {"conditional on a macro that is not set", "//TARV_PP:D:TEX_BUMP://texture 1 : Bump", {},
         [](const STaLoaded& l) { EXPECT_EQ(l.param("Tex__1"), nullptr); }},
        {"negated conditional", "//TARV_PP:U:TEX_BUMP://float A : 1", {"TEX_BUMP"},
         [](const STaLoaded& l) { EXPECT_EQ(l.param("A"), nullptr); }},
        {"chained conditionals", "//TARV_PP:D:A://TARV_PP:U:B://float C : 1", {"A"},
         [](const STaLoaded& l) { EXPECT_NE(l.param("C"), nullptr); }},
        {"keywords in any case", "//CONFIG BaseMaterial : solid\n//Float4 F : 2", {},
         [](const STaLoaded& l) {
             EXPECT_NE(l.param("F"), nullptr);
             EXPECT_EQ(l.fx().techniques[0].passes[0].annotations.at(0).value, "solid");
         }},
        {"entry points", "//function vertexMain : vsFancy\n//function PIXELMAIN : psFancy\n//function other : x", {},
         [](const STaLoaded& l) { EXPECT_EQ(l.shader(0, 0)->entryPoint, "vsFancy"); EXPECT_EQ(l.shader(0, 1)->entryPoint, "psFancy"); }},
        {"header keywords", "//title  My title\n//subject Sub\n//comments A comment: with colon\n//cflag FANCY", {},
         [](const STaLoaded& l) {
             EXPECT_EQ(l.fx().title, "My title");
             EXPECT_EQ(l.fx().subject, "Sub");
             EXPECT_EQ(l.fx().comments, "A comment: with colon");
             ASSERT_EQ(l.fx().annotations.size(), 1u);
             EXPECT_EQ(l.fx().annotations[0].value, "USE_FANCY");
         }},
        {"technique configs", "//config render : post\n//config rendertarget : BackRTT[]\n//config tangents\n//config unknown : x", {},
         [](const STaLoaded& l) {
             const auto& a = l.fx().techniques[0].annotations;
             ASSERT_EQ(a.size(), 3u);
             EXPECT_EQ(a[0].name + "=" + a[0].value, "render=post");
             EXPECT_EQ(a[1].name + "=" + a[1].value, "rendertarget=BackRTT[]");
             EXPECT_EQ(a[2].name + "=" + a[2].value, "tangents=true");
         }},
        {"parameter placement", "//float A : 1 : pixel\n//float B : 1 : both\n//float C : 1 : vertex\n//float D : 1\n//float E : 1 : pixel vertex\n//float F : 1 : both vertex", {},
         [](const STaLoaded& l) {
             auto names = [](const SShader* s) { std::string out; for (auto& b : s->binds) out += b.name; return out; };
             EXPECT_EQ(names(l.shader(0, 0)), "BCDF");
             EXPECT_EQ(names(l.shader(0, 1)), "ABE");
         }},
        {"parameter annotations", "//float P : 1 : percent divider\n//float Q : 1 : color percent divafter", {},
         [](const STaLoaded& l) {
             EXPECT_EQ(l.param("P")->annotations.at(0).value, "Percent");
             EXPECT_EQ(l.param("P")->annotations.at(1).value, "before");
             EXPECT_EQ(l.param("Q")->annotations.at(0).value, "Color");
             EXPECT_EQ(l.param("Q")->annotations.at(1).value, "after");
         }},
        {"indexed texture does not advance the counter", "//texture 3\n//texture\n//texture", {},
         [](const STaLoaded& l) {
             const auto& states = l.fx().techniques[0].passes[0].states;
             ASSERT_EQ(states.size(), 3u);
             EXPECT_EQ(states[0].parameter, "Tex__3");
             EXPECT_EQ(states[1].index, 0);
             EXPECT_EQ(states[2].parameter, "Tex__1");
         }},
        {"named vertex texture", "//texture HeightMap : height.png : vertex clamp_v filterPoint noMipMap", {},
         [](const STaLoaded& l) {
             const SParameter* p = l.param("HeightMap");
             ASSERT_NE(p, nullptr);
             EXPECT_EQ(p->imageUrl, "height.png");
             EXPECT_EQ(p->wrapU + p->wrapV + p->wrapW, "REPEATCLAMPREPEAT");
             EXPECT_EQ(p->minFilter + p->magFilter + p->mipFilter, "NEARESTNEARESTNONE");
             EXPECT_EQ(l.shader(0, 0)->binds.at(0).name, "HeightMap");
             EXPECT_TRUE(l.fx().techniques[0].passes[0].states.empty());
         }},
        {"huge sampler index is clamped", "//texture 99999999999999999999", {},
         [](const STaLoaded& l) { EXPECT_EQ(l.fx().techniques[0].passes[0].states.at(0).index, 255); }},
        {"first declaration wins", "//config techniques : shadow\n//TARV_PP:U:TECH_SHADOW://float4 K : 1\n//TARV_PP:D:TECH_SHADOW://float4 K : 2", {},
         [](const STaLoaded& l) {
             EXPECT_EQ(l.param("K")->value, "1  ");
             EXPECT_EQ(l.shader(1, 0)->binds.at(0).name, "K");
         }},
        {"techniques named default", "//config techniques : default depth", {},
         [](const STaLoaded& l) {
             ASSERT_EQ(l.fx().techniques.size(), 3u);
             EXPECT_EQ(l.fx().techniques[1].name, "default");
             EXPECT_TRUE(l.shader(1, 0)->defines.empty());
         }},
        {"an over-long line is read whole", "//float4 Long : " + std::string(5000, '1'), {},
         [](const STaLoaded& l) { EXPECT_EQ(l.param("Long")->value.size(), 5002u); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        STaLoaded loaded;
        tarv(loaded, c.lines, c.macros);
        ASSERT_EQ(loaded.error, nullptr) << loaded.error;
        c.check(loaded);
    }
}

TEST_F(TaEffectDefTest, FilesWithoutABlock)
{
    for (const char* text : {"float4 x;\n", "// [tarv_begin]\n//float4 X : 1\n"}) {
        writeFile("plain.fx", text);
        CTaEffectDefLoaderTarv loader;
        STaLoaded l;
        l.def = static_cast<CTaEffectDef*>(loader.load(nullptr, "plain.fx", nullptr, false, &l.error));
        ASSERT_EQ(l.error, nullptr);
        ASSERT_EQ(l.fx().techniques.size(), 1u);
        EXPECT_EQ(l.fx().techniques[0].name, "");
        EXPECT_EQ(l.shader(0, 0)->entryPoint, "vs_main");
        EXPECT_EQ(l.shader(0, 1)->entryPoint, "ps_main");
        EXPECT_TRUE(l.fx().parameters.empty());
    }
}

TEST_F(TaEffectDefTest, TechniqueDefines)
{
    struct { const char* technique; std::vector<std::string> defines; } cases[] = {
        {"depth", {"#define USE_TECH_NDFLT", "#define USE_TECH_DEPTH"}},
        {"shadow", {"#define USE_TECH_NDFLT", "#define USE_TECH_SHADOW"}},
        {"reflection", {"#define USE_TECH_NDFLT", "#define USE_TECH_REFLECT"}},
        {"glow", {"#define USE_TECH_NDFLT"}},
        {"default", {}},
    };
    for (const auto& c : cases) {
        STaLoaded l;
        // Each technique's own macros also steer the conditional lines of its parse.
        tarv(l, std::string("//config techniques : ") + c.technique + "\n//TARV_PP:D:TECH_NDFLT://float4 Only : 1");
        ASSERT_EQ(l.error, nullptr);
        EXPECT_EQ(l.shader(1, 0)->defines, c.defines) << c.technique;
        EXPECT_EQ(l.shader(1, 1)->defines, c.defines) << c.technique;
        EXPECT_EQ(l.param("Only") != nullptr, !c.defines.empty()) << c.technique;
    }
}

TEST_F(TaEffectDefTest, SemanticAliases)
{
    EXPECT_EQ(taSemanticTableSize, 146u);
    struct { const char* name; const char* binding; } cases[] = {
        {"Time0_X", "TimeScene"}, {"time_0_x", "TimeScene"}, {"Fps", "Fps"},
        {"Projection", "ProjectionTranspose"}, {"ProjectionTranspose", "ViewProjection"},
        {"ViewTranspose", "ViewInverse"}, {"PrevProjectionTranspose", "PrevViewProjection"},
        {"PrevViewTranspose", "PrevViewInverse"}, {"World", "WorldTranspose"}, {"WorldTranspose", "World"},
        {"LightAmbient1", "LightAmbient"}, {"ParticleTimeNow", "Time"}, {"ParticleGradSizeNum", "LWHV_SizeNumKeys"},
        {"ObjectInvTrans7", "ObjectInvTrans7"}, {"LightDir4", "LightDir4"}, {"Texture[7].Size", "Texture[7].Size"},
        {"SURFACE_REFLECTIONMAXMIP", "LW_ReflectionMaxMip"},
    };
    std::string lines;
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
        lines += "//float4x4 P" + std::to_string(i) + " : " + cases[i].name + "\n";
    STaLoaded l;
    tarv(l, lines);
    ASSERT_EQ(l.error, nullptr);
    for (size_t i = 0; i < sizeof(cases) / sizeof(cases[0]); ++i)
        EXPECT_EQ(l.param(("P" + std::to_string(i)).c_str())->semantic, cases[i].binding) << cases[i].name;
    // LightDir5 and ObjectPos8 are not in the table: default values instead.
    STaLoaded outside;
    tarv(outside, "//float4 A : LightDir5\n//float4 B : ObjectPos8");
    EXPECT_EQ(outside.param("A")->value, "LightDir5  ");
    EXPECT_EQ(outside.param("B")->semantic, "");
}

TEST_F(TaEffectDefTest, TextureFlags)
{
    struct { const char* flags; std::function<void(const SParameter&, const STaLoaded&)> check; } cases[] = {
        {"cube", [](const SParameter& p, const STaLoaded& l) {
             EXPECT_EQ(p.type, ETAFX_TYPE_TEXTURECUBE);
             EXPECT_EQ(l.fx().techniques[0].passes[0].states[0].name, "textureCUBE");
         }},
        {"3d", [](const SParameter& p, const STaLoaded&) { EXPECT_EQ(p.type, ETAFX_TYPE_TEXTURE3D); }},
        {"cube 3d", [](const SParameter& p, const STaLoaded&) { EXPECT_EQ(p.type, ETAFX_TYPE_TEXTURECUBE); }},
        {"preset", [](const SParameter& p, const STaLoaded&) { EXPECT_EQ(p.semantic, "Color"); EXPECT_EQ(p.imageUrl, ""); }},
        {"repeat clamp", [](const SParameter& p, const STaLoaded&) { EXPECT_EQ(p.wrapV, "CLAMP"); }},
        {"clamp_to_edge", [](const SParameter& p, const STaLoaded&) { EXPECT_EQ(p.wrapW, "CLAMP_TO_EDGE"); }},
        {"clamp_to_edge_v clamp", [](const SParameter& p, const STaLoaded&) { EXPECT_EQ(p.wrapU + p.wrapV, "REPEATCLAMP_TO_EDGE"); }},
        {"noMipMap trilinear", [](const SParameter& p, const STaLoaded&) { EXPECT_EQ(p.mipFilter, "LINEAR"); }},
        {"R32F LINEAR", [](const SParameter& p, const STaLoaded&) {
             ASSERT_EQ(p.annotations.size(), 2u);
             EXPECT_EQ(p.annotations[0].name + "=" + p.annotations[0].value, "format=r32f");
             EXPECT_EQ(p.annotations[1].name + "=" + p.annotations[1].value, "SRGB=false");
         }},
        {"image divider", [](const SParameter& p, const STaLoaded&) {
             EXPECT_EQ(p.annotations.at(0).value, "Image");
             EXPECT_EQ(p.annotations.at(1).value, "before");
         }},
        {"imageref divafter nonsense", [](const SParameter& p, const STaLoaded&) {
             EXPECT_EQ(p.annotations.at(0).value, "ImageRef");
             EXPECT_EQ(p.annotations.at(1).value, "after");
         }},
    };
    for (const auto& c : cases) {
        STaLoaded l;
        tarv(l, std::string("//texture 0 : Color : ") + c.flags);
        ASSERT_EQ(l.error, nullptr) << c.flags;
        ASSERT_NE(l.param("Tex__0"), nullptr) << c.flags;
        SCOPED_TRACE(c.flags);
        c.check(*l.param("Tex__0"), l);
    }
}

TEST_F(TaEffectDefTest, ErrorTexts)
{
    struct { const char* line; const char* error; } cases[] = {
        {"//function", "entry point has 1 tokens0 less than 2"},
        {"//function vertexMain", "entry point has 0 tokens less than 1"},
        {"//config", "config has 1 tokens0 less than 2"},
        {"//float4", "param line has 1 tokens0 less than 2"},
        {"//float4 X", "param line has 0 tokens less than 1"},
        {"//config render", "Unknown error in Tarv shader"},
    };
    for (const auto& c : cases) {
        STaLoaded l;
        tarv(l, std::string("//float4 Before : 1\n") + c.line + "\n//float4 Later : 1");
        ASSERT_NE(l.error, nullptr) << c.line;
        EXPECT_STREQ(l.error, c.error);
        // What was read before the failing line stays; nothing after it is read.
        EXPECT_NE(l.param("Before"), nullptr);
        EXPECT_EQ(l.param("Later"), nullptr);
    }
    CTaEffectDefLoaderTarv loader;
    STaLoaded missing;
    missing.def = static_cast<CTaEffectDef*>(loader.load(nullptr, "missing.hlsl", nullptr, false, &missing.error));
    EXPECT_STREQ(missing.error, "Cannot open file");
    EXPECT_TRUE(loader.canLoad("a.HLSL"));
    EXPECT_TRUE(loader.canLoad("dir.dae/a.fx"));
    EXPECT_FALSE(loader.canLoad("a.dae"));
    EXPECT_FALSE(loader.canLoad("hlsl"));
    EXPECT_TRUE(loader.usesMacros());
}

// --- COLLADA ---
const char* const kColladaDocument = R"(<?xml version="1.0" encoding="utf-8"?>
<COLLADA xmlns="http://www.collada.org/2008/03/COLLADASchema" version="1.5.0">
  <asset><created>today</created></asset>
  <library_geometries><geometry id="g"/></library_geometries>
  <library_effects>
    <effect id="fx1" name="Metal">
      <asset>
        <title>Metal</title>
        <subject>Shiny</subject>
        <contributor><author>me</author><comments>  made by hand  </comments></contributor>
      </asset>
      <annotate name="Version"><string>2</string></annotate>
      <newparam sid="WVP"><semantic>WorldViewProjection</semantic><float4x4>1 0 0 0 0 1 0 0 0 0 1 0 0 0 0 1</float4x4></newparam>
      <newparam sid="Tint">
        <float3>
          0 0.5 1
        </float3>
        <annotate name="UIWidget"><string>Color</string></annotate>
      </newparam>
      <newparam sid="Tex0">
        <sampler2D>
          <instance_image url="#wood"/>
          <wrap_s>WRAP</wrap_s><wrap_t>CLAMP</wrap_t><wrap_p>MIRROR</wrap_p>
          <minfilter>LINEAR</minfilter><magfilter>NEAREST</magfilter><mipfilter>NONE</mipfilter>
        </sampler2D>
      </newparam>
      <profile_GLSL>
        <technique sid="glsl"><pass sid="p"/></technique>
      </profile_GLSL>
      <profile_CG>
        <include sid="main" url="metal.hlsl"/>
        <technique sid="t0">
          <annotate name="render"><string>post</string></annotate>
          <pass sid="p0">
            <states>
              <blend_enable value="true"/>
              <blend_func><src value="SRC_ALPHA"/><dest value="ONE_MINUS_SRC_ALPHA"/></blend_func>
              <texture2D index="1.9"><param>Tex0</param></texture2D>
              <cull_face value="BACK" index="nan"/>
            </states>
            <evaluate>
              <color_target index="1"><param ref="Tex0"/></color_target>
              <color_clear index="0">0 0 0 1</color_clear>
              <depth_target><instance_image url="#depth"/></depth_target>
              <draw>SCENE_GEOMETRY</draw>
            </evaluate>
            <program>
              <shader stage="VERTEX">
                <sources entry="vsMetal"><inline>#define FANCY 1</inline><import ref="main"/></sources>
                <compiler target="vs_3_0"/>
                <bind_uniform symbol="g_WVP"><param ref="WVP"/></bind_uniform>
              </shader>
              <shader stage="FRAGMENT">
                <sources entry="psMetal"><import ref="elsewhere.hlsl"/></sources>
                <compiler target="ps_9_9"/>
                <bind_uniform symbol="g_Tint"><param ref="Tint"/></bind_uniform>
              </shader>
            </program>
            <mystery><deeper><deepest/></deeper></mystery>
          </pass>
        </technique>
      </profile_CG>
    </effect>
  </library_effects>
  <library_visual_scenes/>
</COLLADA>
)";

TEST_F(TaEffectDefTest, ColladaDocument)
{
    STaLoaded l;
    testing::internal::CaptureStdout();
    collada(l, kColladaDocument);
    const std::string printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(l.error, nullptr);
    const ITaEffectDef& d = *l.def;
    const SEffectDesc& fx = l.fx();
    EXPECT_EQ(fx.id, "fx1");
    EXPECT_EQ(fx.name, "Metal");
    EXPECT_EQ(fx.title, "Metal");
    EXPECT_EQ(fx.subject, "Shiny");
    EXPECT_EQ(fx.comments, "made by hand");
    EXPECT_STREQ(d.getString(d.getAnnotationByName(nullptr, "Version")), "2");
    ASSERT_EQ(fx.parameters.size(), 3u);
    EXPECT_EQ(l.param("WVP")->semantic, "WorldViewProjection");
    EXPECT_EQ(d.getMatrix(l.param("WVP"))[5], 1.0f);
    EXPECT_EQ(l.param("Tint")->type, ETAFX_TYPE_FLOAT3);
    EXPECT_EQ(l.param("Tint")->value, "0 0.5 1");
    EXPECT_EQ(l.param("Tint")->annotations.at(0).value, "Color");
    const STaSamplerInfo sampler = d.getSamplerInfo(l.param("Tex0"));
    EXPECT_EQ(l.param("Tex0")->type, ETAFX_TYPE_TEXTURE2D);
    EXPECT_STREQ(sampler.imageUrl, "#wood");
    EXPECT_EQ(std::string(sampler.wrapU) + sampler.wrapV + sampler.wrapW, "WRAPCLAMPMIRROR");
    EXPECT_EQ(std::string(sampler.minFilter) + sampler.magFilter + sampler.mipFilter, "LINEARNEARESTNONE");

    // Only profile_CG is read, and the GLSL profile is skipped without a word.
    ASSERT_EQ(fx.techniques.size(), 1u);
    EXPECT_EQ(fx.techniques[0].name, "t0");
    EXPECT_EQ(printed.find("profile_GLSL"), std::string::npos);
    EXPECT_STREQ(d.getString(d.getAnnotationByName(d.getTechnique(0), "render")), "post");
    const SPass& pass = fx.techniques[0].passes.at(0);
    EXPECT_EQ(pass.name, "p0");
    ASSERT_EQ(pass.states.size(), 5u);
    EXPECT_EQ(pass.states[0].name + "=" + pass.states[0].value, "blend_enable=true");
    EXPECT_EQ(pass.states[1].name + "=" + pass.states[1].value, "blend_func src=SRC_ALPHA");
    EXPECT_EQ(pass.states[2].name + "=" + pass.states[2].value, "blend_func dest=ONE_MINUS_SRC_ALPHA");
    EXPECT_EQ(pass.states[3].name, "texture2D");
    EXPECT_EQ(pass.states[3].index, 1);
    EXPECT_EQ(pass.states[3].parameter, "Tex0");
    EXPECT_EQ(d.getStateParameter(&pass.states[3]), l.param("Tex0"));
    EXPECT_EQ(pass.states[4].index, 0); // NaN reads 0
    EXPECT_EQ(d.getStateByName(&pass, "blend_func"), nullptr);

    ASSERT_EQ(pass.evaluates.size(), 4u);
    EXPECT_EQ(pass.evaluates[0].name + "/" + std::to_string(pass.evaluates[0].index) + "/" + pass.evaluates[0].value, "color_target/1/Tex0");
    EXPECT_EQ(d.getEvaluateParameter(&pass.evaluates[0]), l.param("Tex0"));
    EXPECT_EQ(pass.evaluates[1].value, "0 0 0 1");
    EXPECT_EQ(pass.evaluates[2].image, "#depth");
    EXPECT_EQ(d.getEvaluateParameter(&pass.evaluates[2]), nullptr);
    EXPECT_EQ(pass.evaluates[3].name + "=" + pass.evaluates[3].value, "draw=SCENE_GEOMETRY");

    ASSERT_EQ(pass.shaders.size(), 2u);
    const SShader& vs = pass.shaders[0];
    EXPECT_EQ(vs.stage, ETASTAGE_VERTEX);
    EXPECT_EQ(vs.entryPoint, "vsMetal");
    EXPECT_EQ(vs.file, "metal.hlsl");
    EXPECT_EQ(vs.target, ETATARGET_VS_3_0);
    EXPECT_EQ(vs.defines, std::vector<std::string>{"#define FANCY 1"});
    EXPECT_EQ(vs.binds.at(0).name + "<-" + vs.binds.at(0).value, "g_WVP<-WVP");
    const SShader& ps = pass.shaders[1];
    EXPECT_EQ(ps.stage, ETASTAGE_PIXEL);
    EXPECT_EQ(ps.file, "elsewhere.hlsl");
    EXPECT_EQ(ps.target, ETATARGET_NONE);
    EXPECT_EQ(d.getBindParameter(&ps.binds.at(0)), l.param("Tint"));

    // Messages: the missing include, the wrong tag inside COLLADA, the unknown element once.
    EXPECT_NE(printed.find("COLLADA Warning missing include reference for source ref 'elsewhere.hlsl'\n"), std::string::npos);
    EXPECT_NE(printed.find("COLLADA loader warning: Wrong tag usage found library_geometries\n"), std::string::npos);
    EXPECT_NE(printed.find("COLLADA skipping section mystery\n"), std::string::npos);
    EXPECT_EQ(printed.find("deeper"), std::string::npos);
    EXPECT_EQ(printed.find("asset"), std::string::npos) << printed;
}

TEST_F(TaEffectDefTest, ColladaGlslProfile)
{
    const std::string document = R"(<COLLADA><library_effects><effect id="e">
      <profile_CG><technique sid="cg"/></profile_CG>
      <profile_GLSL><technique sid="gl"><pass sid="p"><program>
        <bind_uniform symbol="early"><param ref="A"/></bind_uniform>
        <shader stage="VERTEX"><sources entry="v"/></shader>
        <shader stage="FRAGMENT"><sources entry="f"/><bind_uniform symbol="inside"><param ref="B"/></bind_uniform></shader>
        <shader stage="GEOMETRY"/>
        <bind_uniform symbol="late"><param ref="C"/></bind_uniform>
      </program></pass></technique></profile_GLSL>
    </effect></library_effects></COLLADA>)";
    STaLoaded l;
    testing::internal::CaptureStdout();
    collada(l, document, true);
    testing::internal::GetCapturedStdout();
    ASSERT_EQ(l.fx().techniques.size(), 1u);
    EXPECT_EQ(l.fx().techniques[0].name, "gl");
    const auto& shaders = l.fx().techniques[0].passes.at(0).shaders;
    ASSERT_EQ(shaders.size(), 3u);
    EXPECT_EQ(shaders[0].target, ETATARGET_VS_2_0);
    EXPECT_EQ(shaders[1].target, ETATARGET_PS_2_0);
    EXPECT_EQ(shaders[2].target, ETATARGET_NONE);
    // Program-level binds go to the first pixel shader read so far; earlier ones are dropped.
    ASSERT_EQ(shaders[1].binds.size(), 1u);
    EXPECT_EQ(shaders[1].binds[0].name, "late");
    EXPECT_TRUE(shaders[0].binds.empty());
}

// Whatever the document holds, the load ends, and a missing file is the only failure.
TEST_F(TaEffectDefTest, ColladaOddDocuments)
{
    const std::string full = kColladaDocument;
    struct { const char* what; std::string document; size_t techniques; } cases[] = {
        {"cut in the middle of a pass", full.substr(0, full.find("<evaluate>") + 20), 0},
        {"cut in the middle of a tag", full.substr(0, full.find("<technique") + 6), 0},
        {"not COLLADA", "<scene><effect/></scene>", 0},
        {"no XML at all", "just text, no tags", 0},
        {"empty", "", 0},
        {"unknown elements everywhere",
         "<COLLADA><x/><library_effects><y><z/></y><effect><w/><profile_CG><technique sid='t'><v/></technique></profile_CG></effect></library_effects></COLLADA>",
         1},
        {"empty blend_func with a value", "<COLLADA><library_effects><effect><profile_CG><technique><pass><states><blend_func value='ADD'/></states></pass></technique></profile_CG></effect></library_effects></COLLADA>", 1},
        {"huge index", "<COLLADA><library_effects><effect><profile_CG><technique><pass><states><texture2D index='1e30'/></states></pass></technique></profile_CG></effect></library_effects></COLLADA>", 1},
    };
    for (const auto& c : cases) {
        STaLoaded l;
        testing::internal::CaptureStdout();
        collada(l, c.document);
        testing::internal::GetCapturedStdout();
        EXPECT_EQ(l.error, nullptr) << c.what;
        EXPECT_EQ(l.fx().techniques.size(), c.techniques) << c.what;
    }
    STaLoaded blend;
    testing::internal::CaptureStdout();
    collada(blend, cases[6].document);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(blend.fx().techniques[0].passes[0].states.at(0).name + "=" + blend.fx().techniques[0].passes[0].states[0].value, "blend_func=ADD");
    STaLoaded huge;
    testing::internal::CaptureStdout();
    collada(huge, cases[7].document);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(huge.fx().techniques[0].passes[0].states.at(0).index, INT_MAX);

    CTaEffectDefLoaderCollada loader;
    STaLoaded missing;
    missing.def = static_cast<CTaEffectDef*>(loader.load(nullptr, "missing.dae", nullptr, false, &missing.error));
    EXPECT_STREQ(missing.error, "File Not Found");
    struct { const char* name; bool accepted; } names[] = {{"effect.DAE", true}, {"effect.xml", true}, {"effect.fx", false}};
    for (const auto& n : names)
        EXPECT_EQ(loader.canLoad(n.name), n.accepted) << n.name;
    EXPECT_FALSE(loader.usesMacros());
}

} // namespace
