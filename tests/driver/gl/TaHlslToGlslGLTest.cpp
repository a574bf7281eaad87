// The translated shaders compile and link on the OpenGL driver (run under Xvfb).
#include "driver/TaShaderTranslator.h"

#include <gtest/gtest.h>
#include <irrlicht.h>

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <string>

namespace {

const char* const kShader = R"(float4x4 WorldViewProj;
float4 Tint;
bool UseTint;
sampler2D Tex0 : register(s0);
struct VS_OUT { float4 pos : POSITION; float2 uv : TEXCOORD0; float4 col : COLOR0; };
VS_OUT vs_main(float3 pos : POSITION, float3 nrm : NORMAL, float2 uv : TEXCOORD0, float4 col : COLOR0) {
    VS_OUT o;
    o.pos = mul(float4(pos, 1), WorldViewProj);
    o.uv = uv;
    o.col = col + float4(nrm, 0);
    return o;
}
float4 ps_main(float2 uv : TEXCOORD0, float4 col : COLOR0, float2 vpos : VPOS) : COLOR0 {
    float4 c = tex2D(Tex0, uv) * col;
    if (UseTint) c *= Tint;
    return c * (fmod(vpos.x, 2.0) + 0.5);
}
)";

GLuint compileStage(GLenum kind, const std::string& code, std::string& log)
{
    GLuint shader = glCreateShader(kind);
    const char* text = code.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    char buffer[4096] = {};
    glGetShaderInfoLog(shader, sizeof(buffer), nullptr, buffer);
    log += buffer;
    return ok ? shader : 0;
}

TEST(TaHlslToGlslGLTest, TranslatedPairCompilesAndLinks)
{
    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_OPENGL;
    params.WindowSize = irr::core::dimension2d<irr::u32>(64, 64);
    params.LoggingLevel = irr::ELL_ERROR;
    irr::IrrlichtDevice* device = irr::createDeviceEx(params);
    ASSERT_NE(device, nullptr) << "no OpenGL device: run under xvfb-run";

    auto translator = taCreateHlslToGlslTranslator();
    STaShaderRequest request;
    request.source = kShader;
    request.fileName = "pair.hlsl";
    request.entryPoint = "vs_main";
    request.stage = ETASHADERSTAGE_VERTEX;
    const STaShaderTranslation vs = translator->translate(request);
    request.entryPoint = "ps_main";
    request.stage = ETASHADERSTAGE_PIXEL;
    const STaShaderTranslation ps = translator->translate(request);
    ASSERT_TRUE(vs.ok) << vs.error;
    ASSERT_TRUE(ps.ok) << ps.error;

    std::string log;
    const GLuint v = compileStage(GL_VERTEX_SHADER, vs.code, log);
    const GLuint f = compileStage(GL_FRAGMENT_SHADER, ps.code, log);
    ASSERT_NE(v, 0u) << log << "\n" << vs.code;
    ASSERT_NE(f, 0u) << log << "\n" << ps.code;
    const GLuint program = glCreateProgram();
    glAttachShader(program, v);
    glAttachShader(program, f);
    glLinkProgram(program);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    char buffer[4096] = {};
    glGetProgramInfoLog(program, sizeof(buffer), nullptr, buffer);
    ASSERT_TRUE(linked) << buffer;

    // The reflection's names are the names GL knows.
    for (const auto& c : vs.constants) {
        if (c.hlslName == "WorldViewProj") {
            EXPECT_GE(glGetUniformLocation(program, c.glName.c_str()), 0) << c.glName;
        }
    }
    for (const auto& c : ps.constants) {
        if (c.hlslName == "Tint" || c.hlslName == "UseTint") {
            EXPECT_GE(glGetUniformLocation(program, c.glName.c_str()), 0) << c.glName;
        }
    }
    ASSERT_EQ(ps.samplers.size(), 1u);
    EXPECT_GE(glGetUniformLocation(program, ps.samplers[0].glName.c_str()), 0);

    glDeleteProgram(program);
    glDeleteShader(v);
    glDeleteShader(f);
    device->closeDevice();
    device->run();
    device->drop();
}

} // namespace
