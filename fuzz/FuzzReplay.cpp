// Replays saved inputs through a fuzz target without libFuzzer, so that a normal or sanitizer
// build runs the seeds and every input that once crashed: FuzzXxxReplay FILE|DIRECTORY...
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {
int replayFile(const std::string& path)
{
    FILE* file = fopen(path.c_str(), "rb");
    if (!file) {
        fprintf(stderr, "cannot open '%s'\n", path.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    fclose(file);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    int inputs = 0, failures = 0;
    for (int i = 1; i < argc; ++i) {
        struct stat info;
        if (stat(argv[i], &info) != 0) {
            fprintf(stderr, "cannot open '%s'\n", argv[i]);
            return 1;
        }
        if (!S_ISDIR(info.st_mode)) {
            failures += replayFile(argv[i]);
            ++inputs;
            continue;
        }
        DIR* directory = opendir(argv[i]);
        if (!directory)
            return 1;
        while (dirent* entry = readdir(directory)) {
            if (entry->d_name[0] == '.')
                continue;
            failures += replayFile(std::string(argv[i]) + "/" + entry->d_name);
            ++inputs;
        }
        closedir(directory);
    }
    printf("replayed %d inputs\n", inputs);
    return failures == 0 && inputs > 0 ? 0 : 1;
}
