#pragma once

#include "UI/PlayerHost.h"

#include <QObject>
#include <QPointer>
#include <QQmlEngine>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

#include <memory>

namespace sendra::ui {

class AppContext;

// The deck as QML reads it (QML cannot read optionals or plain structs): absent values are null, entries and
// categories are plain maps, enumerations are UpperCamel, and operations take keys or indexes, never entries.
// Writable properties write back into the deck. Until the deck exists (the vault is still being read) the phase
// is Starting and everything else is empty. One per engine.
class DeckAdaptor final : public QObject
{
    Q_OBJECT
    QML_NAMED_ELEMENT(Deck)
    QML_SINGLETON

    Q_PROPERTY(Phase phase READ phase WRITE setPhase NOTIFY phaseChanged)
    Q_PROPERTY(QString language READ language NOTIFY languageChanged)
    Q_PROPERTY(QVariantMap brand READ brand NOTIFY brandChanged)
    Q_PROPERTY(QVariant errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(QVariant playbackMessage READ playbackMessage NOTIFY playbackMessageChanged)

    Q_PROPERTY(Method method READ method WRITE setMethod NOTIFY draftChanged)
    Q_PROPERTY(QString server READ server WRITE setServer NOTIFY draftChanged)
    Q_PROPERTY(QString user READ user WRITE setUser NOTIFY draftChanged)
    Q_PROPERTY(QString password READ password WRITE setPassword NOTIFY draftChanged)
    Q_PROPERTY(QString playlist READ playlist WRITE setPlaylist NOTIFY draftChanged)
    Q_PROPERTY(bool isConnecting READ isConnecting NOTIFY isConnectingChanged)
    Q_PROPERTY(QString connectionStatus READ connectionStatus NOTIFY connectionStatusChanged)
    Q_PROPERTY(bool accessCodeRequired READ accessCodeRequired WRITE setAccessCodeRequired NOTIFY accessCodeRequiredChanged)
    Q_PROPERTY(QString accessCode READ accessCode WRITE setAccessCode NOTIFY accessCodeChanged)

    Q_PROPERTY(QVariantList identities READ identities NOTIFY identitiesChanged)
    Q_PROPERTY(QVariant activeIdentity READ activeIdentity NOTIFY activeIdentityChanged)

    Q_PROPERTY(Dock dock READ dock NOTIFY dockChanged)
    Q_PROPERTY(bool usesGenericPresentation READ usesGenericPresentation NOTIFY catalogChanged)
    Q_PROPERTY(QStringList presentedKinds READ presentedKinds NOTIFY catalogChanged)
    Q_PROPERTY(int totalNodeCount READ totalNodeCount NOTIFY catalogChanged)
    // Visible entries per kind: {"tv": n, "movies": n, "series": n}.
    Q_PROPERTY(QVariantMap kindCounts READ kindCounts NOTIFY catalogChanged)
    // The feed's lanes: [{id, title, subtitle, titleIsText, subtitleIsText, count}] (whether a text is the deck's
    // own, shown through the text lookup, or data shown as it is); a lane's entries come through
    // NodeListModel.Lane.
    Q_PROPERTY(QVariantList lanes READ lanes NOTIFY feedChanged)
    // The centre's resume points: [{key, title, fraction, artwork, kind, generic, groupName, isFavorite}].
    Q_PROPERTY(QVariantList centerResumeMarkers READ centerResumeMarkers NOTIFY centerResumeMarkersChanged)
    Q_PROPERTY(int favoritesRevision READ favoritesRevision NOTIFY favoritesChanged)

    Q_PROPERTY(QString chosenKind READ chosenKind WRITE setChosenKind NOTIFY chosenKindChanged)
    Q_PROPERTY(QVariant chosenGroup READ chosenGroup NOTIFY chosenGroupChanged)
    Q_PROPERTY(bool canReturnFromLibrary READ canReturnFromLibrary NOTIFY canReturnFromLibraryChanged)
    Q_PROPERTY(int libraryNodeCount READ libraryNodeCount NOTIFY libraryNodesChanged)
    Q_PROPERTY(QString searchText READ searchText WRITE setSearchText NOTIFY searchTextChanged)

    Q_PROPERTY(QVariant selectedNode READ selectedNode NOTIFY selectedNodeChanged)
    Q_PROPERTY(QVariant selectedBrief READ selectedBrief NOTIFY selectedBriefChanged)
    Q_PROPERTY(bool isLoadingBrief READ isLoadingBrief NOTIFY isLoadingBriefChanged)

    Q_PROPERTY(bool hasPlayback READ hasPlayback NOTIFY playbackChanged)
    Q_PROPERTY(bool playbackMinimized READ playbackMinimized NOTIFY playbackMinimizedChanged)
    // The embedded player's session (a PlayerSession), null while the main window shows no player.
    Q_PROPERTY(QObject* embeddedSession READ embeddedSession NOTIFY embeddedSessionChanged)

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
    Q_PROPERTY(QVariant catalogRefreshNotice READ catalogRefreshNotice WRITE setCatalogRefreshNotice NOTIFY refreshChanged)

public:
    enum Phase { Starting, Access, Profiles, Ready };
    Q_ENUM(Phase)
    enum Dock { Center, Library, Discover, Systems };
    Q_ENUM(Dock)
    enum Method { Portal, Playlist };
    Q_ENUM(Method)

    static DeckAdaptor* create(QQmlEngine* engine, QJSEngine*);
    DeckAdaptor(AppContext& context, QQmlEngine* engine);
    ~DeckAdaptor() override;

    CommandDeck* deck() const { return m_deck; }

    Phase phase() const;
    void setPhase(Phase phase);
    QString language() const;
    QVariantMap brand() const;
    QVariant errorMessage() const;
    QVariant playbackMessage() const;

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
    QVariant activeIdentity() const;

    Dock dock() const;
    bool usesGenericPresentation() const;
    QStringList presentedKinds() const;
    int totalNodeCount() const;
    QVariantMap kindCounts() const;
    QVariantList lanes() const;
    QVariantList centerResumeMarkers() const;
    int favoritesRevision() const { return m_favoritesRevision; }

    QString chosenKind() const;
    void setChosenKind(const QString& kind);
    QVariant chosenGroup() const;
    bool canReturnFromLibrary() const;
    int libraryNodeCount() const;
    QString searchText() const;
    void setSearchText(const QString& text);

    QVariant selectedNode() const;
    QVariant selectedBrief() const;
    bool isLoadingBrief() const;

    bool hasPlayback() const;
    bool playbackMinimized() const;
    QObject* embeddedSession() const;
    PlayerHost* embeddedHost() const { return m_embedded.get(); }

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

    // Access and identities.
    Q_INVOKABLE void connectSource();
    Q_INVOKABLE void confirmPrivateAccess();
    Q_INVOKABLE void cancelPrivateAccess();
    Q_INVOKABLE void selectIdentity(const QString& id);
    Q_INVOKABLE void deleteIdentity(const QString& id);
    Q_INVOKABLE void addIdentity(const QString& name, const QString& glyph);
    Q_INVOKABLE void disconnectSource();
    // Both messages cleared: the alert was dismissed.
    Q_INVOKABLE void clearMessages();

    // Navigation and catalogue.
    Q_INVOKABLE void selectDock(sendra::ui::DeckAdaptor::Dock dock);
    Q_INVOKABLE void selectLanguage(const QString& code);
    // kind: "tv"/"movies"/"series" or "" for every kind; groupId: a group key or "" for none.
    Q_INVOKABLE void openLibrary(const QString& kind, const QString& groupId);
    Q_INVOKABLE void returnFromLibrary();
    // Sets the library's chosen group by key ("" for none); the kind is left alone. An unknown key does nothing.
    Q_INVOKABLE void chooseGroup(const QString& groupId);
    Q_INVOKABLE QString presentationKindTitle(const QString& kind) const;
    Q_INVOKABLE void refreshSpotlights();
    Q_INVOKABLE bool isFavorite(const QString& key) const;

    // Details and playback.
    Q_INVOKABLE void closeDetails();
    Q_INVOKABLE void toggleSelectedFavorite();
    Q_INVOKABLE void playSelected();
    Q_INVOKABLE void playEpisode(int season, int episode);
    Q_INVOKABLE void resumeAt(int index);
    Q_INVOKABLE void toggleResumeFavorite(int index);
    // Decides where the playback lives (embedded, floating or nowhere); the root calls it once per event-loop
    // turn after either of the deck's two playback fields changed.
    Q_INVOKABLE void placePlayer();
    // The quit path: every playback stops with a final progress report, recorded as a resume point.
    void stopPlaybackForQuit();

    // Settings.
    Q_INVOKABLE void runNetworkCheck();
    Q_INVOKABLE void refreshCatalog();
    Q_INVOKABLE void setParental(bool enabled);
    // Null on success, else the (Spanish) message to show through the lookup.
    Q_INVOKABLE QVariant activateParental(const QString& pin, const QString& confirmation);
    Q_INVOKABLE bool validatePIN(const QString& pin) const;
    Q_INVOKABLE void changeIdentity();

signals:
    void deckChanged();
    void phaseChanged();
    void languageChanged();
    void brandChanged();
    void errorMessageChanged();
    void playbackMessageChanged();
    void draftChanged();
    void isConnectingChanged();
    void connectionStatusChanged();
    void accessCodeRequiredChanged();
    void accessCodeChanged();
    void identitiesChanged();
    void activeIdentityChanged();
    void dockChanged();
    void catalogChanged();
    void feedChanged();
    void centerResumeMarkersChanged();
    void favoritesChanged();
    void chosenKindChanged();
    void chosenGroupChanged();
    void canReturnFromLibraryChanged();
    void libraryNodesChanged();
    void searchTextChanged();
    void selectedNodeChanged();
    void selectedBriefChanged();
    void isLoadingBriefChanged();
    void playbackChanged();
    void playbackMinimizedChanged();
    void embeddedSessionChanged();
    void parentalEnabledChanged();
    void networkChanged();
    void refreshChanged();

private:
    void attach(CommandDeck* deck);
    void applyBrandColours();
    void applyLanguage();
    void emitEverything();

    AppContext& m_context;
    QPointer<QQmlEngine> m_engine;
    QPointer<CommandDeck> m_deck;
    QList<QMetaObject::Connection> m_connections;
    std::unique_ptr<PlayerHost> m_embedded;
    int m_favoritesRevision = 0;
};

} // namespace sendra::ui
