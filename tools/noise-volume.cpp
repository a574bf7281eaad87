// Writes the engine's noise volume, "NoiseVolume.dds" (a tileable 64 x 64 x 64 volume of 8-bit
// periodic gradient noise, see particles/TaCurlNoise.h), into the folder given: the file committed as
// data/textures/NoiseVolume.dds, from which the engine makes its curl-noise volume.
// Usage: tarv_noise_volume DIRECTORY
#include "particles/TaCurlNoise.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: tarv_noise_volume DIRECTORY\n");
        return 2;
    }
    const std::vector<uint8_t> file = taNoiseVolumeDds(64);
    const std::string path = std::string(argv[1]) + "/NoiseVolume.dds";
    FILE* out = fopen(path.c_str(), "wb");
    if (!out || fwrite(file.data(), 1, file.size(), out) != file.size() || fclose(out) != 0) {
        fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }
    printf("%s: %zu bytes\n", path.c_str(), file.size());
    return 0;
}
