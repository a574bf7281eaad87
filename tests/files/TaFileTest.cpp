// The file layer on the stdio back end: path helpers, search order, streams, Windows-written names.
#include "files/TaFile.h"

#include "core/TaLog.h"

#include "TaTestSupport.h"

#include <cstring>

namespace {

class TaFileTest : public TaScratchTest
{
};

TEST(TaFilePathTest, PathHelpers)
{
    struct { const char* path; const char* dir; const char* nameWithExtension; const char* name; } cases[] = {
        {"C:\\music\\track.final.wav", "C:\\music\\", "track.final.wav", "track.final"},
        {"demo/scenes/a.tscn", "demo/scenes/", "a.tscn", "a"},
        {"C:a.x", "C:", "a.x", "a"},
        {"noext", "", "noext", "noext"},
        {"dir.d/noext", "dir.d/", "noext", "noext"},
        {"trailing/", "trailing/", "", ""},
        {"", "", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_STREQ(taGetFileDir(c.path), c.dir) << c.path;
        EXPECT_STREQ(taGetFileName(c.path, 1), c.nameWithExtension) << c.path;
        EXPECT_STREQ(taGetFileName(c.path, 0), c.name) << c.path;
    }
}

TEST(TaFilePathTest, AbsolutePathPrefixesTheWorkingDirectoryOnce)
{
    struct { const char* working; const char* path; const char* expected; } cases[] = {
        {"demo", "a.tscn", "demo/a.tscn"},
        {"demo/", "a.tscn", "demo/a.tscn"},
        {"C:", "a.tscn", "C:a.tscn"},
        {"", "a.tscn", "a.tscn"},
        {"demo", "/data/a.tscn", "/data/a.tscn"},
        {"demo", "\\data\\a.tscn", "\\data\\a.tscn"},
        {"demo", "d:\\demo\\a.tscn", "d:\\demo\\a.tscn"},
    };
    for (const auto& c : cases) {
        taSetWorkingDirectory(c.working);
        EXPECT_STREQ(taGetAbsolutePath(c.path), c.expected) << c.working << " + " << c.path;
    }
    taSetWorkingDirectory("demo");
    taAppendWorkingDirectory("scenes");
    EXPECT_STREQ(taGetWorkingDirectory(), "demo/scenes");
    taSetWorkingDirectory("");
    taAppendWorkingDirectory("scenes");
    EXPECT_STREQ(taGetWorkingDirectory(), "scenes");
    taSetWorkingDirectory("");
}

TEST(TaFilePathTest, OverlongPathsAreRefusedNotCut)
{
    TaLogCapture log;
    taSetWorkingDirectory("work");
    const std::string longText(TA_PATH_BUFFER, 'd');
    taSetWorkingDirectory(longText.c_str());
    EXPECT_STREQ(taGetWorkingDirectory(), "work");
    taAppendWorkingDirectory(longText.c_str());
    EXPECT_STREQ(taGetWorkingDirectory(), "work");
    EXPECT_STREQ(taGetAbsolutePath(longText.c_str()), "");
    EXPECT_EQ(taFileExists(longText.c_str()), 0);
    taSetDataDirectory("data/");
    taSetDataDirectory(std::string(300, 'x').c_str());
    EXPECT_STREQ(taGetDataDirectory(), "data/");
    EXPECT_TRUE(log.contains("longer than"));
    taSetWorkingDirectory("");
    taSetDataDirectory("");
}

TEST_F(TaFileTest, SearchOrder)
{
    writeFile("shadersPP/Gamma.hlsl", "pp");
    writeFile("data/Gamma.hlsl", "data");
    writeFile("data/shadersHV/Volume.hlsl", "hv");
    writeFile("data/Only.txt", "only");
    writeFile("textures/wood.png", "wood");
    writeFile("shaders/wood.png", "shaders first");
    writeFile("Here.fx", "here");
    taSetDataDirectory((m_dir + "/data/").c_str());

    struct { const char* name; const char* content; } cases[] = {
        {"Here.fx", "here"},
        {"Gamma.hlsl", "pp"},
        {"wood.png", "shaders first"},
        {"Only.txt", "only"},
        {"Volume.hlsl", "hv"},
        // Written on Windows: backslashes and another case still find the file.
        {"Textures\\WOOD.png", "wood"},
        {"SHADERSPP\\gamma.HLSL", "pp"},
    };
    for (const auto& c : cases) {
        const char* found = taFindFile(c.name);
        STaFileBlock block = taReadWholeFile(found);
        ASSERT_TRUE(block.data) << c.name << " -> " << found;
        EXPECT_EQ(std::string(block.data.get(), block.size), c.content) << c.name << " -> " << found;
    }
    EXPECT_STREQ(taFindFile("missing.fx"), "missing.fx");
}

TEST_F(TaFileTest, StreamOperations)
{
    writeFile("lines.txt", "first line\nsecond\nlast");
    TaFilePtr f(tfile_open("lines.txt", "rb"));
    ASSERT_TRUE(f);
    char line[64];
    ASSERT_NE(tfile_gets(line, sizeof(line), f.get()), nullptr);
    EXPECT_STREQ(line, "first line\n");
    ASSERT_NE(tfile_gets(line, 4, f.get()), nullptr);
    EXPECT_STREQ(line, "sec");
    EXPECT_EQ(tfile_getc(f.get()), 'o');
    EXPECT_EQ(tfile_tell(f.get()), 15);
    EXPECT_EQ(tfile_seek(f.get(), -4, 2), 0);
    char tail[8] = {};
    EXPECT_EQ(tfile_read(tail, 1, 8, f.get()), 4u);
    EXPECT_STREQ(tail, "last");
    EXPECT_EQ(tfile_getc(f.get()), -1);
    EXPECT_EQ(tfile_gets(line, sizeof(line), f.get()), nullptr);
    EXPECT_EQ(tfile_seek(f.get(), 0, 3), -1);
    EXPECT_EQ(tfile_seek(f.get(), 6, 0), 0);
    EXPECT_EQ(tfile_read(tail, 2, 2, f.get()), 2u);
    EXPECT_EQ(std::string(tail, 4), "line");
}

TEST_F(TaFileTest, ReadWholeFileEndsWithAZeroByte)
{
    writeFile("a.txt", "abc");
    writeFile("empty.txt", "");
    STaFileBlock block = taReadWholeFile("a.txt");
    ASSERT_TRUE(block.data);
    EXPECT_EQ(block.size, 3u);
    EXPECT_EQ(block.data[3], 0);
    STaFileBlock empty = taReadWholeFile("empty.txt");
    ASSERT_TRUE(empty.data);
    EXPECT_EQ(empty.size, 0u);
    EXPECT_FALSE(taReadWholeFile("missing.txt").data);
    EXPECT_EQ(taFileExists("a.txt"), 1);
    EXPECT_EQ(taFileExists("missing.txt"), 0);
    EXPECT_EQ(taFileExists(""), 0);
}

TEST_F(TaFileTest, WorkingDirectoryPrefixesRelativeOpens)
{
    writeFile("demo/scene/a.tscn", "scene");
    taSetWorkingDirectory("demo");
    taAppendWorkingDirectory("scene");
    EXPECT_EQ(taFileExists("a.tscn"), 1);
    EXPECT_EQ(taFileExists("A.TSCN"), 1);
    EXPECT_EQ(taFileExists((m_dir + "/demo/scene/a.tscn").c_str()), 1);
}

tfile* refuseEverything(const char*, const char*, void* user)
{
    ++*static_cast<int*>(user);
    return nullptr;
}

TEST_F(TaFileTest, OpenHookReplacesTheLocalOpen)
{
    writeFile("a.txt", "abc");
    int calls = 0;
    taSetOpenHook(refuseEverything, &calls);
    EXPECT_EQ(taFileExists("a.txt"), 0);
    EXPECT_EQ(calls, 1);
    taClearFileHooks();
    EXPECT_EQ(taFileExists("a.txt"), 1);
}

} // namespace
