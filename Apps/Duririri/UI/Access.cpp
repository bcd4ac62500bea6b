#include "UI/Access.h"

#include "State/CommandDeck.h"
#include "UI/NodeValues.h"

namespace sendra::ui {

namespace {

// Every enumerator is named, so a value added on either side fails the build (-Wswitch).
Access::Method qmlMethod(SourceMethod method)
{
    switch (method) {
    case SourceMethod::portal:
        return Access::Portal;
    case SourceMethod::playlist:
        return Access::Playlist;
    }
    return Access::Portal;
}

SourceMethod deckMethod(Access::Method method)
{
    switch (method) {
    case Access::Portal:
        return SourceMethod::portal;
    case Access::Playlist:
        return SourceMethod::playlist;
    }
    return SourceMethod::portal;
}

std::optional<ViewerIdentity> identityWithId(const CommandDeck& deck, const QString& id)
{
    const QUuid uuid(id);
    for (const ViewerIdentity& identity : deck.identities()) {
        if (identity.id == uuid)
            return identity;
    }
    return std::nullopt;
}

} // namespace

Access::Access(AppContext& context, QQmlEngine* engine) : DeckFacet(context, engine)
{}

void Access::relaySignals()
{
    using D = CommandDeck;
    relay(&D::draftChanged, &Access::draftChanged);
    relay(&D::isConnectingChanged, &Access::isConnectingChanged);
    relay(&D::connectionStatusChanged, &Access::connectionStatusChanged);
    relay(&D::accessCodeRequiredChanged, &Access::accessCodeRequiredChanged);
    relay(&D::accessCodeChanged, &Access::accessCodeChanged);
    relay(&D::identitiesChanged, &Access::identitiesChanged);
}

void Access::announce()
{
    emit draftChanged();
    emit isConnectingChanged();
    emit connectionStatusChanged();
    emit accessCodeRequiredChanged();
    emit accessCodeChanged();
    emit identitiesChanged();
}

// ---- The draft ----

template <class Change>
void Access::editDraft(Change change)
{
    act([&change](CommandDeck& d) {
        SourceDraft draft = d.draft();
        const SourceDraft before = draft;
        change(draft);
        if (!(draft == before))
            d.setDraft(draft);
    });
}

Access::Method Access::method() const
{
    return read([](const CommandDeck& d) { return qmlMethod(d.draft().method); }, Portal);
}

void Access::setMethod(Method method)
{
    editDraft([method](SourceDraft& d) { d.method = deckMethod(method); });
}

QString Access::server() const
{
    return read([](const CommandDeck& d) { return d.draft().server; }, QString());
}
void Access::setServer(const QString& text)
{
    editDraft([&](SourceDraft& d) { d.server = text; });
}
QString Access::user() const
{
    return read([](const CommandDeck& d) { return d.draft().user; }, QString());
}
void Access::setUser(const QString& text)
{
    editDraft([&](SourceDraft& d) { d.user = text; });
}
QString Access::password() const
{
    return read([](const CommandDeck& d) { return d.draft().password; }, QString());
}
void Access::setPassword(const QString& text)
{
    editDraft([&](SourceDraft& d) { d.password = text; });
}
QString Access::playlist() const
{
    return read([](const CommandDeck& d) { return d.draft().playlist; }, QString());
}
void Access::setPlaylist(const QString& text)
{
    editDraft([&](SourceDraft& d) { d.playlist = text; });
}

// ---- The connection ----

bool Access::isConnecting() const
{
    return read(&CommandDeck::isConnecting, false);
}
QString Access::connectionStatus() const
{
    return read(&CommandDeck::connectionStatus, QString());
}
bool Access::accessCodeRequired() const
{
    return read(&CommandDeck::accessCodeRequired, false);
}

void Access::setAccessCodeRequired(bool required)
{
    // The sheet has no dismissal that leaves a private connection pending: closing it is cancelling.
    act([required](CommandDeck& d) {
        if (!required && d.accessCodeRequired() && !d.isConnecting())
            d.cancelPrivateAccess();
    });
}

QString Access::accessCode() const
{
    return read(&CommandDeck::accessCode, QString());
}

void Access::setAccessCode(const QString& code)
{
    act([&code](CommandDeck& d) {
        if (d.accessCode() != code)
            d.setAccessCode(code);
    });
}

void Access::connectSource()
{
    act([](CommandDeck& d) { d.connect(); });
}

void Access::confirmPrivateAccess()
{
    act(&CommandDeck::confirmPrivateAccess);
}
void Access::cancelPrivateAccess()
{
    act(&CommandDeck::cancelPrivateAccess);
}

// ---- Identities ----

QVariantList Access::identities() const
{
    QVariantList out;
    for (const ViewerIdentity& identity : read(&CommandDeck::identities, QList<ViewerIdentity>()))
        out.append(identityValue(identity));
    return out;
}

void Access::selectIdentity(const QString& id)
{
    act([&id](CommandDeck& d) {
        if (const auto identity = identityWithId(d, id))
            d.selectIdentity(*identity);
    });
}

void Access::deleteIdentity(const QString& id)
{
    act([&id](CommandDeck& d) {
        if (const auto identity = identityWithId(d, id))
            d.deleteIdentity(*identity);
    });
}

void Access::addIdentity(const QString& name, const QString& glyph)
{
    act(&CommandDeck::addIdentity, name, glyph);
}

} // namespace sendra::ui
