#include "Domain/CatalogPresentation.h"

#include <array>

namespace sendra {

namespace {

bool isGeneric(const MediaNode& node)
{
    return node.contentClassification == QLatin1String("generic");
}

} // namespace

CatalogPresentation::CatalogPresentation(const QList<MediaNode>& nodes)
{
    std::array<bool, allSignalKinds.size()> present{};
    bool allGeneric = true;
    for (const MediaNode& node : nodes) {
        if (isGeneric(node))
            continue;
        allGeneric = false;
        present[size_t(node.kind)] = true;
    }
    genericOnly = !nodes.isEmpty() && allGeneric;
    for (const SignalKind kind : allSignalKinds) {
        if (present[size_t(kind)])
            kinds.append(kind);
    }
}

} // namespace sendra
