// CTaRendererLpp: the light pre-pass renderer. Opaque geometry writes its normals and depths, every
// light is drawn into the light buffer (shadow maps on demand), the opaque geometry is drawn again
// reading the light buffer, then the transparent geometry, the volumetric lights, the transparent
// effects and the post-processing stages: the camera effects of each chain, glow with light streaks,
// depth of field, gamma and antialiasing (SMAA and the temporal blend, with a jittered projection).
#pragma once

#include "render/TaRenderer.h"

#include <string>

class CTaRenderServices;
class CTaRendererCtxAdv;
class CTaLastFrameInfo;

class CTaRendererLpp : public ITaRenderer
{
public:
    CTaRendererLpp(irr::IrrlichtDevice* device, CTaRendererCtxAdv* context, CTaRenderServices* services);
    ~CTaRendererLpp() override;

    // The material files and the twelve render targets the frame uses: false on a second call or
    // when a target is missing ("CTaRendererLpp failed to find render targets").
    bool init(const char* opaqueFile, const char* transparentFile) override;
    bool render(irr::video::ITexture* target) override;
    // Opaque materials draw with the opaque file, transparent ones with the transparent file, both
    // with "USE_OUTDEPTH" (the material pass also writes the depth buffer).
    bool getMaterialEffect(char* effectFile, int effectFileSize, struct STaFxMacro* macros, int* macroCount,
                           irr::video::E_MATERIAL_TYPE materialType) override;
    STaFrameOptions* getFrameOptions() override;
    STaRenderSettings* getRenderSettings() override;
    CTaPostChain* getPostChain() override;
    CTaRendererCtxAdv* context() const { return m_context; }
    // The buffers as 160x120 thumbnails over the current target: NormalRTT at (0, 0), DepthRTT at
    // (180, 0), LightRTT at (360, 0), the second shadow map at (540, 0), HalfScreen[1] at (0, 140),
    // QuarterScreen[0] at (0, 270) and QuarterScreen[1] at (0, 400). A frame draws them itself into
    // the back buffer when its options say showDebugBuffers.
    void drawDebugBuffers();
    // The previous frame's camera, for the camera-cut test of the temporal antialiasing (none: no cut).
    void setLastFrameInfo(const CTaLastFrameInfo* info) { m_lastFrame = info; }
    // The frames drawn with a jittered projection so far (all light pre-pass renderers together).
    static unsigned jitterFrame() { return s_jitterFrame; }
    // The whole texture into the screen rectangle (x, y)-(x + w, y + h).
    void drawThumbnail(irr::video::ITexture* texture, int x, int y, int w, int h);

private:
    enum { kBack0, kBack1, kBack2, kBack3, kDepth, kNormal, kLight, kHalf0, kHalf1, kHalf2, kQuarter0, kQuarter1, kTargets };

    irr::IrrlichtDevice* m_device;
    CTaRendererCtxAdv* m_context;
    CTaRenderServices* m_services;
    std::string m_opaqueFile, m_transparentFile;
    irr::video::ITexture* m_targets[kTargets] = {};
    irr::video::SOverrideMaterial m_solidOverride, m_transparentOverride;
    const CTaLastFrameInfo* m_lastFrame = nullptr;
    bool m_initialised = false;
    static unsigned s_jitterFrame;
};
