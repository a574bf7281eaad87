// CTaFxEmitter: the simulation of one particle emitter. Every update it gives the particles that died
// in the step before back to the pool, lets particles be born by its kind (a box, an ellipsoid, a
// mesh's vertices or surface, another emitter's live or dying particles) and moves the live ones
// (random velocity, curl noise, resistance, gravity), retiring those past their death. The particles
// come from the shared pool or a pool of the emitter's own. Main thread only.
#pragma once

#include "particles/TaParticlePool.h"

#include <irrlicht.h>

#include <cstddef>

class CTaCurlNoise;

enum ETaFxEmitterKind {
    ETAFXK_BOX = 0,
    ETAFXK_SPHERE = 1,
    ETAFXK_MESH_VERTICES = 2,
    ETAFXK_MESH_NORMALS = 3,
    ETAFXK_MESH_SURFACE = 4,
    ETAFXK_PARENT_PARTICLES = 5,
    ETAFXK_PARENT_DEATHS = 6,
};

// The features of an advance step, one bit each; a step runs the loop made for its combination.
enum ETaFxAdvanceFeature : unsigned {
    ETAFXF_RANDOM_VELOCITY = 1,
    ETAFXF_CURL_NOISE = 2,
    ETAFXF_RESISTANCE = 4,
    ETAFXF_GRAVITY = 8,
    ETAFXF_DEPTH_SORT = 16,
    ETAFXF_ALL = 31,
};

struct STaFxEmitterState {
    float birthRate = 100;
    float generatorSize[3] = {1, 1, 1};
    int particleLimit = 0;
    float weight = 1, weightVariation = 0;
    float size = 0, sizeVariation = 0;
    float resistance = 1, resistanceVariation = 0;
    float lifeTime = 2, lifeTimeVariation = 0;
    float velocity[3] = {0, 0, 0};
    float explosion = 0;
    float vibration = 0, vibrationVariation = 0;
    float gravity[3] = {0, 0, 0};
    float storedVector[3] = {0, 0, 0}; // kept for documents and scripts, not simulated
    float storedFloat12 = 1, storedFloat14 = 0;
    float parentMotion = 1;
    float randomVelocity = 0;
    float curlNoisePower = 0;
    float curlNoiseFrequency = 4;
    float transform[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}; // rows: axes, translation
    float cameraPosition[3] = {0, 0, 0};
    bool depthSort = false;
    int kind = ETAFXK_BOX;
};

class CTaFxEmitter
{
public:
    CTaFxEmitter();
    ~CTaFxEmitter();
    CTaFxEmitter(const CTaFxEmitter&) = delete;
    CTaFxEmitter& operator=(const CTaFxEmitter&) = delete;

    // On the shared pool, or on a pool of its own of `count` particles (65,536 for 0). False when the
    // pool could not be made (the emitter then emits nothing).
    bool init(size_t count, bool shared);

    // --- Settings (each only stores its values) ---
    void setBirthRate(float rate) { m_state.birthRate = rate; }
    void setGeneratorSize(float x, float y, float z);
    void setParticleLimit(int count) { m_state.particleLimit = count; }
    void setWeight(float weight, float variation);
    void setSize(float size, float variation);
    void setResistance(float resistance, float variation);
    void setLifeTime(float seconds, float variation);
    void setVelocity(float x, float y, float z);
    void setExplosion(float speed) { m_state.explosion = speed; }
    void setVibration(float speed, float variation);
    void setGravity(float x, float y, float z);
    void setStoredVector(float x, float y, float z);
    void setStoredFloat12(float value) { m_state.storedFloat12 = value; }
    void setParentMotion(float factor) { m_state.parentMotion = factor; }
    void setStoredFloat14(float value) { m_state.storedFloat14 = value; }
    void setRandomVelocity(float amount) { m_state.randomVelocity = amount; }
    void setCurlNoisePower(float power) { m_state.curlNoisePower = power; }
    void setCurlNoiseFrequency(float frequency) { m_state.curlNoiseFrequency = frequency; }
    void setTransform(const float matrix[16]);
    void setCameraPosition(float x, float y, float z);
    void setDepthSort(bool on) { m_state.depthSort = on; }
    void setKind(int kind) { m_state.kind = kind; }
    // The mesh of the mesh kinds (held), its cursor back at the first vertex.
    void setMesh(irr::scene::IMesh* mesh);
    void setParentEmitter(CTaFxEmitter* parent) { m_parent = parent; }
    // The curl-noise volume the advance samples (none: no curl noise).
    void setCurlNoise(const CTaCurlNoise* volume) { m_curl = volume; }
    const STaFxEmitterState& state() const { return m_state; }

    // --- Running ---
    // One step to engine time `timeMs`: the first update (and one whose time went backwards, as a
    // scrub or restart does) only starts the emitter.
    void update(irr::u32 timeMs);
    size_t getParticleCount() const { return m_liveCount; }
    size_t emittedCount() const { return m_emitted; }
    // Every particle back to the pool, the counts and the birth carry 0, not started.
    void reset();
    void resetEmittedCount() { m_emitted = 0; }
    // The dead list back to the pool and, unless `deadOnly` is set on a private pool, the live
    // particles too (the emitted count stays).
    void release(bool deadOnly);
    // Up to `maximum` instance records of 9 floats (position, birth, death, 0, velocity) from the head
    // of the live list; the number written.
    size_t fillInstances(float* destination, size_t maximum) const;

    // The live and dead lists (the dead ones of the last step), for drawing, children and tests.
    const STaParticle* liveHead() const { return m_liveHead; }
    // The particle after `p` in the emitter's lists, or nullptr.
    STaParticle* next(const STaParticle* p) const { return m_pool ? m_pool->next(p) : nullptr; }
    const STaParticle* deadHead() const { return m_deadHead; }
    size_t deadCount() const { return m_deadCount; }

    // The advance of one step over the live list, by the loop made for `features` (ETAFXF_ bits); the
    // reference loop tests each feature per particle. Both return the live count; `features` must be
    // what the state asks for (advanceFeatures) for the two to agree.
    size_t advance(float t, float h, unsigned features);
    size_t advanceReference(float t, float h);
    unsigned advanceFeatures() const;

private:
    template <unsigned Features> size_t advanceWith(float t, float h);
    size_t birthCount(double h, size_t allowed);
    // A particle from the pool appended to the live list, born at `t` with its life drawn; nullptr
    // when the pool is empty.
    STaParticle* bear(float t);
    // The velocity a particle starts with for birth direction `d`: the emitter's velocity, vibration
    // along a random direction and explosion along d, through the transform (no translation).
    void launchVelocity(const float d[3], float out[3]) const;
    size_t bornFromSource(float t, size_t n);
    size_t bornFromParent(float t, size_t n);
    bool meshPlace(float b[3], float d[3]);
    void retire(STaParticle* previous, STaParticle* p);
    void sortByDepth();

    STaFxEmitterState m_state;
    CTaParticlePool* m_pool = nullptr;
    bool m_shared = false;
    irr::scene::IMesh* m_mesh = nullptr;
    irr::u32 m_meshBuffer = 0, m_meshVertex = 0;
    CTaFxEmitter* m_parent = nullptr;
    size_t m_parentCursor = 0;
    const CTaCurlNoise* m_curl = nullptr;

    irr::u32 m_lastUpdate = 0;
    bool m_started = false;
    float m_lastSource[3] = {0, 0, 0}, m_previousSource[3] = {0, 0, 0};
    irr::u32 m_measureTime = 0;
    float m_sourceVelocity[3] = {0, 0, 0}, m_previousVelocity[3] = {0, 0, 0};
    double m_carry = 0;
    size_t m_liveCount = 0, m_emitted = 0;
    STaParticle *m_liveHead = nullptr, *m_liveTail = nullptr;
    STaParticle *m_deadHead = nullptr, *m_deadTail = nullptr;
    size_t m_deadCount = 0;
    bool m_warnedMesh = false;
};
