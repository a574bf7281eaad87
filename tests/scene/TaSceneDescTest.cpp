// Reading scene documents into key records: sections, the mesh an object takes its surfaces from,
// cube-map hide lists, the limits, render command lists and what evaluation gives.
#include "TaTestSupport.h"

#include "scene/TaSceneDesc.h"
#include "scene/TaSurfaces.h"

#include <string>

namespace {

const char* const kScene = R"(# A small scene for the reader
{ Scene
  { SceneInfo
    frameStart I4 10
    frameEnd I4 70
    frameStep I4 2
    framesPerSecond FP 30
    loadAudio STR song.mp3
  }
  { Cameras
    { Camera
      position FP 1 2 3
      resolution I4 800
    }
  }
  { Lights
    { Sun
      type I4 0
      rawColor FP 1 0.5 0.25
    }
    { Lamp
      type I4 2
      coneAngles FP 0.5
      { Volumetric
        flags I4 1 2
      }
    }
  }
  { SceneObjects
    { Mesh1
      filename STR box.lwo
      { Surfaces
        { S0
          name STR Old
        }
      }
    }
    { Mesh2
      filename STR box.lwo
      { Surfaces
        { S0
          name STR Red
          { Parameters
            { BaseColor
              value FP 1 0 0
              img_filename STR red.png
              img_colorspace I4 1
            }
            { Transparency
              value FP_C DAT 3 0 0.5 1
            }
            { Sidedness
              value I4 3
            }
          }
          { Shader
            applyToSurface I4 1
            { Effect
              filename STR glass.hlsl
              cflags STR USE_TINT
              { Parameters
                { Tint
                  value FP 0.25 0.5 0.75
                }
                { Map
                  value STR tint.png
                  img_colorspace I4 1
                }
              }
            }
          }
        }
        { S1
          name STR Blue
        }
      }
    }
  }
  { Objects
    { O1
      name STR Box
      xfilename STR box.x
      filename STR box.lwo
      shadowOpts I4 2
      { UseCubeMaps
        { U
          renderCubeMap STR Box
        }
        { V
          renderCubeMap STR Missing
        }
      }
    }
    { O2
      name STR Wall
      xfilename STR wall.x
    }
    { O3
      xfilename STR box.x
      filename STR other.lwo
    }
  }
  { CubeMaps
    { C
      name STR Box
      textureSize I4 128
      hideObject I4 1
      { hideSet
        a STR Wall
        b STR Nobody
      }
    }
  }
  { TarvRenderCommands
    { Commands
      { First
        name STR clear
        cmd STR Clear
        { Inputs
          { I
            name STR color
            value STR Display
          }
        }
        { Parameters
          { P
            name STR colour
            value FP 1 2 3
          }
          { Q
            name STR amount
            value FP 0.5
          }
          { R
            name STR count
            value I4 7
          }
          { S
            name STR glow
            { Effect
              filename STR glow.hlsl
            }
          }
        }
      }
    }
  }
}
)";

class TaSceneDescTest : public TaScratchTest
{
protected:
    STaSceneDesc* read(const std::string& text, std::string& error)
    {
        writeFile("scene.tscn", text);
        return taSceneDescLoad("scene.tscn", error);
    }
};

TEST_F(TaSceneDescTest, KeyRecordsOfEverySection)
{
    std::string error;
    STaSceneDesc* desc = read(kScene, error);
    ASSERT_NE(desc, nullptr) << error;
    EXPECT_EQ(desc->frameStart, 10);
    EXPECT_EQ(desc->frameEnd, 70);
    EXPECT_FLOAT_EQ(desc->framesPerSecond, 30.0f);
    EXPECT_STREQ(taSceneString(desc->loadAudio), "song.mp3");
    EXPECT_FLOAT_EQ(taSceneSamplePosition(*desc, 14), 2.0f);
    ASSERT_EQ(desc->cameraKeys.size(), 1u);
    EXPECT_EQ(taSceneIntAt(desc->cameraKeys[0].resolution, 1, 480), 480); // one element: the default
    ASSERT_EQ(desc->lightKeys.size(), 2u);
    EXPECT_EQ(taSceneInt(desc->lightKeys[1].type), 2);
    EXPECT_NE(desc->lightKeys[1].volumetric, nullptr);
    EXPECT_EQ(taSceneIntAt(desc->lightKeys[1].volFlags, 4, 0), 0); // flags too short: the default

    // Objects: the last mesh entry of their file; a file that no entry has (or none) gives none.
    ASSERT_EQ(desc->objectKeys.size(), 3u);
    EXPECT_EQ(desc->objectKeys[0].mesh, 1);
    EXPECT_EQ(desc->objectKeys[1].mesh, -1);
    EXPECT_EQ(desc->objectKeys[2].mesh, -1);
    EXPECT_EQ(desc->objectKeys[0].shadowOpts, 2);
    ASSERT_EQ(desc->objectKeys[0].influences.size(), 2u);
    EXPECT_EQ(desc->objectKeys[0].influences[0].cubeMap, 0);
    EXPECT_EQ(desc->objectKeys[0].influences[1].cubeMap, -1);
    // An absent name matches nothing, not the third object's absent name.
    EXPECT_EQ(taSceneObjectIndex(*desc, nullptr), -1);
    EXPECT_EQ(taSceneObjectIndex(*desc, "Wall"), 1);

    // The cube map hides the wall (the unknown name is dropped) and the object named like it.
    ASSERT_EQ(desc->cubeMaps.size(), 1u);
    EXPECT_EQ(desc->cubeMaps[0].textureSize, 128);
    EXPECT_EQ(desc->cubeMaps[0].hideList, (std::vector<int>{1, 0}));

    // Surfaces evaluated at a sample.
    ASSERT_EQ(desc->meshes.size(), 2u);
    const std::vector<STaSurfaceRecord> surfaces = taSceneEvaluateSurfaces(desc->meshes[1], 1.5f);
    ASSERT_EQ(surfaces.size(), 2u);
    EXPECT_EQ(surfaces[0].name, "Red");
    EXPECT_EQ(surfaces[0].channels[ETASC_BASECOLOR].kind, ETAPARAM_VECTOR3);
    EXPECT_FLOAT_EQ(surfaces[0].channels[ETASC_BASECOLOR].vector[0], 1.0f);
    EXPECT_EQ(surfaces[0].channels[ETASC_BASECOLOR].imageFile, "red.png");
    EXPECT_EQ(surfaces[0].channels[ETASC_BASECOLOR].imageColourSpace, 1);
    EXPECT_EQ(surfaces[0].channels[ETASC_TRANSPARENCY].kind, ETAPARAM_FLOAT);
    EXPECT_FLOAT_EQ(surfaces[0].channels[ETASC_TRANSPARENCY].vector[0], 0.75f);
    EXPECT_EQ(surfaces[0].channels[ETASC_SIDEDNESS].kind, ETAPARAM_INT);
    EXPECT_EQ(surfaces[0].channels[ETASC_SIDEDNESS].integer, 3);
    EXPECT_EQ(surfaces[0].channels[ETASC_DIFFUSE].kind, ETAPARAM_NONE);
    EXPECT_EQ(surfaces[0].applyToSurface, 1);
    EXPECT_EQ(surfaces[0].effect.fileName, "glass.hlsl");
    EXPECT_EQ(surfaces[0].effect.compileFlags, "USE_TINT");
    ASSERT_EQ(surfaces[0].effect.entries.size(), 2u);
    EXPECT_EQ(surfaces[0].effect.entries[0].kind, ETAPARAM_VECTOR3);
    EXPECT_FLOAT_EQ(surfaces[0].effect.entries[0].vector[2], 0.75f);
    EXPECT_EQ(surfaces[0].effect.entries[1].kind, ETAPARAM_STRING);
    EXPECT_EQ(surfaces[0].effect.entries[1].text, "tint.png");
    EXPECT_EQ(surfaces[0].effect.entries[1].colourSpace, 1);

    // The render command list.
    EXPECT_TRUE(desc->hasRenderer);
    ASSERT_EQ(desc->commands.size(), 1u);
    const STaSceneCommandDesc& clear = desc->commands[0];
    EXPECT_STREQ(clear.command, "Clear");
    ASSERT_EQ(clear.inputs.size(), 1u);
    EXPECT_STREQ(clear.inputs[0].second, "Display");
    ASSERT_EQ(clear.parameters.size(), 4u);
    EXPECT_EQ(clear.parameters[0].kind, ETAPARAM_VECTOR3);
    EXPECT_EQ(clear.parameters[1].kind, ETAPARAM_FLOAT);
    EXPECT_EQ(clear.parameters[2].kind, ETAPARAM_INT);
    EXPECT_EQ(clear.parameters[3].kind, TA_SCENE_PARAM_EFFECT);
    ASSERT_EQ(desc->renderEffects.size(), 1u);
    EXPECT_STREQ(desc->renderEffects[0].fileName, "glow.hlsl");
    taSceneDescFree(desc);
}

TEST_F(TaSceneDescTest, LimitsAndBrokenDocuments)
{
    std::string error;
    // No frame step: one frame per sample, never a division by zero.
    STaSceneDesc* plain = read("{ Scene\n  { SceneInfo\n    frameStep I4 0\n  }\n}\n", error);
    ASSERT_NE(plain, nullptr) << error;
    EXPECT_FLOAT_EQ(taSceneSamplePosition(*plain, 5), 5.0f);
    EXPECT_FALSE(plain->hasRenderer);
    taSceneDescFree(plain);

    // 22 camera shaders: 20 kept, 22 counted.
    std::string shaders = "{ Scene\n  { TarvPostProcs\n";
    for (int i = 0; i < 22; ++i)
        shaders += "    { S" + std::to_string(i) + "\n      useframe I4 1\n    }\n";
    shaders += "  }\n}\n";
    STaSceneDesc* many = read(shaders, error);
    ASSERT_NE(many, nullptr) << error;
    EXPECT_EQ(many->cameraShaders.size(), 20u);
    EXPECT_EQ(many->cameraShaderCount, 22);
    taSceneDescFree(many);

    const struct {
        const char* what;
        std::string text;
        const char* error;
    } broken[] = {
        {"not a document", "this is { not TF", "cannot be read as a scene document"},
        {"no scene", "{ Other\n  a I4 1\n}\n", "the document has no Scene node"},
        {"51 commands", "", "Renderer: too much commands"},
        {"an array value", "{ Scene\n  { TarvRenderCommands\n    { Commands\n      { C\n        { Parameters\n"
                           "          { P\n            value FP [\n              1 2\n            ]\n          }\n"
                           "        }\n      }\n    }\n  }\n}\n",
         "Renderer: unknown param type"},
        {"a track value", "{ Scene\n  { TarvRenderCommands\n    { Commands\n      { C\n        { Parameters\n"
                          "          { P\n            value FP_C RUN 2 1\n          }\n"
                          "        }\n      }\n    }\n  }\n}\n",
         "Renderer: unknown param value type"},
    };
    for (const auto& b : broken) {
        std::string text = b.text;
        if (text.empty()) {
            text = "{ Scene\n  { TarvRenderCommands\n    { Commands\n";
            for (int i = 0; i < 51; ++i)
                text += "      { C" + std::to_string(i) + "\n        cmd STR Clear\n      }\n";
            text += "    }\n  }\n}\n";
        }
        error.clear();
        EXPECT_EQ(read(text, error), nullptr) << b.what;
        EXPECT_NE(error.find(b.error), std::string::npos) << b.what << ": " << error;
    }
}

} // namespace

#include <cstdio>

namespace {

// What `tarvtool tf eval` says of an entry at a sample position.
std::vector<float> toolEval(const std::string& path, const char* entry, float at)
{
    const std::string command = std::string(TARV_TOOL) + " tf eval '" + path + "' " + entry + " " + std::to_string(at);
    std::vector<float> values;
    FILE* pipe = popen(command.c_str(), "r");
    float value = 0;
    while (pipe && fscanf(pipe, "%f", &value) == 1)
        values.push_back(value);
    if (pipe)
        pclose(pipe);
    return values;
}

TEST(TaSceneFrameTest, TracksMatchTheToolAtFractionalSamples)
{
    const std::string path = std::string(TARV_TEST_DATA_DIR) + "/anim.tscn";
    std::string error;
    STaSceneDesc* desc = taSceneDescLoad(path.c_str(), error);
    ASSERT_NE(desc, nullptr) << error;
    ASSERT_EQ(desc->objectKeys.size(), 1u);
    ASSERT_EQ(desc->lightKeys.size(), 1u);
    for (float at : {0.0f, 0.5f, 1.25f, 1.9f}) {
        SCOPED_TRACE(at);
        const STaSceneObjectState object = taSceneEvaluateObject(desc->objectKeys[0], at);
        const std::vector<float> position = toolEval(path, "Scene/Objects/Box/position", at);
        ASSERT_EQ(position.size(), 3u);
        EXPECT_NEAR(object.position.X, position[0], 1e-4f);
        EXPECT_NEAR(object.position.Y, position[1], 1e-4f);
        EXPECT_NEAR(object.position.Z, position[2], 1e-4f);
        const STaSceneLightState light = taSceneEvaluateLight(desc->lightKeys[0], at);
        const std::vector<float> colour = toolEval(path, "Scene/Lights/Lamp/rawColor", at);
        ASSERT_EQ(colour.size(), 3u);
        EXPECT_NEAR(light.rawColour.X, colour[0], 1e-4f);
        EXPECT_NEAR(light.rawColour.Y, colour[1], 1e-4f);
        EXPECT_NEAR(light.rawColour.Z, colour[2], 1e-4f);
        // The 8-bit colour of intensity 2 x raw colour: clamped, never wrapped.
        auto byte = [](float v) { return v >= 1 ? 255u : v > 0 ? unsigned(v * 255) : 0u; };
        EXPECT_EQ(light.colour, (byte(2 * colour[0]) << 16) | (byte(2 * colour[1]) << 8) | byte(2 * colour[2]));
    }
    const STaSceneLightState spot = taSceneEvaluateLight(desc->lightKeys[0], 0);
    EXPECT_NEAR(spot.outerCone, 0.5f * 57.295776f, 1e-3f); // one angle: no edge, inner = outer
    EXPECT_NEAR(spot.innerCone, spot.outerCone, 1e-3f);
    EXPECT_FLOAT_EQ(spot.range, 10000000.0f); // no falloff
    // A zoom of 0 is kept to a sane field of view.
    EXPECT_FLOAT_EQ(taSceneEvaluateCamera(desc->cameraKeys[0], 0).fieldOfView, 179.0f);
    EXPECT_EQ(taSceneCameraIndex(*desc, 3), 0);
    taSceneDescFree(desc);
}

} // namespace
