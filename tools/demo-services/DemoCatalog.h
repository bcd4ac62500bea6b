#pragma once

#include "catalog-gen/CatalogGenerator.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeXtreamPanel.h"

#include <QByteArray>
#include <QStringList>
#include <QUrl>

#include <array>
#include <memory>
#include <string>

namespace sendra::demo {

// The generated catalogue that every demo source serves: the panel's list and details answers, an M3U playlist
// and the platform's prepared build of the panel's entries. Three tenths are live channels, half films, the rest
// series; the same seed gives the same catalogue. Every kind has its own category names (two plain genre names
// are shared across kinds), the last two categories of each kind and a few titles are adult material that the
// parental protection hides, and the artwork is drawn by `artworkHost` ("/art/...").
class DemoCatalog
{
public:
    DemoCatalog(int entries, quint64 seed, const QUrl& artworkHost);

    int count(testkit::PanelKind kind) const { return m_counts[std::size_t(kind)]; }
    int total() const;

    // Answers the panel's category, stream list, film details and series details actions.
    void serve(fakes::FakeXtreamPanel& panel) const;
    // As many playlist entries as the catalogue has, their streams on `host`.
    QByteArray playlist(const QUrl& host) const;
    // The panel's entries as the platform publishes them, with a home feed of a few rows; its protected form
    // leaves out adult material and the `blocked` categories (names).
    fakes::FakePlatform::Build preparedBuild(const QStringList& blocked) const;
    // Categories that the private brand's server keeps from its protected view, by name: names with nothing
    // adult in them, so only the server's list hides them.
    QStringList privateBlockedCategories() const;
    const testkit::CatalogGenerator& generator() const { return m_generator; }

private:
    testkit::CatalogGenerator m_generator;
    QUrl m_artworkHost;
    std::array<int, 3> m_counts{};
    // Shared by the panels that serve them: a big catalogue's lists are tens of megabytes.
    std::array<std::shared_ptr<const std::string>, 3> m_streams;
    std::array<QByteArray, 3> m_categories;
};

} // namespace sendra::demo
