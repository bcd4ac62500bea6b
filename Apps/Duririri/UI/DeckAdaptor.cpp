#include "UI/DeckAdaptor.h"

#include "Shared/PlayerSession.h"
#include "Shared/QmlTextLookup.h"
#include "State/CommandDeck.h"
#include "State/HomeFeed.h"
#include "Storage/CommandVault.h"
#include "UI/AppContext.h"
#include "UI/NodeValues.h"

namespace sendra::ui {

namespace {

QVariant optionalText(const std::optional<QString>& text)
{
    return text ? QVariant(*text) : QVariant::fromValue(nullptr);
}

QVariantMap identityValue(const ViewerIdentity& identity)
{
    return {{QStringLiteral("id"), identity.id.toString(QUuid::WithoutBraces)},
            {QStringLiteral("name"), identity.name},
            {QStringLiteral("glyph"), identity.glyph}};
}

std::optional<SignalKind> kindFromText(const QString& text)
{
    return text.isEmpty() ? std::nullopt : signalKindFromStored(text);
}

} // namespace

DeckAdaptor* DeckAdaptor::create(QQmlEngine* engine, QJSEngine*)
{
    AppContext* context = AppContext::of(engine);
    Q_ASSERT_X(context, "DeckAdaptor", "the engine was not installed by an AppContext");
    if (!context)
        qFatal("Deck singleton: engine without an application context");
    return new DeckAdaptor(*context, engine);
}

DeckAdaptor::DeckAdaptor(AppContext& context, QQmlEngine* engine)
    : QObject(engine), m_context(context), m_engine(engine)
{
    QQmlEngine::setObjectOwnership(this, QQmlEngine::CppOwnership);
    connect(&context, &AppContext::deckChanged, this, [this] { attach(m_context.deck()); });
    attach(context.deck());
}

DeckAdaptor::~DeckAdaptor() = default;

void DeckAdaptor::attach(CommandDeck* deck)
{
    for (const auto& connection : std::as_const(m_connections))
        QObject::disconnect(connection);
    m_connections.clear();
    m_embedded.reset();
    m_deck = deck;
    if (m_deck) {
        const auto relay = [this](auto deckSignal, auto ownSignal) {
            m_connections.append(QObject::connect(m_deck, deckSignal, this, ownSignal));
        };
        using D = CommandDeck;
        using A = DeckAdaptor;
        relay(&D::phaseChanged, &A::phaseChanged);
        relay(&D::draftChanged, &A::draftChanged);
        relay(&D::isConnectingChanged, &A::isConnectingChanged);
        relay(&D::connectionStatusChanged, &A::connectionStatusChanged);
        relay(&D::errorMessageChanged, &A::errorMessageChanged);
        relay(&D::playbackMessageChanged, &A::playbackMessageChanged);
        relay(&D::accessCodeRequiredChanged, &A::accessCodeRequiredChanged);
        relay(&D::accessCodeChanged, &A::accessCodeChanged);
        relay(&D::identitiesChanged, &A::identitiesChanged);
        relay(&D::activeIdentityChanged, &A::activeIdentityChanged);
        relay(&D::dockChanged, &A::dockChanged);
        relay(&D::nodesByKindChanged, &A::catalogChanged);
        relay(&D::usesGenericPresentationChanged, &A::catalogChanged);
        relay(&D::presentedKindsChanged, &A::catalogChanged);
        relay(&D::feedChanged, &A::feedChanged);
        relay(&D::centerResumeMarkersChanged, &A::centerResumeMarkersChanged);
        relay(&D::chosenKindChanged, &A::chosenKindChanged);
        relay(&D::chosenGroupChanged, &A::chosenGroupChanged);
        relay(&D::canReturnFromLibraryChanged, &A::canReturnFromLibraryChanged);
        relay(&D::libraryNodesChanged, &A::libraryNodesChanged);
        relay(&D::searchTextChanged, &A::searchTextChanged);
        relay(&D::selectedNodeChanged, &A::selectedNodeChanged);
        relay(&D::selectedBriefChanged, &A::selectedBriefChanged);
        relay(&D::isLoadingBriefChanged, &A::isLoadingBriefChanged);
        relay(&D::playbackChanged, &A::playbackChanged);
        relay(&D::playbackMinimizedChanged, &A::playbackMinimizedChanged);
        relay(&D::parentalEnabledChanged, &A::parentalEnabledChanged);
        relay(&D::networkCheckRunningChanged, &A::networkChanged);
        relay(&D::networkDownloadChanged, &A::networkChanged);
        relay(&D::networkUploadChanged, &A::networkChanged);
        relay(&D::networkLatencyChanged, &A::networkChanged);
        relay(&D::isRefreshingCatalogChanged, &A::refreshChanged);
        relay(&D::catalogRefreshMessageChanged, &A::refreshChanged);
        relay(&D::catalogRefreshNoticeChanged, &A::refreshChanged);
        m_connections.append(QObject::connect(m_deck, &D::favoritesChanged, this, [this] {
            ++m_favoritesRevision;
            emit favoritesChanged();
            emit centerResumeMarkersChanged();
            emit selectedNodeChanged();
        }));
        m_connections.append(QObject::connect(m_deck, &D::appLanguageChanged, this, [this] {
            applyLanguage();
            emit languageChanged();
        }));
        m_connections.append(QObject::connect(m_deck, &D::activeBrandChanged, this, [this] {
            applyBrandColours();
            emit brandChanged();
        }));
    }
    applyBrandColours();
    applyLanguage();
    emitEverything();
    emit embeddedSessionChanged();
}

void DeckAdaptor::emitEverything()
{
    emit deckChanged();
    emit phaseChanged();
    emit languageChanged();
    emit brandChanged();
    emit errorMessageChanged();
    emit playbackMessageChanged();
    emit draftChanged();
    emit isConnectingChanged();
    emit connectionStatusChanged();
    emit accessCodeRequiredChanged();
    emit accessCodeChanged();
    emit identitiesChanged();
    emit activeIdentityChanged();
    emit dockChanged();
    emit catalogChanged();
    emit feedChanged();
    emit centerResumeMarkersChanged();
    emit favoritesChanged();
    emit chosenKindChanged();
    emit chosenGroupChanged();
    emit canReturnFromLibraryChanged();
    emit libraryNodesChanged();
    emit searchTextChanged();
    emit selectedNodeChanged();
    emit selectedBriefChanged();
    emit isLoadingBriefChanged();
    emit playbackChanged();
    emit playbackMinimizedChanged();
    emit parentalEnabledChanged();
    emit networkChanged();
    emit refreshChanged();
}

void DeckAdaptor::applyBrandColours()
{
    if (!m_engine || !m_deck)
        return;
    const int paletteType = qmlTypeId("Sendra.App", 1, 0, "CommandPalette");
    if (paletteType < 0)
        return;
    if (QObject* palette = m_engine->singletonInstance<QObject*>(paletteType)) {
        const BrandPresentation& brand = m_deck->activeBrand();
        QMetaObject::invokeMethod(palette, "setBrandColors", Q_ARG(QString, brand.primaryColor),
                                  Q_ARG(QString, brand.secondaryColor));
    }
}

void DeckAdaptor::applyLanguage()
{
    if (!m_deck)
        return;
    // Every text of both windows, the player screen's included, follows it.
    playback::QmlTextLookup::setLanguage(m_deck->appLanguage());
    if (m_embedded && m_embedded->session())
        m_embedded->session()->setLanguage(storedValue(m_deck->appLanguage()));
}

// ---- Reading ----

DeckAdaptor::Phase DeckAdaptor::phase() const
{
    return m_deck ? Phase(int(m_deck->phase())) : Starting;
}

void DeckAdaptor::setPhase(Phase phase)
{
    if (m_deck)
        m_deck->setPhase(CommandDeck::Phase(int(phase)));
}

QString DeckAdaptor::language() const
{
    return storedValue(m_deck ? m_deck->appLanguage() : LanguagePreferences::selected());
}

QVariantMap DeckAdaptor::brand() const
{
    const BrandPresentation brand = m_deck ? m_deck->activeBrand() : BrandPresentation{};
    return {{QStringLiteral("slug"), brand.slug},
            {QStringLiteral("name"), brand.name},
            {QStringLiteral("logoURL"), artworkText(brand.logoURL)},
            {QStringLiteral("isotypeURL"), artworkText(brand.isotypeURL)},
            {QStringLiteral("privacyURL"), brand.privacyURL.toString(QUrl::FullyEncoded)},
            {QStringLiteral("supportURL"), brand.supportURL.toString(QUrl::FullyEncoded)},
            {QStringLiteral("privateAccess"), brand.privateAccess}};
}

QVariant DeckAdaptor::errorMessage() const
{
    return m_deck ? optionalText(m_deck->errorMessage()) : QVariant::fromValue(nullptr);
}

QVariant DeckAdaptor::playbackMessage() const
{
    return m_deck ? optionalText(m_deck->playbackMessage()) : QVariant::fromValue(nullptr);
}

DeckAdaptor::Method DeckAdaptor::method() const
{
    return m_deck && m_deck->draft().method == SourceMethod::playlist ? Playlist : Portal;
}

namespace {

template <class Change>
void editDraft(CommandDeck* deck, Change change)
{
    if (!deck)
        return;
    SourceDraft draft = deck->draft();
    const SourceDraft before = draft;
    change(draft);
    if (!(draft == before))
        deck->setDraft(draft);
}

} // namespace

void DeckAdaptor::setMethod(Method method)
{
    editDraft(m_deck, [method](SourceDraft& d) { d.method = method == Playlist ? SourceMethod::playlist : SourceMethod::portal; });
}
QString DeckAdaptor::server() const { return m_deck ? m_deck->draft().server : QString(); }
void DeckAdaptor::setServer(const QString& text) { editDraft(m_deck, [&](SourceDraft& d) { d.server = text; }); }
QString DeckAdaptor::user() const { return m_deck ? m_deck->draft().user : QString(); }
void DeckAdaptor::setUser(const QString& text) { editDraft(m_deck, [&](SourceDraft& d) { d.user = text; }); }
QString DeckAdaptor::password() const { return m_deck ? m_deck->draft().password : QString(); }
void DeckAdaptor::setPassword(const QString& text) { editDraft(m_deck, [&](SourceDraft& d) { d.password = text; }); }
QString DeckAdaptor::playlist() const { return m_deck ? m_deck->draft().playlist : QString(); }
void DeckAdaptor::setPlaylist(const QString& text) { editDraft(m_deck, [&](SourceDraft& d) { d.playlist = text; }); }

bool DeckAdaptor::isConnecting() const { return m_deck && m_deck->isConnecting(); }
QString DeckAdaptor::connectionStatus() const { return m_deck ? m_deck->connectionStatus() : QString(); }
bool DeckAdaptor::accessCodeRequired() const { return m_deck && m_deck->accessCodeRequired(); }

void DeckAdaptor::setAccessCodeRequired(bool required)
{
    // The sheet has no dismissal that leaves a private connection pending: closing it is cancelling.
    if (m_deck && !required && m_deck->accessCodeRequired() && !m_deck->isConnecting())
        m_deck->cancelPrivateAccess();
}

QString DeckAdaptor::accessCode() const { return m_deck ? m_deck->accessCode() : QString(); }

void DeckAdaptor::setAccessCode(const QString& code)
{
    if (m_deck && m_deck->accessCode() != code)
        m_deck->setAccessCode(code);
}

QVariantList DeckAdaptor::identities() const
{
    QVariantList out;
    if (m_deck) {
        for (const ViewerIdentity& identity : m_deck->identities())
            out.append(identityValue(identity));
    }
    return out;
}

QVariant DeckAdaptor::activeIdentity() const
{
    if (!m_deck || !m_deck->activeIdentity())
        return QVariant::fromValue(nullptr);
    return identityValue(*m_deck->activeIdentity());
}

DeckAdaptor::Dock DeckAdaptor::dock() const { return m_deck ? Dock(int(m_deck->dock())) : Center; }
bool DeckAdaptor::usesGenericPresentation() const { return m_deck && m_deck->usesGenericPresentation(); }

QStringList DeckAdaptor::presentedKinds() const
{
    QStringList out;
    if (m_deck) {
        for (SignalKind kind : m_deck->presentedKinds())
            out.append(storedValue(kind));
    }
    return out;
}

int DeckAdaptor::totalNodeCount() const { return m_deck ? m_deck->totalNodeCount() : 0; }

QVariantMap DeckAdaptor::kindCounts() const
{
    QVariantMap out;
    const NodesByKind byKind = m_deck ? m_deck->nodesByKind() : NodesByKind();
    for (SignalKind kind : allSignalKinds)
        out.insert(storedValue(kind), int(byKind.value(kind).size()));
    return out;
}

QVariantList DeckAdaptor::lanes() const
{
    QVariantList out;
    if (m_deck && m_deck->feed()) {
        // Only the deck's own lane texts are interface texts; a category's or the platform's names are data and
        // are shown as they are, even when one equals an interface text ("Películas", "Todo").
        for (const CommandLane& lane : m_deck->feed()->lanes) {
            out.append(QVariantMap{{QStringLiteral("id"), lane.id},
                                   {QStringLiteral("title"), lane.title},
                                   {QStringLiteral("subtitle"), lane.subtitle},
                                   {QStringLiteral("titleIsText"), lane.titleIsText},
                                   {QStringLiteral("subtitleIsText"), lane.subtitleIsText},
                                   {QStringLiteral("count"), int(lane.nodes.size())}});
        }
    }
    return out;
}

QVariantList DeckAdaptor::centerResumeMarkers() const
{
    QVariantList out;
    if (!m_deck)
        return out;
    for (const ResumeMarker& marker : m_deck->centerResumeMarkers()) {
        QVariantMap value = nodeValue(marker.node, m_deck->favorites());
        value.insert(QStringLiteral("fraction"), marker.fraction);
        value.insert(QStringLiteral("markerId"), marker.id);
        out.append(value);
    }
    return out;
}

QString DeckAdaptor::chosenKind() const
{
    return m_deck && m_deck->chosenKind() ? storedValue(*m_deck->chosenKind()) : QString();
}

void DeckAdaptor::setChosenKind(const QString& kind)
{
    if (m_deck)
        m_deck->setChosenKind(kindFromText(kind));
}

QVariant DeckAdaptor::chosenGroup() const
{
    if (!m_deck || !m_deck->chosenGroup())
        return QVariant::fromValue(nullptr);
    return groupValue(*m_deck->chosenGroup());
}

bool DeckAdaptor::canReturnFromLibrary() const { return m_deck && m_deck->canReturnFromLibrary(); }
int DeckAdaptor::libraryNodeCount() const { return m_deck ? m_deck->libraryNodeCount() : 0; }
QString DeckAdaptor::searchText() const { return m_deck ? m_deck->searchText() : QString(); }

void DeckAdaptor::setSearchText(const QString& text)
{
    if (m_deck && m_deck->searchText() != text)
        m_deck->setSearchText(text);
}

QVariant DeckAdaptor::selectedNode() const
{
    if (!m_deck || !m_deck->selectedNode())
        return QVariant::fromValue(nullptr);
    return nodeValue(*m_deck->selectedNode(), m_deck->favorites());
}

QVariant DeckAdaptor::selectedBrief() const
{
    if (!m_deck || !m_deck->selectedBrief())
        return QVariant::fromValue(nullptr);
    const ContentBrief& brief = *m_deck->selectedBrief();
    QVariantList seasons;
    for (const SeasonBundle& season : brief.seasons) {
        QVariantList episodes;
        for (const EpisodeNode& episode : season.episodes) {
            episodes.append(QVariantMap{{QStringLiteral("id"), episode.id},
                                        {QStringLiteral("number"), episode.number},
                                        {QStringLiteral("title"), episode.title}});
        }
        seasons.append(QVariantMap{{QStringLiteral("number"), season.number}, {QStringLiteral("episodes"), episodes}});
    }
    return QVariantMap{{QStringLiteral("synopsis"), brief.synopsis},
                       {QStringLiteral("genre"), brief.genre},
                       {QStringLiteral("year"), brief.year},
                       {QStringLiteral("seasons"), seasons}};
}

bool DeckAdaptor::isLoadingBrief() const { return m_deck && m_deck->isLoadingBrief(); }
bool DeckAdaptor::hasPlayback() const { return m_deck && m_deck->playback(); }

bool DeckAdaptor::playbackMinimized() const { return m_deck && m_deck->playbackMinimized(); }
QObject* DeckAdaptor::embeddedSession() const { return m_embedded ? m_embedded->session() : nullptr; }
bool DeckAdaptor::parentalEnabled() const { return m_deck && m_deck->parentalEnabled(); }
bool DeckAdaptor::networkCheckRunning() const { return m_deck && m_deck->networkCheckRunning(); }
double DeckAdaptor::networkDownload() const { return m_deck ? m_deck->networkDownload() : 0; }
double DeckAdaptor::networkUpload() const { return m_deck ? m_deck->networkUpload() : 0; }
int DeckAdaptor::networkLatency() const { return m_deck ? m_deck->networkLatency() : 0; }
bool DeckAdaptor::isRefreshingCatalog() const { return m_deck && m_deck->isRefreshingCatalog(); }

QVariant DeckAdaptor::catalogRefreshMessage() const
{
    return m_deck ? optionalText(m_deck->catalogRefreshMessage()) : QVariant::fromValue(nullptr);
}

QVariant DeckAdaptor::catalogRefreshNotice() const
{
    if (!m_deck || !m_deck->catalogRefreshNotice())
        return QVariant::fromValue(nullptr);
    const auto& notice = *m_deck->catalogRefreshNotice();
    return QVariantMap{{QStringLiteral("id"), notice.id.toString(QUuid::WithoutBraces)},
                       {QStringLiteral("title"), notice.title},
                       {QStringLiteral("message"), notice.message}};
}

void DeckAdaptor::setCatalogRefreshNotice(const QVariant& notice)
{
    // Only dismissal is written back.
    if (m_deck && (notice.isNull() || !notice.isValid()))
        m_deck->setCatalogRefreshNotice(std::nullopt);
}

// ---- Operations ----

void DeckAdaptor::connectSource()
{
    if (m_deck)
        m_deck->connect();
}

void DeckAdaptor::confirmPrivateAccess()
{
    if (m_deck)
        m_deck->confirmPrivateAccess();
}

void DeckAdaptor::cancelPrivateAccess()
{
    if (m_deck)
        m_deck->cancelPrivateAccess();
}

namespace {

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

void DeckAdaptor::selectIdentity(const QString& id)
{
    if (!m_deck)
        return;
    if (const auto identity = identityWithId(*m_deck, id))
        m_deck->selectIdentity(*identity);
}

void DeckAdaptor::deleteIdentity(const QString& id)
{
    if (!m_deck)
        return;
    if (const auto identity = identityWithId(*m_deck, id))
        m_deck->deleteIdentity(*identity);
}

void DeckAdaptor::addIdentity(const QString& name, const QString& glyph)
{
    if (m_deck)
        m_deck->addIdentity(name, glyph);
}

void DeckAdaptor::disconnectSource()
{
    if (m_deck)
        m_deck->disconnect();
}

void DeckAdaptor::clearMessages()
{
    if (!m_deck)
        return;
    if (m_deck->errorMessage())
        m_deck->setErrorMessage(std::nullopt);
    if (m_deck->playbackMessage())
        m_deck->setPlaybackMessage(std::nullopt);
}

void DeckAdaptor::selectDock(Dock dock)
{
    if (m_deck)
        m_deck->selectDock(CommandDeck::Dock(int(dock)));
}

void DeckAdaptor::selectLanguage(const QString& code)
{
    if (m_deck)
        m_deck->selectLanguage(code == u"en" ? AppLanguage::english : AppLanguage::spanish);
}

void DeckAdaptor::openLibrary(const QString& kind, const QString& groupId)
{
    if (!m_deck)
        return;
    std::optional<MediaGroup> group;
    if (!groupId.isEmpty()) {
        for (const MediaGroup& candidate : m_deck->catalog()->groups()) {
            if (candidate.id == groupId) {
                group = candidate;
                break;
            }
        }
        if (!group)
            return;
    }
    m_deck->openLibrary(kindFromText(kind), group);
}

void DeckAdaptor::returnFromLibrary()
{
    if (m_deck)
        m_deck->returnFromLibrary();
}

void DeckAdaptor::chooseGroup(const QString& groupId)
{
    if (!m_deck)
        return;
    if (groupId.isEmpty()) {
        m_deck->setChosenGroup(std::nullopt);
        return;
    }
    for (const MediaGroup& candidate : m_deck->catalog()->groups()) {
        if (candidate.id == groupId) {
            m_deck->setChosenGroup(candidate);
            return;
        }
    }
}

QString DeckAdaptor::presentationKindTitle(const QString& kind) const
{
    const auto parsed = signalKindFromStored(kind);
    if (!m_deck || !parsed)
        return QString();
    return m_deck->presentationKindTitle(*parsed);
}

void DeckAdaptor::refreshSpotlights()
{
    if (m_deck)
        m_deck->refreshSpotlights();
}

bool DeckAdaptor::isFavorite(const QString& key) const
{
    return m_deck && m_deck->favorites().contains(key);
}

void DeckAdaptor::closeDetails()
{
    if (m_deck && m_deck->selectedNode())
        m_deck->setSelectedNode(std::nullopt);
}

void DeckAdaptor::toggleSelectedFavorite()
{
    if (m_deck && m_deck->selectedNode())
        m_deck->toggleFavorite(MediaNode(*m_deck->selectedNode()));
}

void DeckAdaptor::playSelected()
{
    if (m_deck && m_deck->selectedNode())
        m_deck->play(MediaNode(*m_deck->selectedNode()));
}

void DeckAdaptor::playEpisode(int season, int episode)
{
    if (!m_deck || !m_deck->selectedBrief())
        return;
    const QList<SeasonBundle>& seasons = m_deck->selectedBrief()->seasons;
    if (season < 0 || season >= seasons.size() || episode < 0 || episode >= seasons[season].episodes.size())
        return;
    m_deck->playEpisode(EpisodeNode(seasons[season].episodes[episode]));
}

void DeckAdaptor::resumeAt(int index)
{
    if (!m_deck)
        return;
    const QList<ResumeMarker> markers = m_deck->centerResumeMarkers();
    if (index >= 0 && index < markers.size())
        m_deck->resume(markers[index]);
}

void DeckAdaptor::toggleResumeFavorite(int index)
{
    if (!m_deck)
        return;
    const QList<ResumeMarker> markers = m_deck->centerResumeMarkers();
    if (index >= 0 && index < markers.size())
        m_deck->toggleFavorite(markers[index].node);
}

void DeckAdaptor::placePlayer()
{
    FloatingPresenter* floating = m_context.floating();
    const bool embedded = m_deck && m_deck->playback() && !m_deck->playbackMinimized();
    const bool minimised = m_deck && m_deck->playback() && m_deck->playbackMinimized();

    if (!embedded && m_embedded) {
        // The ticket went to the floating window or away: its progress has been reported to the deck already.
        std::unique_ptr<PlayerHost> leaving = std::move(m_embedded);
        leaving->stopSilently();
        emit embeddedSessionChanged();
        leaving.release()->deleteLater();
    }
    if (minimised) {
        if (floating)
            floating->present(*m_deck->playback(), *m_deck);
        return;
    }
    if (floating)
        floating->dismiss(false);
    if (!embedded)
        return;
    const PlaybackTicket& ticket = *m_deck->playback();
    if (m_embedded && m_embedded->ticketId() == ticket.id)
        return;
    if (m_embedded) {
        // Another episode takes the player's place: the one left keeps how far it was played, read after its
        // final report, as the floating window does for a ticket it replaces.
        std::unique_ptr<PlayerHost> replaced = std::move(m_embedded);
        const double progress = replaced->stopWithReport();
        const PlaybackTicket& left = replaced->ticket();
        if (progress > 0)
            m_deck->addResume(left.node, progress,
                              left.episodes.isEmpty() ? std::nullopt : std::optional<int>(left.episodeIndex));
        replaced.release()->deleteLater();
    }
    m_embedded = std::make_unique<PlayerHost>(*m_deck, ticket, PlayerHost::Placement::mainWindow,
                                              m_context.sessionFactory());
    if (m_embedded->session())
        m_embedded->session()->setLanguage(storedValue(m_deck->appLanguage()));
    emit embeddedSessionChanged();
}

void DeckAdaptor::stopPlaybackForQuit()
{
    if (FloatingPresenter* floating = m_context.floating())
        floating->dismiss(true);
    if (m_embedded)
        m_embedded->closeWithReport();
}

void DeckAdaptor::runNetworkCheck()
{
    if (m_deck)
        m_deck->runNetworkCheck();
}

void DeckAdaptor::refreshCatalog()
{
    if (m_deck)
        m_deck->refreshCatalog();
}

void DeckAdaptor::setParental(bool enabled)
{
    if (m_deck)
        m_deck->setParental(enabled);
}

QVariant DeckAdaptor::activateParental(const QString& pin, const QString& confirmation)
{
    if (!m_deck)
        return QVariant::fromValue(nullptr);
    return optionalText(m_deck->activateParental(pin, confirmation));
}

bool DeckAdaptor::hasParentalPIN() const
{
    return m_deck && m_deck->vault().hasPIN();
}

bool DeckAdaptor::validatePIN(const QString& pin) const
{
    return m_deck && m_deck->vault().validatePIN(pin);
}

void DeckAdaptor::changeIdentity()
{
    if (m_deck)
        m_deck->setPhase(CommandDeck::Phase::profiles);
}

} // namespace sendra::ui
