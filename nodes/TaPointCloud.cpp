// Point clouds.
#include "nodes/TaPointCloud.h"

#include "core/TaLog.h"

#include <cmath>
#include <cstring>
#include <vector>

using namespace irr;

namespace {

// The point generator: the engine's linear congruential sequence with a state of its own.
struct SGenerator {
    u32 state = 0;
    u32 next()
    {
        state = state * 214013u + 2531011u;
        return (state >> 16) & 0x7FFF;
    }
};

// sqrt(u) as u times the fast inverse square root estimate refined by two Newton steps.
f32 fastSqrt(f32 u)
{
    u32 bits;
    memcpy(&bits, &u, sizeof bits);
    bits = 0x5F3759DFu - (bits >> 1);
    f32 y;
    memcpy(&y, &bits, sizeof y);
    const f32 half = 0.5f * u;
    y = y * (1.5f - half * y * y);
    y = y * (1.5f - half * y * y);
    return u * y;
}

struct SCorner {
    core::vector3df position, normal;
    core::vector2df uv;
};

// Corner `index` of a buffer of standard or two-coordinate vertices.
SCorner corner(const scene::IMeshBuffer* buffer, u32 index)
{
    SCorner c;
    c.position = buffer->getPosition(index);
    c.normal = buffer->getNormal(index);
    c.uv = buffer->getTCoords(index);
    return c;
}

struct SBufferPlan {
    u32 first = 0, count = 0;
    std::vector<f32> areas;
    std::vector<u32> counts;
};

} // namespace

scene::SMesh* taCreatePointCloudMesh(const scene::IMesh* mesh, u32 count)
{
    auto* cloud = new scene::SMesh();
    if (!mesh)
        return cloud;
    const u32 bufferCount = mesh->getMeshBufferCount();
    std::vector<SBufferPlan> plans(bufferCount);
    f32 total = 0;
    for (u32 b = 0; b < bufferCount; ++b) {
        const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
        const u32 indices = buffer->getIndexCount() / 3 * 3; // whole triangles only
        for (u32 i = 0; i < indices; i += 3) {
            auto at = [&](u32 n) -> core::vector3df {
                const u32 index = buffer->getIndexType() == video::EIT_16BIT
                                      ? buffer->getIndices()[n]
                                      : reinterpret_cast<const u32*>(buffer->getIndices())[n];
                return index < buffer->getVertexCount() ? buffer->getPosition(index) : core::vector3df();
            };
            const core::vector3df a = at(i), bb = at(i + 1), c = at(i + 2);
            const f32 area = 0.5f * (bb - a).crossProduct(c - a).getLength();
            plans[b].areas.push_back(area);
            total += area;
        }
    }
    // Without area there is nowhere to put points: every buffer stays empty.
    const bool hasArea = total > 0.0f && std::isfinite(total);
    if (!hasArea && count > 0)
        taPrint(ETALOG_WARN, "CTaMeshManipulator::createPointCloudMesh : Warning, the mesh has no area: no points");
    // Points per triangle, by area; the last triangle takes what truncation left over (or gives back
    // what it took too many).
    u32 running = 0;
    int lastBuffer = -1;
    for (u32 b = 0; b < bufferCount; ++b) {
        SBufferPlan& plan = plans[b];
        plan.first = running;
        for (f32 area : plan.areas) {
            const u32 n = hasArea ? static_cast<u32>(static_cast<f32>(count) * area / total) : 0;
            plan.counts.push_back(n);
            plan.count += n;
        }
        running += plan.count;
        if (!plan.counts.empty())
            lastBuffer = int(b);
    }
    if (hasArea && lastBuffer >= 0) {
        SBufferPlan& last = plans[lastBuffer];
        u32& n = last.counts.back();
        if (running > count) {
            const u32 excess = running - count;
            n = n < excess ? 0 : n - excess;
        } else if (running < count) {
            n += count - running;
        }
        last.count = 0;
        for (u32 c : last.counts)
            last.count += c;
    }
    u32 sum = 0;
    for (const SBufferPlan& plan : plans)
        sum += plan.count;
    if (hasArea && sum != count)
        taPrint(ETALOG_WARN, "CTaMeshManipulator::createPointCloudMesh : Warning, total=%d different from expected numVertices=%d",
                int(sum), int(count));

    SGenerator generator;
    u32 number = 0;
    for (u32 b = 0; b < bufferCount; ++b) {
        const scene::IMeshBuffer* source = mesh->getMeshBuffer(b);
        auto* points = new scene::SMeshBuffer();
        points->Material = source->getMaterial();
        points->Vertices.reallocate(plans[b].count);
        if (source->getVertexType() == video::EVT_TANGENTS) {
            taPrint(ETALOG_ERROR, "CTaMeshManipulator::createPointCloudMesh : error, video::EVT_TANGENTS is not supported\n");
        } else {
            auto index = [&](u32 n) -> u32 {
                const u32 i = source->getIndexType() == video::EIT_16BIT ? source->getIndices()[n]
                                                                          : reinterpret_cast<const u32*>(source->getIndices())[n];
                return i < source->getVertexCount() ? i : 0;
            };
            for (size_t t = 0; t < plans[b].counts.size(); ++t) {
                const SCorner a = corner(source, index(u32(t * 3))), bb = corner(source, index(u32(t * 3 + 1))),
                              c = corner(source, index(u32(t * 3 + 2)));
                for (u32 k = 0; k < plans[b].counts[t]; ++k) {
                    const f32 u = generator.next() / 32767.0f;
                    const f32 s = fastSqrt(u);
                    const f32 v = generator.next() / 32767.0f;
                    const f32 wA = 1.0f - s, wB = s * (1.0f - v), wC = s * v;
                    video::S3DVertex point;
                    point.Pos = (a.position * wA + bb.position * wB) + c.position * wC;
                    point.Normal = (a.normal * wA + bb.normal * wB) + c.normal * wC;
                    if (point.Normal.getLength() != 0.0f)
                        point.Normal.normalize();
                    point.TCoords = (a.uv * wA + bb.uv * wB) + c.uv * wC;
                    point.Color = video::SColor(number++);
                    points->Vertices.push_back(point);
                }
            }
        }
        points->recalculateBoundingBox();
        cloud->addMeshBuffer(points);
        points->drop();
    }
    cloud->recalculateBoundingBox();
    return cloud;
}
