#pragma once

#include "UI/DeckFacet.h"
#include "UI/EmbeddedPlayer.h"

#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// What the root and the shell read of the deck: the phase, the section docked, the active brand and identity,
// the alert's messages and where the playback lives (the main window's player is held here).
class Deck final : public DeckFacet
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

    Q_PROPERTY(Phase phase READ phase WRITE setPhase NOTIFY phaseChanged)
    Q_PROPERTY(QString language READ language NOTIFY languageChanged)
    Q_PROPERTY(QVariantMap brand READ brand NOTIFY brandChanged)
    Q_PROPERTY(QVariant errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(QVariant playbackMessage READ playbackMessage NOTIFY playbackMessageChanged)
    Q_PROPERTY(Dock dock READ dock NOTIFY dockChanged)
    Q_PROPERTY(QVariant activeIdentity READ activeIdentity NOTIFY activeIdentityChanged)
    Q_PROPERTY(bool hasPlayback READ hasPlayback NOTIFY playbackChanged)
    Q_PROPERTY(bool playbackMinimized READ playbackMinimized NOTIFY playbackMinimizedChanged)
    // The embedded player's session (a PlayerSession), null while the main window shows no player.
    Q_PROPERTY(QObject* embeddedSession READ embeddedSession NOTIFY embeddedSessionChanged)

public:
    enum Phase { Starting, Access, Profiles, Ready };
    Q_ENUM(Phase)
    enum Dock { Center, Library, Discover, Systems };
    Q_ENUM(Dock)

    static Deck* create(QQmlEngine* engine, QJSEngine*) { return make<Deck>(engine); }
    Deck(AppContext& context, QQmlEngine* engine);
    ~Deck() override;

    Phase phase() const;
    void setPhase(Phase phase);
    QString language() const;
    QVariantMap brand() const;
    QVariant errorMessage() const;
    QVariant playbackMessage() const;
    Dock dock() const;
    QVariant activeIdentity() const;
    bool hasPlayback() const;
    bool playbackMinimized() const;
    QObject* embeddedSession() const;
    PlayerHost* embeddedHost() const { return m_player.host(); }

    Q_INVOKABLE void selectDock(sendra::ui::Deck::Dock dock);
    // Back to the identity choice.
    Q_INVOKABLE void changeIdentity();
    // Both messages cleared: the alert was dismissed.
    Q_INVOKABLE void clearMessages();
    // Decides where the playback lives (embedded, floating or nowhere); the root calls it once per event-loop
    // turn after either of the deck's two playback fields changed.
    Q_INVOKABLE void placePlayer();
    // The quit path: every playback stops with a final progress report, recorded as a resume point.
    void stopPlaybackForQuit();

signals:
    void phaseChanged();
    void languageChanged();
    void brandChanged();
    void errorMessageChanged();
    void playbackMessageChanged();
    void dockChanged();
    void activeIdentityChanged();
    void playbackChanged();
    void playbackMinimizedChanged();
    void embeddedSessionChanged();

private:
    void relaySignals() override;
    void announce() override;
    void detaching() override;
    void attached() override;
    // The palette and the text lookups follow the deck's brand and language.
    void applyBrandColours();
    void applyLanguage();

    EmbeddedPlayer m_player;
};

} // namespace sendra::ui
