#include "Domain/ActiveBrandColors.h"

namespace sendra {

namespace {
QString& primary()
{
    static QString value = QStringLiteral("#f5f5f7");
    return value;
}

QString& secondary()
{
    static QString value = QStringLiteral("#686872");
    return value;
}
} // namespace

QString ActiveBrandColors::activePrimary()
{
    return primary();
}

QString ActiveBrandColors::activeSecondary()
{
    return secondary();
}

void ActiveBrandColors::setActivePrimary(const QString& hex)
{
    primary() = hex;
}

void ActiveBrandColors::setActiveSecondary(const QString& hex)
{
    secondary() = hex;
}

} // namespace sendra
