#include "OrrinthCore/BrandModels.h"

#include <utility>

namespace orrinth {

BrandServer::BrandServer(qint64 slot, QUrl origin, bool active, std::optional<bool> primary,
                         QSet<QString> parentalBlockedCategories)
    : m_slot(slot)
    , m_origin(std::move(origin))
    , m_active(active)
    , m_primary(primary.value_or(slot == 1))
    , m_parentalBlockedCategories(std::move(parentalBlockedCategories))
{
}

bool operator==(const BrandServer &a, const BrandServer &b)
{
    return a.m_slot == b.m_slot && a.m_origin.toEncoded() == b.m_origin.toEncoded() && a.m_active == b.m_active
        && a.m_primary == b.m_primary && a.m_parentalBlockedCategories == b.m_parentalBlockedCategories;
}

size_t qHash(const BrandServer &server, size_t seed) noexcept
{
    // QSet iterates in no fixed order; qHashRangeCommutative keeps equal sets hashing alike.
    const size_t categories = qHashRangeCommutative(server.parentalBlockedCategories().cbegin(),
                                                    server.parentalBlockedCategories().cend());
    return qHashMulti(seed, server.slot(), server.origin().toEncoded(), server.active(), server.primary(),
                      categories);
}

bool operator==(const CatalogManifest &a, const CatalogManifest &b)
{
    return a.m_client == b.m_client && a.m_serverSlot == b.m_serverSlot
        && a.m_origin.toEncoded() == b.m_origin.toEncoded() && a.m_version == b.m_version
        && a.m_generatedAt == b.m_generatedAt && a.m_counts == b.m_counts
        && a.m_protectedCounts == b.m_protectedCounts;
}

} // namespace orrinth
