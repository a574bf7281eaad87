// What Lpp.hlsl and Forward.hlsl share: a LightWave surface evaluated at a pixel from its channels
// and maps, the engine's light block, reflections, and the vertex stage. The surface macros
// (USE_TEX_COLOR ... USE_NODECUBEMAP) each change what is computed:
//
//   USE_TEX_<CHANNEL>     the channel's value is multiplied by its map (red channel; the colour map's
//                         colour), sampled at the first UV set or, with USE_UV2_TEX_<CHANNEL>, the second
//   USE_TEX_NORMAL        a tangent-space normal map, its x and y scaled by Bump; the tangent frame comes
//                         from the mesh, or with USE_COMPTANGENT from the screen-space derivatives
//   USE_TEX_REFLECIMG     a reflection mixed in by Reflectivity: a latitude/longitude map, or a cube map
//                         with USE_TEX_REFLECCUBE (USE_NODECUBEMAP: the node's own cube map, whose
//                         centre is CubeMapPosition; USE_CUBEMAPAABB: the reflection ray is cut by the
//                         node's box (centre, half sizes) first, so a room's walls reflect where they are)
//   USE_TRANSPARENT       alpha is 1 - Transparency; without it the surface is opaque
//   USE_TRANSLUCENCY      light from behind the surface passes through, scaled by Translucency
//   USE_UV2               the second UV set is read (TEXCOORD1); USE_UV2INTEX2: it rides in the
//                         binormal's x and y of a tangent mesh
//
// Values are in world space; the light block (LightsNum, LightsIni, LightParams) holds up to five
// lights, directional ones first, then point, then spot lights: colour (intensity included),
// position, direction (the way the light shines), 1 / radius^2 and (cos outer cone, cos inner cone).

#include "SurfaceSamplers.hlsli"

#if (defined(USE_TEX_NORMAL) && !defined(USE_COMPTANGENT)) || defined(USE_UV2INTEX2)
#define TA_TANGENT_INPUT
#endif

float4x4 WorldViewProj;
float4x4 World;
float4x4 View;
float4x4 WorldView;
float4 EyePosition;
float4 Ambient;

float3 BaseColor;
float Luminosity;
float Diffuse;
float Specularity;
float Glossiness;
float Reflectivity;
float Transparency;
float Translucency;
float Bump;
float VertexColoring;
int Sidedness;

float3 CubeMapPosition;
float3 CubeBoxPosition;
float3 CubeBoxScale;

struct SLightsNum {
    float LightDirsNum;
    float LightPointsNum;
    float LightSpotsNum;
};
struct SLightsIni {
    float LightDirsIni;
    float LightPointsIni;
    float LightSpotsIni;
};
struct SLight {
    float3 LightColor;
    float3 LightPosition;
    float3 LightDirection;
    float InvLightRadiusSqr;
    float2 SpotlightAngles;
};
SLightsNum LightsNum;
SLightsIni LightsIni;
SLight LightParams[5];

// --- Vertex stage -------------------------------------------------------------------------------------

struct VS_INPUT {
    float3 pos : POSITION;
    float3 normal : NORMAL;
    float2 uv : TEXCOORD0;
    float4 colour : COLOR0;
#ifdef TA_TANGENT_INPUT
    float3 tangent : TANGENT;
    float3 binormal : BINORMAL;
#elif defined(USE_UV2)
    float2 uv2 : TEXCOORD1;
#endif
};

struct VS_OUTPUT {
    float4 pos : POSITION;
    float4 uv : TEXCOORD0;      // xy the first UV set, zw the second
    float4 world : TEXCOORD1;   // world position, w the view-space depth
    float3 normal : TEXCOORD2;  // world space
    float3 tangent : TEXCOORD3;
    float3 binormal : TEXCOORD4;
    float4 colour : COLOR0;
};

VS_OUTPUT surfaceVertex(VS_INPUT input)
{
    VS_OUTPUT output;
    float4 position = float4(input.pos, 1);
    output.pos = mul(WorldViewProj, position);
    output.world = float4(mul(World, position).xyz, mul(WorldView, position).z);
    output.normal = mul((float3x3)World, input.normal);
    output.uv = float4(input.uv, input.uv);
    output.tangent = float3(0, 0, 0);
    output.binormal = float3(0, 0, 0);
#ifdef TA_TANGENT_INPUT
    output.tangent = mul((float3x3)World, input.tangent);
#ifdef USE_UV2INTEX2
    // The binormal carries the second UV set: the frame's third axis is made again.
    output.uv.zw = input.binormal.xy;
    output.binormal = cross(output.normal, output.tangent);
#else
    output.binormal = mul((float3x3)World, input.binormal);
#endif
#elif defined(USE_UV2)
    output.uv.zw = input.uv2;
#endif
    output.colour = input.colour;
    return output;
}

// --- The surface at a pixel -------------------------------------------------------------------------

struct SSurface {
    float3 albedo;      // BaseColor x Diffuse (x maps, x vertex colour)
    float3 emissive;    // BaseColor x Luminosity
    float specular;
    float glossiness;
    float reflectivity;
    float alpha;
    float translucency;
    float3 normal;      // world space, unit length, facing the viewer on two-sided surfaces
};

// The UV set of a map.
float2 mapUV(float4 uv, bool second)
{
    return second ? uv.zw : uv.xy;
}

#ifdef USE_UV2_TEX_COLOR
#define TA_UV2_COLOR true
#else
#define TA_UV2_COLOR false
#endif
#ifdef USE_UV2_TEX_LUMINOSITY
#define TA_UV2_LUMINOSITY true
#else
#define TA_UV2_LUMINOSITY false
#endif
#ifdef USE_UV2_TEX_DIFFUSE
#define TA_UV2_DIFFUSE true
#else
#define TA_UV2_DIFFUSE false
#endif
#ifdef USE_UV2_TEX_SPECULAR
#define TA_UV2_SPECULAR true
#else
#define TA_UV2_SPECULAR false
#endif
#ifdef USE_UV2_TEX_GLOSSINESS
#define TA_UV2_GLOSSINESS true
#else
#define TA_UV2_GLOSSINESS false
#endif
#ifdef USE_UV2_TEX_REFLECTIVITY
#define TA_UV2_REFLECTIVITY true
#else
#define TA_UV2_REFLECTIVITY false
#endif
#ifdef USE_UV2_TEX_TRANSPARENCY
#define TA_UV2_TRANSPARENCY true
#else
#define TA_UV2_TRANSPARENCY false
#endif
#ifdef USE_UV2_TEX_TRANSLUCENCY
#define TA_UV2_TRANSLUCENCY true
#else
#define TA_UV2_TRANSLUCENCY false
#endif
#ifdef USE_UV2_TEX_NORMAL
#define TA_UV2_NORMAL true
#else
#define TA_UV2_NORMAL false
#endif

float3 surfaceNormal(VS_OUTPUT input, float face)
{
    float3 normal = normalize(input.normal);
#ifdef USE_TEX_NORMAL
    float2 uv = mapUV(input.uv, TA_UV2_NORMAL);
    float3 t = tex2D(NormalMap, uv).xyz * 2 - 1;
    t.xy *= Bump;
#ifdef USE_COMPTANGENT
    // The tangent frame from how position and UV change across the pixel.
    float3 dp1 = ddx(input.world.xyz), dp2 = ddy(input.world.xyz);
    float2 duv1 = ddx(uv), duv2 = ddy(uv);
    float3 dp2perp = cross(dp2, normal), dp1perp = cross(normal, dp1);
    float3 tangent = dp2perp * duv1.x + dp1perp * duv2.x;
    float3 binormal = dp2perp * duv1.y + dp1perp * duv2.y;
    float scale = rsqrt(max(max(dot(tangent, tangent), dot(binormal, binormal)), 1e-20));
    tangent *= scale;
    binormal *= scale;
#else
    float3 tangent = normalize(input.tangent), binormal = normalize(input.binormal);
#endif
    normal = normalize(tangent * t.x + binormal * t.y + normal * t.z);
#endif
    // Two-sided surfaces light their back faces as fronts.
    if (Sidedness == 3 && face < 0)
        normal = -normal;
    return normal;
}

SSurface surfaceAt(VS_OUTPUT input, float face)
{
    SSurface s;
    float3 base = BaseColor;
#ifdef USE_TEX_COLOR
    base *= tex2D(ColorMap, mapUV(input.uv, TA_UV2_COLOR)).rgb;
#endif
    if (VertexColoring != 0)
        base *= input.colour.rgb;
    float diffuse = Diffuse;
#ifdef USE_TEX_DIFFUSE
    diffuse *= tex2D(DiffuseMap, mapUV(input.uv, TA_UV2_DIFFUSE)).r;
#endif
    float luminosity = Luminosity;
#ifdef USE_TEX_LUMINOSITY
    luminosity *= tex2D(LuminosityMap, mapUV(input.uv, TA_UV2_LUMINOSITY)).r;
#endif
    s.albedo = base * diffuse;
    s.emissive = base * luminosity;
    s.specular = Specularity;
#ifdef USE_TEX_SPECULAR
    s.specular *= tex2D(SpecularMap, mapUV(input.uv, TA_UV2_SPECULAR)).r;
#endif
    s.glossiness = Glossiness;
#ifdef USE_TEX_GLOSSINESS
    s.glossiness *= tex2D(GlossinessMap, mapUV(input.uv, TA_UV2_GLOSSINESS)).r;
#endif
    s.reflectivity = Reflectivity;
#ifdef USE_TEX_REFLECTIVITY
    s.reflectivity *= tex2D(ReflectivityMap, mapUV(input.uv, TA_UV2_REFLECTIVITY)).r;
#endif
    s.alpha = 1;
#ifdef USE_TRANSPARENT
    float transparency = Transparency;
#ifdef USE_TEX_TRANSPARENCY
    transparency = tex2D(TransparencyMap, mapUV(input.uv, TA_UV2_TRANSPARENCY)).r;
#endif
    s.alpha = saturate(1 - transparency);
#endif
    s.translucency = 0;
#ifdef USE_TRANSLUCENCY
    s.translucency = Translucency;
#ifdef USE_TEX_TRANSLUCENCY
    s.translucency *= tex2D(TranslucencyMap, mapUV(input.uv, TA_UV2_TRANSLUCENCY)).r;
#endif
#endif
    s.normal = surfaceNormal(input, face);
    return s;
}

// The specular exponent of a glossiness (as the LW_Roughness semantic gives it).
float specularPower(float glossiness)
{
    return exp2(10 * saturate(glossiness) + 2);
}

// --- Lights -----------------------------------------------------------------------------------------------

// Diffuse (rgb) and specular (a) light reaching a surface point from the light block's lights.
float4 gatherLights(float3 position, float3 normal, float3 toEye, float glossiness, float translucency,
                    out float3 backLight)
{
    float4 light = float4(0, 0, 0, 0);
    backLight = float3(0, 0, 0);
    float power = specularPower(glossiness);
    float count = LightsNum.LightDirsNum + LightsNum.LightPointsNum + LightsNum.LightSpotsNum;
    for (int i = 0; i < 5; ++i) {
        float index = i;
        if (index >= count)
            break;
        SLight l = LightParams[i];
        bool directional = index >= LightsIni.LightDirsIni && index < LightsIni.LightDirsIni + LightsNum.LightDirsNum;
        bool spot = index >= LightsIni.LightSpotsIni && index < LightsIni.LightSpotsIni + LightsNum.LightSpotsNum;
        float3 toLight;
        float strength = 1;
        if (directional) {
            toLight = -normalize(l.LightDirection);
        } else {
            float3 d = l.LightPosition - position;
            float distanceSqr = dot(d, d);
            toLight = d * rsqrt(max(distanceSqr, 1e-12));
            float fade = saturate(1 - distanceSqr * l.InvLightRadiusSqr);
            strength = fade * fade;
            if (spot) {
                float along = dot(-toLight, normalize(l.LightDirection));
                strength *= smoothstep(l.SpotlightAngles.x, max(l.SpotlightAngles.y, l.SpotlightAngles.x + 1e-4), along);
            }
        }
        float facing = dot(normal, toLight);
        float3 halfway = normalize(toLight + toEye);
        light.rgb += l.LightColor * saturate(facing) * strength;
        light.a += dot(l.LightColor, float3(0.3, 0.59, 0.11)) * pow(saturate(dot(normal, halfway)), power) *
                   saturate(facing) * strength;
        backLight += l.LightColor * saturate(-facing) * strength * translucency;
    }
    return light;
}

// --- Reflections -----------------------------------------------------------------------------------------

#ifdef USE_TEX_REFLECIMG
float3 reflection(float3 position, float3 normal, float3 toEye)
{
    float3 ray = reflect(-toEye, normal);
#ifdef USE_CUBEMAPAABB
    // Where the ray leaves the box, seen from the cube map's centre.
    float3 far1 = (CubeBoxPosition + CubeBoxScale - position) / ray;
    float3 far2 = (CubeBoxPosition - CubeBoxScale - position) / ray;
    float3 leave = max(far1, far2);
    ray = position + ray * min(min(leave.x, leave.y), leave.z) - CubeMapPosition;
#endif
#ifdef USE_TEX_REFLECCUBE
    return texCUBE(ReflectionMap, ray).rgb;
#else
    // The latitude/longitude map: u along the longitude (0.5 looking along +Z), v = 0 looking up.
    float3 d = normalize(ray);
    float2 uv = float2(atan2(d.x, d.z) / 6.2831853 + 0.5, acos(clamp(d.y, -1, 1)) / 3.1415927);
    return tex2D(ReflectionMap, uv).rgb;
#endif
}
#endif

// Everything but the light: what a surface shows of its own and of its reflection.
float3 mixReflection(float3 colour, SSurface s, float3 position, float3 toEye)
{
#ifdef USE_TEX_REFLECIMG
    colour = lerp(colour, reflection(position, s.normal, toEye), saturate(s.reflectivity));
#endif
    return colour;
}

// The forward colour of a surface lit by the light block.
float4 forwardColour(VS_OUTPUT input, float face)
{
    SSurface s = surfaceAt(input, face);
    float3 position = input.world.xyz;
    float3 toEye = normalize(EyePosition.xyz - position);
    float3 backLight;
    float4 light = gatherLights(position, s.normal, toEye, s.glossiness, s.translucency, backLight);
    float3 colour = s.albedo * (Ambient.rgb + light.rgb) + s.specular * light.a + s.albedo * backLight + s.emissive;
    return float4(mixReflection(colour, s, position, toEye), s.alpha);
}

// The depth a shadow map keeps: the distance along the light's view.
float4 shadowDepth(VS_OUTPUT input, float face)
{
#if defined(USE_TRANSPARENT) && defined(USE_TEX_TRANSPARENCY)
    clip(surfaceAt(input, face).alpha - 0.5);
#endif
    return float4(input.world.w, 0, 0, 1);
}

// The light pre-pass buffers of a surface: the view-space normal with the glossiness, and the
// view-space depth.
void geometryBuffers(VS_OUTPUT input, float face, out float4 normalOut, out float4 depthOut)
{
    SSurface s = surfaceAt(input, face);
#if defined(USE_TRANSPARENT) && defined(USE_TEX_TRANSPARENCY)
    clip(s.alpha - 0.5);
#endif
    normalOut = float4(normalize(mul((float3x3)View, s.normal)), saturate(s.glossiness));
    depthOut = float4(input.world.w, 0, 0, 1);
}
