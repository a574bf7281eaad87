// "tarvtool fx dump FILE [-D NAME[=VALUE]]..." and "tarvtool fx check FILE [-D NAME[=VALUE]]...".
#include "tools/tarvtool/FxCommands.h"

#include "effects/TaEffectDefCollada.h"
#include "effects/TaEffectDefTarv.h"
#include "effects/TaEffectManager.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "tools/tarvtool/Headless.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace irr;

namespace {

int usage()
{
    fprintf(stderr, "usage: tarvtool fx dump FILE [-D NAME[=VALUE]]...\n"
                    "       tarvtool fx check FILE [-D NAME[=VALUE]]...\n"
                    "       FILE: a Tarv shader (.hlsl, .fx) or a COLLADA FX document (.dae, .xml)\n");
    return 2;
}

const char* typeName(int type)
{
    static const char* const names[] = {"none", "bool", "float", "float2", "float3", "float4", "float4x4", "int",
                                        "sampler1D", "texture2D", "texture3D", "samplerRect", "textureCUBE",
                                        "samplerDepth", "usertype"};
    return type >= 0 && type <= 14 ? names[type] : "?";
}

const char* stageName(int stage)
{
    static const char* const names[] = {"none", "tesselation", "vertex", "geometry", "pixel"};
    return stage >= 0 && stage <= 4 ? names[stage] : "?";
}

const char* targetName(int target)
{
    static const char* const names[] = {"none", "vs_1_1", "vs_2_0", "vs_3_0", "ps_1_1", "ps_2_0", "ps_3_0"};
    return target >= 0 && target <= 6 ? names[target] : "?";
}

void printAnnotations(const std::vector<SParameter>& annotations, const char* indent)
{
    for (const SParameter& a : annotations)
        printf("%sannotation %s = \"%s\"\n", indent, a.name.c_str(), a.value.c_str());
}

void dump(const CTaEffectDef& def)
{
    const SEffectDesc& fx = def.effect();
    printf("file: %s\n", def.getFileName());
    if (!fx.id.empty() || !fx.name.empty())
        printf("id: \"%s\"  name: \"%s\"\n", fx.id.c_str(), fx.name.c_str());
    printf("title: \"%s\"\nsubject: \"%s\"\ncomments: \"%s\"\n", fx.title.c_str(), fx.subject.c_str(), fx.comments.c_str());
    printAnnotations(fx.annotations, "");
    for (const SInclude& include : fx.includes)
        printf("include %s = %s\n", include.sid.c_str(), include.url.c_str());
    printf("parameters: %zu\n", fx.parameters.size());
    for (const SParameter& p : fx.parameters) {
        printf("  %s %s", typeName(p.type), p.name.c_str());
        if (!p.semantic.empty())
            printf(" : semantic %s", p.semantic.c_str());
        if (!p.value.empty())
            printf(" : value \"%s\"", p.value.c_str());
        printf("\n");
        if (!p.imageUrl.empty() || !p.wrapU.empty() || !p.minFilter.empty() || !p.mipFilter.empty())
            printf("    sampler image \"%s\" wrap %s %s %s filters min %s mag %s mip %s\n", p.imageUrl.c_str(),
                   p.wrapU.c_str(), p.wrapV.c_str(), p.wrapW.c_str(), p.minFilter.c_str(), p.magFilter.c_str(),
                   p.mipFilter.c_str());
        printAnnotations(p.annotations, "    ");
    }
    printf("techniques: %zu\n", fx.techniques.size());
    for (const STechnique& t : fx.techniques) {
        printf("  technique \"%s\"\n", t.name.c_str());
        printAnnotations(t.annotations, "    ");
        for (const SPass& pass : t.passes) {
            printf("    pass \"%s\"\n", pass.name.c_str());
            printAnnotations(pass.annotations, "      ");
            for (const SShader& s : pass.shaders) {
                printf("      %s shader %s in %s, target %s\n", stageName(s.stage), s.entryPoint.c_str(), s.file.c_str(),
                       targetName(s.target));
                for (const std::string& define : s.defines)
                    printf("        define %s\n", define.c_str());
                for (const SParameter& bind : s.binds)
                    printf("        bind %s <- %s\n", bind.name.c_str(), bind.value.c_str());
            }
            for (const SState& state : pass.states)
                printf("      state %s index %d parameter \"%s\" value \"%s\"\n", state.name.c_str(), state.index,
                       state.parameter.c_str(), state.value.c_str());
            for (const SEvaluate& e : pass.evaluates)
                printf("      evaluate %s index %d value \"%s\" image \"%s\"\n", e.name.c_str(), e.index, e.value.c_str(),
                       e.image.c_str());
        }
    }
}

// Builds the effect as the engine would (every pass of every technique translated), on the null
// driver, and prints its constants with their semantics and binds and its samplers with their layers
// and textures.
int check(const char* file, const STaFxMacro* macros)
{
    if (!taToolStartEngine())
        return 1;
    CTaEffectManager* manager = taGetManager()->getEffectManager();
    CTaEffect* effect = manager->createEffect(file, -1, macros);
    if (!effect) {
        const std::string& reason = manager->getLastError();
        fprintf(stderr, "tarvtool: %s does not build: %s\n", file,
                reason.empty() ? "no effect loader reads it (.hlsl, .fx, .dae, .xml)" : reason.c_str());
        taShutdown();
        return 1;
    }
    const ITaEffectDef* definition = effect->definition();
    for (size_t t = 0; t < effect->techniqueCount(); ++t) {
        const STechnique* technique = definition->getTechnique(static_cast<unsigned>(t));
        for (size_t p = 0; p < effect->passCount(static_cast<int>(t)); ++p) {
            const STaFxPass* pass = effect->pass(static_cast<int>(t), static_cast<int>(p));
            printf("technique %zu '%s', pass %zu: material type %d\n", t, technique ? technique->name.c_str() : "", p,
                   static_cast<int>(pass->material.material.MaterialType));
            for (const STaFxShader& shader : pass->shaders) {
                const char* stage = shader.stage == ETAFX_STAGE_VERTEX ? "vertex" : "pixel";
                for (const STaFxConstBind& constant : shader.constants)
                    printf("  %s constant %-24s %-28s -> %s\n", stage, constant.name.c_str(),
                           constant.semantic.empty() ? "(no semantic)" : constant.semantic.c_str(),
                           constant.bind == manager->binds().back() ? "its value" : constant.bind->bindName());
                for (const STaFxTextureBind& sampler : shader.samplers) {
                    const STaFxTextureSlot* slot = effect->getTextureSlot(sampler.parameter);
                    video::ITexture* texture = slot ? slot->texture : nullptr;
                    printf("  %s sampler  %-24s %s layer %d: %s%s\n", stage, sampler.name.c_str(),
                           shader.stage == ETAFX_STAGE_VERTEX ? "vertex" : "texture", sampler.sampler,
                           texture ? texture->getName().getPath().c_str() : "(no texture)",
                           slot && slot->srgb ? " (sRGB)" : "");
                }
            }
        }
    }
    effect->drop();
    taShutdown();
    return 0;
}

} // namespace

int fxCommand(int argc, char** argv)
{
    if (argc < 3 || (strcmp(argv[1], "dump") != 0 && strcmp(argv[1], "check") != 0))
        return usage();
    const char* file = argv[2];
    std::vector<std::string> texts;
    for (int i = 3; i < argc; ++i) {
        if (strcmp(argv[i], "-D") == 0 && i + 1 < argc)
            texts.push_back(argv[++i]);
        else if (strncmp(argv[i], "-D", 2) == 0 && argv[i][2])
            texts.push_back(argv[i] + 2);
        else
            return usage();
    }
    std::vector<std::string> names, values;
    for (const std::string& text : texts) {
        const size_t equals = text.find('=');
        names.push_back(text.substr(0, equals));
        values.push_back(equals == std::string::npos ? "" : text.substr(equals + 1));
    }
    std::vector<STaFxMacro> macros;
    for (size_t i = 0; i < names.size(); ++i)
        macros.push_back(STaFxMacro{names[i].c_str(), values[i].c_str()});
    macros.push_back(STaFxMacro{nullptr, nullptr});
    if (strcmp(argv[1], "check") == 0)
        return check(file, macros.data());

    CTaEffectDefLoaderTarv tarv;
    CTaEffectDefLoaderCollada collada;
    ITaEffectDefLoader* loader = tarv.canLoad(file) ? static_cast<ITaEffectDefLoader*>(&tarv)
                                 : collada.canLoad(file) ? static_cast<ITaEffectDefLoader*>(&collada)
                                                         : nullptr;
    if (!loader) {
        fprintf(stderr, "tarvtool: no effect loader reads '%s' (use .hlsl, .fx, .dae or .xml)\n", file);
        return 1;
    }
    const char* error = nullptr;
    ITaEffectDef* definition = loader->load(nullptr, file, macros.data(), false, &error);
    int status = 0;
    if (error) {
        fprintf(stderr, "tarvtool: %s: %s\n", file, error);
        status = 1;
    } else {
        dump(*static_cast<CTaEffectDef*>(definition));
    }
    if (loader == &tarv)
        for (const std::string& warning : static_cast<CTaEffectDefTarv*>(definition)->warnings())
            fprintf(stderr, "tarvtool: warning: %s: %s\n", file, warning.c_str());
    definition->drop();
    return status;
}
