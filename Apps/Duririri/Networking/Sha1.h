#pragma once

#include <QCryptographicHash>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace sendra {

// SHA-1 with the processor's SHA instructions where it has them, else QCryptographicHash's. Playlist entries
// without an id get a name-based UUID of their address, one hash each, and Qt's portable SHA-1 spent a tenth of
// the playlist's reading time on them.
class Sha1
{
public:
    Sha1();

    void add(std::string_view bytes);
    // The digest of everything added; the hasher then starts over.
    std::array<std::uint8_t, 20> finish();

private:
    void compress(const std::uint8_t* blocks, std::size_t count);

    const bool m_withExtensions;
    QCryptographicHash m_portable{QCryptographicHash::Sha1};
    std::array<std::uint32_t, 5> m_state = kInitial;
    std::array<std::uint8_t, 64> m_pending{};
    std::size_t m_pendingSize = 0;
    std::uint64_t m_length = 0;

    static constexpr std::array<std::uint32_t, 5> kInitial{0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
};

} // namespace sendra
