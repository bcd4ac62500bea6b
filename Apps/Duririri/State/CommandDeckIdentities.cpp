// Viewer identities, favourites, library navigation, the interface language and unlinking: small synchronous
// operations that change the deck at once and keep what must survive a restart in the vault.
#include "State/CommandDeck.h"

#include "Domain/IdentityName.h"
#include "Domain/ProductBrand.h"
#include "Domain/SettingsFile.h"
#include "Domain/StoredJson.h"
#include "State/DeckLog.h"
#include "State/ReleaseOnWorker.h"
#include "State/ViewerMarks.h"
#include "Storage/CommandVault.h"

#include <QSettings>

#include <algorithm>

namespace sendra {

namespace {

const QString profilesName = QStringLiteral("profiles");

QString favoritesName(const QUuid& identity)
{
    return QStringLiteral("favorites.") + uuidText(identity);
}

QString resumeName(const QUuid& identity)
{
    return QStringLiteral("resume.") + uuidText(identity);
}

} // namespace

void CommandDeck::selectIdentity(const ViewerIdentity& identity)
{
    const Batch batch(*this);
    assign(m_activeIdentity, std::optional<ViewerIdentity>(identity), {&CommandDeck::activeIdentityChanged});
    // Lists written before their entries were bounded are bounded once here and written back, so that the next
    // writes are small again.
    bool changed = false;
    const QStringList favorites =
        keptKeys(m_vault.decode<QStringList>(favoritesName(identity.id)).value_or(QStringList()), changed);
    if (changed)
        m_vault.encode(favorites, favoritesName(identity.id));
    assign(m_favorites, QSet<QString>(favorites.begin(), favorites.end()),
           {&CommandDeck::favoritesChanged, &CommandDeck::favoriteNodesChanged});
    QList<ResumeMarker> markers = keptMarkers(
        m_vault.decode<QList<ResumeMarker>>(resumeName(identity.id)).value_or(QList<ResumeMarker>()), changed);
    if (changed)
        m_vault.encode(markers, resumeName(identity.id));
    std::stable_sort(markers.begin(), markers.end(),
                     [](const ResumeMarker& a, const ResumeMarker& b) { return a.updatedAt > b.updatedAt; });
    assign(m_resumeMarkers, std::move(markers),
           {&CommandDeck::resumeMarkersChanged, &CommandDeck::centerResumeMarkersChanged});
    m_vault.setActiveProfileID(identity.id);
    setPhase(Phase::ready);
}

void CommandDeck::addIdentity(const QString& name, const QString& glyph)
{
    // A name with nothing visible counts as blank.
    const QString cleaned = identityName(name);
    if (cleaned.isEmpty())
        return;
    const Batch batch(*this);
    const ViewerIdentity identity{QUuid::createUuid(), cleaned, glyph};
    m_identities.append(identity);
    notify({&CommandDeck::identitiesChanged});
    storeIdentities();
    selectIdentity(identity);
}

void CommandDeck::deleteIdentity(const ViewerIdentity& identity)
{
    const Batch batch(*this);
    m_identities.removeIf([&identity](const ViewerIdentity& held) { return held.id == identity.id; });
    notify({&CommandDeck::identitiesChanged});
    storeIdentities();
    // Its favourites, resume points and the remembered active id stay; the next connection simply will not
    // find that identity.
    if (m_activeIdentity && m_activeIdentity->id == identity.id) {
        assign(m_activeIdentity, std::optional<ViewerIdentity>(), {&CommandDeck::activeIdentityChanged});
        setPhase(Phase::profiles);
    }
}

void CommandDeck::storeIdentities()
{
    m_vault.encode(m_identities, profilesName);
}

void CommandDeck::prepareIdentity()
{
    const Batch batch(*this);
    assign(m_identities, m_vault.decode<QList<ViewerIdentity>>(profilesName).value_or(QList<ViewerIdentity>()),
           {&CommandDeck::identitiesChanged});
    if (const std::optional<QUuid> remembered = m_vault.activeProfileID()) {
        const auto found = std::find_if(m_identities.cbegin(), m_identities.cend(),
                                        [&](const ViewerIdentity& identity) { return identity.id == *remembered; });
        if (found != m_identities.cend()) {
            selectIdentity(*found);
            return;
        }
    }
    setPhase(Phase::profiles);
}

void CommandDeck::toggleFavorite(const MediaNode& node)
{
    if (!m_activeIdentity)
        return;
    const QString key = node.catalogKey();
    if (!m_favorites.remove(key)) {
        if (!isKeptKey(key)) {
            qCWarning(deckLog, "Sendra: an entry whose identity is too long to keep cannot be a favourite");
            return;
        }
        m_favorites.insert(key);
    }
    notify({&CommandDeck::favoritesChanged, &CommandDeck::favoriteNodesChanged});
    m_vault.encode(QStringList(m_favorites.begin(), m_favorites.end()), favoritesName(m_activeIdentity->id));
}

void CommandDeck::openLibrary(std::optional<SignalKind> kind, const std::optional<MediaGroup>& group)
{
    const Batch batch(*this);
    m_libraryBackStack.append(LibraryLocation{m_dock, m_chosenKind, m_chosenGroup});
    notify({&CommandDeck::libraryBackStackChanged, &CommandDeck::canReturnFromLibraryChanged});
    setChosenKind(kind);
    setChosenGroup(group);
    assign(m_dock, Dock::library, {&CommandDeck::dockChanged});
}

void CommandDeck::returnFromLibrary()
{
    const Batch batch(*this);
    if (m_libraryBackStack.isEmpty()) {
        setChosenGroup(std::nullopt);
        return;
    }
    const LibraryLocation back = m_libraryBackStack.takeLast();
    notify({&CommandDeck::libraryBackStackChanged, &CommandDeck::canReturnFromLibraryChanged});
    setChosenKind(back.kind);
    setChosenGroup(back.group);
    assign(m_dock, back.dock, {&CommandDeck::dockChanged});
}

void CommandDeck::selectDock(Dock dock)
{
    const Batch batch(*this);
    if (dock != m_dock)
        assign(m_libraryBackStack, {}, {&CommandDeck::libraryBackStackChanged, &CommandDeck::canReturnFromLibraryChanged});
    assign(m_dock, dock, {&CommandDeck::dockChanged});
}

void CommandDeck::selectLanguage(AppLanguage language)
{
    // The one key outside the product's namespace: both products share the language.
    makeSettingsFileOwnerOnly(settingsFilePath());
    QSettings settings(settingsFilePath(), QSettings::IniFormat);
    settings.setValue(LanguagePreferences::settingsKey(), storedValue(language));
    settings.sync();
    assign(m_appLanguage, language, {&CommandDeck::appLanguageChanged});
}

void CommandDeck::clearCatalog()
{
    std::shared_ptr<const CatalogEntries> entries = std::exchange(m_unfilteredNodes, nullptr);
    std::shared_ptr<const CatalogSnapshot> snapshot = std::exchange(m_snapshot, CatalogSnapshot::empty());
    std::shared_ptr<CatalogSearch> search = std::exchange(m_search, std::make_unique<CatalogSearch>(m_snapshot));
    releaseOnWorker(std::move(entries), std::move(snapshot), std::move(search));
    m_briefCache.clear();
    assign(m_spotlightNodes, {}, {&CommandDeck::spotlightNodesChanged});
    assign(m_usesGenericPresentation, false, {&CommandDeck::usesGenericPresentationChanged});
    assign(m_presentedKinds, {}, {&CommandDeck::presentedKindsChanged});
    notify({&CommandDeck::nodesByKindChanged, &CommandDeck::nodesByGroupChanged, &CommandDeck::groupsChanged,
            &CommandDeck::featuredGroupsChanged, &CommandDeck::libraryNodesChanged, &CommandDeck::searchResultsChanged,
            &CommandDeck::favoriteNodesChanged, &CommandDeck::centerResumeMarkersChanged});
}

void CommandDeck::disconnect()
{
    m_connectTask.cancel();
    m_detailTask.cancel();
    m_catalogTask.cancel();
    m_playbackTask.cancel();

    const Batch batch(*this);
    // The cancelled connection only resets these when it next resumes, which may be after a long preparation
    // on a worker; meanwhile connect() would be refused.
    assign(m_isConnecting, false, {&CommandDeck::isConnectingChanged});
    assign(m_connectionStatus, QString(), {&CommandDeck::connectionStatusChanged});
    m_provider.reset();
    m_panelSlot.reset();
    m_catalogBrand.reset();
    m_preparedCatalogVersion.reset();
    m_panelBlockedGroups.clear();
    m_pendingPrivateConnection.reset();

    clearCatalog();
    assign(m_feed, std::optional<CommandFeed>(), {&CommandDeck::feedChanged});
    assign(m_activeIdentity, std::optional<ViewerIdentity>(), {&CommandDeck::activeIdentityChanged});
    assign(m_playback, std::optional<PlaybackTicket>(), {&CommandDeck::playbackChanged});
    assign(m_playbackMinimized, false, {&CommandDeck::playbackMinimizedChanged});
    setSelectedNode(std::nullopt);
    assign(m_libraryBackStack, {}, {&CommandDeck::libraryBackStackChanged, &CommandDeck::canReturnFromLibraryChanged});

    showBrand(ProductBrand::presentation(ProductBrand::current()));
    setAccessCode(QString());
    assign(m_accessCodeRequired, false, {&CommandDeck::accessCodeRequiredChanged});

    m_vault.clearSource();
    setDraft(SourceDraft());
    setPhase(Phase::access);
}

} // namespace sendra
