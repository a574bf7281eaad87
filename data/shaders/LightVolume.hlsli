// The vertex stage of the light effects drawn on the screen quad or on a light's sphere or cone:
// the position placed by WorldViewProjection (identity for the screen quad), and the clip position
// handed on so that the pixel stage finds its place in the screen-sized buffers.
// The including file declares `float4x4 WorldViewProjection;` first.

struct VS_OUTPUT {
    float4 pos : POSITION;
    float4 clip : TEXCOORD0;
};

VS_OUTPUT vs_main(float3 pos : POSITION)
{
    VS_OUTPUT output;
    output.pos = mul(float4(pos, 1), WorldViewProjection);
    output.clip = output.pos;
    return output;
}
