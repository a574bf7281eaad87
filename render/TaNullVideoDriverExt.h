// CTaNullVideoDriverExt: the video-driver extension of the null driver, which has no pixels.
#pragma once

#include "render/TaVideoDriverExt.h"

// Every render state is accepted and has no effect (there is nothing to draw on); there is no
// frame to keep or grab and no window to move.
class CTaNullVideoDriverExt : public ITaVideoDriverExt
{
public:
    void setSeparateAlphaBlend(bool) override {}
    void setSrcBlendAlpha(int) override {}
    void setAlphaBlend(int, int, int) override {}
    void setBlendFactor(irr::u32) override {}
    void setDepthBias(float, float) override {}
    void setStencil(bool) override {}
    void setStencilPass(int) override {}
    void setStencilFunc(int) override {}
    void restoreState() override {}
    void keepFrame() override {}
    void framePresented() override {}
    irr::video::IImage* grabFrame() override { return nullptr; }
    std::string checkCapabilities() override { return ""; }
    bool moveWindow(int, int) override { return false; }
    bool hideWindow() override { return false; }
    bool showWindow() override { return false; }
};
