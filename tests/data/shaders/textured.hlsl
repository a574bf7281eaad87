// A textured, tinted mesh: what Irrlicht's fixed-function EMT_SOLID draws with lighting off.
float4x4 WorldViewProj;
float4 Tint;
sampler2D Diffuse : register(s0);

struct VS_OUT {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
    float4 col : COLOR0;
};

VS_OUT vs_main(float3 pos : POSITION, float2 uv : TEXCOORD0, float4 col : COLOR0)
{
    VS_OUT o;
    o.pos = mul(float4(pos, 1), WorldViewProj);
    o.uv = uv;
    o.col = col;
    return o;
}

float4 ps_main(float2 uv : TEXCOORD0, float4 col : COLOR0) : COLOR0
{
    return tex2D(Diffuse, uv) * col * Tint;
}
