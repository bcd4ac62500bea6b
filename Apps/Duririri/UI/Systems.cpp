#include "UI/Systems.h"

#include "State/CommandDeck.h"
#include "Storage/CommandVault.h"

namespace sendra::ui {

Systems::Systems(AppContext& context, QQmlEngine* engine) : DeckFacet(context, engine)
{}

void Systems::relaySignals()
{
    using D = CommandDeck;
    relay(&D::parentalEnabledChanged, &Systems::parentalEnabledChanged);
    relay(&D::networkCheckRunningChanged, &Systems::networkChanged);
    relay(&D::networkDownloadChanged, &Systems::networkChanged);
    relay(&D::networkUploadChanged, &Systems::networkChanged);
    relay(&D::networkLatencyChanged, &Systems::networkChanged);
    relay(&D::isRefreshingCatalogChanged, &Systems::refreshChanged);
    relay(&D::catalogRefreshMessageChanged, &Systems::refreshChanged);
    relay(&D::catalogRefreshNoticeChanged, &Systems::refreshChanged);
}

void Systems::announce()
{
    emit parentalEnabledChanged();
    emit networkChanged();
    emit refreshChanged();
}

// ---- Network check and catalogue refresh ----

bool Systems::networkCheckRunning() const
{
    return read(&CommandDeck::networkCheckRunning, false);
}
double Systems::networkDownload() const
{
    return read(&CommandDeck::networkDownload, 0.0);
}
double Systems::networkUpload() const
{
    return read(&CommandDeck::networkUpload, 0.0);
}
int Systems::networkLatency() const
{
    return read(&CommandDeck::networkLatency, 0);
}
bool Systems::isRefreshingCatalog() const
{
    return read(&CommandDeck::isRefreshingCatalog, false);
}

QVariant Systems::catalogRefreshMessage() const
{
    return read([](const CommandDeck& d) { return optionalText(d.catalogRefreshMessage()); }, null());
}

QVariant Systems::catalogRefreshNotice() const
{
    const CommandDeck* current = deck();
    if (!current || !current->catalogRefreshNotice())
        return null();
    const auto& notice = *current->catalogRefreshNotice();
    return QVariantMap{{QStringLiteral("id"), notice.id.toString(QUuid::WithoutBraces)},
                       {QStringLiteral("title"), notice.title},
                       {QStringLiteral("message"), notice.message}};
}

void Systems::setCatalogRefreshNotice(const QVariant& notice)
{
    // Only dismissal is written back.
    if (notice.isNull() || !notice.isValid())
        act(&CommandDeck::setCatalogRefreshNotice, std::nullopt);
}

void Systems::runNetworkCheck()
{
    act(&CommandDeck::runNetworkCheck);
}
void Systems::refreshCatalog()
{
    act(&CommandDeck::refreshCatalog);
}

// ---- Parental protection ----

bool Systems::parentalEnabled() const
{
    return read(&CommandDeck::parentalEnabled, false);
}

bool Systems::hasParentalPIN() const
{
    return read([](const CommandDeck& d) { return d.vault().hasPIN(); }, false);
}

void Systems::setParental(bool enabled)
{
    act(&CommandDeck::setParental, enabled);
}

QVariant Systems::activateParental(const QString& pin, const QString& confirmation)
{
    QVariant result = null();
    act([&](CommandDeck& d) { result = optionalText(d.activateParental(pin, confirmation)); });
    return result;
}

bool Systems::validatePIN(const QString& pin) const
{
    return read([&pin](const CommandDeck& d) { return d.vault().validatePIN(pin); }, false);
}

// ---- Language and source ----

void Systems::selectLanguage(const QString& code)
{
    act(&CommandDeck::selectLanguage, code == u"en" ? AppLanguage::english : AppLanguage::spanish);
}

void Systems::disconnectSource()
{
    act([](CommandDeck& d) { d.disconnect(); });
}

} // namespace sendra::ui
