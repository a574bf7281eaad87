// CTaEffect: the drawable form of an effect definition. For every pass of every technique it holds
// an engine material (a compiled shader pair as its material type, eight texture layers and four
// vertex layers), the constants of the pass's shaders with the bind that feeds each, the samplers,
// and a 64-byte value slot per parameter that scripts and code set.
//
// Drawing with an effect: copy a pass material into the node's material with taApplyMaterial and a
// material extension record that names the effect, technique and pass (TaMaterialExt.h); the
// material type's constant callback (CTaEffectCallback) finds the record and uploads the pass's
// constants; the engine's material renderer binds the record's layers.
#pragma once

#include "driver/TaMaterialExt.h"
#include "driver/TaTexture.h"
#include "effects/TaEffectBind.h"
#include "effects/TaEffectDef.h"

#include <irrlicht.h>

#include <string>
#include <vector>

class ITaVideoDriverExt;

struct STaFxShader {
    int stage = 0;
    std::vector<STaFxConstBind> constants;
    std::vector<STaFxTextureBind> samplers;
};

struct STaFxPass {
    STaMaterial material;
    std::vector<STaFxShader> shaders;
    std::vector<ITaEffectBind*> binds;       // distinct, in first-use order (not held: the effect holds them)
    ITaShaderConstants* constants = nullptr; // the material type's, when the driver has them
    // The services object of the same material renderer: handles are used only with it.
    irr::video::IMaterialRendererServices* servicesOfConstants = nullptr;
};

// A texture parameter's layer in its value slot.
struct STaFxTextureSlot {
    irr::video::ITexture* texture = nullptr;
    irr::u8 wrapU = irr::video::ETC_REPEAT, wrapV = irr::video::ETC_REPEAT;
    bool bilinear = true, trilinear = false;
    irr::u8 anisotropy = 0;
    bool srgb = false;
};

class CTaEffect : public virtual irr::IReferenceCounted
{
public:
    explicit CTaEffect(ITaEffectDef* definition);
    ~CTaEffect() override;

    ITaEffectDef* definition() const { return m_definition; }
    const char* getFileName() const { return m_definition->getFileName(); }
    size_t parameterCount() const { return m_values.size() / 16; }
    const SParameter* parameter(int index) const;
    int parameterIndex(const char* name) const; // -1 when unknown

    // Values. By name: false for an unknown name. By index: false for an index out of range. Both
    // refuse a numeric setter on a texture parameter and the other way round (slot unchanged), and
    // copy at most the 64 bytes of the slot.
    bool setFloat(const char* name, irr::f32 value);
    bool setFloat(int index, irr::f32 value);
    bool setFloatArray(const char* name, const irr::f32* values, int count);
    bool setFloatArray(int index, const irr::f32* values, int count);
    bool setBool(const char* name, bool value);
    bool setBool(int index, bool value);
    bool setInt(const char* name, irr::s32 value);
    bool setInt(int index, irr::s32 value);
    bool setIntArray(const char* name, const irr::s32* values, int count);
    bool setIntArray(int index, const irr::s32* values, int count);
    bool setMatrix(const char* name, const irr::core::matrix4& value);
    bool setMatrix(int index, const irr::core::matrix4& value);
    // The texture of a texture parameter and its sRGB flag: the parameter's SRGB annotation when it
    // has one ("true" or not), else `defaultSRGB`; every sampler of every pass bound to it gets both.
    bool setTexture(const char* name, irr::video::ITexture* texture, bool defaultSRGB);
    bool setTexture(int index, irr::video::ITexture* texture, bool defaultSRGB);
    // Like setTexture, into the caller's layers of that pass only.
    bool setTextureInLayers(int technique, int pass, int index, STaMaterial& layers, irr::video::ITexture* texture,
                            bool defaultSRGB) const;

    irr::f32 getFloat(int index) const;
    bool getFloatArray(int index, irr::f32* out, int count) const; // at most 16
    bool getBool(int index) const;
    irr::s32 getInt(int index) const;
    bool getIntArray(int index, irr::s32* out, int count) const; // at most 16
    irr::core::matrix4 getMatrix(int index) const;
    const STaFxTextureSlot* getTextureSlot(int index) const;

    size_t techniqueCount() const { return m_techniques.size(); }
    size_t passCount(int technique) const;
    const STaFxPass* pass(int technique, int pass) const;
    // The pass's material (type, parameter and all layers); false for a pass that does not exist.
    bool getPassMaterial(int technique, int pass, STaMaterial& out) const;
    // Per draw: calls onSetMaterial of the pass's binds, then every constant's function; false (and
    // "CTaEffect::onSetShaderConstants : onSetMaterial() failed, abort") when a bind refuses.
    bool onSetShaderConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData,
                              const irr::video::SMaterial& material, STaMaterialExt* materialExt);
    // True when a technique has the annotation tangents = "true".
    bool needsTangents() const;
    // A new effect sharing the definition, with copies of the values, techniques and binds.
    CTaEffect* clone() const;

    // For the builder.
    std::vector<irr::f32>& values() { return m_values; }
    std::vector<STaFxTextureSlot>& textures() { return m_textureSlots; }
    std::vector<std::vector<STaFxPass>>& techniques() { return m_techniques; }
    // Holds every distinct bind of the passes (one reference each).
    void holdBinds();

private:
    bool numeric(int index, int slotTypeCheck) const;
    irr::f32* slot(int index) { return m_values.data() + size_t(index) * 16; }
    const irr::f32* slot(int index) const { return m_values.data() + size_t(index) * 16; }

    ITaEffectDef* m_definition;
    std::vector<irr::f32> m_values;               // 16 floats per parameter
    std::vector<STaFxTextureSlot> m_textureSlots; // one per parameter (used by texture parameters)
    std::vector<std::vector<STaFxPass>> m_techniques;
    std::vector<ITaEffectBind*> m_binds; // held
};

// Irrlicht's constant callback of effect materials: finds the draw's material extension record
// and makes its effect upload the pass's constants.
class CTaEffectCallback : public irr::video::IShaderConstantSetCallBack
{
public:
    void OnSetMaterial(const irr::video::SMaterial& material) override { m_material = material; }
    void OnSetConstants(irr::video::IMaterialRendererServices* services, irr::s32 userData) override;

private:
    irr::video::SMaterial m_material;
};

// Finds the texture of a texture parameter when an effect is built.
class ITaEffectTextureResolver : public virtual irr::IReferenceCounted
{
public:
    // The texture, or nullptr; `failed` set when the parameter names a texture that cannot be had.
    virtual irr::video::ITexture* resolve(int type, const char* semantic, const char* imageUrl,
                                          const std::string& effectDirectory,
                                          const std::vector<std::string>& textureDirectories, bool& failed) = 0;
};

// The standard resolver: a semantic names a texture of the texture manager; an image URL names a
// file (as given, beside the effect file, in the texture directories) loaded by its type.
class CTaEffectTextureResolver : public ITaEffectTextureResolver
{
public:
    explicit CTaEffectTextureResolver(ITaTextureManager* textures) : m_textures(textures) {}
    irr::video::ITexture* resolve(int type, const char* semantic, const char* imageUrl,
                                  const std::string& effectDirectory,
                                  const std::vector<std::string>& textureDirectories, bool& failed) override;

private:
    ITaTextureManager* m_textures;
};

// Irrlicht's clamp mode of a wrap name (REPEAT for an empty or unknown one).
irr::u8 taEffectWrapMode(const char* name);
// The packed blend parameter of a one-texture-blend base material.
irr::f32 taPackBlendParameter(int source, int destination, int modulation, int alphaSource);
// Irrlicht's blend factor (0..10) of a factor name, ONE for an unknown one.
int taEffectBlendFactor(const char* name);

// Appends compile flags ("NAME NAME=VALUE ...") to a macro array after its last entry, keeping the
// array terminated. The flags are copied into `storage` (the macros point into it). False, with
// nothing appended, when the flags are longer than 1023 characters or the array of `capacity`
// entries (terminator included) cannot take them all.
bool taAppendCompileFlags(const char* flags, STaFxMacro* macros, size_t capacity, std::string& storage);
