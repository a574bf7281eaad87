// Depth of field: circle of confusion, then two blurs 60 degrees apart.
#include "render/TaPostDof.h"

#include "effects/TaEffect.h"
#include "render/TaPostEffect.h"

using namespace irr;

namespace {
// The second blur's direction: 60 degrees from the first, in radians.
constexpr f32 kSecondBlurAngle = 1.0471976f;
} // namespace

CTaPostDof::CTaPostDof(IrrlichtDevice* device, CTaRenderServices* services) : m_device(device), m_services(services)
{
}

CTaPostDof::~CTaPostDof() = default;

bool CTaPostDof::init(CTaEffectManager* effects, const char* artistFile, const char* physicalFile, const char* blurFile)
{
    struct SStage {
        std::unique_ptr<CTaPostEffect>& stage;
        const char* file;
    } stages[] = {{m_artist, artistFile}, {m_physical, physicalFile}, {m_blur, blurFile}};
    for (SStage& s : stages) {
        s.stage.reset(new CTaPostEffect(m_device, m_services));
        // The stage's own message names the file that failed.
        if (!s.stage->load(effects, s.file)) {
            m_artist.reset();
            m_physical.reset();
            m_blur.reset();
            return false;
        }
    }
    return true;
}

bool CTaPostDof::runPhysical(video::ITexture* out, video::ITexture* source, video::ITexture* depth,
                             video::ITexture* work)
{
    return run(m_physical.get(), out, source, depth, work, 1.0f);
}

bool CTaPostDof::runArtist(video::ITexture* out, video::ITexture* source, video::ITexture* depth,
                           video::ITexture* work, float radiusScale)
{
    return run(m_artist.get(), out, source, depth, work, radiusScale);
}

bool CTaPostDof::run(CTaPostEffect* circleOfConfusion, video::ITexture* out, video::ITexture* source,
                     video::ITexture* depth, video::ITexture* work, float radiusScale)
{
    if (!circleOfConfusion || !m_blur || !out || !source || !depth || !work)
        return false;
    CTaEffect* blur = m_blur->effect();
    if (!circleOfConfusion->run(work, source, depth))
        return false;
    blur->setFloat("angle", 0.0f);
    blur->setFloat("radiusScale", radiusScale);
    if (!m_blur->run(source, work, depth))
        return false;
    blur->setFloat("angle", kSecondBlurAngle);
    return m_blur->run(out, source, depth);
}
