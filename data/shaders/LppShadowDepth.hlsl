/*
[TARV_BEGIN]
//title Light pre-pass shadow depth
//subject The depth a shadow map keeps, for meshes whose material has no shadow technique of its own
//comments Drawn with the light's view and projection as the driver's transforms, into an R32F shadow map: the depth along the light's view axis, in world units, in red (as the "shadow" technique of Lpp.hlsl and Forward.hlsl writes it). Reads only positions, so it draws any mesh.
//float4x4 WorldViewProj : WorldViewProjection : vertex
//float4x4 WorldView : WorldView : vertex
[TARV_END]
*/
// The light pass and the volumetric lights compare this depth with the clip w of a point under the
// light's perspective projection, which is the same distance along the light's view axis.

float4x4 WorldViewProj;
float4x4 WorldView;

struct VS_OUTPUT {
    float4 pos : POSITION;
    float depth : TEXCOORD0;
};

VS_OUTPUT vs_main(float3 pos : POSITION)
{
    VS_OUTPUT output;
    float4 position = float4(pos, 1);
    output.pos = mul(WorldViewProj, position);
    output.depth = mul(WorldView, position).z;
    return output;
}

float4 ps_main(VS_OUTPUT input) : COLOR0
{
    return float4(input.depth, 0, 0, 1);
}
