/*
[TARV_BEGIN]
//title Temporal antialiasing blend
//subject The current frame (layer 0) blended with the history of the frames before (layer 1)
//comments lerp(history, current, Blend). USE_REPROJ_CAMERA reads the history where the pixel's surface was on the previous frame's screen: its world position from DepthRTT and the camera's far-plane corners, taken through PrevViewProjection (a surface that moved on its own is not followed); the history is then held to the colour range of the current 3 x 3 neighbourhood so that what was uncovered does not ghost. USE_VLIMIT limits the reprojection offset to VLimit pixels. Drawn over a whole target of the current frame's size.
//float Blend : 1 : pixel
//float2 TargetSize : TargetSize : pixel
//TARV_PP:D:REPROJ_CAMERA://float4 CameraPosition : ViewPosition : pixel
//TARV_PP:D:REPROJ_CAMERA://float3 FarCornersWorld : FrustrumFarCornersWorld : pixel
//TARV_PP:D:REPROJ_CAMERA://float FarValue : ZFarValue : pixel
//TARV_PP:D:REPROJ_CAMERA://float4x4 PrevViewProj : PrevViewProjection : pixel
//TARV_PP:D:VLIMIT://float VLimit : 0 : pixel
//texture Current : : clamp_to_edge filterPoint noMipMap
//texture History : : clamp_to_edge noMipMap
//TARV_PP:D:REPROJ_CAMERA://texture DepthBuffer : DepthRTT : preset clamp_to_edge filterPoint noMipMap r32f
[TARV_END]
*/
// The blend gets two layers from the antialiasing stage (the current frame and the history); the
// reprojected variants take the depth of the current frame from DepthRTT by name, in layer 2. Where
// DepthRTT holds nothing (1e8), or is missing, the surface is taken on the far plane: the camera's
// turn is followed exactly there and its travel is negligible.
#include "PostQuad.hlsli"

sampler2D Current : register(s0);
sampler2D History : register(s1);
float Blend;
float2 TargetSize;

#ifdef USE_REPROJ_CAMERA
sampler2D DepthBuffer : register(s2);
float4 CameraPosition;
float3 FarCornersWorld[4]; // left up, right up, left down, right down
float FarValue;
float4x4 PrevViewProj;
#endif
#ifdef USE_VLIMIT
float VLimit;
#endif

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    float2 uv = input.uv;
    float4 current = tex2D(Current, uv);
#ifdef USE_REPROJ_CAMERA
    // The surface under the pixel in world space: the view ray to the far plane, cut at the depth.
    float depth = tex2D(DepthBuffer, uv).r;
    float farValue = max(FarValue, 1e-6);
    float along = depth > 0 ? min(depth, farValue) / farValue : 1.0;
    float3 farPoint = lerp(lerp(FarCornersWorld[2], FarCornersWorld[3], uv.x),
                           lerp(FarCornersWorld[0], FarCornersWorld[1], uv.x), uv.y);
    float3 world = CameraPosition.xyz + (farPoint - CameraPosition.xyz) * along;
    // Where it was on the previous frame's screen (render targets keep OpenGL's row order).
    float4 previous = mul(PrevViewProj, float4(world, 1));
    if (previous.w <= 1e-6)
        return current; // behind the previous camera: nothing to blend with
    float2 historyUv = previous.xy / previous.w * 0.5 + 0.5;
#ifdef USE_VLIMIT
    float2 offset = (historyUv - uv) * TargetSize;
    float offsetLength = length(offset);
    float limit = max(VLimit, 0);
    if (offsetLength > limit)
        historyUv = uv + offset * (limit / offsetLength) / TargetSize;
#endif
    if (any(historyUv < 0) || any(historyUv > 1))
        return current; // off the previous screen
    float4 history = tex2D(History, historyUv);
    // Held to what the current frame shows around the pixel.
    float4 low = current, high = current;
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x) {
            float4 around = tex2D(Current, uv + float2(x, y) / TargetSize);
            low = min(low, around);
            high = max(high, around);
        }
    history = clamp(history, low, high);
#else
    float4 history = tex2D(History, uv);
#endif
    return lerp(history, current, Blend);
}
