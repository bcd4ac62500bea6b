#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>

#include <optional>
#include <utility>

namespace orrinth {

// One server origin that a brand allows.
class BrandServer
{
public:
    // Without an explicit `primary`, the server in slot 1 is the primary one.
    BrandServer(qint64 slot, QUrl origin, bool active, std::optional<bool> primary,
                QSet<QString> parentalBlockedCategories);

    qint64 slot() const { return m_slot; }
    // As the service gives it; comparisons reduce it first.
    const QUrl &origin() const { return m_origin; }
    bool active() const { return m_active; }
    bool primary() const { return m_primary; }
    // Names of this server's categories that the parental filter hides.
    const QSet<QString> &parentalBlockedCategories() const { return m_parentalBlockedCategories; }

    friend bool operator==(const BrandServer &a, const BrandServer &b);

private:
    qint64 m_slot;
    QUrl m_origin;
    bool m_active;
    bool m_primary;
    QSet<QString> m_parentalBlockedCategories;
};

size_t qHash(const BrandServer &server, size_t seed = 0) noexcept;

// A brand's configuration as the brand configuration endpoint serves it.
class BrandConfiguration
{
public:
    BrandConfiguration(qint64 schemaVersion, QString slug, bool enabled, bool emergencyLock, bool freeMode,
                       qint64 configVersion, QList<BrandServer> allowedOrigins)
        : m_schemaVersion(schemaVersion), m_slug(std::move(slug)), m_enabled(enabled)
        , m_emergencyLock(emergencyLock), m_freeMode(freeMode), m_configVersion(configVersion)
        , m_allowedOrigins(std::move(allowedOrigins))
    {
    }

    qint64 schemaVersion() const { return m_schemaVersion; }
    const QString &slug() const { return m_slug; }
    bool enabled() const { return m_enabled; }
    bool emergencyLock() const { return m_emergencyLock; }
    // Any server may be used.
    bool freeMode() const { return m_freeMode; }
    qint64 configVersion() const { return m_configVersion; }
    const QList<BrandServer> &allowedOrigins() const { return m_allowedOrigins; }

private:
    qint64 m_schemaVersion;
    QString m_slug;
    bool m_enabled;
    bool m_emergencyLock;
    bool m_freeMode;
    qint64 m_configVersion;
    QList<BrandServer> m_allowedOrigins;
};

// The brand named in a resolution.
class ResolvedBrand
{
public:
    ResolvedBrand(QString slug, QString identifier, QString name, QString accessMode)
        : m_slug(std::move(slug)), m_identifier(std::move(identifier)), m_name(std::move(name))
        , m_accessMode(std::move(accessMode))
    {
    }

    const QString &slug() const { return m_slug; }
    // The private identifier the brand answers to.
    const QString &identifier() const { return m_identifier; }
    const QString &name() const { return m_name; }
    // "private" for brands that require private access.
    const QString &accessMode() const { return m_accessMode; }

    friend bool operator==(const ResolvedBrand &, const ResolvedBrand &) = default;

private:
    QString m_slug;
    QString m_identifier;
    QString m_name;
    QString m_accessMode;
};

// The platform that answered a resolution.
class PlatformDescriptor
{
public:
    PlatformDescriptor(QString slug, QString accessMode, qint64 version)
        : m_slug(std::move(slug)), m_accessMode(std::move(accessMode)), m_version(version)
    {
    }

    const QString &slug() const { return m_slug; }
    const QString &accessMode() const { return m_accessMode; }
    qint64 version() const { return m_version; }

    friend bool operator==(const PlatformDescriptor &, const PlatformDescriptor &) = default;

private:
    QString m_slug;
    QString m_accessMode;
    qint64 m_version;
};

// The answer to resolving a private brand identifier.
class BrandResolution
{
public:
    BrandResolution(qint64 schemaVersion, ResolvedBrand brand, bool allowAnyServer, bool useBrandPresentation,
                    std::optional<QString> catalogBrand, QList<BrandServer> allowedOrigins,
                    PlatformDescriptor platform)
        : m_schemaVersion(schemaVersion), m_brand(std::move(brand)), m_allowAnyServer(allowAnyServer)
        , m_useBrandPresentation(useBrandPresentation), m_catalogBrand(std::move(catalogBrand))
        , m_allowedOrigins(std::move(allowedOrigins)), m_platform(std::move(platform))
    {
    }

    qint64 schemaVersion() const { return m_schemaVersion; }
    const ResolvedBrand &brand() const { return m_brand; }
    bool allowAnyServer() const { return m_allowAnyServer; }
    bool useBrandPresentation() const { return m_useBrandPresentation; }
    const std::optional<QString> &catalogBrand() const { return m_catalogBrand; }
    const QList<BrandServer> &allowedOrigins() const { return m_allowedOrigins; }
    const PlatformDescriptor &platform() const { return m_platform; }

private:
    qint64 m_schemaVersion;
    ResolvedBrand m_brand;
    bool m_allowAnyServer;
    bool m_useBrandPresentation;
    std::optional<QString> m_catalogBrand;
    QList<BrandServer> m_allowedOrigins;
    PlatformDescriptor m_platform;
};

// Entry counts per section, keyed by the content kind's text value ("tv", "movies", "series").
using SectionCounts = QHash<QString, qint64>;

// The description of the prepared catalogue of one brand server.
class CatalogManifest
{
public:
    CatalogManifest(QString client, qint64 serverSlot, QUrl origin, qint64 version, QString generatedAt,
                    SectionCounts counts, SectionCounts protectedCounts)
        : m_client(std::move(client)), m_serverSlot(serverSlot), m_origin(std::move(origin)), m_version(version)
        , m_generatedAt(std::move(generatedAt)), m_counts(std::move(counts))
        , m_protectedCounts(std::move(protectedCounts))
    {
    }

    // The brand slug the catalogue was prepared for.
    const QString &client() const { return m_client; }
    qint64 serverSlot() const { return m_serverSlot; }
    const QUrl &origin() const { return m_origin; }
    // Positive when valid.
    qint64 version() const { return m_version; }
    // Sent back as the "generation" query value.
    const QString &generatedAt() const { return m_generatedAt; }
    const SectionCounts &counts() const { return m_counts; }
    // The counts of the protected (parental) form of the catalogue.
    const SectionCounts &protectedCounts() const { return m_protectedCounts; }

    friend bool operator==(const CatalogManifest &a, const CatalogManifest &b);

private:
    QString m_client;
    qint64 m_serverSlot;
    QUrl m_origin;
    qint64 m_version;
    QString m_generatedAt;
    SectionCounts m_counts;
    SectionCounts m_protectedCounts;
};

} // namespace orrinth
