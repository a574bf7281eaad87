// CTaSceneNodeExt: what the engine keeps on an object's scene node beyond Irrlicht's own: per
// material its LightWave surface and its effect with technique and pass (and the textures each
// effect pass takes from the surface), the node's cube map and cube-map box, whether it casts
// shadows, its render-set mask and the tangent policy of its mesh. It writes the node's Irrlicht
// materials whenever that changes. It rides on the node as an animator (type 4321) and is found
// again with taGetSceneNodeExt.
#pragma once

#include "driver/TaMaterialExt.h"
#include "nodes/TaNodeRenderInfo.h"
#include "nodes/TaSurface.h"

#include <irrlicht.h>

#include <string>
#include <vector>

class CTaEffect;
class ITaCubeMapTexture;
class ITaVideoDriverExt;

constexpr irr::u32 TA_SCENE_NODE_EXT_TYPE = 4321;

// An effect, technique and pass as saveEffects keeps them (the effect held while kept).
class CTaSavedEffect
{
public:
    CTaSavedEffect(CTaEffect* effect, int technique, int pass);
    CTaSavedEffect(const CTaSavedEffect& other);
    CTaSavedEffect& operator=(const CTaSavedEffect& other);
    ~CTaSavedEffect();
    CTaEffect* effect = nullptr;
    int technique = 0, pass = 0;
};

// The cube map a node reflects: what the extension needs of it (the cube-map object itself is the
// render layer's).
class ITaNodeCubeMap : public virtual irr::IReferenceCounted
{
public:
    // What objects sample: the latitude/longitude map or the cube.
    virtual irr::video::ITexture* texture() = 0;
    // Where it was last rendered from.
    virtual const irr::core::vector3df& lastPosition() const = 0;
};

class CTaSceneNodeExt : public irr::scene::ISceneNodeAnimator, public ITaNodeRenderInfo
{
public:
    // One record per material of the node now.
    CTaSceneNodeExt(irr::scene::ISceneNode* node, ITaVideoDriverExt* driverExt);
    ~CTaSceneNodeExt() override;

    // --- The animator's part ---
    void animateNode(irr::scene::ISceneNode*, irr::u32) override {}
    // A new extension for `node`: surfaces cloned, effects shared with their technique and pass;
    // cube map, box, mask, shadow flag and tangent mode not copied. nullptr when its materials cannot
    // be applied.
    irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                                irr::scene::ISceneManager* newManager = nullptr) override;
    bool isEventReceiverEnabled() const override { return false; }
    irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override
    {
        return static_cast<irr::scene::ESCENE_NODE_ANIMATOR_TYPE>(TA_SCENE_NODE_EXT_TYPE);
    }
    bool hasFinished(void) const override { return false; }
    irr::scene::ISceneNode* getNode() const { return m_node; }
    irr::u32 materialCount() const { return irr::u32(m_materials.size()); }

    // --- Shadows ---
    void setCastShadows(bool cast) { m_castShadows = cast; }
    bool castShadows() const { return m_castShadows; }
    bool castsShadows() const override { return m_castShadows; }

    // --- Effects (indices beyond the material count are ignored) ---
    CTaEffect* getEffect(irr::u32 material) const;
    void setEffect(irr::u32 material, CTaEffect* effect, int technique, int pass);
    // An effect the renderer chose for the surface (technique and pass 0), with the key of the variant
    // it was built for, so that it can be built again when the surface needs another variant. Any other
    // setEffect makes the material's effect the caller's own.
    void setRendererEffect(irr::u32 material, CTaEffect* effect, const std::string& variant);
    // The variant key of a renderer's effect, or nullptr when the material's effect is not one.
    const std::string* rendererVariant(irr::u32 material) const;
    void setTechniqueAndPass(irr::u32 material, int technique, int pass);
    void setTechnique(irr::u32 material, int technique);
    void setPass(irr::u32 material, int pass);
    int getTechnique(irr::u32 material) const;
    int getPass(irr::u32 material) const;
    void removeEffect(irr::u32 material);
    void removeAllEffects();
    // 0 "depth", 1 "shadow", 2 "reflection": the effect's technique of that name, or -1.
    int getTechniqueIndex(irr::u32 material, int which) const;
    void saveEffects(std::vector<CTaSavedEffect>& out) const;
    void restoreEffects(const std::vector<CTaSavedEffect>& saved);

    // --- Surfaces ---
    ITaSurface* getSurface(irr::u32 material) const;
    void setSurface(irr::u32 material, ITaSurface* surface);
    void removeSurface(irr::u32 material);
    void removeAllSurfaces();
    // What a surface's compile parameters ask of this node for the surface of `material`.
    STaSurfaceNodeInfo surfaceNodeInfo(irr::u32 material) const;

    // --- Mesh ---
    // Whether the node's mesh (static, animated or morphing) has a buffer with a second UV set.
    bool hasUV2() const;
    bool getUV2Info(irr::u32 buffer, irr::u32& value, irr::u32& mask) const;
    // Per vertex of a buffer, the LightWave point it was made from (morph targets address points);
    // nullptr when the mesh's loader kept none.
    const std::vector<irr::u32>* originalVertexIndices(irr::u32 buffer) const;
    // 0 decide from the materials, 1 never, 2 always.
    void setTangentsMode(int mode) { m_tangentsMode = mode; }
    bool needTangents() const;
    // Converts a static mesh to tangents when it needs them (the second UV set carried in the
    // binormal's x and y), then writes every material. False only when a needed conversion fails.
    bool applyMaterials();

    // --- Cube map ---
    void setCubeMap(ITaNodeCubeMap* cubeMap);
    ITaNodeCubeMap* getCubeMap() const { return m_cubeMap; }
    // The current cube map's texture (there is no indirect texture here), or nullptr.
    irr::video::ITexture* getCubeMapTexture() const;
    void setCubeMapBoxEnabled(bool enabled);
    void setCubeMapBox(const irr::core::vector3df& position, const irr::core::vector3df& scale);
    bool cubeMapBoxEnabled() const { return m_boxEnabled; }
    const irr::core::vector3df& getCubeMapBoxPosition() const { return m_boxPosition; }
    const irr::core::vector3df& getCubeMapBoxScale() const { return m_boxScale; }

    // --- Render sets ---
    irr::u32 getSelectionMask() const { return m_selectionMask; }
    irr::u32 setSelectionMask(irr::u32 mask); // the previous mask

    // --- What the renderers read (ITaNodeRenderInfo) ---
    irr::u32 renderSetMask() const override { return m_selectionMask; }
    void saveMaterials() override;
    int techniqueVariant(irr::u32 material, int technique) override { return getTechniqueIndex(material, technique); }
    void applyVariant(irr::u32 material, int variant) override { setTechnique(material, variant); }
    void restoreMaterials() override;

    // The material extension record's handle of a material (0 beyond the count).
    irr::u32 materialHandle(irr::u32 material) const;

private:
    struct SMaterialRecord {
        irr::u32 handle = 0;       // the STaMaterialExt the node's material names
        CTaEffect* effect = nullptr; // held
        ITaSurface* surface = nullptr; // held
        // Per technique, per pass: the layers the surface fills for that pass.
        std::vector<std::vector<STaMaterial>> savedTechniques;
        int techniqueIndex[3] = {-1, -1, -1};
        bool rendererEffect = false;
        std::string variant;
    };
    void applyMaterial(irr::u32 i);
    void refreshPass(irr::u32 i);
    void rebuildSavedTechniques(irr::u32 i);
    void applySavedTextures(irr::u32 i, STaMaterial& work) const;
    STaMaterialExt* record(irr::u32 i) const;
    irr::scene::IMesh* mesh() const;
    bool convertToTangents();

    irr::scene::ISceneNode* m_node;
    ITaVideoDriverExt* m_driverExt;
    bool m_castShadows = false;
    int m_tangentsMode = 0;
    std::vector<SMaterialRecord> m_materials;
    ITaNodeCubeMap* m_cubeMap = nullptr;
    bool m_boxEnabled = false;
    irr::core::vector3df m_boxPosition{0, 0, 0};
    irr::core::vector3df m_boxScale{1000000, 1000000, 1000000};
    irr::u32 m_selectionMask = 0;
    std::vector<CTaSavedEffect> m_renderSaved; // saveMaterials / restoreMaterials
};

// The extension riding on `node`, or nullptr.
CTaSceneNodeExt* taGetSceneNodeExt(irr::scene::ISceneNode* node);
// Gives `node` an extension when it has none (held by the node); returns the node's extension.
CTaSceneNodeExt* taAttachSceneNodeExt(irr::scene::ISceneNode* node, ITaVideoDriverExt* driverExt);
// Irrlicht's clone of a node (its extension cloned with it), with the clone's materials written by
// the clone's extension: Irrlicht copies the source node's materials over the clone's after cloning the
// animators, which would leave the clone naming the source node's material records. The clone
// belongs to its parent (the source node's when none is given), as Irrlicht's clones do.
irr::scene::ISceneNode* taCloneSceneNode(irr::scene::ISceneNode* node, irr::scene::ISceneNode* parent = nullptr);

// What the surface binds read of a node (registered with taSetNodeBindLookup by the engine): false
// for a node without an extension.
bool taNodeBindInfoOfExtension(irr::scene::ISceneNode* node, int surfaceIndex, struct STaNodeBindInfo& out);
