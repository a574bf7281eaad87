// The shader material renderer on OpenGL.
#include "driver/gl/TaGLShaderMaterialRenderer.h"

#include "core/TaLog.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cstdio>
#include <vector>

using namespace irr;

namespace {

GLuint compileStage(GLenum kind, const std::string& code, const char* stage, std::string& error)
{
    GLuint shader = glCreateShader(kind);
    const char* text = code.c_str();
    glShaderSource(shader, 1, &text, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE, length = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (ok)
        return shader;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(length > 0 ? length : 1, '\0');
    glGetShaderInfoLog(shader, static_cast<GLsizei>(log.size()), nullptr, &log[0]);
    error += std::string("the translated ") + stage + " shader does not compile: " + log.c_str() + "\n";
    glDeleteShader(shader);
    return 0;
}

// Every active uniform of a program by its GL name ("[0]" dropped from arrays).
std::map<std::string, CTaGLShaderMaterialRenderer::SUniform> activeUniforms(GLuint program)
{
    std::map<std::string, CTaGLShaderMaterialRenderer::SUniform> uniforms;
    GLint count = 0, longest = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    glGetProgramiv(program, GL_ACTIVE_UNIFORM_MAX_LENGTH, &longest);
    std::vector<char> name(longest > 0 ? longest + 1 : 2);
    for (GLint i = 0; i < count; ++i) {
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, i, static_cast<GLsizei>(name.size()), nullptr, &size, &type, name.data());
        std::string text = name.data();
        if (text.size() > 3 && text.compare(text.size() - 3, 3, "[0]") == 0)
            text.resize(text.size() - 3);
        CTaGLShaderMaterialRenderer::SUniform uniform;
        uniform.location = glGetUniformLocation(program, text.c_str());
        uniform.type = type;
        uniform.size = size;
        uniforms[text] = uniform;
    }
    return uniforms;
}

// Components of a GL uniform type and how it is set; 0 components for types this does not set.
struct STypeShape {
    int components;
    char kind; // 'f' float vector, 'm' matrix, 'i' int or bool, 'u' unsigned
};

STypeShape shapeOf(GLenum type)
{
    switch (type) {
    case GL_FLOAT: return {1, 'f'};
    case GL_FLOAT_VEC2: return {2, 'f'};
    case GL_FLOAT_VEC3: return {3, 'f'};
    case GL_FLOAT_VEC4: return {4, 'f'};
    case GL_FLOAT_MAT2: return {4, 'm'};
    case GL_FLOAT_MAT3: return {9, 'm'};
    case GL_FLOAT_MAT4: return {16, 'm'};
    case GL_FLOAT_MAT2x3: case GL_FLOAT_MAT3x2: return {6, 'm'};
    case GL_FLOAT_MAT2x4: case GL_FLOAT_MAT4x2: return {8, 'm'};
    case GL_FLOAT_MAT3x4: case GL_FLOAT_MAT4x3: return {12, 'm'};
    case GL_INT: case GL_BOOL: return {1, 'i'};
    case GL_INT_VEC2: case GL_BOOL_VEC2: return {2, 'i'};
    case GL_INT_VEC3: case GL_BOOL_VEC3: return {3, 'i'};
    case GL_INT_VEC4: case GL_BOOL_VEC4: return {4, 'i'};
    case GL_UNSIGNED_INT: return {1, 'u'};
    case GL_UNSIGNED_INT_VEC2: return {2, 'u'};
    case GL_UNSIGNED_INT_VEC3: return {3, 'u'};
    case GL_UNSIGNED_INT_VEC4: return {4, 'u'};
    default: return {0, 0};
    }
}

void uploadMatrix(GLenum type, GLint location, GLsizei count, const GLfloat* data)
{
    // With the row-major pragma the engine's matrices go up as they are (no transpose).
    switch (type) {
    case GL_FLOAT_MAT2: glUniformMatrix2fv(location, count, GL_FALSE, data); break;
    case GL_FLOAT_MAT3: glUniformMatrix3fv(location, count, GL_FALSE, data); break;
    case GL_FLOAT_MAT4: glUniformMatrix4fv(location, count, GL_FALSE, data); break;
    case GL_FLOAT_MAT2x3: glUniformMatrix2x3fv(location, count, GL_FALSE, data); break;
    case GL_FLOAT_MAT3x2: glUniformMatrix3x2fv(location, count, GL_FALSE, data); break;
    case GL_FLOAT_MAT2x4: glUniformMatrix2x4fv(location, count, GL_FALSE, data); break;
    case GL_FLOAT_MAT4x2: glUniformMatrix4x2fv(location, count, GL_FALSE, data); break;
    case GL_FLOAT_MAT3x4: glUniformMatrix3x4fv(location, count, GL_FALSE, data); break;
    case GL_FLOAT_MAT4x3: glUniformMatrix4x3fv(location, count, GL_FALSE, data); break;
    default: break;
    }
}

// Sets a constant from `count` values of any type, converting to what the program declares.
template <typename Value>
bool setConstant(const CTaGLShaderMaterialRenderer::UniformMap& uniforms, const char* name, const Value* values,
                 int count)
{
    if (!name || !values || count <= 0)
        return false;
    auto found = uniforms.find(name);
    if (found == uniforms.end() || found->second.location < 0)
        return false;
    const CTaGLShaderMaterialRenderer::SUniform& u = found->second;
    const STypeShape shape = shapeOf(u.type);
    if (shape.components == 0)
        return false;
    // Whole elements only, and never more than the program holds.
    GLsizei elements = count / shape.components;
    if (elements > u.size)
        elements = u.size;
    if (elements <= 0)
        return false;
    const size_t n = static_cast<size_t>(elements) * shape.components;
    if (shape.kind == 'f' || shape.kind == 'm') {
        std::vector<GLfloat> data(values, values + n);
        if (shape.kind == 'm') {
            uploadMatrix(u.type, u.location, elements, data.data());
            return true;
        }
        switch (shape.components) {
        case 1: glUniform1fv(u.location, elements, data.data()); break;
        case 2: glUniform2fv(u.location, elements, data.data()); break;
        case 3: glUniform3fv(u.location, elements, data.data()); break;
        default: glUniform4fv(u.location, elements, data.data()); break;
        }
    } else if (shape.kind == 'i') {
        std::vector<GLint> data(n);
        for (size_t i = 0; i < n; ++i)
            data[i] = static_cast<GLint>(values[i]);
        switch (shape.components) {
        case 1: glUniform1iv(u.location, elements, data.data()); break;
        case 2: glUniform2iv(u.location, elements, data.data()); break;
        case 3: glUniform3iv(u.location, elements, data.data()); break;
        default: glUniform4iv(u.location, elements, data.data()); break;
        }
    } else {
        // HLSL bools arrive as unsigned integers.
        std::vector<GLuint> data(n);
        for (size_t i = 0; i < n; ++i)
            data[i] = values[i] > 0 ? static_cast<GLuint>(values[i]) : 0u;
        switch (shape.components) {
        case 1: glUniform1uiv(u.location, elements, data.data()); break;
        case 2: glUniform2uiv(u.location, elements, data.data()); break;
        case 3: glUniform3uiv(u.location, elements, data.data()); break;
        default: glUniform4uiv(u.location, elements, data.data()); break;
        }
    }
    return true;
}

// The HLSL names of a stage's constants mapped to the program's uniforms.
CTaGLShaderMaterialRenderer::UniformMap mapConstants(
    const std::vector<STaShaderConstant>& constants,
    const std::map<std::string, CTaGLShaderMaterialRenderer::SUniform>& uniforms)
{
    CTaGLShaderMaterialRenderer::UniformMap map;
    for (const STaShaderConstant& constant : constants) {
        auto found = uniforms.find(constant.glName);
        if (found != uniforms.end())
            map[constant.hlslName] = found->second;
    }
    return map;
}

} // namespace

CTaGLShaderMaterialRenderer::CTaGLShaderMaterialRenderer(video::IVideoDriver* driver, ITaVideoDriverExt* driverExt,
                                                         video::IShaderConstantSetCallBack* callback,
                                                         video::IMaterialRenderer* bridge,
                                                         video::IMaterialRenderer* base, s32 userData)
    : m_driver(driver), m_driverExt(driverExt), m_callback(callback), m_bridge(bridge), m_base(base),
      m_userData(userData)
{
    if (m_callback)
        m_callback->grab();
    if (m_bridge)
        m_bridge->grab();
}

CTaGLShaderMaterialRenderer::~CTaGLShaderMaterialRenderer()
{
    if (m_program)
        glDeleteProgram(m_program);
    if (m_callback)
        m_callback->drop();
    if (m_bridge)
        m_bridge->drop();
}

bool CTaGLShaderMaterialRenderer::link(const STaShaderProgramDesc& desc, std::string& error)
{
    error.clear();
    GLuint vertex = compileStage(GL_VERTEX_SHADER, desc.vertexCode, "vertex", error);
    GLuint pixel = compileStage(GL_FRAGMENT_SHADER, desc.pixelCode, "pixel", error);
    if (!vertex || !pixel) {
        if (vertex)
            glDeleteShader(vertex);
        if (pixel)
            glDeleteShader(pixel);
        return false;
    }
    GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, pixel);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(pixel);
    GLint ok = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &ok);
    if (!ok) {
        GLint length = 0;
        glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
        std::string log(length > 0 ? length : 1, '\0');
        glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), nullptr, &log[0]);
        error = "the translated shaders do not link: " + std::string(log.c_str());
        glDeleteProgram(program);
        return false;
    }
    const auto uniforms = activeUniforms(program);
    // Samplers take the units the translation gave them, once: they never change.
    GLint previous = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &previous);
    glUseProgram(program);
    for (const auto* samplers : {&desc.vertexSamplers, &desc.pixelSamplers})
        for (const STaShaderSampler& sampler : *samplers) {
            const GLint location = glGetUniformLocation(program, sampler.glName.c_str());
            if (location >= 0)
                glUniform1i(location, sampler.unit);
        }
    glUseProgram(previous);
    if (m_program)
        glDeleteProgram(m_program);
    m_program = program;
    m_targetSizeLocation = glGetUniformLocation(program, "ta_TargetSize");
    m_vertexUniforms = mapConstants(desc.vertexConstants, uniforms);
    m_pixelUniforms = mapConstants(desc.pixelConstants, uniforms);
    return true;
}

std::string CTaGLShaderMaterialRenderer::describe() const
{
    std::string text;
    char line[512];
    const std::pair<const char*, const UniformMap*> stages[] = {{"Vertex Shader Constants\n", &m_vertexUniforms},
                                                               {"Pixel Shader Constants\n", &m_pixelUniforms}};
    for (const auto& stage : stages) {
        text += stage.first;
        for (const auto& item : *stage.second) {
            snprintf(line, sizeof(line), "Name='%s' RegisterIndex=%d RegisterCount=%d\n", item.first.c_str(),
                     item.second.location, item.second.size);
            text += line;
        }
    }
    return text;
}

void CTaGLShaderMaterialRenderer::OnSetMaterial(const video::SMaterial& material, const video::SMaterial& lastMaterial,
                                                bool, video::IMaterialRendererServices* services)
{
    m_driverServices = services;
    // The bridge sets the base type's states, the basic states and the texture layers 0 to 3, and
    // makes its own program current; this one replaces it.
    if (m_bridge)
        m_bridge->OnSetMaterial(material, lastMaterial, true, services);
    glUseProgram(m_program);
    if (m_callback)
        m_callback->OnSetMaterial(material);
}

bool CTaGLShaderMaterialRenderer::OnRender(video::IMaterialRendererServices*, video::E_VERTEX_TYPE)
{
    if (!m_program)
        return false;
    glUseProgram(m_program);
    // The pixel position needs the size of the target drawn to.
    if (m_targetSizeLocation >= 0) {
        const core::dimension2du size = m_driver->getCurrentRenderTargetSize();
        glUniform2f(m_targetSizeLocation, static_cast<GLfloat>(size.Width), static_cast<GLfloat>(size.Height));
    }
    if (m_callback)
        m_callback->OnSetConstants(this, m_userData);
    return true;
}

void CTaGLShaderMaterialRenderer::OnUnsetMaterial()
{
    if (m_bridge)
        m_bridge->OnUnsetMaterial();
    glUseProgram(0);
    if (m_driverExt)
        m_driverExt->restoreState();
}

bool CTaGLShaderMaterialRenderer::isTransparent() const
{
    return m_base && m_base->isTransparent();
}

void CTaGLShaderMaterialRenderer::setBasicRenderStates(const video::SMaterial& material,
                                                       const video::SMaterial& lastMaterial, bool resetAllRenderstates)
{
    if (m_driverServices)
        m_driverServices->setBasicRenderStates(material, lastMaterial, resetAllRenderstates);
}

bool CTaGLShaderMaterialRenderer::setVertexShaderConstant(const c8* name, const f32* floats, int count)
{
    return setConstant(m_vertexUniforms, name, floats, count);
}

bool CTaGLShaderMaterialRenderer::setVertexShaderConstant(const c8* name, const bool* bools, int count)
{
    return setConstant(m_vertexUniforms, name, bools, count);
}

bool CTaGLShaderMaterialRenderer::setVertexShaderConstant(const c8* name, const s32* ints, int count)
{
    return setConstant(m_vertexUniforms, name, ints, count);
}

bool CTaGLShaderMaterialRenderer::setPixelShaderConstant(const c8* name, const f32* floats, int count)
{
    return setConstant(m_pixelUniforms, name, floats, count);
}

bool CTaGLShaderMaterialRenderer::setPixelShaderConstant(const c8* name, const bool* bools, int count)
{
    return setConstant(m_pixelUniforms, name, bools, count);
}

bool CTaGLShaderMaterialRenderer::setPixelShaderConstant(const c8* name, const s32* ints, int count)
{
    return setConstant(m_pixelUniforms, name, ints, count);
}

void CTaGLShaderMaterialRenderer::registerConstantNotSupported()
{
    if (!m_warnedRegisters) {
        m_warnedRegisters = true;
        taPrint(ETALOG_WARN, "TaGPU: constants set by register number do not exist on OpenGL: set them by name");
    }
}

void CTaGLShaderMaterialRenderer::setVertexShaderConstant(const f32*, s32, s32)
{
    registerConstantNotSupported();
}

void CTaGLShaderMaterialRenderer::setPixelShaderConstant(const f32*, s32, s32)
{
    registerConstantNotSupported();
}
