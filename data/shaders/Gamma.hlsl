/*
[TARV_BEGIN]
//title Gamma encoding
//subject The linear picture of layer 0 encoded for the display
//comments Each colour channel through the sRGB curve: 12.92 x up to 0.0031308, 1.055 x^(1/2.4) - 0.055 above, values clamped to 0..1 first; alpha kept. Drawn over a whole target of the source's size.
//texture Source : : clamp_to_edge filterPoint noMipMap
[TARV_END]
*/
#include "PostQuad.hlsli"

sampler2D Source : register(s0);

float3 encodeSrgb(float3 linearColour)
{
    float3 c = saturate(linearColour);
    float3 low = c * 12.92;
    float3 high = 1.055 * pow(c, 1.0 / 2.4) - 0.055;
    return lerp(low, high, step(0.0031308, c));
}

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    float4 c = tex2D(Source, input.uv);
    return float4(encodeSrgb(c.rgb), c.a);
}
