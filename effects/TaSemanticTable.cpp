// The semantic table and the channel names.
#include "effects/TaSemanticTable.h"
#include "effects/TaSurfaceData.h"

#include <strings.h>

#define TA_SEMANTIC(name) {name, name}
#define TA_ALIAS(name, binding) {name, binding}
#define TA_EIGHT(prefix) \
    TA_SEMANTIC(prefix "0"), TA_SEMANTIC(prefix "1"), TA_SEMANTIC(prefix "2"), TA_SEMANTIC(prefix "3"), \
    TA_SEMANTIC(prefix "4"), TA_SEMANTIC(prefix "5"), TA_SEMANTIC(prefix "6"), TA_SEMANTIC(prefix "7")
#define TA_FIVE(prefix) \
    TA_SEMANTIC(prefix "0"), TA_SEMANTIC(prefix "1"), TA_SEMANTIC(prefix "2"), TA_SEMANTIC(prefix "3"), \
    TA_SEMANTIC(prefix "4")

// A plain matrix name binds the binder's "Transpose" value and a "Transpose" name the plain one,
// except for the four rows marked below, which bind as written in the engine's own effects.
const STaSemanticName taSemanticTable[] = {
    TA_ALIAS("Time0_X", "TimeScene"),
    TA_ALIAS("Time_0_X", "TimeScene"),
    TA_ALIAS("Time", "Time"),
    TA_ALIAS("TimeScene", "TimeScene"),
    TA_SEMANTIC("Fps"),
    TA_ALIAS("Projection", "ProjectionTranspose"),
    TA_ALIAS("ProjectionTranspose", "ViewProjection"), // not Projection
    TA_ALIAS("ViewProjection", "ViewProjectionTranspose"),
    TA_ALIAS("ViewProjectionTranspose", "ViewProjection"),
    TA_ALIAS("View", "ViewTranspose"),
    TA_ALIAS("ViewInverse", "ViewInverseTranspose"),
    TA_ALIAS("ViewInverseTranspose", "ViewInverse"),
    TA_ALIAS("ViewTranspose", "ViewInverse"), // not View
    TA_ALIAS("PrevProjection", "PrevProjectionTranspose"),
    TA_ALIAS("PrevProjectionTranspose", "PrevViewProjection"), // not PrevProjection
    TA_ALIAS("PrevViewProjection", "PrevViewProjectionTranspose"),
    TA_ALIAS("PrevViewProjectionTranspose", "PrevViewProjection"),
    TA_ALIAS("PrevView", "PrevViewTranspose"),
    TA_ALIAS("PrevViewInverse", "PrevViewInverseTranspose"),
    TA_ALIAS("PrevViewInverseTranspose", "PrevViewInverse"),
    TA_ALIAS("PrevViewTranspose", "PrevViewInverse"), // not PrevView
    TA_ALIAS("ViewInversePrevViewProjection", "ViewInversePrevViewProjectionTranspose"),
    TA_ALIAS("ViewInversePrevViewProjectionTranspose", "ViewInversePrevViewProjection"),
    TA_SEMANTIC("ViewPosition"),
    TA_ALIAS("WorldViewProjection", "WorldViewProjectionTranspose"),
    TA_ALIAS("WorldViewProjectionTranspose", "WorldViewProjection"),
    TA_ALIAS("WorldView", "WorldViewTranspose"),
    TA_ALIAS("WorldViewTranspose", "WorldView"),
    TA_ALIAS("WorldViewInverse", "WorldViewInverseTranspose"),
    TA_ALIAS("WorldViewInverseTranspose", "WorldViewInverse"),
    TA_ALIAS("WorldInverse", "WorldInverseTranspose"),
    TA_ALIAS("WorldInverseTranspose", "WorldInverse"),
    TA_ALIAS("World", "WorldTranspose"),
    TA_ALIAS("WorldTranspose", "World"),
    TA_SEMANTIC("WorldTranslation"),
    TA_SEMANTIC("WorldRotation"),
    TA_SEMANTIC("WorldScale"),
    TA_SEMANTIC("FrustrumFarCorners"),
    TA_SEMANTIC("FrustrumFarCornersWorld"),
    TA_SEMANTIC("ZFarValue"),
    TA_SEMANTIC("TargetSize"),
    TA_SEMANTIC("ScreenSize"),
    TA_SEMANTIC("PixelSize"),
    TA_SEMANTIC("HalfPixelSize"),
    TA_SEMANTIC("HalfScreenHalfPixelSize"),
    TA_SEMANTIC("QuarterScreenHalfPixelSize"),
    TA_SEMANTIC("Fov"),
    TA_SEMANTIC("FocalDistance"),
    TA_SEMANTIC("FStop"),
    TA_SEMANTIC("FocalRange"),
    TA_SEMANTIC("DofMaxCoc"),
    TA_SEMANTIC("DofFocalRangeMin"),
    TA_SEMANTIC("DofFocalRangeFocused"),
    TA_SEMANTIC("DofFocalRangeMax"),
    TA_SEMANTIC("DofRadiusScale"),
    TA_SEMANTIC("GlowIntensity"),
    TA_SEMANTIC("BloomSpecMin"),
    TA_SEMANTIC("BloomThreshold"),
    TA_SEMANTIC("SrrNbPixStepMult"),
    TA_SEMANTIC("SrrMaxDepthTestMult"),
    TA_SEMANTIC("SrrFuzziness"),
    TA_EIGHT("ObjectPos"),
    TA_EIGHT("ObjectRot"),
    TA_EIGHT("ObjectScale"),
    TA_EIGHT("ObjectTrans"),
    TA_EIGHT("ObjectInvTrans"),
    TA_FIVE("LightPos"),
    TA_FIVE("LightDir"),
    TA_SEMANTIC("LightDiffuse0"),
    TA_SEMANTIC("LightDiffuse1"),
    TA_ALIAS("LightAmbient0", "LightAmbient"),
    TA_ALIAS("LightAmbient1", "LightAmbient"),
    TA_SEMANTIC("LightsIni"),
    TA_SEMANTIC("LightsNum"),
    TA_SEMANTIC("LightParams"),
    TA_SEMANTIC("LineStartsEnds"),
    TA_SEMANTIC("LineEnds"),
    TA_SEMANTIC("DownScale4x4Samples"),
    TA_SEMANTIC("DownScale2x2Samples"),
    TA_SEMANTIC("HalfDownScale2x2Samples"),
    TA_ALIAS("ParticleColor", "LWHV_Color"),
    TA_ALIAS("ParticleSize", "LWHV_Size"),
    TA_ALIAS("ParticleRotation", "LWHV_Rotation"),
    TA_ALIAS("ParticleGradColorNum", "LWHV_ColorNumKeys"),
    TA_ALIAS("ParticleGradColorKeyParams", "LWHV_ColorKeyParams"),
    TA_ALIAS("ParticleGradColorKeyValues", "LWHV_ColorKeyValues"),
    TA_ALIAS("ParticleGradSizeNum", "LWHV_SizeNumKeys"),
    TA_ALIAS("ParticleGradSizeKeyParams", "LWHV_SizeKeyParams"),
    TA_ALIAS("ParticleGradSizeKeyValues", "LWHV_SizeKeyValues"),
    TA_ALIAS("ParticleTimeNow", "Time"),
    TA_ALIAS("Surface_Roughness", "LW_Roughness"),
    TA_ALIAS("Surface_ReflectionMaxMip", "LW_ReflectionMaxMip"),
    TA_SEMANTIC("CubeMapPosition"),
    TA_SEMANTIC("CubeMapAABBPosition"),
    TA_SEMANTIC("CubeMapAABBScale"),
    TA_SEMANTIC("Texture[0].Size"),
    TA_SEMANTIC("Texture[1].Size"),
    TA_SEMANTIC("Texture[2].Size"),
    TA_SEMANTIC("Texture[3].Size"),
    TA_SEMANTIC("Texture[4].Size"),
    TA_SEMANTIC("Texture[5].Size"),
    TA_SEMANTIC("Texture[6].Size"),
    TA_SEMANTIC("Texture[7].Size"),
};
const size_t taSemanticTableSize = sizeof(taSemanticTable) / sizeof(taSemanticTable[0]);
static_assert(sizeof(taSemanticTable) / sizeof(taSemanticTable[0]) == 146, "the semantic table has 146 names");

const char* const taSurfaceChannels[] = {
    "BaseColor", "Luminosity", "Diffuse", "Specularity", "Reflectivity", "Transparency", "Translucency", "IOR",
    "Bump", "Glossiness", "SpecialBuffer1", "SpecialBuffer2", "SpecialBuffer3", "SpecialBuffer4",
    "DiffuseSharpness", "BumpDropoff", "SmoothingAngle", "ReflectionSeamAngle", "RefractionSeamAngle",
    "ReflectionBlurring", "RefractionBlurring", "ColorFilter", "ColorHighlights", "AdditiveTransparency",
    "AlphaValue", "GlowValue", "LineColor", "LineSize", "AlphaOptions", "ReflectionOptions", "RefractionOptions",
    "Sidedness", "ExcludeFromVStack", "Glow", "RenderOutlines", "ReflectionImage", "RefractionImage",
    "VertexColoring", "VertexNormal",
};
const size_t taSurfaceChannelCount = sizeof(taSurfaceChannels) / sizeof(taSurfaceChannels[0]);
static_assert(sizeof(taSurfaceChannels) / sizeof(taSurfaceChannels[0]) == 39, "39 surface channels");

const char* const taTextureChannels[] = {
    "Color", "BaseColor", "Luminosity", "Diffuse", "Specularity", "Reflectivity", "Transparency",
    "Translucency", "RefractionIndex", "Bump", "Glossiness", "ReflectionImage", "RefractionImage",
};
const size_t taTextureChannelCount = sizeof(taTextureChannels) / sizeof(taTextureChannels[0]);

const STaSemanticName* taFindSemantic(const char* name)
{
    for (size_t i = 0; name && i < taSemanticTableSize; ++i)
        if (strcasecmp(taSemanticTable[i].name, name) == 0)
            return &taSemanticTable[i];
    return nullptr;
}

const char* taFindSurfaceChannel(const char* name)
{
    for (size_t i = 0; name && i < taSurfaceChannelCount; ++i)
        if (strcasecmp(taSurfaceChannels[i], name) == 0)
            return taSurfaceChannels[i];
    return nullptr;
}

const char* taFindTextureChannel(const char* name)
{
    for (size_t i = 0; name && i < taTextureChannelCount; ++i)
        if (strcasecmp(taTextureChannels[i], name) == 0)
            return i == 0 ? "BaseColor" : taTextureChannels[i];
    return nullptr;
}

const char* taSurfaceChannelName(int channel)
{
    return channel >= 0 && channel < ETASC_COUNT ? taSurfaceChannels[channel] : "";
}
