// The effect definition model.
#include "effects/TaEffectDef.h"

#include "files/TaFile.h"
#include "files/TaFileIrr.h"
#include "platform/TaPlatform.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

// Numbers of a value text, white space (space, tab, CR, LF) separated.
const char* skipBlanks(const char* p)
{
    while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
        ++p;
    return p;
}

// The next number as a float; false when there is none. NaN and infinities are read as 0.
bool nextFloat(const char*& p, float& value)
{
    p = skipBlanks(p);
    if (!*p)
        return false;
    char* end = nullptr;
    value = strtof(p, &end);
    if (end == p) {
        // Not a number: skip the word, read 0.
        while (*p && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')
            ++p;
        value = 0.0f;
        return true;
    }
    if (!std::isfinite(value))
        value = 0.0f;
    p = end;
    return true;
}

// A float as an int, clamped to the int range (NaN reads 0).
int toInt(float value)
{
    if (!(value == value))
        return 0;
    if (value >= 2147483520.0f)
        return INT_MAX;
    if (value <= -2147483648.0f)
        return INT_MIN;
    return static_cast<int>(value);
}

} // namespace

bool taFileHasExtension(const char* fileName, std::initializer_list<const char*> extensions)
{
    if (!fileName)
        return false;
    const char* dot = strrchr(fileName, '.');
    if (!dot || strpbrk(dot, "/\\"))
        return false;
    for (const char* extension : extensions)
        if (strcasecmp(dot + 1, extension) == 0)
            return true;
    return false;
}

CTaEffectDef::CTaEffectDef(const char* fileName, bool isOpenGL)
    : m_fileName(taGetAbsolutePath(fileName ? fileName : "")), m_isOpenGL(isOpenGL)
{
    // Names inside an archive are relative to it: they stay as given there.
    if (taIsArchiveMode())
        m_fileName = fileName ? fileName : "";
    // The stdio back end's absolute form is relative to its working directory; anchor it.
    else if (!m_fileName.empty() && !taIsAbsolutePath(m_fileName.c_str()))
        m_fileName = taPlatformCurrentDirectory() + "/" + m_fileName;
}

SParameter& CTaEffectDef::addParameter(SParameter parameter)
{
    for (SParameter& existing : m_effect.parameters)
        if (existing.name == parameter.name)
            return existing;
    m_effect.parameters.push_back(std::move(parameter));
    return m_effect.parameters.back();
}

STaEffectInfo CTaEffectDef::getDesc() const
{
    return STaEffectInfo{m_effect.id.c_str(), m_effect.name.c_str(), m_effect.title.c_str(), m_effect.subject.c_str(),
                         m_effect.comments.c_str(), unsigned(m_effect.parameters.size()),
                         unsigned(m_effect.techniques.size()), unsigned(m_effect.annotations.size())};
}

int CTaEffectDef::getTechniqueByName(const char* name) const
{
    for (size_t i = 0; name && i < m_effect.techniques.size(); ++i)
        if (m_effect.techniques[i].name == name)
            return int(i);
    return -1;
}

const STechnique* CTaEffectDef::getTechnique(unsigned index) const
{
    return index < m_effect.techniques.size() ? &m_effect.techniques[index] : nullptr;
}

STaTechniqueDesc CTaEffectDef::getTechniqueDesc(const STechnique* t) const
{
    if (!t)
        return STaTechniqueDesc{"", 0, 0};
    return STaTechniqueDesc{t->name.c_str(), unsigned(t->passes.size()), unsigned(t->annotations.size())};
}

const SPass* CTaEffectDef::getPass(const STechnique* t, unsigned index) const
{
    return t && index < t->passes.size() ? &t->passes[index] : nullptr;
}

STaPassDesc CTaEffectDef::getPassDesc(const SPass* p) const
{
    if (!p)
        return STaPassDesc{"", 0, 0, 0, 0};
    return STaPassDesc{p->name.c_str(), unsigned(p->shaders.size()), unsigned(p->states.size()),
                       unsigned(p->evaluates.size()), unsigned(p->annotations.size())};
}

const SState* CTaEffectDef::getState(const SPass* p, unsigned index) const
{
    return p && index < p->states.size() ? &p->states[index] : nullptr;
}

const SState* CTaEffectDef::getStateByName(const SPass* p, const char* name) const
{
    for (size_t i = 0; p && name && i < p->states.size(); ++i)
        if (p->states[i].name == name)
            return &p->states[i];
    return nullptr;
}

const SEvaluate* CTaEffectDef::getEvaluate(const SPass* p, unsigned index) const
{
    return p && index < p->evaluates.size() ? &p->evaluates[index] : nullptr;
}

const SParameter* CTaEffectDef::getParameter(const STaFxRecord* parent, unsigned index) const
{
    if (parent)
        return nullptr;
    return index < m_effect.parameters.size() ? &m_effect.parameters[index] : nullptr;
}

const SParameter* CTaEffectDef::getParameterBySemantic(const STaFxRecord* parent, const char* semantic) const
{
    if (parent || !semantic)
        return nullptr;
    for (const SParameter& p : m_effect.parameters)
        if (p.semantic == semantic)
            return &p;
    return nullptr;
}

const SParameter* CTaEffectDef::getParameterByName(const STaFxRecord* parent, const char* name) const
{
    if (parent || !name)
        return nullptr;
    for (const SParameter& p : m_effect.parameters)
        if (p.name == name)
            return &p;
    return nullptr;
}

int CTaEffectDef::getParameterIndex(const SParameter* parameter) const
{
    for (size_t i = 0; parameter && i < m_effect.parameters.size(); ++i)
        if (&m_effect.parameters[i] == parameter)
            return int(i);
    return -1;
}

unsigned CTaEffectDef::getParametersBySemantic(const STaFxRecord* parent, const char* semantic,
                                               std::vector<const SParameter*>& out) const
{
    out.clear();
    if (parent || !semantic)
        return 0;
    for (const SParameter& p : m_effect.parameters)
        if (p.semantic == semantic)
            out.push_back(&p);
    return unsigned(out.size());
}

int CTaEffectDef::getTextureParameterIndexBySemantic(const STaFxRecord* parent, const char* semantic) const
{
    if (parent || !semantic)
        return -1;
    for (size_t i = 0; i < m_effect.parameters.size(); ++i)
        if (taIsTextureType(m_effect.parameters[i].type) && m_effect.parameters[i].semantic == semantic)
            return int(i);
    return -1;
}

const SShader* CTaEffectDef::getShader(const SPass* p, unsigned index) const
{
    return p && index < p->shaders.size() ? &p->shaders[index] : nullptr;
}

STaShaderDesc CTaEffectDef::getShaderDesc(const SShader* s) const
{
    if (!s)
        return STaShaderDesc{0, "", "", 0, 0, 0};
    return STaShaderDesc{s->stage, s->entryPoint.c_str(), s->file.c_str(), unsigned(s->defines.size()), s->target,
                         unsigned(s->binds.size())};
}

bool CTaEffectDef::getShaderDefine(const SShader* s, unsigned index, const char** line) const
{
    if (!s || index >= s->defines.size())
        return false;
    if (line)
        *line = s->defines[index].c_str();
    return true;
}

const SParameter* CTaEffectDef::getShaderBind(const SShader* s, unsigned index) const
{
    return s && index < s->binds.size() ? &s->binds[index] : nullptr;
}

const SParameter* CTaEffectDef::getBindParameter(const SParameter* bind) const
{
    return bind ? getParameterByName(nullptr, bind->value.c_str()) : nullptr;
}

STaParameterDesc CTaEffectDef::getParameterDesc(const SParameter* p) const
{
    if (!p)
        return STaParameterDesc{"", "", 0, 0};
    return STaParameterDesc{p->name.c_str(), p->semantic.c_str(), p->type, unsigned(p->annotations.size())};
}

const std::vector<SParameter>* CTaEffectDef::annotationsOf(const STaFxRecord* parent) const
{
    if (!parent)
        return &m_effect.annotations;
    switch (parent->kind) {
    case ETAFX_PARAMETER: return &static_cast<const SParameter*>(parent)->annotations;
    case ETAFX_PASS: return &static_cast<const SPass*>(parent)->annotations;
    case ETAFX_TECHNIQUE: return &static_cast<const STechnique*>(parent)->annotations;
    case ETAFX_EFFECT: return &static_cast<const SEffectDesc*>(parent)->annotations;
    default: return nullptr;
    }
}

const SParameter* CTaEffectDef::getAnnotation(const STaFxRecord* parent, unsigned index) const
{
    const std::vector<SParameter>* list = annotationsOf(parent);
    return list && index < list->size() ? &(*list)[index] : nullptr;
}

const SParameter* CTaEffectDef::getAnnotationByName(const STaFxRecord* parent, const char* name) const
{
    const std::vector<SParameter>* list = annotationsOf(parent);
    for (size_t i = 0; list && name && i < list->size(); ++i)
        if ((*list)[i].name == name)
            return &(*list)[i];
    return nullptr;
}

float CTaEffectDef::getFloat(const SParameter* p) const
{
    float value = 0.0f;
    if (p) {
        const char* text = p->value.c_str();
        if (!nextFloat(text, value))
            value = 0.0f;
    }
    return value;
}

bool CTaEffectDef::getFloatArray(const SParameter* p, float* out, unsigned count) const
{
    const char* text = p ? p->value.c_str() : "";
    bool all = true;
    for (unsigned i = 0; i < count; ++i) {
        float value = 0.0f;
        if (!nextFloat(text, value)) {
            value = 0.0f;
            all = false;
        }
        out[i] = value;
    }
    return all;
}

bool CTaEffectDef::getBool(const SParameter* p) const { return getInt(p) != 0; }

int CTaEffectDef::getInt(const SParameter* p) const
{
    if (!p)
        return 0;
    errno = 0;
    const long long value = strtoll(skipBlanks(p->value.c_str()), nullptr, 10);
    return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : int(value);
}

bool CTaEffectDef::getIntArray(const SParameter* p, int* out, unsigned count) const
{
    std::vector<float> values(count);
    const bool all = getFloatArray(p, values.data(), count);
    for (unsigned i = 0; i < count; ++i)
        out[i] = toInt(values[i]);
    return all;
}

irr::core::matrix4 CTaEffectDef::getMatrix(const SParameter* p) const
{
    float values[16];
    getFloatArray(p, values, 16);
    irr::core::matrix4 matrix;
    matrix.setM(values);
    return matrix;
}

const char* CTaEffectDef::getName(const SParameter* record) const { return record ? record->name.c_str() : ""; }
const char* CTaEffectDef::getString(const SParameter* record) const { return record ? record->value.c_str() : ""; }

STaSamplerInfo CTaEffectDef::getSamplerInfo(const SParameter* p) const
{
    if (!p)
        return STaSamplerInfo{"", "", "", "", "", "", ""};
    return STaSamplerInfo{p->imageUrl.c_str(), p->wrapU.c_str(), p->wrapV.c_str(), p->wrapW.c_str(),
                          p->minFilter.c_str(), p->magFilter.c_str(), p->mipFilter.c_str()};
}

STaStateDesc CTaEffectDef::getStateDesc(const SState* s) const
{
    if (!s)
        return STaStateDesc{"", "", "", 0};
    return STaStateDesc{s->name.c_str(), s->value.c_str(), s->parameter.c_str(), s->index};
}

const SParameter* CTaEffectDef::getStateParameter(const SState* s) const
{
    if (!s || s->parameter.empty())
        return nullptr;
    return getParameterByName(nullptr, s->parameter.c_str());
}

STaEvaluateDesc CTaEffectDef::getEvaluateDesc(const SEvaluate* e) const
{
    if (!e)
        return STaEvaluateDesc{"", 0, "", ""};
    return STaEvaluateDesc{e->name.c_str(), e->index, e->value.c_str(), e->image.c_str()};
}

const SParameter* CTaEffectDef::getEvaluateParameter(const SEvaluate* e) const
{
    if (!e || e->value.empty())
        return nullptr;
    return getParameterByName(nullptr, e->value.c_str());
}
