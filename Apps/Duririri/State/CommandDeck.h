#pragma once

#include "Domain/BrandTypes.h"
#include "Domain/CatalogTypes.h"
#include "Domain/L10n.h"
#include "Domain/SessionTypes.h"
#include "NetKit/TaskSlot.h"
#include "Networking/PanelAccess.h"
#include "Networking/Playlist/PlaylistIngestor.h"
#include "Networking/XtreamTransport.h"
#include "State/CatalogSearch.h"
#include "State/CatalogSnapshot.h"
#include "State/NodeView.h"

#include <QDateTime>
#include <QFuture>
#include <QHash>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QSet>
#include <QString>
#include <QUuid>

#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace sendra {

class CommandVault;
class NetworkCheck;

// The one application state object: lives on the main thread, every screen reads its properties and calls its
// operations. Every published property notifies on every assignment, also of an equal value. Fields that change
// together are all set before any of their signals goes out, so an observer never sees half a change.
class CommandDeck : public QObject
{
    Q_OBJECT

public:
    enum class Phase { starting, access, profiles, ready };
    Q_ENUM(Phase)

    // The four sections of the main screen; the raw values are their Spanish titles.
    enum class Dock { center, library, discover, systems };
    Q_ENUM(Dock)
    static constexpr std::array<Dock, 4> allDocks{Dock::center, Dock::library, Dock::discover, Dock::systems};
    static QString rawValue(Dock dock);
    // Exactly one of the four raw values (case-sensitive); anything else is no dock.
    static std::optional<Dock> dockFromRawValue(const QString& text);

    struct CatalogRefreshNotice {
        QUuid id;
        QString title;
        QString message;
    };

    // Where the library was, for its way back.
    struct LibraryLocation {
        Dock dock = Dock::center;
        std::optional<SignalKind> kind;
        std::optional<MediaGroup> group;
    };

    // A private-brand connection waiting for its access code.
    struct PendingPrivateConnection {
        SourceDraft draft;
        ProviderSession provider;
        BrandResolution resolution;
        PanelOrigin origin;
    };

    // Which entry list a feed is built from: the catalogue as loaded, or the visible entries kind after kind.
    enum class FeedSource { loadedEntries, visibleEntries };

    Q_PROPERTY(Phase phase READ phase WRITE setPhase NOTIFY phaseChanged)
    Q_PROPERTY(sendra::SourceDraft draft READ draft WRITE setDraft NOTIFY draftChanged)
    Q_PROPERTY(bool isConnecting READ isConnecting NOTIFY isConnectingChanged)
    Q_PROPERTY(QString connectionStatus READ connectionStatus NOTIFY connectionStatusChanged)
    Q_PROPERTY(std::optional<QString> errorMessage READ errorMessage WRITE setErrorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(Dock dock READ dock NOTIFY dockChanged)
    Q_PROPERTY(QList<sendra::ViewerIdentity> identities READ identities NOTIFY identitiesChanged)
    Q_PROPERTY(std::optional<sendra::ViewerIdentity> activeIdentity READ activeIdentity NOTIFY activeIdentityChanged)
    Q_PROPERTY(std::optional<sendra::CommandFeed> feed READ feed NOTIFY feedChanged)
    Q_PROPERTY(QList<sendra::MediaNode> spotlightNodes READ spotlightNodes NOTIFY spotlightNodesChanged)
    Q_PROPERTY(sendra::NodesByKind nodesByKind READ nodesByKind NOTIFY nodesByKindChanged)
    Q_PROPERTY(std::optional<sendra::SignalKind> chosenKind READ chosenKind WRITE setChosenKind NOTIFY chosenKindChanged)
    Q_PROPERTY(std::optional<sendra::MediaGroup> chosenGroup READ chosenGroup WRITE setChosenGroup NOTIFY chosenGroupChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)
    Q_PROPERTY(std::optional<sendra::MediaNode> selectedNode READ selectedNode WRITE setSelectedNode NOTIFY selectedNodeChanged)
    Q_PROPERTY(std::optional<sendra::ContentBrief> selectedBrief READ selectedBrief NOTIFY selectedBriefChanged)
    Q_PROPERTY(bool isLoadingBrief READ isLoadingBrief NOTIFY isLoadingBriefChanged)
    Q_PROPERTY(std::optional<sendra::PlaybackTicket> playback READ playback NOTIFY playbackChanged)
    Q_PROPERTY(bool playbackMinimized READ playbackMinimized NOTIFY playbackMinimizedChanged)
    Q_PROPERTY(std::optional<QString> playbackMessage READ playbackMessage WRITE setPlaybackMessage NOTIFY playbackMessageChanged)
    Q_PROPERTY(QSet<QString> favorites READ favorites NOTIFY favoritesChanged)
    Q_PROPERTY(QList<sendra::ResumeMarker> resumeMarkers READ resumeMarkers NOTIFY resumeMarkersChanged)
    Q_PROPERTY(bool parentalEnabled READ parentalEnabled NOTIFY parentalEnabledChanged)
    Q_PROPERTY(sendra::AppLanguage appLanguage READ appLanguage NOTIFY appLanguageChanged)
    Q_PROPERTY(bool networkCheckRunning READ networkCheckRunning NOTIFY networkCheckRunningChanged)
    Q_PROPERTY(double networkDownload READ networkDownload NOTIFY networkDownloadChanged)
    Q_PROPERTY(double networkUpload READ networkUpload NOTIFY networkUploadChanged)
    Q_PROPERTY(int networkLatency READ networkLatency NOTIFY networkLatencyChanged)
    Q_PROPERTY(bool isRefreshingCatalog READ isRefreshingCatalog NOTIFY isRefreshingCatalogChanged)
    Q_PROPERTY(std::optional<QString> catalogRefreshMessage READ catalogRefreshMessage NOTIFY catalogRefreshMessageChanged)
    Q_PROPERTY(std::optional<sendra::CommandDeck::CatalogRefreshNotice> catalogRefreshNotice READ catalogRefreshNotice
                   WRITE setCatalogRefreshNotice NOTIFY catalogRefreshNoticeChanged)
    Q_PROPERTY(bool usesGenericPresentation READ usesGenericPresentation NOTIFY usesGenericPresentationChanged)
    Q_PROPERTY(QList<sendra::SignalKind> presentedKinds READ presentedKinds NOTIFY presentedKindsChanged)
    Q_PROPERTY(sendra::BrandPresentation activeBrand READ activeBrand NOTIFY activeBrandChanged)
    Q_PROPERTY(QString accessCode READ accessCode WRITE setAccessCode NOTIFY accessCodeChanged)
    Q_PROPERTY(bool accessCodeRequired READ accessCodeRequired NOTIFY accessCodeRequiredChanged)

    // Views computed from the catalogue and the choices above; each notifies when what it reads changes.
    Q_PROPERTY(bool canReturnFromLibrary READ canReturnFromLibrary NOTIFY canReturnFromLibraryChanged)
    Q_PROPERTY(int totalNodeCount READ totalNodeCount NOTIFY nodesByKindChanged)
    Q_PROPERTY(QList<sendra::MediaGroup> groups READ groups NOTIFY groupsChanged)
    Q_PROPERTY(QList<sendra::MediaGroup> browsableGroups READ browsableGroups NOTIFY groupsChanged)
    Q_PROPERTY(QList<sendra::MediaGroup> featuredGroups READ featuredGroups NOTIFY featuredGroupsChanged)
    Q_PROPERTY(sendra::NodeView libraryNodes READ libraryNodes NOTIFY libraryNodesChanged)
    Q_PROPERTY(int libraryNodeCount READ libraryNodeCount NOTIFY libraryNodesChanged)
    Q_PROPERTY(sendra::NodeView searchResults READ searchResults NOTIFY searchResultsChanged)
    Q_PROPERTY(sendra::NodeView favoriteNodes READ favoriteNodes NOTIFY favoriteNodesChanged)
    Q_PROPERTY(sendra::NodeView centerFavoriteNodes READ centerFavoriteNodes NOTIFY favoriteNodesChanged)
    Q_PROPERTY(QList<sendra::ResumeMarker> centerResumeMarkers READ centerResumeMarkers NOTIFY centerResumeMarkersChanged)

    // Builds the deck from the vault (identities, parental flag, saved source) and the running product's brand;
    // ends in phase "access". Never connects by itself.
    explicit CommandDeck(CommandVault& vault, QObject* parent = nullptr);
    ~CommandDeck() override;

    Phase phase() const { return m_phase; }
    void setPhase(Phase phase);
    const SourceDraft& draft() const { return m_draft; }
    void setDraft(const SourceDraft& draft);
    bool isConnecting() const { return m_isConnecting; }
    const QString& connectionStatus() const { return m_connectionStatus; }
    const std::optional<QString>& errorMessage() const { return m_errorMessage; }
    void setErrorMessage(const std::optional<QString>& message);
    Dock dock() const { return m_dock; }
    const QList<ViewerIdentity>& identities() const { return m_identities; }
    const std::optional<ViewerIdentity>& activeIdentity() const { return m_activeIdentity; }
    const std::optional<CommandFeed>& feed() const { return m_feed; }
    const QList<MediaNode>& spotlightNodes() const { return m_spotlightNodes; }
    NodesByKind nodesByKind() const { return NodesByKind(m_snapshot); }
    std::optional<SignalKind> chosenKind() const { return m_chosenKind; }
    void setChosenKind(std::optional<SignalKind> kind);
    const std::optional<MediaGroup>& chosenGroup() const { return m_chosenGroup; }
    void setChosenGroup(const std::optional<MediaGroup>& group);
    const QString& searchText() const { return m_searchText; }
    void setSearchText(const QString& text);
    const std::optional<MediaNode>& selectedNode() const { return m_selectedNode; }
    void setSelectedNode(const std::optional<MediaNode>& node);
    const std::optional<ContentBrief>& selectedBrief() const { return m_selectedBrief; }
    bool isLoadingBrief() const { return m_isLoadingBrief; }
    const std::optional<PlaybackTicket>& playback() const { return m_playback; }
    bool playbackMinimized() const { return m_playbackMinimized; }
    const std::optional<QString>& playbackMessage() const { return m_playbackMessage; }
    void setPlaybackMessage(const std::optional<QString>& message);
    const QSet<QString>& favorites() const { return m_favorites; }
    const QList<ResumeMarker>& resumeMarkers() const { return m_resumeMarkers; }
    bool parentalEnabled() const { return m_parentalEnabled; }
    AppLanguage appLanguage() const { return m_appLanguage; }
    bool networkCheckRunning() const { return m_networkCheckRunning; }
    double networkDownload() const { return m_networkDownload; }
    double networkUpload() const { return m_networkUpload; }
    int networkLatency() const { return m_networkLatency; }
    bool isRefreshingCatalog() const { return m_isRefreshingCatalog; }
    const std::optional<QString>& catalogRefreshMessage() const { return m_catalogRefreshMessage; }
    const std::optional<CatalogRefreshNotice>& catalogRefreshNotice() const { return m_catalogRefreshNotice; }
    void setCatalogRefreshNotice(const std::optional<CatalogRefreshNotice>& notice);
    bool usesGenericPresentation() const { return m_usesGenericPresentation; }
    const QList<SignalKind>& presentedKinds() const { return m_presentedKinds; }
    const QList<LibraryLocation>& libraryBackStack() const { return m_libraryBackStack; }
    const BrandPresentation& activeBrand() const { return m_activeBrand; }
    const QString& accessCode() const { return m_accessCode; }
    void setAccessCode(const QString& code);
    bool accessCodeRequired() const { return m_accessCodeRequired; }
    // The vault, for the parental screen's PIN check.
    CommandVault& vault() const { return m_vault; }

    // The catalogue as applied last, and the group index the screens read through it.
    const std::shared_ptr<const CatalogSnapshot>& catalog() const { return m_snapshot; }
    NodeView nodesInGroup(const MediaGroup& group, std::optional<qsizetype> limit = std::nullopt) const;
    // Group key -> entries, for the screens.
    NodeView nodesByGroup(const QString& groupKey) const;

    bool canReturnFromLibrary() const;
    int totalNodeCount() const { return int(m_snapshot->visibleCount()); }
    Q_INVOKABLE QString presentationKindTitle(sendra::SignalKind kind) const;
    QList<MediaGroup> groups() const;
    QList<MediaGroup> browsableGroups() const;
    const QList<MediaGroup>& featuredGroups() const { return m_snapshot->featuredGroups(); }
    NodeView libraryNodes() const;
    int libraryNodeCount() const { return int(libraryNodes().size()); }
    NodeView searchResults() const;
    NodeView favoriteNodes() const;
    NodeView centerFavoriteNodes() const;
    QList<ResumeMarker> centerResumeMarkers() const;

    // A new spotlight selection of at most 9 entries, away from the ones shown until now when it can.
    Q_INVOKABLE void refreshSpotlights();

    // Folds and collates a loaded catalogue's entries on a worker thread, so that the main thread only applies.
    static QFuture<std::shared_ptr<const CatalogEntries>> prepareEntries(NodeTable nodes);

    // ---- Connection, private access, identities, navigation and unlinking (CommandDeckConnection.cpp,
    // CommandDeckIdentities.cpp) ----

    // The network clients the deck's tasks call. Each client copies what a request needs before its first wait,
    // so a task that outlives the deck leaves them harmless.
    struct Clients {
        std::shared_ptr<const PanelAccess> panel;
        std::shared_ptr<const XtreamTransport> xtream;
        std::shared_ptr<const PlaylistIngestor> playlist;
        // The speed-test client; without one every network check fails.
        std::shared_ptr<const NetworkCheck> networkCheck;

        // The four clients over one HTTP session, the platform and the speed-test service at the deployment's
        // endpoints.
        static Clients over(netkit::HttpSession session);
    };
    // The deck of the application: its clients share the process's HTTP session. (The constructor above gives
    // a deck without a network, whose every request fails.)
    CommandDeck(CommandVault& vault, Clients clients, QObject* parent = nullptr);

    // Starts connecting the access form as it stands; ignored while a connection or a code check runs. The
    // outcome comes later: phase "profiles" or "ready", the access-code sheet, or errorMessage.
    Q_INVOKABLE void connect();
    // Checks the typed access code of the pending private connection and finishes it; ignored without one or
    // while a connection runs. A failure leaves the sheet open with errorMessage set.
    Q_INVOKABLE void confirmPrivateAccess();
    // Closes the access-code sheet and shows the product's own brand again.
    Q_INVOKABLE void cancelPrivateAccess();

    // True when a server-field text is a server address rather than a private brand's identifier.
    static bool looksLikeServer(const QString& text);

    Q_INVOKABLE void selectIdentity(const sendra::ViewerIdentity& identity);
    // Creates and selects an identity, unless the name is blank.
    Q_INVOKABLE void addIdentity(const QString& name, const QString& glyph);
    Q_INVOKABLE void deleteIdentity(const sendra::ViewerIdentity& identity);
    // Adds or removes the entry among the active identity's favourites.
    Q_INVOKABLE void toggleFavorite(const sendra::MediaNode& node);
    Q_INVOKABLE void selectLanguage(sendra::AppLanguage language);
    // Opens the library on a kind and a category (none: every kind / every category), remembering the way back.
    Q_INVOKABLE void openLibrary(std::optional<sendra::SignalKind> kind, const std::optional<sendra::MediaGroup>& group);
    Q_INVOKABLE void returnFromLibrary();
    Q_INVOKABLE void selectDock(sendra::CommandDeck::Dock dock);
    // Unlinks the source at once: cancels every task, empties the catalogue, session, feed, identity and
    // playback state, deletes the saved source and returns to the access screen. Identities, favourites, resume
    // points, the remembered identity, access grants and the parental setting stay.
    Q_INVOKABLE void disconnect();

    // The time the access grants are dated and checked with (tests move it).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }

    // The user message of a failed task: a CommandError's own text, else the operation's fallback (a Spanish
    // key marked with L10n::noop), in the interface language.
    static QString failureMessage(const std::exception_ptr& failure, const char* fallback);

    // ---- Details, playback and resume points (CommandDeckPlayback.cpp), the parental filter
    // (CommandDeckParental.cpp), the network check (CommandDeckNetwork.cpp) and the catalogue refresh
    // (CommandDeckRefresh.cpp) ----

    // A live channel plays at once; a film or series becomes the selected entry, its details shown from the cache
    // or loaded (a late load never shows for another entry).
    Q_INVOKABLE void open(const sendra::MediaNode& node);
    // Plays the entry from its beginning; an address that needs a request is looked up in the playback slot.
    Q_INVOKABLE void play(const sendra::MediaNode& node);
    // Plays one episode of the series whose details are shown, with the whole episode list for next/previous.
    Q_INVOKABLE void playEpisode(const sendra::EpisodeNode& episode);
    // Steps the playback by `offset` episodes (the players pass -1 and +1); nothing outside the list.
    Q_INVOKABLE void advanceEpisode(int offset);
    // The player reports where it was closed, minimised into the floating window, or restored from it.
    Q_INVOKABLE void closePlayback(double progress);
    Q_INVOKABLE void minimizePlayback(double progress);
    Q_INVOKABLE void restorePlayback(double progress);
    // Records that the entry was played up to `fraction` (of that episode) for the active identity; 0.95 or more
    // counts as finished and drops its marker. The newest 30 markers are stored.
    Q_INVOKABLE void addResume(const sendra::MediaNode& node, double fraction, std::optional<int> episodeIndex);
    // Plays from a resume marker. Runs in the playback slot: a later play, episode, close, resume or unlinking
    // cancels it silently.
    Q_INVOKABLE void resume(const sendra::ResumeMarker& marker);

    // Switches the filter on with a new four-digit PIN; none on success, else the text to show (in Spanish: the
    // screen looks it up, so it follows a language switch).
    Q_INVOKABLE std::optional<QString> activateParental(const QString& pin, const QString& confirmation);
    // Switches the filter (the PIN is checked by the caller before switching off): the held catalogue is filtered
    // again at once, and a brand server's prepared catalogue is reloaded in its protected or normal build.
    Q_INVOKABLE void setParental(bool enabled);

    // Measures latency, download and upload one after the other, publishing each as soon as it is known; a
    // failed check shows latency -1. Ignored while a check runs.
    Q_INVOKABLE void runNetworkCheck();
    // Replaces the speed-test client the deck was built with.
    void setNetworkCheck(std::shared_ptr<const NetworkCheck> check) { m_clients.networkCheck = std::move(check); }

    // Reloads a brand server's prepared catalogue after asking the platform again, and reports through
    // catalogRefreshMessage and catalogRefreshNotice (fixed texts in Spanish, for the screen's lookup; texts with
    // counts already in the language of the moment). Ignored while a refresh runs.
    Q_INVOKABLE void refreshCatalog();

signals:
    void phaseChanged();
    void draftChanged();
    void isConnectingChanged();
    void connectionStatusChanged();
    void errorMessageChanged();
    void dockChanged();
    void identitiesChanged();
    void activeIdentityChanged();
    void feedChanged();
    void spotlightNodesChanged();
    void nodesByKindChanged();
    void chosenKindChanged();
    void chosenGroupChanged();
    void searchTextChanged();
    void selectedNodeChanged();
    void selectedBriefChanged();
    void isLoadingBriefChanged();
    void playbackChanged();
    void playbackMinimizedChanged();
    void playbackMessageChanged();
    void favoritesChanged();
    void resumeMarkersChanged();
    void parentalEnabledChanged();
    void appLanguageChanged();
    void networkCheckRunningChanged();
    void networkDownloadChanged();
    void networkUploadChanged();
    void networkLatencyChanged();
    void isRefreshingCatalogChanged();
    void catalogRefreshMessageChanged();
    void catalogRefreshNoticeChanged();
    void usesGenericPresentationChanged();
    void presentedKindsChanged();
    void libraryBackStackChanged();
    void activeBrandChanged();
    void accessCodeChanged();
    void accessCodeRequiredChanged();

    void canReturnFromLibraryChanged();
    void groupsChanged();
    void featuredGroupsChanged();
    void nodesByGroupChanged();
    void libraryNodesChanged();
    void searchResultsChanged();
    void favoriteNodesChanged();
    void centerResumeMarkersChanged();

private:
    using Signal = void (CommandDeck::*)();
    friend struct CommandDeckProbe;

    // Holds back every signal until the outermost batch ends, then emits each once, in first-queued order.
    class Batch
    {
    public:
        explicit Batch(CommandDeck& deck) : m_deck(deck) { ++m_deck.m_batchDepth; }
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        CommandDeck& m_deck;
    };

    void notify(std::initializer_list<Signal> signalList);
    template <class T>
    void assign(T& field, T value, std::initializer_list<Signal> signalList)
    {
        field = std::move(value);
        notify(signalList);
    }

    // The active brand, then its two colours in the shared palette.
    void showBrand(const BrandPresentation& brand);

    // Rebuilds every catalogue index, the presentation, the centre keys, the spotlight and the library's chosen
    // kind from the entries, under the current blocked groups and parental setting.
    void applyCatalog(std::shared_ptr<const CatalogEntries> entries);
    // What the loading flows do with a loaded catalogue: keep it as the unfiltered catalogue, apply it, and
    // publish a feed (the prepared one rewritten onto it, else one built from it), all in one notification.
    void installCatalog(std::shared_ptr<const CatalogEntries> entries, const std::optional<CommandFeed>& prepared,
                        FeedSource source);
    // Awaits prepareEntries (through m_prepare); a preparation that ends for a cancelled task is freed on a
    // worker and the task ends cancelled. Touches nothing of the deck after its wait.
    QCoro::Task<std::shared_ptr<const CatalogEntries>> prepareLoaded(NodeTable nodes, netkit::CancelToken token);
    // The visible entries, kind after kind.
    NodeView visibleNodes() const;
    NodeView feedEntries(FeedSource source) const;
    CommandFeed makeFeed(const NodeView& nodes) const;
    CommandFeed rewritePreparedFeed(const CommandFeed& prepared, const NodeView& nodes) const;

    CommandVault& m_vault;
    Clients m_clients;

    Phase m_phase = Phase::starting;
    SourceDraft m_draft;
    bool m_isConnecting = false;
    QString m_connectionStatus;
    std::optional<QString> m_errorMessage;
    Dock m_dock = Dock::center;
    QList<ViewerIdentity> m_identities;
    std::optional<ViewerIdentity> m_activeIdentity;
    std::optional<CommandFeed> m_feed;
    QList<MediaNode> m_spotlightNodes;
    std::optional<SignalKind> m_chosenKind;
    std::optional<MediaGroup> m_chosenGroup;
    QString m_searchText;
    std::optional<MediaNode> m_selectedNode;
    std::optional<ContentBrief> m_selectedBrief;
    bool m_isLoadingBrief = false;
    std::optional<PlaybackTicket> m_playback;
    bool m_playbackMinimized = false;
    std::optional<QString> m_playbackMessage;
    QSet<QString> m_favorites;
    QList<ResumeMarker> m_resumeMarkers;
    bool m_parentalEnabled = false;
    AppLanguage m_appLanguage = AppLanguage::spanish;
    bool m_networkCheckRunning = false;
    double m_networkDownload = 0;
    double m_networkUpload = 0;
    int m_networkLatency = 0;
    bool m_isRefreshingCatalog = false;
    std::optional<QString> m_catalogRefreshMessage;
    std::optional<CatalogRefreshNotice> m_catalogRefreshNotice;
    bool m_usesGenericPresentation = false;
    QList<SignalKind> m_presentedKinds;
    QList<LibraryLocation> m_libraryBackStack;
    BrandPresentation m_activeBrand;
    QString m_accessCode;
    bool m_accessCodeRequired = false;

    // The session of the last finished connection.
    std::optional<ProviderSession> m_provider;
    std::optional<int> m_panelSlot;
    std::optional<QString> m_catalogBrand;
    std::optional<qint64> m_preparedCatalogVersion;
    QSet<QString> m_panelBlockedGroups;
    std::optional<PendingPrivateConnection> m_pendingPrivateConnection;

    // The last loaded catalogue before any filter, and what its last application built from it: the search
    // corpus, groups, entries by group, featured groups, centre policy and keys and the spotlight pools.
    std::shared_ptr<const CatalogEntries> m_unfilteredNodes;
    std::shared_ptr<const CatalogSnapshot> m_snapshot;
    mutable std::unique_ptr<CatalogSearch> m_search; // keeps results per query until the next application
    QHash<QString, ContentBrief> m_briefCache;
    // How loaded entries are prepared: prepareEntries (tests hold a preparation back through the probe).
    std::function<QFuture<std::shared_ptr<const CatalogEntries>>(NodeTable)> m_prepare = &CommandDeck::prepareEntries;

    netkit::TaskSlot m_connectTask;
    netkit::TaskSlot m_detailTask;
    netkit::TaskSlot m_catalogTask;
    netkit::TaskSlot m_playbackTask;

    QRandomGenerator* m_random = QRandomGenerator::system();

    // ---- Connection, private access and identities (CommandDeckConnection.cpp, CommandDeckIdentities.cpp) ----

    // What finishing a connection needs of the road that validated the source.
    struct ConnectionFinish {
        SourceDraft draft;
        std::optional<ProviderSession> portalSession; // none for a playlist
        std::optional<int> slot;
        QSet<QString> blockedGroups;
        std::optional<QString> catalogSlug;
        BrandPresentation brand;
    };

    QCoro::Task<void> connectionTask(SourceDraft draft, netkit::CancelToken token);
    QCoro::Task<void> openFreeConnection(SourceDraft draft, netkit::CancelToken token);
    QCoro::Task<void> preparePrivateConnection(SourceDraft draft, netkit::CancelToken token);
    QCoro::Task<void> validationTask(PendingPrivateConnection pending, netkit::CancelToken token);
    QCoro::Task<void> finishConnection(ConnectionFinish finish, netkit::CancelToken token);
    QCoro::Task<LoadedCatalog> loadCatalog(ConnectionFinish finish, netkit::CancelToken token);
    // Ends a task of the connection slot: progress flags reset, and the failure shown unless it was cancelled.
    void endConnectionTask(const netkit::CancelToken& token, const std::exception_ptr& failure, const char* fallback);
    void setConnectionStatus(const char* status);
    // The address typed in a panel's server field, with "http://" when it names no scheme.
    static std::optional<QUrl> portalURL(const QString& text);
    // A live grant (of the last 20 days) for this brand, user and server.
    bool holdsAccessGrant(const BrandPresentation& brand, const ProviderSession& provider);
    void saveAccessGrant(const BrandPresentation& brand, const ProviderSession& provider);
    // After a connection: the remembered identity, else the identity screen.
    void prepareIdentity();
    void storeIdentities();
    // The catalogue views of no catalogue at all.
    void clearCatalog();

    std::function<QDateTime()> m_clock = [] { return QDateTime::currentDateTimeUtc(); };

    // ---- Details, playback, resume points, parental filter, network check and catalogue refresh ----

    // What a refresh started from: the session and presentation at the moment it was asked for.
    struct RefreshOrigin {
        std::optional<ProviderSession> provider;
        BrandPresentation brand;
        std::optional<int> slot;
        std::optional<QString> catalogBrand;
        std::optional<qint64> previousVersion;
        bool parental = false;
    };

    QCoro::Task<void> detailsTask(MediaNode node, netkit::CancelToken token);
    QCoro::Task<void> lookupTask(MediaNode node, netkit::CancelToken token);
    QCoro::Task<void> resumeTask(ResumeMarker marker, netkit::CancelToken token);
    // Publishes a new playback in the main window and records its starting marker.
    void startPlayback(PlaybackTicket ticket);
    // The reported progress of the current ticket as a resume marker (nothing at 0 or below).
    void recordProgress(double progress);
    // Minimise and restore: a re-issued ticket from the reported progress, then the window flag.
    void handOverPlayback(double progress, bool minimized);
    // The current ticket again under a new id, starting at `resumeFraction`.
    PlaybackTicket reissuedTicket(const PlaybackTicket& ticket, double resumeFraction) const;

    QCoro::Task<void> parentalReload(ProviderSession provider, int slot, QString catalogBrand, bool enabled,
                                     netkit::CancelToken token);
    QCoro::Task<void> networkCheckTask(netkit::CancelToken token);
    QCoro::Task<void> refreshTask(RefreshOrigin origin, netkit::CancelToken token);
    // Succeeds when the platform still lets this panel be used under this brand.
    QCoro::Task<void> authorizeRefresh(ProviderSession source, BrandPresentation brand, netkit::CancelToken token);
    // Ends a refresh run: idle again, with the message and notice given (none for a silent end).
    void endRefresh(const netkit::CancelToken& token, const std::optional<QString>& message,
                    const std::optional<QString>& title);

    // Nothing cancels a running check but the deck going away, which this slot's destruction does.
    netkit::TaskSlot m_networkCheckTask;
    // The token of the latest refresh run, so that a cancelled run never ends a newer one.
    netkit::CancelToken m_refreshToken;

    int m_batchDepth = 0;
    std::vector<Signal> m_pending;
};

} // namespace sendra
