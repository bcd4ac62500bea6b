#pragma once

#include <QThreadPool>

#include <memory>
#include <tuple>

namespace sendra {

// Drops these references on a worker thread. Freeing a catalogue of 200k entries and its indexes takes the
// main thread 40-210 ms; whoever drops the last reference pays it, so the deck hands its last references here.
// Only for data that is safe to free from any thread (implicitly shared Qt values and plain containers are).
template <class... Held>
void releaseOnWorker(std::shared_ptr<Held>... held)
{
    if ((!held && ...))
        return;
    QThreadPool::globalInstance()->start([references = std::make_tuple(std::move(held)...)]() mutable {
        // Reset here, not when the job is destroyed, so that no copy of the job keeps them.
        std::apply([](auto&... each) { (each.reset(), ...); }, references);
    });
}

} // namespace sendra
