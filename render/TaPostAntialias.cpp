// Temporal antialiasing: SMAA of the frame, the blend with the history, and the projection jitter.
#include "render/TaPostAntialias.h"

#include "core/TaLog.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectDef.h"
#include "render/TaPostEffect.h"
#include "render/TaPostSMAA.h"
#include "render/TaRenderServices.h"

#include <cstdint>

using namespace irr;

namespace {

// The random jitter's generator (the C library's linear congruential one), shared by every stage.
std::uint32_t g_jitterSeed = 0;

// A value in -0.5..0.5 from the next step of the generator.
f32 nextRandomOffset()
{
    g_jitterSeed = g_jitterSeed * 214013u + 2531011u;
    return static_cast<f32>((g_jitterSeed >> 16) & 0x7FFF) / 32767.0f - 0.5f;
}

} // namespace

CTaPostAntialias::CTaPostAntialias(IrrlichtDevice* device, CTaRenderServices* services)
    : m_device(device), m_services(services)
{
}

CTaPostAntialias::~CTaPostAntialias() = default;

bool CTaPostAntialias::init(CTaEffectManager* effects, const char* blendFile, CTaPostSMAA* smaa)
{
    static const STaFxMacro plain[] = {{nullptr, nullptr}};
    static const STaFxMacro reprojected[] = {{"USE_REPROJ_CAMERA", ""}, {nullptr, nullptr}};
    static const STaFxMacro limited[] = {{"USE_REPROJ_CAMERA", ""}, {"USE_VLIMIT", ""}, {nullptr, nullptr}};
    const STaFxMacro* const variants[kBlendVariants] = {plain, reprojected, limited};
    m_smaa = smaa;
    for (int i = 0; i < kBlendVariants; ++i) {
        m_blend[i].reset(new CTaPostEffect(m_device, m_services));
        if (!m_blend[i]->load(effects, blendFile, variants[i])) {
            taPrint(ETALOG_ERROR, "CTaPostAntialias failed to load %s", blendFile ? blendFile : "");
            for (auto& blend : m_blend)
                blend.reset();
            return false;
        }
    }
    return true;
}

float CTaPostAntialias::blendWeight(bool cameraCut) const
{
    if (cameraCut)
        return 1.0f;
    switch (blendingWeight) {
    case 0:
        // As many frames as the jitter has samples (random jitter: 128).
        switch (jitter) {
        case 0: return 1.0f;
        case 1: return 0.5f;
        case 2: return 0.25f;
        case 3: return 0.125f;
        default: return 0.0078125f;
        }
    case 1: return 1.0f;
    case 3: return 0.25f;
    case 4: return 0.125f;
    case 5: return 0.0625f;
    case 6: return 0.03125f;
    case 7: return 0.015625f;
    case 8: return 0.0078125f;
    case 9: return 0.00390625f;
    default: return 0.5f;
    }
}

video::ITexture* CTaPostAntialias::run(video::ITexture* destination, video::ITexture* source, video::ITexture* work,
                                       video::ITexture* history, bool outputIsBackBuffer, bool sourceIsLinear,
                                       bool cameraCut)
{
    video::IVideoDriver* driver = m_device->getVideoDriver();
    video::ITexture* result = source;
    // Without an SMAA stage the frame goes on as it came.
    if (mode == 1 && m_smaa && m_smaa->isInitialised()) {
        m_smaa->run(destination, source, work, outputIsBackBuffer && blending == 0, sourceIsLinear);
        result = destination;
    }
    if (blending != 0) {
        const float weight = history ? blendWeight(cameraCut) : 1.0f;
        video::ITexture* target = result != source ? source : destination;
        if (weight != 1.0f) {
            CTaPostEffect* blend = m_blend[blending == 2 ? (vlimitEnable ? 2 : 1) : 0].get();
            if (blend && blend->effect()) {
                if (blending == 2)
                    blend->effect()->setFloat("VLimit", vlimitValue);
                blend->effect()->setFloat("Blend", weight);
                if (blend->run(target, result, history))
                    result = target;
            }
        }
        // The history keeps what this frame shows, for the next one to blend with.
        if (history && driver->setRenderTarget(history, false, false))
            m_services->copyTexture(result);
        if (outputIsBackBuffer && driver->setRenderTarget(video::ERT_FRAME_BUFFER, false, false))
            m_services->copyTexture(result);
    }
    if (mode == 0 && blending == 0)
        taPrint(ETALOG_WARN, "CTaPostAntialias: nothing rendered");
    return result;
}

core::vector2df CTaPostAntialias::jitterOffset(int jitter, unsigned sampleIndex)
{
    // Two, four and eight samples spread over the pixel (rotated grid and a stratified set).
    static const f32 four[4][2] = {{-0.375f, 0.125f}, {0.375f, -0.125f}, {0.125f, 0.375f}, {-0.125f, -0.375f}};
    static const f32 eight[8][2] = {{0.0804022f, -0.201951f}, {-0.0803822f, 0.198049f}, {0.319618f, 0.0804022f},
                                    {-0.201951f, -0.319598f}, {-0.319598f, 0.319618f}, {-0.441166f, -0.0803822f},
                                    {0.198049f, 0.441186f},   {0.441186f, -0.441166f}};
    switch (jitter) {
    case 0: return core::vector2df(0, 0);
    case 1: return sampleIndex % 2 ? core::vector2df(0.25f, -0.25f) : core::vector2df(-0.25f, 0.25f);
    case 2: return core::vector2df(four[sampleIndex % 4][0], four[sampleIndex % 4][1]);
    case 3: return core::vector2df(eight[sampleIndex % 8][0], eight[sampleIndex % 8][1]);
    default: {
        const f32 y = nextRandomOffset();
        const f32 x = nextRandomOffset();
        return core::vector2df(x, y);
    }
    }
}

core::matrix4 CTaPostAntialias::jitterMatrix(int jitter, unsigned sampleIndex, unsigned width, unsigned height)
{
    const core::vector2df offset = jitterOffset(jitter, sampleIndex);
    core::matrix4 m;
    m.setTranslation(core::vector3df(width ? 2 * offset.X / width : 0.0f, height ? 2 * offset.Y / height : 0.0f, 0));
    return m;
}

void CTaPostAntialias::resetRandomJitter()
{
    g_jitterSeed = 0;
}
