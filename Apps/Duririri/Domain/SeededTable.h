#pragma once

#include <QByteArrayView>
#include <QHashFunctions>
#include <QStringView>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

namespace sendra {

// The hash every table of texts uses: Qt's, given the process's random seed, so that a hostile playlist or catalogue
// cannot choose texts that collide (and Qt takes its fast AES hash only when given a seed).
std::size_t hashSeed();
// Tests fix the seed to find colliding texts; 0 gives the process's own seed back.
void fixHashSeedForTesting(std::size_t seed);

inline std::uint32_t seededHash(std::string_view bytes)
{
    return std::uint32_t(qHash(QByteArrayView(bytes.data(), qsizetype(bytes.size())), hashSeed()));
}

inline std::uint32_t seededHash(QStringView text)
{
    return std::uint32_t(qHash(text, hashSeed()));
}

struct NoPayload {
};

// Open addressing over small integer ids: the caller hashes (seededHash) and compares, the table keeps the ids, their
// 32-bit hashes and whatever small `Payload` a hit needs, so that a lookup that hits reads one slot and the text
// it compares.
template <class Payload = NoPayload>
class SeededTable
{
public:
    static constexpr std::uint32_t none = UINT32_MAX;
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t id = none;
        [[no_unique_address]] Payload payload{};
    };

    explicit SeededTable(std::size_t expected = 8) { resize(std::bit_ceil(std::max<std::size_t>(16, expected * 2))); }

    std::size_t size() const { return m_used; }

    // Large tables miss the cache on every probe; a caller that knows its next hashes asks for them early.
    void prefetch(std::uint32_t hash) const { __builtin_prefetch(&m_slots[hash & m_mask]); }
    // The slot a lookup of `hash` reads first (where a value of that hash mostly is).
    const Slot& home(std::uint32_t hash) const { return m_slots[hash & m_mask]; }

    // The slot stored for an equal value (`sameAs(const Slot&)`, asked only of slots of the same hash), or null.
    template <class SameAs>
    const Slot* find(std::uint32_t hash, SameAs&& sameAs) const
    {
        for (std::size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            const Slot& stored = m_slots[at];
            if (stored.id == none)
                return nullptr;
            if (stored.hash == hash && sameAs(stored))
                return &stored;
        }
    }

    // Stores `id` with `payload` (which must not be equal to a value stored).
    void add(std::uint32_t hash, std::uint32_t id, Payload payload = {})
    {
        std::size_t at = hash & m_mask;
        while (m_slots[at].id != none)
            at = (at + 1) & m_mask;
        m_slots[at] = {hash, id, std::move(payload)};
        if (++m_used * 2 > m_slots.size())
            resize(m_slots.size() * 2);
    }

    // The id already stored for an equal value (`sameAs(id)`), else `id` (which is then stored).
    template <class SameAs>
    std::uint32_t findOrAdd(std::uint32_t hash, std::uint32_t id, SameAs&& sameAs)
    {
        for (std::size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            Slot& stored = m_slots[at];
            if (stored.id == none) {
                stored = {hash, id, Payload{}};
                if (++m_used * 2 > m_slots.size())
                    resize(m_slots.size() * 2);
                return id;
            }
            if (stored.hash == hash && sameAs(stored.id))
                return stored.id;
        }
    }

private:
    void resize(std::size_t size)
    {
        std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(size));
        m_mask = size - 1;
        for (const Slot& slot : old) {
            if (slot.id == none)
                continue;
            std::size_t at = slot.hash & m_mask;
            while (m_slots[at].id != none)
                at = (at + 1) & m_mask;
            m_slots[at] = slot;
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
    std::size_t m_used = 0;
};

} // namespace sendra
