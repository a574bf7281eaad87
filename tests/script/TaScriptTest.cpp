// The script host on the null driver: the conventions every function follows, as small Lua
// snippets with the result or the exact error message they must give.
#include "TaTestSupport.h"

#include "app/TaCommandLine.h"
#include "engine/TaEngine.h"
#include "script/TaScriptHost.h"

#include <fstream>
#include <sstream>
#include <string>

namespace {

class TaScriptTest : public TaScratchTest
{
protected:
    TaScriptDriver m_driver{ETADRIVER_NULL};
    // Runs a snippet; "" when it ran, else its error message.
    std::string run(const std::string& code)
    {
        std::string error;
        const int status = taRunScriptText(code.c_str(), &error);
        return status == 0 ? "" : error;
    }
};

// The error a snippet raises, without the chunk position Lua puts in front of errors raised by
// luaL_error ("[string ...]:1: ").
std::string withoutPosition(const std::string& error)
{
    const size_t at = error.find("]:");
    if (error.rfind("[string", 0) == 0 && at != std::string::npos) {
        const size_t colon = error.find(": ", at + 2);
        if (colon != std::string::npos)
            return error.substr(colon + 2);
    }
    return error;
}

TEST_F(TaScriptTest, ConventionsAndEdgeCases)
{
    struct { const char* what; const char* code; const char* error; } cases[] = {
        {"guard", "ta.Sync()", "calling 'Sync' without Setup first"},
        {"guard before arguments", "ta.PasteImage()", "calling 'PasteImage' without Setup first"},
        {"unguarded", "assert(ta.IsSetup() == false) assert(ta.ScreenModeOption('nothing') == -1) ta.Term()", ""},
        {"setup defaults", "ta.Setup() assert(ta.IsSetup()) assert(ta.ScreenWidth() == 640) assert(ta.LightExist(0))",
         ""},
        {"setup size", "ta.Setup(320, 200, 32, true) assert(ta.ScreenWidth() == 320 and ta.ScreenHeight() == 200)", ""},
        {"setup twice restarts", "ta.Setup() ta.MakeLight(5) ta.Setup() assert(not ta.LightExist(5))", ""},
        {"missing image", "ta.Setup() ta.PasteImage(7, 0, 0)",
         "bad argument #1 to 'PasteImage' (Image ID 7 does not exist. id 7 does not exist)"},
        {"invalid image id", "ta.Setup() ta.LoadImage('none.png', 1000)",
         "bad argument #2 to 'LoadImage' (invalid Image ID 1000 : invalid ID 1000 greater or equals than 1000)"},
        {"negative image id", "ta.Setup() ta.LoadImage('none.png', -1)",
         "bad argument #2 to 'LoadImage' (invalid Image ID -1 : invalid negative ID -1)"},
        {"image not found", "ta.Setup() ta.LoadImage('none.png', 1)",
         "bad argument #1 to 'LoadImage' (Failed to load image 'none.png')"},
        {"RGB", "ta.Setup() assert(ta.RGB(300, 0, 0) == 44 * 65536) assert(ta.RGB(1, 2, 3) == 0x010203)"
                " assert(ta.RGBf(1, 0.5, 0) == 0xFF7F00)", ""},
        {"1025th draw", "ta.Setup() for i = 1, 1024 do ta.Box(0, 0, 1, 1) end ta.Box(0, 0, 1, 1)",
         "bad argument #-1 to 'Box' (too many 2D draws in one frame\na frame holds at most 1024 draws)"},
        {"queue empties each frame", "ta.Setup() for f = 1, 3 do for i = 1, 1024 do ta.Line(0, 0, 1, 1) end ta.Sync() end",
         ""},
        {"text joined", "ta.Setup() assert(ta.TextWidth('score', 42, true) == ta.TextWidth('score 42 true'))", ""},
        {"text cut, not overflowed",
         "ta.Setup() assert(ta.TextWidth(string.rep('x', 5000)) == ta.TextWidth(string.rep('x', 1023)))", ""},
        {"tostring must give strings", "ta.Setup() tostring = function() return {} end ta.Text(1, 1, 'a')",
         "'tostring' must return a string to 'Text'"},
        {"strict boolean", "ta.Setup() ta.PasteImage(1, 0, 0, 1)",
         "bad argument #4 to 'PasteImage' (boolean expected, got number)"},
        {"integer", "ta.Setup() ta.Box(0, 'x', 1, 1)", "bad argument #2 to 'Box' (number expected, got string)"},
        {"numeric string", "ta.Setup() ta.Box(0, '5', 1, 1)", ""},
        {"string", "ta.Setup() ta.SetDir({})", "bad argument #1 to 'SetDir' (string expected, got table)"},
        {"keys out of range", "ta.Setup() assert(not ta.KeyState(300)) assert(not ta.KeyState(-5))"
                              " assert(not ta.JoystickFireX(99)) assert(ta.JoystickX() == 0)", ""},
        {"negative sleep", "ta.Setup() local t = ta.Timer() ta.Sleep(-1000) assert(ta.Timer() - t < 500)", ""},
        {"no stale error", "ta.Setup() pcall(ta.PasteImage, 7, 0, 0) ta.Ink(0xFF) ta.Box(0, 0, 1, 1)", ""},
        {"family not built", "ta.Setup() ta.MakeFxEmitterBox(1, 'a.png', 1, 1, 1)",
         "'MakeFxEmitterBox' is not part of this build yet: the particle emitter functions come with their subsystem"},
        {"stub", "ta.Setup() ta.SetObjectSurfaces()", "bad argument #-1 to 'SetObjectSurfaces' (the function is not implemented)"},
        {"no-op stubs", "ta.Setup() ta.SetCameraRotationXYZ() ta.SetObjectRotationZYX(3)", ""},
        {"no-op stub reads its id", "ta.Setup() ta.SetLightRotationXYZ('x')",
         "bad argument #1 to 'SetLightRotationXYZ' (number expected, got string)"},
        {"music", "ta.Setup() assert(not ta.MusicExist(3)) ta.PlayMusic(3)",
         "bad argument #1 to 'PlayMusic' (Music ID 3 does not exist. id 3 does not exist)"},
        {"paths", "ta.Setup() assert(ta.PathFilename('a/b/c.txt') == 'c.txt') assert(ta.PathFilename('a/b/c.txt', false)"
                  " == 'c') assert(ta.PathPath('a/b/c.txt') == 'a/b/') assert(ta.PathPath('c') == '')", ""},
        {"missing object", "ta.Setup() ta.PositionObject(4, 0, 0, 0)",
         "bad argument #1 to 'PositionObject' (Object ID 4 does not exist. id 4 does not exist)"},
        {"missing light", "ta.Setup() ta.ColorLight(9, 0xFFFFFF)",
         "bad argument #1 to 'ColorLight' (Light ID 9 does not exist. id 9 does not exist)"},
        {"text state", "ta.Setup() ta.SetTextAlpha(300) assert(ta.TextAlpha() == 255) ta.SetTextColor(0xFF123456)"
                       " assert(ta.TextColor() == 0x123456) assert(ta.TextFont() == nil)", ""},
        {"font", "ta.Setup() ta.SetTextFont('nofont.xml')",
         "bad argument #1 to 'SetTextFont' (The font 'nofont.xml' cannot be loaded)"},
        {"morph capacity", "ta.Setup() local t = {} for i = 1, 61 do t[i] = i end ta.SetObjectMorph(1, t, {})",
         "Exceed buffer capacity 61>60"},
        {"morph entry", "ta.Setup() ta.SetObjectMorph(1, {1, 2}, {0.5, 'x'})",
         "invalid entry #1 in array argument #3 (expected number, got string)"},
        {"morph table", "ta.Setup() ta.SetObjectMorph(1, 5, {})",
         "bad argument #2 to 'SetObjectMorph' (table expected, got number)"},
        {"morph lengths", "ta.Setup() ta.SetObjectMorph(1, {1}, {0.5, 0.2})",
         "bad argument #3 to 'SetObjectMorph' (the number of morphs(1) is not equals to the number of weights(2))"},
        {"morph object", "ta.Setup() ta.SetObjectMorph(1, {1}, {0.5})",
         "bad argument #1 to 'SetObjectMorph' (Object ID 1 does not exist. id 1 does not exist)"},
        {"module", "assert(ta == require('ta')) local n = 0 for k, v in pairs(ta) do n = n + 1 end assert(n == 256)", ""},
        {"term ends the engine", "ta.Setup() ta.Term() assert(not ta.IsSetup()) ta.Sync()",
         "calling 'Sync' without Setup first"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(withoutPosition(run(c.code)), c.error) << c.what;
        EXPECT_FALSE(taIsStarted()) << c.what; // the end of a script shuts the engine down
    }
}

TEST_F(TaScriptTest, EffectFamily)
{
    writeFile("tint.hlsl", "/*\n[TARV_BEGIN]\n//float4 Tint : 1,1,1,1 : pixel\n//bool On : 0 : pixel\n"
                           "//texture Image : : pixel\n[TARV_END]\n*/\nfloat4 Tint;\nbool On;\nsampler2D Image;\n"
                           "float4 vs_main(float4 p : POSITION) : POSITION { return p; }\n"
                           "float4 ps_main() : COLOR0 { return On ? tex2D(Image, Tint.xy) : Tint; }\n");
    writeFile("broken.hlsl", "/*\n[TARV_BEGIN]\n//config baseMaterial : glass\n[TARV_END]\n*/\n"
                             "float4 vs_main(float4 p : POSITION) : POSITION { return p; }\n"
                             "float4 ps_main() : COLOR0 { return 1; }\n");
    struct { const char* what; const char* code; const char* error; } cases[] = {
        {"load and set", "ta.Setup() ta.LoadEffect('tint.hlsl', 3) assert(ta.EffectExist(3))\n"
                         "ta.SetEffectConstantFloatN(3, 'Tint', 0.5, 0.25, 'x', 1) ta.SetEffectConstantBoolean(3, 'On', true)\n"
                         "ta.SetEffectConstantInteger(3, 'On', 1) ta.SetEffectConstantFloat(3, 'Tint', 2)\n"
                         "ta.DeleteEffect(3) assert(not ta.EffectExist(3)) ta.DeleteEffect(3)", ""},
        {"missing file", "ta.Setup() ta.LoadEffect('none.hlsl', 1)",
         "bad argument #1 to 'LoadEffect' (Failed to load effect 'none.hlsl' : "},
        {"build error", "ta.Setup() ta.LoadEffect('broken.hlsl', 1)",
         "bad argument #1 to 'LoadEffect' (Failed to load effect 'broken.hlsl' : Invalid base material annotation glass)"},
        {"bad ID", "ta.Setup() ta.LoadEffect('tint.hlsl', -4)",
         "bad argument #2 to 'LoadEffect' (invalid effect ID -4 : invalid negative ID -4)"},
        {"no effect", "ta.Setup() ta.SetEffectConstantFloat(9, 'Tint', 1)",
         "bad argument #1 to 'SetEffectConstantFloat' (Effect ID 9 does not exist. id 9 does not exist)"},
        {"unknown name", "ta.Setup() ta.LoadEffect('tint.hlsl', 1) ta.SetEffectConstantFloat(1, 'Tnit', 1)",
         "bad argument #2 to 'SetEffectConstantFloat' (Effect ID 1 has no parameter 'Tnit')"},
        {"texture as a number", "ta.Setup() ta.LoadEffect('tint.hlsl', 1) ta.SetEffectConstantFloat(1, 'Image', 1)",
         "bad argument #2 to 'SetEffectConstantFloat' (parameter 'Image' of effect ID 1 is a texture)"},
        {"17 floats", "ta.Setup() ta.LoadEffect('tint.hlsl', 1) ta.SetEffectConstantFloatN(1, 'Tint', 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17)",
         "bad argument #-1 to 'SetEffectConstantFloatN' (too much floats parameters)"},
        {"missing texture", "ta.Setup() ta.LoadEffect('tint.hlsl', 1) ta.SetEffectTexture(1, 'Image', 'none.png')",
         "bad argument #3 to 'SetEffectTexture' (failed to load texture 'none.png' )"},
        {"missing image", "ta.Setup() ta.LoadEffect('tint.hlsl', 1) ta.SetEffectTextureImage(1, 'Image', 4)",
         "bad argument #3 to 'SetEffectTextureImage' (Image 4 does not exist)"},
        {"box without effect", "ta.Setup() ta.BoxWithEffect(0, 0, 5, 5, 2)",
         "bad argument #5 to 'BoxWithEffect' (Effect ID 2 does not exist. id 2 does not exist)"},
        {"a surface effect for a missing object", "ta.Setup() ta.LoadEffectForObjectSurface('tint.hlsl', 1, 1, 0)",
         "bad argument #3 to 'LoadEffectForObjectSurface' (Object ID 1 does not exist."},
        {"camera effects", "ta.Setup() ta.LoadEffect('tint.hlsl', 3) ta.MakeCameraEffect(5, 3) ta.DeleteEffect(3)\n"
                           "assert(ta.CameraEffectExist(5) == true) ta.ShowCameraEffect(5) ta.ShowCameraEffect(5)\n"
                           "ta.SetCameraEffectPriority(5, 2) ta.HideCameraEffect(5) ta.MakeCameraEffectFromFile(6, 'tint.hlsl')\n"
                           "ta.DeleteCameraEffect(5) assert(ta.CameraEffectExist(5) == false) ta.DeleteCameraEffect(5)", ""},
        {"hiding a camera effect not shown", "ta.Setup() ta.MakeCameraEffectFromFile(6, 'tint.hlsl') ta.HideCameraEffect(6)",
         "bad argument #-1 to 'HideCameraEffect' (remove enabled FAILED to find ID=6 in enabled list)"},
        {"no camera effect", "ta.Setup() ta.ShowCameraEffect(7)",
         "bad argument #1 to 'ShowCameraEffect' (Camera Effect ID 7 does not exist. id 7 does not exist)"},
        {"a camera effect of no effect", "ta.Setup() ta.MakeCameraEffect(1, 9)",
         "bad argument #2 to 'MakeCameraEffect' (Effect ID 9 does not exist. id 9 does not exist)"},
        {"a camera effect that does not build", "ta.Setup() ta.MakeCameraEffectFromFile(1, 'broken.hlsl')",
         "bad argument #2 to 'MakeCameraEffectFromFile' (Camera Effect ID 1 : Failed to compile effect broken.hlsl)"},
        {"a bad camera effect ID", "ta.Setup() ta.MakeCameraEffectFromFile(-1, 'tint.hlsl')",
         "bad argument #2 to 'MakeCameraEffectFromFile' (invalid Camera Effect ID -1 : invalid negative ID -1)"},
    };
    for (const auto& c : cases) {
        const std::string error = withoutPosition(run(c.code));
        if (*c.error)
            EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.what << ": " << error;
        else
            EXPECT_EQ(error, "") << c.what;
    }
}

TEST_F(TaScriptTest, MessageBoxShowsWhileTheLogIsSilent)
{
    TaLogCapture log;
    EXPECT_EQ(run("ta.MessageBox('score', 42) ta.Setup() ta.PasteImage(7, 0, 0)").empty(), false);
    ASSERT_EQ(log.boxes.size(), 1u); // the script's own box, not the error's
    EXPECT_EQ(log.boxes[0], "score 42");
    EXPECT_TRUE(log.lines.empty());
}

TEST_F(TaScriptTest, SetupFailureIsTheEnginesError)
{
    TaScriptDriver openGL(ETADRIVER_OPENGL);
    TaNoDisplay noDisplay;
    const std::string error = withoutPosition(run("ta.Setup()"));
    EXPECT_EQ(error, "bad argument #-1 to 'Setup' (Setup failed: fails to createDevice\n"
                     "no X display: run under xvfb-run, or use -driver null)");
}

TEST_F(TaScriptTest, ObjectsOfTheObjectViewer)
{
    const std::string model = "/usr/share/assimp/models/X/test.x";
    const std::string code = "ta.Setup() ta.LoadObject('" + model + "', 1) assert(ta.ObjectExist(1))"
                             " assert(ta.GetObjectRadius(1) > 0) assert(ta.TotalObjectFrames(1) >= 1)"
                             " ta.ScaleObject(1, 100, 100, 100) ta.RotateObject(1, 10, 20, 0) ta.SetObjectFrame(1, 0)"
                             " ta.DeleteObject(1) assert(not ta.ObjectExist(1)) ta.DeleteObject(1)"
                             " ta.LoadObject('missing.x', 2)";
    EXPECT_EQ(withoutPosition(run(code)),
              "bad argument #1 to 'LoadObject' (Failed to load mesh 'missing.x'\ncannot open 'missing.x')");
    // A damaged file is refused the same way, with the reader's reason.
    const std::string empty = "/usr/share/assimp/models/invalid/empty.x";
    EXPECT_EQ(withoutPosition(run("ta.Setup() ta.LoadObject('" + empty + "', 2)")),
              "bad argument #1 to 'LoadObject' (Failed to load mesh '" + empty + "'\nthe file is empty)");
}

TEST_F(TaScriptTest, ScriptFilesRunFromTheirDirectory)
{
    writeFile("game/main.lua", "ta.Setup() ta.Sync()\n"
                               "local f = io.open('here.txt', 'w') f:write(ta.PathFilename('x/y.z')) f:close()\n");
    EXPECT_EQ(taRunScript((m_dir + "/game/main.lua").c_str(), false), 0);
    EXPECT_EQ(readFile("game/here.txt"), "y.z");
    EXPECT_FALSE(taIsStarted());
    // A script that fails reports its status.
    writeFile("bad.lua", "error('stop here')\n");
    EXPECT_NE(taRunScript((m_dir + "/bad.lua").c_str(), false), 0);
    writeFile("syntax.lua", "this is not lua\n");
    EXPECT_NE(taRunScript((m_dir + "/syntax.lua").c_str(), false), 0);
}

TEST(TaScriptApiTest, OneTableIsTheSourceOfTruth)
{
    int count = 0;
    const STaScriptFunctionInfo* functions = taScriptFunctions(&count);
    EXPECT_EQ(count, 256);
    EXPECT_EQ(taScriptOrphanBindings(), "");
    int built = 0;
    for (int i = 0; i < count; ++i)
        built += functions[i].built;
    EXPECT_GT(built, 100);
    // The reference page is made from the table: regenerate it with `tarvtool scriptapi`.
    std::ifstream page(std::string(TARV_SOURCE_DIR) + "/docs/script-api.md");
    std::stringstream text;
    text << page.rdbuf();
    EXPECT_EQ(text.str(), taScriptApiReference()) << "docs/script-api.md is out of date: tarvtool scriptapi";
}

} // namespace
