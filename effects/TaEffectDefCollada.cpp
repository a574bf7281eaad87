// The COLLADA FX loader. Every element reader consumes its element up to the matching end tag and
// stops at the end of the input, so a truncated document ends the parse instead of looping.
#include "effects/TaEffectDefCollada.h"

#include "effects/TaXmlReader.h"
#include "files/TaFile.h"

#include <cmath>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

using namespace irr;

namespace {

std::string trimmed(const char* text)
{
    if (!text)
        return std::string();
    const char* begin = text;
    while (*begin == ' ' || *begin == '\t' || *begin == '\r' || *begin == '\n')
        ++begin;
    const char* end = begin + strlen(begin);
    while (end > begin && (end[-1] == ' ' || end[-1] == '\t' || end[-1] == '\r' || end[-1] == '\n'))
        --end;
    return std::string(begin, end);
}

class CTaColladaReader
{
public:
    CTaColladaReader(CTaXmlReader* reader, CTaEffectDef& definition)
        : m_reader(reader), m_def(definition), m_fx(definition.effect()), m_openGL(definition.isOpenGL())
    {
    }

    void document()
    {
        while (m_reader->read()) {
            if (m_reader->getNodeType() != ETAXML_ELEMENT)
                continue;
            if (name() == "COLLADA")
                collada();
            else
                skip(false);
        }
    }

private:
    std::string name() const { return m_reader->getNodeName() ? m_reader->getNodeName() : ""; }
    std::string attribute(const char* attributeName) const
    {
        const char* value = m_reader->getAttributeValue(attributeName);
        return value ? value : "";
    }
    // A number attribute: read as a float, truncated toward zero, 0 when missing; NaN and values
    // beyond the int range are clamped.
    int index(const char* attributeName = "index") const
    {
        const char* value = m_reader->getAttributeValue(attributeName);
        if (!value)
            return 0;
        const float number = strtof(value, nullptr);
        if (!(number == number))
            return 0;
        if (number >= 2147483520.0f)
            return INT_MAX;
        if (number <= -2147483648.0f)
            return INT_MIN;
        return int(number);
    }

    // Reads the children of the current element, handing each child element to `child` (which must
    // consume it); returns the element's text: its last text node, trimmed.
    std::string children(const std::function<void(const std::string&)>& child)
    {
        std::string text;
        if (m_reader->isEmptyElement())
            return text;
        while (m_reader->read()) {
            switch (m_reader->getNodeType()) {
            case ETAXML_ELEMENT:
                child(name());
                break;
            case ETAXML_TEXT:
            case ETAXML_CDATA:
                text = trimmed(m_reader->getNodeData());
                break;
            case ETAXML_ELEMENT_END:
                return text;
            default:
                break;
            }
        }
        m_truncated = true; // the input ended inside the element
        return text;
    }

    std::string text() { return children([this](const std::string&) { skip(false); }); }

    // Consumes the current element with everything inside it.
    void skip(bool silent)
    {
        if (!silent)
            printf("COLLADA skipping section %s\n", name().c_str());
        if (m_reader->isEmptyElement())
            return;
        int depth = 1;
        while (depth > 0 && m_reader->read()) {
            if (m_reader->getNodeType() == ETAXML_ELEMENT && !m_reader->isEmptyElement())
                ++depth;
            else if (m_reader->getNodeType() == ETAXML_ELEMENT_END)
                --depth;
        }
    }

    void collada()
    {
        children([this](const std::string& child) {
            if (child == "asset")
                skip(true);
            else if (child == "library_effects")
                children([this](const std::string& c) { c == "effect" ? effect() : skip(false); });
            else {
                printf("COLLADA loader warning: Wrong tag usage found %s\n", child.c_str());
                skip(true);
            }
        });
    }

    void effect()
    {
        m_fx.id = attribute("id");
        m_fx.name = attribute("name");
        children([this](const std::string& child) {
            if (child == "asset")
                asset();
            else if (child == "newparam")
                newparam();
            else if (child == "profile_CG")
                m_openGL ? skip(true) : profile(false);
            else if (child == "profile_GLSL")
                m_openGL ? profile(true) : skip(true);
            else if (child == "annotate")
                m_fx.annotations.push_back(annotate());
            else
                skip(false);
        });
    }

    void asset()
    {
        children([this](const std::string& child) {
            if (child == "subject")
                m_fx.subject = text();
            else if (child == "title")
                m_fx.title = text();
            else if (child == "contributor")
                children([this](const std::string& c) {
                    if (c == "comments")
                        m_fx.comments = text();
                    else
                        skip(false);
                });
            else
                skip(false);
        });
    }

    SParameter annotate()
    {
        SParameter a;
        a.name = attribute("name");
        children([&](const std::string& child) {
            if (child == "string")
                a.value = text();
            else
                skip(false);
        });
        return a;
    }

    void sampler(SParameter& p)
    {
        children([&](const std::string& child) {
            if (child == "instance_image") {
                p.imageUrl = attribute("url");
                skip(true);
            } else if (child == "wrap_s") {
                p.wrapU = text();
            } else if (child == "wrap_t") {
                p.wrapV = text();
            } else if (child == "wrap_p") {
                p.wrapW = text();
            } else if (child == "minfilter") {
                p.minFilter = text();
            } else if (child == "magfilter") {
                p.magFilter = text();
            } else if (child == "mipfilter") {
                p.mipFilter = text();
            } else {
                skip(false);
            }
        });
    }

    void newparam()
    {
        SParameter p;
        p.name = attribute("sid");
        static const struct { const char* element; int type; bool isSampler; } types[] = {
            {"bool", 1, false},       {"float", 2, false},       {"float2", 3, false},     {"float3", 4, false},
            {"float4", 5, false},     {"float4x4", 6, false},    {"int", 7, false},        {"sampler1D", 8, true},
            {"sampler2D", 9, true},   {"sampler3D", 10, true},   {"samplerRect", 11, true}, {"samplerCube", 12, true},
            {"samplerDepth", 13, true}, {"usertype", 14, true},
        };
        children([&](const std::string& child) {
            for (const auto& type : types) {
                if (child == type.element) {
                    p.type = type.type;
                    if (type.isSampler) {
                        p.value.clear();
                        sampler(p);
                    } else {
                        p.value = text();
                    }
                    return;
                }
            }
            if (child == "semantic")
                p.semantic = text();
            else if (child == "annotate")
                p.annotations.push_back(annotate());
            else
                skip(false);
        });
        if (!m_truncated)
            m_fx.parameters.push_back(std::move(p));
    }

    void profile(bool glsl)
    {
        children([&](const std::string& child) {
            if (child == "include") {
                m_fx.includes.push_back(SInclude{attribute("sid"), attribute("url")});
                skip(true);
            } else if (child == "technique") {
                technique(glsl);
            } else {
                skip(false);
            }
        });
    }

    void technique(bool glsl)
    {
        STechnique t;
        t.name = attribute("sid");
        children([&](const std::string& child) {
            if (child == "pass")
                t.passes.push_back(pass(glsl));
            else if (child == "annotate")
                t.annotations.push_back(annotate());
            else
                skip(false);
        });
        if (!m_truncated)
            m_fx.techniques.push_back(std::move(t));
    }

    SPass pass(bool glsl)
    {
        SPass p;
        p.name = attribute("sid");
        children([&](const std::string& child) {
            if (child == "states")
                children([&](const std::string& state) { states(p, state); });
            else if (child == "evaluate")
                evaluate(p);
            else if (child == "program")
                program(p, glsl);
            else if (child == "annotate")
                p.annotations.push_back(annotate());
            else
                skip(false);
        });
        return p;
    }

    void states(SPass& p, const std::string& element)
    {
        SState s;
        s.name = element;
        s.value = attribute("value");
        s.parameter = attribute("param");
        s.index = index();
        if (element == "blend_func" && !m_reader->isEmptyElement()) {
            bool hadChildren = false;
            children([&](const std::string& child) {
                hadChildren = true;
                if (child == "src" || child == "dest") {
                    SState part;
                    part.name = "blend_func " + child;
                    part.value = attribute("value");
                    part.parameter = attribute("param");
                    part.index = index();
                    p.states.push_back(part);
                    skip(true);
                } else {
                    skip(false);
                }
            });
            if (!hadChildren)
                p.states.push_back(s);
            return;
        }
        children([&](const std::string& child) {
            if (child == "value")
                s.value = text();
            else if (child == "param")
                s.parameter = text();
            else
                skip(false);
        });
        p.states.push_back(s);
    }

    void evaluate(SPass& p)
    {
        children([&](const std::string& child) {
            const bool target = child == "color_target" || child == "depth_target" || child == "stencil_target";
            const bool clear = child == "color_clear" || child == "depth_clear" || child == "stencil_clear";
            if (target || clear) {
                SEvaluate e;
                e.name = child;
                e.index = index();
                const std::string value = children([&](const std::string& inner) {
                    if (inner == "param") {
                        e.value = attribute("ref");
                        skip(true);
                    } else if (inner == "instance_image") {
                        e.image = attribute("url");
                        skip(true);
                    } else {
                        skip(false);
                    }
                });
                if (clear)
                    e.value = e.value.empty() ? value : e.value;
                p.evaluates.push_back(e);
            } else if (child == "draw") {
                SEvaluate e;
                e.name = "draw";
                e.value = text();
                p.evaluates.push_back(e);
            } else {
                skip(false);
            }
        });
    }

    SParameter bindUniform()
    {
        SParameter bind;
        bind.name = attribute("symbol");
        children([&](const std::string& child) {
            if (child == "param") {
                bind.value = attribute("ref");
                skip(true);
            } else {
                skip(false);
            }
        });
        return bind;
    }

    void program(SPass& p, bool glsl)
    {
        children([&](const std::string& child) {
            if (child == "shader") {
                p.shaders.push_back(shader(glsl));
            } else if (glsl && child == "bind_uniform") {
                SParameter bind = bindUniform();
                for (SShader& s : p.shaders)
                    if (s.stage == ETASTAGE_PIXEL) {
                        s.binds.push_back(bind);
                        break;
                    }
            } else {
                skip(false);
            }
        });
    }

    SShader shader(bool glsl)
    {
        SShader s;
        const std::string stage = attribute("stage");
        s.stage = stage == "TESSELATION" ? 1 : stage == "VERTEX" ? 2 : stage == "GEOMETRY" ? 3 : stage == "FRAGMENT" ? 4 : 0;
        if (glsl)
            s.target = s.stage == ETASTAGE_VERTEX ? ETATARGET_VS_2_0 : s.stage == ETASTAGE_PIXEL ? ETATARGET_PS_2_0 : 0;
        children([&](const std::string& child) {
            if (child == "sources") {
                s.entryPoint = attribute("entry");
                children([&](const std::string& source) {
                    if (source == "inline") {
                        s.defines.push_back(text());
                    } else if (source == "import") {
                        const std::string ref = attribute("ref");
                        s.file = ref;
                        bool found = false;
                        for (const SInclude& include : m_fx.includes)
                            if (include.sid == ref) {
                                s.file = include.url;
                                found = true;
                                break;
                            }
                        if (!found)
                            printf("COLLADA Warning missing include reference for source ref '%s'\n", ref.c_str());
                        skip(true);
                    } else {
                        skip(false);
                    }
                });
            } else if (child == "compiler") {
                const std::string target = attribute("target");
                static const char* const targets[] = {"vs_1_1", "vs_2_0", "vs_3_0", "ps_1_1", "ps_2_0", "ps_3_0"};
                s.target = 0;
                for (int k = 0; k < 6; ++k)
                    if (target == targets[k])
                        s.target = k + 1;
                skip(true);
            } else if (!glsl && child == "bind_uniform") {
                s.binds.push_back(bindUniform());
            } else {
                skip(false);
            }
        });
        return s;
    }

    CTaXmlReader* m_reader;
    // The input ended inside an element: records whose element never ended are not added.
    bool m_truncated = false;
    [[maybe_unused]] CTaEffectDef& m_def;
    SEffectDesc& m_fx;
    bool m_openGL;
};

} // namespace

void CTaEffectDefCollada::parse(CTaXmlReader* reader)
{
    if (reader)
        CTaColladaReader(reader, *this).document();
}

bool CTaEffectDefLoaderCollada::canLoad(const char* fileName) const
{
    return taFileHasExtension(fileName, {"dae", "xml"});
}

ITaEffectDef* CTaEffectDefLoaderCollada::load(io::IFileSystem*, const char* fileName, const STaFxMacro*,
                                              bool isOpenGL, const char** errorText)
{
    CTaEffectDefCollada* definition = new CTaEffectDefCollada(fileName, isOpenGL);
    static const char* const kNotFound = "File Not Found";
    // Read through the file layer, so the document may come from the mounted archive.
    STaFileBlock block = taReadWholeFile(fileName ? fileName : "");
    if (!block.data) {
        if (errorText)
            *errorText = kNotFound;
        return definition;
    }
    CTaXmlReader reader(std::string(block.data.get(), block.size));
    definition->parse(&reader);
    if (errorText)
        *errorText = nullptr;
    return definition;
}
