#pragma once

#include "Networking/Playlist/GroupMaking.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace sendra::playlist {

// The groups made while a playlist's pieces are read: each title is claimed by the first piece to meet it, which
// makes its group on its own worker, so that joining the pieces finds the group made. (A playlist sorted by group
// meets most titles in one piece only; joining them one by one on one thread made every group there.) Titles are
// claimed by hash alone: a title whose hash another title claimed first is made where the pieces are joined.
// The room is fixed: once half of it is claimed, pieces make the titles they meet first themselves.
class MadeGroups
{
public:
    enum class Claim : std::uint8_t { ours, taken, full };

    explicit MadeGroups(std::size_t titles)
        : m_mask(std::bit_ceil(std::clamp<std::size_t>(titles * 2, 1024, std::size_t(1) << 18)) - 1),
          m_slots(std::make_unique<Slot[]>(m_mask + 1))
    {}

    ~MadeGroups()
    {
        for (std::size_t i = 0; i <= m_mask; ++i)
            delete m_slots[i].made.load(std::memory_order_relaxed);
    }

    MadeGroups(const MadeGroups&) = delete;
    MadeGroups& operator=(const MadeGroups&) = delete;

    // Claims the title of `hash`; with `ours`, `slot` is where publish() is to put its group.
    Claim claim(std::uint32_t hash, std::size_t& slot)
    {
        const std::uint64_t tagged = kClaimed | hash;
        for (std::size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            std::uint64_t word = m_slots[at].word.load(std::memory_order_relaxed);
            if (word == 0) {
                if (m_claimed.fetch_add(1, std::memory_order_relaxed) >= (m_mask + 1) / 2) {
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

    void publish(std::size_t slot, std::string_view key, MadeGroup made)
    {
        m_slots[slot].made.store(new Published{std::string(key), std::move(made)}, std::memory_order_release);
    }

    // The group made for `key`, when the piece that claimed it has made it.
    const MadeGroup* find(std::uint32_t hash, std::string_view key) const
    {
        const std::uint64_t tagged = kClaimed | hash;
        for (std::size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            const std::uint64_t word = m_slots[at].word.load(std::memory_order_relaxed);
            if (word == 0)
                return nullptr;
            if (word == tagged) {
                const Published* published = m_slots[at].made.load(std::memory_order_acquire);
                return published && published->key == key ? &published->made : nullptr;
            }
        }
    }

private:
    static constexpr std::uint64_t kClaimed = std::uint64_t(1) << 32;
    struct Published {
        std::string key;
        MadeGroup made;
    };
    struct Slot {
        std::atomic<std::uint64_t> word{0}; // kClaimed and the hash, once claimed
        std::atomic<Published*> made{nullptr};
    };
    const std::size_t m_mask;
    const std::unique_ptr<Slot[]> m_slots;
    std::atomic<std::size_t> m_claimed{0};
};

} // namespace sendra::playlist
