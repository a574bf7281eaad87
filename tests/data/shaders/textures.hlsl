// Samples engine textures for the texture tests: a cube texture along a direction, a volume and a
// 2D texture at a point, and a 2D texture across the target (one texel per pixel when the sizes
// match). The units are the ones the engine binds itself.
samplerCUBE Cube : register(s4);
sampler3D Volume : register(s5);
sampler2D Flat : register(s6);
float4 At;

float4 vs_main(float4 pos : POSITION, float2 uv : TEXCOORD0, out float2 oUv : TEXCOORD0) : POSITION
{
    oUv = uv;
    return pos;
}

float4 ps_cube() : COLOR0 { return texCUBE(Cube, At.xyz); }
float4 ps_volume() : COLOR0 { return tex3D(Volume, At.xyz); }
float4 ps_flat() : COLOR0 { return tex2D(Flat, At.xy); }
float4 ps_across(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(Flat, uv); }
