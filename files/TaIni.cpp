// INI files through the file layer. iniparser only reads named files, so the bytes read through
// the layer are handed to it as an in-memory file.
#include "files/TaIni.h"

#include "files/TaFile.h"
#include "platform/TaPlatform.h"

#include <iniparser.h>

#include <cstdarg>
#include <cstdio>

namespace {

std::string g_parserError;

int collectParserError(const char* format, ...)
{
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof(text), format, args);
    va_end(args);
    if (g_parserError.size() < 4096)
        g_parserError += text;
    return 0;
}

} // namespace

void STaIniCloser::operator()(dictionary* ini) const
{
    if (ini)
        iniparser_freedict(ini);
}

TaIniPtr taLoadIni(const char* path, std::string* error)
{
    STaFileBlock block = taReadWholeFile(path);
    if (!block.data) {
        if (error)
            *error = std::string("cannot read '") + path + "'";
        return nullptr;
    }
    std::string name;
    int fd = taPlatformOpenMemoryFile(block.data.get(), block.size, name);
    if (fd < 0) {
        if (error)
            *error = "cannot make an in-memory file";
        return nullptr;
    }
    g_parserError.clear();
    iniparser_set_error_callback(collectParserError);
    dictionary* ini = iniparser_load(name.c_str());
    iniparser_set_error_callback(nullptr);
    taPlatformCloseMemoryFile(fd);
    if (!ini && error) {
        std::string detail = g_parserError;
        // The parser names the in-memory file; name the real one instead.
        for (size_t at; (at = detail.find(name)) != std::string::npos;)
            detail.replace(at, name.size(), path);
        while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r'))
            detail.pop_back();
        *error = detail.empty() ? std::string("'") + path + "' does not parse" : detail;
    }
    return TaIniPtr(ini);
}
