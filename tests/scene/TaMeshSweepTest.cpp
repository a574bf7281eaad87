// Every .x, .obj and .lwo file of Debian's assimp-testmodels through the object loading path, each
// in a child process with a time limit: it loads, or it is refused with a reason; it never crashes
// the engine or hangs it.
#include "TaTestSupport.h"

#include "core/TaLog.h"
#include "engine/TaEngine.h"
#include "platform/TaPlatform.h"
#include "scene/TaObjects.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

class TaMeshSweepTest : public TaScratchTest
{
protected:
    void TearDown() override
    {
        taShutdown();
        TaScratchTest::TearDown();
    }
};

std::vector<std::string> modelFiles()
{
    std::vector<std::string> files;
    FILE* list = popen("find /usr/share/assimp/models -type f \\( -iname '*.x' -o -iname '*.obj' -o -iname '*.lwo' \\) "
                       "| sort", "r");
    if (!list)
        return files;
    char line[4096];
    while (fgets(line, sizeof(line), list)) {
        std::string path = line;
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
            path.pop_back();
        files.push_back(path);
    }
    pclose(list);
    return files;
}

TEST_F(TaMeshSweepTest, EveryModelLoadsOrIsRefusedWithAReason)
{
    const std::vector<std::string> files = modelFiles();
    ASSERT_GE(files.size(), 70u) << "assimp-testmodels is not installed";
    ASSERT_EQ(taSetup(taTestSetup(ETADRIVER_NULL)), 0);
    std::map<std::string, std::string> outcome; // file -> "loaded" or "refused: ..."
    int loaded = 0, refused = 0;
    for (const std::string& file : files) {
        std::string result, failure;
        const bool ended = taPlatformRunIsolated(
            [&file]() -> std::string {
                TaLogCapture quiet;
                if (LoadObject(file.c_str(), 1) == 0 && ObjectExist(1))
                    return "loaded";
                const char* error = taGetLastError(nullptr);
                return std::string("refused: ") + (error ? error : "");
            },
            result, failure, 60000);
        ASSERT_TRUE(ended) << file << ": " << failure;
        outcome[file] = result;
        if (result == "loaded") {
            ++loaded;
        } else {
            ++refused;
            // "Failed to load mesh '...'" and the reason on the next line.
            EXPECT_NE(result.find("Failed to load mesh '"), std::string::npos) << file << ": " << result;
            EXPECT_NE(result.find('\n'), std::string::npos) << file << " is refused without a reason: " << result;
        }
    }
    printf("mesh sweep: %zu files, %d loaded, %d refused\n", files.size(), loaded, refused);
    for (const auto& entry : outcome)
        if (entry.second != "loaded")
            printf("  %s: %s\n", entry.first.c_str(), entry.second.c_str());

    // The files that once crashed or hung the engine (malformed2.obj, which Irrlicht's reader
    // crashed on, is readable and loads), and a few that must load.
    struct { const char* file; bool loads; } known[] = {
        {"/usr/share/assimp/models/invalid/malformed.obj", false},
        {"/usr/share/assimp/models/X/test_cube_compressed.x", false},
        {"/usr/share/assimp/models/LWO/LWO2/box_2uv_1unused.lwo", true},
        {"/usr/share/assimp/models/LWO/LWOB/ConcavePolygon.lwo", true},
        {"/usr/share/assimp/models/OBJ/spider.obj", true},
        {"/usr/share/assimp/models/X/test.x", true},
        {"/usr/share/assimp/models/X/test_cube_binary.x", true},
    };
    for (const auto& k : known) {
        ASSERT_TRUE(outcome.count(k.file)) << k.file;
        EXPECT_EQ(outcome[k.file] == "loaded", k.loads) << k.file << ": " << outcome[k.file];
    }
}

} // namespace
