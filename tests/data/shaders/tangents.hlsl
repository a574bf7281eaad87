// Tangent-space inputs and two colour inputs; point size.
#include "common.hlsli"
sampler2D NormalMap : register(s1);

struct VS_OUT { float4 pos : POSITION; float2 uv : TEXCOORD0; float3 t : TEXCOORD1; float3 b : TEXCOORD2;
                float4 c0 : COLOR0; float4 c1 : COLOR1; float size : PSIZE; };

VS_OUT vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0, float3 tan : TANGENT, float3 bin : BINORMAL,
               float4 c0 : COLOR0, float4 c1 : COLOR1)
{
    VS_OUT o;
    o.pos = transformPosition(pos);
    o.uv = uv;
    o.t = tan;
    o.b = bin;
    o.c0 = c0;
    o.c1 = c1;
    o.size = 4;
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0, float3 t : TEXCOORD1, float3 b : TEXCOORD2, float4 c0 : COLOR0,
               float4 c1 : COLOR1) : COLOR0
{
    float3 n = tex2D(NormalMap, uv).xyz * 2 - 1;
    return c0 * saturate(dot(n, normalize(cross(t, b)))) + c1;
}
