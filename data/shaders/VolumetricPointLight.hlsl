/*
[TARV_BEGIN]
//title Volumetric point light
//subject The light a point light scatters towards the camera through the air around it
//comments Drawn additively (ONE/ONE) over the image as a full-screen quad or the light's sphere. The glow along each view ray is integrated in closed form up to the light's radius and the surface the depth buffer holds; LightPower is the density across the light's size, IntensityClamp the most it adds (before LightColor).
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
//texture DepthBuffer : DepthRTT : preset clamp_to_edge filterPoint noMipMap r32f
[TARV_END]
*/
// Values are in world space. The view ray of a pixel runs from the camera (ViewPosition) to the
// point of the camera's far plane under it (FrustrumFarCornersWorld, the plane at view depth
// ZFarValue), so a view-space depth d from DepthRTT lies at d / ZFarValue of that ray.
//
// The scattering density at distance r from the light is 1 / (1 + 16 r^2 / R^2) - 1 / 17, which is 0
// at the radius R; its integral along a ray is an arctangent, divided by R so that a light looks
// the same at any size.

float4x4 WorldViewProjection;
float4 CameraPosition;
float3 FarCornersWorld[4]; // left up, right up, left down, right down
float FarValue;
float3 LightPosition;
float3 LightColor;
float LightRadius;
float LightPower;
float IntensityClamp;

sampler2D DepthBuffer : register(s0);

#include "LightVolume.hlsli"

// The integral of the density over s (measured from the ray's closest point to the light) from 0,
// divided by the radius; q = 1 + 16 h^2 / R^2 for a ray passing at distance h.
float glowIntegral(float s, float q)
{
    float x = s * 4 / LightRadius;
    return atan(x * rsqrt(q)) * rsqrt(q) / 4 - x / (4 * 17);
}

float4 ps_main(VS_OUTPUT input) : COLOR0
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

    // Where the ray crosses the light's sphere, cut at the camera and at the surface.
    float3 toLight = LightPosition - camera;
    float closest = dot(toLight, direction);
    float hSqr = max(dot(toLight, toLight) - closest * closest, 0);
    float radiusSqr = LightRadius * LightRadius;
    if (hSqr >= radiusSqr)
        return float4(0, 0, 0, 0);
    float halfChord = sqrt(radiusSqr - hSqr);
    float t0 = max(closest - halfChord, 0), t1 = min(closest + halfChord, surface);
    if (t1 <= t0)
        return float4(0, 0, 0, 0);
    float q = 1 + 16 * hSqr / radiusSqr;
    float glow = glowIntegral(t1 - closest, q) - glowIntegral(t0 - closest, q);
    return float4(LightColor * min(LightPower * max(glow, 0), IntensityClamp), 0);
}
