// The Tarv shader format loader.
#include "effects/TaEffectDefTarv.h"

#include "effects/TaSemanticTable.h"
#include "files/TaFile.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace {

// Longest title, subject, comments or cflag text kept, and longest error text.
constexpr size_t TA_TARV_TEXT_MAX = 511;
constexpr size_t TA_TARV_ERROR_MAX = 1023;
// Field and word limits of a statement line.
constexpr size_t TA_TARV_MAX_FIELDS = 32;
constexpr size_t TA_TARV_MAX_WORDS = 20;
constexpr size_t TA_TARV_MAX_VALUES = 32;
// Highest sampler index a texture statement may name; larger numbers are clamped to it.
constexpr int TA_TARV_MAX_SAMPLER = 255;

bool equalsNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

std::string trimSpaces(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    return text.substr(begin, end - begin);
}

// Splits at any of `separators`, empty parts dropped, at most `most` parts.
std::vector<std::string> splitWords(const std::string& text, const char* separators, size_t most)
{
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size() && words.size() < most) {
        while (i < text.size() && strchr(separators, text[i]))
            ++i;
        size_t start = i;
        while (i < text.size() && !strchr(separators, text[i]))
            ++i;
        if (i > start)
            words.push_back(text.substr(start, i - start));
    }
    return words;
}

// Splits at every ":" and ";" into at most `most` fields, each trimmed of spaces. Text past the
// last field is not kept.
std::vector<std::string> splitFields(const std::string& line, size_t most)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t i = 0; i <= line.size() && fields.size() < most; ++i) {
        if (i == line.size() || line[i] == ':' || line[i] == ';') {
            fields.push_back(trimSpaces(line.substr(start, i - start)));
            start = i + 1;
        }
    }
    return fields;
}

bool startsWith(const std::string& text, const char* prefix) { return text.compare(0, strlen(prefix), prefix) == 0; }

std::string cut(const std::string& text, size_t most) { return text.size() > most ? text.substr(0, most) : text; }

struct STaFlagName {
    const char* word;
    unsigned bit;
};

const STaFlagName kTextureFlags[] = {
    {"cube", ETATEX_CUBE}, {"3d", ETATEX_3D}, {"preset", ETATEX_PRESET}, {"repeat", ETATEX_REPEAT},
    {"clamp", ETATEX_CLAMP}, {"clamp_to_edge", ETATEX_CLAMP_TO_EDGE}, {"clamp_v", ETATEX_CLAMP_V},
    {"clamp_to_edge_v", ETATEX_CLAMP_TO_EDGE_V}, {"noMipMap", ETATEX_NOMIPMAP}, {"filterPoint", ETATEX_FILTERPOINT},
    {"trilinear", ETATEX_TRILINEAR}, {"r32f", ETATEX_R32F}, {"srgb", ETATEX_SRGB}, {"linear", ETATEX_LINEAR},
    {"image", ETATEX_IMAGE}, {"imageref", ETATEX_IMAGEREF}, {"vertex", ETATEX_VERTEX}, {"divider", ETATEX_DIVIDER},
    {"divafter", ETATEX_DIVAFTER},
};

const STaFlagName kParameterFlags[] = {
    {"pixel", ETAPARAM_PIXEL}, {"vertex", ETAPARAM_VERTEX}, {"both", ETAPARAM_BOTH}, {"color", ETAPARAM_COLOR},
    {"percent", ETAPARAM_PERCENT}, {"divider", ETAPARAM_DIVIDER}, {"divafter", ETAPARAM_DIVAFTER},
};

template <size_t N>
unsigned flagsOf(const std::string& field, const STaFlagName (&table)[N])
{
    unsigned flags = 0;
    for (const std::string& word : splitWords(field, " \r\n", TA_TARV_MAX_WORDS))
        for (const STaFlagName& flag : table)
            if (equalsNoCase(word, flag.word))
                flags |= flag.bit;
    return flags;
}

SParameter annotation(const char* name, const char* value) { return SParameter(name, value); }

} // namespace

int taTarvTypeCode(const char* name)
{
    struct { const char* name; int code; } types[] = {
        {"bool", ETAFX_TYPE_BOOL},         {"float", ETAFX_TYPE_FLOAT},        {"floatN", ETAFX_TYPE_FLOAT},
        {"floatNRef", ETAFX_TYPE_FLOAT},   {"float2", ETAFX_TYPE_FLOAT2},      {"float3", ETAFX_TYPE_FLOAT3},
        {"float4", ETAFX_TYPE_FLOAT4},     {"float4x4", ETAFX_TYPE_FLOAT4X4},  {"int", ETAFX_TYPE_INT},
        {"integer", ETAFX_TYPE_INT},       {"texture2D", ETAFX_TYPE_TEXTURE2D}, {"texture3D", ETAFX_TYPE_TEXTURE3D},
        {"textureCUBE", ETAFX_TYPE_TEXTURECUBE},
    };
    for (const auto& type : types)
        if (name && strcasecmp(name, type.name) == 0)
            return type.code;
    return 0;
}

void CTaEffectDefTarv::setError(const char* format, int value)
{
    char text[TA_TARV_ERROR_MAX + 1];
    snprintf(text, sizeof(text), format, value);
    m_error = text;
}

const char* CTaEffectDefTarv::parse(const std::string& text, const std::vector<std::string>& macroNames)
{
    if (!parseTechnique(text, "", true, macroNames))
        return m_error.c_str();
    // The techniques the default technique announces, each a parse of its own.
    const SParameter* techniques = getAnnotationByName(&effect().techniques[0], "techniques");
    if (techniques) {
        const std::vector<std::string> names = splitWords(techniques->value, " ", SIZE_MAX);
        for (const std::string& name : names)
            if (!parseTechnique(text, name, false, macroNames))
                return m_error.c_str();
    }
    return nullptr;
}

bool CTaEffectDefTarv::parseTechnique(const std::string& text, const std::string& technique, bool firstParse,
                                      const std::vector<std::string>& callerMacros)
{
    STechnique t;
    t.name = technique;
    SPass pass;
    SShader vertex, pixel;
    vertex.stage = ETASTAGE_VERTEX;
    vertex.entryPoint = "vs_main";
    vertex.file = getFileName();
    vertex.target = ETATARGET_VS_3_0;
    pixel.stage = ETASTAGE_PIXEL;
    pixel.entryPoint = "ps_main";
    pixel.file = getFileName();
    pixel.target = ETATARGET_PS_3_0;

    std::vector<std::string> macros = callerMacros;
    if (!technique.empty() && technique != "default") {
        auto add = [&](const char* macro) {
            macros.push_back(macro);
            const std::string line = std::string("#define USE_") + macro;
            vertex.defines.push_back(line);
            pixel.defines.push_back(line);
        };
        add("TECH_NDFLT");
        if (technique == "depth")
            add("TECH_DEPTH");
        else if (technique == "shadow")
            add("TECH_SHADOW");
        else if (technique == "reflection")
            add("TECH_REFLECT");
    }
    pass.shaders.push_back(vertex);
    pass.shaders.push_back(pixel);
    t.passes.push_back(pass);
    effect().techniques.push_back(t);

    m_error = "Unknown error in Tarv shader";
    int counter = 0;
    bool inBlock = false;
    size_t i = 0;
    while (i < text.size()) {
        // A line ends at CR, LF or the end; the line breaks after it are skipped. Lines of any
        // length are read whole.
        size_t end = i;
        while (end < text.size() && text[end] != '\r' && text[end] != '\n')
            ++end;
        const std::string line = text.substr(i, end - i);
        i = end;
        while (i < text.size() && (text[i] == '\r' || text[i] == '\n'))
            ++i;
        if (!inBlock) {
            inBlock = line.find("[TARV_BEGIN]") != std::string::npos;
            continue;
        }
        if (line.find("[TARV_END]") != std::string::npos)
            break;
        if (!processLine(line, technique, firstParse, macros, counter))
            return false;
    }
    if (firstParse && !inBlock)
        m_warnings.push_back("no [TARV_BEGIN] block: the file declares no parameters, textures or entry points");
    return true;
}

bool CTaEffectDefTarv::processLine(std::string line, const std::string& technique, bool firstParse,
                                   const std::vector<std::string>& macros, int& counter)
{
    // 1. Conditional prefixes.
    while (startsWith(line, "//TARV_PP:")) {
        const std::string selector = line.substr(10, 2);
        const size_t colon = line.find(':', 12);
        if ((selector != "D:" && selector != "U:") || colon == std::string::npos)
            break;
        const std::string name = line.substr(12, colon - 12);
        const bool defined = std::find(macros.begin(), macros.end(), name) != macros.end();
        if (defined != (selector == "D:"))
            break;
        line = line.substr(colon + 1);
    }
    // 2. Separator comments: "//" then a character outside "0".."z" other than a space.
    if (line.size() > 2 && startsWith(line, "//") && line[2] != ' ' && (line[2] < '0' || line[2] > 'z'))
        return true;
    // 3. Header keywords.
    SEffectDesc& fx = effect();
    struct { const char* keyword; std::string* target; } headers[] = {
        {"//title ", &fx.title}, {"//subject ", &fx.subject}, {"//comments ", &fx.comments},
    };
    for (const auto& header : headers) {
        if (startsWith(line, header.keyword)) {
            size_t start = strlen(header.keyword);
            while (start < line.size() && line[start] == ' ')
                ++start;
            *header.target = cut(line.substr(start), TA_TARV_TEXT_MAX);
            return true;
        }
    }
    if (startsWith(line, "//cflag ")) {
        if (firstParse)
            fx.annotations.push_back(annotation("cflag", cut("USE_" + line.substr(8), TA_TARV_TEXT_MAX + 4).c_str()));
        return true;
    }

    // 4. Statements.
    const std::vector<std::string> fields = splitFields(line, TA_TARV_MAX_FIELDS);
    const std::vector<std::string> words = splitWords(fields[0], "\t/ \r\n", TA_TARV_MAX_WORDS);
    if (words.empty())
        return true;
    STechnique& t = fx.techniques.back();
    SPass& pass = t.passes[0];
    SShader& vertex = pass.shaders[0];
    SShader& pixel = pass.shaders[1];
    const std::string& keyword = words[0];

    if (equalsNoCase(keyword, "function")) {
        if (words.size() < 2) {
            setError("entry point has %d tokens0 less than 2", int(words.size()));
            return false;
        }
        if (fields.size() < 2) {
            setError("entry point has %d tokens less than 1", int(fields.size()) - 1);
            return false;
        }
        if (equalsNoCase(words[1], "vertexMain"))
            vertex.entryPoint = fields[1];
        else if (equalsNoCase(words[1], "pixelMain"))
            pixel.entryPoint = fields[1];
        return true;
    }

    if (equalsNoCase(keyword, "config")) {
        if (words.size() < 2) {
            setError("config has %d tokens0 less than 2", int(words.size()));
            return false;
        }
        const std::string& key = words[1];
        const bool hasValue = fields.size() >= 2;
        const std::string value = hasValue ? fields[1] : std::string();
        if (equalsNoCase(key, "tangents")) {
            t.annotations.push_back(annotation("tangents", "true"));
            return true;
        }
        const bool known = equalsNoCase(key, "baseMaterial") || equalsNoCase(key, "render") ||
                           equalsNoCase(key, "rendertarget") || equalsNoCase(key, "techniques");
        if (!known)
            return true;
        if (!hasValue)
            return false; // a key that needs a value: the parse's own error text
        if (equalsNoCase(key, "baseMaterial")) {
            pass.annotations.push_back(annotation("baseMaterial", value.c_str()));
        } else if (equalsNoCase(key, "render")) {
            t.annotations.push_back(annotation("render", value.c_str()));
        } else if (equalsNoCase(key, "rendertarget")) {
            t.annotations.push_back(annotation("rendertarget", value.c_str()));
        } else {
            std::string list;
            for (const std::string& word : splitWords(value, " \r\n", TA_TARV_MAX_WORDS))
                list += word + " ";
            t.annotations.push_back(annotation("techniques", list.c_str()));
        }
        return true;
    }

    if (equalsNoCase(keyword, "texture")) {
        int index = -1;
        std::string samplerName;
        if (words.size() >= 2) {
            const bool digits = words[1].find_first_not_of("0123456789") == std::string::npos;
            if (digits) {
                // Huge indices are clamped instead of overflowing.
                index = words[1].size() > 3 ? TA_TARV_MAX_SAMPLER : std::min(atoi(words[1].c_str()), TA_TARV_MAX_SAMPLER);
            } else {
                samplerName = words[1];
            }
        } else {
            index = std::min(counter++, TA_TARV_MAX_SAMPLER);
        }
        const unsigned flags = fields.size() >= 3 ? flagsOf(fields[2], kTextureFlags) : 0;
        SParameter p;
        p.name = index >= 0 ? "Tex_" + technique + "_" + std::to_string(index) : samplerName;
        p.type = (flags & ETATEX_CUBE) ? ETAFX_TYPE_TEXTURECUBE : (flags & ETATEX_3D) ? ETAFX_TYPE_TEXTURE3D : ETAFX_TYPE_TEXTURE2D;
        if (fields.size() >= 2 && !fields[1].empty()) {
            const std::string& source = fields[1];
            if (flags & ETATEX_PRESET)
                p.semantic = source;
            else if (const char* channel = taFindTextureChannel(source.c_str()))
                p.semantic = std::string("LW_Tex_") + channel;
            else
                p.imageUrl = source;
        }
        // Wrap modes: later flags in table order override earlier ones.
        auto wrap = [&](const char* u, const char* v, const char* w) { p.wrapU = u, p.wrapV = v, p.wrapW = w; };
        if (flags & ETATEX_REPEAT) wrap("REPEAT", "REPEAT", "REPEAT");
        if (flags & ETATEX_CLAMP) wrap("CLAMP", "CLAMP", "CLAMP");
        if (flags & ETATEX_CLAMP_TO_EDGE) wrap("CLAMP_TO_EDGE", "CLAMP_TO_EDGE", "CLAMP_TO_EDGE");
        if (flags & ETATEX_CLAMP_V) wrap("REPEAT", "CLAMP", "REPEAT");
        if (flags & ETATEX_CLAMP_TO_EDGE_V) wrap("REPEAT", "CLAMP_TO_EDGE", "REPEAT");
        if (flags & ETATEX_NOMIPMAP) p.mipFilter = "NONE";
        if (flags & ETATEX_FILTERPOINT) p.minFilter = "NEAREST", p.magFilter = "NEAREST";
        if (flags & ETATEX_TRILINEAR) p.mipFilter = "LINEAR", p.minFilter = "LINEAR", p.magFilter = "LINEAR";
        if (flags & ETATEX_R32F) p.annotations.push_back(annotation("format", "r32f"));
        if (flags & ETATEX_SRGB) p.annotations.push_back(annotation("SRGB", "true"));
        if (flags & ETATEX_LINEAR) p.annotations.push_back(annotation("SRGB", "false"));
        if (flags & ETATEX_IMAGE) p.annotations.push_back(annotation("UIWidget", "Image"));
        if (flags & ETATEX_IMAGEREF) p.annotations.push_back(annotation("UIWidget", "ImageRef"));
        if (flags & ETATEX_DIVIDER) p.annotations.push_back(annotation("UIDivider", "before"));
        if (flags & ETATEX_DIVAFTER) p.annotations.push_back(annotation("UIDivider", "after"));
        const std::string name = p.name;
        const int type = p.type;
        addParameter(std::move(p));
        if (index < 0) {
            ((flags & ETATEX_VERTEX) ? vertex : pixel).binds.push_back(SParameter(samplerName, samplerName));
        } else {
            SState state;
            state.name = type == ETAFX_TYPE_TEXTURECUBE ? "textureCUBE" : type == ETAFX_TYPE_TEXTURE3D ? "texture3D" : "texture2D";
            state.parameter = name;
            state.index = index;
            pass.states.push_back(state);
        }
        return true;
    }

    const int type = taTarvTypeCode(keyword.c_str());
    if (type == 0) {
        // Not a statement; one shaped like a declaration ("type name : ...") is worth a word.
        if (firstParse && words.size() >= 2 && fields.size() >= 2)
            m_warnings.push_back("unknown declaration type '" + keyword + "' in the line \"" + line + "\"");
        return true;
    }
    if (words.size() < 2) {
        setError("param line has %d tokens0 less than 2", int(words.size()));
        return false;
    }
    if (fields.size() < 2) {
        setError("param line has %d tokens less than 1", int(fields.size()) - 1);
        return false;
    }
    SParameter p;
    p.name = words[1];
    p.type = type;
    const std::string& second = fields[1];
    if (const STaSemanticName* semantic = taFindSemantic(second.c_str())) {
        p.semantic = semantic->binding;
    } else if (const char* channel = (second.size() > 8 && strncasecmp(second.c_str(), "Surface_", 8) == 0)
                                         ? taFindSurfaceChannel(second.c_str() + 8)
                                         : nullptr) {
        p.semantic = std::string("LW_") + channel;
    } else {
        size_t start = 0, values = 0;
        while (start <= second.size() && values < TA_TARV_MAX_VALUES) {
            size_t comma = second.find(',', start);
            if (comma == std::string::npos)
                comma = second.size();
            p.value += trimSpaces(second.substr(start, comma - start)) + "  ";
            ++values;
            start = comma + 1;
        }
    }
    const unsigned flags = fields.size() >= 3 ? flagsOf(fields[2], kParameterFlags) : 0;
    if (flags & ETAPARAM_COLOR)
        p.annotations.push_back(annotation("UIWidget", "Color"));
    else if (flags & ETAPARAM_PERCENT)
        p.annotations.push_back(annotation("UIWidget", "Percent"));
    if (flags & ETAPARAM_DIVIDER)
        p.annotations.push_back(annotation("UIDivider", "before"));
    if (flags & ETAPARAM_DIVAFTER)
        p.annotations.push_back(annotation("UIDivider", "after"));
    const std::string name = p.name;
    addParameter(std::move(p));
    const SParameter bind(name, name);
    if (flags & ETAPARAM_PIXEL) {
        pixel.binds.push_back(bind);
    } else if ((flags & ETAPARAM_BOTH) && !(flags & ETAPARAM_VERTEX)) {
        vertex.binds.push_back(bind);
        pixel.binds.push_back(bind);
    } else {
        vertex.binds.push_back(bind);
    }
    return true;
}

bool CTaEffectDefLoaderTarv::canLoad(const char* fileName) const
{
    return taFileHasExtension(fileName, {"hlsl", "fx"});
}

ITaEffectDef* CTaEffectDefLoaderTarv::load(irr::io::IFileSystem*, const char* fileName, const STaFxMacro* macros,
                                           bool isOpenGL, const char** errorText)
{
    CTaEffectDefTarv* definition = new CTaEffectDefTarv(fileName, isOpenGL);
    static const char* const kError = "Error";
    static const char* const kCannotOpen = "Cannot open file";
    if (errorText)
        *errorText = kError;
    STaFileBlock block = taReadWholeFile(fileName ? fileName : "");
    if (!block.data) {
        if (errorText)
            *errorText = kCannotOpen;
        return definition;
    }
    std::vector<std::string> names;
    for (const STaFxMacro* macro = macros; macro && macro->name; ++macro) {
        std::string name = macro->name;
        if (startsWith(name, "USE_"))
            name = name.substr(4);
        names.push_back(name);
    }
    // The text up to its first zero byte, as a C reader would see it.
    const std::string text(block.data.get(), strnlen(block.data.get(), block.size));
    const char* error = definition->parse(text, names);
    if (errorText)
        *errorText = error;
    return definition;
}
