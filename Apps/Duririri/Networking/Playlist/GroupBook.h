#pragma once

#include "Domain/CatalogTypes.h"
#include "Domain/SeededTable.h"
#include "Networking/Playlist/GroupMaking.h"
#include "Networking/Playlist/KindHint.h"
#include "Networking/Playlist/MadeGroups.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sendra::playlist {

// Group titles as written, each kept once in one block of text, and the group each stands for. A lookup that hits
// reads one slot (which holds the title's place in the block) and the title's bytes; playlists mostly list a group's
// entries together, so the last group is tried first.
class GroupBook
{
public:
    struct Found {
        std::uint32_t group;
        KindHint hint;
    };
    struct Title {
        std::uint32_t offset;
        std::uint32_t length;
        std::uint32_t hash;
    };

    // Begins looking `key` up: unless it is the last group's title, its slot is fetched while the caller does
    // other work, and find() ends the lookup.
    // Says whether it is the last group's.
    bool expect(std::string_view key)
    {
        m_lastHit = m_last.length == key.size() && sameKey(text(m_last.offset, m_last.length), key);
        if (!m_lastHit) {
            m_hash = Table::hash(key);
            m_table.prefetch(m_hash);
            // A title new to this book is claimed there next: with many groups, most of a chunk's titles are.
            if (m_shared)
                m_shared->prefetch(m_hash);
        }
        return m_lastHit;
    }

    // The group of the title expect() was given, made in `nodes` when new; without `nodes`, the title's index here.
    Found find(std::string_view key, NodeTable* nodes) { return m_lastHit ? m_last.found : find(key, m_hash, nodes); }

    void prefetch(std::uint32_t hash) const { m_table.prefetch(hash); }
    // Once the slot of `hash` has had time to arrive: the title it names is fetched in turn.
    void prefetchTitle(std::uint32_t hash) const
    {
        const Slot& slot = m_table.home(hash);
        if (slot.hash == hash && slot.id != Table::none)
            __builtin_prefetch(m_text.data() + slot.payload.offset);
    }

    // Between expect() and find(), once the slot has had time to arrive: the title it names is fetched in turn.
    void approach() const
    {
        if (!m_lastHit)
            prefetchTitle(m_hash);
    }

    // The same for `key` of hash `hash`, met anew.
    Found find(std::string_view key, std::uint32_t hash, NodeTable* nodes)
    {
        if (const std::optional<Found> known = lookUp(key, hash))
            return *known;
        if (!nodes) {
            if (m_shared)
                premake(key, hash, m_titles.size());
            return add(key, hash, {std::uint32_t(m_titles.size()), KindHint::none});
        }
        const MadeGroup made = makeGroup(key);
        return add(key, hash, {nodes->addGroup(made.id, made.name), made.hint});
    }

    // The group of `key` when it has been met before.
    std::optional<Found> lookUp(std::string_view key, std::uint32_t hash)
    {
        const auto* slot = m_table.findHashed(
            hash, [&](const Slot& stored) { return sameKey(text(stored.payload.offset, stored.payload.length), key); });
        if (!slot)
            return std::nullopt;
        m_last = {slot->payload.offset, slot->payload.length, {slot->id, slot->payload.hint}};
        return m_last.found;
    }

    // `key`, not met before, as `found`.
    Found add(std::string_view key, std::uint32_t hash, Found found)
    {
        const auto offset = std::uint32_t(m_text.size());
        m_text.append(key);
        m_titles.push_back({offset, std::uint32_t(key.size()), hash});
        m_table.addHashed(hash, found.group, {offset, std::uint32_t(key.size()), found.hint});
        m_last = {offset, std::uint32_t(key.size()), found};
        return found;
    }

    // Titles met first here are claimed in `shared`, and their groups made at once when claimed (or when `shared`
    // is full: then premade() keeps them).
    void shareMaking(MadeGroups* shared) { m_shared = shared; }

    // The group made here for the title of index `title`, if any.
    MadeGroup* premade(std::size_t title)
    {
        return title < m_premade.size() && m_premade[title] ? &*m_premade[title] : nullptr;
    }

    // The titles met, in the order met.
    const std::vector<Title>& titles() const { return m_titles; }
    std::string_view text(const Title& title) const { return text(title.offset, title.length); }

private:
    void premake(std::string_view key, std::uint32_t hash, std::size_t title)
    {
        std::size_t slot = 0;
        switch (m_shared->claim(hash, slot)) {
        case MadeGroups::Claim::ours:
            m_shared->publish(slot, key, makeGroup(key));
            break;
        case MadeGroups::Claim::taken:
            break;
        case MadeGroups::Claim::full:
            m_premade.resize(title + 1);
            m_premade[title] = makeGroup(key);
            break;
        }
    }

    struct Place {
        std::uint32_t offset;
        std::uint32_t length;
        KindHint hint;
    };
    using Table = SeededTable<Place>;
    using Slot = Table::Slot;

    std::string_view text(std::uint32_t offset, std::uint32_t length) const
    {
        return std::string_view(m_text.data() + offset, length);
    }

    // The same bytes, compared a word at a time in place: group titles are short, and a call to memcmp for each
    // entry cost more than the rest of the lookup.
    static bool sameKey(std::string_view a, std::string_view b)
    {
        const std::size_t n = a.size();
        if (n != b.size())
            return false;
        const char* x = a.data();
        const char* y = b.data();
        const auto word = [](const char* at) {
            std::uint64_t w;
            std::memcpy(&w, at, 8);
            return w;
        };
        const auto half = [](const char* at) {
            std::uint32_t w;
            std::memcpy(&w, at, 4);
            return w;
        };
        if (n >= 8) {
            for (std::size_t i = 0; i + 8 < n; i += 8)
                if (word(x + i) != word(y + i))
                    return false;
            return word(x + n - 8) == word(y + n - 8);
        }
        if (n >= 4)
            return half(x) == half(y) && half(x + n - 4) == half(y + n - 4);
        for (std::size_t i = 0; i < n; ++i)
            if (x[i] != y[i])
                return false;
        return true;
    }

    std::string m_text;
    std::vector<Title> m_titles;
    Table m_table{128};
    struct {
        std::uint32_t offset = 0;
        std::uint32_t length = UINT32_MAX;
        Found found{};
    } m_last;
    bool m_lastHit = false;   // what expect() found
    std::uint32_t m_hash = 0; // the hash expect() worked out
    MadeGroups* m_shared = nullptr;
    std::vector<std::optional<MadeGroup>> m_premade; // by title, once `m_shared` is full
};

} // namespace sendra::playlist
