#pragma once

#include "OrrinthCore/CatalogItem.h"
#include "OrrinthCore/CatalogTable.h"

#include <QList>
#include <QString>
#include <QStringView>

namespace orrinth {

// Reads the text of an extended M3U playlist into catalogue items, one per entry, each carrying its own
// stream address. Does no I/O and never fails: lines it cannot use are skipped. An address line is an absolute
// address of a network scheme (netkit::isNetworkStreamScheme); any other line is skipped and the info line waits
// for the next one. A "tvg-id" of white space only counts as missing.
class M3UParser
{
public:
    M3UParser() = default;

    // The entries in compact form, as a caller that keeps them holds them.
    CatalogTable parseTable(QStringView text) const;
    // The same entries as items.
    QList<CatalogItem> parse(QStringView text) const;

    // The kind guessed from an entry's group and address.
    static ContentKind inferKind(QStringView group, QStringView url);
    // The id of an entry without "tvg-id": the same for the same address line in every run and process.
    static QString fallbackID(QStringView addressLine);
};

} // namespace orrinth
