/*
[TARV_BEGIN]
//title Cube map to latitude/longitude
//comments Draws a cube map into a latitude/longitude (equirectangular) map over the whole target.
//float2 TargetSize : TargetSize : pixel
//texture 0 : : cube clamp_to_edge noMipMap
[TARV_END]
*/
// The map is kept as Direct3D would keep it, for lookups rather than as a picture: column u (0 to 1,
// left to right) is the longitude, u = 0.5 looking along +Z and u = 0.75 along +X; row v (0 to 1 from
// the first row in memory) is the latitude, v = 0 looking straight up (+Y) and v = 1 straight down.
// A shader finds direction d at u = atan2(d.x, d.z) / 2pi + 0.5, v = acos(d.y) / pi.
// The engine draws it on its full-screen quad with the cube map in layer 0.

samplerCUBE CubeMap : register(s0);
float2 TargetSize;

float4 vs_main(float4 pos : POSITION) : POSITION
{
    return pos;
}

float4 ps_main(float2 vpos : VPOS) : COLOR0
{
    // VPOS counts rows from the first one in memory.
    float2 uv = (vpos + 0.5) / TargetSize;
    float longitude = (uv.x - 0.5) * 6.2831853;
    float latitude = (0.5 - uv.y) * 3.1415927;
    float3 direction = float3(cos(latitude) * sin(longitude), sin(latitude), cos(latitude) * cos(longitude));
    return texCUBE(CubeMap, direction);
}
