// Glass effect
/*
[TARV_BEGIN]
//title Glass
//config techniques : depth
//config baseMaterial : transparent
//float4x4 WVP : WorldViewProjection : vertex
//float4 Tint : 1,1,1,0.5 : pixel color
//texture 0 : Color : srgb trilinear
[TARV_END]
*/
float4x4 WVP;
