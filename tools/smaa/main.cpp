// tarv_smaa_lookup DIRECTORY: writes the SMAA lookup images (AreaTexDX9.png, SearchTex.png) and
// their checksum file (SmaaLookup.sha256) into DIRECTORY and prints the checksum lines. The images
// are made by SmaaLookup.cpp; Irrlicht's null device writes the PNG files (RGBA, 8 bits a channel).
#include "SmaaLookup.h"

#include <irrlicht.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace irr;

namespace {

bool writePng(video::IVideoDriver* driver, const STaSmaaImage& image, const std::string& path)
{
    std::vector<u32> words(size_t(image.width) * image.height);
    for (size_t i = 0; i < words.size(); ++i) {
        const uint8_t* t = &image.rgba[i * 4];
        words[i] = video::SColor(t[3], t[0], t[1], t[2]).color;
    }
    video::IImage* picture = driver->createImageFromData(
        video::ECF_A8R8G8B8, core::dimension2du(u32(image.width), u32(image.height)), words.data(), false, false);
    if (!picture)
        return false;
    const bool written = driver->writeImageToFile(picture, path.c_str());
    picture->drop();
    return written;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "Usage: tarv_smaa_lookup DIRECTORY\n");
        return 2;
    }
    const std::string directory = std::string(argv[1]) + "/";
    SIrrlichtCreationParameters parameters;
    parameters.DriverType = video::EDT_NULL;
    parameters.LoggingLevel = ELL_NONE;
    IrrlichtDevice* device = createDeviceEx(parameters);
    if (!device) {
        std::fprintf(stderr, "tarv_smaa_lookup: no Irrlicht device\n");
        return 1;
    }
    struct {
        const char* file;
        STaSmaaImage image;
    } images[] = {{"AreaTexDX9.png", taSmaaAreaImage()}, {"SearchTex.png", taSmaaSearchImage()}};
    std::string checksums = "# SHA-256 of the decoded pixels (RGBA, 8 bits a channel, rows from the top) of the SMAA\n"
                            "# lookup images, as tarv_smaa_lookup makes them: FILE WIDTHxHEIGHT HEX.\n";
    int status = 0;
    for (const auto& entry : images) {
        if (!writePng(device->getVideoDriver(), entry.image, directory + entry.file)) {
            std::fprintf(stderr, "tarv_smaa_lookup: cannot write %s%s\n", directory.c_str(), entry.file);
            status = 1;
        }
        const std::string line = taSmaaChecksumLine(entry.file, entry.image);
        std::printf("%s\n", line.c_str());
        checksums += line + "\n";
    }
    device->drop();
    if (FILE* file = std::fopen((directory + "SmaaLookup.sha256").c_str(), "wb")) {
        std::fputs(checksums.c_str(), file);
        std::fclose(file);
    } else {
        std::fprintf(stderr, "tarv_smaa_lookup: cannot write %sSmaaLookup.sha256\n", directory.c_str());
        status = 1;
    }
    return status;
}
