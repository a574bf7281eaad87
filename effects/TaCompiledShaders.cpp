// The compiled shaders: memory, then the disk cache, then the translator.
#include "effects/TaCompiledShaders.h"

#include "core/TaLog.h"
#include "files/TaFile.h"

#include <algorithm>

namespace {

// The include search of one compile: the shader's directory first, then the directory of every
// include found, in the order they were found.
struct STaIncludeSearch {
    std::vector<std::string> directories;
    std::vector<std::string> opened;
};

std::string directoryOf(const std::string& path)
{
    std::string directory = taFileDirOf(path);
    if (directory.empty())
        return ".";
    directory.pop_back();
    return directory.empty() ? "/" : directory;
}

bool openInclude(const char* requested, const char*, std::string& content, std::string& resolved, void* user)
{
    auto* search = static_cast<STaIncludeSearch*>(user);
    taPrint(ETALOG_DEBUG, "TaGPU: ShaderIncludeCallback: FileName='%s'", requested);
    for (size_t i = 0; i < search->directories.size(); ++i) {
        const std::string path = search->directories[i] + "/" + requested;
        STaFileBlock block = taReadWholeFile(path.c_str());
        if (!block.data) {
            taPrint(ETALOG_DEBUG, "TaGPU: Include Not found: '%s'", path.c_str());
            continue;
        }
        taPrint(ETALOG_DEBUG, "TaGPU: Include found: '%s'", path.c_str());
        const std::string directory = directoryOf(path);
        if (std::find(search->directories.begin(), search->directories.end(), directory) == search->directories.end())
            search->directories.push_back(directory);
        search->opened.push_back(path);
        content.assign(block.data.get(), block.size);
        resolved = path;
        return true;
    }
    taPrint(ETALOG_ERROR, "TaGPU: ShaderIncludeCallback:Open FileName='%s' FAILED", requested);
    return false;
}

const char* stageName(bool isVertex) { return isVertex ? "Vertex" : "Pixel"; }

} // namespace

bool CTaCompiledShaderStore::Key::operator<(const Key& other) const
{
    if (isVertex != other.isVertex)
        return !isVertex; // pixel shaders first
    if (file != other.file)
        return file < other.file;
    if (entryPoint != other.entryPoint)
        return entryPoint < other.entryPoint;
    if (macros.size() != other.macros.size())
        return macros.size() < other.macros.size();
    return macros < other.macros;
}

STaShaderCacheKey CTaCompiledShaderStore::cacheKey(const SShaderCompiledEntry& entry) const
{
    return STaShaderCacheKey{entry.file, entry.entryPoint, entry.isVertex, entry.macros};
}

bool CTaCompiledShaderStore::compileShader(SShaderCompiledEntry& entry, std::string* error)
{
    auto builtIn = m_builtIns.find(entry.file);
    STaFileBlock block;
    if (builtIn == m_builtIns.end())
        block = taReadWholeFile(entry.file.c_str());
    if (builtIn == m_builtIns.end() && !block.data) {
        if (error)
            *error = "Shader file " + entry.file + " not found";
        else
            taPrint(ETALOG_ERROR, "TaGPU: Shader file not found %s", entry.file.c_str());
        return false;
    }
    STaIncludeSearch search;
    search.directories.push_back(directoryOf(entry.file));
    STaShaderRequest request;
    if (builtIn != m_builtIns.end())
        request.source = builtIn->second;
    else
        request.source.assign(block.data.get(), block.size);
    request.fileName = entry.file;
    request.entryPoint = entry.entryPoint;
    request.stage = entry.isVertex ? ETASHADERSTAGE_VERTEX : ETASHADERSTAGE_PIXEL;
    for (const SShaderMacro& macro : entry.macros)
        request.macros.emplace_back(macro.name, macro.value);
    request.include = openInclude;
    request.includeUser = &search;
    taPrint(ETALOG_DEBUG, "TaGPU: compile shader %s", entry.file.c_str());
    const STaShaderTranslation translation = m_translator.translate(request);
    if (!translation.ok) {
        if (error)
            *error = std::string("Failed to Compile ") + stageName(entry.isVertex) + " shader " + entry.file + "\n" +
                     translation.error;
        else
            taPrint(ETALOG_ERROR, "TaGPU: Failed to Compile %s shader %s\n%s", stageName(entry.isVertex),
                    entry.file.c_str(), translation.error.c_str());
        return false;
    }
    entry.blob = translation.code;
    entry.constants = translation.constants;
    entry.samplers = translation.samplers;
    // Dependencies: what the translation opened, and the file itself.
    entry.includes = search.opened;
    entry.includes.push_back(entry.file);
    for (std::string& path : entry.includes)
        path = taNormalizeSlashes(path);
    std::sort(entry.includes.begin(), entry.includes.end());
    entry.includes.erase(std::unique(entry.includes.begin(), entry.includes.end()), entry.includes.end());
    return true;
}

const SShaderCompiledEntry* CTaCompiledShaderStore::getCompiledShader(const std::string& file,
                                                                      const std::string& entryPoint, bool isVertex,
                                                                      int target,
                                                                      const std::vector<SShaderMacro>& macros,
                                                                      std::string* error)
{
    std::vector<SShaderMacro> sorted = macros;
    taSortMacros(sorted);
    const Key key{isVertex, file, entryPoint, sorted};
    auto found = m_entries.find(key);
    if (found != m_entries.end()) {
        taPrint(ETALOG_DEBUG, "TaGPU: Found already compiled shader %s %s", file.c_str(), stageName(isVertex));
        if (!found->second->blob.empty())
            return found->second.get();
        const char* text = "TaGPU: Found compiled shader but Buffer is NULL !!!!! ";
        if (error)
            *error = text;
        else
            taPrint(ETALOG_ERROR, "%s", text);
    }
    auto entry = std::make_unique<SShaderCompiledEntry>();
    entry->isVertex = isVertex;
    entry->file = file;
    entry->entryPoint = entryPoint;
    entry->macros = sorted;
    entry->target = target;
    std::string cached;
    std::vector<std::string> includes;
    if (isBuiltIn(file)) {
        if (!compileShader(*entry, error))
            return nullptr;
    } else if (m_cache.read(cacheKey(*entry), m_translator.tag(), cached, includes) &&
        m_translator.readReflection(cached, entry->constants, entry->samplers)) {
        entry->blob = cached;
        entry->includes = includes;
    } else {
        if (!compileShader(*entry, error))
            return nullptr;
        m_cache.write(cacheKey(*entry), entry->blob);
    }
    entry->id = ++m_idCounter;
    SShaderCompiledEntry* result = entry.get();
    m_entries[key] = std::move(entry);
    return result;
}

bool CTaCompiledShaderStore::recompileShaders(const std::vector<std::string>& changedPaths, std::vector<int>& recompiled,
                                              std::string& error)
{
    recompiled.clear();
    error.clear();
    for (auto& item : m_entries) {
        SShaderCompiledEntry& entry = *item.second;
        const bool depends = std::any_of(changedPaths.begin(), changedPaths.end(), [&](const std::string& path) {
            return std::find(entry.includes.begin(), entry.includes.end(), path) != entry.includes.end();
        });
        if (!depends)
            continue;
        taPrint(ETALOG_INFO, "TaGPU: recompile %s (%s)...", entry.file.c_str(), stageName(entry.isVertex));
        // Compile into a copy, so that a failure keeps the old code in use.
        SShaderCompiledEntry fresh = entry;
        std::string text;
        if (compileShader(fresh, &text)) {
            entry = std::move(fresh);
            recompiled.push_back(entry.id);
            m_cache.write(cacheKey(entry), entry.blob);
        } else {
            error += "Failed to compile " + entry.file + "\n" + text + "\n";
        }
    }
    return true;
}

const SShaderCompiledEntry* CTaCompiledShaderStore::entryById(int id) const
{
    for (const auto& item : m_entries)
        if (item.second->id == id)
            return item.second.get();
    return nullptr;
}

std::vector<STaShaderCacheKey> CTaCompiledShaderStore::cacheKeys() const
{
    std::vector<STaShaderCacheKey> keys;
    for (const auto& item : m_entries)
        keys.push_back(cacheKey(*item.second));
    return keys;
}
