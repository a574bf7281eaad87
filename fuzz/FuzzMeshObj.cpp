// Fuzz target: the Wavefront OBJ reader. Every material library the input names is the input
// itself, served from memory, so one input reaches both the OBJ and the MTL statements and the
// real disk is never read. Images are left out (no driver): they are Irrlicht's loaders' business.
#include "nodes/TaMeshLoaderObj.h"

#include <cstdint>
#include <string>

namespace {

const uint8_t* g_input = nullptr;
size_t g_inputSize = 0;

// An archive that answers every name with the current input.
class CTaFuzzInputArchive : public irr::io::IFileArchive
{
public:
    explicit CTaFuzzInputArchive(irr::io::IFileSystem* fileSystem)
        : m_fileSystem(fileSystem), m_list(fileSystem->createEmptyFileList("", true, true))
    {
    }
    ~CTaFuzzInputArchive() override { m_list->drop(); }

    irr::io::IReadFile* createAndOpenFile(const irr::io::path& filename) override
    {
        return m_fileSystem->createMemoryReadFile(const_cast<uint8_t*>(g_input), irr::s32(g_inputSize), filename, false);
    }
    irr::io::IReadFile* createAndOpenFile(irr::u32) override { return nullptr; }
    const irr::io::IFileList* getFileList() const override { return m_list; }

private:
    irr::io::IFileSystem* m_fileSystem;
    irr::io::IFileList* m_list;
};

// The null device lives for the whole run (held here so that leak checks see it as reachable).
irr::IrrlichtDevice* g_device = nullptr;

irr::io::IFileSystem* fuzzFileSystem()
{
    if (!g_device) {
        irr::SIrrlichtCreationParameters parameters;
        parameters.DriverType = irr::video::EDT_NULL;
        parameters.LoggingLevel = irr::ELL_NONE;
        g_device = irr::createDeviceEx(parameters);
        // Irrlicht 1.8 does not grab an archive added this way: this reference keeps it for the run.
        g_device->getFileSystem()->addFileArchive(new CTaFuzzInputArchive(g_device->getFileSystem()));
    }
    return g_device->getFileSystem();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    irr::io::IFileSystem* fileSystem = fuzzFileSystem();
    g_input = data;
    g_inputSize = size;
    std::string error;
    CTaMesh* mesh = taReadObjMesh(data, size, fileSystem, nullptr, "fuzz", error);
    if (mesh)
        mesh->drop();
    return 0;
}
