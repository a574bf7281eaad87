// The null driver's extension.
#include "driver/TaNullVideoDriverExt.h"

using namespace irr;

namespace {

// The built-in types that draw transparent (the null driver's own renderers say none do).
bool isTransparentType(video::E_MATERIAL_TYPE type)
{
    switch (type) {
    case video::EMT_TRANSPARENT_ADD_COLOR:
    case video::EMT_TRANSPARENT_ALPHA_CHANNEL:
    case video::EMT_TRANSPARENT_VERTEX_ALPHA:
    case video::EMT_TRANSPARENT_REFLECTION_2_LAYER:
    case video::EMT_NORMAL_MAP_TRANSPARENT_ADD_COLOR:
    case video::EMT_NORMAL_MAP_TRANSPARENT_VERTEX_ALPHA:
    case video::EMT_PARALLAX_MAP_TRANSPARENT_ADD_COLOR:
    case video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA:
    case video::EMT_ONETEXTURE_BLEND:
        return true;
    default:
        return false;
    }
}

// Draws nothing; keeps the callback and whether the base type is transparent, so the material sorts
// into the passes its base would.
class CTaNullShaderMaterialRenderer : public video::IMaterialRenderer
{
public:
    CTaNullShaderMaterialRenderer(video::IShaderConstantSetCallBack* callback, video::IMaterialRenderer* base,
                                  bool transparent)
        : m_callback(callback), m_base(base), m_transparent(transparent)
    {
        if (m_callback)
            m_callback->grab();
    }
    ~CTaNullShaderMaterialRenderer() override
    {
        if (m_callback)
            m_callback->drop();
    }
    bool isTransparent() const override { return m_transparent || (m_base && m_base->isTransparent()); }

private:
    video::IShaderConstantSetCallBack* m_callback;
    video::IMaterialRenderer* m_base;
    bool m_transparent;
};

} // namespace

s32 CTaNullVideoDriverExt::addShaderMaterial(const STaShaderProgramDesc&, video::IShaderConstantSetCallBack* callback,
                                             video::E_MATERIAL_TYPE baseMaterial, s32, std::string& error)
{
    if (!m_driver) {
        error = "no video driver";
        return -1;
    }
    auto* renderer = new CTaNullShaderMaterialRenderer(callback, m_driver->getMaterialRenderer(baseMaterial),
                                                       isTransparentType(baseMaterial));
    const s32 type = m_driver->addMaterialRenderer(renderer, "TaShader");
    renderer->drop();
    if (type < 0)
        error = "the driver refused a new material renderer";
    return type;
}

bool CTaNullVideoDriverExt::replaceShaderMaterial(s32 materialType, const STaShaderProgramDesc&, std::string& error)
{
    if (!m_driver || !m_driver->getMaterialRenderer(materialType)) {
        error = "no such material type";
        return false;
    }
    return true;
}
