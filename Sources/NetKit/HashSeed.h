#pragma once

#include <QStringView>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

// Inlined: the readers hash every text they intern, and most are a few dozen bytes long.
#define XXH_INLINE_ALL
#include <xxhash.h>

namespace netkit {

namespace detail {
// The seed in force; zero until the first hash asks for the process's.
inline std::atomic<std::uint64_t> seedInForce{0};
std::uint64_t processSeed();
} // namespace detail

// The seed of every table keyed by text a source sent: random for the process (Qt's, or a fixed one when
// QT_HASH_SEED asks for it), so that a hostile playlist or catalogue cannot choose texts that collide.
inline std::uint64_t hashSeed()
{
    const std::uint64_t seed = detail::seedInForce.load(std::memory_order_relaxed);
    return seed ? seed : detail::processSeed();
}
// Tests fix the seed to find colliding texts; 0 gives the process's own seed back.
void fixHashSeedForTesting(std::uint64_t seed);

// XXH3, built for short keys, rather than Qt's seeded hash (an AES hash, slow on short texts).
inline std::size_t seededHash(std::string_view bytes)
{
    return std::size_t(XXH3_64bits_withSeed(bytes.data(), bytes.size(), hashSeed()));
}

inline std::size_t seededHash(QStringView text)
{
    return std::size_t(XXH3_64bits_withSeed(text.data(), std::size_t(text.size()) * sizeof(char16_t), hashSeed()));
}

// For the standard library's maps keyed by text, searched with a view.
struct SeededTextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view bytes) const { return seededHash(bytes); }
    std::size_t operator()(std::u16string_view text) const
    {
        return seededHash(QStringView(text.data(), qsizetype(text.size())));
    }
};

} // namespace netkit
