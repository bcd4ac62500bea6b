#include "UI/DeckListModel.h"

#include "UI/AppContext.h"

#include <QQmlEngine>

namespace sendra::ui {

DeckListModel::DeckListModel(QObject* parent) : QAbstractListModel(parent)
{}

void DeckListModel::componentComplete()
{
    if (AppContext* context = AppContext::of(qmlEngine(this))) {
        connect(context, &AppContext::deckChanged, this, [this, context] { setDeck(context->deck()); });
        setDeck(context->deck());
    }
}

void DeckListModel::setDeck(CommandDeck* deck)
{
    if (m_deck == deck)
        return;
    m_deck = deck;
    rewatch();
    reload();
}

void DeckListModel::rewatch()
{
    for (const auto& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    if (m_deck)
        watchDeck();
}

void DeckListModel::setLimit(int limit)
{
    if (m_limit == limit)
        return;
    m_limit = limit;
    reselect();
}

void DeckListModel::reselect()
{
    emit sourceChanged();
    reload();
}

} // namespace sendra::ui
