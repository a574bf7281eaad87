// The Wavefront OBJ mesh reader (with its MTL material libraries) and the Irrlicht loader around it.
//
// The reader is written for untrusted files: every count is capped, every index is checked against
// what has been read so far, and anything it cannot make sense of is refused with a line number
// rather than guessed at.
//
// Coordinates: OBJ is right-handed, Irrlicht left-handed. The reader negates x and reverses the
// corner order of every triangle, so a face that was front-facing (counter-clockwise seen from
// outside) in the file is front-facing in Irrlicht, and its normal points the same way (with x
// negated). Texture V is flipped (v' = 1 - v) because OBJ puts v = 0 at the bottom of the image.
#pragma once

#include "nodes/TaMesh.h"

#include <irrlicht.h>

#include <cstddef>
#include <string>

// Reads a Wavefront object from memory: a new CTaMesh (the caller drops it), or nullptr with `error` saying what is wrong
// with the line number (for example "line 12: face uses vertex 40 of 8", "line 3: a number was expected").
// `fileSystem` (may be nullptr) opens the material libraries named by "mtllib", relative to `directory`; `driver`
// (may be nullptr) loads the materials' "map_Kd" images. A material library or image that cannot be found is not an error.
//
// One mesh buffer per material, in the order the materials are first used by a face; a material
// whose faces need more than 65535 vertices continues in further buffers. The mesh's extras hold
// one default entry per buffer.
CTaMesh* taReadObjMesh(const void* data, size_t size, irr::io::IFileSystem* fileSystem, irr::video::IVideoDriver* driver,
                       const irr::io::path& directory, std::string& error);

// The Irrlicht mesh loader for ".obj" files, for ISceneManager::addExternalMeshLoader: reads the whole file (bounded by
// its size), calls taReadObjMesh and wraps the result in an SAnimatedMesh. lastError() keeps the reason of the last refusal.
class CTaMeshLoaderObj : public irr::scene::IMeshLoader
{
public:
    // Grabs both (either may be nullptr) until the loader is dropped.
    CTaMeshLoaderObj(irr::io::IFileSystem* fileSystem, irr::video::IVideoDriver* driver);
    ~CTaMeshLoaderObj() override;

    bool isALoadableFileExtension(const irr::io::path& filename) const override; // ".obj", any case
    irr::scene::IAnimatedMesh* createMesh(irr::io::IReadFile* file) override;
    // Empty after a successful createMesh.
    const std::string& lastError() const { return m_lastError; }

private:
    irr::io::IFileSystem* m_fileSystem;
    irr::video::IVideoDriver* m_driver;
    std::string m_lastError;
};
