#include "UI/DeckFacet.h"

#include "State/CommandDeck.h"

namespace sendra::ui {

DeckFacet::DeckFacet(AppContext& context, QQmlEngine* engine) : QObject(engine), m_context(context), m_engine(engine)
{
    QQmlEngine::setObjectOwnership(this, QQmlEngine::CppOwnership);
}

DeckFacet::~DeckFacet() = default;

void DeckFacet::follow()
{
    connect(&m_context, &AppContext::deckChanged, this, &DeckFacet::attach);
    attach();
}

void DeckFacet::attach()
{
    for (const auto& connection : std::as_const(m_connections))
        QObject::disconnect(connection);
    m_connections.clear();
    detaching();
    if (deck())
        relaySignals();
    attached();
    announce();
}

} // namespace sendra::ui
