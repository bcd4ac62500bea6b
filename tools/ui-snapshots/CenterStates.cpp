#include "Snapshots.h"

#include "CommandDeckProbe.h"

#include "State/CatalogSnapshot.h"

namespace sendra::snapshots {

namespace {

// Scrolls the centre so that its block (0 resume, 1 favourites, 2 + n lane n, then the categories) is on top.
bool reveal(Driver& d, int block)
{
    QObject* console = d.find(QStringLiteral("center.console"));
    if (!console)
        return false;
    QMetaObject::invokeMethod(console, "positionViewAtIndex", Q_ARG(int, block), Q_ARG(int, 1));
    d.settle(300);
    return true;
}

// The free demo source with a favourite and two resume points.
bool centreInUse(Driver& d)
{
    if (!d.connectFree())
        return false;
    const NodeView films = d.deck().nodesByKind().value(SignalKind::cinema);
    const NodeView series = d.deck().nodesByKind().value(SignalKind::episodic);
    if (films.size() < 3 || series.isEmpty())
        return false;
    d.deck().toggleFavorite(films[0]);
    d.deck().toggleFavorite(series[0]);
    d.deck().addResume(films[1], 0.35, std::nullopt);
    d.deck().addResume(series[0], 0.7, 0);
    return d.waitFor([&] { return d.find(QStringLiteral("carousel.page")) != nullptr; });
}

void addCenterStates(std::vector<State>& states)
{
    states.push_back({QStringLiteral("centre"), centreInUse});
    states.push_back({QStringLiteral("centre-rails"), [](Driver& d) { return centreInUse(d) && reveal(d, 0); }});
    states.push_back({QStringLiteral("centre-categories"), [](Driver& d) {
                          if (!centreInUse(d))
                              return false;
                          QObject* console = d.find(QStringLiteral("center.console"));
                          QMetaObject::invokeMethod(console, "positionViewAtEnd");
                          d.settle(300);
                          QMetaObject::invokeMethod(console, "positionViewAtEnd");
                          return true;
                      }});
    states.push_back({QStringLiteral("centre-empty"), [](Driver& d) {
                          if (!d.connectFree())
                              return false;
                          CommandDeckProbe::install(d.deck(), {});
                          return d.waitFor([&] { return d.find(QStringLiteral("carousel.page")) == nullptr; });
                      }});
    states.push_back({QStringLiteral("centre-generic"), [](Driver& d) {
                          if (!d.connectFree())
                              return false;
                          QList<MediaNode> nodes;
                          const QStringList groups{QStringLiteral("Estrenos"), QStringLiteral("Deportes"),
                                                   QStringLiteral("Documentales")};
                          for (int i = 0; i < 60; ++i) {
                              MediaNode node;
                              node.id = QString::number(1000 + i);
                              node.title = QStringLiteral("Señal %1").arg(i + 1);
                              node.kind = i % 2 ? SignalKind::cinema : SignalKind::broadcast;
                              node.groupID = QString::number(i % 3);
                              node.groupName = groups[i % 3];
                              node.contentClassification = QStringLiteral("generic");
                              nodes.append(node);
                          }
                          CommandDeckProbe::install(d.deck(), nodes);
                          return d.waitFor([&] { return d.deck().usesGenericPresentation(); });
                      }});
}

const StateGroup centerStates(20, addCenterStates);

} // namespace

} // namespace sendra::snapshots
