// The compiled-shader cache.
#include "effects/TaShaderCache.h"

#include "core/TaLog.h"
#include "files/TaFile.h"
#include "platform/TaPlatform.h"

#include <algorithm>
#include <cstring>

bool operator<(const SShaderMacro& a, const SShaderMacro& b)
{
    // std::string compares by unsigned character code, a prefix first.
    const int byName = a.name.compare(b.name);
    return byName != 0 ? byName < 0 : a.value.compare(b.value) < 0;
}

bool operator==(const SShaderMacro& a, const SShaderMacro& b) { return a.name == b.name && a.value == b.value; }

void taSortMacros(std::vector<SShaderMacro>& macros) { std::stable_sort(macros.begin(), macros.end()); }

std::vector<SShaderMacro> taMacroList(const char* const* pairs)
{
    std::vector<SShaderMacro> macros;
    for (const char* const* p = pairs; p && p[0]; p += 2)
        macros.push_back(SShaderMacro{p[0], p[1] ? p[1] : ""});
    taSortMacros(macros);
    return macros;
}

std::string taMacroText(const std::vector<SShaderMacro>& macros)
{
    std::string text;
    for (const SShaderMacro& macro : macros)
        text += macro.name + " " + macro.value + "~";
    return text;
}

void taHash160(const void* data, size_t length, uint32_t seed, unsigned char out[20])
{
    static const uint32_t m[5] = {0x5bd1e995u, 0x19d699a5u, 0xb11924e1u, 0x16118b03u, 0x53c93455u};
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    const uint32_t s = seed ^ uint32_t(length);
    uint32_t h[5] = {s, s ^ m[1], s ^ m[2], s ^ m[3], s ^ m[4]};
    size_t i = 0;
    for (; i + 4 <= length; i += 4) {
        uint32_t k = uint32_t(bytes[i]) | uint32_t(bytes[i + 1]) << 8 | uint32_t(bytes[i + 2]) << 16 |
                     uint32_t(bytes[i + 3]) << 24;
        k *= m[0];
        k ^= k >> 24;
        k *= m[0];
        h[0] = h[0] * m[0] ^ k ^ h[1];
        h[1] = h[1] * m[1] ^ k ^ h[2];
        h[2] = h[2] * m[2] ^ k ^ h[3];
        h[3] = h[3] * m[3] ^ k ^ h[4];
        h[4] = h[4] * m[4] ^ k ^ h[0];
    }
    const size_t r = length % 4;
    if (r == 3)
        for (uint32_t& lane : h)
            lane ^= uint32_t(bytes[i + 2]) << 16;
    if (r >= 2)
        for (uint32_t& lane : h)
            lane ^= uint32_t(bytes[i + 1]) << 8;
    if (r >= 1)
        for (int j = 0; j < 5; ++j)
            h[j] = (h[j] ^ bytes[i]) * m[j];
    uint32_t f[5];
    for (int j = 0; j < 5; ++j) {
        uint32_t x = h[j];
        x ^= x >> 13;
        x *= m[j];
        x ^= x >> 15;
        f[j] = x;
    }
    const uint32_t words[5] = {f[0] ^ f[1] ^ f[2] ^ f[3] ^ f[4], f[0] ^ f[1], f[0] ^ f[2], f[0] ^ f[3], f[0] ^ f[4]};
    for (int w = 0; w < 5; ++w)
        for (int b = 0; b < 4; ++b)
            out[w * 4 + b] = static_cast<unsigned char>(words[w] >> (8 * b));
}

bool taBase32(const unsigned char* data, size_t length, std::string& out)
{
    static const char alphabet[] = "123456789ABCDEFGHJKMNPQRSTUVWXYZ";
    out.clear();
    if (length % 5 != 0)
        return false;
    for (size_t g = 0; g < length; g += 5) {
        uint64_t value = 0;
        for (int b = 0; b < 5; ++b)
            value = value << 8 | data[g + b];
        for (int c = 7; c >= 0; --c)
            out += alphabet[(value >> (5 * c)) & 31];
    }
    return true;
}

std::string taShaderCacheName(const std::string& file, const std::string& entryPoint, bool isVertex,
                              const std::vector<SShaderMacro>& macros)
{
    std::string dir = taFileDirOf(file);
    if (!dir.empty())
        dir.pop_back(); // the separator the directory ends with
    else
        dir = ".";
    const size_t slash = dir.find_last_of("/\\");
    if (slash != std::string::npos)
        dir = dir.substr(slash + 1);
    const std::string base = taFileNameOf(file, false);
    const std::string text = taMacroText(macros);
    unsigned char digest[20];
    taHash160(text.data(), text.size(), 0, digest);
    std::string code;
    if (!taBase32(digest, sizeof(digest), code)) {
        taPrint(ETALOG_ERROR, "TaGPU: Failed to encode base32");
        code.assign(32, 'X');
    }
    return dir + "!" + base + "!" + entryPoint + "!" + code + (isVertex ? ".vso" : ".pso");
}

void taGetShaderIncludes(const std::string& file, int depth, std::vector<std::string>& list)
{
    STaFileBlock block = taReadWholeFile(file.c_str());
    if (!block.data) {
        taPrint(ETALOG_ERROR, "TaGPU: getShaderIncludes:read file '%s' FAILED", file.c_str());
        return;
    }
    const std::string text(block.data.get(), block.size);
    std::string directory = taFileDirOf(file);
    if (directory.empty())
        directory = "./";
    std::vector<std::string> found;
    size_t at = 0;
    while ((at = text.find("#include", at)) != std::string::npos) {
        const size_t lineEnd = text.find_first_of("\r\n", at);
        const size_t start = at;
        at += 8;
        if (lineEnd == std::string::npos)
            continue; // the last line without a line break is not followed
        const size_t open = text.find('"', start);
        const size_t close = open == std::string::npos ? open : text.find('"', open + 1);
        if (open == std::string::npos || close == std::string::npos || close > lineEnd)
            continue;
        std::string path = taNormalizeSlashes(directory.substr(0, directory.size() - 1) + "/" +
                                              text.substr(open + 1, close - open - 1));
        if (std::find(list.begin(), list.end(), path) == list.end())
            list.push_back(path);
        found.push_back(path);
    }
    if (depth != 0)
        for (const std::string& path : found)
            taGetShaderIncludes(path, depth - 1, list);
}

void CTaShaderCache::setDirectory(const std::string& directory, int flags)
{
    m_directory = directory;
    m_flags = flags;
}

std::string CTaShaderCache::pathOf(const STaShaderCacheKey& key) const
{
    if (m_directory.empty())
        return std::string();
    return m_directory + "/" + taShaderCacheName(key.file, key.entryPoint, key.isVertex, key.macros);
}

bool CTaShaderCache::upToDate(const std::string& path, const std::vector<std::string>& includes) const
{
    STaFileStamp cached;
    if (!taPlatformFileStamp(path.c_str(), &cached)) {
        taPrint(ETALOG_ERROR, "TaGPU: failed to stat '%s'", path.c_str());
        return false;
    }
    bool fresh = true;
    for (const std::string& include : includes) {
        STaFileStamp stamp;
        if (!taPlatformFileStamp(include.c_str(), &stamp)) {
            taPrint(ETALOG_ERROR, "TaGPU: failed to stat file '%s'", include.c_str());
            continue;
        }
        if (stamp.modifiedNs > cached.modifiedNs) {
            taPrint(ETALOG_DEBUG, "TaGPU: file '%s' more recent", include.c_str());
            fresh = false;
        }
    }
    taPrint(ETALOG_DEBUG, fresh ? "TaGPU: '%s' is up to date" : "TaGPU: '%s' not up to date against shader files",
            path.c_str());
    return fresh;
}

bool CTaShaderCache::read(const STaShaderCacheKey& key, const std::string& tag, std::string& blob,
                          std::vector<std::string>& includes) const
{
    if (!(m_flags & ETACACHE_READ) || m_directory.empty()) {
        taPrint(ETALOG_DEBUG, "TaGPU: Cache not read enabled");
        return false;
    }
    const std::string path = pathOf(key);
    taPrint(ETALOG_DEBUG, "TaGPU: Read from cache = '%s'", path.c_str());
    if (!taFileExists(path.c_str())) {
        taPrint(ETALOG_DEBUG, "TaGPU: File does not exist in the cache '%s'", path.c_str());
        return false;
    }
    const std::string info = path + ".inf";
    STaFileBlock stored = taReadWholeFile(info.c_str());
    if (!stored.data) {
        taPrint(ETALOG_ERROR, "TaGPU: isCachedShaderMatch:read file '%s' FAILED", info.c_str());
        return false;
    }
    const std::string macroText = taMacroText(key.macros);
    if (std::string(stored.data.get(), stored.size) != macroText) {
        taPrint(ETALOG_WARN, "TaGPU: WARNING ! Conflict in Shader Cache on '%s' : Cached Macros : '%s' ; New Macros '%s'",
                path.c_str(), std::string(stored.data.get(), stored.size).c_str(), macroText.c_str());
        return false;
    }
    includes.clear();
    taGetShaderIncludes(key.file, 4, includes);
    includes.push_back(taNormalizeSlashes(key.file));
    std::sort(includes.begin(), includes.end());
    if ((m_flags & ETACACHE_CHECK) && !upToDate(path, includes))
        return false;
    STaFileBlock code = taReadWholeFile(path.c_str());
    if (!code.data) {
        taPrint(ETALOG_ERROR, "TaGPU: Cached Compiled Shader cannot be opened '%s'", path.c_str());
        return false;
    }
    blob.assign(code.data.get(), code.size);
    // Code from another translator (or another version of it) is stale.
    if (blob.compare(0, tag.size(), tag) != 0 || (blob.size() > tag.size() && blob[tag.size()] != '\n')) {
        taPrint(ETALOG_DEBUG, "TaGPU: '%s' was made by another translator", path.c_str());
        blob.clear();
        return false;
    }
    return true;
}

bool CTaShaderCache::write(const STaShaderCacheKey& key, const std::string& blob) const
{
    if (!(m_flags & ETACACHE_WRITE) || m_directory.empty()) {
        taPrint(ETALOG_DEBUG, "TaGPU: Cache not write enabled");
        return false;
    }
    const std::string path = pathOf(key);
    taPrint(ETALOG_DEBUG, "TaGPU: Write to cache '%s'", path.c_str());
    // A demo folder without its cache folder gets one, rather than compiling on every run.
    if (taPlatformPathKind(m_directory.c_str()) == ETAPATH_MISSING)
        taPlatformMakeDirectory(m_directory.c_str());
    // Whole files or none: a reader never sees half a blob.
    if (!taPlatformWriteFileAtomic(path.c_str(), blob.data(), blob.size())) {
        taPrint(ETALOG_ERROR, "TaGPU: Cached Compiled Shader file cannot be write %s", path.c_str());
        return false;
    }
    const std::string text = taMacroText(key.macros);
    if (!taPlatformWriteFileAtomic((path + ".inf").c_str(), text.data(), text.size())) {
        taPrint(ETALOG_ERROR, "TaGPU: Cached Shader Info cannot be write %s", (path + ".inf").c_str());
        return false;
    }
    return true;
}
