/*
[TARV_BEGIN]
//title Depth of field: blur along one direction
//subject Layer 0 (colour in rgb, circle of confusion in alpha) blurred along the direction at angle radians, each pixel as wide as its circle of confusion
//comments Gathers 33 taps along (cos angle, sin angle) from the nearest texels (so that a tap's colour, circle and depth are one texel's), up to 16 x radiusScale pixels each way (a pixel apart, spread evenly when farther). A tap counts where its own circle (alpha x 16 x radiusScale pixels) reaches the pixel, with a pixel of soft edge, weighted by 1 / (2 r + 1) so that a wide circle spreads its light instead of adding it; a tap behind the pixel (depth, layer 1) reaches no farther than the pixel's own circle, so a blurred background does not spill over a sharp foreground. Alpha keeps the pixel's circle for the next pass. Drawn twice, at 0 and 60 degrees: the bokeh is the rhombus the two strokes sweep.
//float angle : 0 : pixel
//float radiusScale : 1 : pixel
//float2 TargetSize : TargetSize : pixel
//texture Source : : clamp_to_edge filterPoint noMipMap
//texture DepthBuffer : : clamp_to_edge filterPoint noMipMap r32f
[TARV_END]
*/
#include "PostQuad.hlsli"

sampler2D Source : register(s0);
sampler2D DepthBuffer : register(s1);
float angle;
float radiusScale;
float2 TargetSize;

static const float kMaxRadius = 16.0; // pixels at a circle of confusion of 1
#define TA_DOF_TAPS 16

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    float4 centre = tex2D(Source, input.uv);
    float centreDepth = tex2D(DepthBuffer, input.uv).r;
    float scale = kMaxRadius * max(radiusScale, 0);
    float centreRadius = centre.a * scale;
    float spacing = max(scale / TA_DOF_TAPS, 1.0);
    float2 step = float2(cos(angle), sin(angle)) * spacing / TargetSize;
    float3 sum = 0;
    float total = 0;
    for (int i = -TA_DOF_TAPS; i <= TA_DOF_TAPS; ++i) {
        float2 uv = input.uv + step * i;
        float4 tap = tex2D(Source, uv);
        float radius = tap.a * scale;
        if (tex2D(DepthBuffer, uv).r > centreDepth)
            radius = min(radius, centreRadius);
        float coverage = saturate(radius - abs(i) * spacing + 1);
        float weight = coverage / (2 * radius + 1);
        sum += tap.rgb * weight;
        total += weight;
    }
    // The centre tap always counts (coverage 1), so total is above 0.
    return float4(sum / total, centre.a);
}
