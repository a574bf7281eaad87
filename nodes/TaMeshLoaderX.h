// CTaMeshLoaderX: DirectX .x meshes through Irrlicht's own reader, tried first in a child process
// so that a damaged file can neither crash nor hang the engine.
#pragma once

#include <irrlicht.h>

#include <string>

// Irrlicht's .x reader handles text, binary and compressed files with frames, skinning and
// animation, but it crashes on damaged binary files (found by fuzzing). Every file is first read
// by that reader on a null device in a child process (a time limit included); only a file it
// reads there is read again here, where the mesh is kept.
class CTaMeshLoaderX : public irr::scene::IMeshLoader
{
public:
    // `sceneManager` is the one this loader is added to (not grabbed: it owns the loader).
    explicit CTaMeshLoaderX(irr::scene::ISceneManager* sceneManager);

    bool isALoadableFileExtension(const irr::io::path& filename) const override;
    irr::scene::IAnimatedMesh* createMesh(irr::io::IReadFile* file) override;
    // Why the last file was refused ("" after a success).
    const std::string& lastError() const { return m_lastError; }

    // The trial read alone: true when Irrlicht's reader reads `data` on a null device in a child
    // process within `timeoutMs`; false with `failure` saying what happened.
    static bool trialRead(const void* data, size_t size, const char* name, std::string& failure,
                          int timeoutMs = 30000);

private:
    irr::scene::IMeshLoader* irrlichtLoader() const;

    irr::scene::ISceneManager* m_sceneManager;
    std::string m_lastError;
};
