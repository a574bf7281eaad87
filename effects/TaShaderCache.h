// The compiled-shader cache: sorted macro lists, the cache file names (hash160 of the macro text in
// base32), the include scan, the up-to-date check, and reading and writing cache files. The GPU
// programming services build on it; it needs no device.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One preprocessor macro; an absent value is the empty string.
struct SShaderMacro {
    std::string name;
    std::string value;
};
bool operator<(const SShaderMacro& a, const SShaderMacro& b);
bool operator==(const SShaderMacro& a, const SShaderMacro& b);

// A sorted macro list from (name, value) C-string pairs ended by a null name; a null value is "".
std::vector<SShaderMacro> taMacroList(const char* const* pairs);
// Sorts by name, then value, by character code (a prefix first); duplicates stay.
void taSortMacros(std::vector<SShaderMacro>& macros);
// "name value~" for each macro in order ("name ~" for an empty value); "" for none.
std::string taMacroText(const std::vector<SShaderMacro>& macros);

// The 160-bit hash of the cache names: five 32-bit lanes, written as 20 little-endian bytes.
void taHash160(const void* data, size_t length, uint32_t seed, unsigned char out[20]);
// Base32 with the alphabet "123456789ABCDEFGHJKMNPQRSTUVWXYZ", 5 bytes to 8 characters; false when
// the length is not a multiple of 5.
bool taBase32(const unsigned char* data, size_t length, std::string& out);

// The cache file name of a request: dir!base!entry!code.vso or .pso, where dir is the last
// component of the file's directory and code the base32 hash160 of the macro text.
std::string taShaderCacheName(const std::string& file, const std::string& entryPoint, bool isVertex,
                              const std::vector<SShaderMacro>& macros);

// Adds to `list` every file `file` includes ("#include \"name\"", resolved beside the including file,
// "\" read as "/"), following includes `depth` more levels.
void taGetShaderIncludes(const std::string& file, int depth, std::vector<std::string>& list);

// Cache flags.
enum ETaShaderCacheFlags {
    ETACACHE_READ = 1,  // cached code may be read
    ETACACHE_CHECK = 2, // ... only when newer than every file it depends on
    ETACACHE_WRITE = 4, // newly compiled code is written
};

// What a cache lookup is for.
struct STaShaderCacheKey {
    std::string file;
    std::string entryPoint;
    bool isVertex = true;
    std::vector<SShaderMacro> macros; // sorted
};

class CTaShaderCache
{
public:
    // An empty directory disables the cache both ways.
    void setDirectory(const std::string& directory, int flags);
    const std::string& directory() const { return m_directory; }
    int flags() const { return m_flags; }

    // The path of a key's cache file ("" when the cache is off).
    std::string pathOf(const STaShaderCacheKey& key) const;

    // A cached blob that matches the key's macros, whose first line is `tag`, and (with
    // ETACACHE_CHECK) that is newer than the shader file and every file it includes. `includes`
    // receives the dependency list, sorted. False on a miss.
    bool read(const STaShaderCacheKey& key, const std::string& tag, std::string& blob,
              std::vector<std::string>& includes) const;
    // Writes the blob and its ".inf" macro text. False when the cache is off or a write fails.
    bool write(const STaShaderCacheKey& key, const std::string& blob) const;

private:
    bool upToDate(const std::string& path, const std::vector<std::string>& includes) const;

    std::string m_directory;
    int m_flags = 0;
};
