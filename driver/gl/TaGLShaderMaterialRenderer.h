// CTaGLShaderMaterialRenderer: a material renderer drawing with a translated HLSL pair.
#pragma once

#include "driver/TaVideoDriverExt.h"

#include <map>
#include <string>
#include <vector>

// Owns its GL program, so that a reload relinks in place under the same material type. Render
// states and the texture layers 0 to 3 come from Irrlicht: a small GLSL material of Irrlicht's own
// (the "bridge", made once per base type) sets them as Irrlicht's GLSL materials do, then this
// renderer's program takes over. Constants are set by their HLSL names through the reflection, with
// the GL call that fits the type the program reports, or by handle (ITaShaderConstants).
//
// A material that names a material extension record (TaMaterialExt.h) has its layers bound here:
// every sampler of the program gets the texture of its layer (pixel sampler n: layer n; vertex
// sampler n on unit 8 + n: vertex layer n) and a GL sampler object with the layer's wrap modes,
// filters and anisotropy. Irrlicht's own 2D textures in layers 0 to 3 are bound by Irrlicht; any
// other 2D texture for those samplers goes on a spare unit (12 + n) and the sampler is pointed
// there, so Irrlicht's cache of units 0 to 3 stays true. Everything is unbound after the draw.
class CTaGLShaderMaterialRenderer : public irr::video::IMaterialRenderer,
                                    public irr::video::IMaterialRendererServices,
                                    public ITaShaderConstants
{
public:
    CTaGLShaderMaterialRenderer(irr::video::IVideoDriver* driver, ITaVideoDriverExt* driverExt,
                                irr::video::IShaderConstantSetCallBack* callback,
                                irr::video::IMaterialRenderer* bridge, irr::video::IMaterialRenderer* base,
                                irr::s32 userData);
    ~CTaGLShaderMaterialRenderer() override;

    // Compiles and links a new program; on success it replaces the old one, on failure the old one
    // stays and `error` says why.
    bool link(const STaShaderProgramDesc& program, std::string& error);
    // The constants as the program has them (see ITaVideoDriverExt::describeShaderMaterial).
    std::string describe() const;
    unsigned program() const { return m_program; }

    // IMaterialRenderer
    void OnSetMaterial(const irr::video::SMaterial& material, const irr::video::SMaterial& lastMaterial,
                       bool resetAllRenderstates, irr::video::IMaterialRendererServices* services) override;
    bool OnRender(irr::video::IMaterialRendererServices* services, irr::video::E_VERTEX_TYPE vertexType) override;
    void OnUnsetMaterial() override;
    bool isTransparent() const override;

    // IMaterialRendererServices, handed to the constant callback
    void setBasicRenderStates(const irr::video::SMaterial& material, const irr::video::SMaterial& lastMaterial,
                              bool resetAllRenderstates) override;
    bool setVertexShaderConstant(const irr::c8* name, const irr::f32* floats, int count) override;
    bool setVertexShaderConstant(const irr::c8* name, const bool* bools, int count) override;
    bool setVertexShaderConstant(const irr::c8* name, const irr::s32* ints, int count) override;
    void setVertexShaderConstant(const irr::f32* data, irr::s32 startRegister, irr::s32 constantAmount) override;
    bool setPixelShaderConstant(const irr::c8* name, const irr::f32* floats, int count) override;
    bool setPixelShaderConstant(const irr::c8* name, const bool* bools, int count) override;
    bool setPixelShaderConstant(const irr::c8* name, const irr::s32* ints, int count) override;
    void setPixelShaderConstant(const irr::f32* data, irr::s32 startRegister, irr::s32 constantAmount) override;
    irr::video::IVideoDriver* getVideoDriver() override { return m_driver; }

    // ITaShaderConstants
    int constantHandle(bool pixelStage, const char* name) override;
    void setConstant(int handle, const irr::f32* values, int count) override;

    // A constant of the program: its location, the GL type and the array size it reports.
    struct SUniform {
        int location = -1;
        unsigned type = 0;
        int size = 1;
        int components = 0; // floats or ints per element; 0 for a type constants cannot set
        char kind = 0;      // 'f' float vector, 'm' matrix, 'i' int or bool, 'u' unsigned
    };
    typedef std::map<std::string, SUniform> UniformMap; // by HLSL name

private:
    void registerConstantNotSupported();
    void bindLayers(const irr::video::SMaterial& material);
    void unbindLayers();
    unsigned samplerObject(const struct STaTextureLayer& layer, bool mipMapped);

    struct SSampler {
        int location = -1;
        int unit = 0;       // the unit the translation gave it
        int boundUnit = -1; // the unit its uniform points at now
        int dimensions = 2;
    };
    struct SHandle {
        bool pixel;
        std::string name;
        SUniform uniform;
    };

    irr::video::IVideoDriver* m_driver;
    ITaVideoDriverExt* m_driverExt;
    irr::video::IShaderConstantSetCallBack* m_callback;
    irr::video::IMaterialRenderer* m_bridge;
    irr::video::IMaterialRenderer* m_base;
    irr::s32 m_userData;
    irr::video::IMaterialRendererServices* m_driverServices = nullptr;
    unsigned m_program = 0;
    int m_targetSizeLocation = -1;
    UniformMap m_vertexUniforms, m_pixelUniforms;
    std::vector<SSampler> m_samplers;
    std::vector<SHandle> m_handles;
    std::map<unsigned, unsigned> m_samplerObjects; // by sampling key
    std::vector<int> m_boundTextureUnits, m_boundSamplerUnits;
    bool m_warnedRegisters = false, m_warnedUnprepared = false;
};
