/*
[TARV_BEGIN]
//title Light-streak pass
//subject Layer 0 smeared along direction: one of the three passes that draw a streak one way
//comments Each pass gathers four taps along direction, spaced 4^(passn - 1) texels apart, weighted attenuation^(spacing * tap) and normalised, so three passes reach 63 texels; the further taps take on the colorize tint, more on later passes. The second three passes run with the direction negated over the first three's result, so the streak spreads both ways.
//float2 direction : 1,0 : pixel
//float3 colorize : 0,0.5,1 : pixel
//float attenuation : 0.95 : pixel
//float passn : 1 : pixel
//float2 TargetSize : TargetSize : pixel
//texture Source : : clamp_to_edge noMipMap
[TARV_END]
*/
#include "PostQuad.hlsli"

sampler2D Source : register(s0);
float2 direction;
float3 colorize;
float attenuation;
float passn;
float2 TargetSize;

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    float spacing = pow(4.0, passn - 1.0);
    float2 step = direction * spacing / TargetSize;
    float3 sum = 0;
    float total = 0;
    for (int s = 0; s < 4; ++s) {
        float weight = pow(saturate(attenuation), spacing * s);
        float3 tint = lerp(float3(1, 1, 1), colorize, (s / 3.0) * (passn / 3.0));
        sum += tex2D(Source, input.uv + step * s).rgb * tint * weight;
        total += weight;
    }
    return float4(sum / total, 1.0);
}
