/*
[TARV_BEGIN]
//title Light pre-pass light
//subject One light added into the light buffer from the normal and depth buffers
//comments Drawn additively (ONE/ONE) into LightRTT as a full-screen quad or as the light's sphere or cone: diffuse light in rgb, Blinn-Phong specular intensity in alpha. USE_DISTANT, USE_POINT (the default) or USE_SPOTLIGHT picks the light; USE_SHADOW with one of USE_SH0 ... USE_SH32 adds a shadow map filtered over a radius of 0 ... 32 texels. Light values are in view space.
//config baseMaterial : transparent_one_one
//float4x4 WorldViewProjection : 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1 : vertex
//float3 FarCorners : FrustrumFarCorners : pixel
//float3 LightColor : 1,1,1 : pixel color
//float3 LightDirection : 0,0,1 : pixel
//float3 LightPosition : 0,0,0 : pixel
//float InvLightRadiusSqr : 0.0001 : pixel
//float2 SpotlightAngles : 0.95,0.9 : pixel
//TARV_PP:D:SHADOW://float4x4 ShadowWorldViewProj : 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1 : pixel
//TARV_PP:D:SHADOW://float ShadowMaxD : 5000 : pixel
//TARV_PP:D:SHADOW://float3 ShadowColor : 0,0,0 : pixel color
//TARV_PP:D:SHADOW://float2 ShadowMapSize : 512,512 : pixel
//TARV_PP:D:SHADOW://float ShadowEpsilon : 0.002 : pixel
//texture NormalBuffer : NormalRTT : preset clamp_to_edge filterPoint noMipMap
//texture DepthBuffer : DepthRTT : preset clamp_to_edge filterPoint noMipMap r32f
//TARV_PP:D:SHADOW://texture ShadowMap : : clamp_to_edge filterPoint noMipMap r32f
[TARV_END]
*/
// The buffers it reads, as the "depth" technique of Lpp.hlsl writes them and LppDepthClear.hlsl
// clears them:
//   NormalRTT  view-space normal (unit length, components -1..1) in rgb, glossiness in alpha;
//              a zero normal where no surface was drawn (no light is added there)
//   DepthRTT   view-space depth (distance along the view axis), 1e8 where nothing was drawn
//   ShadowMap  the depth of the nearest caster along the shadow camera's view axis, in world units
//              (what LppShadowDepth.hlsl and the surfaces' "shadow" technique write), 1e8 where
//              nothing was drawn (LppDepthClear.hlsl's "shadow" technique)
//
// Shadows: ShadowWorldViewProj takes a view-space point to the shadow camera's clip space, whose
// w is the point's depth along that camera's axis (a perspective camera, as spot lights have).
// Depths are compared divided by ShadowMaxD (0 at the light, 1 at the shadow camera's far plane),
// so ShadowEpsilon is a fraction of that range; points beyond the far plane or outside the map are
// lit. In shadow the light keeps ShadowColor times its colour.
//
// The view-space position of a pixel comes from the camera's far-plane corners (FrustrumFarCorners):
// the point of the far plane under the pixel scaled to the pixel's depth. Unlike the Projection
// semantic, which is the driver's projection of the moment, the corners are the active camera's
// also while a full-screen quad is drawn with identity transforms.
//
// Matrices set by the renderer go up as Irrlicht stores them: mul(v, M) applies them.

#if defined(USE_SHADOW) && !defined(USE_SPOTLIGHT)
#error "the light pass shadows spot lights only (USE_SHADOW needs USE_SPOTLIGHT)"
#endif

float4x4 WorldViewProjection;
float3 FarCorners[4]; // view space: left up, right up, left down, right down
float3 LightColor;
float3 LightDirection;
float3 LightPosition;
float InvLightRadiusSqr;
float2 SpotlightAngles;

sampler2D NormalBuffer : register(s0);
sampler2D DepthBuffer : register(s1);

#ifdef USE_SHADOW
float4x4 ShadowWorldViewProj;
float ShadowMaxD;
float3 ShadowColor;
float2 ShadowMapSize;
float ShadowEpsilon;
sampler2D ShadowMap : register(s2);

// The filter radius in shadow-map texels, from the light's shadow fuzz.
#if defined(USE_SH32)
#define TA_SHADOW_RADIUS 32.0
#elif defined(USE_SH16)
#define TA_SHADOW_RADIUS 16.0
#elif defined(USE_SH8)
#define TA_SHADOW_RADIUS 8.0
#elif defined(USE_SH4)
#define TA_SHADOW_RADIUS 4.0
#elif defined(USE_SH2)
#define TA_SHADOW_RADIUS 2.0
#elif defined(USE_SH1)
#define TA_SHADOW_RADIUS 1.0
#else
#define TA_SHADOW_RADIUS 0.0
#endif
#endif

#include "LightVolume.hlsli"

// The specular exponent of a glossiness, as the surfaces compute it (SurfaceCommon.hlsli).
float specularPower(float glossiness)
{
    return exp2(10 * saturate(glossiness) + 2);
}

#ifdef USE_SHADOW
// 1 where the stored caster is not nearer to the light than `depth` (both divided by ShadowMaxD).
float shadowTest(float2 uv, float depth)
{
    float stored = tex2Dlod(ShadowMap, float4(uv, 0, 0)).r / ShadowMaxD;
    return depth - ShadowEpsilon <= stored ? 1.0 : 0.0;
}

// How much of the light reaches a view-space position with unit normal `normal`: 1 lit, 0 in
// shadow. The position is first moved off its surface by one and a half shadow-map texels (as wide
// as a texel is there), so that a surface does not shadow itself where the map's texels are coarse
// or the light grazes it.
float shadowFactor(float3 position, float3 normal, float2 vpos)
{
    float4 receiver = mul(float4(position, 1), ShadowWorldViewProj);
    // The shadow projection's x scale: the length of the view-to-clip x column.
    float xScale = length(float3(ShadowWorldViewProj[0][0], ShadowWorldViewProj[1][0], ShadowWorldViewProj[2][0]));
    float texelWorld = 2 * max(receiver.w, 0) / max(xScale * ShadowMapSize.x, 1e-6);
    position += normal * (1.5 * texelWorld);
    float4 lightClip = mul(float4(position, 1), ShadowWorldViewProj);
    if (lightClip.w <= 0)
        return 1; // behind the light: outside the cone anyway
    // The shadow map is a render target: OpenGL's row order, no flip.
    float2 uv = lightClip.xy / lightClip.w * 0.5 + 0.5;
    // Perspective shadow camera: the clip w is the depth along its view axis.
    float depth = lightClip.w / ShadowMaxD;
    if (any(uv < 0) || any(uv > 1) || depth > 1)
        return 1; // outside what the shadow camera saw
#if defined(USE_SH0) || !(defined(USE_SH1) || defined(USE_SH2) || defined(USE_SH4) || defined(USE_SH8) || \
                          defined(USE_SH16) || defined(USE_SH32))
    return shadowTest(uv, depth);
#elif defined(USE_SH1)
    // Four texels weighted by where the position falls between them.
    float2 texel = uv * ShadowMapSize - 0.5;
    float2 base = floor(texel), f = texel - base;
    float2 texelSize = 1.0 / ShadowMapSize;
    float2 at = (base + 0.5) * texelSize;
    float a = shadowTest(at, depth), b = shadowTest(at + float2(texelSize.x, 0), depth);
    float c = shadowTest(at + float2(0, texelSize.y), depth), d = shadowTest(at + texelSize, depth);
    return lerp(lerp(a, b, f.x), lerp(c, d, f.x), f.y);
#else
    // Sixteen taps of a disc of TA_SHADOW_RADIUS texels (its points lie within 1.25 of the centre),
    // turned per pixel so that the wide kernels leave fine noise rather than copies of the edge.
    static const float2 disc[16] = {
        float2(-0.9420, -0.3991), float2(0.9456, -0.7689), float2(-0.0942, -0.9294), float2(0.3450, 0.2939),
        float2(-0.9159, 0.4577), float2(-0.8154, -0.8791), float2(-0.3828, 0.2768), float2(0.9748, 0.7565),
        float2(0.4432, -0.9751), float2(0.5374, -0.4737), float2(-0.2650, -0.4189), float2(0.7920, 0.1909),
        float2(-0.2419, 0.9971), float2(-0.8141, 0.9144), float2(0.1998, 0.7864), float2(0.1438, -0.1410)};
    float angle = 6.2831853 * frac(52.982919 * frac(dot(vpos, float2(0.06711056, 0.00583715))));
    float s = sin(angle), c = cos(angle);
    float2 scale = TA_SHADOW_RADIUS / 1.25 / ShadowMapSize;
    float lit = 0;
    for (int i = 0; i < 16; ++i) {
        float2 o = disc[i];
        lit += shadowTest(uv + float2(o.x * c - o.y * s, o.x * s + o.y * c) * scale, depth);
    }
    return lit / 16;
#endif
}
#endif

float4 ps_main(VS_OUTPUT input, float2 vpos : VPOS) : COLOR0
{
    // Render targets keep OpenGL's row order: the clip position maps straight to texture space.
    float2 ndc = input.clip.xy / input.clip.w;
    float2 uv = ndc * 0.5 + 0.5;
    float4 normalGloss = tex2D(NormalBuffer, uv);
    if (dot(normalGloss.xyz, normalGloss.xyz) < 0.25)
        return float4(0, 0, 0, 0); // no surface here
    float3 normal = normalize(normalGloss.xyz);
    float depth = tex2D(DepthBuffer, uv).r;
    float3 farPoint = lerp(lerp(FarCorners[2], FarCorners[3], uv.x), lerp(FarCorners[0], FarCorners[1], uv.x), uv.y);
    float3 position = farPoint * (depth / farPoint.z);

    float3 toLight;
    float strength = 1;
#ifdef USE_DISTANT
    toLight = -normalize(LightDirection);
#else
    float3 d = LightPosition - position;
    float distanceSqr = dot(d, d);
    toLight = d * rsqrt(max(distanceSqr, 1e-12));
    float fade = saturate(1 - distanceSqr * InvLightRadiusSqr);
    strength = fade * fade;
#ifdef USE_SPOTLIGHT
    // Full inside the inner cone, none outside the outer one (either order of the two cosines).
    float along = dot(-toLight, normalize(LightDirection));
    float outer = min(SpotlightAngles.x, SpotlightAngles.y), inner = max(SpotlightAngles.x, SpotlightAngles.y);
    strength *= smoothstep(outer, max(inner, outer + 1e-4), along);
#endif
#endif
    float facing = saturate(dot(normal, toLight));
    if (strength * facing <= 0)
        return float4(0, 0, 0, 0);
    float3 colour = LightColor;
#ifdef USE_SHADOW
    colour = lerp(LightColor * ShadowColor, LightColor, shadowFactor(position, normal, vpos));
#endif
    float3 halfway = normalize(toLight + normalize(-position));
    float specular = pow(saturate(dot(normal, halfway)), specularPower(normalGloss.a));
    float luminance = dot(colour, float3(0.3, 0.59, 0.11));
    return float4(colour * facing * strength, luminance * specular * facing * strength);
}
