/*
[TARV_BEGIN]
//title SMAA edge detection
//subject The luma edges of layer 0: red at a pixel's left side, green at its top side
//comments First SMAA pass. An edge is where the luma (Rec. 709 weights) differs from the left or top neighbour's by 0.1 or more, and by at least half the largest luma step around it (local contrast adaptation: the steps to the right and bottom neighbours and the next steps beyond the left and top neighbours), so that a weak edge beside a strong one is dropped. Pixels without an edge are discarded, so that a stencil test marks the edge pixels for the weight pass. Drawn over a target of the source's size, cleared to 0 first.
//float2 TargetSize : TargetSize : pixel
//texture Source : : clamp_to_edge filterPoint noMipMap
[TARV_END]
*/
#include "SmaaCommon.hlsli"

sampler2D Source : register(s0);

#define SMAA_THRESHOLD 0.1
#define SMAA_CONTRAST_ADAPTATION 2.0

float luma(float2 uv)
{
    return dot(fetch(Source, uv).rgb, float3(0.2126, 0.7152, 0.0722));
}

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    float2 px = pixelSize();
    float2 uv = input.uv;
    float centre = luma(uv);
    float2 sides = float2(luma(uv - float2(px.x, 0)), luma(uv - float2(0, px.y))); // left, top
    float2 delta = abs(centre - sides);
    float2 edges = step(SMAA_THRESHOLD, delta);
    if (edges.x + edges.y == 0)
        discard;
    // Local contrast adaptation: the largest step around the pixel's left and top sides.
    float2 after = abs(centre - float2(luma(uv + float2(px.x, 0)), luma(uv + float2(0, px.y))));
    float2 beyond = abs(sides - float2(luma(uv - float2(2 * px.x, 0)), luma(uv - float2(0, 2 * px.y))));
    float largest = max(max(max(delta.x, delta.y), max(after.x, after.y)), max(beyond.x, beyond.y));
    edges *= step(largest, SMAA_CONTRAST_ADAPTATION * delta);
    if (edges.x + edges.y == 0)
        discard;
    return float4(edges, 0, 0);
}
