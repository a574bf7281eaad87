// The renderers' files.
#include "render/TaRendererFiles.h"

#include "files/TaFile.h"

const STaRendererFile taRendererFiles[] = {
    {"LppDepthClear.hlsl", "full-screen clear of NormalRTT and DepthRTT", ETARENDERERFILE_STARTUP},
    {"LppLightPass.hlsl", "one light into LightRTT (light-type and shadow variants)", ETARENDERERFILE_STARTUP},
    {"LppShadowDepth.hlsl", "default shadow-map depth effect", ETARENDERERFILE_STARTUP},
    {"GaussianBlur.hlsl", "glow pyramid: Gaussian blur", ETARENDERERFILE_STARTUP},
    {"DownSampleBlur.hlsl", "glow pyramid: down-sampling blur", ETARENDERERFILE_STARTUP},
    {"ComposeUpSample.hlsl", "glow pyramid: compose and up-sample", ETARENDERERFILE_STARTUP},
    {"LightStreakMaxInt.hlsl", "light streaks: maximum intensity", ETARENDERERFILE_STARTUP},
    {"LightStreakDraw.hlsl", "light streaks: drawing", ETARENDERERFILE_STARTUP},
    {"GlowAlphaMul.hlsl", "glow: alpha multiply", ETARENDERERFILE_STARTUP},
    {"DofCocArtist.hlsl", "depth of field: circle of confusion, artist model", ETARENDERERFILE_STARTUP},
    {"DofCocPhysical.hlsl", "depth of field: circle of confusion, physical model", ETARENDERERFILE_STARTUP},
    {"Dof.hlsl", "depth of field: blur", ETARENDERERFILE_STARTUP},
    {"Gamma.hlsl", "gamma encoding pass", ETARENDERERFILE_STARTUP},
    {"BlendAntialias.hlsl", "temporal antialiasing blend", ETARENDERERFILE_STARTUP},
    {"VolumetricSpotLight.hlsl", "volumetric spot lights", ETARENDERERFILE_STARTUP},
    {"VolumetricPointLight.hlsl", "volumetric point lights", ETARENDERERFILE_STARTUP},
    {"SMAA-1-LumaEdgeDetection.fx", "SMAA pass 1: edges", ETARENDERERFILE_STARTUP},
    {"SMAA-2-BlendingWeightCalculation.fx", "SMAA pass 2: blending weights", ETARENDERERFILE_STARTUP},
    {"SMAA-3-NeighborhoodBlending.fx", "SMAA pass 3: neighbourhood blending", ETARENDERERFILE_STARTUP},
    {"AreaTexDX9.png", "SMAA area lookup image", ETARENDERERFILE_STARTUP},
    {"SearchTex.png", "SMAA search lookup image", ETARENDERERFILE_STARTUP},
    {"Lpp.hlsl", "opaque material effect of the light pre-pass and command renderers", ETARENDERERFILE_STARTUP},
    {"Forward.hlsl", "transparent material effect of the light pre-pass and command renderers",
     ETARENDERERFILE_STARTUP},
    {"cubemaptolatlong.hlsl", "copies a cube map into a latitude/longitude texture", ETARENDERERFILE_STARTUP},
    {"NoiseVolume.dds", "noise volume the curl-noise volume is built from", ETARENDERERFILE_CURLNOISE},
    {"Particle.dae", "default particle effect", ETARENDERERFILE_EMITTER},
    {"loading.hlsl", "loading screen shader (vs_main, ps_main; resolution, progress)", ETARENDERERFILE_OPTIONAL},
    {nullptr, nullptr, ETARENDERERFILE_OPTIONAL},
};

std::vector<std::string> taLocateRendererFiles()
{
    std::vector<std::string> found;
    for (const STaRendererFile* file = taRendererFiles; file->name; ++file) {
        const char* path = taFindFile(file->name);
        found.push_back(taFileExists(path) ? path : "");
    }
    return found;
}
