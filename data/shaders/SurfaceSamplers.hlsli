// The samplers of a surface's maps. Each map a surface has takes the next free sampler register, in
// the order below, after the light buffer when the including file reads one (TA_SURFACE_LIGHT_BUFFER),
// so any eight maps (seven with the light buffer) fit the eight texture layers of a material; more
// stop the compile with an error naming the limit. The maps' textures reach the layers through their
// names: each file's block binds ColorMap ... NormalMap to the LightWave channels.

#ifdef TA_SURFACE_LIGHT_BUFFER
#define TA_SURFACE_S0 1
#else
#define TA_SURFACE_S0 0
#endif
#ifdef USE_TEX_COLOR
#define TA_SURFACE_F0 1
#else
#define TA_SURFACE_F0 0
#endif
#define TA_SURFACE_S1 (TA_SURFACE_S0 + TA_SURFACE_F0)
#ifdef USE_TEX_LUMINOSITY
#define TA_SURFACE_F1 1
#else
#define TA_SURFACE_F1 0
#endif
#define TA_SURFACE_S2 (TA_SURFACE_S1 + TA_SURFACE_F1)
#ifdef USE_TEX_DIFFUSE
#define TA_SURFACE_F2 1
#else
#define TA_SURFACE_F2 0
#endif
#define TA_SURFACE_S3 (TA_SURFACE_S2 + TA_SURFACE_F2)
#ifdef USE_TEX_SPECULAR
#define TA_SURFACE_F3 1
#else
#define TA_SURFACE_F3 0
#endif
#define TA_SURFACE_S4 (TA_SURFACE_S3 + TA_SURFACE_F3)
#ifdef USE_TEX_GLOSSINESS
#define TA_SURFACE_F4 1
#else
#define TA_SURFACE_F4 0
#endif
#define TA_SURFACE_S5 (TA_SURFACE_S4 + TA_SURFACE_F4)
#ifdef USE_TEX_REFLECIMG
#define TA_SURFACE_F5 1
#else
#define TA_SURFACE_F5 0
#endif
#define TA_SURFACE_S6 (TA_SURFACE_S5 + TA_SURFACE_F5)
#ifdef USE_TEX_REFLECTIVITY
#define TA_SURFACE_F6 1
#else
#define TA_SURFACE_F6 0
#endif
#define TA_SURFACE_S7 (TA_SURFACE_S6 + TA_SURFACE_F6)
#ifdef USE_TEX_TRANSPARENCY
#define TA_SURFACE_F7 1
#else
#define TA_SURFACE_F7 0
#endif
#define TA_SURFACE_S8 (TA_SURFACE_S7 + TA_SURFACE_F7)
#ifdef USE_TEX_TRANSLUCENCY
#define TA_SURFACE_F8 1
#else
#define TA_SURFACE_F8 0
#endif
#define TA_SURFACE_S9 (TA_SURFACE_S8 + TA_SURFACE_F8)
#ifdef USE_TEX_NORMAL
#define TA_SURFACE_F9 1
#else
#define TA_SURFACE_F9 0
#endif
#define TA_SURFACE_S10 (TA_SURFACE_S9 + TA_SURFACE_F9)

#ifdef USE_TEX_COLOR
#if TA_SURFACE_S0 == 0
sampler2D ColorMap : register(s0);
#elif TA_SURFACE_S0 == 1
sampler2D ColorMap : register(s1);
#elif TA_SURFACE_S0 == 2
sampler2D ColorMap : register(s2);
#elif TA_SURFACE_S0 == 3
sampler2D ColorMap : register(s3);
#elif TA_SURFACE_S0 == 4
sampler2D ColorMap : register(s4);
#elif TA_SURFACE_S0 == 5
sampler2D ColorMap : register(s5);
#elif TA_SURFACE_S0 == 6
sampler2D ColorMap : register(s6);
#elif TA_SURFACE_S0 == 7
sampler2D ColorMap : register(s7);
#else
#error "a surface draws with at most eight maps (seven with the light buffer)"
#endif
#endif
#ifdef USE_TEX_LUMINOSITY
#if TA_SURFACE_S1 == 0
sampler2D LuminosityMap : register(s0);
#elif TA_SURFACE_S1 == 1
sampler2D LuminosityMap : register(s1);
#elif TA_SURFACE_S1 == 2
sampler2D LuminosityMap : register(s2);
#elif TA_SURFACE_S1 == 3
sampler2D LuminosityMap : register(s3);
#elif TA_SURFACE_S1 == 4
sampler2D LuminosityMap : register(s4);
#elif TA_SURFACE_S1 == 5
sampler2D LuminosityMap : register(s5);
#elif TA_SURFACE_S1 == 6
sampler2D LuminosityMap : register(s6);
#elif TA_SURFACE_S1 == 7
sampler2D LuminosityMap : register(s7);
#else
#error "a surface draws with at most eight maps (seven with the light buffer)"
#endif
#endif
#ifdef USE_TEX_DIFFUSE
#if TA_SURFACE_S2 == 0
sampler2D DiffuseMap : register(s0);
#elif TA_SURFACE_S2 == 1
sampler2D DiffuseMap : register(s1);
#elif TA_SURFACE_S2 == 2
sampler2D DiffuseMap : register(s2);
#elif TA_SURFACE_S2 == 3
sampler2D DiffuseMap : register(s3);
#elif TA_SURFACE_S2 == 4
sampler2D DiffuseMap : register(s4);
#elif TA_SURFACE_S2 == 5
sampler2D DiffuseMap : register(s5);
#elif TA_SURFACE_S2 == 6
sampler2D DiffuseMap : register(s6);
#elif TA_SURFACE_S2 == 7
sampler2D DiffuseMap : register(s7);
#else
#error "a surface draws with at most eight maps (seven with the light buffer)"
#endif
#endif
#ifdef USE_TEX_SPECULAR
#if TA_SURFACE_S3 == 0
sampler2D SpecularMap : register(s0);
#elif TA_SURFACE_S3 == 1
sampler2D SpecularMap : register(s1);
#elif TA_SURFACE_S3 == 2
sampler2D SpecularMap : register(s2);
#elif TA_SURFACE_S3 == 3
sampler2D SpecularMap : register(s3);
#elif TA_SURFACE_S3 == 4
sampler2D SpecularMap : register(s4);
#elif TA_SURFACE_S3 == 5
sampler2D SpecularMap : register(s5);
#elif TA_SURFACE_S3 == 6
sampler2D SpecularMap : register(s6);
#elif TA_SURFACE_S3 == 7
sampler2D SpecularMap : register(s7);
#else
#error "a surface draws with at most eight maps (seven with the light buffer)"
#endif
#endif
#ifdef USE_TEX_GLOSSINESS
#if TA_SURFACE_S4 == 0
sampler2D GlossinessMap : register(s0);
#elif TA_SURFACE_S4 == 1
sampler2D GlossinessMap : register(s1);
#elif TA_SURFACE_S4 == 2
sampler2D GlossinessMap : register(s2);
#elif TA_SURFACE_S4 == 3
sampler2D GlossinessMap : register(s3);
#elif TA_SURFACE_S4 == 4
sampler2D GlossinessMap : register(s4);
#elif TA_SURFACE_S4 == 5
sampler2D GlossinessMap : register(s5);
#elif TA_SURFACE_S4 == 6
sampler2D GlossinessMap : register(s6);
#elif TA_SURFACE_S4 == 7
sampler2D GlossinessMap : register(s7);
#else
#error "a surface draws with at most eight maps (seven with the light buffer)"
#endif
#endif
#ifdef USE_TEX_REFLECIMG
#ifdef USE_TEX_REFLECCUBE
#define TA_REFLECTION_SAMPLER samplerCUBE
#else
#define TA_REFLECTION_SAMPLER sampler2D
#endif
#if TA_SURFACE_S5 == 0
TA_REFLECTION_SAMPLER ReflectionMap : register(s0);
#elif TA_SURFACE_S5 == 1
TA_REFLECTION_SAMPLER ReflectionMap : register(s1);
#elif TA_SURFACE_S5 == 2
TA_REFLECTION_SAMPLER ReflectionMap : register(s2);
#elif TA_SURFACE_S5 == 3
TA_REFLECTION_SAMPLER ReflectionMap : register(s3);
#elif TA_SURFACE_S5 == 4
TA_REFLECTION_SAMPLER ReflectionMap : register(s4);
#elif TA_SURFACE_S5 == 5
TA_REFLECTION_SAMPLER ReflectionMap : register(s5);
#elif TA_SURFACE_S5 == 6
TA_REFLECTION_SAMPLER ReflectionMap : register(s6);
#elif TA_SURFACE_S5 == 7
TA_REFLECTION_SAMPLER ReflectionMap : register(s7);
#else
#error "a surface draws with at most eight maps (seven with the light buffer)"
#endif
#endif
#ifdef USE_TEX_REFLECTIVITY
#if TA_SURFACE_S6 == 0
sampler2D ReflectivityMap : register(s0);
#elif TA_SURFACE_S6 == 1
sampler2D ReflectivityMap : register(s1);
#elif TA_SURFACE_S6 == 2
sampler2D ReflectivityMap : register(s2);
#elif TA_SURFACE_S6 == 3
sampler2D ReflectivityMap : register(s3);
#elif TA_SURFACE_S6 == 4
sampler2D ReflectivityMap : register(s4);
#elif TA_SURFACE_S6 == 5
sampler2D ReflectivityMap : register(s5);
#elif TA_SURFACE_S6 == 6
sampler2D ReflectivityMap : register(s6);
#elif TA_SURFACE_S6 == 7
sampler2D ReflectivityMap : register(s7);
#else
#error "a surface draws with at most eight maps (seven with the light buffer)"
#endif
#endif
#ifdef USE_TEX_TRANSPARENCY
#if TA_SURFACE_S7 == 0
sampler2D TransparencyMap : register(s0);
#elif TA_SURFACE_S7 == 1
sampler2D TransparencyMap : register(s1);
#elif TA_SURFACE_S7 == 2
sampler2D TransparencyMap : register(s2);
#elif TA_SURFACE_S7 == 3
sampler2D TransparencyMap : register(s3);
#elif TA_SURFACE_S7 == 4
sampler2D TransparencyMap : register(s4);
#elif TA_SURFACE_S7 == 5
sampler2D TransparencyMap : register(s5);
#elif TA_SURFACE_S7 == 6
sampler2D TransparencyMap : register(s6);
#elif TA_SURFACE_S7 == 7
sampler2D TransparencyMap : register(s7);
#else
#error "a surface draws with at most eight maps (seven with the light buffer)"
#endif
#endif
#ifdef USE_TEX_TRANSLUCENCY
#if TA_SURFACE_S8 == 0
sampler2D TranslucencyMap : register(s0);
#elif TA_SURFACE_S8 == 1
sampler2D TranslucencyMap : register(s1);
#elif TA_SURFACE_S8 == 2
sampler2D TranslucencyMap : register(s2);
#elif TA_SURFACE_S8 == 3
sampler2D TranslucencyMap : register(s3);
#elif TA_SURFACE_S8 == 4
sampler2D TranslucencyMap : register(s4);
#elif TA_SURFACE_S8 == 5
sampler2D TranslucencyMap : register(s5);
#elif TA_SURFACE_S8 == 6
sampler2D TranslucencyMap : register(s6);
#elif TA_SURFACE_S8 == 7
sampler2D TranslucencyMap : register(s7);
#else
#error "a surface draws with at most eight maps (seven with the light buffer)"
#endif
#endif
#ifdef USE_TEX_NORMAL
#if TA_SURFACE_S9 == 0
sampler2D NormalMap : register(s0);
#elif TA_SURFACE_S9 == 1
sampler2D NormalMap : register(s1);
#elif TA_SURFACE_S9 == 2
sampler2D NormalMap : register(s2);
#elif TA_SURFACE_S9 == 3
sampler2D NormalMap : register(s3);
#elif TA_SURFACE_S9 == 4
sampler2D NormalMap : register(s4);
#elif TA_SURFACE_S9 == 5
sampler2D NormalMap : register(s5);
#elif TA_SURFACE_S9 == 6
sampler2D NormalMap : register(s6);
#elif TA_SURFACE_S9 == 7
sampler2D NormalMap : register(s7);
#else
#error "a surface draws with at most eight maps (seven with the light buffer)"
#endif
#endif
