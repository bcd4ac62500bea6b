#pragma once

#include "NetKit/Workers.h"

#include <atomic>
#include <memory>
#include <tuple>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace sendra {

// Blocks of 4 MiB and more (a catalogue's index arrays and sort keys) get mappings of their own, unmapped when
// freed. glibc would otherwise raise this threshold the first time such a block is freed, up to 32 MiB, and let
// each thread's arena keep twice that at its top, out of reach of the trim after a release. Smaller blocks stay in
// the arenas, which the trim empties: the network's pieces of a megabyte come and go by the hundred while a list
// arrives, and mapped apart each one is a fresh mapping whose every page faults (at 1 MiB a 600k connect took twice
// the page faults and up to a fifth more time). The largest tables map their own memory anyway (LargeArray).
// Call once at start-up, before other threads.
inline void mapLargeBlocksApart()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 4 * 1024 * 1024);
#endif
}

namespace detail {

inline std::atomic<int> releasesUnderway{0};

// glibc keeps freed pages in the arena of the thread that allocated them (a reader's, the preparation's, a pool
// thread's) for that thread to reuse; the next catalogue is mostly built on other threads, so every load would
// add a catalogue's worth of resident memory that nothing uses. Handing the free pages back takes a few to a few
// tens of milliseconds on a worker, once per catalogue change.
inline void returnFreedPages()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace detail

// Drops these references on a worker thread. Freeing a catalogue of 200k entries and its indexes takes the
// main thread 40-210 ms; whoever drops the last reference pays it, so the deck hands its last references here.
// Only for data that is safe to free from any thread (implicitly shared Qt values and plain containers are).
// The last of the releases under way then gives the freed memory back to the system.
template <class... Held>
void releaseOnWorker(std::shared_ptr<Held>... held)
{
    if ((!held && ...))
        return;
    ++detail::releasesUnderway;
    netkit::backgroundPool().run([references = std::make_tuple(std::move(held)...)]() mutable {
        // Reset here, not when the job is destroyed, so that no copy of the job keeps them.
        std::apply([](auto&... each) { (each.reset(), ...); }, references);
        if (--detail::releasesUnderway == 0)
            detail::returnFreedPages();
    });
}

} // namespace sendra
