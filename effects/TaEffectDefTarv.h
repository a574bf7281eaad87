// The Tarv shader format: an HLSL file whose comment block between "[TARV_BEGIN]" and
// "[TARV_END]" declares the parameters, textures, entry points and techniques of the effect.
#pragma once

#include "effects/TaEffectDef.h"

#include <string>
#include <vector>

// A definition filled from a Tarv shader file.
class CTaEffectDefTarv : public CTaEffectDef
{
public:
    CTaEffectDefTarv(const char* fileName, bool isOpenGL) : CTaEffectDef(fileName, isOpenGL) {}

    // Reads `text` for every technique it declares; `macroNames` are the caller's macro names
    // without a leading "USE_". Returns null, or the error text of the failing line.
    const char* parse(const std::string& text, const std::vector<std::string>& macroNames);

    // What the reader passed over without failing, for tools that explain a file: no
    // "[TARV_BEGIN]" block at all, or a declaration line whose type is unknown. The engine ignores
    // both (such a file simply declares nothing more).
    const std::vector<std::string>& warnings() const { return m_warnings; }

private:
    bool parseTechnique(const std::string& text, const std::string& technique, bool firstParse,
                        const std::vector<std::string>& callerMacros);
    bool processLine(std::string line, const std::string& technique, bool firstParse,
                     const std::vector<std::string>& macros, int& counter);
    void setError(const char* format, int value);

    std::string m_error;
    std::vector<std::string> m_warnings;
};

// Reads files ending in ".hlsl" or ".fx".
class CTaEffectDefLoaderTarv : public ITaEffectDefLoader
{
public:
    bool canLoad(const char* fileName) const override;
    bool usesMacros() const override { return true; }
    ITaEffectDef* load(irr::io::IFileSystem* fileSystem, const char* fileName, const STaFxMacro* macros,
                       bool isOpenGL, const char** errorText) override;
};

// Texture flags of the texture statement.
enum ETaTextureFlags {
    ETATEX_CUBE = 1,
    ETATEX_3D = 2,
    ETATEX_PRESET = 4,
    ETATEX_REPEAT = 8,
    ETATEX_CLAMP = 16,
    ETATEX_CLAMP_TO_EDGE = 32,
    ETATEX_CLAMP_V = 64,
    ETATEX_CLAMP_TO_EDGE_V = 128,
    ETATEX_NOMIPMAP = 256,
    ETATEX_FILTERPOINT = 512,
    ETATEX_TRILINEAR = 1024,
    ETATEX_R32F = 2048,
    ETATEX_SRGB = 4096,
    ETATEX_LINEAR = 8192,
    ETATEX_IMAGE = 16384,
    ETATEX_IMAGEREF = 32768,
    ETATEX_VERTEX = 65536,
    ETATEX_DIVIDER = 131072,
    ETATEX_DIVAFTER = 262144,
};

// Parameter flags of the parameter statement.
enum ETaParameterFlags {
    ETAPARAM_PIXEL = 1,
    ETAPARAM_VERTEX = 2,
    ETAPARAM_BOTH = 4,
    ETAPARAM_COLOR = 8,
    ETAPARAM_PERCENT = 16,
    ETAPARAM_DIVIDER = 32,
    ETAPARAM_DIVAFTER = 64,
};

// The type code of a Tarv type name (compared without regard to case), or 0.
int taTarvTypeCode(const char* name);
