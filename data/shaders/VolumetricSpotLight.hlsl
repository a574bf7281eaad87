/*
[TARV_BEGIN]
//title Volumetric spot light
//subject The light a spot light scatters towards the camera through the air inside its cone
//comments Drawn additively (ONE/ONE) over the image as a full-screen quad or the light's cone. Each view ray is cut to the cone and to the surface the depth buffer holds, then marched: 16 steps, or with QUALITY_1 ... QUALITY_4 8, 16, 32 or 64. USE_SHADOW darkens the air the shadow map says is hidden from the light (layer 1); USE_PROJIMAGE colours it with an image projected from the light (layer 2 with a shadow map, else layer 1).
//config baseMaterial : transparent_one_one
//float4x4 WorldViewProjection : 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1 : vertex
//float4 CameraPosition : ViewPosition : pixel
//float3 FarCornersWorld : FrustrumFarCornersWorld : pixel
//float FarValue : ZFarValue : pixel
//float3 LightPosition : 0,0,0 : pixel
//float3 LightColor : 1,1,1 : pixel color
//float LightRadius : 100 : pixel
//float LightPower : 1 : pixel
//float IntensityClamp : 1 : pixel
//float LightTanThetaSqr : 0.25 : pixel
//float LightConeBase : 100 : pixel
//float SoftEdgeRatio : 0.2 : pixel
//float4x4 invConeTransform : 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1 : pixel
//TARV_PP:D:SHADOW://float4x4 LightWorldViewProj : 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1 : pixel
//TARV_PP:U:SHADOW://TARV_PP:D:PROJIMAGE://float4x4 LightWorldViewProj : 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1 : pixel
//texture DepthBuffer : DepthRTT : preset clamp_to_edge filterPoint noMipMap r32f
//TARV_PP:D:SHADOW://texture ShadowMap : : clamp_to_edge filterPoint noMipMap r32f
//TARV_PP:D:PROJIMAGE://texture ProjectionImage : : clamp_to_edge srgb
[TARV_END]
*/
// Values are in world space unless said otherwise. The view ray of a pixel runs from the camera
// (ViewPosition) to the point of the camera's far plane under it (FrustrumFarCornersWorld, the plane
// at view depth ZFarValue), so a view-space depth d from DepthRTT lies at d / ZFarValue of that ray.
//
// Cone space: the light at the origin, the cone opening along +Z, x^2 + y^2 <= z^2 LightTanThetaSqr,
// cut at z = LightConeBase (at the light's radius when the base is 0 or less, as it is unless a scene
// sets it). invConeTransform is the transposed inverse of the light's world matrix,
// so mul(invConeTransform, p) takes a world point p (w = 1) or direction (w = 0) into cone space.
// Matrices go up as Irrlicht stores them; LightWorldViewProj (world to the light's clip space) is
// applied as mul(p, LightWorldViewProj).
//
// The scattering density at distance r from the light is 1 / (1 + 16 r^2 / R^2) - 1 / 17 (0 at the
// radius R, as for the point light), faded over the outer SoftEdgeRatio of the cone's width; the sum
// along the ray is divided by R so that a light looks the same at any size. The shadow map holds the
// depth along the light's view axis (LppShadowDepth.hlsl), the clip w of the light's perspective.

#ifdef USE_SHADOW
#define TA_PROJIMAGE_REGISTER s2
#else
#define TA_PROJIMAGE_REGISTER s1
#endif

#if defined(QUALITY_4)
#define TA_STEPS 64
#elif defined(QUALITY_3)
#define TA_STEPS 32
#elif defined(QUALITY_2)
#define TA_STEPS 16
#elif defined(QUALITY_1)
#define TA_STEPS 8
#else
#define TA_STEPS 16
#endif

float4x4 WorldViewProjection;
float4 CameraPosition;
float3 FarCornersWorld[4]; // left up, right up, left down, right down
float FarValue;
float3 LightPosition;
float3 LightColor;
float LightRadius;
float LightPower;
float IntensityClamp;
float LightTanThetaSqr;
float LightConeBase;

// Where the cone ends along its axis.
float coneLength()
{
    return LightConeBase > 0 ? LightConeBase : LightRadius;
}
float SoftEdgeRatio;
float4x4 invConeTransform;
#if defined(USE_SHADOW) || defined(USE_PROJIMAGE)
float4x4 LightWorldViewProj;
#endif

sampler2D DepthBuffer : register(s0);
#ifdef USE_SHADOW
sampler2D ShadowMap : register(s1);
#endif
#ifdef USE_PROJIMAGE
sampler2D ProjectionImage : register(TA_PROJIMAGE_REGISTER);
#endif

#include "LightVolume.hlsli"

// The stretch [t0, t1] of the ray o + t d (cone space) inside the cone; false when it misses.
bool coneInterval(float3 o, float3 d, out float t0, out float t1)
{
    t0 = -1e30;
    t1 = 1e30;
    // Between the apex plane and the base.
    if (abs(d.z) > 1e-8) {
        float a = -o.z / d.z, b = (coneLength() - o.z) / d.z;
        t0 = min(a, b);
        t1 = max(a, b);
    } else if (o.z < 0 || o.z > coneLength()) {
        return false;
    }
    // Inside the double cone where A t^2 + B t + C <= 0; the slab above keeps the forward half.
    float k = LightTanThetaSqr;
    float A = dot(d.xy, d.xy) - k * d.z * d.z;
    float B = 2 * (dot(o.xy, d.xy) - k * o.z * d.z);
    float C = dot(o.xy, o.xy) - k * o.z * o.z;
    float disc = B * B - 4 * A * C;
    if (abs(A) < 1e-10) {
        // Parallel to a side line: one crossing.
        if (abs(B) < 1e-10) {
            if (C > 0)
                return false;
        } else if (B > 0) {
            t1 = min(t1, -C / B);
        } else {
            t0 = max(t0, -C / B);
        }
    } else if (disc >= 0) {
        float root = sqrt(disc);
        float r0 = (-B - root) / (2 * A), r1 = (-B + root) / (2 * A);
        float lo = min(r0, r1), hi = max(r0, r1);
        if (A > 0) {
            // Steeper than the cone: inside between the crossings.
            t0 = max(t0, lo);
            t1 = min(t1, hi);
        } else if (d.z > 0) {
            // Flatter than the cone's sides: inside beyond them, on the side z grows towards.
            t0 = max(t0, hi);
        } else {
            t1 = min(t1, lo);
        }
    } else if (A > 0) {
        return false;
    }
    return t1 > t0;
}

// The density of the air's glow at a point (world and cone space), before shadow and image.
float density(float3 world, float3 cone)
{
    float3 fromLight = world - LightPosition;
    float falloff = max(1 / (1 + 16 * dot(fromLight, fromLight) / (LightRadius * LightRadius)) - 1.0 / 17, 0);
    float width = sqrt(dot(cone.xy, cone.xy) / max(cone.z * cone.z * LightTanThetaSqr, 1e-12));
    return falloff * saturate((1 - width) / max(SoftEdgeRatio, 1e-3));
}

float4 ps_main(VS_OUTPUT input, float2 vpos : VPOS) : COLOR0
{
    // Render targets keep OpenGL's row order: the clip position maps straight to texture space.
    float2 uv = input.clip.xy / input.clip.w * 0.5 + 0.5;
    float3 farPoint = lerp(lerp(FarCornersWorld[2], FarCornersWorld[3], uv.x),
                           lerp(FarCornersWorld[0], FarCornersWorld[1], uv.x), uv.y);
    float3 camera = CameraPosition.xyz;
    float3 ray = farPoint - camera;
    float rayLength = length(ray);
    float3 direction = ray / rayLength;
    float surface = tex2D(DepthBuffer, uv).r / FarValue * rayLength;

    float3 coneOrigin = mul(invConeTransform, float4(camera, 1)).xyz;
    float3 coneDirection = mul(invConeTransform, float4(direction, 0)).xyz;
    float t0, t1;
    if (!coneInterval(coneOrigin, coneDirection, t0, t1))
        return float4(0, 0, 0, 0);
    t0 = max(t0, 0);
    t1 = min(t1, surface);
    if (t1 <= t0)
        return float4(0, 0, 0, 0);

    // Samples start a per-pixel fraction of a step in, which turns banding into fine noise.
    float stepLength = (t1 - t0) / TA_STEPS;
    float jitter = frac(52.982919 * frac(dot(vpos, float2(0.06711056, 0.00583715))));
    float3 glow = float3(0, 0, 0);
    for (int i = 0; i < TA_STEPS; ++i) {
        float t = t0 + (i + jitter) * stepLength;
        float3 world = camera + direction * t;
        float3 sampleColour = float3(1, 1, 1) * density(world, coneOrigin + coneDirection * t);
#if defined(USE_SHADOW) || defined(USE_PROJIMAGE)
        float4 lightClip = mul(float4(world, 1), LightWorldViewProj);
        float2 lightNdc = lightClip.xy / max(lightClip.w, 1e-6);
#endif
#ifdef USE_SHADOW
        // A render target (OpenGL's row order); a point a little beyond the stored depth is hidden.
        float stored = tex2Dlod(ShadowMap, float4(lightNdc * 0.5 + 0.5, 0, 0)).r;
        sampleColour *= lightClip.w * 0.99 <= stored ? 1.0 : 0.0;
#endif
#ifdef USE_PROJIMAGE
        // An image file: its top row first, so v runs down from the light's up direction.
        sampleColour *= tex2Dlod(ProjectionImage, float4(0.5 + 0.5 * lightNdc.x, 0.5 - 0.5 * lightNdc.y, 0, 0)).rgb;
#endif
        glow += sampleColour;
    }
    // The brightest channel of the glow is held to IntensityClamp (keeping the image's hue), then
    // the light's colour applies.
    glow *= LightPower * stepLength / LightRadius;
    float brightest = max(max(glow.r, glow.g), glow.b);
    glow *= min(1, IntensityClamp / max(brightest, 1e-6));
    return float4(LightColor * glow, 0);
}
