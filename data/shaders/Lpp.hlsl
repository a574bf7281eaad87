/*
[TARV_BEGIN]
//title Light pre-pass surface
//subject LightWave surfaces of opaque objects drawn by the light pre-pass renderer
//comments Technique 0 is the material pass: the light that reached each pixel is read from the light buffer (LightRTT: diffuse light in rgb, specular intensity in alpha) and shaped by the surface. "depth" writes the light pre-pass buffers (NormalRTT: view-space normal and glossiness; DepthRTT: view-space depth), "shadow" the depth a shadow map keeps, "reflection" the surface lit forward by the light block, for cube-map faces. USE_OUTDEPTH adds the view-space depth as a second target of the material pass. The material pass keeps 1 - glow in alpha for the glow stage: the surface glows by Glow, scaled by GlowValue when that is not 0.
//float2 TargetSize : TargetSize : pixel
//TARV_PP:U:TECH_NDFLT://texture LightBuffer : LightRTT : preset clamp_to_edge filterPoint noMipMap
//config techniques : depth shadow reflection
//float4x4 WorldViewProj : WorldViewProjection : vertex
//float4x4 World : World : vertex
//float4x4 WorldView : WorldView : vertex
//float4x4 View : View : pixel
//float4 EyePosition : ViewPosition : pixel
//float4 Ambient : LightAmbient0 : pixel
//float3 BaseColor : Surface_BaseColor : pixel
//float Luminosity : Surface_Luminosity : pixel
//float Diffuse : Surface_Diffuse : pixel
//float Specularity : Surface_Specularity : pixel
//float Glossiness : Surface_Glossiness : pixel
//float Reflectivity : Surface_Reflectivity : pixel
//float Transparency : Surface_Transparency : pixel
//float Translucency : Surface_Translucency : pixel
//float Bump : Surface_Bump : pixel
//float VertexColoring : Surface_VertexColoring : pixel
//float Glow : Surface_Glow : pixel
//float GlowValue : Surface_GlowValue : pixel
//int Sidedness : Surface_Sidedness : pixel
//float3 CubeMapPosition : CubeMapPosition : pixel
//float3 CubeBoxPosition : CubeMapAABBPosition : pixel
//float3 CubeBoxScale : CubeMapAABBScale : pixel
//float4 LightsNum : LightsNum : pixel
//float4 LightsIni : LightsIni : pixel
//float4 LightParams : LightParams : pixel
//TARV_PP:D:TEX_COLOR://texture ColorMap : Color : srgb trilinear
//TARV_PP:D:TEX_LUMINOSITY://texture LuminosityMap : Luminosity : trilinear
//TARV_PP:D:TEX_DIFFUSE://texture DiffuseMap : Diffuse : trilinear
//TARV_PP:D:TEX_SPECULAR://texture SpecularMap : Specularity : trilinear
//TARV_PP:D:TEX_GLOSSINESS://texture GlossinessMap : Glossiness : trilinear
//TARV_PP:D:TEX_REFLECCUBE://texture ReflectionMap : ReflectionImage : cube clamp_to_edge
//TARV_PP:U:TEX_REFLECCUBE://TARV_PP:D:TEX_REFLECIMG://texture ReflectionMap : ReflectionImage : clamp_to_edge_v
//TARV_PP:D:TEX_REFLECTIVITY://texture ReflectivityMap : Reflectivity : trilinear
//TARV_PP:D:TEX_TRANSPARENCY://texture TransparencyMap : Transparency : trilinear
//TARV_PP:D:TEX_TRANSLUCENCY://texture TranslucencyMap : Translucency : trilinear
//TARV_PP:D:TEX_NORMAL://texture NormalMap : Bump : trilinear linear
[TARV_END]
*/
#if !defined(USE_TECH_DEPTH) && !defined(USE_TECH_SHADOW) && !defined(USE_TECH_REFLECT)
#define TA_SURFACE_LIGHT_BUFFER
sampler2D LightBuffer : register(s0);
#endif
#include "SurfaceCommon.hlsli"

float2 TargetSize;
float Glow;
float GlowValue;

VS_OUTPUT vs_main(VS_INPUT input)
{
    return surfaceVertex(input);
}

#if defined(USE_TECH_DEPTH)
void ps_main(VS_OUTPUT input, float face : VFACE, out float4 normalOut : COLOR0, out float4 depthOut : COLOR1)
{
    geometryBuffers(input, face, normalOut, depthOut);
}
#elif defined(USE_TECH_SHADOW)
float4 ps_main(VS_OUTPUT input, float face : VFACE) : COLOR0
{
    return shadowDepth(input, face);
}
#elif defined(USE_TECH_REFLECT)
float4 ps_main(VS_OUTPUT input, float face : VFACE) : COLOR0
{
    return float4(forwardColour(input, face).rgb, 1);
}
#else
float4 materialColour(VS_OUTPUT input, float face, float2 vpos)
{
    SSurface s = surfaceAt(input, face);
    // The light buffer at this pixel (rows counted as VPOS counts them).
    float4 light = tex2D(LightBuffer, (vpos + 0.5) / TargetSize);
    float3 colour = s.albedo * (Ambient.rgb + light.rgb) + s.specular * light.a + s.emissive;
    float3 toEye = normalize(EyePosition.xyz - input.world.xyz);
    // Alpha: 1 - how much the surface glows (1 where nothing glows, as the picture is cleared).
    float glow = saturate(Glow * (GlowValue != 0 ? GlowValue : 1.0));
    return float4(mixReflection(colour, s, input.world.xyz, toEye), 1.0 - glow);
}
#ifdef USE_OUTDEPTH
void ps_main(VS_OUTPUT input, float face : VFACE, float2 vpos : VPOS, out float4 colour : COLOR0,
             out float4 depth : COLOR1)
{
    colour = materialColour(input, face, vpos);
    depth = float4(input.world.w, 0, 0, 1);
}
#else
float4 ps_main(VS_OUTPUT input, float face : VFACE, float2 vpos : VPOS) : COLOR0
{
    return materialColour(input, face, vpos);
}
#endif
#endif
