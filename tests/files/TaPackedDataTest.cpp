// Packed data: scrambling, the trailer, stamping and finding it again.
#include "files/TaPackedData.h"

#include "core/TaLog.h"
#include "pack/TaStamp.h"

#include "TaTestSupport.h"

#include <cstring>
#include <vector>

namespace {

class TaPackedDataTest : public TaScratchTest
{
};

TEST(TaScrambleTest, RoundTripsAndLeavesTheTailUntouched)
{
    for (size_t size = 0; size <= 9; ++size) {
        std::vector<unsigned char> original(size);
        for (size_t i = 0; i < size; ++i)
            original[i] = static_cast<unsigned char>(0x10 * i + 3);
        std::vector<unsigned char> block = original;
        taScrambleResource(block.data(), size);
        const size_t whole = size - size % 4;
        for (size_t i = 0; i < size; ++i) {
            // The key's little-endian bytes are 'T', 'A', 'R', 'V'.
            const unsigned char key = "TARV"[i % 4];
            EXPECT_EQ(block[i], i < whole ? (original[i] ^ key) : original[i]) << "size " << size << " byte " << i;
        }
        taScrambleResource(block.data(), size);
        EXPECT_EQ(block, original) << "size " << size;
    }
}

TEST(TaTrailerTest, OnlyATrailerThatFitsTheFileCounts)
{
    STaPackTrailer good;
    good.resourceNumber = 500;
    good.offset = 1000;
    good.size = 200;
    const uint64_t fileSize = 1000 + 200 + TA_PACK_TRAILER_SIZE;
    unsigned char bytes[TA_PACK_TRAILER_SIZE];
    taEncodePackTrailer(good, bytes);
    STaPackTrailer decoded;
    ASSERT_TRUE(taDecodePackTrailer(bytes, fileSize, &decoded));
    EXPECT_EQ(decoded.resourceNumber, 500);
    EXPECT_EQ(decoded.offset, 1000u);
    EXPECT_EQ(decoded.size, 200u);

    struct { const char* what; uint64_t offset, size, fileSize; int magicByte; } cases[] = {
        {"archive does not end at the trailer", 999, 200, fileSize, -1},
        {"size larger than the file", 0, fileSize, fileSize, -1},
        {"size wraps the offset", 1200, UINT64_MAX - 100, fileSize, -1},
        {"offset past the end", UINT64_MAX, 200, fileSize, -1},
        {"file smaller than a trailer", 0, 0, TA_PACK_TRAILER_SIZE - 1, -1},
        {"wrong magic", 1000, 200, fileSize, 0},
        {"wrong version", 1000, 200, fileSize, 12},
    };
    for (const auto& c : cases) {
        STaPackTrailer bad = good;
        bad.offset = c.offset;
        bad.size = c.size;
        taEncodePackTrailer(bad, bytes);
        if (c.magicByte >= 0)
            bytes[c.magicByte] ^= 0xFF;
        EXPECT_FALSE(taDecodePackTrailer(bytes, c.fileSize, &decoded)) << c.what;
    }
}

TEST_F(TaPackedDataTest, StampLoadAndRestamp)
{
    writeFile("player", "#!executable body#");
    writeFile("first.zip", "PK-first-archive-of-odd-size");
    writeFile("second.zip", "PK-second");
    EXPECT_EQ(taHasPackedData("player"), 0);
    EXPECT_FALSE(taLoadPackedResource("player", TA_RESOURCE_PACKED).data);

    ASSERT_EQ(taStampResource("player", "first.zip", TA_RESOURCE_PACKED), 0);
    EXPECT_EQ(taHasPackedData("player"), 1);
    std::string stamped = readFile("player");
    EXPECT_EQ(stamped.substr(0, 18), "#!executable body#");
    // Stored scrambled, not as plain text.
    EXPECT_EQ(stamped.find("first-archive"), std::string::npos);
    STaFileBlock block = taLoadPackedResource("player", TA_RESOURCE_PACKED);
    ASSERT_TRUE(block.data);
    EXPECT_EQ(std::string(block.data.get(), block.size), "PK-first-archive-of-odd-size");
    EXPECT_FALSE(taLoadPackedResource("player", TA_RESOURCE_SHADERS).data);

    // Stamping again replaces the archive; the executable body stays once.
    ASSERT_EQ(taStampResource("player", "second.zip", TA_RESOURCE_PACKED), 0);
    EXPECT_EQ(readFile("player").size(), 18 + 9 + TA_PACK_TRAILER_SIZE);
    block = taLoadPackedResource("player", TA_RESOURCE_PACKED);
    EXPECT_EQ(std::string(block.data.get(), block.size), "PK-second");

    // The shader set lives beside the demo: stamping one replaces only that one.
    writeFile("shaders.zip", "PK-shader-set");
    ASSERT_EQ(taStampResource("player", "shaders.zip", TA_RESOURCE_SHADERS), 0);
    EXPECT_EQ(taHasPackedData("player"), 1);
    auto text = [](const STaFileBlock& b) { return b.data ? std::string(b.data.get(), b.size) : std::string("<none>"); };
    EXPECT_EQ(text(taLoadPackedResource("player", TA_RESOURCE_PACKED)), "PK-second");
    EXPECT_EQ(text(taLoadPackedResource("player", TA_RESOURCE_SHADERS)), "PK-shader-set");
    ASSERT_EQ(taStampResource("player", "first.zip", TA_RESOURCE_PACKED), 0);
    EXPECT_EQ(text(taLoadPackedResource("player", TA_RESOURCE_PACKED)), "PK-first-archive-of-odd-size");
    EXPECT_EQ(text(taLoadPackedResource("player", TA_RESOURCE_SHADERS)), "PK-shader-set");
    const std::vector<STaPackTrailer> resources = taReadPackTrailers("player");
    ASSERT_EQ(resources.size(), 2u);
    EXPECT_EQ(resources[0].resourceNumber, TA_RESOURCE_SHADERS);
    EXPECT_EQ(resources[0].offset, 18u);
    EXPECT_EQ(resources[1].resourceNumber, TA_RESOURCE_PACKED);
    EXPECT_EQ(readFile("player").size(), 18 + 13 + 28 + 2 * TA_PACK_TRAILER_SIZE);
    EXPECT_EQ(readFile("player").substr(0, 18), "#!executable body#");

    // A copy that carries only the shader set has no packed demo.
    writeFile("other", "#!executable body#");
    ASSERT_EQ(taStampResource("other", "shaders.zip", TA_RESOURCE_SHADERS), 0);
    EXPECT_EQ(taHasPackedData("other"), 0);
    EXPECT_FALSE(taLoadPackedResource("other", TA_RESOURCE_PACKED).data);
}

// A file stamped in the single-resource form (one archive, one trailer) reads as before; a trailer
// chain is followed only while each trailer fits where the next archive begins.
TEST_F(TaPackedDataTest, SingleResourceFilesAndBrokenChains)
{
    std::string body = "#!old engine#";
    std::string archive = "PK-old-archive";
    std::vector<unsigned char> scrambled(archive.begin(), archive.end());
    taScrambleResource(scrambled.data(), scrambled.size());
    STaPackTrailer trailer;
    trailer.resourceNumber = TA_RESOURCE_PACKED;
    trailer.offset = body.size();
    trailer.size = scrambled.size();
    unsigned char bytes[TA_PACK_TRAILER_SIZE];
    taEncodePackTrailer(trailer, bytes);
    writeFile("old", body + std::string(scrambled.begin(), scrambled.end()) +
                         std::string(reinterpret_cast<char*>(bytes), sizeof(bytes)));
    STaFileBlock block = taLoadPackedResource("old", TA_RESOURCE_PACKED);
    ASSERT_TRUE(block.data);
    EXPECT_EQ(std::string(block.data.get(), block.size), archive);
    EXPECT_EQ(taReadPackTrailers("old").size(), 1u);

    // Garbage before the last archive is no trailer: only the last resource counts.
    writeFile("junk", std::string(64, 'x') + "junk");
    writeFile("shaders.zip", "PK-shaders");
    ASSERT_EQ(taStampResource("junk", "shaders.zip", TA_RESOURCE_SHADERS), 0);
    EXPECT_EQ(taReadPackTrailers("junk").size(), 1u);
    EXPECT_EQ(taReadPackTrailers("missing-file").size(), 0u);
}

TEST_F(TaPackedDataTest, StampFailuresAreReported)
{
    TaLogCapture log;
    writeFile("player", "body");
    EXPECT_EQ(taStampResource("player", "missing.zip", TA_RESOURCE_PACKED), -1);
    EXPECT_TRUE(log.contains("Failed to read  missing.zip"));
    writeFile("a.zip", "PK");
    EXPECT_EQ(taStampResource("no-such-exe", "a.zip", TA_RESOURCE_PACKED), -1);
    EXPECT_TRUE(log.contains("Failed to BeginUpdate no-such-exe"));
    EXPECT_EQ(readFile("player"), "body");
}

TEST_F(TaPackedDataTest, DatFileBesideTheExecutable)
{
    struct { const char* executable; const char* datFile; } cases[] = {
        {"bin/demo.exe", "bin/demo.dat"},
        {"bin/tarv", "bin/tarv.dat"},
        {"bin/my.demo.player", "bin/my.demo.dat"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(taPackedDataFileOf(c.executable), c.datFile);
        writeFile(c.executable, "exe");
        EXPECT_EQ(taHasPackedData(c.executable), 0) << c.executable;
        writeFile(c.datFile, "PK");
        EXPECT_EQ(taHasPackedData(c.executable), 1) << c.executable;
    }
}

} // namespace
