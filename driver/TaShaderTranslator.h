// Shader translation: HLSL source to the driver's shading language, with the reflection the effect
// layer needs to feed constants and samplers by their HLSL names. One interface, so another back
// end can take the OpenGL one's place.
#pragma once

#include <memory>
#include <string>
#include <vector>

enum ETaShaderStageKind {
    ETASHADERSTAGE_VERTEX,
    ETASHADERSTAGE_PIXEL,
};

// Supplies the text of an #include: false when it cannot; `resolvedName` names it in messages and
// is the includer of the includes inside it. Called in the engine's own process before the
// translation, for every #include directive the texts hold, whatever the preprocessor would skip.
typedef bool (*TaShaderIncludeCallback)(const char* requested, const char* includer, std::string& content,
                                        std::string& resolvedName, void* user);

// What to translate.
struct STaShaderRequest {
    std::string source;     // the HLSL text
    std::string fileName;   // named in error messages
    std::string entryPoint;
    ETaShaderStageKind stage = ETASHADERSTAGE_VERTEX;
    std::vector<std::pair<std::string, std::string>> macros; // name, value
    TaShaderIncludeCallback include = nullptr;
    void* includeUser = nullptr;
};

// Value kinds of constants, as the program reports them.
enum ETaConstantKind { ETACONST_FLOAT, ETACONST_INT, ETACONST_UINT, ETACONST_BOOL };

// A constant: its HLSL name, its name in the translated program, its shape.
struct STaShaderConstant {
    std::string hlslName;
    std::string glName;
    ETaConstantKind kind = ETACONST_FLOAT;
    int rows = 1;      // vector size (per column for matrices)
    int columns = 1;   // 1 for scalars and vectors
    int arraySize = 0; // 0 when not an array
};

// A sampler: its HLSL name, its name in the program, its texture unit and kind.
struct STaShaderSampler {
    std::string hlslName;
    std::string glName;
    int unit = 0;
    int dimensions = 2; // 1, 2, 3, or 6 for a cube
};

struct STaShaderTranslation {
    bool ok = false;
    std::string code;  // the translated text, led by the translator's tag line
    std::string error; // compile errors naming file and line
    std::vector<STaShaderConstant> constants;
    std::vector<STaShaderSampler> samplers;
    std::vector<std::string> includes; // resolved names of the files included
};

class ITaShaderTranslator
{
public:
    virtual ~ITaShaderTranslator() = default;
    // The first line of every translation: a cached blob with another tag is stale.
    virtual const char* tag() const = 0;
    virtual STaShaderTranslation translate(const STaShaderRequest& request) = 0;
    // The reflection a translation carries inside its code (so that cached code needs no
    // translation); false when the code holds none or is damaged.
    virtual bool readReflection(const std::string& code, std::vector<STaShaderConstant>& constants,
                                std::vector<STaShaderSampler>& samplers) const = 0;
};

// HLSL to GLSL 3.30 (compatibility profile) through glslang and SPIRV-Cross.
std::unique_ptr<ITaShaderTranslator> taCreateHlslToGlslTranslator();

// Removes "= sampler_state { ... }" initialisers, which the HLSL front end rejects.
std::string taStripSamplerStates(const std::string& source);
