// The particle simulation: the generator's sequence, births by rate, limit, life and kind, motion by
// every combination of features against the plain reference loop, depth order, time going backwards,
// meshes that give no place, and the curl-noise volume and its cache.
#include "TaTestSupport.h"

#include "particles/TaCurlNoise.h"
#include "particles/TaFxEmitter.h"
#include "particles/TaParticleRandom.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

using namespace irr;

// Emitters on private pools with a fixed generator start.
class TaFxEmitterTest : public TaScratchTest
{
protected:
    void SetUp() override
    {
        TaScratchTest::SetUp();
        taParticleSetRandSeed(0);
    }
    // Steps of `stepMs` from `startMs`, the particles emitted in each.
    static std::vector<size_t> births(CTaFxEmitter& e, u32 startMs, u32 stepMs, int steps)
    {
        std::vector<size_t> out;
        e.update(startMs);
        for (int i = 1; i <= steps; ++i) {
            const size_t before = e.emittedCount();
            e.update(startMs + u32(i) * stepMs);
            out.push_back(e.emittedCount() - before);
        }
        return out;
    }
};

TEST_F(TaFxEmitterTest, TheGeneratorFollowsItsSequence)
{
    const int expected[] = {38, 7719, 21238, 2437, 8855, 11797, 8365, 32285};
    for (int value : expected)
        EXPECT_EQ(taParticleRand(), value);
    EXPECT_EQ(taParticleRandSeed(), 2115878600u);
    taParticleSetRandSeed(0);
    EXPECT_FLOAT_EQ(taParticleRandCentred(), 38 * 3.0518509447574615e-05f - 0.5f);
}

TEST_F(TaFxEmitterTest, BirthsFollowTheRateTheLimitAndTheLife)
{
    {
        // 100 a second over 16 ms frames: the carry keeps the average at 1.6.
        CTaFxEmitter e;
        ASSERT_TRUE(e.init(1000, false));
        EXPECT_EQ(births(e, 1000, 16, 5), (std::vector<size_t>{1, 2, 1, 2, 2}));
    }
    {
        // A limit of 10 holds after the particles died, until the emitted count is reset.
        CTaFxEmitter e;
        ASSERT_TRUE(e.init(1000, false));
        e.setBirthRate(1000);
        e.setParticleLimit(10);
        e.setLifeTime(0.005f, 0);
        births(e, 1000, 10, 6);
        EXPECT_EQ(e.emittedCount(), 10u);
        EXPECT_EQ(e.getParticleCount(), 0u);
        e.resetEmittedCount();
        e.update(1070);
        EXPECT_EQ(e.emittedCount(), 10u);
    }
    {
        // A life of 1 varying by 4 gives lives from 0 (negative draws) to 3 seconds.
        CTaFxEmitter e;
        ASSERT_TRUE(e.init(5000, false));
        e.setBirthRate(100000);
        e.setLifeTime(1, 4);
        e.update(1000);
        e.update(1010);
        ASSERT_GT(e.getParticleCount(), 900u);
        int zero = 0;
        for (const STaParticle* p = e.liveHead(); p; p = e.next(p)) {
            const float life = p->death - p->birth;
            EXPECT_GE(life, 0.0f);
            EXPECT_LE(life, 3.0f + 1e-4f);
            zero += life == 0 ? 1 : 0;
        }
        EXPECT_GT(zero, 100);
    }
}

TEST_F(TaFxEmitterTest, ChildrenAreBornFromTheirParentsDeaths)
{
    CTaFxEmitter parent, child, orphan;
    ASSERT_TRUE(parent.init(1000, false) && child.init(1000, false) && orphan.init(1000, false));
    parent.setBirthRate(3000);
    parent.setLifeTime(0, 0); // each dies in the step after its birth
    for (CTaFxEmitter* e : {&child, &orphan}) {
        e->setKind(ETAFXK_PARENT_DEATHS);
        e->setBirthRate(1);
        e->update(1000);
    }
    child.setParentEmitter(&parent);
    orphan.setParentEmitter(&child); // whose particles never die here
    parent.update(1000);
    parent.update(1010); // 30 born
    parent.update(1020); // those 30 die
    ASSERT_EQ(parent.deadCount(), 30u);
    child.update(1020);
    orphan.update(1020);
    EXPECT_EQ(child.emittedCount(), 1u);
    EXPECT_EQ(orphan.emittedCount(), 0u);
    // Born where the parent's particle died.
    ASSERT_NE(child.liveHead(), nullptr);
    EXPECT_EQ(child.liveHead()->position[0], parent.deadHead()->position[0]);
}

TEST_F(TaFxEmitterTest, ChildrenAreBornOnTheirParentsLiveParticlesInTurn)
{
    CTaFxEmitter parent, child;
    ASSERT_TRUE(parent.init(100, false) && child.init(100, false));
    parent.setBirthRate(300);
    parent.setLifeTime(100, 0);
    parent.setExplosion(2); // each parent particle flies its own way
    for (CTaFxEmitter* e : {&parent, &child})
        e->setResistance(0, 0);
    child.setKind(ETAFXK_PARENT_PARTICLES);
    child.setParentEmitter(&parent);
    child.setBirthRate(200);
    child.setParentMotion(1);
    parent.update(1000);
    child.update(1000);
    parent.update(1010); // 3 live particles
    ASSERT_EQ(parent.getParticleCount(), 3u);
    child.update(1010);  // 2 births: on the first two
    child.update(1020);  // 2 more: on the third, then the first again
    ASSERT_EQ(child.getParticleCount(), 4u);
    std::vector<const STaParticle*> parents;
    for (const STaParticle* p = parent.liveHead(); p; p = parent.next(p))
        parents.push_back(p);
    const size_t order[4] = {0, 1, 2, 0};
    const STaParticle* c = child.liveHead();
    for (size_t i = 0; i < 4; ++i, c = child.next(c)) {
        SCOPED_TRACE(i);
        // Born on that parent particle, carrying its velocity.
        for (int a = 0; a < 3; ++a)
            EXPECT_NEAR(c->velocity[a], parents[order[i]]->velocity[a], 1e-5f);
    }
    // Without a parent particle: at the origin, at rest.
    CTaFxEmitter orphan;
    ASSERT_TRUE(orphan.init(10, false));
    orphan.setKind(ETAFXK_PARENT_PARTICLES);
    orphan.setVelocity(5, 5, 5);
    orphan.update(1000);
    orphan.update(1020);
    ASSERT_EQ(orphan.getParticleCount(), 2u);
    EXPECT_EQ(orphan.liveHead()->velocity[0], 0.0f);
}

TEST_F(TaFxEmitterTest, EveryAdvanceLoopMatchesTheReferenceLoop)
{
    CTaCurlNoise curl;
    std::vector<uint8_t> voxels(8 * 8 * 8);
    for (size_t i = 0; i < voxels.size(); ++i)
        voxels[i] = uint8_t(i * 37 % 251);
    ASSERT_TRUE(curl.buildFromVoxels(voxels.data(), voxels.size(), 8));
    for (unsigned features = 0; features <= ETAFXF_ALL; ++features) {
        SCOPED_TRACE(features);
        CTaFxEmitter a, b;
        for (CTaFxEmitter* e : {&a, &b}) {
            taParticleSetRandSeed(77);
            ASSERT_TRUE(e->init(4000, false));
            e->setBirthRate(100000);
            e->setLifeTime(0.05f, 0.1f);
            e->setVelocity(1, 2, 3);
            e->setVibration(2, 0);
            e->setExplosion(1.5f);
            e->setCurlNoise(&curl);
            e->update(1000);
            e->update(1020);
            e->setRandomVelocity(features & ETAFXF_RANDOM_VELOCITY ? 3.0f : 0.0f);
            e->setCurlNoisePower(features & ETAFXF_CURL_NOISE ? 2.0f : 0.0f);
            e->setResistance(features & ETAFXF_RESISTANCE ? 0.7f : 0.0f, 0);
            e->setWeight(2, 0);
            e->setGravity(0, features & ETAFXF_GRAVITY ? -9.8f : 0.0f, 0);
            e->setDepthSort(features & ETAFXF_DEPTH_SORT);
            e->setCameraPosition(5, 1, -3);
        }
        ASSERT_EQ(a.advanceFeatures(), features);
        taParticleSetRandSeed(99);
        const size_t liveA = a.advance(1.04f, 0.02f, features);
        taParticleSetRandSeed(99);
        const size_t liveB = b.advanceReference(1.04f, 0.02f);
        ASSERT_EQ(liveA, liveB);
        EXPECT_GT(liveA, 100u);
        EXPECT_GT(a.deadCount(), 10u); // some outlived their time in this step
        EXPECT_EQ(a.deadCount(), b.deadCount());
        const STaParticle *p = a.liveHead(), *q = b.liveHead();
        for (; p && q; p = a.next(p), q = b.next(q))
            for (int i = 0; i < 4; ++i) {
                ASSERT_FLOAT_EQ(p->position[i], q->position[i]);
                ASSERT_FLOAT_EQ(p->velocity[i], q->velocity[i]);
                ASSERT_FLOAT_EQ(p->depthKey, q->depthKey);
            }
        EXPECT_EQ(p, nullptr);
        EXPECT_EQ(q, nullptr);
    }
}

TEST_F(TaFxEmitterTest, DepthSortingPutsTheFarthestFirst)
{
    CTaFxEmitter e;
    ASSERT_TRUE(e.init(1000, false));
    e.setBirthRate(20000);
    e.setGeneratorSize(10, 10, 10);
    e.setDepthSort(true);
    e.setCameraPosition(0, 0, -20);
    e.update(1000);
    e.update(1016);
    ASSERT_GT(e.getParticleCount(), 100u);
    size_t count = 0;
    for (const STaParticle* p = e.liveHead(); p; p = e.next(p), ++count)
        if (e.next(p))
            EXPECT_GE(p->depthKey, e.next(p)->depthKey);
    EXPECT_EQ(count, e.getParticleCount());
    std::vector<float> instances(count * 9);
    EXPECT_EQ(e.fillInstances(instances.data(), count + 5), count);
    EXPECT_EQ(instances[0], e.liveHead()->position[0]);
    EXPECT_EQ(instances[3], e.liveHead()->birth);
}

TEST_F(TaFxEmitterTest, TimeGoingBackwardsStartsAgain)
{
    CTaFxEmitter e;
    ASSERT_TRUE(e.init(1000, false));
    births(e, 5000, 16, 10);
    ASSERT_GT(e.getParticleCount(), 0u);
    e.update(1000); // a scrub back: not a step of -4 s
    EXPECT_EQ(e.getParticleCount(), 0u);
    e.update(1016);
    EXPECT_LE(e.getParticleCount(), 2u);
    EXPECT_GT(e.getParticleCount(), 0u);
}

TEST_F(TaFxEmitterTest, MeshesThatGiveNoPlaceGiveNoBirths)
{
    scene::SMesh* empty = new scene::SMesh;
    scene::SMeshBuffer* pointsOnly = new scene::SMeshBuffer;
    pointsOnly->Vertices.push_back(video::S3DVertex(1, 2, 3, 0, 1, 0, video::SColor(255, 255, 255, 255), 0, 0));
    scene::SMesh* noTriangles = new scene::SMesh;
    noTriangles->addMeshBuffer(pointsOnly);
    pointsOnly->drop();
    const struct {
        const char* what;
        scene::IMesh* mesh;
        int kind;
        size_t born;
    } cases[] = {
        {"vertices of no mesh", nullptr, ETAFXK_MESH_VERTICES, 0},
        {"vertices of an empty mesh", empty, ETAFXK_MESH_VERTICES, 0},
        {"normals of an empty mesh", empty, ETAFXK_MESH_NORMALS, 0},
        {"the surface of a mesh without triangles", noTriangles, ETAFXK_MESH_SURFACE, 0},
        {"vertices of a one-vertex mesh", noTriangles, ETAFXK_MESH_VERTICES, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TaLogCapture log;
        CTaFxEmitter e;
        ASSERT_TRUE(e.init(100, false));
        e.setKind(c.kind);
        e.setMesh(c.mesh);
        e.setBirthRate(1000);
        e.update(1000);
        e.update(1010);
        EXPECT_EQ(e.emittedCount(), c.born);
        EXPECT_EQ(log.contains("CTaFxEmitter: the mesh of a mesh emitter has no"), c.born == 0);
        if (c.born)
            EXPECT_EQ(e.liveHead()->position[1], 2.0f);
    }
    empty->drop();
    noTriangles->drop();
}

TEST_F(TaFxEmitterTest, AnExplosionFromTheVeryCentreStaysFinite)
{
    CTaFxEmitter e;
    ASSERT_TRUE(e.init(100, false));
    e.setGeneratorSize(0, 0, 0); // every birth at the centre: no direction to explode along
    e.setExplosion(5);
    e.update(1000);
    e.update(1050);
    ASSERT_GT(e.getParticleCount(), 0u);
    for (const STaParticle* p = e.liveHead(); p; p = e.next(p))
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(std::isfinite(p->velocity[i]) && std::isfinite(p->position[i]));
}

TEST_F(TaFxEmitterTest, ThePrivatePoolKeepsItsParticlesWhenHiddenTheSharedOneDoesNot)
{
    CTaFxEmitter shared, own;
    ASSERT_TRUE(shared.init(0, true));
    ASSERT_TRUE(own.init(0, false));
    for (CTaFxEmitter* e : {&shared, &own}) {
        e->update(1000);
        e->update(1100);
        ASSERT_EQ(e->getParticleCount(), 10u);
        e->release(true);
    }
    EXPECT_EQ(shared.getParticleCount(), 0u);
    EXPECT_EQ(own.getParticleCount(), 10u);
    // Shown again, the shared one starts from a first update: nothing is born in that frame.
    shared.update(1200);
    EXPECT_EQ(shared.getParticleCount(), 0u);
}

TEST_F(TaFxEmitterTest, CurlNoiseCachesAndSamples)
{
    const struct {
        size_t size;
        bool loads;
        const char* error;
        int n;
    } cases[] = {
        {786432, true, "", 64},
        {786433, false, "CurlNoise3D file not multiple of 3 bytes", 1},
        {3003, false, "CurlNoise3D file not have W = H = D (sz=10)", 1},
        {0, false, "CurlNoise3D file not have W = H = D (sz=0)", 1},
        {3, true, "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::vector<uint8_t> bytes(c.size, 7);
        CTaCurlNoise volume;
        std::string error;
        EXPECT_EQ(volume.loadCacheBytes(bytes.data(), bytes.size(), error), c.loads);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(volume.size(), c.n);
    }
    // Built from voxels, written and read again through a file; samples wrap around the volume.
    std::vector<uint8_t> voxels(16 * 16 * 16);
    for (size_t i = 0; i < voxels.size(); ++i)
        voxels[i] = uint8_t((i * 2654435761u) >> 24);
    CTaCurlNoise built, read;
    ASSERT_TRUE(built.buildFromVoxels(voxels.data(), voxels.size(), 16));
    EXPECT_FALSE(built.buildFromVoxels(voxels.data(), voxels.size() - 1, 16));
    ASSERT_TRUE(built.buildFromVoxels(voxels.data(), voxels.size(), 16));
    ASSERT_TRUE(built.saveCache(m_dir + "/curl.cache"));
    std::string error;
    ASSERT_TRUE(read.loadCache(m_dir + "/curl.cache", error)) << error;
    EXPECT_EQ(read.vectors(), built.vectors());
    EXPECT_FALSE(read.loadCache(m_dir + "/none.cache", error));
    EXPECT_EQ(error, "failed to open CurlNoise3D file");
    const float p[3] = {3.25f, -1.5f, 7.75f}, q[3] = {3.25f + 16, -1.5f + 32, 7.75f - 16};
    float a[3], b[3];
    built.sample(p, a);
    built.sample(q, b);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(a[i], b[i], 1e-4f);
    // At a voxel the sample is that voxel's vector.
    const float at[3] = {2, 3, 4};
    built.sample(at, a);
    const int8_t* v = &built.vectors()[(2 + 3 * 16 + 4 * 256) * 3];
    EXPECT_FLOAT_EQ(a[0], float(v[0]));
    EXPECT_FLOAT_EQ(a[2], float(v[2]));
}

} // namespace

#include "driver/TaDdsReader.h"
#include "engine/TaEngine.h"
#include "engine/TaManager.h"
#include "engine/TaResourceManager.h"

#include <fstream>
#include <iterator>

namespace {

std::vector<uint8_t> bytesOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(TaNoiseVolumeTest, TheCommittedVolumeIsTheGeneratorsAndTiles)
{
    const std::vector<uint8_t> made = taNoiseVolumeDds(64);
    EXPECT_EQ(bytesOf(std::string(TARV_DATA_DIR) + "/textures/NoiseVolume.dds"), made)
        << "run tarv_noise_volume data/textures after changing the generator";
    STaDdsImage image;
    std::string error;
    ASSERT_TRUE(taReadDds(made.data(), made.size(), image, error)) << error;
    EXPECT_EQ(image.kind, ETADDS_VOLUME);
    EXPECT_EQ(image.format, ETADDS_L8);
    EXPECT_EQ(image.width, 64u);
    EXPECT_EQ(image.depth, 64u);
    // Tiling: the step across the wrap (x 63 to 0) is as small as a step inside the volume.
    const std::vector<uint8_t> v = taNoiseVolumeVoxels(64);
    auto at = [&](int x, int y, int z) { return int(v[size_t(x) + size_t(y) * 64 + size_t(z) * 4096]); };
    long across = 0, inside = 0;
    for (int z = 0; z < 64; z += 3)
        for (int y = 0; y < 64; y += 3) {
            across += std::abs(at(63, y, z) - at(0, y, z));
            inside += std::abs(at(31, y, z) - at(32, y, z));
        }
    EXPECT_LT(across, inside * 2 + 50);
    EXPECT_TRUE(taNoiseVolumeVoxels(40).empty()); // not a multiple of 16
}

// The engine's curl-noise volume at start-up: made from the noise volume and cached, read from the
// cache the next time, made again from the noise volume when the cache is damaged, and a start-up
// failure only when neither is there.
TEST_F(TaFxEmitterTest, TheEngineMakesCachesAndRemakesItsCurlNoise)
{
    const std::string cache = m_dir + "/curlNoise3D.cache";
    const STaSetupParams params = taTestSetup(ETADRIVER_NULL, m_dir + "/");
    ASSERT_EQ(taSetup(params), 0);
    EXPECT_EQ(taGetManager()->getResourceManager()->curlNoise().size(), 64);
    taShutdown();
    const std::vector<uint8_t> written = bytesOf(cache);
    EXPECT_EQ(written.size(), 64u * 64 * 64 * 3);

    const struct {
        const char* what;
        std::string contents;
        const char* said;
    } damaged[] = {
        {"an empty cache", "", "CurlNoise3D file not have W = H = D (sz=0)"},
        {"a cut-off cache", std::string(written.begin(), written.begin() + 1000), "CurlNoise3D file not multiple of 3 bytes"},
    };
    for (const auto& c : damaged) {
        SCOPED_TRACE(c.what);
        writeFile("curlNoise3D.cache", c.contents);
        TaLogCapture log;
        ASSERT_EQ(taSetup(params), 0);
        EXPECT_TRUE(log.contains(c.said));
        EXPECT_TRUE(log.contains("cannot be used: it is made again from NoiseVolume.dds"));
        EXPECT_EQ(taGetManager()->getResourceManager()->curlNoise().size(), 64);
        taShutdown();
        EXPECT_EQ(bytesOf(cache), written); // made again, whole
    }
    // A good cache is used even without the noise volume; with neither, the start fails.
    std::remove((m_dir + "/textures/NoiseVolume.dds").c_str());
    ASSERT_EQ(taSetup(params), 0);
    EXPECT_EQ(taGetManager()->getResourceManager()->curlNoise().vectors().size(), written.size());
    taShutdown();
    std::remove(cache.c_str());
    TaLogCapture log;
    EXPECT_NE(taSetup(params), 0);
    EXPECT_TRUE(log.contains("fails to init curl noise"));
}

} // namespace
