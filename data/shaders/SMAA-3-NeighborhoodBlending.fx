/*
[TARV_BEGIN]
//title SMAA neighbourhood blending
//subject Layer 0 mixed with its neighbours by the blending weights of layer 1
//comments Third SMAA pass. A pixel's weights towards its four neighbours: its own top (red) and left (blue) ones and the ones its bottom (green) and right (alpha) neighbours hold for it. It mixes with the two neighbours across its horizontal edges (top, bottom) or across its vertical edges (left, right), whichever pair holds the larger weight, each weight being the part of the pixel that neighbour's colour covers. A pixel without weights is copied as it is. Drawn over a target of the source's size.
//float2 TargetSize : TargetSize : pixel
//texture Source : : clamp_to_edge noMipMap
//texture Weights : : clamp_to_edge noMipMap
[TARV_END]
*/
#include "SmaaCommon.hlsli"

sampler2D Source : register(s0);
sampler2D Weights : register(s1);

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    float2 px = pixelSize();
    float2 uv = input.uv;
    float4 colour = fetch(Source, uv);
    float4 own = fetch(Weights, uv);
    float top = own.r, left = own.b;
    float bottom = fetch(Weights, uv + float2(0, px.y)).g;
    float right = fetch(Weights, uv + float2(px.x, 0)).a;
    if (top + bottom + left + right <= 0)
        return colour;
    bool sideways = max(left, right) > max(top, bottom);
    float2 weight = sideways ? float2(left, right) : float2(top, bottom);
    float2 before = sideways ? float2(px.x, 0) : float2(0, px.y);
    return colour * (1 - weight.x - weight.y) + fetch(Source, uv - before) * weight.x + fetch(Source, uv + before) * weight.y;
}
