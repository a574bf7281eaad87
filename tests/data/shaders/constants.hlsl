// Constant shapes: bools, ints, arrays, non-square matrices, loops.
#include "common.hlsli"
bool UseFog;
int LightCount;
float4 LightColors[8];
float4x3 Bones[4];
float3x3 Rotation;
float Weights[4];

struct VS_IN { float3 pos : POSITION; float4 idx : BLENDINDICES; float3 nrm : NORMAL; };
struct VS_OUT { float4 pos : POSITION; float4 col : COLOR0; float fog : TEXCOORD0; };

VS_OUT vs_main(float3 pos : POSITION, float3 nrm : NORMAL, float4 col : COLOR0)
{
    VS_OUT o;
    float3 p = float3(0, 0, 0);
    for (int i = 0; i < 4; ++i)
        p += mul(float4(pos, 1), Bones[i]) * Weights[i];
    o.pos = transformPosition(mul(p, Rotation));
    o.col = col;
    o.fog = UseFog ? saturate(o.pos.z / 100) : 0;
    return o;
}

float4 ps_main(float4 col : COLOR0, float fog : TEXCOORD0) : COLOR0
{
    float4 sum = 0;
    for (int i = 0; i < LightCount; ++i)
        sum += LightColors[i];
    return lerp(col * sum, float4(0.5, 0.5, 0.5, 1), fog);
}
