#pragma once

#include "Domain/CatalogTypes.h"
#include "Networking/ArtworkAddress.h"
#include "Networking/Playlist/EntryLine.h"
#include "Networking/Playlist/GroupBook.h"
#include "Networking/Playlist/KindHint.h"
#include "Networking/TextFold.h"
#include "NetKit/AddressReader.h"
#include "NetKit/PlaylistText.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QUrl>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sendra::playlist {

// Where an entry's group is made: by the builder, or (for a chunk read apart) by the join, which makes each group
// once.
enum class Grouping { made, titlesOnly };

// Entries added one by one, each from its information line and its address line, into a table. Inline: the line
// reader calls it for every entry.
class PlaylistBuilder
{
public:
    NodeTable nodes;

    // With Grouping::titlesOnly, the entries' groups are the indexes of their titles in groups(), and their kinds
    // are those of their addresses alone.
    explicit PlaylistBuilder(const QUrl& origin, Grouping grouping = Grouping::made)
        : m_origin(origin), m_titlesOnly(grouping == Grouping::titlesOnly)
    {
        m_logos.setBase(origin.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo));
    }

    GroupBook& groups() { return m_groups; }

    // The information line of the entry to come, read as soon as it is met: another group than the last has its
    // slot asked for now, and the title that slot names once the address line is found (address()), so that both
    // have arrived when the entry is added.
    void expect(std::string_view info)
    {
        m_info.emplace(info);
        m_infoText = info;
        m_lastGroup = m_groups.expect(m_info->groupTitle.value_or(defaultGroupName));
    }

    void add(std::string_view info, std::string_view addressLine, QByteArrayView address)
    {
        if (!m_info || m_infoText.data() != info.data() || m_infoText.size() != info.size())
            expect(info);
        const netkit::playlist::InformationLine attributes = *m_info;
        m_info.reset();
        const std::string_view groupTitle = attributes.groupTitle.value_or(defaultGroupName);
        const bool lastGroup = m_lastGroup;
        // An id of blanks (or of a stray byte-order mark) would make every such entry the same entry.
        char fallback[36];
        const std::string_view id = attributes.tvgId && !netkit::playlist::trimmed(*attributes.tvgId).empty()
                                        ? *attributes.tvgId
                                        : m_fallbackIds.of(addressLine, fallback);
        std::optional<KindHint> addressHint;
        if (!lastGroup)
            addressHint = addressHintOf(addressLine);
        const GroupBook::Found group = m_groups.find(groupTitle, m_titlesOnly ? nullptr : &nodes);
        // Every entry's suffix is the empty text: looked up once, not for every row.
        if (m_emptySuffix == NodeTable::nullText)
            m_emptySuffix = nodes.addText(QStringView(u""));
        // Every field given, so the node is not cleared first.
        nodes.append(NodeTable::RawNode{.kind = kindOf(group.hint, addressLine, addressHint),
                                        .id = id,
                                        .title = titleOf(info, attributes.titleComma),
                                        .group = group.group,
                                        .artwork = artworkOf(attributes.tvgLogo),
                                        .directURL = address,
                                        .fileSuffix = m_emptySuffix,
                                        .contentClassification = NodeTable::nullText});
    }

    // A logo QUrl would keep as written is kept as it is, without making a QUrl. (Returned into the node in place:
    // a copy of the optional would be read before its flag was written.)
    std::optional<QByteArrayView> artworkOf(std::optional<std::string_view> logo)
    {
        if (!logo)
            return std::nullopt;
        if (const auto text = m_logos.encoded(*logo, m_logoScratch))
            return *text;
        if (const auto read = readArtwork(m_logos, *logo, m_origin)) {
            m_logoScratch = read->toEncoded();
            return QByteArrayView(m_logoScratch);
        }
        return std::nullopt;
    }

    // A playlist line's stream address as encoded text, in `scratch` when it is not the line itself.
    std::optional<QByteArrayView> address(std::string_view line, QByteArray& scratch)
    {
        if (m_info)
            m_groups.approach();
        const auto text = m_streams.encoded(line, scratch);
        m_addressIsAscii = text.has_value(); // such an address is printable ASCII
        if (text)
            return *text;
        const std::optional<QUrl> address = m_streams.readStream(line);
        if (!address)
            return std::nullopt;
        scratch = address->toEncoded();
        return QByteArrayView(scratch);
    }

private:
    // The kind guess over the folded group name and address, both searched whole: a series keyword in either
    // wins over a film keyword in either; a live channel otherwise. The group's part is worked out once per group.
    // (`known`: the address's part, when already worked out.)
    SignalKind kindOf(KindHint groupHint, std::string_view addressLine, std::optional<KindHint> known)
    {
        if (groupHint == KindHint::episodic)
            return SignalKind::episodic;
        const KindHint addressHint = known ? *known : addressHintOf(addressLine);
        if (addressHint == KindHint::episodic)
            return SignalKind::episodic;
        if (groupHint == KindHint::cinema || addressHint == KindHint::cinema)
            return SignalKind::cinema;
        return SignalKind::broadcast;
    }

    KindHint addressHintOf(std::string_view addressLine)
    {
        if (m_addressIsAscii || netkit::playlist::isAscii(addressLine))
            return kindHint(addressLine);
        foldedLowerUtf8(addressLine, m_foldedAddress);
        return kindHint(m_foldedAddress);
    }

    QUrl m_origin;
    // One reader per kind of address, so each keeps meeting its own origin (and its own repeated pictures).
    netkit::AddressReader m_streams;
    netkit::AddressReader m_logos;
    NameUuid m_fallbackIds;
    QByteArray m_logoScratch;
    uint32_t m_emptySuffix = NodeTable::nullText;
    GroupBook m_groups;
    std::optional<netkit::playlist::InformationLine> m_info; // what expect() read, of `m_infoText`
    std::string_view m_infoText;
    bool m_lastGroup = false; // the entry to come is in the last group's
    bool m_titlesOnly;
    std::string m_foldedAddress;
    bool m_addressIsAscii = false; // the address line last read by address()
};

} // namespace sendra::playlist
