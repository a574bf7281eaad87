// LightWave surfaces: the engine's record of the surface a material came from. A surface keeps the
// 39 LightWave channels (values and image maps), writes itself into an Irrlicht material for drawing
// without an effect, chooses the shader variant of an effect (its USE_ macros) and puts its image
// maps into the effect's samplers. A second kind describes HyperVoxel particle surfaces.
#pragma once

#include "driver/TaMaterialExt.h"
#include "effects/TaEffectDef.h"
#include "effects/TaSurfaceData.h"

#include <irrlicht.h>

class CTaEffect;

// What the compile parameters ask of the node a surface is drawn on (its node extension answers).
struct STaSurfaceNodeInfo {
    bool hasUV2 = false;            // some buffer of the mesh has a second UV set
    bool carriesTangents = false;   // the mesh will carry tangents
    irr::u32 uv2Mask = 0;           // the UV2 channel mask of the buffer of the surface's index
    irr::video::ITexture* cubeMapTexture = nullptr; // the node's own cube map's texture
    bool cubeMapBoxEnabled = false;
};

class ITaSurface : public irr::IReferenceCounted
{
public:
    virtual ETaSurfaceType getType() const = 0;
    virtual void initFromMaterial(const irr::video::SMaterial& material) = 0;
    // Writes the surface into `material`: Irrlicht's own textures into its layers, every map with
    // its colour space into the engine layers.
    virtual void applyToMaterial(STaMaterial& material) const = 0;
    virtual bool hasNormalMap() const = 0;
    // The macros (name, null) in `macros` with a terminating pair, their count in `capacity`, and
    // the base material of an effect compiled for this surface; `node` may be null (no node bits).
    virtual bool getEffectCompileParameters(irr::video::E_MATERIAL_TYPE& baseMaterial, STaFxMacro* macros,
                                            int& capacity, const STaSurfaceNodeInfo* node) const = 0;
    // The surface's maps into the effect's samplers, or into `layers` for one technique and pass.
    virtual bool setEffectTextures(CTaEffect* effect) const = 0;
    virtual bool setEffectTextureOnMaterial(STaMaterial& layers, const CTaEffect* effect, int technique,
                                            int pass) const = 0;
    virtual ITaSurface* clone() const = 0;
};

class CTaSurfaceLightwave : public ITaSurface
{
public:
    CTaSurfaceLightwave();
    ~CTaSurfaceLightwave() override;

    ETaSurfaceType getType() const override { return ETAST_LIGHTWAVE; }
    void initFromMaterial(const irr::video::SMaterial& material) override;
    void applyToMaterial(STaMaterial& material) const override;
    bool hasNormalMap() const override { return m_data.channels[ETASC_BUMP].texture != nullptr; }
    bool getEffectCompileParameters(irr::video::E_MATERIAL_TYPE& baseMaterial, STaFxMacro* macros, int& capacity,
                                    const STaSurfaceNodeInfo* node) const override;
    bool setEffectTextures(CTaEffect* effect) const override;
    bool setEffectTextureOnMaterial(STaMaterial& layers, const CTaEffect* effect, int technique,
                                    int pass) const override;
    ITaSurface* clone() const override;

    const STaSurfaceLightwaveData& getData() const { return m_data; }
    void setData(const STaSurfaceLightwaveData& data);

    // Channel indices outside 0 to 38 are ignored (getters answer 0 or nullptr).
    void setFloat(int channel, irr::f32 value);
    void setInt(int channel, irr::s32 value);
    void setVector(int channel, irr::f32 x, irr::f32 y, irr::f32 z);
    void setTexture(int channel, irr::video::ITexture* texture); // held while set
    void setColourSpace(int channel, irr::u8 colourSpace);
    irr::f32 getFloat(int channel) const;
    irr::s32 getInt(int channel) const;
    const irr::f32* getVector(int channel) const;
    irr::video::ITexture* getTexture(int channel) const;
    irr::u8 getColourSpace(int channel) const;

    // The USE_ bits of the compile parameters, lowest bit first (for tools and tests).
    irr::u32 compileBits(const STaSurfaceNodeInfo* node) const;

private:
    void clearChannels();
    STaSurfaceLightwaveData m_data;
};

class CTaSurfaceLightwaveHV : public ITaSurface
{
public:
    CTaSurfaceLightwaveHV() = default;
    ~CTaSurfaceLightwaveHV() override;

    ETaSurfaceType getType() const override { return ETAST_LIGHTWAVEHV; }
    void initFromMaterial(const irr::video::SMaterial& material) override;
    void applyToMaterial(STaMaterial& material) const override;
    bool hasNormalMap() const override { return false; }
    bool getEffectCompileParameters(irr::video::E_MATERIAL_TYPE& baseMaterial, STaFxMacro* macros, int& capacity,
                                    const STaSurfaceNodeInfo* node) const override;
    bool setEffectTextures(CTaEffect* effect) const override;
    bool setEffectTextureOnMaterial(STaMaterial& layers, const CTaEffect* effect, int technique,
                                    int pass) const override;
    ITaSurface* clone() const override;

    const STaSurfaceLightwaveHVData& getData() const { return m_data; }
    void setData(const STaSurfaceLightwaveHVData& data);

private:
    STaSurfaceLightwaveHVData m_data;
};

// The names of the LightWave compile bits, lowest first (USE_TEX_COLOR ... USE_NODECUBEMAP).
extern const char* const taSurfaceCompileMacros[27];
