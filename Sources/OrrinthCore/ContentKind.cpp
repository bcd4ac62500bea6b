#include "OrrinthCore/ContentKind.h"

namespace orrinth {

QString rawValue(ContentKind kind)
{
    switch (kind) {
    case ContentKind::live:
        return QStringLiteral("tv");
    case ContentKind::movie:
        return QStringLiteral("movies");
    case ContentKind::series:
        return QStringLiteral("series");
    }
    return {};
}

std::optional<ContentKind> contentKindFromRawValue(QStringView text)
{
    for (const ContentKind kind : allContentKinds) {
        if (text == rawValue(kind))
            return kind;
    }
    return std::nullopt;
}

} // namespace orrinth
