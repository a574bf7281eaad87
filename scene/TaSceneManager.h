// CTaSceneManager: the table of loaded scenes and their animation.
#pragma once

#include "scene/TaScenes.h"

#include <irrlicht.h>

#include <string>

class ITaCubeMap;

class CTaSceneManager
{
public:
    static constexpr int kMaxScenes = 60;

    explicit CTaSceneManager(irr::IrrlichtDevice* device);
    virtual ~CTaSceneManager() = default;

    // The table of loaded scenes, on the engine's operations.
    CTaSceneTable& table() { return m_table; }
    virtual int sceneCount() const { return m_table.count(); }
    // Numbers a mesh's vertices for its vertex texture: each vertex's colour word becomes its
    // running index over all mesh buffers.
    virtual void numberMeshVertices(irr::scene::IMesh* mesh);
    // A new cube map with its textures made (the caller holds it), or nullptr when they cannot be
    // made (the reason logged).
    // A static mesh node at the origin over a point cloud of `count` points made from the mesh of
    // `file` (loaded once through the mesh cache), its mesh kept on the card; nullptr when the mesh
    // does not load (the reason in `error`).
    virtual irr::scene::IMeshSceneNode* addPointCloudSceneNode(const char* file, irr::u32 count,
                                                               irr::scene::ISceneNode* parent, irr::s32 id,
                                                               std::string& error);
    virtual ITaCubeMap* addCubeMap(irr::u32 faceSize, irr::video::ECOLOR_FORMAT format, bool latLong);

private:
    irr::IrrlichtDevice* m_device;
    CTaSceneTable m_table;
};

// Lets the engine manager make and release the scene table at start-up and shut-down; the entry
// and the script host call it before the engine starts.
void taRegisterSceneTable();
