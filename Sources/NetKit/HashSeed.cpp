#include "NetKit/HashSeed.h"

#include <QHashSeed>

namespace netkit {

namespace {

// Zero marks the seed as not yet read; QT_HASH_SEED=0 asks for a fixed seed, and 1 is one.
std::uint64_t nonZero(std::uint64_t seed)
{
    return seed ? seed : 1;
}

std::uint64_t ownSeed()
{
    static const std::uint64_t seed = nonZero(std::uint64_t(QHashSeed::globalSeed()));
    return seed;
}

} // namespace

std::uint64_t detail::processSeed()
{
    std::uint64_t inForce = 0;
    const std::uint64_t seed = ownSeed();
    return seedInForce.compare_exchange_strong(inForce, seed, std::memory_order_relaxed) ? seed : inForce;
}

void fixHashSeedForTesting(std::uint64_t seed)
{
    detail::seedInForce.store(nonZero(seed ? seed : ownSeed()), std::memory_order_relaxed);
}

} // namespace netkit
