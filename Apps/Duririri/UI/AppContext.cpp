#include "UI/AppContext.h"

#include "UI/AppQml.h"

#include <QHash>
#include <QQmlEngine>

namespace sendra::ui {

namespace {

QHash<const QQmlEngine*, AppContext*>& registry()
{
    static QHash<const QQmlEngine*, AppContext*> contexts;
    return contexts;
}

} // namespace

AppContext::AppContext(QNetworkAccessManager* network, QObject* parent) : QObject(parent), m_network(network) {}

AppContext::~AppContext()
{
    for (QQmlEngine* engine : std::as_const(m_engines))
        registry().remove(engine);
}

void AppContext::install(QQmlEngine& engine)
{
    registry().insert(&engine, this);
    m_engines.append(&engine);
    connect(&engine, &QObject::destroyed, this, [this, engine = &engine] {
        registry().remove(engine);
        m_engines.removeAll(engine);
    });
    registerAppQml(engine);
}

AppContext* AppContext::of(const QQmlEngine* engine)
{
    return registry().value(engine, nullptr);
}

void AppContext::setDeck(CommandDeck* deck)
{
    m_deck = deck;
    emit deckChanged();
}

SessionFactory AppContext::sessionFactory() const
{
    SessionFactory make = m_factory ? m_factory : defaultSessionFactory(m_network);
    return [this, make](const orrinth::PlaybackRequest& request, QObject* parent) {
        ++const_cast<AppContext*>(this)->m_playersCreated;
        return make(request, parent);
    };
}

} // namespace sendra::ui
