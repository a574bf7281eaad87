// Surfaces on the null device: the compile parameters of typical surfaces, the capacity rule, the
// materials they write and read, HyperVoxel surfaces, and the maps they hand to an effect.
#include "TaTestSupport.h"

#include "driver/TaVideoDriverExt.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "nodes/TaSurface.h"

#include <string>
#include <vector>

namespace {

using namespace irr;

class TaSurfaceTest : public TaNullEngineTest
{
protected:
    video::ITexture* image(const char* name)
    {
        video::IVideoDriver* driver = taEngine().videoDriver;
        video::IImage* picture = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(2, 2));
        video::ITexture* texture = driver->addTexture(name, picture);
        picture->drop();
        return texture;
    }
    CTaTexture* cube()
    {
        video::IVideoDriver* driver = taEngine().videoDriver;
        video::IImage* faces[6];
        for (auto& face : faces)
            face = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(2, 2));
        std::string error;
        CTaTexture* texture = taGetManager()->getVideoDriverExt()->addCubeTexture("sky_cube", faces, false, error);
        for (auto* face : faces)
            face->drop();
        return texture;
    }
    // The macros as one string, and the base material.
    static std::string macros(const ITaSurface& surface, const STaSurfaceNodeInfo* node,
                              video::E_MATERIAL_TYPE* base = nullptr, int capacity = 40)
    {
        STaFxMacro list[40];
        video::E_MATERIAL_TYPE material = video::EMT_SOLID;
        if (!surface.getEffectCompileParameters(material, list, capacity, node))
            return "(failed)";
        if (base)
            *base = material;
        std::string text;
        for (int i = 0; i < capacity; ++i)
            text += std::string(text.empty() ? "" : " ") + list[i].name;
        return text;
    }
};

TEST_F(TaSurfaceTest, CompileParametersOfTypicalSurfaces)
{
    video::ITexture* colour = image("colour.png");
    video::ITexture* bump = image("bump.png");
    CTaTexture* sky = cube();
    ASSERT_NE(sky, nullptr);
    const struct {
        const char* what;
        void (*make)(CTaSurfaceLightwave&, video::ITexture*, video::ITexture*, video::ITexture*);
        bool withNode;
        STaSurfaceNodeInfo node;
        const char* expected;
        video::E_MATERIAL_TYPE base;
    } cases[] = {
        {"a colour map alone", [](CTaSurfaceLightwave& s, auto c, auto, auto) { s.setTexture(ETASC_BASECOLOR, c); },
         false, {}, "USE_TEX_COLOR", video::EMT_SOLID},
        {"half transparent", [](CTaSurfaceLightwave& s, auto, auto, auto) { s.setFloat(ETASC_TRANSPARENCY, 0.5f); },
         false, {}, "USE_TRANSPARENT", video::EMT_TRANSPARENT_ALPHA_CHANNEL},
        {"a reflection map with options 1",
         [](CTaSurfaceLightwave& s, auto c, auto, auto) {
             s.setTexture(ETASC_REFLECTIONIMAGE, c);
             s.setInt(ETASC_REFLECTIONOPTIONS, 1);
         },
         false, {}, "", video::EMT_SOLID},
        {"a reflection cube with a reflectivity map",
         [](CTaSurfaceLightwave& s, auto c, auto, auto k) {
             s.setTexture(ETASC_REFLECTIONIMAGE, k);
             s.setTexture(ETASC_REFLECTIVITY, c);
             s.setInt(ETASC_REFLECTIONOPTIONS, 2);
         },
         false, {}, "USE_TEX_REFLECIMG USE_TEX_REFLECTIVITY USE_TEX_REFLECCUBE", video::EMT_SOLID},
        {"translucency and a normal map on a node without tangents",
         [](CTaSurfaceLightwave& s, auto, auto b, auto) {
             s.setTexture(ETASC_BUMP, b);
             s.setFloat(ETASC_TRANSLUCENCY, 0.2f);
         },
         true, {}, "USE_TEX_NORMAL USE_TRANSLUCENCY USE_COMPTANGENT", video::EMT_SOLID},
        {"the second UV set on a mesh with tangents",
         [](CTaSurfaceLightwave& s, auto c, auto b, auto) {
             s.setTexture(ETASC_BASECOLOR, c);
             s.setTexture(ETASC_BUMP, b);
         },
         true, {true, true, 0x1 | 0x40 | 0x100, nullptr, false},
         "USE_TEX_COLOR USE_TEX_NORMAL USE_UV2 USE_UV2INTEX2 USE_UV2_TEX_COLOR USE_UV2_TEX_GLOSSINESS "
         "USE_UV2_TEX_NORMAL",
         video::EMT_SOLID},
        {"every UV2 mask bit in its place", [](CTaSurfaceLightwave&, auto, auto, auto) {}, true,
         {true, false, 0x1FF, nullptr, false},
         "USE_UV2 USE_UV2_TEX_COLOR USE_UV2_TEX_LUMINOSITY USE_UV2_TEX_DIFFUSE USE_UV2_TEX_SPECULAR "
         "USE_UV2_TEX_GLOSSINESS USE_UV2_TEX_REFLECTIVITY USE_UV2_TEX_TRANSPARENCY USE_UV2_TEX_TRANSLUCENCY "
         "USE_UV2_TEX_NORMAL",
         video::EMT_SOLID},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CTaSurfaceLightwave surface;
        c.make(surface, colour, bump, sky);
        video::E_MATERIAL_TYPE base = video::EMT_SOLID;
        EXPECT_EQ(macros(surface, c.withNode ? &c.node : nullptr, &base), c.expected);
        EXPECT_EQ(base, c.base);
    }

    // The node's own cube map as the reflection, with and without its box.
    CTaSurfaceLightwave surface;
    surface.setTexture(ETASC_REFLECTIONIMAGE, sky);
    surface.setInt(ETASC_REFLECTIONOPTIONS, 2);
    STaSurfaceNodeInfo node;
    node.cubeMapTexture = sky;
    EXPECT_EQ(macros(surface, &node), "USE_TEX_REFLECIMG USE_TEX_REFLECCUBE USE_NODECUBEMAP");
    node.cubeMapBoxEnabled = true;
    EXPECT_EQ(macros(surface, &node), "USE_TEX_REFLECIMG USE_TEX_REFLECCUBE USE_CUBEMAPAABB USE_NODECUBEMAP");
    EXPECT_EQ(macros(surface, nullptr), "USE_TEX_REFLECIMG USE_TEX_REFLECCUBE"); // no node, no node bits
}

TEST_F(TaSurfaceTest, TheMacroArrayMustHoldTheTerminator)
{
    CTaSurfaceLightwave surface;
    surface.setTexture(ETASC_BASECOLOR, image("colour.png"));
    surface.setFloat(ETASC_TRANSPARENCY, 0.5f);
    TaLogCapture log;
    EXPECT_EQ(macros(surface, nullptr, nullptr, 2), "(failed)");
    EXPECT_TRUE(log.contains("CTaSurfaceLightwave::getEffectCompileParameters Not enough space for macros"));
    EXPECT_EQ(macros(surface, nullptr, nullptr, 3), "USE_TEX_COLOR USE_TRANSPARENT");
    STaFxMacro untouched[1] = {{"keep", "me"}};
    int capacity = 0;
    video::E_MATERIAL_TYPE base;
    EXPECT_TRUE(surface.getEffectCompileParameters(base, untouched, capacity, nullptr));
    EXPECT_EQ(capacity, 0);
    EXPECT_STREQ(untouched[0].name, "keep"); // nothing written, not even a terminator

    CTaSurfaceLightwaveHV particles;
    STaSurfaceLightwaveHVData data;
    data.hasTexture = 1;
    data.blendMode = 2;
    data.colourKeyCount = 3;
    particles.setData(data);
    video::E_MATERIAL_TYPE hvBase = video::EMT_SOLID;
    EXPECT_EQ(macros(particles, nullptr, &hvBase), "USE_TEX_COLOR USE_COLOR_GRADIENT USE_BLEND_SUB");
    EXPECT_EQ(hvBase, video::EMT_ONETEXTURE_BLEND);
    EXPECT_EQ(macros(particles, nullptr, nullptr, 3), "(failed)"); // the blend macro must fit too
    EXPECT_TRUE(log.contains("CTaSurfaceLightwaveHV::getEffectCompileParameters Not enough space for macros"));
}

TEST_F(TaSurfaceTest, MaterialsWrittenByTheChannels)
{
    video::ITexture* map = image("map.png");
    const struct {
        const char* what;
        f32 transparency;
        bool transparencyMap, bumpMap, reflective;
        video::E_MATERIAL_TYPE type;
    } cases[] = {
        {"opaque", 0, false, false, false, video::EMT_SOLID},
        {"opaque, reflective", 0, false, false, true, video::EMT_REFLECTION_2_LAYER},
        {"opaque, bump", 0, false, true, true, video::EMT_PARALLAX_MAP_SOLID},
        {"transparency map", 0, true, false, false, video::EMT_TRANSPARENT_ALPHA_CHANNEL},
        {"transparency map, reflective", 0, true, false, true, video::EMT_TRANSPARENT_REFLECTION_2_LAYER},
        {"transparency map, bump", 0, true, true, false, video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA},
        {"half transparent", 0.5f, false, false, false, video::EMT_TRANSPARENT_VERTEX_ALPHA},
        {"half transparent, reflective", 0.5f, false, false, true, video::EMT_TRANSPARENT_REFLECTION_2_LAYER},
        {"half transparent, bump", 0.5f, false, true, false, video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        CTaSurfaceLightwave surface;
        surface.setFloat(ETASC_TRANSPARENCY, c.transparency);
        surface.setFloat(ETASC_VERTEXCOLORING, 0);
        if (c.transparencyMap)
            surface.setTexture(ETASC_TRANSPARENCY, map);
        if (c.bumpMap)
            surface.setTexture(ETASC_BUMP, map);
        if (c.reflective) {
            surface.setTexture(ETASC_REFLECTIONIMAGE, map);
            surface.setInt(ETASC_REFLECTIONOPTIONS, 2);
            surface.setFloat(ETASC_REFLECTIVITY, 0.3f);
        }
        STaMaterial material;
        surface.applyToMaterial(material);
        EXPECT_EQ(material.material.MaterialType, c.type);
        const bool vertexAlpha = c.type == video::EMT_TRANSPARENT_VERTEX_ALPHA ||
                                 c.type == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA;
        EXPECT_EQ(material.material.ColorMaterial, vertexAlpha ? video::ECM_DIFFUSE : video::ECM_AMBIENT);
    }

    // Colours, flags and layers.
    CTaSurfaceLightwave surface;
    surface.setVector(ETASC_BASECOLOR, 1.0f, 0.5f, 0.0f);
    surface.setFloat(ETASC_DIFFUSE, 0.5f);
    surface.setFloat(ETASC_LUMINOSITY, 2.0f); // clamped, not wrapped
    surface.setFloat(ETASC_SPECULARITY, 1.0f);
    surface.setFloat(ETASC_GLOSSINESS, 0.25f);
    surface.setInt(ETASC_SIDEDNESS, 3);
    surface.setInt(ETASC_RENDEROUTLINES, 1);
    surface.setFloat(ETASC_LINESIZE, 2.0f);
    surface.setTexture(ETASC_BASECOLOR, map);
    surface.setColourSpace(ETASC_BASECOLOR, 1);
    STaMaterial material;
    surface.applyToMaterial(material);
    EXPECT_EQ(material.material.DiffuseColor, video::SColor(255, 127, 63, 0));
    EXPECT_EQ(material.material.EmissiveColor, video::SColor(255, 255, 255, 0));
    EXPECT_EQ(material.material.SpecularColor, video::SColor(255, 255, 255, 255));
    EXPECT_FLOAT_EQ(material.material.Shininess, 32.0f);
    EXPECT_FALSE(material.material.BackfaceCulling);
    EXPECT_TRUE(material.material.PointCloud);
    EXPECT_FALSE(material.material.Wireframe);
    EXPECT_FLOAT_EQ(material.material.Thickness, 2.0f);
    EXPECT_TRUE(material.material.NormalizeNormals);
    EXPECT_EQ(material.material.ColorMaterial, video::ECM_DIFFUSE); // vertex colouring is on by default
    EXPECT_EQ(material.material.getTexture(0), map);
    EXPECT_EQ(material.layers[0].texture, map);
    EXPECT_TRUE(material.layers[0].srgb);
    EXPECT_EQ(material.material.TextureLayer[0].LODBias, -8);

    // And back from a material.
    video::SMaterial plain;
    plain.DiffuseColor = video::SColor(255, 255, 0, 0);
    plain.EmissiveColor = video::SColor(255, 255, 255, 255);
    plain.Shininess = 64;
    plain.MaterialType = video::EMT_PARALLAX_MAP_SOLID;
    plain.MaterialTypeParam = 0.035f * 2;
    plain.setTexture(1, map);
    plain.BackfaceCulling = false;
    plain.Wireframe = true;
    plain.ColorMaterial = video::ECM_NONE;
    CTaSurfaceLightwave read;
    read.initFromMaterial(plain);
    EXPECT_FLOAT_EQ(read.getVector(ETASC_BASECOLOR)[0], 1.0f);
    EXPECT_FLOAT_EQ(read.getVector(ETASC_BASECOLOR)[1], 0.0f);
    EXPECT_FLOAT_EQ(read.getFloat(ETASC_LUMINOSITY), 1.0f);
    EXPECT_FLOAT_EQ(read.getFloat(ETASC_GLOSSINESS), 0.5f);
    EXPECT_EQ(read.getTexture(ETASC_BUMP), map);
    EXPECT_FLOAT_EQ(read.getFloat(ETASC_BUMP), 2.0f);
    EXPECT_EQ(read.getInt(ETASC_SIDEDNESS), 3);
    EXPECT_EQ(read.getInt(ETASC_RENDEROUTLINES), 1);
    EXPECT_FLOAT_EQ(read.getFloat(ETASC_LINESIZE), 0.5f);
    EXPECT_EQ(read.getFloat(ETASC_VERTEXCOLORING), 0.0f); // no colour tracking: no vertex colouring
}

TEST_F(TaSurfaceTest, ChannelIndicesOutsideTheRecordAreIgnored)
{
    CTaSurfaceLightwave surface;
    const CTaSurfaceLightwave fresh;
    for (int channel : {-1, -40, 39, 1000}) {
        surface.setFloat(channel, 5);
        surface.setInt(channel, 5);
        surface.setVector(channel, 5, 5, 5);
        surface.setTexture(channel, image("x.png"));
        surface.setColourSpace(channel, 1);
        EXPECT_EQ(surface.getTexture(channel), nullptr);
        EXPECT_EQ(surface.getVector(channel), nullptr);
        EXPECT_EQ(surface.getFloat(channel), 0.0f);
    }
    EXPECT_EQ(memcmp(&surface.getData(), &fresh.getData(), sizeof(STaSurfaceLightwaveData)), 0);
    // The defaults of a new surface.
    EXPECT_FLOAT_EQ(fresh.getVector(ETASC_BASECOLOR)[2], 0.78f);
    EXPECT_FLOAT_EQ(fresh.getFloat(ETASC_GLOSSINESS), 0.4f);
    EXPECT_FLOAT_EQ(fresh.getFloat(ETASC_BUMP), 1.0f);
}

TEST_F(TaSurfaceTest, HyperVoxelMaterials)
{
    video::ITexture* clip = image("clip.png");
    const struct {
        int blendMode;
        video::E_MATERIAL_TYPE type;
    } cases[] = {{0, video::EMT_TRANSPARENT_ALPHA_CHANNEL},
                 {1, video::EMT_TRANSPARENT_ADD_COLOR},
                 {2, video::EMT_ONETEXTURE_BLEND},
                 {7, video::EMT_SOLID}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.blendMode);
        CTaSurfaceLightwaveHV surface;
        STaSurfaceLightwaveHVData data;
        data.blendMode = c.blendMode;
        data.texture = clip;
        surface.setData(data);
        STaMaterial material;
        surface.applyToMaterial(material);
        EXPECT_EQ(material.material.MaterialType, c.type);
        EXPECT_FALSE(material.material.ZWriteEnable);
        EXPECT_EQ(material.material.getTexture(0), clip);
        CTaSurfaceLightwaveHV back;
        back.initFromMaterial(material.material);
        EXPECT_EQ(back.getData().blendMode, c.blendMode == 7 ? 1 : c.blendMode);
        if (c.blendMode == 2) {
            // Subtractive: the destination darkened by the particle, not both multiplied by zero.
            video::E_BLEND_FACTOR source, destination;
            video::E_MODULATE_FUNC modulate;
            u32 alphaSource;
            video::unpack_textureBlendFunc(source, destination, modulate, alphaSource, material.material.MaterialTypeParam);
            EXPECT_EQ(source, video::EBF_ZERO);
            EXPECT_EQ(destination, video::EBF_ONE_MINUS_SRC_COLOR);
        }
    }
}

TEST_F(TaSurfaceTest, MapsGoToTheEffectsSamplers)
{
    writeFile("surface.hlsl", R"(/*
[TARV_BEGIN]
//texture 1 : Color : srgb
//texture 2 : Bump
[TARV_END]
*/
sampler2D ColourMap : register(s1);
sampler2D BumpMap : register(s2);
float4 vs_main(float4 pos : POSITION) : POSITION { return pos; }
float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 { return tex2D(ColourMap, uv) + tex2D(BumpMap, uv); }
)");
    CTaEffect* effect = taGetManager()->getEffectManager()->createEffect("surface.hlsl", -1, nullptr);
    ASSERT_NE(effect, nullptr) << taGetManager()->getEffectManager()->getLastError();
    video::ITexture* colour = image("colour.png");
    video::ITexture* bump = image("bump.png");
    CTaSurfaceLightwave surface;
    surface.setTexture(ETASC_BASECOLOR, colour);
    surface.setColourSpace(ETASC_BASECOLOR, 1);
    surface.setTexture(ETASC_BUMP, bump);
    STaMaterial layers;
    ASSERT_TRUE(surface.setEffectTextureOnMaterial(layers, effect, 0, 0));
    EXPECT_EQ(layers.layers[1].texture, colour);
    EXPECT_EQ(layers.layers[2].texture, bump);
    // Layer 0, which the effect leaves empty, gets the colour map.
    EXPECT_EQ(layers.layers[0].texture, colour);
    EXPECT_TRUE(layers.layers[0].srgb);
    ASSERT_TRUE(surface.setEffectTextures(effect));
    STaMaterial pass;
    ASSERT_TRUE(effect->getPassMaterial(0, 0, pass));
    EXPECT_EQ(pass.layers[1].texture, colour);
    EXPECT_EQ(pass.layers[2].texture, bump);
    effect->drop();
}

} // namespace
