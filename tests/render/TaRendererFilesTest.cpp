// The renderers' files are found through the engine's search folders.
#include "TaTestSupport.h"

#include "files/TaFile.h"
#include "render/TaRendererFiles.h"

#include <cstring>

namespace {

class TaRendererFilesTest : public TaScratchTest
{
};

TEST_F(TaRendererFilesTest, FoundInTheSearchFoldersOfTheDataDirectory)
{
    writeFile("data/shadersPP/Gamma.hlsl", "//");
    writeFile("data/textures/AreaTexDX9.png", "png");
    writeFile("shaders/Lpp.hlsl", "//"); // below the current directory, searched first
    taSetDataDirectory((m_dir + "/data/").c_str());
    const std::vector<std::string> found = taLocateRendererFiles();
    int located = 0;
    for (size_t i = 0; taRendererFiles[i].name; ++i) {
        const std::string name = taRendererFiles[i].name;
        if (name == "Gamma.hlsl")
            EXPECT_EQ(found[i], m_dir + "/data/shadersPP/Gamma.hlsl");
        else if (name == "AreaTexDX9.png")
            EXPECT_EQ(found[i], m_dir + "/data/textures/AreaTexDX9.png");
        else if (name == "Lpp.hlsl")
            EXPECT_EQ(found[i], "shaders/Lpp.hlsl");
        else
            EXPECT_EQ(found[i], "") << name;
        located += !found[i].empty();
    }
    EXPECT_EQ(located, 3);
    EXPECT_EQ(taRendererFiles[found.size() - 1].need, ETARENDERERFILE_OPTIONAL); // loading.hlsl
}

} // namespace
