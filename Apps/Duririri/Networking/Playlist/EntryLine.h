#pragma once

// The text of a playlist entry, read byte by byte on every line: small helpers kept here, in a header, so that the
// line reader's loop has them inline.

#include "Networking/Sha1.h"
#include "NetKit/PlaylistText.h"

#include <QString>
#include <QtGlobal>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace sendra::playlist {

// The title: the text after the title comma, trimmed. A line without a usable comma is its own title.
inline std::string_view titleOf(std::string_view line, std::size_t comma)
{
    using netkit::playlist::trimmed;
    if (comma == std::string_view::npos)
        return trimmed(line);
    const std::string_view before = line.substr(0, comma);
    const std::string_view after = line.substr(comma + 1);
    const std::string_view title = !after.empty() ? after : before;
    if (title.empty())
        return "Contenido";
    return trimmed(title);
}

// UUID version 5 (SHA-1, RFC 4122) of a name in the URL namespace, as upper-case text. An id costs one string and
// no other allocation.
class NameUuid
{
public:
    QString of(std::string_view name)
    {
        char text[36];
        return QString::fromLatin1(of(name, text));
    }

    // The same as ASCII text in `out`.
    std::string_view of(std::string_view name, char (&out)[36])
    {
        static constexpr char kUrlNamespace[16] = {'\x6b', '\xa7', '\xb8', '\x11', '\x9d', '\xad', '\x11', '\xd1',
                                                   '\x80', '\xb4', '\x00', '\xc0', '\x4f', '\xd4', '\x30', '\xc8'};
        m_hash.add(std::string_view(kUrlNamespace, sizeof kUrlNamespace));
        m_hash.add(name);
        const auto digest = m_hash.finish();
        unsigned char bytes[16];
        std::memcpy(bytes, digest.data(), sizeof bytes);
        bytes[6] = (bytes[6] & 0x0F) | 0x50; // version 5
        bytes[8] = (bytes[8] & 0x3F) | 0x80; // RFC 4122 variant
        static constexpr char kHex[] = "0123456789ABCDEF";
        char* at = out;
        for (int i = 0; i < 16; ++i) {
            if (i == 4 || i == 6 || i == 8 || i == 10)
                *at++ = '-';
            *at++ = kHex[bytes[i] >> 4];
            *at++ = kHex[bytes[i] & 0x0F];
        }
        return std::string_view(out, sizeof out);
    }

private:
    Sha1 m_hash;
};

// Starts with "#EXTINF": compared as two words, not through memcmp, as every line asks.
inline bool isInformationLine(std::string_view line)
{
    if (line.size() < 7)
        return false;
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::memcpy(&first, line.data(), 4);
    std::memcpy(&last, line.data() + 3, 4);
    std::uint32_t wantedFirst = 0;
    std::uint32_t wantedLast = 0;
    std::memcpy(&wantedFirst, "#EXT", 4);
    std::memcpy(&wantedLast, "TINF", 4);
    return first == wantedFirst && last == wantedLast;
}

// How many entries a playlist of `totalBytes` may hold, judged from its first `sample` (a little over, so the rows
// are allocated once; never more than the text could hold).
inline qsizetype estimatedEntries(std::string_view sample, qint64 totalBytes)
{
    if (sample.empty() || totalBytes <= 0)
        return 0;
    qsizetype count = 0;
    for (std::size_t at = sample.find("#EXTINF"); at != std::string_view::npos; at = sample.find("#EXTINF", at + 7))
        ++count;
    const qint64 estimate = qint64(count) * totalBytes / qint64(sample.size());
    return qsizetype(std::min(estimate + estimate / 16 + 16, totalBytes / 9));
}

} // namespace sendra::playlist
