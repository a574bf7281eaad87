// Fuzz target: DirectX .x meshes through the engine's reader, which lets Irrlicht's reader read a
// file only after a trial read in a child process went through. Whatever the child meets, this
// process must neither crash nor hang.
#include "nodes/TaMeshLoaderX.h"

#include <cstdint>

namespace {
// The null device lives for the whole run (held here so that leak checks see it as reachable).
irr::IrrlichtDevice* g_device = nullptr;
CTaMeshLoaderX* g_loader = nullptr;
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (!g_device) {
        irr::SIrrlichtCreationParameters parameters;
        parameters.DriverType = irr::video::EDT_NULL;
        parameters.LoggingLevel = irr::ELL_NONE;
        g_device = irr::createDeviceEx(parameters);
        g_loader = new CTaMeshLoaderX(g_device->getSceneManager());
    }
    irr::io::IReadFile* file = g_device->getFileSystem()->createMemoryReadFile(
        const_cast<uint8_t*>(data), static_cast<irr::s32>(size), "fuzz.x", false);
    // A short time limit: a file that takes the child this long counts as refused.
    irr::scene::IAnimatedMesh* mesh = g_loader->createMesh(file);
    if (mesh)
        mesh->drop();
    file->drop();
    return 0;
}
