// The loading screen.
#include "engine/TaLoadingScreen.h"

#include "engine/TaEngine.h"
#include "core/TaLog.h"
#include "engine/TaManager.h"
#include "effects/TaGPUProgrammingServices.h"
#include "render/TaRenderServices.h"
#include "files/TaFile.h"

#include <cstdio>

using namespace irr;

// The built-in loading shader: two bars crossed at +45 and -45 degrees, centred at 1.5 times the
// scale, each a white outline broken by a gap in the middle and a fill growing outwards from the
// gap with the progress, blue turning white; the picture fades in with the progress and out to
// black between 100 % and 120 %.
const char* const taBuiltInLoadingShader = R"(float2 resolution;
float progress;

float4 vs_main(float4 pos : POSITION) : POSITION
{
    return pos;
}

float inside(float2 q, float2 halfSize)
{
    return (abs(q.x) < halfSize.x && abs(q.y) < halfSize.y) ? 1.0 : 0.0;
}

float3 bar(float2 q, float fillLength, float3 fillColour)
{
    float gap = abs(q.x) < 0.03 ? 0.0 : 1.0;
    float outline = inside(q, float2(0.255, 0.04)) * (1.0 - inside(q, float2(0.245, 0.03))) * gap;
    float fill = inside(q, float2(fillLength, 0.02)) * gap;
    return max(float3(outline, outline, outline), fillColour * fill);
}

float4 ps_main(float2 vpos : VPOS) : COLOR0
{
    float2 p = (vpos + 0.5 - resolution * 0.5) / (resolution.y * 1.5);
    float s = 0.70710678;
    float2 a = float2(p.x * s + p.y * s, -p.x * s + p.y * s);
    float2 b = float2(p.x * s - p.y * s, p.x * s + p.y * s);
    float t = saturate(progress);
    float fillLength = min(0.018 + 0.224 * t, 0.235);
    float3 fillColour = lerp(float3(0.2, 0.5, 0.8), float3(1.0, 1.0, 1.0), pow(t, 5.0));
    float3 colour = max(bar(a, fillLength, fillColour), bar(b, fillLength, fillColour));
    float fade = saturate(progress * 5.0) * (1.0 - saturate((progress - 1.0) / 0.2));
    return float4(colour * fade, 1.0);
}
)";

namespace {

video::ITexture* g_image = nullptr;
const char* const kBuiltInName = "<built-in>/loading.hlsl";

// Sets "resolution" and "progress" for the loading shader.
class taLoadShaderCallBack : public video::IShaderConstantSetCallBack
{
public:
    void OnSetConstants(video::IMaterialRendererServices* services, s32) override
    {
        const core::dimension2du size = services->getVideoDriver()->getCurrentRenderTargetSize();
        const f32 resolution[2] = {static_cast<f32>(size.Width), static_cast<f32>(size.Height)};
        services->setVertexShaderConstant("resolution", resolution, 2);
        services->setPixelShaderConstant("resolution", resolution, 2);
        services->setVertexShaderConstant("progress", &progress, 1);
        services->setPixelShaderConstant("progress", &progress, 1);
    }
    f32 progress = 0;
};

// The shader form: a material type for the shader and the callback feeding it; none on the null
// driver or when the shader does not build (the picture falls back to the image and bar).
struct SLoadingShader {
    s32 materialType = -1;
    taLoadShaderCallBack* callback = nullptr;
    void release()
    {
        if (callback)
            callback->drop();
        callback = nullptr;
        materialType = -1;
    }
} g_shader;

void prepareShader()
{
    g_shader.release();
    STaEngineContext& engine = taEngine();
    if (engine.driver != ETADRIVER_OPENGL || !engine.manager)
        return;
    CTaGPUProgrammingServices* gpu = engine.manager->getGPUProgrammingServices();
    gpu->store().setBuiltInSource(kBuiltInName, taBuiltInLoadingShader);
    // "loading.hlsl" when it exists, as given (without the search folders).
    const char* file = taFileExists("loading.hlsl") ? "loading.hlsl" : kBuiltInName;
    g_shader.callback = new taLoadShaderCallBack();
    // Shader model 3.0: vs_3_0 and ps_3_0.
    std::string error;
    g_shader.materialType = gpu->getShaderMaterial(file, "vs_main", 3, file, "ps_main", 7, g_shader.callback,
                                                   video::EMT_SOLID, 0, nullptr, &error);
    if (g_shader.materialType < 0) {
        taPrint(ETALOG_ERROR, "The loading screen shader %s does not build, the plain loading screen is used: %s", file,
                error.c_str());
        g_shader.release();
    }
}

// The full-screen quad, with the loading image (if any) as its texture.
void drawQuad(f32 progress)
{
    g_shader.callback->progress = progress;
    video::SMaterial material;
    material.MaterialType = static_cast<video::E_MATERIAL_TYPE>(g_shader.materialType);
    material.setTexture(0, g_image);
    taEngine().manager->getRenderServices()->drawScreenQuad(material);
}

core::rect<s32> centred(int width, int height, int boxWidth, int boxHeight, int down)
{
    const int x = (width - boxWidth) / 2;
    const int y = (height - boxHeight) / 2 + down;
    return core::rect<s32>(x, y, x + boxWidth, y + boxHeight);
}

void drawBar(video::IVideoDriver* driver, int percent, int imageHeight)
{
    const core::dimension2du screen = driver->getScreenSize();
    const STaLoadingBar bar = taLoadingBarGeometry(screen.Width, screen.Height, imageHeight, percent);
    driver->draw2DRectangle(video::SColor(0xFFFFFFFF), bar.frame);
    driver->draw2DRectangle(video::SColor(0xFF000000), bar.inside);
    if (bar.bar.getWidth() > 0)
        driver->draw2DRectangle(video::SColor(0xFF4488FF), bar.bar);
}

// One whole frame: begin, black, the picture, present.
template <typename Draw> void drawFrame(Draw draw)
{
    STaEngineContext& engine = taEngine();
    if (!engine.started || !engine.videoDriver)
        return;
    if (!taBeginScene())
        return;
    engine.videoDriver->setRenderTarget(video::ERT_FRAME_BUFFER, true, true, video::SColor(255, 0, 0, 0));
    draw(engine.videoDriver);
    taEndScene();
}

} // namespace

STaLoadingBar taLoadingBarGeometry(int width, int height, int imageHeight, int percent)
{
    if (percent < 0)
        percent = 0;
    if (percent > 100)
        percent = 100;
    const int down = height / 10 + (imageHeight > 0 ? imageHeight / 2 : 0);
    const int step = height / 40;
    const int frameWidth = width / 2, frameHeight = height / 10;
    STaLoadingBar bar;
    bar.frame = centred(width, height, frameWidth, frameHeight, down);
    bar.inside = centred(width, height, frameWidth - step, frameHeight - step, down);
    const core::rect<s32> full = centred(width, height, frameWidth - 2 * step, frameHeight - 2 * step, down);
    bar.bar = core::rect<s32>(full.UpperLeftCorner.X, full.UpperLeftCorner.Y,
                              full.UpperLeftCorner.X + full.getWidth() * percent / 100, full.LowerRightCorner.Y);
    return bar;
}

void taLoadingScreenBegin()
{
    STaEngineContext& engine = taEngine();
    if (!engine.started)
        return;
    if (g_image) {
        g_image->drop();
        g_image = nullptr;
    }
    // Found as given, without the search directories.
    if (taFileExists("loading.png")) {
        g_image = engine.videoDriver->getTexture("loading.png");
        if (g_image)
            g_image->grab();
    }
    prepareShader();
    taLoadingScreenProgress(0);
}

void taLoadingScreenProgress(int percent)
{
    drawFrame([percent](video::IVideoDriver* driver) {
        if (g_shader.materialType >= 0) {
            drawQuad(percent / 100.0f);
            return;
        }
        int imageHeight = 0;
        if (g_image) {
            const core::dimension2du screen = driver->getScreenSize();
            const core::dimension2du size = g_image->getOriginalSize();
            imageHeight = static_cast<int>(size.Height);
            driver->draw2DImage(g_image,
                                core::position2di((static_cast<int>(screen.Width) - static_cast<int>(size.Width)) / 2,
                                                  (static_cast<int>(screen.Height) - imageHeight) / 2),
                                core::rect<s32>(0, 0, size.Width, size.Height), nullptr,
                                video::SColor(255, 255, 255, 255), true);
        }
        drawBar(driver, percent, imageHeight);
    });
}

void taLoadingScreenEnd()
{
    if (g_shader.materialType >= 0) {
        // The shader fades the picture out above 100 %.
        for (int percent = 100; percent < 130; ++percent)
            taLoadingScreenProgress(percent);
    } else {
        taLoadingScreenProgress(100);
    }
    taLoadingScreenRelease();
}

void taLoadingScreenRelease()
{
    g_shader.release();
    if (g_image) {
        if (taEngine().videoDriver)
            taEngine().videoDriver->removeTexture(g_image);
        g_image->drop();
        g_image = nullptr;
    }
}

void taLoadingScreenText(int percent)
{
    drawFrame([percent](video::IVideoDriver* driver) {
        drawBar(driver, percent, 0);
        char text[16];
        snprintf(text, sizeof(text), "%d%%\n", percent);
        if (gui::IGUIFont* font = taEngine().font) {
            const core::stringw wideText(text);
            const core::dimension2du size = font->getDimension(wideText.c_str());
            font->draw(wideText, core::rect<s32>(10, 10, 10 + size.Width, 10 + size.Height),
                       video::SColor(255, 255, 255, 255));
        }
    });
}
