// The vertex stage of the post-processing effects, drawn on the engine's full-screen quad (corners at
// -1..1, identity transforms): the position as it is, and the place in the picture as texture
// coordinates. Render targets keep OpenGL's row order, so the clip position maps straight to texture
// space (no half-pixel shift either: OpenGL samples texel centres at the pixel centres).

struct POST_OUTPUT {
    float4 pos : POSITION;
    float2 uv : TEXCOORD0;
};

POST_OUTPUT vs_main(float3 pos : POSITION)
{
    POST_OUTPUT output;
    output.pos = float4(pos.xy, 0, 1);
    output.uv = pos.xy * 0.5 + 0.5;
    return output;
}
