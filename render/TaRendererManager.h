// CTaRendererManager: makes the render targets, renderer contexts and renderers, and keeps the
// record of the last frames.
#pragma once

#include "render/TaRenderer.h"

#include <string>
#include <vector>

class ITaVideoDriverExt;

// The last 30 frame times, their average, and the view and projection of the previous frame.
class CTaLastFrameInfo
{
public:
    static constexpr int kFrames = 30;

    // Once per frame: `nowMs` from the device timer; the matrices of the frame that just ended. The
    // first call only starts the clock: no duration is known yet, so none is recorded (the frame
    // rate stays 0 until one is).
    void update(irr::u32 nowMs, const irr::core::matrix4& view, const irr::core::matrix4& projection);
    // Whether the view jumped since the previous frame: the cameras (the inverse views) more than
    // `maxDistance` apart, or looking more than `maxAngleDegrees` apart.
    bool isCameraCut(const irr::core::matrix4& view, float maxDistance, float maxAngleDegrees) const;

    float averageFrameTime() const { return m_averageSeconds; } // seconds
    float framesPerSecond() const { return m_framesPerSecond; }
    int count() const { return m_count; }
    const irr::core::matrix4& previousView() const { return m_view; }
    const irr::core::matrix4& previousProjection() const { return m_projection; }

private:
    irr::u32 m_durations[kFrames] = {};
    irr::u32 m_total = 0;
    int m_count = 0, m_next = 0;
    bool m_started = false;
    irr::u32 m_previous = 0;
    float m_averageSeconds = 0, m_framesPerSecond = 0;
    irr::core::matrix4 m_view, m_projection;
};

// One target of the standard render-target table.
struct STaRenderTargetSpec {
    std::string name;
    irr::core::dimension2du size;
    irr::video::ECOLOR_FORMAT format;
    bool ownDepth; // a depth buffer of its own (the shadow maps); else shared with targets of its size
};

// The standard table for colour format `format` and a screen of `screen`, in creation order: the
// screen-sized and screen-derived targets (sizes by shifts, every side at least 1), then the four
// shadow maps.
std::vector<STaRenderTargetSpec> taRenderTargetTable(irr::video::ECOLOR_FORMAT format,
                                                     const irr::core::dimension2du& screen);

class CTaRendererManager
{
public:
    CTaRendererManager(irr::IrrlichtDevice* device, ITaVideoDriverExt* driverExt);
    virtual ~CTaRendererManager();

    // The named render-target table (taRenderTargetTable) in the driver's texture list, found by
    // name like any texture: ECF_UNKNOWN means A8R8G8B8, no size the screen's. A target of a name
    // that exists with the same size and format is kept. The driver's mip-map flag is off while
    // targets are made and back as it was on every path. False with "CTaRenderTargets failed to
    // create render targets" or "CTaRenderTargets failed to create shadow map render targets".
    virtual bool createRenderTargets(irr::video::ECOLOR_FORMAT format, const irr::core::dimension2du* size);
    virtual CTaRendererCtx* createCtx();
    virtual ITaRenderer* createRendererSimple(CTaRendererCtx* context);
    // A new initialised advanced context, or nullptr (the half-made one released, the reason logged).
    virtual class CTaRendererCtxAdv* createCtxAdv(const struct STaRendererStartupFiles& files,
                                                  class CTaEffectManager* effects);
    // A new initialised light pre-pass renderer on `context` with its two material files, or nullptr
    // (the reason logged).
    virtual ITaRenderer* createRendererLpp(class CTaRendererCtxAdv* context, const char* opaqueFile,
                                           const char* transparentFile);
    virtual CTaLastFrameInfo* getLastFrameInfo() { return &m_lastFrame; }
    // The services the advanced context's stages draw with (set once the manager has them).
    void setRenderServices(class CTaRenderServices* services) { m_services = services; }

private:
    irr::IrrlichtDevice* m_device;
    ITaVideoDriverExt* m_driverExt;
    class CTaRenderServices* m_services = nullptr;
    CTaLastFrameInfo m_lastFrame;
};
