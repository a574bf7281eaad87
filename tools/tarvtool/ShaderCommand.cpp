// "tarvtool shader FILE ENTRY vs|ps [-D NAME[=VALUE]]...".
#include "tools/tarvtool/ShaderCommand.h"

#include "driver/TaShaderTranslator.h"
#include "files/TaFile.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int usage()
{
    fprintf(stderr, "usage: tarvtool shader FILE ENTRY vs|ps [-D NAME[=VALUE]]...\n");
    return 2;
}

// Includes resolve beside the including file, then through the engine's search directories.
bool includeFile(const char* requested, const char* includer, std::string& content, std::string& resolved, void*)
{
    const std::string beside = taFileDirOf(includer ? includer : "") + requested;
    for (const std::string& candidate : {beside, std::string(taFindFile(requested))}) {
        STaFileBlock block = taReadWholeFile(candidate.c_str());
        if (block.data) {
            content.assign(block.data.get(), block.size);
            resolved = candidate;
            return true;
        }
    }
    return false;
}

const char* kindName(ETaConstantKind kind)
{
    switch (kind) {
    case ETACONST_INT: return "int";
    case ETACONST_UINT: return "uint";
    case ETACONST_BOOL: return "bool";
    default: return "float";
    }
}

} // namespace

int shaderCommand(int argc, char** argv)
{
    if (argc < 4 || (strcmp(argv[3], "vs") != 0 && strcmp(argv[3], "ps") != 0))
        return usage();
    STaShaderRequest request;
    request.fileName = argv[1];
    request.entryPoint = argv[2];
    request.stage = strcmp(argv[3], "vs") == 0 ? ETASHADERSTAGE_VERTEX : ETASHADERSTAGE_PIXEL;
    request.include = includeFile;
    for (int i = 4; i < argc; ++i) {
        std::string define;
        if (strcmp(argv[i], "-D") == 0 && i + 1 < argc)
            define = argv[++i];
        else if (strncmp(argv[i], "-D", 2) == 0 && argv[i][2])
            define = argv[i] + 2;
        else
            return usage();
        const size_t equals = define.find('=');
        request.macros.emplace_back(define.substr(0, equals), equals == std::string::npos ? "1" : define.substr(equals + 1));
    }
    STaFileBlock block = taReadWholeFile(request.fileName.c_str());
    if (!block.data) {
        fprintf(stderr, "tarvtool: cannot read '%s'\n", request.fileName.c_str());
        return 1;
    }
    request.source.assign(block.data.get(), block.size);
    std::unique_ptr<ITaShaderTranslator> translator = taCreateHlslToGlslTranslator();
    const STaShaderTranslation result = translator->translate(request);
    if (!result.ok) {
        fprintf(stderr, "%s", result.error.c_str());
        if (!result.error.empty() && result.error.back() != '\n')
            fputc('\n', stderr);
        return 1;
    }
    printf("%s\n", result.code.c_str());
    printf("// constants:\n");
    for (const STaShaderConstant& c : result.constants)
        printf("//   %s -> %s: %s %dx%d%s\n", c.hlslName.c_str(), c.glName.c_str(), kindName(c.kind), c.rows, c.columns,
               c.arraySize ? ("[" + std::to_string(c.arraySize) + "]").c_str() : "");
    printf("// samplers:\n");
    for (const STaShaderSampler& s : result.samplers)
        printf("//   %s -> %s: unit %d, %dD%s\n", s.hlslName.c_str(), s.glName.c_str(), s.unit,
               s.dimensions == 6 ? 2 : s.dimensions, s.dimensions == 6 ? " cube" : "");
    for (const std::string& include : result.includes)
        printf("// includes %s\n", include.c_str());
    return 0;
}
