// The engine's mesh readers.
#include "nodes/TaMeshLoaders.h"

#include "nodes/TaMeshLoaderLwo.h"
#include "nodes/TaMeshLoaderObj.h"
#include "nodes/TaMeshLoaderX.h"

using namespace irr;

void taAddMeshLoaders(scene::ISceneManager* sceneManager)
{
    if (!sceneManager)
        return;
    video::IVideoDriver* driver = sceneManager->getVideoDriver();
    // The scene manager keeps one reference to each loader added.
    scene::IMeshLoader* loaders[] = {
        new CTaMeshLoaderX(sceneManager),
        new CTaMeshLoaderObj(sceneManager->getFileSystem(), driver),
        new CTaMeshLoaderLwo(driver),
    };
    for (scene::IMeshLoader* loader : loaders) {
        sceneManager->addExternalMeshLoader(loader);
        loader->drop();
    }
}

namespace {
// The engine's reader for a file name and its last refusal, or nullptr.
scene::IMeshLoader* engineLoader(scene::ISceneManager* sceneManager, const io::path& file, std::string** lastError)
{
    for (u32 i = sceneManager->getMeshLoaderCount(); i-- > 0;) {
        scene::IMeshLoader* loader = sceneManager->getMeshLoader(i);
        if (!loader->isALoadableFileExtension(file))
            continue;
        if (auto* x = dynamic_cast<CTaMeshLoaderX*>(loader)) {
            *lastError = const_cast<std::string*>(&x->lastError());
            return x;
        }
        if (auto* obj = dynamic_cast<CTaMeshLoaderObj*>(loader)) {
            *lastError = const_cast<std::string*>(&obj->lastError());
            return obj;
        }
        if (auto* lwo = dynamic_cast<CTaMeshLoaderLwo*>(loader)) {
            *lastError = const_cast<std::string*>(&lwo->lastError());
            return lwo;
        }
    }
    return nullptr;
}
} // namespace

scene::IAnimatedMesh* taGetMesh(scene::ISceneManager* sceneManager, const char* file, std::string& error)
{
    error.clear();
    if (!sceneManager || !file || !*file) {
        error = "no file name";
        return nullptr;
    }
    const io::path name = file;
    scene::IMeshCache* cache = sceneManager->getMeshCache();
    if (scene::IAnimatedMesh* cached = cache->getMeshByName(name))
        return cached;
    std::string* lastError = nullptr;
    scene::IMeshLoader* loader = engineLoader(sceneManager, name, &lastError);
    if (!loader)
        return sceneManager->getMesh(name);
    io::IReadFile* stream = sceneManager->getFileSystem()->createAndOpenFile(name);
    if (!stream) {
        error = "cannot open '" + std::string(file) + "'";
        return nullptr;
    }
    // Cached under the name the file opened as, as Irrlicht's own getMesh does.
    const io::path opened = stream->getFileName();
    if (scene::IAnimatedMesh* cached = cache->getMeshByName(opened)) {
        stream->drop();
        return cached;
    }
    scene::IAnimatedMesh* mesh = loader->createMesh(stream);
    stream->drop();
    if (!mesh) {
        error = lastError->empty() ? "the file holds no mesh" : *lastError;
        return nullptr;
    }
    cache->addMesh(opened, mesh);
    mesh->drop();
    return mesh;
}
