// Packing: which files a set and a pattern take and under which names, the list file, the demo's
// folders, and the packing commands of the executable end to end (exit status, what is left behind).
#include "pack/TaPack.h"

#include "app/TaPackCommands.h"
#include "core/TaLog.h"
#include "files/TaPackedData.h"

#include "TaTestSupport.h"

#include <zip.h>

#include <sys/stat.h>

namespace {

class TaPackTest : public TaScratchTest
{
protected:
    // A demo folder with mixed-case names, subfolders, files of no set and a folder beside it.
    void makeTree()
    {
        for (const char* file : {"demo/city/City.TSCN", "demo/city/Objects/Block.OBJ", "demo/city/Objects/block.mtl",
                                 "demo/city/Images/Facade.PNG", "demo/city/Images/notes.txt", "demo/city/street.jpg",
                                 "demo/city/scene_backup/city.lws", "demo/city/.hidden/secret.png",
                                 "demo/sign/sign.tscn", "demo/sign/Sign.X", "demo/fx/Glow.hlsl", "demo/fx/common.H",
                                 "demo/music/Beat.MP3", "demo/music/readme.txt", "demo/loading.png",
                                 "outside/far.tscn", "demo/list.txt"})
            writeFile(file, std::string("content of ") + file);
    }

    // The entries of an archive file.
    std::set<std::string> entriesOf(const std::string& path)
    {
        std::set<std::string> names;
        int error = 0;
        zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
        if (!archive)
            return names;
        for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i)
            names.insert(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0));
        zip_close(archive);
        return names;
    }

    // The entries of the archive a copy carries as resource `number`, written out to read them.
    std::set<std::string> resourceEntries(const std::string& executable, int number)
    {
        STaFileBlock block = taLoadPackedResource((m_dir + "/" + executable).c_str(), number);
        if (!block.data)
            return {};
        const std::string copy(reinterpret_cast<const char*>(block.data.get()), block.size);
        writeFile("resource.zip", copy);
        return entriesOf(m_dir + "/resource.zip");
    }

    // Runs the engine with the arguments, in the scratch directory: its exit status.
    int tarv(const std::string& arguments)
    {
        return WEXITSTATUS(system(("cd '" + m_dir + "' && '" TARV_EXECUTABLE "' " + arguments + " > out.txt 2> err.txt").c_str()));
    }

    static bool engineFiles(const std::set<std::string>& entries)
    {
        for (const std::string& entry : entries)
            if (entry.compare(0, 8, "shaders/") == 0)
                return true;
        return false;
    }
};

TEST_F(TaPackTest, SetsAndPatternsNameEntriesRelativeToTheBase)
{
    makeTree();
    struct Case {
        const char* directory;
        const char* base;
        const char* pattern; // nullptr: the images set
        bool recursive;
        std::set<std::string> entries;
        int result;
    };
    const Case cases[] = {
        // Patterns match without regard to case; directories never match; names keep their case.
        {"city", "demo", "*.tscn", false, {"city/City.TSCN"}, 0},
        {"city", "demo", "*.obj", false, {}, 0},
        {"city", "demo", "*.obj", true, {"city/Objects/Block.OBJ"}, 0},
        {"./city/", "demo", "*.JPG", false, {"city/street.jpg"}, 0},
        // The images set, subfolders first, hidden folders skipped.
        {"city", "demo", nullptr, true, {"city/Images/Facade.PNG", "city/street.jpg"}, 0},
        // A folder written on Windows, in the wrong case.
        {"CITY\\images", "demo", nullptr, false, {"city/Images/Facade.PNG"}, 0},
        // The base itself.
        {"", "demo/city", "*.tscn", false, {"City.TSCN"}, 0},
        // A folder that does not exist adds nothing.
        {"nowhere", "demo", "*", false, {}, 0},
        // Going up and back down stays inside; going outside is refused.
        {"city/../sign", "demo", "*.x", false, {"sign/Sign.X"}, 0},
        {"../outside", "demo", "*.tscn", false, {}, -1},
        {"..", "demo/city", "*", false, {}, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.directory) + " in " + c.base);
        TaLogCapture log;
        CTaPackArchive archive;
        ASSERT_TRUE(archive.open((m_dir + "/case.zip").c_str(), false));
        const int result = c.pattern ? taAddFilesToArchive(&archive, c.directory, c.base, c.pattern, c.recursive)
                                     : taAddFileSetToArchive(&archive, c.directory, c.base, ETAPACK_IMAGES, c.recursive);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(archive.entries(), c.entries);
        if (c.result != 0) {
            EXPECT_TRUE(log.contains("is outside")) << (log.lines.empty() ? "" : log.lines[0]);
        }
    }
}

TEST_F(TaPackTest, ListLinesSplitAtTheirLastSeparator)
{
    const std::string text = "  textures/*.png\r\n\r\nmain.lua\n/top.txt\nshaders\\sub\\*.hlsl   \n\n\tlast/*";
    const std::vector<STaPackListLine> lines = taPackParseList(text);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"textures", "*.png"}, {"", "main.lua"}, {"", "top.txt"}, {"shaders\\sub", "*.hlsl"}, {"last", "*"}};
    ASSERT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].directory, expected[i].first) << i;
        EXPECT_EQ(lines[i].pattern, expected[i].second) << i;
    }
}

TEST_F(TaPackTest, DemoFilesComeFromEachFolderOnceWithTheScriptAndItsMusic)
{
    makeTree();
    writeFile("demo/my.demo.ini", "[setup]\nmusicdirectory = music\nshadersdirectory = fx\n"
                                  "[part1]\ntime = 0\ndirectory = city\nfilename = City.TSCN\n"
                                  "extra.0.directory = sign\nextra.0.filename = sign.tscn\n"
                                  "[part2]\ntime = 10\ndirectory = CITY\nfilename = City.TSCN\n[end_part]\ntime = 20\n");
    STaPackDemoSources sources;
    ASSERT_EQ(taPackDemoSources("demo/my.demo.ini", &sources), 0);
    EXPECT_EQ(sources.directories, (std::vector<std::string>{"city", "sign"}));
    CTaPackArchive archive;
    ASSERT_TRUE(archive.open((m_dir + "/demo.zip").c_str(), false));
    EXPECT_EQ(taPackDemoFiles(archive, "demo/my.demo.ini", sources), 0);
    EXPECT_EQ(archive.entries(),
              (std::set<std::string>{"city/City.TSCN", "city/Objects/Block.OBJ", "city/Objects/block.mtl",
                                     "city/Images/Facade.PNG", "city/street.jpg", "sign/sign.tscn", "sign/Sign.X",
                                     "fx/Glow.hlsl", "fx/common.H", "tarv.demo.ini", "music/Beat.MP3", "loading.png"}));

    // A part whose folder lies beside the demo is refused by name, the rest still gathered.
    writeFile("demo/far.demo.ini", "[part1]\ntime = 0\ndirectory = ../outside\nfilename = far.tscn\n"
                                   "[part2]\ntime = 5\ndirectory = sign\nfilename = sign.tscn\n[end_part]\ntime = 9\n");
    ASSERT_EQ(taPackDemoSources("demo/far.demo.ini", &sources), 0);
    TaLogCapture log;
    CTaPackArchive far;
    ASSERT_TRUE(far.open((m_dir + "/far.zip").c_str(), false));
    EXPECT_EQ(taPackDemoFiles(far, "demo/far.demo.ini", sources), 1);
    EXPECT_TRUE(log.contains("'../outside' is outside"));
    EXPECT_TRUE(far.entries().count("sign/sign.tscn"));
    EXPECT_TRUE(far.entries().count("tarv.demo.ini"));
}

TEST_F(TaPackTest, CommandsWriteTheCopyAndItsArchive)
{
    makeTree();
    writeFile("demo/my.demo.ini", "[setup]\nmusicdirectory = music\n[part1]\ntime = 0\ndirectory = city\n"
                                  "filename = City.TSCN\n[end_part]\ntime = 20\n");
    writeFile("demo/list.txt", "city/Images/*.png\nmy.demo.ini\n");

    // Stamped: the archive travels inside the copy, nothing stays beside it.
    ASSERT_EQ(tarv("-demoexe player demo/my.demo.ini"), 0) << readFile("err.txt");
    std::set<std::string> entries = resourceEntries("player", TA_RESOURCE_PACKED);
    EXPECT_TRUE(entries.count("tarv.demo.ini"));
    EXPECT_TRUE(entries.count("city/Objects/Block.OBJ"));
    EXPECT_TRUE(entries.count("music/Beat.MP3"));
    EXPECT_TRUE(engineFiles(entries));
    EXPECT_FALSE(exists("player.dat"));
    EXPECT_FALSE(exists("player.dat.tmp"));
    EXPECT_NE(readFile("out.txt").find("Packed "), std::string::npos);
    struct stat st;
    ASSERT_EQ(stat((m_dir + "/player").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IXUSR);

    // Packed again with a scene instead: the resource is replaced, not added to.
    ASSERT_EQ(tarv("-demoexe player demo/city/City.TSCN"), 0) << readFile("err.txt");
    EXPECT_EQ(taReadPackTrailers((m_dir + "/player").c_str()).size(), 1u);
    entries = resourceEntries("player", TA_RESOURCE_PACKED);
    EXPECT_TRUE(entries.count("tarv.tscn"));
    EXPECT_TRUE(entries.count("Images/Facade.PNG"));
    EXPECT_TRUE(entries.count("scene_backup/city.lws"));
    EXPECT_FALSE(entries.count("tarv.demo.ini"));

    // The data-file form: a plain ZIP beside a copy that carries no packed set of its own, even when
    // it is made by a packed copy.
    ASSERT_EQ(tarv("-demodat player2 demo/my.demo.ini"), 0) << readFile("err.txt");
    EXPECT_EQ(readFile("player2.dat").substr(0, 4), std::string("PK\x03\x04"));
    EXPECT_TRUE(entriesOf(m_dir + "/player2.dat").count("city/City.TSCN"));
    EXPECT_TRUE(taReadPackTrailers((m_dir + "/player2").c_str()).empty());
    ASSERT_EQ(system(("cd '" + m_dir + "' && ./player -demodat player3 demo/my.demo.ini > /dev/null 2>&1").c_str()), 0);
    EXPECT_TRUE(taReadPackTrailers((m_dir + "/player3").c_str()).empty());
    EXPECT_TRUE(entriesOf(m_dir + "/player3.dat").count("tarv.demo.ini"));

    // A folder: its files and subfolders at the root of the archive.
    ASSERT_EQ(tarv("-dirdat folder demo/sign"), 0) << readFile("err.txt");
    entries = entriesOf(m_dir + "/folder.dat");
    EXPECT_TRUE(entries.count("sign.tscn"));
    EXPECT_TRUE(entries.count("Sign.X"));

    // A list, relative to the current folder.
    ASSERT_EQ(system(("cd '" + m_dir + "/demo' && '" TARV_EXECUTABLE "' -dirlistexe ../listed list.txt > /dev/null 2>&1").c_str()), 0);
    entries = resourceEntries("listed", TA_RESOURCE_PACKED);
    EXPECT_TRUE(entries.count("city/Images/Facade.PNG"));
    EXPECT_TRUE(entries.count("my.demo.ini"));

    // The shader set: a fresh copy carrying resource 501 alone.
    ASSERT_EQ(tarv("-exersc player"), 0) << readFile("err.txt");
    EXPECT_TRUE(resourceEntries("player", TA_RESOURCE_PACKED).empty());
    entries = resourceEntries("player", TA_RESOURCE_SHADERS);
    EXPECT_TRUE(engineFiles(entries));
    EXPECT_FALSE(entries.count("tarv.tscn"));
}

TEST_F(TaPackTest, AFailedPackingSaysWhyExitsNonZeroAndLeavesNothing)
{
    makeTree();
    writeFile("demo/far.demo.ini", "[part1]\ntime = 0\ndirectory = ../outside\nfilename = far.tscn\n"
                                   "[part2]\ntime = 5\ndirectory = missing\nfilename = x.tscn\n[end_part]\ntime = 9\n");
    writeFile("demo/bad.demo.ini", "[setup]\n");
    struct Case {
        std::string arguments;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"-demoexe player demo/far.demo.ini", {"'../outside' is outside", "'missing' named by", "nothing was written"}},
        {"-demodat player demo/far.demo.ini", {"'../outside' is outside", "nothing was written"}},
        {"-demoexe player demo/bad.demo.ini", {"Failed to load ini file demo/bad.demo.ini"}},
        {"-demoexe player demo/none.tscn", {"Failed to read file path="}},
        {"-direxe player demo/nowhere", {"Failed to open folder demo/nowhere"}},
        {"-dirlistexe player demo/no-list.txt", {"Failed to read  demo/no-list.txt"}},
        {"-demoexe no/such/folder/player demo/sign/sign.tscn", {"Failed to copy"}},
        {"-demoexe " TARV_EXECUTABLE " demo/sign/sign.tscn", {"it is the running executable itself"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(tarv(c.arguments), 255);
        const std::string err = readFile("err.txt");
        for (const std::string& message : c.messages)
            EXPECT_NE(err.find(message), std::string::npos) << err;
        EXPECT_FALSE(exists("player"));
        EXPECT_FALSE(exists("player.dat"));
        EXPECT_FALSE(exists("player.dat.tmp"));
    }
}

} // namespace
