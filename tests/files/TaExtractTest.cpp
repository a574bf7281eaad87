// -extract: what a packed scene writes back, and the archives it refuses.
#include "files/TaExtract.h"
#include "files/TaPackedData.h"

#include "core/TaLog.h"
#include "pack/TaArchiveWriter.h"
#include "pack/TaStamp.h"

#include "TaTestSupport.h"

#include <zip.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct STaEntry {
    std::string name;
    std::string content;
};

class TaExtractTest : public TaScratchTest
{
protected:
    // An archive written with libzip, entries as given (libzip takes names Info-ZIP would refuse).
    std::string makeArchive(const std::vector<STaEntry>& entries, bool symlinkLast = false)
    {
        const std::string path = m_dir + "/archive.zip";
        unlink(path.c_str());
        int error = 0;
        zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
        EXPECT_NE(archive, nullptr);
        for (size_t i = 0; i < entries.size(); ++i) {
            const auto& entry = entries[i];
            zip_source_t* source = zip_source_buffer(archive, entry.content.data(), entry.content.size(), 0);
            zip_int64_t index = zip_file_add(archive, entry.name.c_str(), source, ZIP_FL_ENC_RAW);
            EXPECT_GE(index, 0) << entry.name;
            zip_set_file_compression(archive, index, ZIP_CM_STORE, 0);
            if (symlinkLast && i + 1 == entries.size())
                zip_file_set_external_attributes(archive, index, 0, ZIP_OPSYS_UNIX, (S_IFLNK | 0777u) << 16);
        }
        EXPECT_EQ(zip_close(archive), 0);
        return readFile("archive.zip");
    }

    int extract(const std::string& archive)
    {
        return taExtractSceneArchive(archive.data(), archive.size(), m_dir.c_str());
    }

    // Every path below the scratch directory that extraction may have written, as text.
    std::string writtenFiles() const
    {
        std::string out;
        taTestRun("cd '" + m_dir + "' && find ExeExtract -type f 2>/dev/null | sort > listing.txt");
        return readFile("listing.txt");
    }

    std::vector<STaEntry> scene()
    {
        return {
            {"tarv.tscn", "scene"},
            {"city.x", "mesh"},
            {"wood.PNG", "png"},
            {"sky.jpg", "jpg"},
            {"README", "no extension"},
            {"textures/far.png", "in a folder"},
            {"scene_backup/", ""},
            {"scene_backup/City.lws", "lws"},
            {"scene_backup/objects/Tower.LWO", "lwo"},
            {"scene_backup/notes.txt", "txt"},
        };
    }
};

TEST_F(TaExtractTest, SceneFilesGoToTheirFolders)
{
    TaLogCapture log;
    ASSERT_EQ(extract(makeArchive(scene())), 0);
    EXPECT_EQ(writtenFiles(),
              "ExeExtract/Images/sky.jpg\n"
              "ExeExtract/Images/wood.PNG\n"
              "ExeExtract/Objects/Tower.LWO\n"
              "ExeExtract/Scenes/City.lws\n");
    EXPECT_EQ(readFile("ExeExtract/Objects/Tower.LWO"), "lwo");
    EXPECT_TRUE(log.contains("Extract File '" + m_dir + "/ExeExtract/Scenes/City.lws'\n"));
    // A second run overwrites in place.
    ASSERT_EQ(extract(makeArchive(scene())), 0);
}

TEST_F(TaExtractTest, WindowsSeparatorsInEntryNames)
{
    ASSERT_EQ(extract(makeArchive({{"tarv.tscn", "scene"}, {"scene_backup\\City.lws", "lws"}, {"scene_backup\\Tower.lwo", "lwo"}})), 0);
    EXPECT_EQ(readFile("ExeExtract/Scenes/City.lws"), "lws");
    EXPECT_EQ(readFile("ExeExtract/Objects/Tower.lwo"), "lwo");
}

TEST_F(TaExtractTest, OnlyAPackedSceneIsExtracted)
{
    TaLogCapture log;
    std::vector<STaEntry> demo = scene();
    demo.push_back({"tarv.demo.ini", "[demo]"});
    EXPECT_EQ(extract(makeArchive(demo)), -1);
    EXPECT_EQ(extract(makeArchive({{"tarv.tscn", "scene"}, {"wood.png", "png"}})), -1);
    EXPECT_FALSE(exists("ExeExtract"));
    EXPECT_TRUE(log.contains("Nothing to extract"));
}

TEST_F(TaExtractTest, CraftedNamesAreRefusedBeforeAnythingIsWritten)
{
    struct { const char* name; const char* reason; } cases[] = {
        {"../escape.png", "leaves the extraction folder"},
        {"scene_backup/../../escape.lws", "leaves the extraction folder"},
        {"scene_backup\\..\\..\\escape.lws", "leaves the extraction folder"},
        {"/tmp/escape.png", "absolute path"},
        {"C:/escape.png", "absolute path"},
        {"..", "leaves the extraction folder"},
    };
    for (const auto& c : cases) {
        TaLogCapture log;
        std::vector<STaEntry> entries = scene();
        entries.insert(entries.begin() + 1, {c.name, "evil"});
        EXPECT_EQ(extract(makeArchive(entries)), -1) << c.name;
        EXPECT_TRUE(log.contains(std::string("Refused archive entry '") + c.name + "': " + c.reason)) << c.name;
        EXPECT_FALSE(exists("ExeExtract")) << c.name;
        EXPECT_FALSE(exists("escape.png"));
        EXPECT_FALSE(exists("../escape.png"));
    }
}

TEST_F(TaExtractTest, SymlinksAreNeitherExtractedNorFollowed)
{
    TaLogCapture log;
    std::vector<STaEntry> entries = scene();
    entries.push_back({"link.png", "/etc/passwd"});
    EXPECT_EQ(extract(makeArchive(entries, true)), -1);
    EXPECT_TRUE(log.contains("Refused archive entry 'link.png': symbolic link"));

    // A symlink already sitting where a file would go is not written through.
    writeFile("outside.txt", "keep me");
    ASSERT_EQ(taTestRun("mkdir -p ExeExtract/Images && ln -s ../../outside.txt ExeExtract/Images/sky.jpg"), 0);
    EXPECT_EQ(extract(makeArchive(scene())), -1);
    EXPECT_TRUE(log.contains("Failed to write file " + m_dir + "/ExeExtract/Images/sky.jpg"));
    EXPECT_EQ(readFile("outside.txt"), "keep me");

    // Nor is a symlinked extraction folder.
    ASSERT_EQ(taTestRun("rm -rf ExeExtract && mkdir elsewhere && ln -s elsewhere ExeExtract"), 0);
    EXPECT_EQ(extract(makeArchive(scene())), -1);
    EXPECT_TRUE(log.contains("Failed to create directory " + m_dir + "/ExeExtract"));
    EXPECT_EQ(taTestRun("test -z \"$(ls elsewhere)\""), 0);
}

// Flips bytes of an archive's stored data or headers: whatever libzip then sees, nothing is written
// half and the failure is reported.
TEST_F(TaExtractTest, CorruptDataAndLyingSizesFail)
{
    const std::string marker = "LWSDATA-0123456789";
    std::vector<STaEntry> entries = scene();
    entries[7].content = marker;
    const std::string good = makeArchive(entries);

    // Bad CRC: the stored bytes of City.lws changed.
    std::string badCrc = good;
    size_t at = badCrc.find(marker);
    ASSERT_NE(at, std::string::npos);
    badCrc[at + 3] ^= 0x20;
    {
        TaLogCapture log;
        EXPECT_EQ(extract(badCrc), -1);
        EXPECT_TRUE(log.contains("Failed to extract file " + m_dir + "/ExeExtract/Scenes/City.lws"));
        EXPECT_FALSE(exists("ExeExtract/Scenes/City.lws"));
    }

    // Lying sizes: the uncompressed size in the central directory (offset 24 of its record).
    std::string lying = good;
    const std::string name = "scene_backup/City.lws";
    size_t central = lying.rfind(name);
    ASSERT_NE(central, std::string::npos);
    for (uint32_t lie : {5u, 500u, 0xFFFFFFF0u}) {
        std::string bytes = lying;
        size_t sizeField = central - 46 + 24;
        for (int i = 0; i < 4; ++i)
            bytes[sizeField + i] = static_cast<char>(lie >> (8 * i));
        TaLogCapture log;
        EXPECT_EQ(extract(bytes), -1) << lie;
        EXPECT_FALSE(exists("ExeExtract/Scenes/City.lws")) << lie;
    }

    // Not an archive at all.
    TaLogCapture log;
    EXPECT_EQ(extract("not a zip"), -1);
    EXPECT_TRUE(log.contains("Failed to open archive"));
}

TEST_F(TaExtractTest, FromAStampedExecutable)
{
    std::string archive = makeArchive(scene());
    writeFile("player", "body");
    ASSERT_EQ(taStampResource("player", "archive.zip", TA_RESOURCE_PACKED), 0);
    ASSERT_EQ(taExtractPackedScene("player"), 0);
    EXPECT_EQ(readFile("ExeExtract/Scenes/City.lws"), "lws");

    // A ".dat" archive is not extracted.
    TaLogCapture log;
    writeFile("other", "body");
    ASSERT_EQ(taTestRun("cp archive.zip other.dat"), 0);
    EXPECT_EQ(taExtractPackedScene("other"), -1);
    EXPECT_TRUE(log.contains("Failed to open archive"));
}

} // namespace
