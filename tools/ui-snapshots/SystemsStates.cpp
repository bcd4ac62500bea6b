#include "Snapshots.h"

#include "UI/FloatingPlayer.h"

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
                          return openEntry(d, SignalKind::episodic) && d.waitFor([&] {
                                     return d.deck().selectedBrief() && !d.deck().isLoadingBrief();
                                 });
                      }});
    states.push_back({QStringLiteral("parental-off"), [](Driver& d) {
                          return openSystems(d) && d.click(QStringLiteral("systems.parental"));
                      }});
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
