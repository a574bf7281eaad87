// The particle emitter's simulation.
#include "particles/TaFxEmitter.h"

#include "core/TaLog.h"
#include "particles/TaCurlNoise.h"
#include "particles/TaParticleRandom.h"

#include <algorithm>
#include <cmath>
#include <cstring>

using namespace irr;

namespace {

// v scaled to length 1; a zero vector stays zero (it has no direction).
void normalise(const float v[3], float out[3])
{
    const float length2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
    const float scale = length2 > 0 ? 1.0f / std::sqrt(length2) : 0.0f;
    for (int i = 0; i < 3; ++i)
        out[i] = v[i] * scale;
}

void randomVector(float out[3])
{
    out[0] = taParticleRandCentred();
    out[1] = taParticleRandCentred();
    out[2] = taParticleRandCentred();
}

// b (a row vector) times the matrix: with `point` the translation row is added.
void transform(const float m[16], const float b[3], bool point, float out[3])
{
    for (int i = 0; i < 3; ++i)
        out[i] = b[0] * m[i] + b[1] * m[4 + i] + b[2] * m[8 + i] + (point ? m[12 + i] : 0.0f);
}

} // namespace

CTaFxEmitter::CTaFxEmitter() = default;

CTaFxEmitter::~CTaFxEmitter()
{
    release(false);
    setMesh(nullptr);
    if (m_shared)
        CTaParticlePool::releaseShared();
    else
        delete m_pool;
}

bool CTaFxEmitter::init(size_t count, bool shared)
{
    if (m_pool)
        return false;
    if (shared) {
        m_pool = CTaParticlePool::acquireShared();
        m_shared = true;
    } else {
        m_pool = new CTaParticlePool(count ? count : CTaParticlePool::kPrivateDefault);
    }
    return m_pool->size() > 0;
}

void CTaFxEmitter::setGeneratorSize(float x, float y, float z)
{
    m_state.generatorSize[0] = x, m_state.generatorSize[1] = y, m_state.generatorSize[2] = z;
}
void CTaFxEmitter::setWeight(float weight, float variation)
{
    m_state.weight = weight, m_state.weightVariation = variation;
}
void CTaFxEmitter::setSize(float size, float variation)
{
    m_state.size = size, m_state.sizeVariation = variation;
}
void CTaFxEmitter::setResistance(float resistance, float variation)
{
    m_state.resistance = resistance, m_state.resistanceVariation = variation;
}
void CTaFxEmitter::setLifeTime(float seconds, float variation)
{
    m_state.lifeTime = seconds, m_state.lifeTimeVariation = variation;
}
void CTaFxEmitter::setVelocity(float x, float y, float z)
{
    m_state.velocity[0] = x, m_state.velocity[1] = y, m_state.velocity[2] = z;
}
void CTaFxEmitter::setVibration(float speed, float variation)
{
    m_state.vibration = speed, m_state.vibrationVariation = variation;
}
void CTaFxEmitter::setGravity(float x, float y, float z)
{
    m_state.gravity[0] = x, m_state.gravity[1] = y, m_state.gravity[2] = z;
}
void CTaFxEmitter::setStoredVector(float x, float y, float z)
{
    m_state.storedVector[0] = x, m_state.storedVector[1] = y, m_state.storedVector[2] = z;
}
void CTaFxEmitter::setTransform(const float matrix[16])
{
    std::memcpy(m_state.transform, matrix, sizeof(m_state.transform));
}
void CTaFxEmitter::setCameraPosition(float x, float y, float z)
{
    m_state.cameraPosition[0] = x, m_state.cameraPosition[1] = y, m_state.cameraPosition[2] = z;
}

void CTaFxEmitter::setMesh(scene::IMesh* mesh)
{
    if (mesh)
        mesh->grab();
    if (m_mesh)
        m_mesh->drop();
    m_mesh = mesh;
    m_meshBuffer = m_meshVertex = 0;
    m_warnedMesh = false;
}

// --- Lists ---------------------------------------------------------------------------------------------

void CTaFxEmitter::release(bool deadOnly)
{
    if (!m_pool)
        return;
    m_pool->giveBack(m_deadHead, m_deadTail, m_deadCount);
    m_deadHead = m_deadTail = nullptr;
    m_deadCount = 0;
    if (deadOnly && !m_shared)
        return;
    m_pool->giveBack(m_liveHead, m_liveTail, m_liveCount);
    m_liveHead = m_liveTail = nullptr;
    m_liveCount = 0;
    m_carry = 0;
    m_started = false;
}

void CTaFxEmitter::reset()
{
    release(false);
    m_emitted = 0;
}

void CTaFxEmitter::retire(STaParticle* previous, STaParticle* p)
{
    // Unlinked from the live list (whose count the caller keeps), appended to the dead list.
    if (previous)
        previous->next = p->next;
    else
        m_liveHead = next(p);
    if (m_liveTail == p)
        m_liveTail = previous;
    p->next = 0;
    if (m_deadTail)
        m_deadTail->next = m_pool->link(p);
    else
        m_deadHead = p;
    m_deadTail = p;
    ++m_deadCount;
}

size_t CTaFxEmitter::fillInstances(float* destination, size_t maximum) const
{
    size_t written = 0;
    for (const STaParticle* p = m_liveHead; p && written < maximum; p = next(p), ++written) {
        float* r = destination + written * 9;
        r[0] = p->position[0], r[1] = p->position[1], r[2] = p->position[2];
        r[3] = p->birth, r[4] = p->death, r[5] = 0;
        r[6] = p->velocity[0], r[7] = p->velocity[1], r[8] = p->velocity[2];
    }
    return written;
}

// --- Update ---------------------------------------------------------------------------------------------

void CTaFxEmitter::update(u32 timeMs)
{
    // The particles that died in the step before go back to the pool.
    if (m_pool) {
        m_pool->giveBack(m_deadHead, m_deadTail, m_deadCount);
        m_deadHead = m_deadTail = nullptr;
        m_deadCount = 0;
    }
    const float* source = m_state.transform + 12;
    // Time going backwards (a scrub, a restart) starts the emitter again instead of giving a step of
    // negative length.
    if (m_started && timeMs < m_lastUpdate)
        reset();
    if (!m_started) {
        m_started = true;
        m_lastUpdate = m_measureTime = timeMs;
        std::copy(source, source + 3, m_lastSource);
        std::copy(source, source + 3, m_previousSource);
        std::fill(m_sourceVelocity, m_sourceVelocity + 3, 0.0f);
        std::fill(m_previousVelocity, m_previousVelocity + 3, 0.0f);
        return;
    }
    const u32 dt = timeMs - m_lastUpdate;
    m_lastUpdate = timeMs;
    if (timeMs - m_measureTime >= 11) {
        const float elapsed = float(timeMs - m_measureTime);
        for (int i = 0; i < 3; ++i) {
            m_sourceVelocity[i] = (source[i] - m_lastSource[i]) * 1000.0f / elapsed;
            m_lastSource[i] = source[i];
        }
        m_measureTime = timeMs;
    }
    const float t = float(timeMs) / 1000.0f;
    const double h = double(dt) / 1000.0;
    size_t allowed = size_t(-1);
    if (m_state.particleLimit != 0)
        allowed = m_emitted >= size_t(std::max(m_state.particleLimit, 0)) ? 0 : size_t(m_state.particleLimit) - m_emitted;
    const size_t n = birthCount(h, allowed);
    if (m_pool && n > 0) {
        const int kind = m_state.kind;
        m_emitted += kind == ETAFXK_PARENT_PARTICLES || kind == ETAFXK_PARENT_DEATHS ? bornFromParent(t, n)
                                                                                   : bornFromSource(t, n);
    }
    m_liveCount = advance(t, float(h), advanceFeatures());
    if (m_state.depthSort && m_liveCount >= 2)
        sortByDepth();
}

size_t CTaFxEmitter::birthCount(double h, size_t allowed)
{
    size_t n = 0;
    const int kind = m_state.kind;
    if (kind >= ETAFXK_BOX && kind <= ETAFXK_PARENT_PARTICLES) {
        const double births = std::max(h * double(m_state.birthRate) + m_carry, 0.0);
        const double whole = std::floor(births);
        m_carry = births - whole;
        n = size_t(whole);
    } else if (kind == ETAFXK_PARENT_DEATHS) {
        m_carry = 0;
        const double births = m_parent ? double(m_parent->deadCount()) * double(m_state.birthRate) / 30.0 : 0.0;
        n = births > 0 ? size_t(births) : 0;
    }
    return std::min(n, allowed);
}

bool CTaFxEmitter::meshPlace(float b[3], float d[3])
{
    const u32 buffers = m_mesh ? m_mesh->getMeshBufferCount() : 0;
    const int kind = m_state.kind;
    if (kind == ETAFXK_MESH_VERTICES || kind == ETAFXK_MESH_NORMALS) {
        // The vertices in turn, buffer after buffer; a mesh without any gives no place.
        for (u32 tries = 0; tries <= buffers; ++tries) {
            if (m_meshBuffer >= buffers)
                m_meshBuffer = 0, m_meshVertex = 0;
            scene::IMeshBuffer* buffer = buffers ? m_mesh->getMeshBuffer(m_meshBuffer) : nullptr;
            if (buffer && m_meshVertex < buffer->getVertexCount()) {
                const core::vector3df& p = buffer->getPosition(m_meshVertex);
                const core::vector3df& normal = buffer->getNormal(m_meshVertex);
                b[0] = p.X, b[1] = p.Y, b[2] = p.Z;
                if (kind == ETAFXK_MESH_NORMALS)
                    d[0] = normal.X, d[1] = normal.Y, d[2] = normal.Z;
                else
                    d[0] = p.X, d[1] = p.Y, d[2] = p.Z;
                if (++m_meshVertex >= buffer->getVertexCount())
                    ++m_meshBuffer, m_meshVertex = 0;
                return true;
            }
            ++m_meshBuffer, m_meshVertex = 0;
        }
        return false;
    }
    // The surface: a random triangle of a random buffer, a uniform point on it.
    if (!buffers)
        return false;
    const int r0 = taParticleRand();
    scene::IMeshBuffer* buffer = m_mesh->getMeshBuffer(u32((float(buffers) - 0.001f) / 32767.0f * float(r0)));
    const u32 triangles = buffer ? buffer->getIndexCount() / 3 : 0;
    const int r1 = taParticleRand();
    if (!triangles)
        return false;
    const u32 triangle = std::min(u32((float(triangles) - 0.001f) / 32767.0f * float(r1)), triangles - 1);
    const float a = float(taParticleRand()) / 32767.0f, c = float(taParticleRand()) / 32767.0f;
    const float s = std::sqrt(a);
    const auto corner = [&](u32 k) -> core::vector3df {
        const u32 index = buffer->getIndexType() == video::EIT_16BIT
                              ? u32(buffer->getIndices()[triangle * 3 + k])
                              : reinterpret_cast<const u32*>(buffer->getIndices())[triangle * 3 + k];
        return index < buffer->getVertexCount() ? buffer->getPosition(index) : core::vector3df(0, 0, 0);
    };
    const core::vector3df p = corner(0) * (1 - s) + corner(1) * (s * (1 - c)) + corner(2) * (s * c);
    b[0] = d[0] = p.X, b[1] = d[1] = p.Y, b[2] = d[2] = p.Z;
    return true;
}

STaParticle* CTaFxEmitter::bear(float t)
{
    STaParticle* p = m_pool->take();
    if (!p)
        return nullptr;
    p->next = 0;
    if (m_liveTail)
        m_liveTail->next = m_pool->link(p);
    else
        m_liveHead = p;
    m_liveTail = p;
    ++m_liveCount;
    p->birth = t;
    p->death = t + std::max(m_state.lifeTime + taParticleRandCentred() * m_state.lifeTimeVariation, 0.0f);
    p->depthKey = 0;
    return p;
}

void CTaFxEmitter::launchVelocity(const float d[3], float out[3]) const
{
    float w[3], wn[3], dn[3], local[3];
    randomVector(w);
    normalise(w, wn);
    normalise(d, dn);
    for (int a = 0; a < 3; ++a)
        local[a] = m_state.velocity[a] + m_state.vibration * wn[a] + m_state.explosion * dn[a];
    transform(m_state.transform, local, false, out);
}

size_t CTaFxEmitter::bornFromSource(float t, size_t n)
{
    const float* m = m_state.transform;
    const float* source = m + 12;
    float v[3], vPrevious[3];
    for (int i = 0; i < 3; ++i) {
        v[i] = m_sourceVelocity[i] * m_state.parentMotion;
        vPrevious[i] = m_previousVelocity[i];
    }
    const int kind = m_state.kind;
    const bool mesh = kind == ETAFXK_MESH_VERTICES || kind == ETAFXK_MESH_NORMALS || kind == ETAFXK_MESH_SURFACE;
    size_t born = 0;
    for (size_t i = 0; i < n; ++i) {
        float b[3] = {0, 0, 0}, d[3] = {0, 0, 0};
        if (mesh && !meshPlace(b, d)) {
            if (!m_warnedMesh)
                taPrint(ETALOG_WARN, "CTaFxEmitter: the mesh of a mesh emitter has no %s: nothing is born",
                        kind == ETAFXK_MESH_SURFACE ? "triangles" : "vertices");
            m_warnedMesh = true;
            break;
        }
        STaParticle* p = bear(t);
        if (!p)
            break;
        ++born;
        if (kind == ETAFXK_BOX) {
            for (int a = 0; a < 3; ++a)
                b[a] = taParticleRandCentred() * m_state.generatorSize[a];
            std::copy(b, b + 3, d);
        } else if (kind == ETAFXK_SPHERE) {
            float w[3];
            randomVector(w);
            const float radius = float(taParticleRand()) / 65534.0f;
            normalise(w, w);
            for (int a = 0; a < 3; ++a)
                b[a] = w[a] * radius * m_state.generatorSize[a];
            std::copy(b, b + 3, d);
        }
        float position[3];
        transform(m, b, true, position);
        const float along = float(i) / float(n);
        for (int a = 0; a < 3; ++a)
            p->position[a] = position[a] + (m_previousSource[a] - source[a]) * along;
        p->position[3] = 1;
        float world[3];
        launchVelocity(d, world);
        for (int a = 0; a < 3; ++a)
            p->velocity[a] = world[a] + v[a] + (vPrevious[a] - v[a]) * along;
        p->velocity[3] = 0;
    }
    std::copy(source, source + 3, m_previousSource);
    std::copy(v, v + 3, m_previousVelocity);
    return born;
}

size_t CTaFxEmitter::bornFromParent(float t, size_t n)
{
    const bool deaths = m_state.kind == ETAFXK_PARENT_DEATHS;
    const STaParticle* head = m_parent ? (deaths ? m_parent->deadHead() : m_parent->liveHead()) : nullptr;
    const size_t count = m_parent ? (deaths ? m_parent->deadCount() : m_parent->getParticleCount()) : 0;
    // The parent's live particles in turn, resuming where the last step stopped.
    const STaParticle* cursor = head;
    if (!deaths) {
        if (m_parentCursor >= count)
            m_parentCursor = 0;
        for (size_t k = 0; k < m_parentCursor && cursor; ++k)
            cursor = m_parent->next(cursor);
    }
    size_t born = 0;
    for (size_t i = 0; i < n; ++i) {
        STaParticle* p = bear(t);
        if (!p)
            break;
        ++born;
        if (!cursor && count)
            cursor = head, m_parentCursor = 0;
        float d[3] = {0, 0, 0}, parentVelocity[3] = {0, 0, 0};
        if (cursor) {
            std::copy(cursor->position, cursor->position + 3, p->position);
            std::copy(cursor->velocity, cursor->velocity + 3, d);
            std::copy(cursor->velocity, cursor->velocity + 3, parentVelocity);
            cursor = m_parent->next(cursor);
            ++m_parentCursor;
        } else {
            p->position[0] = p->position[1] = p->position[2] = 0;
        }
        p->position[3] = 1;
        // Without a parent particle to start from, the birth is at the origin and at rest.
        float world[3];
        launchVelocity(d, world);
        for (int a = 0; a < 3; ++a)
            p->velocity[a] = count ? world[a] + m_state.parentMotion * parentVelocity[a] : 0.0f;
        p->velocity[3] = 0;
    }
    return born;
}

// --- Advance --------------------------------------------------------------------------------------------

unsigned CTaFxEmitter::advanceFeatures() const
{
    unsigned f = 0;
    if (m_state.randomVelocity != 0)
        f |= ETAFXF_RANDOM_VELOCITY;
    if (m_state.curlNoisePower != 0)
        f |= ETAFXF_CURL_NOISE;
    if (m_state.resistance != 0)
        f |= ETAFXF_RESISTANCE;
    if (m_state.gravity[0] != 0 || m_state.gravity[1] != 0 || m_state.gravity[2] != 0)
        f |= ETAFXF_GRAVITY;
    if (m_state.depthSort)
        f |= ETAFXF_DEPTH_SORT;
    return f;
}

template <unsigned Features> size_t CTaFxEmitter::advanceWith(float t, float h)
{
    const float random = 0.05f * m_state.randomVelocity;
    const float curl = h * 0.04f * m_state.curlNoisePower, frequency = m_state.curlNoiseFrequency;
    const float drag = m_state.weight != 0 ? m_state.resistance / m_state.weight * h : 0.0f;
    const float gx = m_state.gravity[0] * h, gy = m_state.gravity[1] * h, gz = m_state.gravity[2] * h;
    const float* camera = m_state.cameraPosition;
    const CTaCurlNoise* volume = m_curl;
    size_t live = 0;
    STaParticle* previous = nullptr;
    for (STaParticle* p = m_liveHead; p;) {
        STaParticle* following = next(p);
        if (t > p->death) {
            retire(previous, p);
            p = following;
            continue;
        }
        float* v = p->velocity;
        float* x = p->position;
        if (Features & ETAFXF_RANDOM_VELOCITY) {
            const float wx = taParticleRandCentred(), wy = taParticleRandCentred(), wz = taParticleRandCentred();
            v[0] += wx * random, v[1] += wy * random, v[2] += wz * random;
        }
        if (Features & ETAFXF_CURL_NOISE) {
            if (volume) {
                const float at[3] = {x[0] * frequency, x[1] * frequency, x[2] * frequency};
                float c[3];
                volume->sample(at, c);
                x[0] += c[0] * curl, x[1] += c[1] * curl, x[2] += c[2] * curl;
            }
        }
        if (Features & ETAFXF_RESISTANCE) {
            v[0] -= v[0] * drag, v[1] -= v[1] * drag, v[2] -= v[2] * drag;
        }
        if (Features & ETAFXF_GRAVITY) {
            v[0] += gx, v[1] += gy, v[2] += gz;
        }
        x[0] += v[0] * h, x[1] += v[1] * h, x[2] += v[2] * h;
        if (Features & ETAFXF_DEPTH_SORT) {
            const float dx = x[0] - camera[0], dy = x[1] - camera[1], dz = x[2] - camera[2];
            p->depthKey = dx * dx + dy * dy + dz * dz;
        }
        ++live;
        previous = p;
        p = following;
    }
    return live;
}

size_t CTaFxEmitter::advance(float t, float h, unsigned features)
{
    // One loop per combination of the five features, chosen here once for the whole step.
#define TA_LOOP(n) &CTaFxEmitter::advanceWith<n>
    static size_t (CTaFxEmitter::*const loops[32])(float, float) = {
        TA_LOOP(0),  TA_LOOP(1),  TA_LOOP(2),  TA_LOOP(3),  TA_LOOP(4),  TA_LOOP(5),  TA_LOOP(6),  TA_LOOP(7),
        TA_LOOP(8),  TA_LOOP(9),  TA_LOOP(10), TA_LOOP(11), TA_LOOP(12), TA_LOOP(13), TA_LOOP(14), TA_LOOP(15),
        TA_LOOP(16), TA_LOOP(17), TA_LOOP(18), TA_LOOP(19), TA_LOOP(20), TA_LOOP(21), TA_LOOP(22), TA_LOOP(23),
        TA_LOOP(24), TA_LOOP(25), TA_LOOP(26), TA_LOOP(27), TA_LOOP(28), TA_LOOP(29), TA_LOOP(30), TA_LOOP(31)};
#undef TA_LOOP
    return (this->*loops[features & ETAFXF_ALL])(t, h);
}

size_t CTaFxEmitter::advanceReference(float t, float h)
{
    size_t live = 0;
    STaParticle* previous = nullptr;
    for (STaParticle* p = m_liveHead; p;) {
        STaParticle* following = next(p);
        if (t > p->death) {
            retire(previous, p);
            p = following;
            continue;
        }
        if (m_state.randomVelocity != 0) {
            float w[3];
            randomVector(w);
            for (int a = 0; a < 3; ++a)
                p->velocity[a] += w[a] * (0.05f * m_state.randomVelocity);
        }
        if (m_state.curlNoisePower != 0 && m_curl) {
            float at[3], c[3];
            for (int a = 0; a < 3; ++a)
                at[a] = p->position[a] * m_state.curlNoiseFrequency;
            m_curl->sample(at, c);
            for (int a = 0; a < 3; ++a)
                p->position[a] += c[a] * (h * 0.04f * m_state.curlNoisePower);
        }
        if (m_state.resistance != 0 && m_state.weight != 0)
            for (int a = 0; a < 3; ++a)
                p->velocity[a] -= p->velocity[a] * (m_state.resistance / m_state.weight * h);
        for (int a = 0; a < 3; ++a)
            p->velocity[a] += m_state.gravity[a] * h;
        for (int a = 0; a < 3; ++a)
            p->position[a] += p->velocity[a] * h;
        if (m_state.depthSort) {
            float key = 0;
            for (int a = 0; a < 3; ++a)
                key += (p->position[a] - m_state.cameraPosition[a]) * (p->position[a] - m_state.cameraPosition[a]);
            p->depthKey = key;
        }
        ++live;
        previous = p;
        p = following;
    }
    return live;
}

// --- Depth order ------------------------------------------------------------------------------------------

namespace {
// Merges two lists sorted by decreasing depth key (links within `pool`).
STaParticle* merge(const CTaParticlePool& pool, STaParticle* a, STaParticle* b)
{
    STaParticle* head = nullptr;
    STaParticle* tail = nullptr;
    while (a && b) {
        STaParticle*& from = a->depthKey >= b->depthKey ? a : b;
        STaParticle* taken = from;
        from = pool.next(from);
        if (tail)
            tail->next = pool.link(taken);
        else
            head = taken;
        tail = taken;
    }
    STaParticle* rest = a ? a : b;
    if (tail)
        tail->next = pool.link(rest);
    else
        head = rest;
    return head;
}

STaParticle* sortList(const CTaParticlePool& pool, STaParticle* list, size_t count)
{
    if (count < 2)
        return list;
    STaParticle* middle = list;
    for (size_t i = 1; i < count / 2; ++i)
        middle = pool.next(middle);
    STaParticle* second = pool.next(middle);
    middle->next = 0;
    return merge(pool, sortList(pool, list, count / 2), sortList(pool, second, count - count / 2));
}
} // namespace

void CTaFxEmitter::sortByDepth()
{
    m_liveHead = sortList(*m_pool, m_liveHead, m_liveCount);
    STaParticle* tail = m_liveHead;
    while (tail && tail->next)
        tail = next(tail);
    m_liveTail = tail;
}
