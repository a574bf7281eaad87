/*
[TARV_BEGIN]
//title SMAA blending weights
//subject For each edge pixel of layer 0, how much of it and of the pixel across each of its edges the re-drawn boundary covers
//comments Second SMAA pass, drawn where the edge pass marked the stencil. Along the line of top edges (and of left edges) through the pixel it searches towards both ends, two pixels a bilinear fetch, up to 16 pixels each way, the search image (layer 2, point-sampled) telling how far the last fetch reached; it reads the crossing edges at the two ends and looks up the covered parts in the area image (layer 1). Output: red the pixel's part taken by its top neighbour, green the top neighbour's part taken by the pixel, blue and alpha the same for the left neighbour. The layouts of both images are those of tools/smaa/SmaaLookup.h.
//float2 TargetSize : TargetSize : pixel
//texture Edges : : clamp_to_edge noMipMap
//texture Area : : clamp_to_edge noMipMap
//texture Search : : clamp_to_edge filterPoint noMipMap
[TARV_END]
*/
#include "SmaaCommon.hlsli"

sampler2D Edges : register(s0);
sampler2D Area : register(s1);
sampler2D Search : register(s2);

// Kept equal to tools/smaa/SmaaLookup.h.
#define SMAA_MAX_SEARCH_STEPS 8
#define SMAA_AREA_BLOCK 17.0
#define SMAA_AREA_SIZE 68.0
#define SMAA_SEARCH_HALF 32.0

// The channels of an edge texel as (crossing, line): for a line of top edges (green) the crossing
// edges are left edges (red), and the other way round.
float2 crossingAndLine(float4 edges, bool vertical) { return vertical ? edges.gr : edges.rg; }

// The pixels of the line after the one at `uv` in `direction` (one pixel along the line), 0 to 16;
// `found` is 0 when the search stopped at its limit with the line going on. Each fetch sits a quarter
// texel from the near pixel's centre towards the far one, mixing the two 3:1; the search image
// (left half towards the line's start, right half towards its end) turns the last one into the
// pixels it adds.
float searchLine(float2 uv, float2 direction, bool vertical, float towardsEnd, out float found)
{
    float2 e = float2(0, 1);
    float last = 0;
    found = 0;
    for (int k = 0; k < SMAA_MAX_SEARCH_STEPS; ++k) {
        e = crossingAndLine(fetch(Edges, uv + direction * (1.25 + 2.0 * k)), vertical);
        last = k;
        if (!(e.y > 0.875 && e.x < 0.125)) {
            found = 1;
            break;
        }
    }
    float2 at = float2((e.x * (SMAA_SEARCH_HALF - 1) + 0.5 + towardsEnd * SMAA_SEARCH_HALF) / (2 * SMAA_SEARCH_HALF),
                       (e.y * (SMAA_SEARCH_HALF - 1) + 0.5) / SMAA_SEARCH_HALF);
    return 2 * last + round(fetch(Search, at).r * 2);
}

// The crossing edges at a line end: 1 on the owner's side (`owner`: the pixel on the line's row or
// column just past the end), 2 on the other side, 3 both.
float crossingPattern(float2 owner, float2 other, bool vertical)
{
    return step(0.5, crossingAndLine(fetch(Edges, owner), vertical).x) +
           2 * step(0.5, crossingAndLine(fetch(Edges, other), vertical).x);
}

// The covered parts (owner, other) for the line through the pixel at `uv`: `along` one pixel towards
// the line's end, `across` one pixel to the other side.
float2 lineWeights(float2 uv, float2 along, float2 across, bool vertical, bool crossedAtStart)
{
    float foundStart = 1, foundEnd = 1;
    float dStart = 0;
    if (!crossedAtStart)
        dStart = searchLine(uv, -along, vertical, 0, foundStart);
    float dEnd = searchLine(uv, along, vertical, 1, foundEnd);
    float2 start = uv - along * dStart;
    float2 end = uv + along * (dEnd + 1);
    float startPattern = foundStart * crossingPattern(start, start + across, vertical);
    float endPattern = foundEnd * crossingPattern(end, end + across, vertical);
    float2 at = (float2(startPattern, endPattern) * SMAA_AREA_BLOCK + float2(dStart, dEnd) + 0.5) / SMAA_AREA_SIZE;
    return fetch(Area, at).rg;
}

float4 ps_main(POST_OUTPUT input) : COLOR0
{
    float2 px = pixelSize();
    float2 uv = input.uv;
    float4 edges = fetch(Edges, uv);
    float4 weights = 0;
    if (edges.g > 0.5) // a line of top edges, along u; the other side is the row before
        weights.rg = lineWeights(uv, float2(px.x, 0), float2(0, -px.y), false, edges.r > 0.5);
    if (edges.r > 0.5) // a line of left edges, along v; the other side is the column before
        weights.ba = lineWeights(uv, float2(0, px.y), float2(-px.x, 0), true, edges.g > 0.5);
    return weights;
}
