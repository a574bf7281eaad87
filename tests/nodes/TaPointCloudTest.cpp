// Point clouds: points by triangle area, the remainder on the last triangle, the same cloud twice,
// point numbers, and meshes that have no area, an empty last buffer or a cut triangle.
#include "TaTestSupport.h"

#include "nodes/TaPointCloud.h"

#include <vector>

namespace {

using namespace irr;

// A buffer of the triangles given by their corners (x, y pairs at z 0), with `extraIndices` stray
// indices after them.
scene::SMeshBuffer* buffer(const std::vector<std::vector<f32>>& triangles, u32 extraIndices = 0)
{
    auto* made = new scene::SMeshBuffer();
    const video::SColor white(255, 255, 255, 255);
    for (const std::vector<f32>& t : triangles)
        for (int k = 0; k < 3; ++k) {
            made->Indices.push_back(u16(made->Vertices.size()));
            made->Vertices.push_back(video::S3DVertex(t[k * 2], t[k * 2 + 1], 0, 0, 0, -1, white, 0, 0));
        }
    for (u32 k = 0; k < extraIndices; ++k)
        made->Indices.push_back(0);
    return made;
}

scene::SMesh* meshOf(std::vector<scene::SMeshBuffer*> buffers)
{
    auto* mesh = new scene::SMesh();
    for (scene::SMeshBuffer* b : buffers) {
        mesh->addMeshBuffer(b);
        b->drop();
    }
    return mesh;
}

// How many of the cloud's points lie in the x range [from, to).
u32 pointsBetween(const scene::IMesh* cloud, f32 from, f32 to)
{
    u32 n = 0;
    for (u32 b = 0; b < cloud->getMeshBufferCount(); ++b)
        for (u32 v = 0; v < cloud->getMeshBuffer(b)->getVertexCount(); ++v) {
            const f32 x = cloud->getMeshBuffer(b)->getPosition(v).X;
            n += x >= from && x < to;
        }
    return n;
}

TEST(TaPointCloudTest, PointsFollowTheAreas)
{
    // Areas 1 and 3, in two buffers.
    scene::SMesh* mesh = meshOf({buffer({{0, 0, 2, 0, 0, 1}}), buffer({{10, 0, 12, 0, 10, 3}})});
    scene::SMesh* cloud = taCreatePointCloudMesh(mesh, 1000);
    ASSERT_EQ(cloud->getMeshBufferCount(), 2u);
    EXPECT_EQ(cloud->getMeshBuffer(0)->getVertexCount(), 250u);
    EXPECT_EQ(cloud->getMeshBuffer(1)->getVertexCount(), 750u);
    EXPECT_EQ(cloud->getMeshBuffer(0)->getIndexCount(), 0u);
    // Every point on its triangle, numbered across the buffers.
    EXPECT_EQ(pointsBetween(cloud, 0, 2.0001f), 250u);
    EXPECT_EQ(pointsBetween(cloud, 10, 12.0001f), 750u);
    auto* last = static_cast<video::S3DVertex*>(cloud->getMeshBuffer(1)->getVertices());
    EXPECT_EQ(static_cast<video::S3DVertex*>(cloud->getMeshBuffer(0)->getVertices())[0].Color.color, 0u);
    EXPECT_EQ(last[0].Color.color, 250u);
    EXPECT_EQ(last[749].Color.color, 999u);
    // The same mesh gives the same cloud.
    scene::SMesh* again = taCreatePointCloudMesh(mesh, 1000);
    for (u32 b = 0; b < 2; ++b)
        for (u32 v = 0; v < cloud->getMeshBuffer(b)->getVertexCount(); ++v)
            EXPECT_EQ(cloud->getMeshBuffer(b)->getPosition(v), again->getMeshBuffer(b)->getPosition(v));
    again->drop();
    cloud->drop();
    mesh->drop();

    // Three equal triangles: the last one takes the remainder.
    mesh = meshOf({buffer({{0, 0, 1, 0, 0, 1}, {10, 0, 11, 0, 10, 1}, {20, 0, 21, 0, 20, 1}})});
    cloud = taCreatePointCloudMesh(mesh, 1000);
    EXPECT_EQ(pointsBetween(cloud, 0, 1.0001f), 333u);
    EXPECT_EQ(pointsBetween(cloud, 10, 11.0001f), 333u);
    EXPECT_EQ(pointsBetween(cloud, 20, 21.0001f), 334u);
    cloud->drop();
    mesh->drop();
}

TEST(TaPointCloudTest, MeshesWithoutAWholeSurface)
{
    TaLogCapture log;
    // No area at all: an empty cloud, said once.
    scene::SMesh* flat = meshOf({buffer({{0, 0, 1, 0, 2, 0}})});
    scene::SMesh* cloud = taCreatePointCloudMesh(flat, 100);
    EXPECT_EQ(cloud->getMeshBuffer(0)->getVertexCount(), 0u);
    EXPECT_TRUE(log.contains("has no area"));
    cloud->drop();
    flat->drop();
    // A last buffer without triangles: the remainder goes to the last triangle there is.
    scene::SMesh* mesh = meshOf({buffer({{0, 0, 1, 0, 0, 1}, {10, 0, 11, 0, 10, 1}, {20, 0, 21, 0, 20, 1}}), buffer({})});
    cloud = taCreatePointCloudMesh(mesh, 1000);
    EXPECT_EQ(cloud->getMeshBuffer(0)->getVertexCount(), 1000u);
    EXPECT_EQ(cloud->getMeshBuffer(1)->getVertexCount(), 0u);
    cloud->drop();
    mesh->drop();
    // Stray indices after the triangles are left out.
    mesh = meshOf({buffer({{0, 0, 1, 0, 0, 1}}, 2)});
    cloud = taCreatePointCloudMesh(mesh, 10);
    EXPECT_EQ(cloud->getMeshBuffer(0)->getVertexCount(), 10u);
    cloud->drop();
    mesh->drop();
    EXPECT_FALSE(log.contains("different from expected"));
}

} // namespace
