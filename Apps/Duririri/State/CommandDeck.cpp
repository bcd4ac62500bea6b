#include "State/CommandDeck.h"

#include "Domain/ActiveBrandColors.h"
#include "Domain/ProductBrand.h"
#include "NetKit/Workers.h"
#include "State/CatalogViews.h"
#include "State/HomeFeed.h"
#include "State/ReleaseOnWorker.h"
#include "State/SpotlightDraw.h"
#include "Storage/CommandVault.h"

#include <QCoro/QCoroFuture>

#include <algorithm>

namespace sendra {

namespace {

constexpr qsizetype spotlightSize = 9;

QSet<QString> nodeKeys(const QList<MediaNode>& nodes)
{
    QSet<QString> keys;
    for (const MediaNode& node : nodes)
        keys.insert(node.catalogKey());
    return keys;
}

} // namespace

QString CommandDeck::rawValue(Dock dock)
{
    switch (dock) {
    case Dock::center: return QStringLiteral("Centro");
    case Dock::library: return QStringLiteral("Biblioteca");
    case Dock::discover: return QStringLiteral("Explorar");
    case Dock::systems: return QStringLiteral("Sistema");
    }
    return {};
}

std::optional<CommandDeck::Dock> CommandDeck::dockFromRawValue(const QString& text)
{
    for (Dock dock : allDocks) {
        if (rawValue(dock) == text)
            return dock;
    }
    return std::nullopt;
}

CommandDeck::Batch::~Batch()
{
    if (--m_deck.m_batchDepth > 0)
        return;
    // A slot may assign again while these go out; what it queues goes out in its own turn.
    const std::vector<Signal> pending = std::exchange(m_deck.m_pending, {});
    for (Signal signal : pending)
        (m_deck.*signal)();
}

CommandDeck::CommandDeck(CommandVault& vault, Clients clients, QObject* parent)
    : QObject(parent)
    , m_vault(vault)
    , m_clients(std::move(clients))
    , m_appLanguage(LanguagePreferences::selected())
    , m_activeBrand(ProductBrand::presentation(ProductBrand::current()))
    , m_snapshot(CatalogSnapshot::empty())
    , m_search(std::make_unique<CatalogSearch>(m_snapshot))
{
    showBrand(ProductBrand::presentation(ProductBrand::current()));
    m_identities = m_vault.decode<QList<ViewerIdentity>>(QStringLiteral("profiles")).value_or(QList<ViewerIdentity>());
    m_parentalEnabled = m_vault.parentalEnabled();
    if (const std::optional<SourceDraft> saved = m_vault.source())
        m_draft = *saved;
    m_phase = Phase::access;
}

CommandDeck::~CommandDeck() = default;

void CommandDeck::notify(std::initializer_list<Signal> signalList)
{
    if (m_batchDepth == 0) {
        for (Signal signal : signalList)
            (this->*signal)();
        return;
    }
    for (Signal signal : signalList) {
        if (std::find(m_pending.begin(), m_pending.end(), signal) == m_pending.end())
            m_pending.push_back(signal);
    }
}

void CommandDeck::setPhase(Phase phase)
{
    assign(m_phase, phase, {&CommandDeck::phaseChanged});
}

void CommandDeck::setDraft(const SourceDraft& draft)
{
    assign(m_draft, draft, {&CommandDeck::draftChanged});
}

void CommandDeck::setErrorMessage(const std::optional<QString>& message)
{
    assign(m_errorMessage, message, {&CommandDeck::errorMessageChanged});
}

void CommandDeck::setChosenKind(std::optional<SignalKind> kind)
{
    assign(m_chosenKind, kind,
           {&CommandDeck::chosenKindChanged, &CommandDeck::groupsChanged, &CommandDeck::libraryNodesChanged});
}

void CommandDeck::setChosenGroup(const std::optional<MediaGroup>& group)
{
    assign(m_chosenGroup, group,
           {&CommandDeck::chosenGroupChanged, &CommandDeck::libraryNodesChanged,
            &CommandDeck::canReturnFromLibraryChanged});
}

void CommandDeck::setSearchText(const QString& text)
{
    assign(m_searchText, text, {&CommandDeck::searchTextChanged, &CommandDeck::searchResultsChanged});
}

void CommandDeck::setSelectedNode(const std::optional<MediaNode>& node)
{
    assign(m_selectedNode, node, {&CommandDeck::selectedNodeChanged});
}

void CommandDeck::setPlaybackMessage(const std::optional<QString>& message)
{
    assign(m_playbackMessage, message, {&CommandDeck::playbackMessageChanged});
}

void CommandDeck::setCatalogRefreshNotice(const std::optional<CatalogRefreshNotice>& notice)
{
    assign(m_catalogRefreshNotice, notice, {&CommandDeck::catalogRefreshNoticeChanged});
}

void CommandDeck::setAccessCode(const QString& code)
{
    assign(m_accessCode, code, {&CommandDeck::accessCodeChanged});
}

void CommandDeck::showBrand(const BrandPresentation& brand)
{
    assign(m_activeBrand, brand, {&CommandDeck::activeBrandChanged});
    ActiveBrandColors::setActivePrimary(brand.primaryColor);
    ActiveBrandColors::setActiveSecondary(brand.secondaryColor);
}

NodeView CommandDeck::nodesInGroup(const MediaGroup& group, std::optional<qsizetype> limit) const
{
    return sendra::nodesInGroup(m_snapshot, group, limit);
}

NodeView CommandDeck::nodesByGroup(const QString& groupKey) const
{
    return sendra::nodesInGroup(m_snapshot, MediaGroup{groupKey, {}, SignalKind::broadcast});
}

bool CommandDeck::canReturnFromLibrary() const
{
    return !m_libraryBackStack.isEmpty() || m_chosenGroup.has_value();
}

QString CommandDeck::presentationKindTitle(SignalKind kind) const
{
    return sendra::presentationKindTitle(kind, m_usesGenericPresentation);
}

QList<MediaGroup> CommandDeck::groups() const
{
    const std::span<const MediaGroup> groups = groupsFor(*m_snapshot, m_chosenKind);
    return groups.size() == size_t(m_snapshot->groups().size()) ? m_snapshot->groups()
                                                                : QList<MediaGroup>(groups.begin(), groups.end());
}

QList<MediaGroup> CommandDeck::browsableGroups() const
{
    const std::span<const MediaGroup> groups = browsableGroupsFor(*m_snapshot, m_chosenKind);
    return groups.size() == size_t(m_snapshot->browsableGroups().size())
               ? m_snapshot->browsableGroups()
               : QList<MediaGroup>(groups.begin(), groups.end());
}

NodeView CommandDeck::libraryNodes() const
{
    return sendra::libraryNodes(m_snapshot, m_chosenKind, m_chosenGroup);
}

NodeView CommandDeck::searchResults() const
{
    return m_search->results(m_searchText);
}

NodeView CommandDeck::favoriteNodes() const
{
    return sendra::favoriteNodes(m_snapshot, m_favorites);
}

NodeView CommandDeck::centerFavoriteNodes() const
{
    return sendra::centerFavoriteNodes(m_snapshot, m_favorites);
}

QList<ResumeMarker> CommandDeck::centerResumeMarkers() const
{
    return sendra::centerResumeMarkers(*m_snapshot, m_resumeMarkers);
}

void CommandDeck::refreshSpotlights()
{
    QList<MediaNode> selection;
    for (uint32_t p : drawSpotlight(*m_snapshot, spotlightSize, nodeKeys(m_spotlightNodes), *m_random))
        selection.append(m_snapshot->node(p));
    assign(m_spotlightNodes, std::move(selection), {&CommandDeck::spotlightNodesChanged});
}

QFuture<std::shared_ptr<const CatalogEntries>> CommandDeck::prepareEntries(NodeTable nodes)
{
    return netkit::startInBackground([nodes = std::move(nodes)]() mutable {
        // What the lists' pieces and parsers left free in the arenas goes back before the preparation's own
        // working memory comes on top of it: otherwise the two together make the connection's peak.
        detail::returnFreedPages();
        return CatalogEntries::prepare(std::move(nodes));
    });
}

QCoro::Task<std::shared_ptr<const CatalogEntries>> CommandDeck::prepareLoaded(NodeTable nodes,
                                                                           netkit::CancelToken token)
{
    QFuture<std::shared_ptr<const CatalogEntries>> preparing = m_prepare(std::move(nodes));
    std::shared_ptr<const CatalogEntries> entries = co_await preparing;
    if (token.isCancelled()) {
        releaseOnWorker(std::move(entries));
        netkit::throwIfCancelled(token);
    }
    co_return entries;
}

void CommandDeck::applyCatalog(std::shared_ptr<const CatalogEntries> entries)
{
    const Batch batch(*this);
    std::shared_ptr<const CatalogSnapshot> previous = std::exchange(
        m_snapshot, CatalogSnapshot::build(std::move(entries), m_panelBlockedGroups, m_parentalEnabled));
    std::shared_ptr<CatalogSearch> previousSearch = std::exchange(m_search, std::make_unique<CatalogSearch>(m_snapshot));
    releaseOnWorker(std::move(previous), std::move(previousSearch));
    assign(m_usesGenericPresentation, m_snapshot->usesGenericPresentation(),
           {&CommandDeck::usesGenericPresentationChanged});
    assign(m_presentedKinds, m_snapshot->presentedKinds(), {&CommandDeck::presentedKindsChanged});
    refreshSpotlights();
    notify({&CommandDeck::nodesByKindChanged, &CommandDeck::nodesByGroupChanged, &CommandDeck::groupsChanged,
            &CommandDeck::featuredGroupsChanged, &CommandDeck::libraryNodesChanged, &CommandDeck::searchResultsChanged,
            &CommandDeck::favoriteNodesChanged, &CommandDeck::centerResumeMarkersChanged});
    if (m_chosenKind && m_snapshot->positionsOfKind(*m_chosenKind).empty())
        setChosenKind(std::nullopt);
}

void CommandDeck::installCatalog(std::shared_ptr<const CatalogEntries> entries,
                                 const std::optional<CommandFeed>& prepared, FeedSource source)
{
    const Batch batch(*this);
    std::shared_ptr<const CatalogEntries> previous = std::exchange(m_unfilteredNodes, entries);
    applyCatalog(std::move(entries));
    releaseOnWorker(std::move(previous));
    const NodeView nodes = feedEntries(source);
    assign(m_feed, std::optional<CommandFeed>(prepared ? rewritePreparedFeed(*prepared, nodes) : makeFeed(nodes)),
           {&CommandDeck::feedChanged});
}

NodeView CommandDeck::visibleNodes() const
{
    return NodeView(m_snapshot, m_snapshot->visiblePositions());
}

NodeView CommandDeck::feedEntries(FeedSource source) const
{
    return source == FeedSource::loadedEntries ? NodeView::allEntries(m_snapshot) : visibleNodes();
}

CommandFeed CommandDeck::makeFeed(const NodeView& nodes) const
{
    return materialize(*m_snapshot, planFeed(*m_snapshot, nodes));
}

CommandFeed CommandDeck::rewritePreparedFeed(const CommandFeed& prepared, const NodeView& nodes) const
{
    return materialize(*m_snapshot, sendra::rewritePreparedFeed(*m_snapshot, prepared, nodes));
}

} // namespace sendra
