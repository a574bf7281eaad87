// Fuzz target: effects built from Tarv files: the loader, the effect builder (base materials, define
// lines, binds, samplers and their layers), the value setters at every parameter and a draw's
// constant upload. The shader service is a stand-in that makes no programs (translation has its
// own tests): it answers every constant as present and gives samplers units from their names.
#include "effects/TaEffectDefTarv.h"
#include "effects/TaEffectManager.h"
#include "effects/TaGPUProgrammingServices.h"
#include "fuzz/FuzzFxCommon.h"

namespace {

using namespace irr;

class CFuzzGpu : public CTaGPUProgrammingServices
{
public:
    using CTaGPUProgrammingServices::CTaGPUProgrammingServices;
    s32 getShaderMaterial(const char* vsFile, const char*, int, const char* psFile, const char*, int,
                          video::IShaderConstantSetCallBack*, video::E_MATERIAL_TYPE, s32, const STaMacroArg*,
                          std::string* error) override
    {
        if (!vsFile || !*vsFile || !psFile || !*psFile) {
            if (error)
                *error = "missing shader file";
            return -1;
        }
        return video::EMT_SOLID;
    }
    bool getPixelShaderConstant(s32, const char*, int* index, int* count) override { return answer(index, count); }
    bool getVertexShaderConstant(s32, const char*, int* index, int* count) override { return answer(index, count); }
    bool getPixelSamplerIndex(s32, const char* name, int* index) override { return unit(name, index); }
    bool getVertexSamplerIndex(s32, const char* name, int* index) override { return unit(name, index); }

private:
    static bool answer(int* index, int* count)
    {
        *index = -1;
        *count = 4;
        return true;
    }
    // 0 to 12 from the name, so that the illegal layers are reached too.
    static bool unit(const char* name, int* index)
    {
        unsigned hash = 0;
        for (const char* c = name; c && *c; ++c)
            hash = hash * 31 + static_cast<unsigned char>(*c);
        *index = static_cast<int>(hash % 13);
        return true;
    }
};

class CQuietServices : public video::IMaterialRendererServices
{
public:
    void setBasicRenderStates(const video::SMaterial&, const video::SMaterial&, bool) override {}
    bool setVertexShaderConstant(const c8*, const f32* floats, int count) override { return touch(floats, count); }
    bool setVertexShaderConstant(const c8*, const bool*, int) override { return true; }
    bool setVertexShaderConstant(const c8*, const s32*, int) override { return true; }
    void setVertexShaderConstant(const f32* data, s32, s32 count) override { touch(data, count * 4); }
    bool setPixelShaderConstant(const c8*, const f32* floats, int count) override { return touch(floats, count); }
    bool setPixelShaderConstant(const c8*, const bool*, int) override { return true; }
    bool setPixelShaderConstant(const c8*, const s32*, int) override { return true; }
    void setPixelShaderConstant(const f32* data, s32, s32 count) override { touch(data, count * 4); }
    video::IVideoDriver* getVideoDriver() override { return nullptr; }
    f32 sum = 0;

private:
    // Reads every value handed over, so that a read past a buffer shows.
    bool touch(const f32* values, int count)
    {
        for (int i = 0; i < count; ++i)
            sum += values[i];
        return true;
    }
};

// Made with the first input, released at exit.
struct SFuzzWorld {
    IrrlichtDevice* device = createDevice(video::EDT_NULL);
    CFuzzGpu* gpu = new CFuzzGpu(device);
    std::vector<ITaEffectBind*> binds = taCreateBuiltInBinds(device);
    ~SFuzzWorld()
    {
        for (ITaEffectBind* bind : binds)
            bind->drop();
        delete gpu;
        device->drop();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static SFuzzWorld world;
    taSetLogSink(fuzzQuiet, nullptr);
    g_fuzzData = data;
    g_fuzzSize = size;
    taSetOpenHook(fuzzOpen, nullptr);
    CTaEffectDefLoaderTarv loader;
    static const STaFxMacro macros[] = {{"USE_TEX_BUMP", "1"}, {nullptr, nullptr}};
    const char* error = nullptr;
    ITaEffectDef* definition = loader.load(nullptr, "fuzz.hlsl", macros, false, &error);
    if (!error) {
        const std::vector<ITaEffectTextureResolver*> resolvers;
        const std::vector<std::string> none;
        CTaEffectBuilder builder(world.gpu, nullptr, world.binds, resolvers, none, none);
        if (CTaEffect* effect = builder.build(definition, -1, macros, nullptr)) {
            f32 values[64] = {1, 2, 3};
            s32 ints[64] = {4, 5};
            for (size_t i = 0; i < effect->parameterCount(); ++i) {
                const int index = static_cast<int>(i);
                effect->setFloatArray(index, values, 64);
                effect->setIntArray(index, ints, 64);
                effect->setBool(index, true);
                effect->setTexture(index, nullptr, true);
                effect->getFloatArray(index, values, 64);
            }
            CQuietServices services;
            STaMaterialExt record;
            record.effect = effect;
            for (size_t t = 0; t < effect->techniqueCount(); ++t)
                for (size_t p = 0; p < effect->passCount(static_cast<int>(t)); ++p) {
                    record.technique = static_cast<int>(t);
                    record.pass = static_cast<int>(p);
                    STaMaterial material;
                    effect->getPassMaterial(record.technique, record.pass, material);
                    effect->onSetShaderConstants(&services, 0, material.material, &record);
                }
            CTaEffect* copy = effect->clone();
            copy->drop();
            effect->drop();
        }
    }
    definition->drop();
    return 0;
}
