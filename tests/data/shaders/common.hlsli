// Shared by the corpus shaders.
float4x4 WorldViewProj;

float4 transformPosition(float3 p)
{
    return mul(float4(p, 1), WorldViewProj);
}
