// The open-addressed tables keyed by text: texts that collide under a known seed, growth, and claims made by several
// threads at once.
#include "Domain/SeededTable.h"

#include <gtest/gtest.h>

#include <QString>

#include <algorithm>
#include <atomic>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

using namespace sendra;

namespace {

constexpr std::size_t knownSeed = 0x5EED5EED5EEDULL;

// `count` texts whose hashes under the seed in force share their low `bits`, and two texts of one whole hash.
struct Colliding {
    std::vector<std::string> texts;
    std::vector<std::string> twins;
};

Colliding collidingTexts(std::size_t count, std::uint32_t bits)
{
    Colliding found;
    const std::uint32_t mask = (1U << bits) - 1;
    for (std::uint64_t n = 0; found.texts.size() < count; ++n) {
        std::string text = "Título " + std::to_string(n);
        if ((SeededHashing::hash(text) & mask) == 0x2A)
            found.texts.push_back(std::move(text));
    }
    std::unordered_map<std::uint32_t, std::string> seen;
    for (std::uint64_t n = 0; found.twins.empty(); ++n) {
        std::string text = "Grupo " + std::to_string(n);
        const auto [earlier, added] = seen.try_emplace(SeededHashing::hash(text), text);
        if (!added)
            found.twins = {earlier->second, std::move(text)};
    }
    return found;
}

struct Place {
    std::uint32_t text;
};

} // namespace

// Texts chosen to collide under a known seed are each kept apart, through every growth of the table, and under the
// process's own seed they do not collide.
TEST(SeededTable, TextsThatCollideUnderAKnownSeedStayApartAsTheTableGrows)
{
    netkit::fixHashSeedForTesting(knownSeed);
    const Colliding chosen = collidingTexts(1500, 12);
    std::vector<std::string> texts = chosen.texts;
    texts.insert(texts.end(), chosen.twins.begin(), chosen.twins.end());
    for (int n = 0; n < 30000; ++n)
        texts.push_back("Canal " + std::to_string(n));

    // One cluster of 1,500 from the table's smallest size to its 4,096 slots, twins of one whole hash, then growth
    // past them.
    SeededTable<Place> table;
    using Slot = SeededTable<Place>::Slot;
    constexpr std::uint32_t firstId = 1000;
    const auto sameId = [&](std::string_view text) {
        return [&texts, text](std::uint32_t id) { return texts[id - firstId] == text; };
    };
    const auto sameSlot = [&](std::string_view text) {
        return [&texts, text](const Slot& slot) { return texts[slot.id - firstId] == text; };
    };
    for (std::uint32_t i = 0; i < texts.size(); ++i) {
        const std::string_view text = texts[i];
        if (i % 2)
            ASSERT_EQ(table.findOrAdd(text, firstId + i, sameId(text)), firstId + i) << text;
        else
            table.add(text, firstId + i, {i});
        ASSERT_EQ(table.size(), i + 1);
    }
    for (std::uint32_t i = 0; i < texts.size(); ++i) {
        const std::string_view text = texts[i];
        ASSERT_EQ(table.findOrAdd(text, 7, sameId(text)), firstId + i) << text;
        if (i % 2)
            continue;
        // The bytes hash alike whatever holds them.
        const QByteArray bytes = QByteArray::fromStdString(texts[i]);
        const Slot* slot = table.find(QUtf8StringView(bytes), sameSlot(text));
        ASSERT_TRUE(slot) << text;
        EXPECT_EQ(slot->id, firstId + i);
        EXPECT_EQ(slot->payload.text, i);
        EXPECT_EQ(table.findHashed(SeededHashing::hash(QByteArrayView(bytes)), sameSlot(text)), slot);
    }
    EXPECT_EQ(table.find(std::string_view("Canal 30000"), sameSlot("Canal 30000")), nullptr);
    EXPECT_EQ(table.size(), texts.size());

    // UTF-16 texts have a hash of their own, with the same guarantees.
    SeededTable<> titles(2);
    std::vector<QString> wide;
    for (const std::string& text : chosen.texts)
        wide.push_back(QString::fromStdString(text));
    for (std::uint32_t i = 0; i < wide.size(); ++i)
        ASSERT_EQ(titles.findOrAdd(wide[i], i, [&](std::uint32_t other) { return wide[other] == wide[i]; }), i);
    for (std::uint32_t i = 0; i < wide.size(); ++i)
        ASSERT_EQ(titles.findOrAdd(wide[i], 0, [&](std::uint32_t other) { return wide[other] == wide[i]; }), i);

    // The process's seed scatters them.
    netkit::fixHashSeedForTesting(0);
    std::set<std::uint32_t> homes;
    for (const std::string& text : chosen.texts)
        homes.insert(SeededHashing::hash(text) & 0xFFF);
    EXPECT_GT(homes.size(), chosen.texts.size() / 2);
}

// Threads that meet the same texts in different orders claim each hash once, find what the claimer published, leave
// the second of two texts of one hash to the caller, and past half the room are told to make their own.
TEST(SeededClaims, EachHashIsClaimedOnceAndTwinsAndOverflowAreLeftToTheCaller)
{
    netkit::fixHashSeedForTesting(knownSeed);
    const Colliding chosen = collidingTexts(600, 10);
    std::vector<std::string> texts = chosen.texts;
    texts.insert(texts.end(), chosen.twins.begin(), chosen.twins.end());
    for (int n = 0; n < 1000; ++n)
        texts.push_back("Cine " + std::to_string(n));

    SeededClaims<std::size_t> claims(8192);
    std::vector<std::atomic<int>> ours(texts.size());
    std::vector<std::atomic<int>> taken(texts.size());
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 6; ++t) {
        threads.emplace_back([&, t] {
            std::vector<std::size_t> order(texts.size());
            for (std::size_t i = 0; i < order.size(); ++i)
                order[i] = i;
            std::shuffle(order.begin(), order.end(), std::mt19937(t));
            for (const std::size_t i : order) {
                std::size_t slot = 0;
                switch (claims.claim(SeededHashing::hash(texts[i]), slot)) {
                case SeededClaims<std::size_t>::Claim::ours:
                    claims.publish(slot, texts[i], i);
                    ++ours[i];
                    break;
                case SeededClaims<std::size_t>::Claim::taken:
                    ++taken[i];
                    break;
                case SeededClaims<std::size_t>::Claim::full:
                    ADD_FAILURE() << "full at " << texts.size() << " of 8,192";
                    break;
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    const std::size_t first = chosen.texts.size();
    EXPECT_EQ(ours[first] + ours[first + 1], 1) << "twins are one claim";
    EXPECT_EQ(taken[first] + taken[first + 1], 11);
    const std::size_t claimer = ours[first] ? first : first + 1;
    const std::size_t other = claimer == first ? first + 1 : first;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::size_t* made = claims.find(SeededHashing::hash(texts[i]), texts[i]);
        if (i == other) {
            EXPECT_EQ(made, nullptr) << "a twin is not the other's";
            continue;
        }
        ASSERT_EQ(ours[i], 1) << texts[i];
        ASSERT_EQ(taken[i], 5) << texts[i];
        ASSERT_TRUE(made) << texts[i];
        EXPECT_EQ(*made, i);
    }
    EXPECT_EQ(claims.find(SeededHashing::hash(std::string_view("Cine 1000")), "Cine 1000"), nullptr);

    // Half the room claimed, the next new text is the caller's to make; those claimed stay taken.
    SeededClaims<std::size_t> small(64);
    std::size_t slot = 0;
    for (std::size_t i = 0; i < 32; ++i)
        ASSERT_EQ(small.claim(SeededHashing::hash(chosen.texts[i]), slot), SeededClaims<std::size_t>::Claim::ours) << i;
    EXPECT_EQ(small.claim(SeededHashing::hash(chosen.texts[32]), slot), SeededClaims<std::size_t>::Claim::full);
    EXPECT_EQ(small.claim(SeededHashing::hash(chosen.texts[31]), slot), SeededClaims<std::size_t>::Claim::taken);
    EXPECT_EQ(small.find(SeededHashing::hash(chosen.texts[31]), chosen.texts[31]), nullptr) << "not published yet";
    netkit::fixHashSeedForTesting(0);
}
