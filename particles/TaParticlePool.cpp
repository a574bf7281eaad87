// Particle pools.
#include "particles/TaParticlePool.h"

#include "core/TaLog.h"

#include <cstdlib>
#include <new>

namespace {
CTaParticlePool* g_shared = nullptr;
int g_sharedReferences = 0;
} // namespace

CTaParticlePool::CTaParticlePool(size_t count)
{
    // One 64-byte aligned block (a multiple of 64 bytes, as aligned_alloc wants).
    const size_t bytes = (count * sizeof(STaParticle) + 63) / 64 * 64;
    m_particles = count ? static_cast<STaParticle*>(std::aligned_alloc(64, bytes)) : nullptr;
    if (!m_particles)
        return;
    m_count = m_freeCount = count;
    for (size_t i = 0; i < count; ++i) {
        new (&m_particles[i]) STaParticle();
        m_particles[i].next = i + 1 < count ? uint32_t(i + 2) : 0;
    }
    m_free = m_particles;
}

CTaParticlePool::~CTaParticlePool()
{
    std::free(m_particles);
}

CTaParticlePool* CTaParticlePool::acquireShared()
{
    if (!g_shared) {
        taPrint(ETALOG_DEBUG, "CTaFxEmitter: Allocate Shared ParticleBuffer");
        g_shared = new CTaParticlePool(kSharedCount);
    }
    ++g_sharedReferences;
    return g_shared;
}

void CTaParticlePool::releaseShared()
{
    if (g_sharedReferences > 0 && --g_sharedReferences == 0) {
        delete g_shared;
        g_shared = nullptr;
    }
}
