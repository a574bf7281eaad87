// COLLADA FX effects: the effects library of a COLLADA document read into the effect definition
// model, with the engine's own XML reader.
#pragma once

#include "effects/TaEffectDef.h"

class CTaXmlReader;

// A definition filled from a COLLADA document; profile_CG is read, or profile_GLSL when isOpenGL.
class CTaEffectDefCollada : public CTaEffectDef
{
public:
    CTaEffectDefCollada(const char* fileName, bool isOpenGL) : CTaEffectDef(fileName, isOpenGL) {}
    // Reads the document's effects; unknown content is skipped with a message on standard output.
    void parse(CTaXmlReader* reader);
};

// Reads files ending in ".dae" or ".xml".
class CTaEffectDefLoaderCollada : public ITaEffectDefLoader
{
public:
    bool canLoad(const char* fileName) const override;
    bool usesMacros() const override { return false; }
    ITaEffectDef* load(irr::io::IFileSystem* fileSystem, const char* fileName, const STaFxMacro* macros,
                       bool isOpenGL, const char** errorText) override;
};
