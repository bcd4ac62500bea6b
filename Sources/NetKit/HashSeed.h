#pragma once

#include <QByteArrayView>
#include <QHashFunctions>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace netkit {

// The seed of every table keyed by text a source sent: Qt's random one for the process, so that a hostile playlist
// or catalogue cannot choose texts that collide (and Qt takes its fast AES hash only when given a seed).
std::size_t hashSeed();
// Tests fix the seed to find colliding texts; 0 gives the process's own seed back.
void fixHashSeedForTesting(std::size_t seed);

inline std::size_t seededHash(std::string_view bytes)
{
    return qHash(QByteArrayView(bytes.data(), qsizetype(bytes.size())), hashSeed());
}

inline std::size_t seededHash(QStringView text)
{
    return qHash(text, hashSeed());
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
