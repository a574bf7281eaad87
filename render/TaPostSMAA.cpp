// Morphological antialiasing (SMAA) of the post-processing chain.
#include "render/TaPostSMAA.h"

#include "core/TaLog.h"
#include "driver/TaTexture.h"
#include "driver/TaVideoDriverExt.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "render/TaRenderServices.h"

using namespace irr;

namespace {

// Values of the driver extension's stencil states (driver/TaVideoDriverExt.h).
constexpr int kStencilKeep = 1, kStencilReplace = 3, kStencilDecrementSaturate = 5;
constexpr int kCompareAlways = 0, kCompareEqual = 2;

// The driver's texture creation flags for the lookup images, put back when it goes: no mip maps
// (the passes read exact texels), 32 bits a texel.
class CLookupImageFlags
{
public:
    explicit CLookupImageFlags(video::IVideoDriver* driver)
        : m_driver(driver), m_mipMaps(driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS)),
          m_always32(driver->getTextureCreationFlag(video::ETCF_ALWAYS_32_BIT))
    {
        driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
        driver->setTextureCreationFlag(video::ETCF_ALWAYS_32_BIT, true);
    }
    ~CLookupImageFlags()
    {
        m_driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, m_mipMaps);
        m_driver->setTextureCreationFlag(video::ETCF_ALWAYS_32_BIT, m_always32);
    }

private:
    video::IVideoDriver* m_driver;
    bool m_mipMaps, m_always32;
};

} // namespace

// --- CTaScreenQuadAligned ------------------------------------------------------------------------

CTaScreenQuadAligned::CTaScreenQuadAligned() : m_record(taNewMaterialExt())
{
    placeVertices(core::dimension2du(1, 1), video::EDT_OPENGL);
    m_material.Lighting = false;
    m_material.ZWriteEnable = false;
    m_material.ZBuffer = video::ECFN_ALWAYS;
    m_material.Wireframe = false;
    m_material.BackfaceCulling = false;
}

CTaScreenQuadAligned::~CTaScreenQuadAligned()
{
    setEffect(nullptr);
    taFreeMaterialExt(m_record);
}

bool CTaScreenQuadAligned::setEffect(CTaEffect* effect)
{
    STaMaterial pass;
    if (effect && !effect->getPassMaterial(0, 0, pass))
        return false;
    if (effect)
        effect->grab();
    if (m_effect)
        m_effect->drop();
    m_effect = effect;
    m_pass = pass;
    if (STaMaterialExt* record = taGetMaterialExt(m_record)) {
        record->effect = effect;
        record->technique = 0;
        record->pass = 0;
        record->node = nullptr;
    }
    return true;
}

void CTaScreenQuadAligned::setTexture(int layer, video::ITexture* texture)
{
    if (layer >= 0 && layer < TA_MATERIAL_LAYERS)
        m_pass.layers[layer].texture = texture;
}

void CTaScreenQuadAligned::setBilinear(int layer, bool bilinear)
{
    if (layer >= 0 && layer < TA_MATERIAL_LAYERS) {
        m_pass.layers[layer].bilinear = bilinear;
        if (!bilinear)
            m_pass.layers[layer].trilinear = false;
    }
}

const u16* CTaScreenQuadAligned::indices()
{
    static const u16 list[6] = {0, 1, 3, 1, 2, 3};
    return list;
}

void CTaScreenQuadAligned::placeVertices(const core::dimension2du& size, video::E_DRIVER_TYPE driverType)
{
    // Direct3D 9 samples texel centres half a pixel off its pixel centres; OpenGL needs no shift.
    f32 dx = 0, dy = 0;
    if (driverType == video::EDT_DIRECT3D9 && size.Width > 0 && size.Height > 0) {
        dx = -1.0f / static_cast<f32>(size.Width);
        dy = 1.0f / static_cast<f32>(size.Height);
    }
    const video::SColor none(0);
    m_vertices[0] = video::S3DVertex(-1 + dx, 1 + dy, 0, 0, 0, 1, none, 0, 0);
    m_vertices[1] = video::S3DVertex(1 + dx, 1 + dy, 0, 0, 0, 1, none, 1, 0);
    m_vertices[2] = video::S3DVertex(1 + dx, -1 + dy, 0, 0, 0, 1, none, 1, 1);
    m_vertices[3] = video::S3DVertex(-1 + dx, -1 + dy, 0, 0, 0, 1, none, 0, 1);
}

void CTaScreenQuadAligned::draw(video::IVideoDriver* driver, ITaVideoDriverExt* driverExt,
                                const std::function<void()>& rawStates)
{
    if (!m_effect || !driver)
        return;
    placeVertices(driver->getCurrentRenderTargetSize(), driver->getDriverType());
    taApplyMaterial(m_pass, m_material, m_record, driverExt);
    m_material.Lighting = false;
    m_material.ZWriteEnable = false;
    m_material.ZBuffer = video::ECFN_ALWAYS;
    m_material.Wireframe = false;
    m_material.BackfaceCulling = false;
    driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
    driver->setMaterial(m_material);
    if (rawStates) {
        // Irrlicht changes material renderers at a draw, and leaving one of the engine's puts the
        // extension's raw states back: a triangle without area (no fragment) makes the change first.
        static const u16 nothing[3] = {0, 0, 0};
        driver->drawIndexedTriangleList(m_vertices, 4, nothing, 1);
        rawStates();
    }
    driver->drawIndexedTriangleList(m_vertices, 4, indices(), 2);
}

// --- CTaPostSMAA ---------------------------------------------------------------------------------

CTaPostSMAA::CTaPostSMAA(IrrlichtDevice* device, CTaRenderServices* services, ITaVideoDriverExt* driverExt,
                         ITaTextureManager* textures)
    : m_device(device), m_services(services), m_driverExt(driverExt), m_textures(textures)
{
}

CTaPostSMAA::~CTaPostSMAA()
{
    release();
}

void CTaPostSMAA::release()
{
    for (CTaScreenQuadAligned& quad : m_quads)
        quad.setEffect(nullptr);
    if (m_areaTexture)
        m_areaTexture->drop();
    if (m_searchTexture)
        m_searchTexture->drop();
    m_areaTexture = m_searchTexture = nullptr;
    m_initialised = false;
}

bool CTaPostSMAA::init(CTaEffectManager* effects, const char* const files[6])
{
    if (m_initialised || !files || !m_device)
        return false;
    video::IVideoDriver* driver = m_device->getVideoDriver();
    bool ok = true;
    auto failed = [&ok](const char* file) {
        taPrint(ETALOG_ERROR, "CTaPostSMAA failed to load %s", file ? file : "");
        ok = false;
    };
    // The lookup images first, then the four effects; every failure is said.
    video::ITexture* images[2] = {};
    {
        CLookupImageFlags flags(driver);
        for (int i = 0; i < 2; ++i) {
            const char* file = files[4 + i];
            if (file && *file)
                images[i] = m_textures ? m_textures->getTexture(file, false) : driver->getTexture(file);
            if (images[i])
                images[i]->grab();
            else
                failed(file);
        }
    }
    for (int i = 0; i < QUADS; ++i) {
        CTaEffect* effect = effects && files[i] ? effects->createEffect(files[i], -1, nullptr) : nullptr;
        if (!effect || !m_quads[i].setEffect(effect))
            failed(files[i]);
        if (effect)
            effect->drop();
    }
    m_areaTexture = images[0];
    m_searchTexture = images[1];
    if (!ok) {
        release();
        return false;
    }
    // Both lookups are read at texel centres: the area image bilinearly (exact there), the search
    // image point-sampled, so that a fetched value a little off its level still finds its texel.
    m_quads[WEIGHT].setTexture(1, m_areaTexture);
    m_quads[WEIGHT].setBilinear(1, true);
    m_quads[WEIGHT].setTexture(2, m_searchTexture);
    m_quads[WEIGHT].setBilinear(2, false);
    m_quads[BLEND].setBilinear(1, true);
    m_quads[GAMMA].setBilinear(1, true);
    m_initialised = true;
    return true;
}

void CTaPostSMAA::run(video::ITexture* destination, video::ITexture* source, video::ITexture* work,
                      bool outputIsBackBuffer, bool sourceIsLinear)
{
    if (!m_initialised || !destination || !source || !work || !m_driverExt || !m_services)
        return;
    video::IVideoDriver* driver = m_device->getVideoDriver();
    ITaVideoDriverExt* ext = m_driverExt;
    auto stencil = [ext](bool enable, int comparison, int pass) {
        return [=] {
            ext->setStencil(enable);
            ext->setStencilFunc(comparison);
            ext->setStencilPass(pass);
        };
    };

    // 1. Edges are found on display values: a linear source is gamma-encoded into `work` first.
    video::ITexture* edgeSource = source;
    if (sourceIsLinear) {
        driver->setRenderTarget(work, false, false);
        m_quads[GAMMA].setTexture(0, source);
        m_quads[GAMMA].draw(driver, ext);
        m_quads[GAMMA].setTexture(0, nullptr);
        edgeSource = work;
    }

    // 2. Edge detection into `destination`, colour cleared to 0; every edge pixel writes 1 into the
    // stencil. Selecting a target clears no stencil, and the depth-stencil buffer is shared by the
    // targets of this size, so it is zeroed first with the extension's stencil states: a full quad
    // (the gamma one; its colour is cleared afterwards) sets every value to 1, a second one
    // decrements them to 0 whatever they held.
    driver->setRenderTarget(destination, false, false);
    m_quads[GAMMA].draw(driver, ext, stencil(true, kCompareAlways, kStencilReplace));
    m_quads[GAMMA].draw(driver, ext, stencil(true, kCompareAlways, kStencilDecrementSaturate));
    driver->setRenderTarget(destination, true, false, video::SColor(0));
    m_quads[EDGE].setTexture(0, edgeSource);
    m_quads[EDGE].draw(driver, ext, stencil(true, kCompareAlways, kStencilReplace));
    m_quads[EDGE].setTexture(0, nullptr);

    // 3. Blending weights into `work` (colour cleared), computed only where the stencil holds 1.
    driver->setRenderTarget(work, true, false, video::SColor(0));
    m_quads[WEIGHT].setTexture(0, destination);
    m_quads[WEIGHT].draw(driver, ext, stencil(true, kCompareEqual, kStencilKeep));
    m_quads[WEIGHT].setTexture(0, nullptr);

    // 4. Neighbourhood blending of the source by the weights into the output, everywhere.
    if (outputIsBackBuffer)
        driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false);
    else
        driver->setRenderTarget(destination, false, false);
    m_quads[BLEND].setTexture(0, source);
    m_quads[BLEND].setTexture(1, work);
    m_quads[BLEND].draw(driver, ext, stencil(false, kCompareAlways, kStencilReplace));
    m_quads[BLEND].setTexture(0, nullptr);
    m_quads[BLEND].setTexture(1, nullptr);

    ext->restoreState();
}
