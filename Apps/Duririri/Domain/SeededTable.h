#pragma once

#include "NetKit/HashSeed.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <QUtf8StringView>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace sendra {

// The open-addressed tables keyed by text a source sent. They hash with the process's seed, so a hostile playlist or
// catalogue cannot choose texts that collide; every one probes the next slot from a hash's low bits and keeps at most
// half its slots used, so a miss ends at a free slot a few steps from home.
class SeededHashing
{
public:
    // A text's hash in every table of the family. Bytes hash alike whatever view holds them; UTF-16 apart.
    static std::uint32_t hash(std::string_view bytes) { return std::uint32_t(netkit::seededHash(bytes)); }
    static std::uint32_t hash(const std::string& bytes) { return hash(std::string_view(bytes)); }
    static std::uint32_t hash(const QByteArray& bytes) { return hash(QByteArrayView(bytes)); }
    static std::uint32_t hash(QByteArrayView bytes)
    {
        return hash(std::string_view(bytes.data(), std::size_t(bytes.size())));
    }
    static std::uint32_t hash(QUtf8StringView bytes)
    {
        return hash(std::string_view(bytes.data(), std::size_t(bytes.size())));
    }
    static std::uint32_t hash(QStringView text) { return std::uint32_t(netkit::seededHash(text)); }
    // Two texts that key an entry together.
    template <class First, class Second>
    static std::uint32_t hash(const First& first, const Second& second)
    {
        return hash(first) * 0x9E3779B1U + hash(second);
    }

protected:
    static constexpr std::size_t next(std::size_t at, std::size_t mask) { return (at + 1) & mask; }
    static constexpr bool pastHalf(std::size_t used, std::size_t room) { return used * 2 > room; }
};

struct NoPayload {
};

// Small integer ids by text: the table hashes, the caller compares (`sameAs`, asked only of entries of the same
// hash). It keeps the ids, their 32-bit hashes and whatever small `Payload` a hit needs, so that a lookup that hits
// reads one slot and the text it compares. A caller that already hashed a text with hash() (to prefetch, or to use
// the hash again) uses the *Hashed entry points.
template <class Payload = NoPayload>
class SeededTable : public SeededHashing
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

    // The slot stored for a text equal to `text` (`sameAs(const Slot&)`), or null.
    template <class Text, class SameAs>
    const Slot* find(const Text& text, SameAs&& sameAs) const
    {
        return findHashed(hash(text), std::forward<SameAs>(sameAs));
    }

    // Stores `id` with `payload` for `text` (which must not be equal to a text stored).
    template <class Text>
    void add(const Text& text, std::uint32_t id, Payload payload = {})
    {
        addHashed(hash(text), id, std::move(payload));
    }

    // The id already stored for a text equal to `text` (`sameAs(id)`), else `id` (which is then stored).
    template <class Text, class SameAs>
    std::uint32_t findOrAdd(const Text& text, std::uint32_t id, SameAs&& sameAs)
    {
        return findOrAddHashed(hash(text), id, std::forward<SameAs>(sameAs));
    }

    // Large tables miss the cache on every probe; a caller that knows its next hashes asks for them early.
    void prefetch(std::uint32_t hash) const { __builtin_prefetch(&m_slots[hash & m_mask]); }
    // The slot a lookup of `hash` reads first (where a text of that hash mostly is).
    const Slot& home(std::uint32_t hash) const { return m_slots[hash & m_mask]; }

    template <class SameAs>
    const Slot* findHashed(std::uint32_t hash, SameAs&& sameAs) const
    {
        for (std::size_t at = hash & m_mask;; at = next(at, m_mask)) {
            const Slot& stored = m_slots[at];
            if (stored.id == none)
                return nullptr;
            if (stored.hash == hash && sameAs(stored))
                return &stored;
        }
    }

    void addHashed(std::uint32_t hash, std::uint32_t id, Payload payload = {})
    {
        m_slots[freeSlot(hash)] = {hash, id, std::move(payload)};
        grown();
    }

    template <class SameAs>
    std::uint32_t findOrAddHashed(std::uint32_t hash, std::uint32_t id, SameAs&& sameAs)
    {
        for (std::size_t at = hash & m_mask;; at = next(at, m_mask)) {
            Slot& stored = m_slots[at];
            if (stored.id == none) {
                stored = {hash, id, Payload{}};
                grown();
                return id;
            }
            if (stored.hash == hash && sameAs(stored.id))
                return stored.id;
        }
    }

private:
    std::size_t freeSlot(std::uint32_t hash) const
    {
        std::size_t at = hash & m_mask;
        while (m_slots[at].id != none)
            at = next(at, m_mask);
        return at;
    }

    void grown()
    {
        if (pastHalf(++m_used, m_slots.size()))
            resize(m_slots.size() * 2);
    }

    void resize(std::size_t size)
    {
        std::vector<Slot> old = std::exchange(m_slots, std::vector<Slot>(size));
        m_mask = size - 1;
        for (const Slot& slot : old) {
            if (slot.id != none)
                m_slots[freeSlot(slot.hash)] = slot;
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
    std::size_t m_used = 0;
};

// Values made once for each text by whichever of several threads meets the text first. A thread claims the text's
// hash (the hash alone, so two texts of one hash are one claim: the second is left to the caller), makes the value
// and publishes it under its text; the others find it there once published. The room is fixed and never more than
// half claimed: past that every claim answers `full`, and the caller makes the value itself.
template <class Value>
class SeededClaims : public SeededHashing
{
public:
    enum class Claim : std::uint8_t { ours, taken, full };

    // Room for half of `room` (rounded up to a power of two) claims.
    explicit SeededClaims(std::size_t room)
        : m_mask(std::bit_ceil(std::max<std::size_t>(room, 2)) - 1), m_slots(std::make_unique<Slot[]>(m_mask + 1))
    {}

    ~SeededClaims()
    {
        for (std::size_t i = 0; i <= m_mask; ++i)
            delete m_slots[i].made.load(std::memory_order_relaxed);
    }

    SeededClaims(const SeededClaims&) = delete;
    SeededClaims& operator=(const SeededClaims&) = delete;

    // Claims the text of `hash` (from hash()); with `ours`, `slot` is where publish() is to put its value.
    Claim claim(std::uint32_t hash, std::size_t& slot)
    {
        const std::uint64_t tagged = kClaimed | hash;
        for (std::size_t at = hash & m_mask;; at = next(at, m_mask)) {
            std::uint64_t word = m_slots[at].word.load(std::memory_order_relaxed);
            if (word == 0) {
                if (pastHalf(m_claimed.fetch_add(1, std::memory_order_relaxed) + 1, m_mask + 1)) {
                    m_claimed.fetch_sub(1, std::memory_order_relaxed);
                    return Claim::full;
                }
                if (m_slots[at].word.compare_exchange_strong(word, tagged, std::memory_order_relaxed)) {
                    slot = at;
                    return Claim::ours;
                }
                m_claimed.fetch_sub(1, std::memory_order_relaxed);
            }
            if (word == tagged)
                return Claim::taken;
        }
    }

    // Fetches the first slot claim() or find() will read for `hash`, while the caller does other work.
    void prefetch(std::uint32_t hash) const { __builtin_prefetch(&m_slots[hash & m_mask]); }

    void publish(std::size_t slot, std::string_view text, Value value)
    {
        m_slots[slot].made.store(new Published{std::string(text), std::move(value)}, std::memory_order_release);
    }

    // The value made for `text` (of hash `hash`), once the thread that claimed it has published it.
    const Value* find(std::uint32_t hash, std::string_view text) const
    {
        const std::uint64_t tagged = kClaimed | hash;
        for (std::size_t at = hash & m_mask;; at = next(at, m_mask)) {
            const std::uint64_t word = m_slots[at].word.load(std::memory_order_relaxed);
            if (word == 0)
                return nullptr;
            if (word == tagged) {
                const Published* published = m_slots[at].made.load(std::memory_order_acquire);
                return published && published->text == text ? &published->value : nullptr;
            }
        }
    }

private:
    static constexpr std::uint64_t kClaimed = std::uint64_t(1) << 32;
    struct Published {
        std::string text;
        Value value;
    };
    struct Slot {
        std::atomic<std::uint64_t> word{0}; // kClaimed and the hash, once claimed
        std::atomic<Published*> made{nullptr};
    };
    const std::size_t m_mask;
    const std::unique_ptr<Slot[]> m_slots;
    std::atomic<std::size_t> m_claimed{0};
};

} // namespace sendra
