/*
[TARV_BEGIN]
//title Glow source
//subject What of layer 0 glows: the surfaces' own glow and the light above the bloom threshold
//comments The material pass keeps 1 - glow in alpha (1 where nothing glows: the cleared background, surfaces without glow and objects drawn without an effect), so the colour is taken by 1 - alpha; to that comes the part of the colour above BloomThreshold (1 unless a scene's bloom lowers it). Drawn into the half-size glow buffer, the foot of the glow pyramid.
//float BloomThreshold : BloomThreshold : pixel
//texture Source : : clamp_to_edge noMipMap
[TARV_END]
*/
#include "PostQuad.hlsli"

sampler2D Source : register(s0);
float BloomThreshold;

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    float4 c = tex2D(Source, input.uv);
    float3 glow = c.rgb * saturate(1.0 - c.a) + max(c.rgb - BloomThreshold, 0.0);
    return float4(glow, 1.0);
}
