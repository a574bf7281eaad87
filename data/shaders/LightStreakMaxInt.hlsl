/*
[TARV_BEGIN]
//title Light-streak source
//subject The brightest of the 2 x 2 source texels under each pixel, kept where it glows enough and matches the colour key
//comments Drawn into a target half the source's size. A texel counts when its glow (as the glow source reads it: 1 - alpha, plus the colour above 1) rises through limitalpha (min, max: a soft step) and when the cosine between its colour and colorkey rises through limitcolor; what counts keeps its colour, the rest is black.
//float2 limitalpha : 0,0.02 : pixel
//float2 limitcolor : 0.79,0.81 : pixel
//float3 colorkey : 1,1,1 : pixel
//float2 TargetSize : TargetSize : pixel
//texture Source : : clamp_to_edge noMipMap
[TARV_END]
*/
#include "PostQuad.hlsli"

sampler2D Source : register(s0);
float2 limitalpha;
float2 limitcolor;
float3 colorkey;
float2 TargetSize;

float softStep(float2 limits, float x)
{
    return limits.y > limits.x ? saturate((x - limits.x) / (limits.y - limits.x)) : step(limits.x, x);
}

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    // The four source texels under this pixel lie a quarter of a target pixel away from its centre.
    float2 quarter = 0.25 / TargetSize;
    float4 best = 0;
    float bestLuma = -1;
    for (int i = 0; i < 4; ++i) {
        float2 offset = float2((i & 1) ? quarter.x : -quarter.x, (i & 2) ? quarter.y : -quarter.y);
        float4 c = tex2D(Source, input.uv + offset);
        float3 glow = c.rgb * saturate(1.0 - c.a) + max(c.rgb - 1.0, 0.0);
        float luma = dot(glow, float3(0.299, 0.587, 0.114));
        float match = dot(normalize(c.rgb + 1e-5), normalize(colorkey + 1e-5));
        float keep = softStep(limitalpha, luma) * softStep(limitcolor, match);
        if (luma * keep > bestLuma) {
            bestLuma = luma * keep;
            best = float4(glow * keep, 1.0);
        }
    }
    return best;
}
