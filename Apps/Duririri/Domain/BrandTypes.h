#pragma once

#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>

#include <optional>

namespace sendra {

// How a brand is shown.
struct BrandPresentation {
    QString slug;
    QString identifier; // a private brand's identifier, empty otherwise
    QString name;
    QString primaryColor;   // "#rrggbb"
    QString secondaryColor; // "#rrggbb"
    std::optional<QUrl> logoURL;
    std::optional<QUrl> isotypeURL;
    bool privateAccess = false;
    QUrl privacyURL;
    QUrl supportURL;

    // The maker's own presentation; its slug is the platform's slug.
    static BrandPresentation neutral();

    friend bool operator==(const BrandPresentation&, const BrandPresentation&) = default;
};

// One server of a brand.
struct PanelOrigin {
    int slot = 0;
    QUrl url; // normalised
    bool enabled = false;
    bool primary = false;
    QSet<QString> blockedGroups; // kept off the home screen; out of everything under the parental filter

    friend bool operator==(const PanelOrigin&, const PanelOrigin&) = default;
};

struct PanelRules {
    bool acceptsAnyOrigin = false;
    QList<PanelOrigin> origins; // in the platform's order

    // The first enabled server at `origin` (both compared as normalised origins).
    std::optional<PanelOrigin> matchingOrigin(const QUrl& origin) const;

    friend bool operator==(const PanelRules&, const PanelRules&) = default;
};

// What the platform decided about a brand and its servers.
struct BrandResolution {
    BrandPresentation brand;
    PanelRules rules;
    std::optional<int> matchedSlot;
    bool useBrandPresentation = false;
    std::optional<QString> catalogBrand;

    // Whether a free source at `origin` may authenticate at its own panel.
    bool permitsProviderAuthentication(const QUrl& origin, bool playlist) const;

    friend bool operator==(const BrandResolution&, const BrandResolution&) = default;
};

} // namespace sendra
