#include "NetKit/HashSeed.h"

#include <QHashSeed>

#include <atomic>

namespace netkit {

namespace {

std::atomic<std::size_t> fixedSeed = 0;

} // namespace

std::size_t hashSeed()
{
    // Zero would make Qt fall back to its slower hash; QT_HASH_SEED=0 asks for a fixed seed, and 1 is one.
    static const std::size_t processSeed = QHashSeed::globalSeed() ? std::size_t(QHashSeed::globalSeed()) : 1;
    const std::size_t fixed = fixedSeed.load(std::memory_order_relaxed);
    return fixed ? fixed : processSeed;
}

void fixHashSeedForTesting(std::size_t seed)
{
    fixedSeed.store(seed, std::memory_order_relaxed);
}

} // namespace netkit
