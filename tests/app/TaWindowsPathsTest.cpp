// Names written on Windows ("\" and any case) through every loading path: images, meshes, music,
// effects, scripts and fonts find the file the way the file layer finds any file.
#include "TaTestSupport.h"

#include "core/TaLog.h"
#include "effects/TaEffectDefTarv.h"
#include "engine/Ta2D.h"
#include "engine/TaEngine.h"
#include "music/TaMusic.h"
#include "scene/TaObjects.h"
#include "script/TaScriptHost.h"

#include <functional>
#include <string>

namespace {

class TaWindowsPathsTest : public TaScratchTest
{
protected:
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
};

TEST_F(TaWindowsPathsTest, EveryLoaderFindsWindowsWrittenNames)
{
    ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL)), 0);
    ASSERT_EQ(taTestRun("mkdir -p Images Fonts Models Music"), 0);
    irr::video::IVideoDriver* driver = taEngine().videoDriver;
    irr::video::IImage* image = driver->createImage(irr::video::ECF_A8R8G8B8, irr::core::dimension2du(8, 8));
    image->fill(irr::video::SColor(255, 200, 100, 50));
    ASSERT_TRUE(driver->writeImageToFile(image, "Images/Wood.png"));
    ASSERT_TRUE(driver->writeImageToFile(image, "Fonts/Tiny.png"));
    image->drop();
    ASSERT_EQ(taTestRun("cp /usr/share/assimp/models/X/test.x Models/Cube.X"), 0);
    ASSERT_EQ(taTestRun(std::string("cp ") + TARV_TEST_MUSIC_DIR + "/tune44.mp3 Music/Tune.mp3"), 0);
    writeFile("Shaders/Glass.hlsl", "/*\n[TARV_BEGIN]\n//float4 tint : 1,1,1,1\n[TARV_END]\n*/\n");
    writeFile("Scripts/Main.lua", "local f = io.open('ran.txt', 'w') f:write('yes') f:close()\n");
    // The font names its image in another case again.
    writeFile("Fonts/Tiny.xml", "<?xml version=\"1.0\"?>\n<font type=\"bitmap\">\n"
                                "<Texture index=\"0\" filename=\"TINY.PNG\" hasAlpha=\"true\" />\n"
                                "<c c=\"A\" r=\"0, 0, 4, 8\" />\n<c c=\" \" r=\"4, 0, 8, 8\" />\n</font>\n");
    ASSERT_EQ(taCreateMusicTable("null"), 0);

    struct { const char* what; std::function<bool()> load; } cases[] = {
        {"image", [] { return LoadImage("images\\WOOD.PNG", 1) == 0 && ImageExist(1); }},
        {"mesh", [] { return LoadObject("MODELS\\cube.x", 1) == 0 && ObjectExist(1); }},
        {"music", [] { return LoadMusic("music\\TUNE.MP3", 1) == 0; }},
        {"effect", [] {
             CTaEffectDefLoaderTarv loader;
             const char* error = nullptr;
             ITaEffectDef* def = loader.load(nullptr, "SHADERS\\glass.HLSL", nullptr, false, &error);
             const bool loaded = def && !error;
             if (def)
                 def->drop();
             return loaded;
         }},
        {"font", [] { return SetTextFont("fonts\\TINY.xml") == 0; }},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(c.load()) << c.what << ": " << (taGetLastError(nullptr) ? taGetLastError(nullptr) : "");

    // A script, last: it shuts the engine down when it ends.
    TaScriptDriver nullDriver(ETADRIVER_NULL);
    EXPECT_EQ(taRunScript((m_dir + "/SCRIPTS\\main.LUA").c_str(), false), 0);
    EXPECT_EQ(readFile("Scripts/ran.txt"), "yes");
}

} // namespace
