// Shared by the effect-loader fuzz targets: the input served as a file through the file layer's
// open hook, then the whole model walked through the interface.
#pragma once

#include "core/TaLog.h"
#include "effects/TaEffectDef.h"
#include "files/TaFile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

struct STaFuzzFile {
    const uint8_t* data;
    size_t size;
    size_t position;
};

inline int fuzzSeek(tfile* f, long offset, int whence)
{
    auto* m = static_cast<STaFuzzFile*>(f->handle);
    long base = whence == 0 ? 0 : whence == 1 ? long(m->position) : long(m->size);
    if (whence < 0 || whence > 2 || base + offset < 0 || size_t(base + offset) > m->size)
        return -1;
    m->position = size_t(base + offset);
    return 0;
}
inline size_t fuzzRead(void* buffer, size_t size, size_t count, tfile* f)
{
    auto* m = static_cast<STaFuzzFile*>(f->handle);
    if (size == 0)
        return 0;
    const size_t items = std::min(count, (m->size - m->position) / size);
    memcpy(buffer, m->data + m->position, items * size);
    m->position += items * size;
    return items;
}
inline int fuzzGetc(tfile* f)
{
    unsigned char c;
    return fuzzRead(&c, 1, 1, f) == 1 ? c : -1;
}
inline char* fuzzGets(char*, int, tfile*) { return nullptr; }
inline long fuzzTell(tfile* f) { return long(static_cast<STaFuzzFile*>(f->handle)->position); }
inline int fuzzClose(tfile* f)
{
    delete static_cast<STaFuzzFile*>(f->handle);
    delete f;
    return 0;
}

inline const uint8_t* g_fuzzData = nullptr;
inline size_t g_fuzzSize = 0;

inline tfile* fuzzOpen(const char*, const char*, void*)
{
    return new tfile{new STaFuzzFile{g_fuzzData, g_fuzzSize, 0}, fuzzSeek, fuzzRead, fuzzGetc, fuzzGets, fuzzTell, fuzzClose};
}

inline void fuzzQuiet(const char*, void*) {}

// Loads the input with `loader` and reads every record back through the interface.
inline void fuzzEffectLoader(ITaEffectDefLoader& loader, const char* name, const uint8_t* data, size_t size, bool isOpenGL)
{
    taSetLogSink(fuzzQuiet, nullptr);
    g_fuzzData = data;
    g_fuzzSize = size;
    taSetOpenHook(fuzzOpen, nullptr);
    static const STaFxMacro macros[] = {{"USE_TEX_BUMP", "1"}, {"TECH_X", ""}, {nullptr, nullptr}};
    const char* error = nullptr;
    ITaEffectDef* d = loader.load(nullptr, name, macros, isOpenGL, &error);
    const STaEffectInfo info = d->getDesc();
    float values[16];
    int ints[4];
    for (unsigned i = 0; i < info.parameters; ++i) {
        const SParameter* p = d->getParameter(nullptr, i);
        d->getFloat(p), d->getFloatArray(p, values, 16), d->getIntArray(p, ints, 4), d->getInt(p), d->getMatrix(p);
        for (unsigned a = 0; a < d->getParameterDesc(p).annotations; ++a)
            d->getString(d->getAnnotation(p, a));
    }
    for (unsigned t = 0; t < info.techniques; ++t) {
        const STechnique* technique = d->getTechnique(t);
        for (unsigned k = 0; k < d->getTechniqueDesc(technique).passes; ++k) {
            const SPass* pass = d->getPass(technique, k);
            const STaPassDesc desc = d->getPassDesc(pass);
            for (unsigned s = 0; s < desc.shaders; ++s) {
                const SShader* shader = d->getShader(pass, s);
                for (unsigned b = 0; b < d->getShaderDesc(shader).binds; ++b)
                    d->getBindParameter(d->getShaderBind(shader, b));
            }
            for (unsigned s = 0; s < desc.states; ++s)
                d->getStateParameter(d->getState(pass, s));
            for (unsigned e = 0; e < desc.evaluates; ++e)
                d->getEvaluateParameter(d->getEvaluate(pass, e));
        }
    }
    d->drop();
    taClearFileHooks();
}
