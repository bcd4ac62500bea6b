#pragma once

#include "catalog-gen/CatalogGenerator.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeXtreamPanel.h"

#include <QByteArray>
#include <QUrl>

#include <array>
#include <memory>
#include <string>

namespace sendra::demo {

// The generated catalogue that every demo source serves: the panel's list and details answers, an M3U playlist
// and the platform's prepared build of the panel's entries. Three tenths are live channels, half films, the rest
// series; the same seed gives the same catalogue.
class DemoCatalog
{
public:
    DemoCatalog(int entries, quint64 seed);

    int count(testkit::PanelKind kind) const { return m_counts[std::size_t(kind)]; }
    int total() const;

    // Answers the panel's category, stream list, film details and series details actions.
    void serve(fakes::FakeXtreamPanel& panel) const;
    // As many playlist entries as the catalogue has, their streams on `host`.
    QByteArray playlist(const QUrl& host) const;
    // The panel's entries as the platform publishes them, with a home feed of a few rows.
    fakes::FakePlatform::Build preparedBuild() const;

private:
    testkit::CatalogGenerator m_generator;
    std::array<int, 3> m_counts{};
    // Shared by the panels that serve them: a big catalogue's lists are tens of megabytes.
    std::array<std::shared_ptr<const std::string>, 3> m_streams;
    std::array<QByteArray, 3> m_categories;
};

} // namespace sendra::demo
