#include "NetKit/AddressStore.h"

#include <algorithm>
#include <cstring>

namespace netkit {

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
    const auto size = size_t(address.size());
    // An empty address may have no bytes at all: the C functions are not handed its null pointer.
    const auto before = [text](char c, size_t limit) {
        const void* found = limit ? std::memchr(text, c, limit) : nullptr;
        return found ? size_t(static_cast<const char*>(found) - text) : limit;
    };
    const size_t end = before('#', before('?', size));
    const char* slash = end ? static_cast<const char*>(memrchr(text, '/', end)) : nullptr;
    qsizetype cut = slash ? qsizetype(slash - text) + 1 : 0;
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
