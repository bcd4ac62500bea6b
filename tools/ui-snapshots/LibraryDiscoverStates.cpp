#include "Snapshots.h"

namespace sendra::snapshots {

namespace {

bool inSection(Driver& d, CommandDeck::Dock dock, const QString& shown)
{
    if (!d.connectFree())
        return false;
    d.deck().selectDock(dock);
    return d.waitFor([&] { return d.find(shown) != nullptr; });
}

void addLibraryDiscoverStates(std::vector<State>& states)
{
    states.push_back({QStringLiteral("library-rows"), [](Driver& d) {
                          return inSection(d, CommandDeck::Dock::library, QStringLiteral("library.rows"));
                      }});
    states.push_back({QStringLiteral("library-menu"), [](Driver& d) {
                          return inSection(d, CommandDeck::Dock::library, QStringLiteral("library.rows")) &&
                                 d.click(QStringLiteral("library.menu"));
                      }});
    states.push_back({QStringLiteral("library-grid"), [](Driver& d) {
                          if (!inSection(d, CommandDeck::Dock::library, QStringLiteral("library.row.0.open")))
                              return false;
                          d.settle();
                          return d.click(QStringLiteral("library.row.0.open")) &&
                                 d.waitFor([&] { return d.find(QStringLiteral("library.grid")) != nullptr; });
                      }});
    states.push_back({QStringLiteral("discover-browse"), [](Driver& d) {
                          return inSection(d, CommandDeck::Dock::discover, QStringLiteral("discover.browse"));
                      }});
    states.push_back({QStringLiteral("discover-results"), [](Driver& d) {
                          if (!inSection(d, CommandDeck::Dock::discover, QStringLiteral("discover.browse")))
                              return false;
                          // The first word of a film's title finds it and its namesakes.
                          const NodeView films = d.deck().nodesByKind().value(SignalKind::cinema);
                          if (films.isEmpty())
                              return false;
                          d.deck().setSearchText(films[0].title.section(u' ', 0, 0));
                          return d.waitFor([&] { return d.find(QStringLiteral("discover.result.0")) != nullptr; });
                      }});
    states.push_back({QStringLiteral("discover-none"), [](Driver& d) {
                          if (!inSection(d, CommandDeck::Dock::discover, QStringLiteral("discover.browse")))
                              return false;
                          d.deck().setSearchText(QStringLiteral("zzqx"));
                          return d.waitFor([&] { return d.find(QStringLiteral("discover.none")) != nullptr; });
                      }});
}

const StateGroup libraryDiscoverStates(30, addLibraryDiscoverStates);

} // namespace

} // namespace sendra::snapshots
