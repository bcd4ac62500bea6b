// Connecting a source: the entry, the free road, the private road with its access code and grants, and
// finishing. Every task body checks its token after each wait before it touches the deck: a cancelled task
// (unlinking, a newer task, the deck going away) ends without applying anything and shows nothing.
#include "State/CommandDeck.h"

#include "Domain/CommandError.h"
#include "Domain/ProductBrand.h"
#include "Domain/StoredJson.h"
#include "Networking/PlatformEndpoints.h"
#include "State/DeckLog.h"
#include "State/NetworkCheck.h"
#include "Storage/CommandVault.h"

#include <QCoro/QCoroFuture>
#include <QPointer>

namespace sendra {

namespace {

using netkit::CancelToken;
using netkit::throwIfCancelled;

constexpr const char* openFailure = L10n::noop("No fue posible abrir la fuente.");
constexpr const char* codeFailure = L10n::noop("No fue posible validar el código.");

BrandPresentation productPresentation()
{
    return ProductBrand::presentation(ProductBrand::current());
}

[[noreturn]] void fail(CommandError error)
{
    throw CommandFailure(error);
}

bool hasWebScheme(const QString& lowered)
{
    return lowered.startsWith(u"http://") || lowered.startsWith(u"https://");
}

// A playlist address as typed; none unless it is an http or https address.
std::optional<QUrl> playlistURL(const QString& text)
{
    const QUrl address(text);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || (scheme != u"http" && scheme != u"https"))
        return std::nullopt;
    return address;
}

QString originText(const QUrl& origin)
{
    return addressText(PanelAccess::normalized(origin));
}

bool cancelledBySystem(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const netkit::HttpError& error) {
        return error.kind() == netkit::HttpError::Kind::CancelledBySystem;
    } catch (...) {
        return false;
    }
}

SourceDraft privateDraft(SourceDraft draft, const QString& identifier)
{
    draft.accessMode = PlatformAccessMode::privateBrand;
    draft.brandIdentifier = identifier;
    return draft;
}

} // namespace

CommandDeck::CommandDeck(CommandVault& vault, QObject* parent)
    : CommandDeck(vault, Clients::over(netkit::HttpSession(nullptr)), parent)
{
}

CommandDeck::Clients CommandDeck::Clients::over(netkit::HttpSession session)
{
    return Clients{std::make_shared<const PanelAccess>(session), std::make_shared<const XtreamTransport>(session),
                   std::make_shared<const PlaylistIngestor>(session),
                   std::make_shared<const NetworkCheck>(session, speedTestBase())};
}

QString CommandDeck::failureMessage(const std::exception_ptr& failure, const char* fallback)
{
    try {
        std::rethrow_exception(failure);
    } catch (const CommandFailure& commandFailure) {
        return commandFailure.errorDescription();
    } catch (...) {
        return L10n::text(QString::fromUtf8(fallback));
    }
}

bool CommandDeck::looksLikeServer(const QString& text)
{
    const QString lowered = text.trimmed().toLower();
    return hasWebScheme(lowered) || lowered.contains(u'.') || lowered.contains(u':') || lowered.contains(u'/');
}

std::optional<QUrl> CommandDeck::portalURL(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const QUrl address(hasWebScheme(trimmed.toLower()) ? trimmed : QStringLiteral("http://") + trimmed);
    if (!address.isValid())
        return std::nullopt;
    return address;
}

void CommandDeck::setConnectionStatus(const char* status)
{
    assign(m_connectionStatus, QString::fromUtf8(status), {&CommandDeck::connectionStatusChanged});
}

void CommandDeck::connect()
{
    if (m_isConnecting)
        return;
    {
        const Batch batch(*this);
        setErrorMessage(std::nullopt);
        setConnectionStatus(L10n::noop("Comprobando la fuente"));
        assign(m_isConnecting, true, {&CommandDeck::isConnectingChanged});
    }
    m_connectTask.cancel();
    m_catalogTask.cancel();
    const SourceDraft draft = m_draft;
    m_connectTask.start([this, draft](CancelToken token) { return connectionTask(draft, std::move(token)); });
}

QCoro::Task<void> CommandDeck::connectionTask(SourceDraft draft, CancelToken token)
{
    const QPointer<CommandDeck> self(this);
    std::exception_ptr failure;
    try {
        if (draft.method == SourceMethod::portal && !looksLikeServer(draft.server)) {
            SourceDraft handed = privateDraft(draft, draft.server);
            co_await preparePrivateConnection(std::move(handed), token);
        } else {
            co_await openFreeConnection(std::move(draft), token);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    if (self && failure)
        endConnectionTask(token, failure, openFailure);
}

void CommandDeck::endConnectionTask(const CancelToken& token, const std::exception_ptr& failure, const char* fallback)
{
    // A newer task of the slot owns the progress flags now.
    if (!(m_connectTask.token() == token))
        return;
    const Batch batch(*this);
    assign(m_isConnecting, false, {&CommandDeck::isConnectingChanged});
    assign(m_connectionStatus, QString(), {&CommandDeck::connectionStatusChanged});
    if (!token.isCancelled()) {
        qCWarning(deckLog, "Sendra: connecting to the source failed");
        setErrorMessage(failureMessage(failure, fallback));
    }
}

QCoro::Task<void> CommandDeck::openFreeConnection(SourceDraft draft, CancelToken token)
{
    const bool playlist = draft.method == SourceMethod::playlist;
    QUrl origin;
    std::optional<ProviderSession> portalSession;
    if (playlist) {
        const std::optional<QUrl> address = playlistURL(draft.playlist);
        if (!address)
            fail(CommandError::invalidCredentials);
        origin = PanelAccess::normalized(*address);
    } else {
        const std::optional<QUrl> address = portalURL(draft.server);
        if (!address)
            fail(CommandError::invalidCredentials);
        portalSession = ProviderSession::create(*address, draft.user, draft.password);
        origin = portalSession->origin;
    }

    setConnectionStatus(L10n::noop("Comprobando el acceso"));
    const BrandResolution first = co_await m_clients.panel->resolve(origin, playlist, token);
    throwIfCancelled(token);
    if (!first.permitsProviderAuthentication(origin, playlist)) {
        if (playlist || !first.useBrandPresentation || !first.brand.privateAccess)
            fail(CommandError::privateIdentifierRequired);
        // A private brand's own panel typed as a free source: its private road decides.
        SourceDraft handed = privateDraft(draft, first.brand.identifier);
        co_await preparePrivateConnection(std::move(handed), token);
        co_return;
    }

    if (portalSession) {
        setConnectionStatus(L10n::noop("Validando la fuente"));
        co_await m_clients.xtream->authenticate(*portalSession, token);
        throwIfCancelled(token);
    }

    // Asked again after the panel accepted the user: the second answer is the one that counts.
    const BrandResolution resolution = co_await m_clients.panel->resolve(origin, playlist, token);
    throwIfCancelled(token);
    if (!resolution.permitsProviderAuthentication(origin, playlist))
        fail(CommandError::privateIdentifierRequired);
    BrandPresentation brand = productPresentation();
    if (resolution.useBrandPresentation) {
        if (resolution.brand.slug != brand.slug)
            fail(CommandError::unauthorizedOrigin);
        brand = resolution.brand;
    }
    const std::optional<PanelOrigin> matched = resolution.rules.matchingOrigin(origin);

    ConnectionFinish finish;
    finish.draft = std::move(draft);
    finish.portalSession = portalSession;
    finish.slot = resolution.matchedSlot ? resolution.matchedSlot
                                         : (matched ? std::optional<int>(matched->slot) : std::nullopt);
    finish.blockedGroups = matched ? matched->blockedGroups : QSet<QString>();
    finish.catalogSlug = resolution.catalogBrand;
    finish.brand = std::move(brand);
    co_await finishConnection(std::move(finish), token);
}

QCoro::Task<void> CommandDeck::preparePrivateConnection(SourceDraft draft, CancelToken token)
{
    if (draft.method != SourceMethod::portal)
        fail(CommandError::invalidCredentials);

    setConnectionStatus(L10n::noop("Buscando la marca"));
    const BrandResolution resolution = co_await m_clients.panel->resolve(draft.brandIdentifier, token);
    throwIfCancelled(token);
    if (resolution.brand.slug != productPresentation().slug)
        fail(CommandError::invalidBrandIdentifier);
    {
        const Batch batch(*this);
        showBrand(resolution.brand);
        setConnectionStatus(L10n::noop("Buscando un servidor disponible"));
    }

    // The brand's servers in the platform's order, until one accepts the user; refusals are not reported.
    std::optional<ProviderSession> provider;
    std::optional<PanelOrigin> accepting;
    for (const PanelOrigin& candidate : resolution.rules.origins) {
        if (!candidate.enabled)
            continue;
        throwIfCancelled(token);
        ProviderSession session = ProviderSession::create(candidate.url, draft.user, draft.password);
        bool accepted = true;
        try {
            co_await m_clients.xtream->authenticate(session, token);
        } catch (...) {
            accepted = false;
            if (!token.isCancelled())
                qCWarning(deckLog, "Sendra: a server of the brand did not accept the account; trying the next one");
        }
        throwIfCancelled(token);
        if (accepted) {
            provider = std::move(session);
            accepting = candidate;
            break;
        }
    }
    if (!provider)
        fail(CommandError::noAvailableServer);

    const QString product = productPresentation().slug;
    if (resolution.rules.acceptsAnyOrigin) {
        const BrandResolution fresh = co_await m_clients.panel->resolve(draft.brandIdentifier, token);
        throwIfCancelled(token);
        if (!fresh.rules.acceptsAnyOrigin || fresh.brand.slug != product)
            fail(CommandError::privateIdentifierRequired);
        ConnectionFinish finish{draft, provider, accepting->slot, accepting->blockedGroups, fresh.catalogBrand,
                                fresh.brand};
        co_await finishConnection(std::move(finish), token);
        co_return;
    }

    bool admitted = holdsAccessGrant(resolution.brand, *provider);
    if (!admitted) {
        admitted = co_await m_clients.panel->permitsPrivateProviderAccess(resolution.brand, provider->user,
                                                                          provider->origin, token);
        throwIfCancelled(token);
    }
    if (!admitted) {
        const Batch batch(*this);
        m_pendingPrivateConnection = PendingPrivateConnection{draft, *provider, resolution, *accepting};
        setAccessCode(QString());
        assign(m_accessCodeRequired, true, {&CommandDeck::accessCodeRequiredChanged});
        assign(m_isConnecting, false, {&CommandDeck::isConnectingChanged});
        assign(m_connectionStatus, QString(), {&CommandDeck::connectionStatusChanged});
        co_return;
    }

    const BrandResolution fresh = co_await m_clients.panel->resolve(draft.brandIdentifier, token);
    throwIfCancelled(token);
    const std::optional<PanelOrigin> origin = fresh.rules.matchingOrigin(provider->origin);
    if (fresh.brand.slug != resolution.brand.slug || !origin)
        fail(CommandError::unauthorizedOrigin);
    ConnectionFinish finish{draft, provider, origin->slot, origin->blockedGroups, fresh.catalogBrand, fresh.brand};
    co_await finishConnection(std::move(finish), token);
}

bool CommandDeck::holdsAccessGrant(const BrandPresentation& brand, const ProviderSession& provider)
{
    const QDateTime now = m_clock();
    const QString user = provider.user.trimmed();
    const QString origin = originText(provider.origin);
    for (const CommandVault::PrivateAccessGrant& grant : m_vault.privateAccessGrants(now)) {
        if (grant.brand == brand.slug.toLower() && grant.identifier == brand.identifier.toLower()
            && grant.username == user && grant.origin == origin)
            return true;
    }
    return false;
}

void CommandDeck::saveAccessGrant(const BrandPresentation& brand, const ProviderSession& provider)
{
    const QDateTime now = m_clock();
    const CommandVault::PrivateAccessGrant grant{brand.slug.toLower(), brand.identifier.toLower(),
                                                 provider.user.trimmed(), originText(provider.origin), now};
    // One grant per brand and user: a code confirmed on another server replaces the earlier one.
    QList<CommandVault::PrivateAccessGrant> grants = m_vault.privateAccessGrants(now);
    grants.removeIf([&grant](const CommandVault::PrivateAccessGrant& held) {
        return held.brand == grant.brand && held.username == grant.username;
    });
    grants.append(grant);
    m_vault.upsertKeychainData(encodeList(grants), CommandVault::grantsAccount);
}

void CommandDeck::confirmPrivateAccess()
{
    if (!m_pendingPrivateConnection || m_isConnecting)
        return;
    {
        const Batch batch(*this);
        setErrorMessage(std::nullopt);
        assign(m_isConnecting, true, {&CommandDeck::isConnectingChanged});
        setConnectionStatus(L10n::noop("Validando el código"));
    }
    const PendingPrivateConnection pending = *m_pendingPrivateConnection;
    m_connectTask.start([this, pending](CancelToken token) { return validationTask(pending, std::move(token)); });
}

QCoro::Task<void> CommandDeck::validationTask(PendingPrivateConnection pending, CancelToken token)
{
    const QPointer<CommandDeck> self(this);
    std::exception_ptr failure;
    try {
        const BrandResolution fresh =
            co_await m_clients.panel->resolve(pending.resolution.brand.identifier, token);
        throwIfCancelled(token);
        // The brand as resolved now must still be this product's, as on the road that raised the sheet.
        const std::optional<PanelOrigin> origin = fresh.rules.matchingOrigin(pending.provider.origin);
        if (fresh.brand.slug != productPresentation().slug || !origin)
            fail(CommandError::unauthorizedOrigin);

        co_await m_clients.panel->validatePrivateAccess(fresh.brand, pending.provider.user, m_accessCode, token);
        throwIfCancelled(token);
        saveAccessGrant(fresh.brand, pending.provider);
        {
            const Batch batch(*this);
            assign(m_accessCodeRequired, false, {&CommandDeck::accessCodeRequiredChanged});
            setAccessCode(QString());
            m_pendingPrivateConnection.reset();
        }

        ConnectionFinish finish{pending.draft,
                                pending.provider,
                                origin->slot,
                                origin->blockedGroups,
                                fresh.catalogBrand ? fresh.catalogBrand : std::optional<QString>(fresh.brand.slug),
                                fresh.brand};
        co_await finishConnection(std::move(finish), token);
    } catch (...) {
        failure = std::current_exception();
    }
    if (self && failure)
        endConnectionTask(token, failure, codeFailure);
}

void CommandDeck::cancelPrivateAccess()
{
    const Batch batch(*this);
    m_pendingPrivateConnection.reset();
    setAccessCode(QString());
    assign(m_accessCodeRequired, false, {&CommandDeck::accessCodeRequiredChanged});
    showBrand(productPresentation());
}

QCoro::Task<void> CommandDeck::finishConnection(ConnectionFinish finish, CancelToken token)
{
    {
        const Batch batch(*this);
        m_provider = finish.portalSession;
        m_panelSlot = finish.slot;
        m_panelBlockedGroups = finish.blockedGroups;
        m_catalogBrand = finish.catalogSlug;
        showBrand(finish.brand);
        setChosenKind(std::nullopt);
        setChosenGroup(std::nullopt);
        assign(m_libraryBackStack, {}, {&CommandDeck::libraryBackStackChanged, &CommandDeck::canReturnFromLibraryChanged});
        setConnectionStatus(L10n::noop("Construyendo el centro"));
    }

    LoadedCatalog loaded = co_await loadCatalog(finish, token);
    throwIfCancelled(token);
    // Folding and collating a big catalogue takes a while: off the main thread.
    std::shared_ptr<const CatalogEntries> entries = co_await prepareLoaded(std::move(loaded.nodes), token);

    const Batch batch(*this);
    m_preparedCatalogVersion = loaded.preparedVersion;
    installCatalog(std::move(entries), loaded.feed, FeedSource::loadedEntries);
    m_vault.upsertKeychainData(encodeRecord(finish.draft), CommandVault::sourceAccount);
    prepareIdentity();
    assign(m_isConnecting, false, {&CommandDeck::isConnectingChanged});
    assign(m_connectionStatus, QString(), {&CommandDeck::connectionStatusChanged});
}

QCoro::Task<LoadedCatalog> CommandDeck::loadCatalog(ConnectionFinish finish, CancelToken token)
{
    if (!finish.portalSession) {
        const std::optional<QUrl> address = playlistURL(finish.draft.playlist);
        if (!address)
            fail(CommandError::invalidCredentials);
        NodeTable nodes = co_await m_clients.playlist->download(*address, token);
        co_return LoadedCatalog{std::move(nodes), std::nullopt, std::nullopt};
    }

    const ProviderSession session = *finish.portalSession;
    if (finish.catalogSlug && finish.slot) {
        std::exception_ptr failure;
        try {
            co_return co_await m_clients.panel->preparedCatalog(*finish.catalogSlug, *finish.slot, session.origin,
                                                                m_parentalEnabled, token);
        } catch (...) {
            failure = std::current_exception();
        }
        throwIfCancelled(token);
        if (cancelledBySystem(failure))
            std::rethrow_exception(failure);
        qCWarning(deckLog, "Sendra: the prepared catalogue could not be loaded; reading the panel's own lists");
        // Any other failure of the prepared catalogue: the panel's whole catalogue instead.
    }
    throwIfCancelled(token);
    NodeTable nodes = co_await m_clients.xtream->universe(session, token);
    co_return LoadedCatalog{std::move(nodes), std::nullopt, std::nullopt};
}

} // namespace sendra
