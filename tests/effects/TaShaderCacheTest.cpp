// The compiled-shader cache: names, hash, macro order, the include scan, reading and writing.
#include "effects/TaShaderCache.h"

#include "core/TaLog.h"

#include "TaTestSupport.h"

#include <algorithm>

namespace {

std::string codeOf(const std::string& text)
{
    unsigned char digest[20];
    taHash160(text.data(), text.size(), 0, digest);
    std::string code;
    EXPECT_TRUE(taBase32(digest, 20, code));
    return code;
}

TEST(TaShaderCacheNameTest, HashAndNames)
{
    EXPECT_EQ(codeOf(""), "3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P");
    EXPECT_EQ(codeOf("abc"), "1BB9DTD5P5NK6RWRB6VTYBRA3JFZSH2R");
    // Every tail length goes through its own branch; the codes must all differ.
    std::vector<std::string> codes;
    for (const char* text : {"a", "ab", "abcd", "abcde", "abcdef", "abcdefg"})
        codes.push_back(codeOf(text));
    std::sort(codes.begin(), codes.end());
    EXPECT_EQ(std::unique(codes.begin(), codes.end()), codes.end());
    std::string out;
    EXPECT_FALSE(taBase32(reinterpret_cast<const unsigned char*>("abcd"), 4, out));

    EXPECT_EQ(taShaderCacheName("shaders/water.hlsl", "vertexMain", true, {}),
              "shaders!water!vertexMain!3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P.vso");
    EXPECT_EQ(taShaderCacheName("water.hlsl", "ps_main", false, {}), ".!water!ps_main!3ZVJB5AZ5AKM63EVB1PCZVS9VHG93B7P.pso");
    EXPECT_EQ(taShaderCacheName("C:\\demo\\shadersSURF\\glass.fx", "vs", true, {}).substr(0, 19), "shadersSURF!glass!v");
}

TEST(TaShaderCacheNameTest, MacrosInAnyOrderGiveOneName)
{
    const char* a[] = {"USE_TEX", "1", "USE_BUMP", nullptr, "USE_TEX", "0", "USE", "x", nullptr, nullptr};
    const char* b[] = {"USE", "x", "USE_TEX", "1", "USE_TEX", "0", "USE_BUMP", "", nullptr, nullptr};
    const std::vector<SShaderMacro> ma = taMacroList(a);
    const std::vector<SShaderMacro> mb = taMacroList(b);
    EXPECT_EQ(ma, mb);
    EXPECT_EQ(taMacroText(ma), "USE x~USE_BUMP ~USE_TEX 0~USE_TEX 1~");
    EXPECT_EQ(taShaderCacheName("s/a.hlsl", "vs", true, ma), taShaderCacheName("s/a.hlsl", "vs", true, mb));
    EXPECT_NE(taShaderCacheName("s/a.hlsl", "vs", true, ma), taShaderCacheName("s/a.hlsl", "vs", true, {}));
    EXPECT_EQ(taMacroText({}), "");
}

class TaShaderCacheTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        writeFile("shaders/water.hlsl", "#include \"common.h\"\n// #include \"commented.h\"\nfloat4 x;\n#include \"sub\\inner.h\"");
        writeFile("shaders/common.h", "#include \"sub/inner.h\"\n");
        writeFile("shaders/commented.h", "");
        writeFile("shaders/sub/inner.h", "#include \"deep.h\"\n#include no quotes\n");
        writeFile("shaders/sub/deep.h", "// nothing\n");
        taTestRun("mkdir -p cache");
        m_cache.setDirectory("cache", ETACACHE_READ | ETACACHE_CHECK | ETACACHE_WRITE);
        m_key.file = "shaders/water.hlsl";
        m_key.entryPoint = "vs_main";
        m_key.isVertex = true;
        const char* macros[] = {"USE_FOG", "1", nullptr, nullptr};
        m_key.macros = taMacroList(macros);
    }
    CTaShaderCache m_cache;
    STaShaderCacheKey m_key;
};

TEST_F(TaShaderCacheTest, IncludeScan)
{
    std::vector<std::string> list;
    taGetShaderIncludes("shaders/water.hlsl", 4, list);
    std::sort(list.begin(), list.end());
    // The commented directive counts; the one on the last line without a break does not.
    EXPECT_EQ(list, (std::vector<std::string>{"shaders/commented.h", "shaders/common.h", "shaders/sub/deep.h",
                                              "shaders/sub/inner.h"}));
    std::vector<std::string> shallow;
    taGetShaderIncludes("shaders/water.hlsl", 0, shallow);
    EXPECT_EQ(shallow.size(), 2u);
}

TEST_F(TaShaderCacheTest, WriteThenReadBack)
{
    const std::string tag = "// TaGLSL 1";
    std::string blob;
    std::vector<std::string> includes;
    EXPECT_FALSE(m_cache.read(m_key, tag, blob, includes));
    ASSERT_TRUE(m_cache.write(m_key, tag + "\nvoid main() {}\n"));
    EXPECT_EQ(readFile(m_cache.pathOf(m_key) + ".inf"), "USE_FOG 1~");
    ASSERT_TRUE(m_cache.read(m_key, tag, blob, includes));
    EXPECT_EQ(blob, tag + "\nvoid main() {}\n");
    EXPECT_EQ(includes.front(), "shaders/commented.h");
    EXPECT_NE(std::find(includes.begin(), includes.end(), "shaders/water.hlsl"), includes.end());

    // Another translator's blob is a miss.
    EXPECT_FALSE(m_cache.read(m_key, "// TaGLSL 2", blob, includes));
    EXPECT_FALSE(m_cache.read(m_key, "// TaGLSL", blob, includes));

    // No macros: an empty info file.
    STaShaderCacheKey plain = m_key;
    plain.macros.clear();
    ASSERT_TRUE(m_cache.write(plain, tag + "\n"));
    EXPECT_EQ(readFile(m_cache.pathOf(plain) + ".inf"), "");
}

TEST_F(TaShaderCacheTest, ConflictsStalenessAndFlags)
{
    const std::string tag = "// TaGLSL 1";
    ASSERT_TRUE(m_cache.write(m_key, tag + "\n"));
    std::string blob;
    std::vector<std::string> includes;

    // The info file does not match the request: ignored with the conflict warning.
    writeFile(m_cache.pathOf(m_key) + ".inf", "USE_FOG 2~");
    {
        TaLogCapture log;
        EXPECT_FALSE(m_cache.read(m_key, tag, blob, includes));
        EXPECT_TRUE(log.contains("TaGPU: WARNING ! Conflict in Shader Cache on"));
        EXPECT_TRUE(log.contains("Cached Macros : 'USE_FOG 2~' ; New Macros 'USE_FOG 1~'"));
    }
    ASSERT_TRUE(m_cache.write(m_key, tag + "\n"));

    // An include newer than the cache file: stale with checking, still used without.
    ASSERT_EQ(taTestRun("touch -d '2000-01-01' '" + m_cache.pathOf(m_key) + "'"), 0);
    EXPECT_FALSE(m_cache.read(m_key, tag, blob, includes));
    m_cache.setDirectory("cache", ETACACHE_READ);
    EXPECT_TRUE(m_cache.read(m_key, tag, blob, includes));
    EXPECT_FALSE(m_cache.write(m_key, tag + "\n")); // not write enabled
    m_cache.setDirectory("", ETACACHE_READ | ETACACHE_WRITE);
    EXPECT_FALSE(m_cache.read(m_key, tag, blob, includes));
    EXPECT_FALSE(m_cache.write(m_key, tag + "\n"));
    EXPECT_EQ(m_cache.pathOf(m_key), "");

    // A cache directory that cannot be written: the write fails, nothing else does.
    m_cache.setDirectory("no/such/dir", ETACACHE_WRITE);
    TaLogCapture log;
    EXPECT_FALSE(m_cache.write(m_key, tag + "\n"));
    EXPECT_TRUE(log.contains("cannot be write"));
}

} // namespace
