// Fuzz target: the setup file and the command line. The input's first line is a command line
// (arguments separated by blanks); the rest is the setup file.
#include "app/TaCommandLine.h"
#include "core/TaLog.h"
#include "app/TaSetup.h"
#include "files/TaFile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
void quiet(const char*, void*) {}
void quietBox(const char*, const char*, void*) {}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    taSetLogSink(quiet, nullptr);
    taSetMessageBoxHandler(quietBox, nullptr);
    std::string input(reinterpret_cast<const char*>(data), size);
    const size_t newline = input.find('\n');
    const std::string line = input.substr(0, newline);
    const std::string ini = newline == std::string::npos ? std::string() : input.substr(newline + 1);

    std::vector<std::string> words{"tarv"};
    std::istringstream stream(line);
    for (std::string word; stream >> word;)
        words.push_back(word);
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back(&word[0]);
    argv.push_back(nullptr);
    STaCommandLine commandLine = taDefaultCommandLine();
    taParseOptions(static_cast<int>(words.size()), argv.data(), &commandLine);
    taClassifyFile(commandLine.file);

    static const std::string path = [] {
        char pattern[] = "/tmp/tarv-fuzz-setup-XXXXXX";
        std::string directory = mkdtemp(pattern) ? pattern : "/tmp";
        return directory + "/tarv-setup.ini";
    }();
    FILE* file = fopen(path.c_str(), "wb");
    if (!file)
        return 0;
    fwrite(ini.data(), 1, ini.size(), file);
    fclose(file);
    STaSetupParams params;
    if (taReadSetup(path.c_str(), nullptr, &commandLine.screenMode, false, &params, commandLine.driver,
                    commandLine.audio) == 0) {
        if (params.width <= 0 || params.height <= 0)
            abort();
    }
    taSetLogLevel(ETALOG_INFO);
    taEnableMessageBoxes();
    return 0;
}
