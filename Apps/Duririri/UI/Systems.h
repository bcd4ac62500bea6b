#pragma once

#include "UI/DeckFacet.h"

#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// What the systems console and the parental sheet read of the deck: the network check, the catalogue refresh,
// the parental protection, the language choice and unlinking the source.
class Systems final : public DeckFacet
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    Q_PROPERTY(bool parentalEnabled READ parentalEnabled NOTIFY parentalEnabledChanged)
    // Whether a parental PIN is stored (a PIN is stored before the protection switches on).
    Q_PROPERTY(bool hasParentalPIN READ hasParentalPIN NOTIFY parentalEnabledChanged)
    Q_PROPERTY(bool networkCheckRunning READ networkCheckRunning NOTIFY networkChanged)
    Q_PROPERTY(double networkDownload READ networkDownload NOTIFY networkChanged)
    Q_PROPERTY(double networkUpload READ networkUpload NOTIFY networkChanged)
    Q_PROPERTY(int networkLatency READ networkLatency NOTIFY networkChanged)
    Q_PROPERTY(bool isRefreshingCatalog READ isRefreshingCatalog NOTIFY refreshChanged)
    Q_PROPERTY(QVariant catalogRefreshMessage READ catalogRefreshMessage NOTIFY refreshChanged)
    // {id, title, message} or null; writing null dismisses it.
    Q_PROPERTY(
        QVariant catalogRefreshNotice READ catalogRefreshNotice WRITE setCatalogRefreshNotice NOTIFY refreshChanged)

public:
    static Systems* create(QQmlEngine* engine, QJSEngine*) { return make<Systems>(engine); }
    Systems(AppContext& context, QQmlEngine* engine);

    bool parentalEnabled() const;
    bool hasParentalPIN() const;
    bool networkCheckRunning() const;
    double networkDownload() const;
    double networkUpload() const;
    int networkLatency() const;
    bool isRefreshingCatalog() const;
    QVariant catalogRefreshMessage() const;
    QVariant catalogRefreshNotice() const;
    void setCatalogRefreshNotice(const QVariant& notice);

    Q_INVOKABLE void runNetworkCheck();
    Q_INVOKABLE void refreshCatalog();
    Q_INVOKABLE void setParental(bool enabled);
    // Null on success, else the (Spanish) message to show through the lookup.
    Q_INVOKABLE QVariant activateParental(const QString& pin, const QString& confirmation);
    Q_INVOKABLE bool validatePIN(const QString& pin) const;
    // "es" or "en".
    Q_INVOKABLE void selectLanguage(const QString& code);
    Q_INVOKABLE void disconnectSource();

signals:
    void parentalEnabledChanged();
    void networkChanged();
    void refreshChanged();

private:
    void relaySignals() override;
    void announce() override;
};

} // namespace sendra::ui
