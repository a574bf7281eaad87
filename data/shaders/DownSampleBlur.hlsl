/*
[TARV_BEGIN]
//title Down-sample
//subject Layer 0 halved in each direction
//comments Drawn into a target half the source's size: the four source texels under the target pixel averaged. Used down the glow pyramid.
//float2 TargetSize : TargetSize : pixel
//texture Source : : clamp_to_edge noMipMap
[TARV_END]
*/
#include "PostQuad.hlsli"

sampler2D Source : register(s0);
float2 TargetSize;

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    // One source texel is half a target pixel: the taps sit half a source texel off the centre.
    float2 texel = 0.25 / TargetSize;
    float4 sum = tex2D(Source, input.uv + float2(-texel.x, -texel.y));
    sum += tex2D(Source, input.uv + float2(texel.x, -texel.y));
    sum += tex2D(Source, input.uv + float2(-texel.x, texel.y));
    sum += tex2D(Source, input.uv + float2(texel.x, texel.y));
    return sum * 0.25;
}
