#include "State/InParallel.h"

#include <atomic>

namespace sendra {

namespace {

std::atomic<uint32_t> leastShare{20'000};

} // namespace

uint32_t leastPerThread()
{
    return leastShare.load(std::memory_order_relaxed);
}

uint32_t setLeastPerThreadForTests(uint32_t entries)
{
    return leastShare.exchange(entries, std::memory_order_relaxed);
}

void startStandingThreads()
{
    netkit::searchPool().warmUp();
}

} // namespace sendra
