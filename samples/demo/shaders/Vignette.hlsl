/*
[TARV_BEGIN]
//title Vignette
//subject The picture darkened towards its corners and warmed a little: a camera shader of the sample demo
//comments Runs in the final post chain (no render annotation), reading the picture in layer 0. Strength is the darkening at the corners.
//float Strength : 0.6 : pixel
//texture Source : : clamp_to_edge noMipMap
[TARV_END]
*/
sampler2D Source : register(s0);
float Strength;

struct VS_OUT {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
};

VS_OUT vs_main(float3 pos : POSITION)
{
    VS_OUT o;
    o.pos = float4(pos.xy, 0, 1);
    o.uv = pos.xy * 0.5 + 0.5;
    return o;
}

float4 ps_main(VS_OUT i) : COLOR0
{
    float4 c = tex2D(Source, i.uv);
    float2 d = i.uv - 0.5;
    float falloff = 1.0 - Strength * saturate(dot(d, d) * 2.0);
    return float4(c.rgb * falloff * float3(1.05, 1.0, 0.92), c.a);
}
