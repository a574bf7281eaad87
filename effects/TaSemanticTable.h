// The names effect files may use for engine-fed values: the semantic table with its binding names,
// the LightWave surface channels and the texture channels. One table, read by the effect loaders
// and by the semantic binds.
#pragma once

#include <cstddef>

// A semantic name and the name the binds know it by (its alias, or itself).
struct STaSemanticName {
    const char* name;
    const char* binding;
};

// The 146 semantic names in table order; lookups return the first match.
extern const STaSemanticName taSemanticTable[];
extern const size_t taSemanticTableSize;
// The row whose name equals `name` without regard to case, or nullptr.
const STaSemanticName* taFindSemantic(const char* name);

// LightWave surface channels that may follow "Surface_" (39).
extern const char* const taSurfaceChannels[];
extern const size_t taSurfaceChannelCount;
// The table's spelling of a surface channel (compared without regard to case), or nullptr.
const char* taFindSurfaceChannel(const char* name);

// LightWave channels a texture may take its image from ("Color" means "BaseColor").
extern const char* const taTextureChannels[];
extern const size_t taTextureChannelCount;
// The channel a texture source names, spelled as the table spells it ("BaseColor" for "Color"),
// or nullptr.
const char* taFindTextureChannel(const char* name);
