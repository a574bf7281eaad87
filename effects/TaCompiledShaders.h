// The compiled shaders of the GPU programming services: one entry per (stage, file, entry point,
// macro set), filled from the disk cache or by the translator, and recompiled when a file they
// depend on changes. The material types built from pairs of entries live in the services.
#pragma once

#include "effects/TaShaderCache.h"
#include "driver/TaShaderTranslator.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

// One compiled shader. The compile target is not part of the key: requests that differ only in
// the target share one entry (the first target wins).
struct SShaderCompiledEntry {
    int id = -1; // -1 until compiled; then 1, 2, ... never reused
    bool isVertex = true;
    std::string file;
    std::string entryPoint;
    std::vector<SShaderMacro> macros; // sorted
    int target = 0;
    std::vector<std::string> includes; // the file and everything it includes, "/" separated, sorted
    std::string blob;                  // the translated code; empty when absent
    std::vector<STaShaderConstant> constants;
    std::vector<STaShaderSampler> samplers;
};

class CTaCompiledShaderStore
{
public:
    // `translator` must outlive the store.
    explicit CTaCompiledShaderStore(ITaShaderTranslator& translator) : m_translator(translator) {}

    // The cache directory and flags (an empty directory turns the cache off).
    void setCacheDirectory(const std::string& directory, int flags) { m_cache.setDirectory(directory, flags); }
    const CTaShaderCache& cache() const { return m_cache; }

    // The entry for a request, from memory, the cache or the translator; nullptr when the shader
    // cannot be compiled. With `error`, failure texts go there instead of the log.
    const SShaderCompiledEntry* getCompiledShader(const std::string& file, const std::string& entryPoint, bool isVertex,
                                                  int target, const std::vector<SShaderMacro>& macros,
                                                  std::string* error = nullptr);

    // Recompiles every entry whose includes hold one of `changedPaths` (exact match). The ids of the
    // entries recompiled go to `recompiled`; failures (the old code stays in use) are gathered in
    // `error`. Always true.
    bool recompileShaders(const std::vector<std::string>& changedPaths, std::vector<int>& recompiled, std::string& error);

    const SShaderCompiledEntry* entryById(int id) const;

    // Shaders the engine carries in its own code (the built-in loading shader), requested under a
    // name like a file. They bypass the disk cache: there is no file to check them against.
    void setBuiltInSource(const std::string& name, const std::string& source) { m_builtIns[name] = source; }
    bool isBuiltIn(const std::string& name) const { return m_builtIns.count(name) != 0; }
    size_t size() const { return m_entries.size(); }
    // The cache keys of the entries held now, in the store's order.
    std::vector<STaShaderCacheKey> cacheKeys() const;

private:
    struct Key {
        bool isVertex;
        std::string file, entryPoint;
        std::vector<SShaderMacro> macros;
        bool operator<(const Key& other) const;
    };

    bool compileShader(SShaderCompiledEntry& entry, std::string* error);
    STaShaderCacheKey cacheKey(const SShaderCompiledEntry& entry) const;

    ITaShaderTranslator& m_translator;
    CTaShaderCache m_cache;
    std::map<Key, std::unique_ptr<SShaderCompiledEntry>> m_entries;
    std::map<std::string, std::string> m_builtIns;
    int m_idCounter = 0;
};
