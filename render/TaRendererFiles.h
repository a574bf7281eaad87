// The effect files and images the built-in renderers expect beside the engine, with their roles.
#pragma once

#include <string>
#include <vector>

enum ETaRendererFileNeed {
    ETARENDERERFILE_STARTUP,  // start-up fails without it
    ETARENDERERFILE_CURLNOISE, // needed only when there is no curl-noise cache
    ETARENDERERFILE_EMITTER,  // only the emitter operations that ask for it fail
    ETARENDERERFILE_OPTIONAL,
};

struct STaRendererFile {
    const char* name;
    const char* role;
    ETaRendererFileNeed need;
};

// Every file, in the order start-up looks for them; ends with a nullptr name.
extern const STaRendererFile taRendererFiles[];

// Where taFindFile finds each file ("" when it is missing), in table order.
std::vector<std::string> taLocateRendererFiles();
