// The file layer on the Irrlicht file system of a null device: streams, archives and mounting.
#include "files/TaFile.h"
#include "files/TaFileIrr.h"

#include "core/TaLog.h"
#include "pack/TaArchiveWriter.h"

#include "TaTestSupport.h"

#include <irrlicht.h>

namespace {

using namespace irr;

class TaFileIrrTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        SIrrlichtCreationParameters params;
        params.DriverType = video::EDT_NULL;
        params.LoggingLevel = ELL_NONE;
        m_device = createDeviceEx(params);
        ASSERT_NE(m_device, nullptr);
    }
    void TearDown() override
    {
        TaScratchTest::TearDown();
        if (m_device)
            m_device->drop();
    }
    io::IFileSystem* fileSystem() { return m_device->getFileSystem(); }

    std::string contentOf(const char* path)
    {
        STaFileBlock block = taReadWholeFile(path);
        return block.data ? std::string(block.data.get(), block.size) : std::string("<missing>");
    }

    // A scene folder zipped by Info-ZIP, as a demo maker would.
    void makeInfoZipArchive(const char* archive)
    {
        writeFile("content/Scenes/City.tscn", "city");
        writeFile("content/shadersPP/Gamma.hlsl", "gamma from archive");
        writeFile("content/tarv.demo.ini", "[demo]\n");
        ASSERT_EQ(taTestRun(std::string("cd content && zip -q -r ../") + archive + " ."), 0);
    }

    IrrlichtDevice* m_device = nullptr;
};

TEST_F(TaFileIrrTest, DiskStreamsBehaveLikeStdio)
{
    writeFile("lines.txt", "first line\nlast");
    ASSERT_EQ(taReapplyFilesystem(fileSystem()), 0);
    EXPECT_FALSE(taIsArchiveMode());

    TaFilePtr f(tfile_open("lines.txt", "rb"));
    ASSERT_TRUE(f);
    char line[64];
    ASSERT_NE(tfile_gets(line, sizeof(line), f.get()), nullptr);
    EXPECT_STREQ(line, "first line\n");
    EXPECT_EQ(tfile_getc(f.get()), 'l');
    EXPECT_EQ(tfile_seek(f.get(), 0, 2), 0);
    EXPECT_EQ(tfile_tell(f.get()), 15);
    EXPECT_EQ(tfile_getc(f.get()), -1);
    EXPECT_EQ(tfile_gets(line, sizeof(line), f.get()), nullptr);
    EXPECT_EQ(tfile_seek(f.get(), -2, 1), 0);
    char tail[4] = {};
    // Items, not bytes, whichever back end reads.
    EXPECT_EQ(tfile_read(tail, 2, 1, f.get()), 1u);
    EXPECT_STREQ(tail, "st");
    testing::internal::CaptureStdout();
    EXPECT_EQ(tfile_seek(f.get(), 0, 7), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "tfile_irr_fseek: unsupported whence\n");

    EXPECT_EQ(contentOf("LINES.TXT"), "first line\nlast");
    EXPECT_STREQ(taGetFileDir("a/b.x"), "a/");
    EXPECT_STREQ(taGetFileName("a\\b.x", 0), "b");
}

TEST_F(TaFileIrrTest, ArchiveRecordedBeforeTheDeviceIsMountedWithIt)
{
    makeInfoZipArchive("pack.zip");
    writeFile("disk-only.txt", "on disk");
    ASSERT_EQ(taMountArchiveFile("pack.zip"), 0);
    EXPECT_EQ(taGetFilesystemMode(), ETAFS_ARCHIVE_FILE);
    // Until the device exists, files come from disk.
    EXPECT_EQ(taFileExists("tarv.demo.ini"), 0);

    ASSERT_EQ(taReapplyFilesystem(fileSystem()), 0);
    EXPECT_TRUE(taIsArchiveMode());
    EXPECT_EQ(contentOf("Scenes/City.tscn"), "city");
    EXPECT_EQ(contentOf("scenes/city.TSCN"), "city");
    EXPECT_EQ(contentOf("Scenes\\City.tscn"), "city");
    EXPECT_EQ(contentOf("disk-only.txt"), "on disk");
    EXPECT_EQ(contentOf("tarv.demo.ini"), "[demo]\n");
    EXPECT_EQ(contentOf(taFindFile("Gamma.hlsl")), "gamma from archive");
}

TEST_F(TaFileIrrTest, ProjectArchiveMountsFromMemoryOnceTheDeviceExists)
{
    {
        CTaArchiveWriter writer;
        ASSERT_TRUE(writer.open("made.zip"));
        ASSERT_TRUE(writer.addMemory("tarv.tscn", "scene", 5));
        ASSERT_TRUE(writer.addMemory("textures/Wood.png", "png!", 4));
        ASSERT_TRUE(writer.close()) << writer.error();
    }
    STaFileBlock archive = taReadWholeFile("made.zip");
    ASSERT_TRUE(archive.data);

    taReapplyFilesystem(fileSystem());
    TaLogCapture log;
    ASSERT_EQ(taMountArchiveMemory(archive.data.get(), archive.size), 0);
    EXPECT_EQ(taGetFilesystemMode(), ETAFS_ARCHIVE_MEMORY);
    EXPECT_TRUE(log.contains("setup filesystem irrzip"));
    EXPECT_EQ(contentOf("tarv.tscn"), "scene");
    EXPECT_EQ(contentOf(taFindFile("wood.png")), "png!");
}

// A packed demo moves into its parts' folders: with an archive mounted, a working directory is a
// folder of the archive, and relative names are looked for there first (meshes and images name
// their files relative to their scene).
TEST_F(TaFileIrrTest, ArchiveFoldersServeAsWorkingDirectories)
{
    {
        CTaArchiveWriter writer;
        ASSERT_TRUE(writer.open("demo.zip"));
        ASSERT_TRUE(writer.addMemory("tarv.demo.ini", "demo", 4));
        ASSERT_TRUE(writer.addMemory("city/city.tscn", "city scene", 10));
        ASSERT_TRUE(writer.addMemory("city/Objects/block.obj", "block", 5));
        ASSERT_TRUE(writer.addMemory("sign/sign.tscn", "sign scene", 10));
        ASSERT_TRUE(writer.addMemory("block.obj", "root block", 10));
        ASSERT_TRUE(writer.close()) << writer.error();
    }
    STaFileBlock archive = taReadWholeFile("demo.zip");
    ASSERT_TRUE(archive.data);
    taReapplyFilesystem(fileSystem());
    ASSERT_EQ(taMountArchiveMemory(archive.data.get(), archive.size), 0);
    struct Case {
        const char* directory;
        const char* name;
        const char* content;
    };
    const Case cases[] = {
        {".", "tarv.demo.ini", "demo"},
        {"./city", "city.tscn", "city scene"},
        {"./city", "Objects/block.obj", "block"},
        {"./city", "block.obj", "root block"},       // not in the folder: from the root
        {"./sign", "../city/city.tscn", "city scene"}, // up and back down inside the archive
        {"./sign", "../../city/city.tscn", "<missing>"}, // above the archive's root
        {"/", "city/city.tscn", "city scene"},
        {"./city", "/city/city.tscn", "<missing>"},    // an absolute name is a disk name
    };
    for (const Case& c : cases) {
        taSetWorkingDirectory(c.directory);
        EXPECT_EQ(contentOf(c.name), c.content) << c.directory << " " << c.name;
    }
}

TEST_F(TaFileIrrTest, FailedMountsLeaveTheModeAndSayWhy)
{
    taReapplyFilesystem(fileSystem());
    TaLogCapture log;
    EXPECT_EQ(taMountArchiveFile("missing.zip"), -1);
    EXPECT_TRUE(log.contains("taSetupFilesystem: Failed addFileArchive 'missing.zip'"));
    const char garbage[] = "this is not a zip archive at all";
    EXPECT_EQ(taMountArchiveMemory(garbage, sizeof(garbage)), -1);
    EXPECT_TRUE(log.contains("taSetupFilesystem: Failed addFileArchive from memory"));
    EXPECT_FALSE(taIsArchiveMode());
    EXPECT_EQ(taGetFilesystemMode(), ETAFS_DEFAULT);
}

TEST_F(TaFileIrrTest, BackEndSelectionIsLogged)
{
    TaLogCapture log;
    taSetupFilesystemStdio();
    EXPECT_TRUE(log.contains("INFO : setup filesystem stdio"));
    taReapplyFilesystem(fileSystem());
    EXPECT_TRUE(log.contains("INFO : setup filesystem irrstd"));
}

} // namespace
