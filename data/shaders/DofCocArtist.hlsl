/*
[TARV_BEGIN]
//title Depth of field: circle of confusion from the focal ranges
//subject The colour of layer 0 with each pixel's circle of confusion from the depth buffer (layer 1)
//comments Sharp at view depth FocalRangeFocused, fully blurred at FocalRangeMin and nearer and at FocalRangeMax and farther, linear in depth between (a range of zero length blurs fully on its side). Written into alpha as 0 (sharp) to 1 (full blur: the blur's whole reach times its radius scale); rgb keeps the colour.
//float FocalRangeMin : DofFocalRangeMin : pixel
//float FocalRangeFocused : DofFocalRangeFocused : pixel
//float FocalRangeMax : DofFocalRangeMax : pixel
//texture Source : : clamp_to_edge filterPoint noMipMap
//texture DepthBuffer : : clamp_to_edge filterPoint noMipMap r32f
[TARV_END]
*/
#include "PostQuad.hlsli"

sampler2D Source : register(s0);
sampler2D DepthBuffer : register(s1);
float FocalRangeMin;
float FocalRangeFocused;
float FocalRangeMax;

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    float4 colour = tex2D(Source, input.uv);
    float depth = tex2D(DepthBuffer, input.uv).r;
    float nearBlur = saturate((FocalRangeFocused - depth) / max(FocalRangeFocused - FocalRangeMin, 1e-6));
    float farBlur = saturate((depth - FocalRangeFocused) / max(FocalRangeMax - FocalRangeFocused, 1e-6));
    return float4(colour.rgb, depth < FocalRangeFocused ? nearBlur : farBlur);
}
