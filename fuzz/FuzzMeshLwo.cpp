// Fuzz target: the LightWave object reader on arbitrary bytes, with a null driver for the images
// the surfaces name.
#include "nodes/TaMeshLoaderLwo.h"

#include <irrlicht.h>

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static irr::IrrlichtDevice* device = [] {
        irr::IrrlichtDevice* created = irr::createDevice(irr::video::EDT_NULL);
        // Every missing image would be logged otherwise.
        created->getLogger()->setLogLevel(irr::ELL_NONE);
        return created;
    }();
    std::string error;
    // A directory that does not exist: only names given in full reach the image loaders.
    CTaMesh* mesh = taReadLwoMesh(data, size, device->getVideoDriver(), "fuzz-lwo-images", error);
    if (mesh)
        mesh->drop();
    return 0;
}
