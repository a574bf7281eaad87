/*
[TARV_BEGIN]
//title Light pre-pass buffer clear
//subject Clears the normal and depth buffers of the light pre-pass, or a shadow map, to "no surface here"
//comments Technique 0: a full-screen quad drawn into NormalRTT (COLOR0) and DepthRTT (COLOR1) at once, writing a zero normal and glossiness, which the light pass reads as no surface, and the far depth 1e8. "shadow": the far depth 1e8 into one R32F target, a shadow map without casters (a clear through Irrlicht's colour reaches 1 at most).
//config techniques : shadow
//float4x4 WorldViewProjection : 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1 : vertex
[TARV_END]
*/
// What a pixel without a surface holds:
//   NormalRTT  (0, 0, 0, 0): a surface always writes a unit normal, so a zero one means none
//   DepthRTT   1e8 in red: far beyond any camera's far plane, so depth tests and fog treat the
//              pixel as infinitely far, yet small enough that a position scaled by it (and its
//              square) stays a finite float
//   ShadowMap  1e8 in red: no caster before any point the light reaches
// The engine's screen quad has its corners at -1..1 in x and y; WorldViewProjection (identity by
// default, set as Irrlicht stores it) places it.

#define TA_LPP_NO_SURFACE_DEPTH 1.0e8

float4x4 WorldViewProjection;

float4 vs_main(float3 pos : POSITION) : POSITION
{
    return mul(float4(pos, 1), WorldViewProjection);
}

#ifdef USE_TECH_SHADOW
float4 ps_main() : COLOR0
{
    return float4(TA_LPP_NO_SURFACE_DEPTH, 0, 0, 1);
}
#else
void ps_main(out float4 normalOut : COLOR0, out float4 depthOut : COLOR1)
{
    normalOut = float4(0, 0, 0, 0);
    depthOut = float4(TA_LPP_NO_SURFACE_DEPTH, 0, 0, 1);
}
#endif
