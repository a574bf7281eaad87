// HLSL to GLSL: glslang turns HLSL (Direct3D 9 dialect) into SPIR-V, SPIRV-Cross turns that into
// GLSL 3.30 compatibility. Stage inputs and outputs are matched by their HLSL semantic: vertex
// attributes read the fixed-function arrays Irrlicht fills, varyings are named after their
// semantic so the two stages link by name, and each stage's globals become one uniform struct.
#include "driver/TaShaderTranslator.h"

#include "platform/TaPlatform.h"

#include <glslang/Public/ResourceLimits.h>
#include <glslang/Public/ShaderLang.h>
#include <glslang/MachineIndependent/localintermediate.h>
#include <glslang/SPIRV/GlslangToSpv.h>
#include <spirv_cross/spirv_glsl.hpp>

#include <cctype>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>

namespace {

const char* const kTag = "// TaGLSL 2 glslang SPIRV-Cross";

// Helpers that give HLSL's fmod (the sign of x) instead of GLSL's mod (the sign of y).
const char* const kPreamble = "#pragma pack_matrix(row_major)\n"
                              "#define TA_GLSL 1\n";
const char* const kFmod = "float ta_fmod(float x, float y) { return x - y * trunc(x / y); }\n"
                          "float2 ta_fmod(float2 x, float2 y) { return x - y * trunc(x / y); }\n"
                          "float3 ta_fmod(float3 x, float3 y) { return x - y * trunc(x / y); }\n"
                          "float4 ta_fmod(float4 x, float4 y) { return x - y * trunc(x / y); }\n"
                          "#define fmod ta_fmod\n";

std::string upper(std::string text)
{
    for (char& c : text)
        c = char(toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string swizzle(const std::string& expression, int available, int wanted)
{
    if (wanted == available)
        return expression;
    if (wanted < available)
        return "(" + expression + ")." + std::string("xyzw").substr(0, size_t(wanted));
    // Fewer components than asked: pad like Direct3D 9 does (0 for y and z, 1 for w).
    std::string padded = "vec" + std::to_string(wanted) + "(" + expression;
    for (int k = available; k < wanted; ++k)
        padded += k == 3 ? ", 1.0" : ", 0.0";
    return padded + ")";
}

// The fixed-function attribute a vertex input semantic reads, and its size.
bool vertexAttribute(const std::string& semantic, std::string& expression, int& size)
{
    const std::string s = upper(semantic);
    size = 4;
    if (s == "POSITION" || s == "POSITION0" || s == "SV_POSITION")
        expression = "gl_Vertex";
    else if (s == "NORMAL" || s == "NORMAL0")
        expression = "gl_Normal", size = 3;
    else if (s == "COLOR" || s == "COLOR0")
        expression = "gl_Color";
    else if (s == "COLOR1")
        expression = "gl_SecondaryColor";
    else if (s == "TANGENT" || s == "TANGENT0")
        expression = "gl_MultiTexCoord1";
    else if (s == "BINORMAL" || s == "BINORMAL0")
        expression = "gl_MultiTexCoord2";
    else if (s.compare(0, 8, "TEXCOORD") == 0) {
        const std::string index = s.substr(8).empty() ? "0" : s.substr(8);
        if (index.size() != 1 || index[0] < '0' || index[0] > '7')
            return false;
        expression = "gl_MultiTexCoord" + index;
    } else {
        return false;
    }
    return true;
}

std::string typeName(const spirv_cross::SPIRType& type)
{
    if (type.basetype == spirv_cross::SPIRType::Float)
        return type.vecsize == 1 ? "float" : "vec" + std::to_string(type.vecsize);
    if (type.basetype == spirv_cross::SPIRType::Int)
        return type.vecsize == 1 ? "int" : "ivec" + std::to_string(type.vecsize);
    if (type.basetype == spirv_cross::SPIRType::UInt)
        return type.vecsize == 1 ? "uint" : "uvec" + std::to_string(type.vecsize);
    return "";
}

// The texts of the includes a source may ask for, fetched in the engine's own process (so the
// request's callback runs there) before the translation starts. Keyed by (requested, includer).
struct STaIncludeText {
    std::string resolved;
    std::string content;
};
using TaIncludeMap = std::map<std::pair<std::string, std::string>, STaIncludeText>;

// The names of the #include directives of a text ("..." and <...>).
std::vector<std::string> includeNames(const std::string& text)
{
    std::vector<std::string> names;
    size_t at = 0;
    while ((at = text.find("#include", at)) != std::string::npos) {
        at += 8;
        while (at < text.size() && (text[at] == ' ' || text[at] == '\t'))
            ++at;
        if (at >= text.size() || (text[at] != '"' && text[at] != '<'))
            continue;
        const char close = text[at] == '"' ? '"' : '>';
        const size_t end = text.find_first_of(std::string(1, close) + "\r\n", at + 1);
        if (end == std::string::npos || text[end] != close)
            continue;
        names.push_back(text.substr(at + 1, end - at - 1));
    }
    return names;
}

void prefetchIncludes(const STaShaderRequest& request, const std::string& text, const std::string& includer,
                      int depth, TaIncludeMap& map)
{
    if (!request.include || depth > 32)
        return;
    for (const std::string& name : includeNames(text)) {
        const auto key = std::make_pair(name, includer);
        if (map.count(key))
            continue;
        STaIncludeText include;
        if (!request.include(name.c_str(), includer.c_str(), include.content, include.resolved, request.includeUser))
            continue;
        const std::string resolved = include.resolved;
        const std::string content = include.content;
        map[key] = std::move(include);
        prefetchIncludes(request, content, resolved, depth + 1, map);
    }
}

// glslang's includer over the prefetched texts; keeps every included text alive until released.
class CTaIncluder : public glslang::TShader::Includer
{
public:
    CTaIncluder(const TaIncludeMap& map, std::vector<std::string>& resolved) : m_map(map), m_resolved(resolved) {}

    IncludeResult* includeLocal(const char* name, const char* includer, size_t depth) override
    {
        return include(name, includer, depth);
    }
    IncludeResult* includeSystem(const char* name, const char* includer, size_t depth) override
    {
        return include(name, includer, depth);
    }
    void releaseInclude(IncludeResult* result) override
    {
        if (result)
            delete static_cast<std::string*>(result->userData);
        delete result;
    }

private:
    IncludeResult* include(const char* name, const char* includer, size_t)
    {
        const auto found = m_map.find(std::make_pair(std::string(name), std::string(includer ? includer : "")));
        if (found == m_map.end())
            return nullptr;
        m_resolved.push_back(found->second.resolved);
        auto* text = new std::string(taStripSamplerStates(found->second.content));
        return new IncludeResult(found->second.resolved, text->data(), text->size(), text);
    }

    const TaIncludeMap& m_map;
    std::vector<std::string>& m_resolved;
};

class CTaHlslToGlsl : public ITaShaderTranslator
{
public:
    CTaHlslToGlsl()
    {
        static std::once_flag once;
        std::call_once(once, [this] {
            glslang::InitializeProcess();
            // The front end builds its tables of built-in functions on its first parse of each
            // stage. Do that here, once, on a known source, so that the child processes inherit
            // them instead of building them again for every shader.
            STaShaderRequest warm;
            warm.fileName = "warm-up";
            warm.source = "float4 vs_main(float4 p : POSITION) : POSITION { return p; }\n"
                          "float4 ps_main() : COLOR0 { return 1; }\n";
            warm.entryPoint = "vs_main";
            translateHere(warm, TaIncludeMap());
            warm.entryPoint = "ps_main";
            warm.stage = ETASHADERSTAGE_PIXEL;
            translateHere(warm, TaIncludeMap());
        });
    }

    const char* tag() const override { return kTag; }

    // The front end crashes on some malformed sources (found by fuzzing), so each translation runs
    // in a child process and only its result crosses back.
    STaShaderTranslation translate(const STaShaderRequest& request) override
    {
        TaIncludeMap includes;
        prefetchIncludes(request, request.source, request.fileName, 0, includes);
        std::string packed, failure;
        if (!taPlatformRunIsolated([&] { return pack(translateHere(request, includes)); }, packed, failure)) {
            STaShaderTranslation out;
            out.error = request.fileName + ": the shader translator " + failure + " on this source";
            return out;
        }
        STaShaderTranslation out;
        if (!unpack(packed, out)) {
            out = STaShaderTranslation();
            out.error = request.fileName + ": the shader translator returned no readable result";
        }
        return out;
    }

private:
    // The result as length-prefixed fields, and back.
    static void put(std::string& out, const std::string& field)
    {
        out += std::to_string(field.size()) + ":" + field;
    }
    static bool get(const std::string& in, size_t& at, std::string& field)
    {
        const size_t colon = in.find(':', at);
        if (colon == std::string::npos || colon == at || colon - at > 12)
            return false;
        const unsigned long long length = std::stoull(in.substr(at, colon - at));
        if (length > in.size() - colon - 1)
            return false;
        field = in.substr(colon + 1, size_t(length));
        at = colon + 1 + size_t(length);
        return true;
    }
    static bool getInt(const std::string& in, size_t& at, int& value)
    {
        std::string field;
        if (!get(in, at, field) || field.empty() || field.size() > 11)
            return false;
        value = std::atoi(field.c_str());
        return true;
    }
    static std::string pack(const STaShaderTranslation& t)
    {
        std::string out;
        put(out, t.ok ? "1" : "0");
        put(out, t.code);
        put(out, t.error);
        put(out, std::to_string(t.constants.size()));
        for (const auto& c : t.constants) {
            put(out, c.hlslName);
            put(out, c.glName);
            put(out, std::to_string(int(c.kind)));
            put(out, std::to_string(c.rows));
            put(out, std::to_string(c.columns));
            put(out, std::to_string(c.arraySize));
        }
        put(out, std::to_string(t.samplers.size()));
        for (const auto& s : t.samplers) {
            put(out, s.hlslName);
            put(out, s.glName);
            put(out, std::to_string(s.unit));
            put(out, std::to_string(s.dimensions));
        }
        put(out, std::to_string(t.includes.size()));
        for (const auto& include : t.includes)
            put(out, include);
        return out;
    }
    static bool unpack(const std::string& in, STaShaderTranslation& t)
    {
        size_t at = 0;
        std::string ok;
        int count = 0, kind = 0;
        if (!get(in, at, ok) || !get(in, at, t.code) || !get(in, at, t.error) || !getInt(in, at, count) || count < 0)
            return false;
        t.ok = ok == "1";
        for (int i = 0; i < count; ++i) {
            STaShaderConstant c;
            if (!get(in, at, c.hlslName) || !get(in, at, c.glName) || !getInt(in, at, kind) ||
                !getInt(in, at, c.rows) || !getInt(in, at, c.columns) || !getInt(in, at, c.arraySize))
                return false;
            c.kind = ETaConstantKind(kind);
            t.constants.push_back(c);
        }
        if (!getInt(in, at, count) || count < 0)
            return false;
        for (int i = 0; i < count; ++i) {
            STaShaderSampler s;
            if (!get(in, at, s.hlslName) || !get(in, at, s.glName) || !getInt(in, at, s.unit) || !getInt(in, at, s.dimensions))
                return false;
            t.samplers.push_back(s);
        }
        if (!getInt(in, at, count) || count < 0)
            return false;
        for (int i = 0; i < count; ++i) {
            std::string include;
            if (!get(in, at, include))
                return false;
            t.includes.push_back(include);
        }
        return at == in.size();
    }

    STaShaderTranslation translateHere(const STaShaderRequest& request, const TaIncludeMap& includes)
    {
        STaShaderTranslation out;
        const bool vertex = request.stage == ETASHADERSTAGE_VERTEX;
        const EShLanguage language = vertex ? EShLangVertex : EShLangFragment;
        std::vector<unsigned> spirv;
        if (!compile(request, includes, language, spirv, out))
            return out;
        try {
            crossCompile(std::move(spirv), vertex, out);
        } catch (const std::exception& problem) {
            out.ok = false;
            out.error = request.fileName + ": cannot be written as GLSL: " + problem.what();
        }
        return out;
    }

    bool compile(const STaShaderRequest& request, const TaIncludeMap& includes, EShLanguage language,
                 std::vector<unsigned>& spirv, STaShaderTranslation& out)
    {
        const std::string source = taStripSamplerStates(request.source);
        std::string preamble = kPreamble;
        for (const auto& macro : request.macros)
            preamble += "#define " + macro.first + " " + macro.second + "\n";
        preamble += kFmod;

        glslang::TShader shader(language);
        const char* text = source.c_str();
        const int length = int(source.size());
        const char* name = request.fileName.c_str();
        shader.setStringsWithLengthsAndNames(&text, &length, &name, 1);
        shader.setPreamble(preamble.c_str());
        shader.setEntryPoint(request.entryPoint.c_str());
        shader.setSourceEntryPoint(request.entryPoint.c_str());
        shader.setEnvInput(glslang::EShSourceHlsl, language, glslang::EShClientVulkan, 100);
        shader.setEnvClient(glslang::EShClientVulkan, glslang::EShTargetVulkan_1_0);
        shader.setEnvTarget(glslang::EShTargetSpv, glslang::EShTargetSpv_1_0);
        shader.setEnvTargetHlslFunctionality1();
        shader.setAutoMapBindings(true);
        shader.setAutoMapLocations(true);
        shader.setHlslIoMapping(true);
        const EShMessages messages =
            EShMessages(EShMsgSpvRules | EShMsgVulkanRules | EShMsgReadHlsl | EShMsgHlslDX9Compatible);
        CTaIncluder includer(includes, out.includes);
        if (!shader.parse(GetDefaultResources(), 100, false, messages, includer)) {
            out.error = shader.getInfoLog();
            return false;
        }
        glslang::TProgram program;
        program.addShader(&shader);
        if (!program.link(messages)) {
            out.error = program.getInfoLog();
            return false;
        }
        // The front end makes an empty program when the entry point is not in the source.
        if (program.getIntermediate(language)->getNumEntryPoints() < 1) {
            out.error = request.fileName + ": no entry point '" + request.entryPoint + "'";
            return false;
        }
        glslang::SpvOptions options;
        options.disableOptimizer = false;
        glslang::GlslangToSpv(*program.getIntermediate(language), spirv, &options);
        return true;
    }

    void crossCompile(std::vector<unsigned> spirv, bool vertex, STaShaderTranslation& out)
    {
        spirv_cross::CompilerGLSL glsl(std::move(spirv));
        const spirv_cross::ShaderResources resources = glsl.get_shader_resources();
        // Declarations to rewrite after compiling: variable name -> replacement text.
        std::vector<std::pair<std::string, std::string>> rewrites;

        for (const auto& input : resources.stage_inputs) {
            const std::string semantic = glsl.get_decoration_string(input.id, spv::DecorationUserSemantic);
            const spirv_cross::SPIRType& type = glsl.get_type(input.type_id);
            glsl.unset_decoration(input.id, spv::DecorationLocation);
            if (vertex) {
                std::string expression;
                int size = 4;
                if (!vertexAttribute(semantic, expression, size) || type.basetype != spirv_cross::SPIRType::Float) {
                    out.error = "vertex input semantic '" + semantic + "' has no OpenGL attribute";
                    return;
                }
                const std::string name = "ta_in_" + upper(semantic);
                glsl.set_name(input.id, name);
                rewrites.emplace_back(name, "#define " + name + " " + swizzle(expression, size, int(type.vecsize)));
                continue;
            }
            const std::string s = upper(semantic);
            if (s == "VPOS" || s == "POSITION" || s == "SV_POSITION") {
                // Direct3D 9 gives integer pixel positions; GL gives pixel centres. The position
                // comes from the clip position every vertex stage passes on, not from
                // gl_FragCoord, whose row order Mesa fixes per program by the first kind of
                // target it draws to (measured: window first, then render targets upside down).
                const std::string name = "ta_in_VPOS";
                glsl.set_name(input.id, name);
                rewrites.emplace_back(name, "in vec4 ta_ClipPos;\nuniform vec2 ta_TargetSize;\n#define " + name + " " +
                                                swizzle("vec4((ta_ClipPos.xy / ta_ClipPos.w * 0.5 + 0.5) * ta_TargetSize "
                                                        "- 0.5, gl_FragCoord.zw)",
                                                        4, int(type.vecsize)));
            } else if (s == "VFACE") {
                glsl.set_name(input.id, "ta_in_VFACE");
                rewrites.emplace_back("ta_in_VFACE", "#define ta_in_VFACE (gl_FrontFacing ? 1.0 : -1.0)");
            } else if (s.compare(0, 5, "COLOR") == 0) {
                // Direct3D 9 clamps colour varyings; GL does not.
                const std::string varying = "ta_var_" + s;
                const std::string name = "ta_cin_" + s;
                glsl.set_name(input.id, name);
                rewrites.emplace_back(name, "in " + typeName(type) + " " + varying + ";\n#define " + name + " clamp(" +
                                                varying + ", 0.0, 1.0)");
            } else {
                glsl.set_name(input.id, "ta_var_" + s);
            }
        }
        for (const auto& output : resources.stage_outputs) {
            const std::string semantic = upper(glsl.get_decoration_string(output.id, spv::DecorationUserSemantic));
            if (!vertex)
                continue; // pixel outputs keep their COLORn locations
            glsl.unset_decoration(output.id, spv::DecorationLocation);
            if (semantic == "POSITION" || semantic == "POSITION0" || semantic == "SV_POSITION") {
                glsl.set_name(output.id, "ta_out_POSITION");
                rewrites.emplace_back("ta_out_POSITION", "#define ta_out_POSITION gl_Position");
            } else if (semantic == "PSIZE" || semantic == "PSIZE0") {
                glsl.set_name(output.id, "ta_out_PSIZE");
                rewrites.emplace_back("ta_out_PSIZE", "#define ta_out_PSIZE gl_PointSize");
            } else {
                glsl.set_name(output.id, "ta_var_" + semantic);
            }
        }

        // Globals: one uniform struct per stage, addressed by the HLSL names of its members.
        const std::string block = vertex ? "vsG" : "psG";
        for (const auto& buffer : resources.uniform_buffers) {
            glsl.set_name(buffer.id, block);
            glsl.set_name(buffer.base_type_id, vertex ? "vsGlobals" : "psGlobals");
            const spirv_cross::SPIRType& type = glsl.get_type(buffer.base_type_id);
            for (uint32_t m = 0; m < type.member_types.size(); ++m) {
                const spirv_cross::SPIRType& member = glsl.get_type(type.member_types[m]);
                STaShaderConstant constant;
                constant.hlslName = glsl.get_member_name(buffer.base_type_id, m);
                constant.glName = block + "." + constant.hlslName;
                constant.kind = member.basetype == spirv_cross::SPIRType::Int    ? ETACONST_INT
                                : member.basetype == spirv_cross::SPIRType::UInt ? ETACONST_UINT
                                : member.basetype == spirv_cross::SPIRType::Boolean ? ETACONST_BOOL
                                                                                    : ETACONST_FLOAT;
                constant.rows = int(member.vecsize);
                constant.columns = int(member.columns);
                constant.arraySize = member.array.empty() ? 0 : int(member.array[0]);
                out.constants.push_back(constant);
            }
        }
        for (const auto& sampler : resources.sampled_images) {
            STaShaderSampler s;
            s.hlslName = sampler.name;
            s.glName = sampler.name;
            const int binding = int(glsl.get_decoration(sampler.id, spv::DecorationBinding));
            // Vertex samplers use the units after the eight of the pixel stage.
            s.unit = vertex ? 8 + binding % 4 : binding;
            const spirv_cross::SPIRType& type = glsl.get_type(sampler.type_id);
            s.dimensions = type.image.dim == spv::Dim1D ? 1 : type.image.dim == spv::Dim3D ? 3 : type.image.dim == spv::DimCube ? 6 : 2;
            glsl.unset_decoration(sampler.id, spv::DecorationBinding);
            out.samplers.push_back(s);
        }

        spirv_cross::CompilerGLSL::Options options;
        options.version = 330;
        options.es = false;
        options.emit_uniform_buffer_as_plain_uniforms = true;
        options.enable_420pack_extension = false;
        glsl.set_common_options(options);
        std::string code = glsl.compile();

        // The fixed-function names need the compatibility profile.
        const std::string version = "#version 330";
        if (code.compare(0, version.size(), version) == 0)
            code.replace(0, version.size(), "#version 330 compatibility");
        // Every vertex stage passes its clip position on, for the pixel position (VPOS).
        if (vertex) {
            const size_t main = code.find("void main()");
            if (main != std::string::npos) {
                code.replace(main, 11, "void ta_main()");
                code.insert(code.find('\n', code.find("#version")) + 1, "out vec4 ta_ClipPos;\n");
                code += "\nvoid main()\n{\n    ta_main();\n    ta_ClipPos = gl_Position;\n}\n";
            }
        }
        for (const auto& rewrite : rewrites) {
            const std::regex declaration("(layout\\([^)]*\\) )?(flat |noperspective )?(in|out) [a-z0-9]+ " +
                                         rewrite.first + ";");
            code = std::regex_replace(code, declaration, rewrite.second);
        }
        // The reflection travels with the code, as comments GL skips.
        std::string reflection = "// reflection\n";
        for (const auto& c : out.constants)
            reflection += "//@constant " + c.hlslName + " " + c.glName + " " + std::to_string(int(c.kind)) + " " +
                          std::to_string(c.rows) + " " + std::to_string(c.columns) + " " + std::to_string(c.arraySize) + "\n";
        for (const auto& sampler : out.samplers)
            reflection += "//@sampler " + sampler.hlslName + " " + sampler.glName + " " + std::to_string(sampler.unit) +
                          " " + std::to_string(sampler.dimensions) + "\n";
        out.code = std::string(kTag) + "\n" + code + reflection;
        out.ok = true;
    }

public:
    bool readReflection(const std::string& code, std::vector<STaShaderConstant>& constants,
                        std::vector<STaShaderSampler>& samplers) const override
    {
        constants.clear();
        samplers.clear();
        static const std::string marker = "\n// reflection\n";
        const size_t start = code.rfind(marker);
        if (start == std::string::npos)
            return false;
        std::istringstream lines(code.substr(start + marker.size()));
        std::string line;
        while (std::getline(lines, line)) {
            std::istringstream fields(line);
            std::string kind;
            fields >> kind;
            if (kind == "//@constant") {
                STaShaderConstant c;
                int valueKind = 0;
                if (!(fields >> c.hlslName >> c.glName >> valueKind >> c.rows >> c.columns >> c.arraySize) ||
                    valueKind < ETACONST_FLOAT || valueKind > ETACONST_BOOL)
                    return false;
                c.kind = ETaConstantKind(valueKind);
                constants.push_back(c);
            } else if (kind == "//@sampler") {
                STaShaderSampler sampler;
                if (!(fields >> sampler.hlslName >> sampler.glName >> sampler.unit >> sampler.dimensions))
                    return false;
                samplers.push_back(sampler);
            } else if (!line.empty()) {
                return false;
            }
        }
        return true;
    }

private:
};

} // namespace

std::string taStripSamplerStates(const std::string& source)
{
    std::string out = source;
    size_t at = 0;
    while ((at = out.find("sampler_state", at)) != std::string::npos) {
        // Back to the "=" that starts the initialiser, forward to the closing brace.
        size_t equals = at;
        while (equals > 0 && isspace(static_cast<unsigned char>(out[equals - 1])))
            --equals;
        const size_t brace = out.find('{', at);
        if (equals == 0 || out[equals - 1] != '=' || brace == std::string::npos) {
            at += 13;
            continue;
        }
        int depth = 0;
        size_t end = brace;
        for (; end < out.size(); ++end) {
            if (out[end] == '{')
                ++depth;
            else if (out[end] == '}' && --depth == 0)
                break;
        }
        if (end >= out.size())
            break;
        // Keep the line count, so error lines still match the file.
        std::string removed = out.substr(equals - 1, end + 1 - (equals - 1));
        std::string blanks;
        for (char c : removed)
            blanks += c == '\n' ? '\n' : ' ';
        out.replace(equals - 1, removed.size(), blanks);
        at = equals;
    }
    return out;
}

std::unique_ptr<ITaShaderTranslator> taCreateHlslToGlslTranslator()
{
    return std::make_unique<CTaHlslToGlsl>();
}
