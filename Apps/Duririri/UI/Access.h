#pragma once

#include "UI/DeckFacet.h"

#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// What the entry screens read of the deck: the source being typed, the connection under way, the private
// brand's access code, and the identities to choose from.
class Access final : public DeckFacet
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    Q_PROPERTY(Method method READ method WRITE setMethod NOTIFY draftChanged)
    Q_PROPERTY(QString server READ server WRITE setServer NOTIFY draftChanged)
    Q_PROPERTY(QString user READ user WRITE setUser NOTIFY draftChanged)
    Q_PROPERTY(QString password READ password WRITE setPassword NOTIFY draftChanged)
    Q_PROPERTY(QString playlist READ playlist WRITE setPlaylist NOTIFY draftChanged)
    Q_PROPERTY(bool isConnecting READ isConnecting NOTIFY isConnectingChanged)
    Q_PROPERTY(QString connectionStatus READ connectionStatus NOTIFY connectionStatusChanged)
    Q_PROPERTY(
        bool accessCodeRequired READ accessCodeRequired WRITE setAccessCodeRequired NOTIFY accessCodeRequiredChanged)
    Q_PROPERTY(QString accessCode READ accessCode WRITE setAccessCode NOTIFY accessCodeChanged)
    // [{id, name, glyph}]
    Q_PROPERTY(QVariantList identities READ identities NOTIFY identitiesChanged)

public:
    enum Method { Portal, Playlist };
    Q_ENUM(Method)

    static Access* create(QQmlEngine* engine, QJSEngine*) { return make<Access>(engine); }
    Access(AppContext& context, QQmlEngine* engine);

    Method method() const;
    void setMethod(Method method);
    QString server() const;
    void setServer(const QString& text);
    QString user() const;
    void setUser(const QString& text);
    QString password() const;
    void setPassword(const QString& text);
    QString playlist() const;
    void setPlaylist(const QString& text);
    bool isConnecting() const;
    QString connectionStatus() const;
    bool accessCodeRequired() const;
    void setAccessCodeRequired(bool required);
    QString accessCode() const;
    void setAccessCode(const QString& code);
    QVariantList identities() const;

    Q_INVOKABLE void connectSource();
    Q_INVOKABLE void confirmPrivateAccess();
    Q_INVOKABLE void cancelPrivateAccess();
    Q_INVOKABLE void selectIdentity(const QString& id);
    Q_INVOKABLE void deleteIdentity(const QString& id);
    Q_INVOKABLE void addIdentity(const QString& name, const QString& glyph);

signals:
    void draftChanged();
    void isConnectingChanged();
    void connectionStatusChanged();
    void accessCodeRequiredChanged();
    void accessCodeChanged();
    void identitiesChanged();

private:
    void relaySignals() override;
    void announce() override;
    // Writes the draft back only when `change` changed it.
    template <class Change>
    void editDraft(Change change);
};

} // namespace sendra::ui
