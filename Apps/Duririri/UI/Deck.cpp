#include "UI/Deck.h"

#include "Shared/QmlTextLookup.h"
#include "State/CommandDeck.h"
#include "UI/AppQml.h"
#include "UI/NodeValues.h"
#include "UI/Palette.h"
#include "UI/TextLookup.h"

namespace sendra::ui {

namespace {

// Every enumerator is named, so a value added on either side fails the build (-Wswitch) instead of mapping by
// position.
Deck::Phase qmlPhase(CommandDeck::Phase phase)
{
    switch (phase) {
    case CommandDeck::Phase::starting:
        return Deck::Starting;
    case CommandDeck::Phase::access:
        return Deck::Access;
    case CommandDeck::Phase::profiles:
        return Deck::Profiles;
    case CommandDeck::Phase::ready:
        return Deck::Ready;
    }
    return Deck::Starting;
}

CommandDeck::Phase deckPhase(Deck::Phase phase)
{
    switch (phase) {
    case Deck::Starting:
        return CommandDeck::Phase::starting;
    case Deck::Access:
        return CommandDeck::Phase::access;
    case Deck::Profiles:
        return CommandDeck::Phase::profiles;
    case Deck::Ready:
        return CommandDeck::Phase::ready;
    }
    return CommandDeck::Phase::starting;
}

Deck::Dock qmlDock(CommandDeck::Dock dock)
{
    switch (dock) {
    case CommandDeck::Dock::center:
        return Deck::Center;
    case CommandDeck::Dock::library:
        return Deck::Library;
    case CommandDeck::Dock::discover:
        return Deck::Discover;
    case CommandDeck::Dock::systems:
        return Deck::Systems;
    }
    return Deck::Center;
}

CommandDeck::Dock deckDock(Deck::Dock dock)
{
    switch (dock) {
    case Deck::Center:
        return CommandDeck::Dock::center;
    case Deck::Library:
        return CommandDeck::Dock::library;
    case Deck::Discover:
        return CommandDeck::Dock::discover;
    case Deck::Systems:
        return CommandDeck::Dock::systems;
    }
    return CommandDeck::Dock::center;
}

} // namespace

Deck::Deck(AppContext& context, QQmlEngine* engine) : DeckFacet(context, engine), m_player(context)
{
    connect(&m_player, &EmbeddedPlayer::sessionChanged, this, &Deck::embeddedSessionChanged);
}

Deck::~Deck() = default;

void Deck::relaySignals()
{
    using D = CommandDeck;
    relay(&D::phaseChanged, &Deck::phaseChanged);
    relay(&D::errorMessageChanged, &Deck::errorMessageChanged);
    relay(&D::playbackMessageChanged, &Deck::playbackMessageChanged);
    relay(&D::activeIdentityChanged, &Deck::activeIdentityChanged);
    relay(&D::dockChanged, &Deck::dockChanged);
    relay(&D::playbackChanged, &Deck::playbackChanged);
    relay(&D::playbackMinimizedChanged, &Deck::playbackMinimizedChanged);
    relay(&D::appLanguageChanged, [this] {
        applyLanguage();
        emit languageChanged();
    });
    relay(&D::activeBrandChanged, [this] {
        applyBrandColours();
        emit brandChanged();
    });
}

void Deck::detaching()
{
    // The player belonged to the deck that went.
    m_player.forget();
}

void Deck::attached()
{
    applyBrandColours();
    applyLanguage();
}

void Deck::announce()
{
    emit phaseChanged();
    emit languageChanged();
    emit brandChanged();
    emit errorMessageChanged();
    emit playbackMessageChanged();
    emit activeIdentityChanged();
    emit dockChanged();
    emit playbackChanged();
    emit playbackMinimizedChanged();
    emit embeddedSessionChanged();
}

void Deck::applyBrandColours()
{
    if (!engine() || !deck())
        return;
    if (Palette* palette = appSingleton<Palette>(*engine())) {
        const BrandPresentation& brand = deck()->activeBrand();
        palette->setBrandColors(brand.primaryColor, brand.secondaryColor);
    }
}

void Deck::applyLanguage()
{
    if (!deck())
        return;
    const AppLanguage language = deck()->appLanguage();
    if (engine()) {
        if (TextLookup* lookup = appSingleton<TextLookup>(*engine()))
            lookup->setLanguage(language);
    }
    // The player screen's own texts (in the main and the floating window) follow it too.
    playback::QmlTextLookup::setLanguage(language);
}

// ---- Reading ----

Deck::Phase Deck::phase() const
{
    return read([](const CommandDeck& d) { return qmlPhase(d.phase()); }, Starting);
}

void Deck::setPhase(Phase phase)
{
    act(&CommandDeck::setPhase, deckPhase(phase));
}

QString Deck::language() const
{
    // Before the deck exists, the language the deck will start in.
    const CommandDeck* current = deck();
    return storedValue(current ? current->appLanguage() : LanguagePreferences::selected());
}

QVariantMap Deck::brand() const
{
    const BrandPresentation brand = read(&CommandDeck::activeBrand, BrandPresentation{});
    return {{QStringLiteral("slug"), brand.slug},
            {QStringLiteral("name"), brand.name},
            {QStringLiteral("logoURL"), artworkText(brand.logoURL)},
            {QStringLiteral("isotypeURL"), artworkText(brand.isotypeURL)},
            {QStringLiteral("privacyURL"), brand.privacyURL.toString(QUrl::FullyEncoded)},
            {QStringLiteral("supportURL"), brand.supportURL.toString(QUrl::FullyEncoded)},
            {QStringLiteral("privateAccess"), brand.privateAccess}};
}

QVariant Deck::errorMessage() const
{
    return read([](const CommandDeck& d) { return optionalText(d.errorMessage()); }, null());
}

QVariant Deck::playbackMessage() const
{
    return read([](const CommandDeck& d) { return optionalText(d.playbackMessage()); }, null());
}

Deck::Dock Deck::dock() const
{
    return read([](const CommandDeck& d) { return qmlDock(d.dock()); }, Center);
}

QVariant Deck::activeIdentity() const
{
    const auto identity = read(&CommandDeck::activeIdentity, std::optional<ViewerIdentity>());
    return identity ? QVariant(identityValue(*identity)) : null();
}

bool Deck::hasPlayback() const
{
    return read([](const CommandDeck& d) { return d.playback().has_value(); }, false);
}

bool Deck::playbackMinimized() const
{
    return read(&CommandDeck::playbackMinimized, false);
}
QObject* Deck::embeddedSession() const
{
    return m_player.session();
}

// ---- Operations ----

void Deck::selectDock(Dock dock)
{
    act(&CommandDeck::selectDock, deckDock(dock));
}

void Deck::changeIdentity()
{
    act(&CommandDeck::setPhase, CommandDeck::Phase::profiles);
}

void Deck::clearMessages()
{
    act([](CommandDeck& d) {
        if (d.errorMessage())
            d.setErrorMessage(std::nullopt);
        if (d.playbackMessage())
            d.setPlaybackMessage(std::nullopt);
    });
}

void Deck::placePlayer()
{
    m_player.place(deck());
}

void Deck::stopPlaybackForQuit()
{
    m_player.stopForQuit();
}

} // namespace sendra::ui
