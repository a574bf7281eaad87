// Pixel position and facing, fmod, clip.
#include "common.hlsli"
float2 Resolution;

float4 vs_main(float3 pos : POSITION) : POSITION
{
    return transformPosition(pos);
}

float4 ps_main(float2 vpos : VPOS, float face : VFACE) : COLOR0
{
    float2 uv = (vpos + 0.5) / Resolution;
    clip(uv.x - 0.01);
    float stripe = fmod(vpos.x, 4.0) < 2.0 ? 1.0 : 0.0;
    return float4(uv, stripe, face > 0 ? 1.0 : 0.5);
}
