// DirectX .x meshes: a trial read in a child process, then Irrlicht's reader.
#include "nodes/TaMeshLoaderX.h"

#include "platform/TaPlatform.h"

#include <vector>

using namespace irr;

CTaMeshLoaderX::CTaMeshLoaderX(scene::ISceneManager* sceneManager) : m_sceneManager(sceneManager) {}

bool CTaMeshLoaderX::isALoadableFileExtension(const io::path& filename) const
{
    return core::hasFileExtension(filename, "x");
}

bool CTaMeshLoaderX::trialRead(const void* data, size_t size, const char* name, std::string& failure, int timeoutMs)
{
    std::string answer;
    const bool ended = taPlatformRunIsolated(
        [&]() -> std::string {
            SIrrlichtCreationParameters params;
            params.DriverType = video::EDT_NULL;
            params.LoggingLevel = ELL_NONE;
            IrrlichtDevice* device = createDeviceEx(params);
            if (!device)
                return "no device";
            io::IReadFile* file = device->getFileSystem()->createMemoryReadFile(const_cast<void*>(data),
                                                                                 static_cast<s32>(size), name, false);
            scene::IAnimatedMesh* mesh = file ? device->getSceneManager()->getMesh(file) : nullptr;
            const bool read = mesh && mesh->getMesh(0) && mesh->getMesh(0)->getMeshBufferCount() > 0;
            // The child leaves without cleaning up: the process is gone a moment later.
            return read ? "read" : "refused";
        },
        answer, failure, timeoutMs);
    if (!ended)
        return false;
    if (answer != "read") {
        failure = answer == "refused" ? "found no mesh in it" : "could not start its trial read";
        return false;
    }
    return true;
}

scene::IMeshLoader* CTaMeshLoaderX::irrlichtLoader() const
{
    // The built-in readers come first in the list; this loader was added after them.
    for (u32 i = 0; i < m_sceneManager->getMeshLoaderCount(); ++i) {
        scene::IMeshLoader* loader = m_sceneManager->getMeshLoader(i);
        if (loader != this && loader->isALoadableFileExtension("a.x"))
            return loader;
    }
    return nullptr;
}

scene::IAnimatedMesh* CTaMeshLoaderX::createMesh(io::IReadFile* file)
{
    m_lastError.clear();
    scene::IMeshLoader* reader = irrlichtLoader();
    if (!file || !reader) {
        m_lastError = "no .x reader";
        return nullptr;
    }
    const long size = file->getSize();
    if (size <= 0) {
        m_lastError = "the file is empty";
        return nullptr;
    }
    std::string data(static_cast<size_t>(size), 0);
    file->seek(0);
    if (file->read(&data[0], static_cast<u32>(size)) != static_cast<s32>(size)) {
        m_lastError = "the file could not be read";
        return nullptr;
    }
    // "xof 0303" then the format: "txt ", "bin ", or the compressed "tzip" and "bzip", which
    // Irrlicht's reader does not read.
    if (data.size() >= 12 && data.compare(0, 4, "xof ") == 0 &&
        (data.compare(8, 4, "tzip") == 0 || data.compare(8, 4, "bzip") == 0)) {
        m_lastError = "compressed .x files are not read: export it as text or binary";
        return nullptr;
    }
    std::string failure;
    if (!trialRead(data.data(), data.size(), file->getFileName().c_str(), failure)) {
        m_lastError = "the .x reader " + failure;
        return nullptr;
    }
    file->seek(0);
    scene::IAnimatedMesh* mesh = reader->createMesh(file);
    if (!mesh)
        m_lastError = "the .x reader found no mesh in it";
    return mesh;
}
