// Every sampler kind of Direct3D 9 HLSL, and a vertex texture fetch.
#include "common.hlsli"
sampler2D Surface : register(s0);
samplerCUBE Environment : register(s1);
sampler3D Noise : register(s2);
sampler2D Heights = sampler_state { MinFilter = Linear; MagFilter = Linear; };

struct VS_OUT { float4 pos : POSITION; float3 uvw : TEXCOORD0; float3 nrm : TEXCOORD1; };

VS_OUT vs_main(float3 pos : POSITION, float3 nrm : NORMAL, float2 uv : TEXCOORD0)
{
    VS_OUT o;
    float h = tex2Dlod(Heights, float4(uv, 0, 0)).r;
    o.pos = transformPosition(pos + nrm * h);
    o.uvw = float3(uv, h);
    o.nrm = nrm;
    return o;
}

float4 ps_main(float3 uvw : TEXCOORD0, float3 nrm : TEXCOORD1) : COLOR0
{
    float4 c = tex2D(Surface, uvw.xy);
    c += texCUBE(Environment, nrm) * 0.5;
    c *= tex3D(Noise, uvw).r;
    c += tex2Dbias(Surface, float4(uvw.xy, 0, 1)) * 0.1;
    return c;
}
