// CTaRendererManager: makes the render targets, renderer contexts and renderers, and keeps the
// record of the last frames.
#pragma once

#include "render/TaRenderer.h"

// The last 30 frame times, their average, and the view and projection of the previous frame.
class CTaLastFrameInfo
{
public:
    static constexpr int kFrames = 30;

    // Once per frame: `nowMs` from the device timer; the matrices of the frame that just ended.
    void update(irr::u32 nowMs, const irr::core::matrix4& view, const irr::core::matrix4& projection);

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

class CTaRendererManager
{
public:
    explicit CTaRendererManager(irr::IrrlichtDevice* device);
    virtual ~CTaRendererManager();

    // The named render-target table (screen-sized targets, halves ... and the shadow maps).
    virtual bool createRenderTargets(irr::video::ECOLOR_FORMAT format, const irr::core::dimension2du* size);
    virtual CTaRendererCtx* createCtx();
    virtual ITaRenderer* createRendererSimple(CTaRendererCtx* context);
    virtual CTaLastFrameInfo* getLastFrameInfo() { return &m_lastFrame; }

private:
    irr::IrrlichtDevice* m_device;
    CTaLastFrameInfo m_lastFrame;
};
