/*
[TARV_BEGIN]
//title Depth of field: circle of confusion of the lens
//subject The colour of layer 0 with each pixel's circle of confusion from the depth buffer (layer 1)
//comments A thin lens of 50 mm focal length on a 24 mm high frame (35 mm film), scene units being metres, focused at FocalDistance and stopped down to FStop: the circle's diameter on the frame is (f / N) f |z - S| / (z (S - f)) for a surface at view depth z. Written as its radius in target pixels over 16 (the depth-of-field blur's reach), clamped to 0..1, into alpha; rgb keeps the colour.
//float FocalDistance : FocalDistance : pixel
//float FStop : FStop : pixel
//float2 TargetSize : TargetSize : pixel
//texture Source : : clamp_to_edge filterPoint noMipMap
//texture DepthBuffer : : clamp_to_edge filterPoint noMipMap r32f
[TARV_END]
*/
#include "PostQuad.hlsli"

sampler2D Source : register(s0);
sampler2D DepthBuffer : register(s1);
float FocalDistance;
float FStop;
float2 TargetSize;

static const float kFocalLength = 0.05; // 50 mm
static const float kFrameHeight = 0.024; // 24 mm
static const float kMaxRadius = 16.0; // pixels at a circle of confusion of 1 (as Dof.hlsl reads it)

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    float4 colour = tex2D(Source, input.uv);
    float depth = max(tex2D(DepthBuffer, input.uv).r, 1e-4);
    // A focus inside the focal length has no image; the lens focuses a little beyond it instead.
    float focus = max(FocalDistance, kFocalLength * 1.001);
    float aperture = kFocalLength / max(FStop, 0.01);
    float diameter = aperture * kFocalLength * abs(depth - focus) / (depth * (focus - kFocalLength));
    float radius = 0.5 * diameter / kFrameHeight * TargetSize.y;
    return float4(colour.rgb, saturate(radius / kMaxRadius));
}
