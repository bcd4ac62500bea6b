#include "Networking/Playlist/ChunkJoin.h"

#include "Networking/Playlist/GroupMaking.h"
#include "Networking/Playlist/KindHint.h"
#include "Networking/Playlist/PlaylistBuilder.h"
#include "NetKit/Workers.h"

#include <QByteArray>

#include <algorithm>
#include <string_view>

namespace sendra::playlist {

void ChunkJoin::add(PlaylistChunk& chunk, const MadeGroups* made)
{
    if (chunk.failure)
        std::rethrow_exception(chunk.failure);
    if (m_waiting && chunk.firstAddress) {
        PlaylistBuilder builder(m_origin, Grouping::titlesOnly);
        QByteArray scratch;
        if (const auto address = builder.address(*chunk.firstAddress, scratch))
            builder.add(*m_waiting, *chunk.firstAddress, *address);
        join(std::move(builder.nodes), builder.groups(), made);
        m_waiting.reset();
    }
    join(std::move(chunk.nodes), chunk.groups, made);
    chunk.groups = GroupBook();
    if (chunk.metInformation)
        m_waiting = std::move(chunk.waiting);
    chunk.nodes = NodeTable();
    chunk.firstAddress.reset();
    chunk.waiting.reset();
}

void ChunkJoin::writeRows()
{
    for (NodeTable::Adoption& adoption : m_adoptions)
        if (!adoption.filled())
            m_joined.fill(adoption);
    m_adoptions.clear();
}

NodeTable ChunkJoin::finish()
{
    std::vector<NodeTable::Adoption> adoptions = std::move(m_adoptions);
    m_adoptions.clear();
    std::erase_if(adoptions, [](const NodeTable::Adoption& adoption) { return adoption.filled(); });
    // Each chunk's rows go to their own place: the chunks are written on several threads.
    netkit::teamPool().forEach(adoptions.size(), [&](std::size_t chunk) { m_joined.fill(adoptions[chunk]); });
    m_joined.releaseSpare();
    return std::move(m_joined);
}

// A chunk's rows taken over, their group titles looked up among the playlist's (each group made once, as reading on
// one thread makes it) and their kinds completed with what the group's name says; the rows themselves are written
// after (by writeRows(), or by finish() on several threads).
void ChunkJoin::join(NodeTable&& nodes, GroupBook& groups, const MadeGroups* made)
{
    if (nodes.isEmpty())
        return;
    if (m_joined.isEmpty() && m_expectedRows > nodes.size())
        m_joined.reserve(m_expectedRows);
    const auto& titles = groups.titles();
    std::vector<NodeTable::Regrouped> regrouped(titles.size());
    const auto regroup = [&](std::size_t i, const GroupBook::Found& found) {
        NodeTable::Regrouped& to = regrouped[i];
        to.group = found.group;
        // A series keyword in the group wins over anything its addresses say; a film keyword over a live channel.
        if (found.hint == KindHint::episodic)
            to.kinds.fill(SignalKind::episodic);
        else if (found.hint == KindHint::cinema)
            to.kinds[std::size_t(SignalKind::broadcast)] = SignalKind::cinema;
    };
    // A chunk's titles are distinct. Those not met before were mostly made by the workers that read the chunks; the
    // rest (a title another claimed by its hash, or not yet made) are made here. All are numbered in the order met.
    // Each lookup reads a slot and then the title it names, both far apart in a book of many groups: the slot is
    // fetched two strides ahead and its title one stride ahead.
    constexpr std::size_t ahead = 8;
    for (std::size_t i = 0; i < std::min(titles.size(), 2 * ahead); ++i)
        m_groups.prefetch(titles[i].hash);
    for (std::size_t i = 0; i < titles.size(); ++i) {
        if (i + 2 * ahead < titles.size())
            m_groups.prefetch(titles[i + 2 * ahead].hash);
        if (i + ahead < titles.size())
            m_groups.prefetchTitle(titles[i + ahead].hash);
        const std::string_view title = groups.text(titles[i]);
        if (const auto found = m_groups.lookUp(title, titles[i].hash)) {
            regroup(i, *found);
            continue;
        }
        MadeGroup group;
        if (MadeGroup* own = groups.premade(i))
            group = std::move(*own);
        else if (const MadeGroup* shared = made ? made->find(titles[i].hash, title) : nullptr)
            group = *shared;
        else
            group = makeGroup(title);
        regroup(i, m_groups.add(title, titles[i].hash, {m_joined.addGroup(group.id, group.name), group.hint}));
    }
    m_adoptions.push_back(m_joined.adopt(std::move(nodes), std::move(regrouped)));
}

} // namespace sendra::playlist
