// Scenes on the engine itself (null driver): the scene functions of the script API with the load
// progress callback, and a live update that moves an object and changes a surface colour in place.
#include "TaTestSupport.h"

#include "core/TaIdTable.h"
#include "engine/TaEngine.h"
#include "nodes/TaLightSceneNodeExt.h"
#include "nodes/TaSceneNodeExt.h"
#include "nodes/TaSurface.h"
#include "scene/TaObjects.h"
#include "scene/TaSceneManager.h"
#include "scene/TaSceneOps.h"
#include "scene/TaScenes.h"
#include "script/TaScriptHost.h"

#include <string>

namespace {

const char* const kQuad = "mtllib quad.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
                          "usemtl Paint\nf 1/1 2/2 3/3 4/4\n";
const char* const kMaterial = "newmtl Paint\nKd 1 1 1\n";

// A scene of three objects over one mesh (the second and third share it) and one light, with the
// first object's position and the surface's base colour given.
std::string scene(const char* position, const char* colour)
{
    return std::string("{ Scene\n  { SceneInfo\n    frameStart I4 0\n    frameEnd I4 50\n    frameStep I4 1\n"
                       "    framesPerSecond FP 25\n  }\n"
                       "  { Cameras\n    { Camera\n      position FP 0 1 -5\n    }\n  }\n"
                       "  { Lights\n    { Lamp\n      type I4 1\n      rawColor FP 1 1 1\n      intensity FP 1\n"
                       "    }\n  }\n"
                       "  { Objects\n"
                       "    { A\n      name STR A\n      xfilename STR quad.obj\n      filename STR quad.lwo\n"
                       "      position ") +
           position +
           "\n      scale FP 1 1 1\n    }\n"
           "    { B\n      name STR B\n      xfilename STR QUAD.OBJ\n      filename STR quad.lwo\n"
           "      position FP 2 0 0\n    }\n"
           "    { C\n      name STR C\n      xfilename STR quad.obj\n      filename STR quad.lwo\n    }\n  }\n"
           "  { SceneObjects\n    { Quad\n      filename STR quad.lwo\n      { Surfaces\n        { Paint\n"
           "          name STR Paint\n          { Parameters\n            { BaseColor\n              value FP " +
           colour + "\n            }\n          }\n        }\n      }\n    }\n  }\n}\n";
}

class TaSceneEngineTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        writeFile("quad.obj", kQuad);
        writeFile("quad.mtl", kMaterial);
        writeFile("scene.tscn", scene("FP 0 0 0", "1 0 0"));
        taRegisterSceneTable();
    }
};

class TaSceneScriptTest : public TaSceneEngineTest
{
protected:
    TaScriptDriver m_driver{ETADRIVER_NULL};
    std::string run(const std::string& code)
    {
        std::string error;
        return taRunScriptText(code.c_str(), &error) == 0 ? "" : error;
    }
};

TEST_F(TaSceneScriptTest, SceneFamilyWithProgress)
{
    EXPECT_EQ(run("ta.Setup()\n"
                  "local seen = {}\n"
                  "ta.SetLoadSceneCallback(function(p) seen[#seen + 1] = p error('ignored') end)\n"
                  "ta.LoadScene('scene.tscn', 3, 10, 20, 30, 40, 50, 60, 70, false, 'here')\n"
                  "assert(table.concat(seen, ',') == '0,0,33,66', table.concat(seen, ','))\n"
                  "assert(ta.SceneExist(3) and not ta.SceneExist(4))\n"
                  "assert(ta.SceneTotalObjects(3) == 3 and ta.SceneTotalLights(3) == 1)\n"
                  "assert(ta.SceneTotalCubeMaps(3) == 0 and ta.SceneTotalEffects(3) == 0)\n"
                  "assert(ta.SceneTotalObjects(4) == -1)\n"
                  "assert(ta.SceneAnimTimeEnd(3) == 2000 and ta.SceneFps(3) == 25 and ta.SceneFrameStart(3) == 0)\n"
                  "assert(ta.ObjectExist(10) and ta.ObjectExist(12) and ta.LightExist(20))\n"
                  "assert(not ta.ObjectVisible(10))\n"
                  "ta.ShowScene(3) assert(ta.ObjectVisible(10) and ta.ObjectVisible(12))\n"
                  "ta.AnimateScene(3, 500) ta.AnimateSceneObject(3, 11, 500) ta.AnimateSceneProcessing(3, 0)\n"
                  "ta.PrepareSceneRender(3) assert(not ta.ObjectVisible(10))\n"
                  "ta.SetLoadSceneCallback(nil)\n"
                  "ta.LoadScene('scene.tscn', 3, 10, 20, 30, 40, 50, 60, 70, true, 'here')\n"
                  "assert(#seen == 4)\n"
                  "ta.DeleteScene(3) assert(not ta.SceneExist(3) and not ta.ObjectExist(10) and not ta.LightExist(20))\n"
                  "ta.DeleteScene(3) ta.DeleteScene(99)\n"),
              "");
    struct {
        const char* code;
        const char* error;
    } failures[] = {
        {"ta.LoadScene('scene.tscn', 60, 0, 0, 0, 0, 0, 0, 0, false, 's')",
         "bad argument #1 to 'LoadScene' (Failed to load scene 'scene.tscn'\nInvalid Scene ID 60)"},
        {"ta.LoadScene('none.tscn', 1, 0, 0, 0, 0, 0, 0, 0, false, 's')",
         "bad argument #1 to 'LoadScene' (Failed to load scene 'none.tscn'\nFailed to load scene file 'none.tscn'"},
        {"ta.AnimateScene(5, 0)", "bad argument #2 to 'AnimateScene' (Invalid Scene ID 5)"},
        {"ta.LoadScene('scene.tscn', 1, 0, 0, 0, 0, 0, 0, 0, false, 's') ta.AnimateSceneObject(1, 7, 0)",
         "bad argument #3 to 'AnimateSceneObject' (Invalid Object ID 7)"},
    };
    for (const auto& f : failures) {
        const std::string error = run(std::string("ta.Setup() ") + f.code);
        EXPECT_NE(error.find(f.error), std::string::npos) << f.code << "\n" << error;
    }
}

TEST_F(TaSceneEngineTest, LiveUpdateMovesAndRecoloursInPlace)
{
    ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL, m_dir + "/")), 0);
    ASSERT_EQ(LoadScene("scene.tscn", 0, 1, 1, 1, 1, 1, 1, 1, false, "live"), 0);
    ShowScene(0);
    ASSERT_EQ(AnimateScene(0, 0), 0);
    irr::scene::ISceneNode* first = taGetObject(1);
    irr::scene::ISceneNode* second = taGetObject(2);
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->getPosition(), irr::core::vector3df(0, 0, 0));
    // An object without a scale key keeps its size.
    EXPECT_EQ(second->getScale(), irr::core::vector3df(1, 1, 1));
    auto colour = [](irr::scene::ISceneNode* node) {
        auto* surface = dynamic_cast<CTaSurfaceLightwave*>(taGetSceneNodeExt(node)->getSurface(0));
        return surface ? irr::core::vector3df(surface->getVector(ETASC_BASECOLOR)[0],
                                              surface->getVector(ETASC_BASECOLOR)[1],
                                              surface->getVector(ETASC_BASECOLOR)[2])
                       : irr::core::vector3df(-1, -1, -1);
    };
    EXPECT_EQ(colour(first), irr::core::vector3df(1, 0, 0));

    writeFile("scene.tscn", scene("FP 3 4 5", "0 0.5 1"));
    ASSERT_EQ(taUpdateScene("scene.tscn", 0), 0);
    // The same nodes under the same IDs, still shown.
    EXPECT_EQ(taGetObject(1), first);
    EXPECT_EQ(taGetObject(2), second);
    EXPECT_TRUE(ObjectVisible(1));
    EXPECT_EQ(colour(first), irr::core::vector3df(0, 0.5f, 1));
    EXPECT_EQ(colour(second), irr::core::vector3df(0, 0.5f, 1));
    ASSERT_EQ(AnimateScene(0, 0), 0);
    EXPECT_EQ(first->getPosition(), irr::core::vector3df(3, 4, 5));

    // A file that is not a scene leaves the scene as it was.
    writeFile("scene.tscn", "not a scene\n");
    EXPECT_EQ(taUpdateScene("scene.tscn", 0), -1);
    EXPECT_EQ(taGetObject(1), first);
    EXPECT_EQ(taUpdateScene("scene.tscn", 1), -1);
    DeleteScene(0);
    taShutdown();
}

TEST_F(TaSceneEngineTest, LightRecordsAndSkippedKindsFromTheDocument)
{
    std::string shaders;
    for (int i = 0; i < 21; ++i)
        shaders += "    { P" + std::to_string(i) + "\n      { Effect\n        filename STR post.hlsl\n      }\n    }\n";
    writeFile("lights.tscn",
              "{ Scene\n  { Cameras\n    { Camera\n    }\n  }\n  { Lights\n    { Lamp\n      type I4 2\n"
              "      coneAngles FP 0.5 0.1\n      rawColor FP 1 0.5 0.25\n      intensity FP 2\n"
              "      shadowType I4 2\n      shadowColor FP 0.2 0.4 0.6\n      shadMapSize I4 1024\n"
              "      shadMapFuzz FP 1.5\n      flags I4 32\n      projImage STR nothere.png\n"
              "      { Volumetric\n        flags I4 0 7 0 0 1\n        color FP 0 1 0\n      }\n    }\n  }\n"
              "  { FxEmitters\n    { Sparks\n      type I4 0\n      { HyperVoxel\n        clipFilename STR spark.png\n"
              "      }\n    }\n  }\n  { TarvPostProcs\n" +
                  shaders +
                  "  }\n  { TarvRenderCommands\n    { Commands\n      { Clear\n        cmd STR Clear\n      }\n"
                  "    }\n  }\n}\n");
    ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL, m_dir + "/")), 0);
    {
        CTaSceneTable table(taSceneEngineOps());
        STaSceneBases bases;
        bases.light = 5;
        bases.emitter = 7;
        bases.cameraShader = 9;
        ASSERT_EQ(table.load("lights.tscn", 0, bases, false, "l", false), 0);
        CTaLightSceneNodeExt* ext = taGetLightSceneNodeExt(static_cast<irr::scene::ISceneNode*>(
            idGet(taEngine().lights.get(), 5)));
        ASSERT_NE(ext, nullptr);
        const STaLightParams& p = ext->params();
        EXPECT_EQ(p.intensity, 2.0f);
        EXPECT_EQ(p.rawColour[1], 0.5f);
        EXPECT_EQ(p.shadowMapSize, 1024);
        EXPECT_EQ(p.shadowMapFuzz, 1.5f);
        EXPECT_NEAR(p.shadowColour[2], 0.6f, 0.01f);
        EXPECT_TRUE(p.volumetric);
        EXPECT_TRUE(p.volumetricColourOn);
        EXPECT_EQ(p.volumetricColour[1], 1.0f);
        EXPECT_EQ(p.volumetricMode, 7);
        EXPECT_EQ(p.projectionImage, nullptr);
        // The light itself: a spot of 2 x colour (clamped), casting shadows.
        auto* light = static_cast<irr::scene::ILightSceneNode*>(idGet(taEngine().lights.get(), 5));
        EXPECT_EQ(light->getLightType(), irr::video::ELT_SPOT);
        EXPECT_TRUE(light->getCastShadow());
        EXPECT_NEAR(light->getLightData().OuterCone, 28.647888f, 1e-3f);

        const std::vector<std::string>& messages = table.slot(0)->messages;
        auto said = [&](const std::string& text) {
            for (const std::string& m : messages)
                if (m.find(text) != std::string::npos)
                    return true;
            return false;
        };
        EXPECT_TRUE(said("Light ID 5 failed to load projection image nothere.png"));
        EXPECT_TRUE(said("The fxemitter id=7 (image file='spark.png') cannot be created: particle emitters are not "
                         "part of this build yet"));
        EXPECT_TRUE(said("The camera shader id=9 file='post.hlsl' cannot be loaded")); // there is no such file
        EXPECT_TRUE(said("The camera shader id=28 file='post.hlsl'"));
        EXPECT_FALSE(said("The camera shader id=29"));
        EXPECT_TRUE(said("Camera shader i=20 > max 20 camera shaders"));
        EXPECT_TRUE(said("Load renderer from scene failed : render command lists are not part of this build yet"));
        EXPECT_EQ(table.slot(0)->desc->cameraShaderCount, 21);
        table.remove(0);
        EXPECT_FALSE(LightExist(5));
    }
    taShutdown();
}

} // namespace
