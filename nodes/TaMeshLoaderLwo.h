// The LightWave object (.lwo, LWO2 and LWOB) reader and the Irrlicht mesh loader built on it.
//
// The reader takes untrusted bytes: every count is checked against the bytes that hold it before
// anything is allocated, the whole object is capped (points, polygon corners, triangle indices)
// and nothing outside the given buffer is read. What it keeps beyond Irrlicht's own mesh (the
// LightWave point of every vertex, the second UV set and the channels that read it) goes into
// CTaMesh::extras.
#pragma once

#include "nodes/TaMesh.h"

#include <irrlicht.h>

#include <cstddef>
#include <string>

// Reads a LightWave object from memory: a new CTaMesh (the caller drops it), or nullptr with `error` saying what is wrong
// (for example "not a LightWave object", "chunk PNTS runs past the end of the file", "polygon 12 uses point 900 of 24").
// `driver` (may be nullptr) loads the surfaces' colour images by name, relative to `directory` when not found as given.
//
// One mesh buffer per surface (more when a surface needs over 65535 vertices); layers are merged.
// OriginalVerticesIndices counts points across all PNTS chunks in file order.
CTaMesh* taReadLwoMesh(const void* data, size_t size, irr::video::IVideoDriver* driver, const irr::io::path& directory,
                       std::string& error);

// The Irrlicht mesh loader for ".lwo" files, for ISceneManager::addExternalMeshLoader: reads the whole file (bounded by
// its size), calls taReadLwoMesh and wraps the result in an SAnimatedMesh. lastError() keeps the reason of the last refusal.
class CTaMeshLoaderLwo : public irr::scene::IMeshLoader
{
public:
    // `driver` is not grabbed: it must outlive the loader (the scene manager's driver does).
    explicit CTaMeshLoaderLwo(irr::video::IVideoDriver* driver);
    bool isALoadableFileExtension(const irr::io::path& filename) const override; // ".lwo", any case
    irr::scene::IAnimatedMesh* createMesh(irr::io::IReadFile* file) override;
    // Empty after a successful load.
    const std::string& lastError() const;

private:
    irr::video::IVideoDriver* m_driver;
    std::string m_lastError;
};
