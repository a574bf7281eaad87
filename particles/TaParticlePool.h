// Particles and their pools: 48-byte records linked into a free list; the process-wide shared pool
// of 262,144 particles (made by the first emitter that asks, gone with the last) or a private pool.
#pragma once

#include <cstddef>
#include <cstdint>

// The link to the next particle is an index into the particle's pool (1-based; 0 ends the list), so
// that a particle stays 48 bytes with 64-bit pointers.
struct alignas(16) STaParticle {
    uint32_t next;
    float birth;    // seconds of engine time
    float death;    // seconds
    float depthKey; // squared distance to the camera when sorted, else 0
    float position[4]; // world, w = 1
    float velocity[4]; // world, per second, w = 0
};
static_assert(sizeof(STaParticle) == 48, "a particle is 48 bytes");

class CTaParticlePool
{
public:
    static constexpr size_t kSharedCount = 0x40000;
    static constexpr size_t kPrivateDefault = 65536;

    // `count` particles (nullptr from take() when it could not be made).
    explicit CTaParticlePool(size_t count);
    ~CTaParticlePool();
    CTaParticlePool(const CTaParticlePool&) = delete;
    CTaParticlePool& operator=(const CTaParticlePool&) = delete;

    // The particle after `p` in its list, or nullptr.
    STaParticle* next(const STaParticle* p) const { return p->next ? m_particles + (p->next - 1) : nullptr; }
    // The link value that points at `p` (0 for none).
    uint32_t link(const STaParticle* p) const { return p ? uint32_t(p - m_particles) + 1 : 0; }
    // A free particle, or nullptr when none is left.
    STaParticle* take()
    {
        STaParticle* p = m_free;
        if (p) {
            m_free = next(p);
            --m_freeCount;
        }
        return p;
    }
    // Gives back a list of `count` particles from `first` to `last` (linked by next).
    void giveBack(STaParticle* first, STaParticle* last, size_t count)
    {
        if (!first)
            return;
        last->next = link(m_free);
        m_free = first;
        m_freeCount += count;
    }
    size_t size() const { return m_count; }
    size_t freeCount() const { return m_freeCount; }

    // The shared pool, made on the first call ("CTaFxEmitter: Allocate Shared ParticleBuffer"); every
    // call takes a reference that releaseShared gives back (the pool goes with the last one).
    static CTaParticlePool* acquireShared();
    static void releaseShared();

private:
    STaParticle* m_particles = nullptr;
    size_t m_count = 0, m_freeCount = 0;
    STaParticle* m_free = nullptr;
};
