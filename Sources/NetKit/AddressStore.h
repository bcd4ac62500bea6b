#pragma once

#include "NetKit/Blocks.h"
#include "NetKit/HashSeed.h"

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace netkit {

// Many addresses kept as their encoded text, each split after its last "/" (before any query or fragment) so that
// the directory it shares with others (a panel's, an image service's) is kept once. Its owner keeps three numbers
// per address: the directory, never 0 (so 0 can stand for no address), and the place and length of the rest.
// Moved, never copied.
class AddressStore
{
public:
    // Beyond this many distinct directories, addresses are kept whole: a list whose every address has a directory
    // of its own gains nothing from sharing them.
    static constexpr uint32_t maxDirectories = 4096;

    AddressStore() = default;
    AddressStore(AddressStore&&) noexcept = default;
    AddressStore& operator=(AddressStore&&) noexcept = default;

    // Stores `address`; returns its directory and sets place and length of the rest.
    uint32_t store(QByteArrayView address, uint32_t& place, uint32_t& length);
    // The text stored under these numbers; never null.
    QByteArray text(uint32_t directory, uint32_t place, uint32_t length) const;

    // Another store's addresses, taken over by `adopt`; `rehome` turns the numbers of one of them into its numbers
    // here.
    struct Adopted
    {
        std::vector<QByteArray> directories;
        std::vector<uint32_t> mapped; // by directory, 0 when there was no room for it here
        uint32_t shift = 0;
    };
    Adopted adopt(AddressStore&& other);
    // Gives back the unused end of the store's text memory, for a table that is complete.
    void releaseSpare() { m_rests.releaseSpare(); }
    void rehome(const Adopted& adopted, uint32_t& directory, uint32_t& place, uint32_t& length);

private:
    uint32_t addDirectory(QByteArrayView directory);

    Blocks<char> m_rests;
    std::vector<QByteArray> m_directories;
    std::unordered_map<std::string_view, uint32_t, SeededTextHash> m_directoryIndex; // views into m_directories
    // The directories met last, tried before the table: neighbours mostly share theirs, and a table's artwork and
    // stream addresses take turns.
    std::array<uint32_t, 4> m_recent{};
    uint32_t m_nextRecent = 0;
};

} // namespace netkit
