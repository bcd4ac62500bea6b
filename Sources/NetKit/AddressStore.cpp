#include "NetKit/AddressStore.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace netkit {

namespace {

// The length of an address's directory: up to and with the last "/" before any "?" or "#"; 0 without one. One pass,
// sixteen bytes at a time, as every entry's addresses ask.
qsizetype directoryLength(std::string_view text)
{
    qsizetype cut = 0;
    size_t i = 0;
#ifdef __SSE2__
    const __m128i slash = _mm_set1_epi8('/');
    const __m128i query = _mm_set1_epi8('?');
    const __m128i fragment = _mm_set1_epi8('#');
    for (; i + 16 <= text.size(); i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + i));
        unsigned slashes = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, slash)));
        const unsigned ends = unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, query), _mm_cmpeq_epi8(v, fragment))));
        if (ends != 0)
            slashes &= (1U << __builtin_ctz(ends)) - 1; // only those before the end
        if (slashes != 0)
            cut = qsizetype(i) + 32 - __builtin_clz(slashes);
        if (ends != 0)
            return cut;
    }
    if (i < text.size() && text.size() >= 16) {
        // The last sixteen bytes end with the text's (never past it): the bits of bytes already seen go.
        const size_t from = text.size() - 16;
        const unsigned drop = unsigned(i - from);
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + from));
        unsigned slashes = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, slash))) >> drop;
        const unsigned ends =
            unsigned(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, query), _mm_cmpeq_epi8(v, fragment)))) >> drop;
        if (ends != 0)
            slashes &= (1U << __builtin_ctz(ends)) - 1;
        if (slashes != 0)
            cut = qsizetype(i) + 32 - __builtin_clz(slashes);
        return cut;
    }
#endif
    for (; i < text.size(); ++i) {
        if (text[i] == '?' || text[i] == '#')
            break;
        if (text[i] == '/')
            cut = qsizetype(i) + 1;
    }
    return cut;
}

} // namespace

uint32_t AddressStore::addDirectory(QByteArrayView directory)
{
    const std::string_view key(directory.data(), size_t(directory.size()));
    if (const auto found = m_directoryIndex.find(key); found != m_directoryIndex.end())
        return found->second;
    if (m_directories.size() >= maxDirectories)
        return 0;
    m_directories.push_back(directory.toByteArray());
    const auto index = uint32_t(m_directories.size());
    m_directoryIndex.emplace(std::string_view(m_directories.back().constData(), key.size()), index);
    return index;
}

uint32_t AddressStore::store(QByteArrayView address, uint32_t& place, uint32_t& length)
{
    if (m_directories.empty())
        addDirectory({}); // directory 1: nothing, for addresses kept whole
    // The directory: up to the last "/" before any query or fragment.
    const char* text = address.data();
    qsizetype cut = directoryLength(std::string_view(text, size_t(address.size())));
    uint32_t directory = 0;
    for (const uint32_t recent : m_recent) {
        if (recent != 0 && m_directories[recent - 1].size() == cut &&
            (cut == 0 || std::memcmp(m_directories[recent - 1].constData(), text, size_t(cut)) == 0)) {
            directory = recent;
            break;
        }
    }
    if (directory == 0) {
        directory = addDirectory(address.first(cut));
        if (directory != 0) {
            m_recent[m_nextRecent] = directory;
            m_nextRecent = (m_nextRecent + 1) % m_recent.size();
        }
    }
    if (directory == 0) {
        directory = 1;
        cut = 0;
    }
    length = uint32_t(address.size() - cut);
    place = length ? m_rests.reserve(length) : 0;
    if (length)
        std::memcpy(m_rests.data(place), address.data() + cut, length);
    return directory;
}

QByteArray AddressStore::text(uint32_t directory, uint32_t place, uint32_t length) const
{
    const QByteArray& head = m_directories[directory - 1];
    QByteArray text(head.size() + qsizetype(length), Qt::Uninitialized);
    std::memcpy(text.data(), head.constData(), size_t(head.size()));
    if (length)
        std::memcpy(text.data() + head.size(), m_rests.data(place), length);
    return text;
}

AddressStore::Adopted AddressStore::adopt(AddressStore&& other)
{
    Adopted adopted;
    adopted.mapped.assign(other.m_directories.size() + 1, 0);
    for (size_t d = 0; d < other.m_directories.size(); ++d)
        adopted.mapped[d + 1] = other.m_directories[d].isEmpty() ? (m_directories.empty() ? addDirectory({}) : 1)
                                                                 : addDirectory(other.m_directories[d]);
    adopted.shift = m_rests.adopt(std::move(other.m_rests));
    adopted.directories = std::move(other.m_directories);
    other = AddressStore();
    return adopted;
}

void AddressStore::rehome(const Adopted& adopted, uint32_t& directory, uint32_t& place, uint32_t& length)
{
    if (const uint32_t mapped = adopted.mapped[directory]; mapped != 0) {
        directory = mapped;
        place = length ? place + adopted.shift : 0;
        return;
    }
    // A directory that no longer fits is put back in front of its rest, as new text.
    QByteArray whole = adopted.directories[directory - 1];
    if (length)
        whole.append(m_rests.data(place + adopted.shift), qsizetype(length));
    directory = store(whole, place, length);
}

} // namespace netkit
