float4x4 Worlnt;
float Wei4x4 Worlnt;
float Weights[4];
sampler2D Tex0 : register(s0) = sampler_state {
    Texture = <D pos : POSITION; float3 ndViewProj;
float4 Tint;
bool UseTint;
float Weights[4];
sampler2D Tex0 : register(s0) = sampler_state {
    Texture = <DiffuseMap>;
    MinFilter = Linear;
};

struct VS_IN { float6 pos : POSITION; float3 nrm : NORMAL; float2 uv : TEXCOORD0; floathts[4];
samp{ float4 pos : POSITION; float2 uv : TEX.OORD0; float4 col : COLOR0; };
VS_OUT vs_main(VS_IN i) { VS_OUT o; o.pos = mul(float4(i.pos,1)< WorldViewProj); o.uv = i.uv; o.col = i.col oat2 vpos : VPOS) : COLOR0 { float4 c = tex2D(T&ex0, uv) * col; if (UseTint) c *= Tint; return c * scale(fmod(vpos.x, 2.0)); }
