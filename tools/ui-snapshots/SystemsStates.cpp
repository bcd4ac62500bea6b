#include "Snapshots.h"

#include "Shared/PlayerSession.h"
#include "UI/AppQml.h"
#include "UI/Deck.h"
#include "UI/FloatingPlayer.h"

#include <QQmlApplicationEngine>
#include <QQuickItem>

namespace sendra::snapshots {

namespace {

bool openSystems(Driver& d)
{
    if (!d.connectFree())
        return false;
    d.deck().selectDock(CommandDeck::Dock::systems);
    return d.waitFor([&] { return d.find(QStringLiteral("systems.console")) != nullptr; });
}

bool openEntry(Driver& d, SignalKind kind)
{
    if (!d.connectFree())
        return false;
    const NodeView entries = d.deck().nodesByKind().value(kind);
    if (entries.isEmpty())
        return false;
    d.deck().open(entries[0]);
    return d.waitFor([&] { return d.find(QStringLiteral("detail.title")) != nullptr && d.deck().selectedNode(); });
}

// The demo's playlist as "Ana", and the sheet of its first series.
bool openPlaylistSeries(Driver& d)
{
    SourceDraft draft;
    draft.method = SourceMethod::playlist;
    draft.playlist = d.services.playlist().toString();
    d.deck().setDraft(draft);
    d.deck().connect();
    if (!d.waitFor([&] { return !d.deck().isConnecting(); }) || d.deck().errorMessage())
        return false;
    d.deck().addIdentity(QStringLiteral("Ana"), QStringLiteral("scope"));
    const NodeView series = d.deck().nodesByKind().value(SignalKind::episodic);
    if (series.isEmpty())
        return false;
    d.deck().open(series[0]);
    return d.waitFor([&] { return d.find(QStringLiteral("detail.title")) && !d.deck().isLoadingBrief(); });
}

playback::PlayerSession* embeddedSession(Driver& d)
{
    return qobject_cast<playback::PlayerSession*>(ui::appSingleton<ui::Deck>(d.app.engine())->embeddedSession());
}

void addSystemsStates(std::vector<State>& states)
{
    states.push_back({QStringLiteral("systems"), openSystems});
    states.push_back({QStringLiteral("systems-notice"), [](Driver& d) {
                          if (!openSystems(d))
                              return false;
                          d.deck().refreshCatalog();
                          return d.waitFor([&] { return d.deck().catalogRefreshNotice().has_value(); });
                      }});
    states.push_back({QStringLiteral("detail-film"), [](Driver& d) { return openEntry(d, SignalKind::cinema); }});
    states.push_back({QStringLiteral("detail-series"), [](Driver& d) {
                          return openEntry(d, SignalKind::episodic) &&
                                 d.waitFor([&] { return d.deck().selectedBrief() && !d.deck().isLoadingBrief(); });
                      }});
    states.push_back({QStringLiteral("detail-playlist-series"), openPlaylistSeries});
    // Played from its sheet, left at 40%, and taken up again from the centre's rail.
    states.push_back({QStringLiteral("player-playlist-series-resumed"), [](Driver& d) {
                          if (!openPlaylistSeries(d) || !d.click(QStringLiteral("detail.play")) ||
                              !d.waitFor([&] { return embeddedSession(d) != nullptr; }))
                              return false;
                          d.settle(1000);
                          d.deck().closePlayback(0.4);
                          d.deck().selectDock(CommandDeck::Dock::center);
                          if (!d.waitFor([&] { return d.isShown(QStringLiteral("center.resume.card.0.open")); }) ||
                              !d.click(QStringLiteral("center.resume.card.0.open")))
                              return false;
                          return d.waitFor([&] {
                              const playback::PlayerSession* session = embeddedSession(d);
                              return session && session->isPlaying() && session->elapsedSeconds() > 0;
                          });
                      }});
    // A film of the playlist paused past two seconds, then back 10 s: the time line shows the start.
    states.push_back({QStringLiteral("player-paused-back"), [](Driver& d) {
                          if (!openPlaylistSeries(d) || !d.click(QStringLiteral("detail.play")))
                              return false;
                          playback::PlayerSession* session = nullptr;
                          if (!d.waitFor([&] {
                                  session = embeddedSession(d);
                                  return session && session->isPlaying() && session->elapsedSeconds() > 2.5;
                              }))
                              return false;
                          session->togglePlayPause();
                          d.settle();
                          session->reveal();
                          return d.click(QStringLiteral("backButton"));
                      }});
    states.push_back({QStringLiteral("parental-off"),
                      [](Driver& d) { return openSystems(d) && d.click(QStringLiteral("systems.parental")); }});
    states.push_back({QStringLiteral("parental-on-error"), [](Driver& d) {
                          if (!openSystems(d))
                              return false;
                          d.deck().activateParental(QStringLiteral("1234"), QStringLiteral("1234"));
                          if (!d.click(QStringLiteral("systems.parental")))
                              return false;
                          d.settle();
                          // An empty PIN is a wrong PIN.
                          return d.click(QStringLiteral("parental.action"));
                      }});
    states.push_back({QStringLiteral("floating-player"), [](Driver& d) {
                          if (!d.playFirstFilm())
                              return false;
                          d.settle();
                          d.deck().minimizePlayback(0);
                          ui::FloatingPlayer& floating = d.app.floating();
                          if (!d.waitFor([&] { return floating.isShowing(); }))
                              return false;
                          d.shotWindow = floating.window();
                          return true;
                      }});
}

const StateGroup systemsStates(40, addSystemsStates);

} // namespace

} // namespace sendra::snapshots
