// Node extensions on the null device: the records of a node's materials, surfaces and effects
// written into the node's materials, saving and restoring effects, clones, tangents, the cube-map
// box and render sets (renderNodes filters by them).
#include "TaTestSupport.h"

#include "driver/TaVideoDriverExt.h"
#include "effects/TaEffect.h"
#include "effects/TaEffectManager.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "nodes/TaMesh.h"
#include "nodes/TaSceneNodeExt.h"
#include "render/TaRenderServices.h"

namespace {

using namespace irr;

// A static mesh of `buffers` buffers of one triangle each.
scene::IMesh* triangles(u32 buffers)
{
    auto* mesh = new CTaMesh();
    for (u32 b = 0; b < buffers; ++b) {
        auto* buffer = new scene::SMeshBuffer();
        const video::SColor white(255, 255, 255, 255);
        buffer->Vertices.push_back(video::S3DVertex(0, 0, 0, 0, 0, -1, white, 0, 0));
        buffer->Vertices.push_back(video::S3DVertex(1, 0, 0, 0, 0, -1, white, 1, 0));
        buffer->Vertices.push_back(video::S3DVertex(0, 1, 0, 0, 0, -1, white, 0, 1));
        for (u16 i : {0, 1, 2})
            buffer->Indices.push_back(i);
        buffer->recalculateBoundingBox();
        mesh->addMeshBuffer(buffer);
        buffer->drop();
        mesh->extras.push_back(STaMeshBufferExtra());
    }
    mesh->recalculateBoundingBox();
    return mesh;
}

class TaSceneNodeExtTest : public TaNullEngineTest
{
protected:
    void SetUp() override
    {
        TaNullEngineTest::SetUp();
        writeFile("techniques.hlsl", R"(/*
[TARV_BEGIN]
//config techniques : depth reflection
//texture 1 : Color
[TARV_END]
*/
sampler2D ColourMap : register(s1);
float4 vs_main(float4 pos : POSITION) : POSITION { return pos; }
float4 ps_main() : COLOR0
{
#ifdef USE_TECH_DEPTH
    return 0;
#else
    return tex2D(ColourMap, float2(0.5, 0.5));
#endif
}
)");
        effect = taGetManager()->getEffectManager()->createEffect("techniques.hlsl", -1, nullptr);
        ASSERT_NE(effect, nullptr) << taGetManager()->getEffectManager()->getLastError();
    }
    void TearDown() override
    {
        if (effect)
            effect->drop();
        TaNullEngineTest::TearDown();
    }
    scene::IMeshSceneNode* node(u32 buffers)
    {
        scene::IMesh* mesh = triangles(buffers);
        scene::IMeshSceneNode* made = taEngine().sceneManager->addMeshSceneNode(mesh);
        mesh->drop();
        return made;
    }
    CTaEffect* effect = nullptr;
};

TEST_F(TaSceneNodeExtTest, OneRecordPerMaterial)
{
    scene::IMeshSceneNode* three = node(3);
    CTaSceneNodeExt* ext = taAttachSceneNodeExt(three, taGetManager()->getVideoDriverExt());
    ASSERT_EQ(taGetSceneNodeExt(three), ext);
    EXPECT_EQ(taAttachSceneNodeExt(three, nullptr), ext); // one per node
    ASSERT_EQ(ext->materialCount(), 3u);
    for (u32 i = 0; i < 3; ++i) {
        const STaMaterialExt* record = taGetMaterialExt(ext->materialHandle(i));
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->marker, 0x123456u);
        EXPECT_EQ(record->surface, int(i));
        EXPECT_EQ(record->node, three);
        EXPECT_EQ(record->technique, 0);
        EXPECT_EQ(record->pass, 0);
        for (int which = 0; which < 3; ++which)
            EXPECT_EQ(ext->getTechniqueIndex(i, which), -1);
    }
    EXPECT_EQ(ext->setSelectionMask(5), 0u);
    EXPECT_EQ(ext->setSelectionMask(9), 5u);
    // The box: set alone it stays off; switched off after on, it moves far away.
    ext->setCubeMapBox(core::vector3df(1, 2, 3), core::vector3df(4, 5, 6));
    EXPECT_FALSE(ext->cubeMapBoxEnabled());
    ext->setCubeMapBoxEnabled(false);
    EXPECT_EQ(ext->getCubeMapBoxPosition(), core::vector3df(1, 2, 3));
    ext->setCubeMapBoxEnabled(true);
    ext->setCubeMapBoxEnabled(false);
    EXPECT_EQ(ext->getCubeMapBoxPosition(), core::vector3df(1000000, 1000000, 1000000));
    EXPECT_EQ(ext->getCubeMapBoxScale(), core::vector3df(4, 5, 6));
    // Indices beyond the materials do nothing.
    ext->setEffect(7, effect, 0, 0);
    ext->setSurface(7, nullptr);
    EXPECT_EQ(ext->getEffect(7), nullptr);
    EXPECT_EQ(ext->getSurface(7), nullptr);
}

TEST_F(TaSceneNodeExtTest, SurfacesAndEffectsWriteTheMaterials)
{
    scene::IMeshSceneNode* one = node(1);
    CTaSceneNodeExt* ext = taAttachSceneNodeExt(one, taGetManager()->getVideoDriverExt());
    auto* surface = new CTaSurfaceLightwave();
    surface->setVector(ETASC_BASECOLOR, 0, 1, 0);
    surface->setFloat(ETASC_TRANSPARENCY, 0.5f);
    video::IImage* picture = taEngine().videoDriver->createImage(video::ECF_A8R8G8B8, core::dimension2du(2, 2));
    video::ITexture* map = taEngine().videoDriver->addTexture("map.png", picture);
    picture->drop();
    surface->setTexture(ETASC_BASECOLOR, map);
    ext->setSurface(0, surface);
    surface->drop();
    video::SMaterial& material = one->getMaterial(0);
    EXPECT_EQ(material.MaterialType, video::EMT_TRANSPARENT_VERTEX_ALPHA);
    EXPECT_EQ(material.DiffuseColor, video::SColor(255, 0, 255, 0));
    EXPECT_EQ(taMaterialExtHandle(material), ext->materialHandle(0));

    // An effect takes over the type; the surface's map goes into the sampler the effect reads.
    ext->setEffect(0, effect, 0, 0);
    EXPECT_EQ(ext->getEffect(0), effect);
    STaMaterial pass;
    ASSERT_TRUE(effect->getPassMaterial(0, 0, pass));
    EXPECT_EQ(material.MaterialType, pass.material.MaterialType);
    EXPECT_EQ(material.DiffuseColor, video::SColor(255, 0, 255, 0)); // the surface's colours stay
    const STaMaterialExt* record = taMaterialExtOf(material);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->effect, effect);
    EXPECT_EQ(record->layers[1].texture, map);
    EXPECT_EQ(ext->getTechniqueIndex(0, 0), 1); // "depth"
    EXPECT_EQ(ext->getTechniqueIndex(0, 1), -1); // no "shadow"
    EXPECT_EQ(ext->getTechniqueIndex(0, 2), 2); // "reflection"

    // Saved, changed, restored.
    std::vector<CTaSavedEffect> saved;
    ext->saveEffects(saved);
    ext->setTechnique(0, 1);
    EXPECT_EQ(ext->getTechnique(0), 1);
    EXPECT_EQ(taMaterialExtOf(material)->technique, 1);
    ext->removeEffect(0);
    EXPECT_EQ(ext->getEffect(0), nullptr);
    EXPECT_EQ(material.MaterialType, video::EMT_TRANSPARENT_VERTEX_ALPHA); // the surface alone again
    ext->restoreEffects(saved);
    EXPECT_EQ(ext->getEffect(0), effect);
    EXPECT_EQ(ext->getTechnique(0), 0);
    EXPECT_EQ(material.MaterialType, pass.material.MaterialType);

    // A clone has a surface of its own and shares the effect.
    scene::ISceneNode* twin = taCloneSceneNode(one);
    ASSERT_NE(twin, nullptr);
    CTaSceneNodeExt* twinExt = taGetSceneNodeExt(twin);
    ASSERT_NE(twinExt, nullptr);
    EXPECT_NE(twinExt, ext);
    EXPECT_EQ(twinExt->getEffect(0), effect);
    ASSERT_NE(twinExt->getSurface(0), nullptr);
    EXPECT_NE(twinExt->getSurface(0), ext->getSurface(0));
    EXPECT_NE(twinExt->materialHandle(0), ext->materialHandle(0));
    EXPECT_EQ(taMaterialExtOf(twin->getMaterial(0))->node, twin); // the scene holds the clone

    // A node that loses its extension keeps no handle another material may get.
    one->removeAnimators();
    EXPECT_EQ(taMaterialExtHandle(one->getMaterial(0)), 0u);
}

TEST_F(TaSceneNodeExtTest, TangentsFollowTheModeAndTheMaps)
{
    scene::IMeshSceneNode* one = node(1);
    CTaSceneNodeExt* ext = taAttachSceneNodeExt(one, taGetManager()->getVideoDriverExt());
    EXPECT_FALSE(ext->needTangents());
    ext->setTangentsMode(2);
    EXPECT_TRUE(ext->needTangents());
    ASSERT_TRUE(ext->applyMaterials());
    EXPECT_EQ(one->getMesh()->getMeshBuffer(0)->getVertexType(), video::EVT_TANGENTS);
    ext->setTangentsMode(1);
    EXPECT_FALSE(ext->needTangents());
    // An animated node never needs them.
    scene::IMesh* mesh = triangles(1);
    scene::SAnimatedMesh* animated = new scene::SAnimatedMesh(mesh);
    mesh->drop();
    scene::IAnimatedMeshSceneNode* moving = taEngine().sceneManager->addAnimatedMeshSceneNode(animated);
    animated->drop();
    CTaSceneNodeExt* movingExt = taAttachSceneNodeExt(moving, nullptr);
    movingExt->setTangentsMode(2);
    EXPECT_FALSE(movingExt->needTangents());
}

TEST_F(TaSceneNodeExtTest, TheSecondUvSetRidesInTheBinormal)
{
    auto* mesh = new CTaMesh();
    auto* buffer = new scene::SMeshBufferLightMap();
    const video::SColor white(255, 255, 255, 255);
    buffer->Vertices.push_back(video::S3DVertex2TCoords(0, 0, 0, 0, 0, -1, white, 0, 0, 0.25f, 0.5f));
    buffer->Vertices.push_back(video::S3DVertex2TCoords(1, 0, 0, 0, 0, -1, white, 1, 0, 0.75f, 0.5f));
    buffer->Vertices.push_back(video::S3DVertex2TCoords(0, 1, 0, 0, 0, -1, white, 0, 1, 0.25f, 1.0f));
    for (u16 i : {0, 1, 2})
        buffer->Indices.push_back(i);
    buffer->recalculateBoundingBox();
    mesh->addMeshBuffer(buffer);
    buffer->drop();
    // A second buffer without a second UV set: it has nothing to carry and converts all the same.
    scene::IMesh* plainTriangle = triangles(1);
    mesh->addMeshBuffer(plainTriangle->getMeshBuffer(0));
    plainTriangle->drop();
    STaMeshBufferExtra extra;
    extra.uv2Value = 1;
    extra.uv2Mask = ETAUV2_NORMAL;
    extra.OriginalVerticesIndices = {7, 8, 7};
    mesh->extras.push_back(extra);
    mesh->extras.push_back(STaMeshBufferExtra());
    mesh->recalculateBoundingBox();
    scene::IMeshSceneNode* one = taEngine().sceneManager->addMeshSceneNode(mesh);
    mesh->drop();
    CTaSceneNodeExt* ext = taAttachSceneNodeExt(one, nullptr);
    EXPECT_TRUE(ext->hasUV2());
    u32 value = 0, mask = 0;
    ASSERT_TRUE(ext->getUV2Info(0, value, mask));
    EXPECT_EQ(value, 1u);
    EXPECT_EQ(mask, u32(ETAUV2_NORMAL));
    EXPECT_FALSE(ext->getUV2Info(2, value, mask));
    ASSERT_NE(ext->originalVertexIndices(0), nullptr);
    EXPECT_EQ(*ext->originalVertexIndices(0), (std::vector<u32>{7, 8, 7}));
    EXPECT_EQ(ext->originalVertexIndices(1), nullptr);
    ext->setTangentsMode(2);
    ASSERT_TRUE(ext->applyMaterials());
    scene::IMeshBuffer* converted = one->getMesh()->getMeshBuffer(0);
    ASSERT_EQ(converted->getVertexType(), video::EVT_TANGENTS);
    EXPECT_EQ(one->getMesh()->getMeshBuffer(1)->getVertexType(), video::EVT_TANGENTS);
    auto* vertices = static_cast<video::S3DVertexTangents*>(converted->getVertices());
    for (u32 v = 0; v < converted->getVertexCount(); ++v) {
        const f32 expectedU = vertices[v].Pos.X > 0.5f ? 0.75f : 0.25f;
        const f32 expectedV = vertices[v].Pos.Y > 0.5f ? 1.0f : 0.5f;
        EXPECT_FLOAT_EQ(vertices[v].Binormal.X, expectedU);
        EXPECT_FLOAT_EQ(vertices[v].Binormal.Y, expectedV);
    }
    EXPECT_TRUE(ext->hasUV2()); // the extras stay with the converted mesh

    // An animated node answers from the mesh its animated mesh wraps.
    auto* wrapped = new CTaMesh();
    auto* lightMap = new scene::SMeshBufferLightMap();
    wrapped->addMeshBuffer(lightMap);
    lightMap->drop();
    wrapped->extras.push_back(extra);
    auto* animated = new scene::SAnimatedMesh(wrapped);
    wrapped->drop();
    scene::IAnimatedMeshSceneNode* moving = taEngine().sceneManager->addAnimatedMeshSceneNode(animated);
    animated->drop();
    CTaSceneNodeExt* movingExt = taAttachSceneNodeExt(moving, nullptr);
    EXPECT_TRUE(movingExt->hasUV2());
    ASSERT_TRUE(movingExt->getUV2Info(0, value, mask));
    EXPECT_EQ(mask, u32(ETAUV2_NORMAL));
}

TEST_F(TaSceneNodeExtTest, RenderSetsFilterTheNodes)
{
    // Masks 0, 1, 2 and 3; renderNodes counts what it draws (the null driver draws nothing).
    core::array<scene::ISceneNode*> nodes;
    for (u32 mask = 0; mask < 4; ++mask) {
        scene::IMeshSceneNode* made = node(1);
        taAttachSceneNodeExt(made, nullptr)->setSelectionMask(mask);
        nodes.push_back(made);
    }
    CTaRenderServices* services = taGetManager()->getRenderServices();
    const struct {
        u32 hide, show;
        int drawn;
    } cases[] = {
        {0, 0, 4}, // everything, masks of 0 included
        {0, 1, 2}, // masks 1 and 3
        {2, 0, 2}, // not 2 and 3
        {2, 1, 1}, // mask 1 only
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.hide * 10 + c.show);
        int count = -1;
        ASSERT_TRUE(services->renderNodes(nodes, scene::ESNRP_SOLID, "", nullptr, c.hide, c.show, count));
        EXPECT_EQ(count, c.drawn);
    }
    // A technique draws only the materials with a variant of it.
    taGetSceneNodeExt(nodes[0])->setEffect(0, effect, 0, 0);
    int count = -1;
    ASSERT_TRUE(services->renderNodes(nodes, scene::ESNRP_SOLID, "depth", nullptr, 0, 0, count));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(taGetSceneNodeExt(nodes[0])->getTechnique(0), 0); // put back after the draw
    ASSERT_TRUE(services->renderNodes(nodes, scene::ESNRP_SOLID, "shadow", nullptr, 0, 0, count));
    EXPECT_EQ(count, 0);
}

} // namespace

#include "effects/TaRecordingServices.h"

namespace {

// The surface and node-extension binds read the drawn node's extension and surface.
TEST_F(TaSceneNodeExtTest, SurfaceValuesReachTheShader)
{
    writeFile("surfacebinds.hlsl", R"(/*
[TARV_BEGIN]
//float3 Base : Surface_BaseColor : pixel
//float Gloss : Surface_Glossiness : pixel
//int Sides : Surface_Sidedness : pixel
//float Rough : Surface_Roughness : pixel
//float MaxMip : Surface_ReflectionMaxMip : pixel
//float3 BoxScale : CubeMapAABBScale : pixel
[TARV_END]
*/
float3 Base; float Gloss; int Sides; float Rough; float MaxMip; float3 BoxScale;
float4 vs_main(float4 pos : POSITION) : POSITION { return pos; }
float4 ps_main() : COLOR0 { return float4(Base * Gloss + BoxScale, Rough + MaxMip + Sides); }
)");
    CTaEffect* binds = taGetManager()->getEffectManager()->createEffect("surfacebinds.hlsl", -1, nullptr);
    ASSERT_NE(binds, nullptr) << taGetManager()->getEffectManager()->getLastError();
    scene::IMeshSceneNode* one = node(1);
    CTaSceneNodeExt* ext = taAttachSceneNodeExt(one, taGetManager()->getVideoDriverExt());
    auto* surface = new CTaSurfaceLightwave();
    surface->setVector(ETASC_BASECOLOR, 0.1f, 0.2f, 0.3f);
    surface->setFloat(ETASC_GLOSSINESS, 0.5f);
    surface->setInt(ETASC_SIDEDNESS, 3);
    // An engine texture: the null driver's own textures have no size.
    STaTextureImage picture;
    ASSERT_TRUE(picture.allocate(ETATEXKIND_2D, video::ECF_A8R8G8B8, 256, 4, 1));
    std::string error;
    video::ITexture* reflection =
        taGetManager()->getVideoDriverExt()->addImageTexture("reflection", picture, false, error);
    ASSERT_NE(reflection, nullptr) << error;
    surface->setTexture(ETASC_REFLECTIONIMAGE, reflection);
    ext->setSurface(0, surface);
    surface->drop();
    ext->setCubeMapBox(core::vector3df(1, 2, 3), core::vector3df(4, 5, 6));
    ext->setEffect(0, binds, 0, 0);

    CTaRecordingServices services;
    const video::SMaterial& material = one->getMaterial(0);
    ASSERT_TRUE(binds->onSetShaderConstants(&services, 0, material, taMaterialExtOf(material)));
    EXPECT_EQ(services.pixel["Base"], std::vector<f32>({0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(services.pixel["Gloss"], std::vector<f32>({0.5f}));
    EXPECT_EQ(services.pixel["Sides"], std::vector<f32>({3}));
    EXPECT_EQ(services.pixel["Rough"], std::vector<f32>({128})); // 2^(10 x 0.5 + 2)
    EXPECT_EQ(services.pixel["MaxMip"], std::vector<f32>({9}));  // a 256-texel image
    EXPECT_EQ(services.pixel["BoxScale"], std::vector<f32>({4, 5, 6}));

    // Drawn without a node (a screen quad), the upload of the draw stops with the reason.
    const u32 handle = taNewMaterialExt();
    taGetMaterialExt(handle)->effect = binds;
    TaLogCapture log;
    CTaRecordingServices none;
    EXPECT_FALSE(binds->onSetShaderConstants(&none, 0, material, taGetMaterialExt(handle)));
    EXPECT_TRUE(log.contains("::onSetMaterial : Missing matExt->Node"));
    // A node without an extension, or a material without a surface.
    scene::IMeshSceneNode* plain = node(1);
    taGetMaterialExt(handle)->node = plain;
    EXPECT_FALSE(binds->onSetShaderConstants(&none, 0, material, taGetMaterialExt(handle)));
    EXPECT_TRUE(log.contains("::onSetMaterial : Missing ITaSceneNodeExt"));
    taAttachSceneNodeExt(plain, nullptr);
    EXPECT_FALSE(binds->onSetShaderConstants(&none, 0, material, taGetMaterialExt(handle)));
    EXPECT_TRUE(log.contains("CTaEffectBindLightwave::onSetMaterial : Missing Surface at index 0"));
    taFreeMaterialExt(handle);
    binds->drop();
}

} // namespace
