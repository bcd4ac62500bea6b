#include "Domain/CommandPalette.h"

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

QString CommandPalette::activePrimary()
{
    return primary();
}

QString CommandPalette::activeSecondary()
{
    return secondary();
}

void CommandPalette::setActivePrimary(const QString& hex)
{
    primary() = hex;
}

void CommandPalette::setActiveSecondary(const QString& hex)
{
    secondary() = hex;
}

} // namespace sendra
