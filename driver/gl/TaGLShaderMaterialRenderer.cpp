// The shader material renderer on OpenGL.
#include "driver/gl/TaGLShaderMaterialRenderer.h"

#include "core/TaLog.h"
#include "driver/TaMaterialExt.h"
#include "driver/TaTexture.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cstdio>
#include <type_traits>
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
        const STypeShape shape = shapeOf(type);
        uniform.components = shape.components;
        uniform.kind = shape.kind;
        uniforms[text] = uniform;
    }
    return uniforms;
}

// Components of a GL uniform type and how it is set; 0 components for types this does not set.
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
bool upload(const CTaGLShaderMaterialRenderer::SUniform& u, const Value* values, int count)
{
    if (u.location < 0 || !values || count <= 0)
        return false;
    const STypeShape shape{u.components, u.kind};
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
        // Floats go up as they are; other values through a converted copy.
        std::vector<GLfloat> copy;
        const GLfloat* data;
        if constexpr (std::is_same<Value, GLfloat>::value) {
            data = values;
        } else {
            copy.assign(values, values + n);
            data = copy.data();
        }
        if (shape.kind == 'm') {
            uploadMatrix(u.type, u.location, elements, data);
            return true;
        }
        switch (shape.components) {
        case 1: glUniform1fv(u.location, elements, data); break;
        case 2: glUniform2fv(u.location, elements, data); break;
        case 3: glUniform3fv(u.location, elements, data); break;
        default: glUniform4fv(u.location, elements, data); break;
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

template <typename Value>
bool setByName(const CTaGLShaderMaterialRenderer::UniformMap& uniforms, const char* name, const Value* values,
                 int count)
{
    if (!name)
        return false;
    auto found = uniforms.find(name);
    return found != uniforms.end() && upload(found->second, values, count);
}

// The HLSL names of a stage's constants mapped to the program's uniforms.
CTaGLShaderMaterialRenderer::UniformMap mapConstants(
    const std::vector<STaShaderConstant>& constants,
    const std::map<std::string, CTaGLShaderMaterialRenderer::SUniform>& uniforms)
{
    CTaGLShaderMaterialRenderer::UniformMap map;
    std::vector<std::string> blocks;
    for (const STaShaderConstant& constant : constants) {
        auto found = uniforms.find(constant.glName);
        if (found != uniforms.end())
            map[constant.hlslName] = found->second;
        // The stage's globals live in a block ("psG.Tint"); members of structs and arrays of
        // structs are uniforms of their own below it ("psG.LightParams[1].LightColor").
        const size_t dot = constant.glName.find('.');
        if (dot != std::string::npos) {
            const std::string block = constant.glName.substr(0, dot + 1);
            if (std::find(blocks.begin(), blocks.end(), block) == blocks.end())
                blocks.push_back(block);
        }
    }
    for (const auto& uniform : uniforms)
        for (const std::string& block : blocks)
            if (uniform.first.compare(0, block.size(), block) == 0)
                map.emplace(uniform.first.substr(block.size()), uniform.second);
    return map;
}

// GL wrap mode of an Irrlicht texture clamp mode.
GLint wrapMode(u8 clamp)
{
    switch (clamp) {
    case video::ETC_CLAMP: return GL_CLAMP_TO_EDGE;
    case video::ETC_CLAMP_TO_EDGE: return GL_CLAMP_TO_EDGE;
    case video::ETC_CLAMP_TO_BORDER: return GL_CLAMP_TO_BORDER;
    case video::ETC_MIRROR: return GL_MIRRORED_REPEAT;
    case video::ETC_MIRROR_CLAMP:
    case video::ETC_MIRROR_CLAMP_TO_EDGE:
    case video::ETC_MIRROR_CLAMP_TO_BORDER: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
    }
}

// The first unit of the spare units that take 2D textures of samplers 0 to 3 that Irrlicht does
// not bind.
constexpr int kSpareUnit = 12;

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
    for (auto& entry : m_samplerObjects)
        glDeleteSamplers(1, &entry.second);
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
    std::vector<SSampler> samplers;
    for (const auto* stage : {&desc.vertexSamplers, &desc.pixelSamplers})
        for (const STaShaderSampler& sampler : *stage) {
            const GLint location = glGetUniformLocation(program, sampler.glName.c_str());
            if (location < 0)
                continue;
            glUniform1i(location, sampler.unit);
            SSampler entry;
            entry.location = location;
            entry.unit = entry.boundUnit = sampler.unit;
            entry.dimensions = sampler.dimensions;
            samplers.push_back(entry);
        }
    // The program that was current may have been deleted since (a relinked or dropped renderer's):
    // its name is gone, and binding it again would leave an error for the next frame copy.
    glUseProgram(previous > 0 && glIsProgram(GLuint(previous)) ? GLuint(previous) : 0);
    m_samplers = samplers;
    if (m_program)
        glDeleteProgram(m_program);
    m_program = program;
    m_targetSizeLocation = glGetUniformLocation(program, "ta_TargetSize");
    m_vertexUniforms = mapConstants(desc.vertexConstants, uniforms);
    m_pixelUniforms = mapConstants(desc.pixelConstants, uniforms);
    // Handles given out before keep their names; their locations are the new program's.
    for (SHandle& handle : m_handles) {
        const UniformMap& map = handle.pixel ? m_pixelUniforms : m_vertexUniforms;
        auto found = map.find(handle.name);
        handle.uniform = found != map.end() ? found->second : SUniform();
    }
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
    // Irrlicht's one-texture-blend base turns on an alpha test (alpha > 0) with its blending; an
    // effect pass that blends with it (ONE/ONE, say) wants every fragment, whatever its alpha.
    if (m_base && m_base == m_driver->getMaterialRenderer(video::EMT_ONETEXTURE_BLEND))
        glDisable(GL_ALPHA_TEST);
    glUseProgram(m_program);
    bindLayers(material);
    if (m_callback)
        m_callback->OnSetMaterial(material);
}

bool CTaGLShaderMaterialRenderer::OnRender(video::IMaterialRendererServices*, video::E_VERTEX_TYPE)
{
    if (!m_program)
        return false;
    glUseProgram(m_program);
    if (m_driverExt)
        m_driverExt->reapplyRawStates();
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
    unbindLayers();
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
    return setByName(m_vertexUniforms, name, floats, count);
}

bool CTaGLShaderMaterialRenderer::setVertexShaderConstant(const c8* name, const bool* bools, int count)
{
    return setByName(m_vertexUniforms, name, bools, count);
}

bool CTaGLShaderMaterialRenderer::setVertexShaderConstant(const c8* name, const s32* ints, int count)
{
    return setByName(m_vertexUniforms, name, ints, count);
}

bool CTaGLShaderMaterialRenderer::setPixelShaderConstant(const c8* name, const f32* floats, int count)
{
    return setByName(m_pixelUniforms, name, floats, count);
}

bool CTaGLShaderMaterialRenderer::setPixelShaderConstant(const c8* name, const bool* bools, int count)
{
    return setByName(m_pixelUniforms, name, bools, count);
}

bool CTaGLShaderMaterialRenderer::setPixelShaderConstant(const c8* name, const s32* ints, int count)
{
    return setByName(m_pixelUniforms, name, ints, count);
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

int CTaGLShaderMaterialRenderer::constantHandle(bool pixelStage, const char* name)
{
    if (!name)
        return -1;
    for (size_t i = 0; i < m_handles.size(); ++i)
        if (m_handles[i].pixel == pixelStage && m_handles[i].name == name)
            return m_handles[i].uniform.location >= 0 ? static_cast<int>(i) : -1;
    const UniformMap& map = pixelStage ? m_pixelUniforms : m_vertexUniforms;
    auto found = map.find(name);
    if (found == map.end())
        return -1;
    m_handles.push_back({pixelStage, name, found->second});
    return static_cast<int>(m_handles.size() - 1);
}

void CTaGLShaderMaterialRenderer::setConstant(int handle, const f32* values, int count)
{
    if (handle >= 0 && static_cast<size_t>(handle) < m_handles.size())
        upload(m_handles[handle].uniform, values, count);
}

unsigned CTaGLShaderMaterialRenderer::samplerObject(const STaTextureLayer& layer, bool mipMapped)
{
    const unsigned key = unsigned(layer.wrapU) | unsigned(layer.wrapV) << 4 | unsigned(layer.bilinear) << 8 |
                         unsigned(layer.trilinear) << 9 | unsigned(mipMapped) << 10 | unsigned(layer.anisotropy) << 16;
    auto found = m_samplerObjects.find(key);
    if (found != m_samplerObjects.end())
        return found->second;
    GLuint sampler = 0;
    glGenSamplers(1, &sampler);
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, wrapMode(layer.wrapU));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, wrapMode(layer.wrapV));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, wrapMode(layer.wrapV));
    const GLint magnify = layer.bilinear || layer.trilinear ? GL_LINEAR : GL_NEAREST;
    GLint minify = magnify;
    if (mipMapped)
        minify = layer.trilinear ? GL_LINEAR_MIPMAP_LINEAR : layer.bilinear ? GL_LINEAR_MIPMAP_NEAREST
                                                                            : GL_NEAREST_MIPMAP_NEAREST;
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, magnify);
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, minify);
    if (layer.anisotropy > 1) {
        GLfloat most = 1.0f;
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &most);
        if (glGetError() == GL_NO_ERROR)
            glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, std::min<GLfloat>(layer.anisotropy, most));
    }
    m_samplerObjects[key] = sampler;
    return sampler;
}

void CTaGLShaderMaterialRenderer::bindLayers(const video::SMaterial& material)
{
    STaMaterialExt* record = taMaterialExtOf(material);
    for (SSampler& sampler : m_samplers) {
        const bool vertexLayer = sampler.unit >= TA_VERTEX_TEXTURE_UNIT;
        const int index = vertexLayer ? sampler.unit - TA_VERTEX_TEXTURE_UNIT : sampler.unit;
        const STaTextureLayer* layer = nullptr;
        if (record && index >= 0 && index < (vertexLayer ? TA_MATERIAL_VERTEX_LAYERS : TA_MATERIAL_LAYERS))
            layer = vertexLayer ? &record->vertexLayers[index] : &record->layers[index];
        int unit = sampler.unit;
        if (layer && layer->texture) {
            auto* own = dynamic_cast<CTaTexture*>(layer->texture);
            const bool byIrrlicht = !own && !layer->srgb && sampler.unit < static_cast<int>(video::MATERIAL_MAX_TEXTURES) &&
                                    material.TextureLayer[sampler.unit].Texture == layer->texture;
            if (!byIrrlicht) {
                const bool flat = !own || own->getKind() == ETATEXKIND_2D;
                if (flat && unit < static_cast<int>(video::MATERIAL_MAX_TEXTURES))
                    unit = kSpareUnit + unit;
                // Inside a draw only textures prepared before can be bound (learning an Irrlicht
                // texture's GL object takes a draw of its own).
                if (m_driverExt && m_driverExt->texturePrepared(layer->texture, layer->srgb) &&
                    m_driverExt->bindTexture(static_cast<u32>(unit), layer->texture, layer->srgb))
                    m_boundTextureUnits.push_back(unit);
                else if (!m_warnedUnprepared) {
                    m_warnedUnprepared = true;
                    taPrint(ETALOG_WARN, "TaGPU: a texture of an engine material layer was not prepared before the "
                                         "draw and is left out");
                }
            }
            glBindSampler(unit, samplerObject(*layer, layer->texture->hasMipMaps()));
            m_boundSamplerUnits.push_back(unit);
        }
        if (unit != sampler.boundUnit) {
            glUniform1i(sampler.location, unit);
            sampler.boundUnit = unit;
        }
    }
}

void CTaGLShaderMaterialRenderer::unbindLayers()
{
    for (int unit : m_boundSamplerUnits)
        glBindSampler(unit, 0);
    m_boundSamplerUnits.clear();
    if (m_driverExt)
        for (int unit : m_boundTextureUnits)
            m_driverExt->bindTexture(static_cast<u32>(unit), nullptr, false);
    m_boundTextureUnits.clear();
}
