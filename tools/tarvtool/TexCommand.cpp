// tarvtool tex FILE [-volume|-r32f|-nomips]: the texture the engine's texture manager makes of a
// file on the null driver (the same checks as on OpenGL, without pixels): its kind, size, storage,
// mip levels, cube faces and volume depth, or the manager's messages when it makes none.
// tarvtool tex gen RandRot|RandVec OUT: writes a generated texture as a picture (by extension).
#include "tools/tarvtool/TexCommand.h"

#include "tools/tarvtool/Headless.h"

#include "core/TaLog.h"
#include "driver/TaDdsReader.h"
#include "driver/TaTexture.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "files/TaFile.h"
#include "nodes/TaTextureManager.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

using namespace irr;

namespace {

int usage()
{
    fprintf(stderr, "usage: tarvtool tex FILE [-volume|-r32f|-nomips]\n"
                    "       tarvtool tex gen RandRot|RandVec OUT.png\n");
    return 2;
}

const char* formatName(video::ECOLOR_FORMAT format)
{
    switch (format) {
    case video::ECF_A1R5G5B5: return "A1R5G5B5";
    case video::ECF_R5G6B5: return "R5G6B5";
    case video::ECF_R8G8B8: return "R8G8B8";
    case video::ECF_A8R8G8B8: return "A8R8G8B8";
    case video::ECF_R32F: return "R32F";
    case video::ECF_A16B16G16R16F: return "A16B16G16R16F";
    case video::ECF_A32B32G32R32F: return "A32B32G32R32F";
    default: return "other";
    }
}

u32 chain(u32 side)
{
    u32 levels = 1;
    for (; side > 1; side /= 2)
        ++levels;
    return levels;
}

int generate(int argc, char** argv)
{
    if (argc != 4)
        return usage();
    SIrrlichtCreationParameters creation;
    creation.DriverType = video::EDT_NULL;
    creation.LoggingLevel = ELL_WARNING;
    IrrlichtDevice* device = createDeviceEx(creation);
    if (!device)
        return 1;
    video::IVideoDriver* driver = device->getVideoDriver();
    video::IImage* image = taCreateGeneratedImage(driver, argv[2]);
    int status = 0;
    if (!image) {
        fprintf(stderr, "tarvtool: '%s' is not a generated texture: RandRot or RandVec\n", argv[2]);
        status = 1;
    } else {
        if (!driver->writeImageToFile(image, argv[3])) {
            fprintf(stderr, "tarvtool: cannot write '%s' (the extension chooses the format: .png, .bmp, ...)\n", argv[3]);
            status = 1;
        } else {
            const core::dimension2du size = image->getDimension();
            printf("%s: %u x %u A8R8G8B8 written to %s\n", argv[2], size.Width, size.Height, argv[3]);
        }
        image->drop();
    }
    device->drop();
    return status;
}

} // namespace

int texCommand(int argc, char** argv)
{
    if (argc >= 2 && strcmp(argv[1], "gen") == 0)
        return generate(argc, argv);
    if (argc < 2 || argc > 3)
        return usage();
    const std::string option = argc == 3 ? argv[2] : "";
    if (!option.empty() && option != "-volume" && option != "-r32f" && option != "-nomips")
        return usage();
    const char* file = argv[1];

    if (!taToolStartEngine())
        return 1;
    CTaTextureManager* manager = taGetManager()->getTextureManager();
    video::IVideoDriver* driver = taEngine().videoDriver;
    const bool mipMaps = option != "-nomips";

    std::string faces[6];
    const bool faceNames = taCubeFaceFiles(file, faces);
    if (faceNames) {
        int found = 0;
        for (const std::string& face : faces)
            found += taEngine().device->getFileSystem()->existFile(face.c_str()) ? 1 : 0;
        printf("cube faces: %s ... %s, %d of 6 found\n", faces[0].c_str(), faces[5].c_str(), found);
    }
    video::ITexture* texture = option == "-volume" ? manager->getVolumeTexture(file)
                               : option == "-r32f" ? manager->getR32FTexture(file)
                                                   : manager->getTextureOrCube(file, mipMaps);
    int status = 0;
    if (!texture) {
        fprintf(stderr, "tarvtool: no texture made of '%s'%s\n", file,
                taFileExists(file) ? "" : " (the file is not found)");
        status = 1;
    } else if (auto* own = dynamic_cast<CTaTexture*>(texture)) {
        static const char* const kinds[] = {"2D", "cube", "volume"};
        printf("texture: %s\nkind: %s\nsize: %u x %u", own->getName().getPath().c_str(), kinds[own->getKind()],
               own->getSize().Width, own->getSize().Height);
        if (own->getKind() == ETATEXKIND_VOLUME)
            printf(" x %u", own->getDepth());
        printf("\nstorage: %s\nmip levels: %u\n", own->getStorage().c_str(), own->getLevels());
    } else {
        // One of Irrlicht's textures: the null driver keeps no size, so the picture tells it.
        video::IImage* image = driver->createImageFromFile(file);
        const core::dimension2du size = image ? image->getDimension() : core::dimension2du();
        printf("texture: %s\nkind: 2D\nsize: %u x %u\nstorage: %s\nmip levels: %u\n",
               texture->getName().getPath().c_str(), size.Width, size.Height,
               image ? formatName(image->getColorFormat()) : "unknown",
               mipMaps ? chain(std::max(size.Width, size.Height)) : 1u);
        if (image)
            image->drop();
    }
    taShutdown();
    return status;
}
