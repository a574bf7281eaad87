// What the three SMAA passes share: the post-processing quad's vertex stage (texture coordinates
// straight from the clip position, render targets keeping OpenGL's row order, no half-pixel shift),
// the target's size in pixels and point reads at an exact place. The passes work in texel space:
// "left" is the texel before along u, "top" the texel before along v (the row before in memory), so
// the three agree whichever way up the picture is shown.

#include "PostQuad.hlsli"

float2 TargetSize;

// One pixel along u and along v, in texture coordinates.
float2 pixelSize() { return 1.0 / TargetSize; }

// A read without mip-map selection: the passes read at computed places, some inside loops.
float4 fetch(sampler2D image, float2 uv) { return tex2Dlod(image, float4(uv, 0, 0)); }
