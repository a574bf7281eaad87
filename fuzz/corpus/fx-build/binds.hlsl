/*
[TARV_BEGIN]
//title Binds
//config techniques : depth shadow
//config baseMaterial : transparent_one_one
//float4x4 WVP : WorldViewProjection : vertex
//float4x4 W : WorldInverseTranspose : both
//float4 Tint : 1,0.5,0.25,1 : pixel color
//float2 Size1 : Texture[1].Size : pixel
//float4 Glow : BloomThreshold : pixel
//float4 Lights : LightParams : pixel
//float4 Num : LightsNum : pixel
//float4 Second : ObjectPos2 : pixel
//float4 L3 : LightPos3 : pixel
//float Fog : Surface_Glossiness : pixel
//float4 Cube : CubeMapPosition : pixel
//float Hv : ParticleSize : vertex
//bool Flag : 1 : pixel
//int Count : 3 : pixel
//float T : Time : pixel
//float2 Px : HalfScreenHalfPixelSize : pixel
//float4 Corners : FrustrumFarCorners : pixel
//float4 Rays : LineStartsEnds : pixel
//texture 0 : base.png : srgb trilinear
//texture 9 : big.png : clamp_to_edge_v
//texture Vtx : : vertex filterPoint
//texture Env : : cube preset
//TARV_PP:D:SHADOW://float4 ShadowOnly : 0,0,0,0 : pixel
[TARV_END]
*/
float4 vs_main(float3 p : POSITION) : POSITION { return float4(p, 1); }
float4 ps_main() : COLOR0 { return 1; }
