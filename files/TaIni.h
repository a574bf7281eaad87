// INI files (the setup file, demo scripts) read through the file layer, so they come from a
// mounted archive as readily as from disk.
#pragma once

#include <memory>
#include <string>

struct _dictionary_;
typedef struct _dictionary_ dictionary;

struct STaIniCloser {
    void operator()(dictionary* ini) const;
};
using TaIniPtr = std::unique_ptr<dictionary, STaIniCloser>;

// Loads and parses an INI file. nullptr when it cannot be read or does not parse; `error` then
// says why (the parser's own line-numbered complaint when it has one).
TaIniPtr taLoadIni(const char* path, std::string* error);
