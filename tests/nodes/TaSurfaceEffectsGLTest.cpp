// The engine's surface effects on the OpenGL device (run under Xvfb): every variant a surface can
// ask for (each macro alone, and the sets typical surfaces produce, with and without the depth
// output) translates and links in every technique of Forward.hlsl and Lpp.hlsl.
#include "TaTestSupport.h"

#include "driver/TaVideoDriverExt.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "files/TaFile.h"
#include "nodes/TaSurface.h"

#include <string>
#include <vector>

namespace {

using namespace irr;

class TaSurfaceEffectsGLTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        ASSERT_EQ(taSetup(taTestGLSetup(m_dir + "/", 96, 72, m_lightPrePass)), 0)
            << "no OpenGL device: run under xvfb-run";
    }
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
    bool m_lightPrePass = false;
    // Builds `file` with the macros (and USE_OUTDEPTH when asked); the reason when it does not build.
    std::string build(const char* file, const std::vector<std::string>& names, bool outDepth)
    {
        std::vector<STaFxMacro> macros;
        for (const std::string& name : names)
            macros.push_back({name.c_str(), nullptr});
        if (outDepth)
            macros.push_back({"USE_OUTDEPTH", nullptr});
        macros.push_back({nullptr, nullptr});
        CTaEffectManager* effects = taGetManager()->getEffectManager();
        CTaEffect* effect = effects->createEffect(taFindFile(file), -1, macros.data());
        if (!effect)
            return effects->getLastError().empty() ? "does not build" : effects->getLastError();
        const size_t techniques = effect->techniqueCount();
        effect->drop();
        return techniques == 4 ? "" : "has " + std::to_string(techniques) + " techniques";
    }
};

// The macro sets of typical surfaces, made by the surfaces themselves.
std::vector<std::vector<std::string>> typicalSets(video::ITexture* map, video::ITexture* cube)
{
    struct SCase {
        void (*make)(CTaSurfaceLightwave&, video::ITexture*, video::ITexture*);
        STaSurfaceNodeInfo node;
    };
    const STaSurfaceNodeInfo plain;
    STaSurfaceNodeInfo tangents;
    tangents.carriesTangents = true;
    STaSurfaceNodeInfo secondUv;
    secondUv.hasUV2 = true;
    secondUv.uv2Mask = 0x1 | 0x8;
    STaSurfaceNodeInfo secondUvTangents = secondUv;
    secondUvTangents.carriesTangents = true;
    secondUvTangents.uv2Mask = 0x40;
    STaSurfaceNodeInfo ownCube;
    ownCube.cubeMapTexture = cube;
    ownCube.cubeMapBoxEnabled = true;
    const SCase cases[] = {
        {[](CTaSurfaceLightwave&, auto, auto) {}, plain},
        {[](CTaSurfaceLightwave& s, auto m, auto) { s.setTexture(ETASC_BASECOLOR, m); }, plain},
        {[](CTaSurfaceLightwave& s, auto m, auto) {
             s.setTexture(ETASC_BASECOLOR, m);
             s.setTexture(ETASC_BUMP, m);
         }, plain},
        {[](CTaSurfaceLightwave& s, auto m, auto) {
             s.setTexture(ETASC_BASECOLOR, m);
             s.setTexture(ETASC_BUMP, m);
             s.setTexture(ETASC_SPECULARITY, m);
             s.setTexture(ETASC_GLOSSINESS, m);
         }, tangents},
        {[](CTaSurfaceLightwave& s, auto, auto) { s.setFloat(ETASC_TRANSPARENCY, 0.5f); }, plain},
        {[](CTaSurfaceLightwave& s, auto m, auto) {
             s.setTexture(ETASC_BASECOLOR, m);
             s.setTexture(ETASC_TRANSPARENCY, m);
         }, plain},
        {[](CTaSurfaceLightwave& s, auto m, auto) {
             s.setTexture(ETASC_REFLECTIONIMAGE, m);
             s.setInt(ETASC_REFLECTIONOPTIONS, 2);
             s.setFloat(ETASC_REFLECTIVITY, 0.5f);
         }, plain},
        {[](CTaSurfaceLightwave& s, auto m, auto k) {
             s.setTexture(ETASC_BASECOLOR, m);
             s.setTexture(ETASC_REFLECTIONIMAGE, k);
             s.setTexture(ETASC_REFLECTIVITY, m);
             s.setInt(ETASC_REFLECTIONOPTIONS, 3);
         }, ownCube},
        {[](CTaSurfaceLightwave& s, auto m, auto) {
             s.setFloat(ETASC_TRANSLUCENCY, 0.3f);
             s.setTexture(ETASC_TRANSLUCENCY, m);
             s.setTexture(ETASC_LUMINOSITY, m);
             s.setTexture(ETASC_DIFFUSE, m);
         }, plain},
        {[](CTaSurfaceLightwave& s, auto m, auto) {
             s.setTexture(ETASC_BASECOLOR, m);
             s.setTexture(ETASC_SPECULARITY, m);
         }, secondUv},
        {[](CTaSurfaceLightwave& s, auto m, auto) {
             s.setTexture(ETASC_BASECOLOR, m);
             s.setTexture(ETASC_BUMP, m);
         }, secondUvTangents},
        {[](CTaSurfaceLightwave& s, auto m, auto k) {
             s.setTexture(ETASC_BASECOLOR, m);
             s.setTexture(ETASC_SPECULARITY, m);
             s.setTexture(ETASC_GLOSSINESS, m);
             s.setTexture(ETASC_BUMP, m);
             s.setTexture(ETASC_REFLECTIONIMAGE, k);
             s.setInt(ETASC_REFLECTIONOPTIONS, 2);
             s.setTexture(ETASC_TRANSPARENCY, m);
         }, tangents},
    };
    std::vector<std::vector<std::string>> sets;
    for (const SCase& c : cases) {
        CTaSurfaceLightwave surface;
        c.make(surface, map, cube);
        const u32 bits = surface.compileBits(&c.node);
        std::vector<std::string> names;
        for (int bit = 0; bit < 27; ++bit)
            if (bits & (1u << bit))
                names.push_back(taSurfaceCompileMacros[bit]);
        sets.push_back(names);
    }
    return sets;
}

TEST_F(TaSurfaceEffectsGLTest, EveryVariantBuilds)
{
    video::IVideoDriver* driver = taEngine().videoDriver;
    video::IImage* picture = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(2, 2));
    video::ITexture* map = driver->addTexture("map.png", picture);
    video::IImage* faces[6] = {picture, picture, picture, picture, picture, picture};
    std::string error;
    CTaTexture* cube = taGetManager()->getVideoDriverExt()->addCubeTexture("cube", faces, false, error);
    picture->drop();
    ASSERT_NE(cube, nullptr) << error;

    std::vector<std::vector<std::string>> sets = typicalSets(map, cube);
    for (const char* macro : taSurfaceCompileMacros)
        sets.push_back({macro});
    for (const char* file : {"Forward.hlsl", "Lpp.hlsl"})
        for (const std::vector<std::string>& set : sets)
            for (bool outDepth : {false, true}) {
                std::string names;
                for (const std::string& name : set)
                    names += name + " ";
                EXPECT_EQ(build(file, set, outDepth), "") << file << ": " << names << (outDepth ? "USE_OUTDEPTH" : "");
            }
}

} // namespace

#include "TaGolden.h"
#include "nodes/TaSceneNodeExt.h"
#include "scene/TaObjects.h"
#include "scene/TaSurfaces.h"

namespace {

// A sphere of radius 1 at the origin seen from (0, 0, -2.5), lit by a point light up and to the left of
// the camera, over a dark blue background, drawn by the light pre-pass renderer with the surface
// effect its channels select.
class TaSurfacePicturesGLTest : public TaSurfaceEffectsGLTest
{
protected:
    void SetUp() override
    {
        m_lightPrePass = true;
        TaSurfaceEffectsGLTest::SetUp();
        scene::ISceneManager* scene = taEngine().sceneManager;
        scene::IMesh* mesh = scene->getGeometryCreator()->createSphereMesh(1.0f, 48, 48);
        sphere = scene->addMeshSceneNode(mesh);
        mesh->drop();
        ext = taGiveSurfaces(sphere);
        ASSERT_NE(ext, nullptr);
        surface = dynamic_cast<CTaSurfaceLightwave*>(ext->getSurface(0));
        ASSERT_NE(surface, nullptr);
        surface->setVector(ETASC_BASECOLOR, 0.8f, 0.8f, 0.8f);
        surface->setFloat(ETASC_VERTEXCOLORING, 0);
        surface->setFloat(ETASC_DIFFUSE, 1);
        surface->setFloat(ETASC_SPECULARITY, 0);
        surface->setFloat(ETASC_LUMINOSITY, 0);
        taEngine().camera->setPosition(core::vector3df(0, 0, -2.5f));
        taEngine().camera->setTarget(core::vector3df(0, 0, 0));
        ASSERT_EQ(MakeLight(1), 0);
        ASSERT_EQ(PositionLight(1, -4, 4, -4), 0);
        ColorAmbientLight(0);
        taSetBackgroundColor(0x102040);
    }
    // The frame with the surface as it is now (its effect built for its channels).
    video::IImage* picture()
    {
        taBuildSurfaceEffects(ext, 0);
        EXPECT_TRUE(Sync());
        EXPECT_EQ(taScreenshot("frame.png"), 0);
        if (shot)
            shot->drop();
        shot = taEngine().videoDriver->createImageFromFile("frame.png");
        return shot;
    }
    void TearDown() override
    {
        if (shot)
            shot->drop();
        TaSurfaceEffectsGLTest::TearDown();
    }
    // Pixels of two pictures that differ by more than a little.
    static int differing(video::IImage* a, video::IImage* b)
    {
        int count = 0;
        for (u32 y = 0; y < 72; ++y)
            for (u32 x = 0; x < 96; ++x) {
                const video::SColor p = a->getPixel(x, y), q = b->getPixel(x, y);
                count += std::abs(int(p.getRed()) - int(q.getRed())) + std::abs(int(p.getGreen()) - int(q.getGreen())) +
                             std::abs(int(p.getBlue()) - int(q.getBlue())) > 24;
            }
        return count;
    }
    video::ITexture* image(const char* name, u32 size, video::SColor (*texel)(u32, u32))
    {
        video::IImage* made = taEngine().videoDriver->createImage(video::ECF_A8R8G8B8, core::dimension2du(size, size));
        for (u32 y = 0; y < size; ++y)
            for (u32 x = 0; x < size; ++x)
                made->setPixel(x, y, texel(x, y));
        video::ITexture* texture = taEngine().videoDriver->addTexture(name, made);
        made->drop();
        return texture;
    }
    // A copy of the current picture, kept for comparing.
    video::IImage* keep()
    {
        video::IImage* copy = taEngine().videoDriver->createImage(video::ECF_A8R8G8B8, core::dimension2du(96, 72));
        picture()->copyTo(copy);
        return copy;
    }

    scene::IMeshSceneNode* sphere = nullptr;
    CTaSceneNodeExt* ext = nullptr;
    CTaSurfaceLightwave* surface = nullptr;
    video::IImage* shot = nullptr;
};

TEST_F(TaSurfacePicturesGLTest, ColourMapAndLuminosity)
{
    video::IImage* plain = keep();
    // Lit from the upper left: that side is brighter than the lower right.
    EXPECT_GT(plain->getPixel(38, 26).getGreen(), plain->getPixel(58, 46).getGreen() + 40);
    surface->setTexture(ETASC_BASECOLOR, image("checker.png", 8, [](u32 x, u32 y) {
        return ((x / 2 + y / 2) % 2) ? video::SColor(255, 255, 60, 20) : video::SColor(255, 20, 200, 255);
    }));
    EXPECT_GT(differing(plain, picture()), 300);
    EXPECT_TRUE(taMatchesGolden(shot, "surface-colour-map"));
    // Luminosity lights the far side too.
    surface->setTexture(ETASC_BASECOLOR, nullptr);
    surface->setVector(ETASC_BASECOLOR, 1, 0.2f, 0.1f);
    surface->setFloat(ETASC_LUMINOSITY, 1);
    video::IImage* bright = picture();
    EXPECT_GT(bright->getPixel(58, 46).getRed(), 200);
    EXPECT_TRUE(taMatchesGolden(bright, "surface-luminosity"));
    plain->drop();
}

TEST_F(TaSurfacePicturesGLTest, SpecularHighlightFacesTheLight)
{
    surface->setFloat(ETASC_DIFFUSE, 0.3f);
    video::IImage* dull = keep();
    surface->setFloat(ETASC_SPECULARITY, 1);
    surface->setFloat(ETASC_GLOSSINESS, 0.5f);
    video::IImage* shiny = picture();
    EXPECT_GT(differing(dull, shiny), 10);
    // The brightest pixel sits between the sphere's centre and the light: up and to the left.
    u32 bestX = 0, bestY = 0, best = 0;
    for (u32 y = 0; y < 72; ++y)
        for (u32 x = 0; x < 96; ++x)
            if (shiny->getPixel(x, y).getAverage() > best)
                best = shiny->getPixel(x, y).getAverage(), bestX = x, bestY = y;
    EXPECT_LT(bestX, 48u);
    EXPECT_LT(bestY, 36u);
    EXPECT_GT(best, 200u);
    EXPECT_TRUE(taMatchesGolden(shiny, "surface-highlight"));
    dull->drop();
}

TEST_F(TaSurfacePicturesGLTest, NormalMapBumps)
{
    video::IImage* smooth = keep();
    // Stripes of normals leaning left and right, at full strength.
    surface->setFloat(ETASC_BUMP, 1);
    surface->setTexture(ETASC_BUMP, image("bumps.png", 16, [](u32 x, u32) {
        return (x / 2) % 2 ? video::SColor(255, 218, 128, 218) : video::SColor(255, 38, 128, 218);
    }));
    video::IImage* bumped = picture();
    EXPECT_GT(differing(smooth, bumped), 200);
    EXPECT_TRUE(taMatchesGolden(bumped, "surface-normal-map"));
    smooth->drop();
}

TEST_F(TaSurfacePicturesGLTest, HalfTransparentOverTheBackground)
{
    // White of its own (no diffuse light), half transparent over the dark blue background.
    surface->setVector(ETASC_BASECOLOR, 1, 1, 1);
    surface->setFloat(ETASC_DIFFUSE, 0);
    surface->setFloat(ETASC_LUMINOSITY, 1);
    surface->setFloat(ETASC_TRANSPARENCY, 0.5f);
    video::IImage* glass = picture();
    const video::SColor centre = glass->getPixel(48, 36);
    EXPECT_NEAR(int(centre.getRed()), (255 + 0x10) / 2, 6);
    EXPECT_NEAR(int(centre.getGreen()), (255 + 0x20) / 2, 6);
    EXPECT_NEAR(int(centre.getBlue()), (255 + 0x40) / 2, 6);
    EXPECT_TRUE(taMatchesGolden(glass, "surface-transparency"));
}

TEST_F(TaSurfacePicturesGLTest, ReflectionOfASixColourCube)
{
    video::IVideoDriver* driver = taEngine().videoDriver;
    const video::SColor colours[6] = {{255, 255, 0, 0},   {255, 0, 255, 0},   {255, 0, 0, 255},
                                      {255, 255, 255, 0}, {255, 255, 0, 255}, {255, 0, 255, 255}};
    video::IImage* faces[6];
    for (int f = 0; f < 6; ++f) {
        faces[f] = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
        faces[f]->fill(colours[f]);
    }
    std::string error;
    CTaTexture* cube = taGetManager()->getVideoDriverExt()->addCubeTexture("six", faces, false, error);
    for (auto* face : faces)
        face->drop();
    ASSERT_NE(cube, nullptr) << error;
    video::IImage* matte = keep();
    surface->setTexture(ETASC_REFLECTIONIMAGE, cube);
    surface->setInt(ETASC_REFLECTIONOPTIONS, 2);
    surface->setFloat(ETASC_REFLECTIVITY, 1);
    video::IImage* mirror = picture();
    EXPECT_GT(differing(matte, mirror), 300);
    // The middle of the sphere faces the camera: it reflects what is behind the camera (-Z, cyan).
    const video::SColor centre = mirror->getPixel(48, 36);
    EXPECT_LT(centre.getRed(), 60);
    EXPECT_GT(centre.getGreen(), 200);
    EXPECT_GT(centre.getBlue(), 200);
    EXPECT_TRUE(taMatchesGolden(mirror, "surface-reflection"));
    matte->drop();
}

} // namespace
