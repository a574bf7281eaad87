/*
[TARV_BEGIN]
//title Gaussian blur
//subject Layer 0 blurred along one direction
//comments A Gaussian of standard deviation Radius / 3 target pixels along Direction ((1, 0) across, (0, 1) down), from 25 taps a texel apart up to a radius of 12 (the exact discrete kernel) and spread evenly over -Radius..Radius beyond, normalised, then scaled by Intensity. Drawn over a whole target of the source's size; a glow blurs each level across and then down. Radius 0 copies the source (times Intensity).
//float2 Direction : 1,0 : pixel
//float Radius : 1 : pixel
//float Intensity : 1 : pixel
//float2 TargetSize : TargetSize : pixel
//texture Source : : clamp_to_edge noMipMap
[TARV_END]
*/
#include "PostQuad.hlsli"

sampler2D Source : register(s0);
float2 Direction;
float Radius;
float Intensity;
float2 TargetSize;

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    // Taps a texel apart up to a radius of 12 (the exact discrete Gaussian, as bilinear reads at
    // texel centres are exact), spread wider beyond it.
    float spacing = max(Radius / 12.0, 1.0);
    float invSigma = 3.0 / max(Radius, 0.001);
    float2 step = Direction * spacing / TargetSize;
    float4 sum = 0;
    float total = 0;
    for (int i = -12; i <= 12; ++i) {
        float d = i * spacing * invSigma;
        float weight = exp(-0.5 * d * d);
        sum += tex2D(Source, input.uv + step * i) * weight;
        total += weight;
    }
    return sum / total * Intensity;
}
