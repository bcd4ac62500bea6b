#pragma once

#include "UI/AppContext.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QQmlEngine>
#include <QVariant>

#include <functional>
#include <optional>

namespace sendra::ui {

// One screen's share of the deck as QML reads it (QML cannot read optionals or plain structs): absent values are
// null, entries and categories are plain maps, enumerations are UpperCamel, and operations take keys or indexes,
// never entries. Writable properties write back into the deck. The deck does not exist until the vault has been
// read at start-up: until then every read gives its empty value and every operation does nothing, and when it
// comes (or goes) the facet rewires its relays and announces every property. One of each per engine.
class DeckFacet : public QObject
{
    Q_OBJECT

public:
    ~DeckFacet() override;

    // The engine's application deck; null until the vault has been read. Read from the context rather than kept,
    // so that every facet sees a new deck at once, before any of them announces it.
    CommandDeck* deck() const { return m_context.deck(); }

protected:
    DeckFacet(AppContext& context, QQmlEngine* engine);

    // A QML singleton's create(): the facet for the deck of the engine's application context.
    template <class Facet>
    static Facet* make(QQmlEngine* engine)
    {
        AppContext* context = AppContext::of(engine);
        Q_ASSERT_X(context, Facet::staticMetaObject.className(), "the engine was not installed by an AppContext");
        if (!context)
            qFatal("%s singleton: engine without an application context", Facet::staticMetaObject.className());
        auto* facet = new Facet(*context, engine);
        facet->follow();
        return facet;
    }

    // Connects the facet's signals to the deck's (with relay()); called each time a deck is attached.
    virtual void relaySignals() = 0;
    // Emits every notify signal of the facet, after the deck came or went.
    virtual void announce() = 0;
    // Hooks around an attach: before the relays of the new deck, and after them, before the announcement.
    virtual void detaching() {}
    virtual void attached() {}

    // Connects a deck signal to one of the facet's signals, or to a functor, for as long as this deck is attached.
    template <class DeckSignal, class Facet>
    void relay(DeckSignal deckSignal, void (Facet::*own)())
    {
        m_connections.append(QObject::connect(deck(), deckSignal, static_cast<Facet*>(this), own));
    }
    template <class DeckSignal, class Functor>
    void relay(DeckSignal deckSignal, Functor functor)
    {
        m_connections.append(QObject::connect(deck(), deckSignal, this, std::move(functor)));
    }

    // What `reader` gives for the deck, or `absent` while there is none.
    template <class Reader, class T>
    T read(Reader&& reader, T absent) const
    {
        const CommandDeck* current = deck();
        return current ? T(std::invoke(std::forward<Reader>(reader), *current)) : absent;
    }
    // Runs `action` on the deck; nothing while there is none.
    template <class Action, class... Args>
    void act(Action&& action, Args&&... args) const
    {
        if (CommandDeck* current = deck())
            std::invoke(std::forward<Action>(action), *current, std::forward<Args>(args)...);
    }

    QQmlEngine* engine() const { return m_engine; }

    // QML's null (a plain QVariant() would read as undefined).
    static QVariant null() { return QVariant::fromValue(nullptr); }
    static QVariant optionalText(const std::optional<QString>& text) { return text ? QVariant(*text) : null(); }

private:
    void follow();
    void attach();

    AppContext& m_context;
    QPointer<QQmlEngine> m_engine;
    QList<QMetaObject::Connection> m_connections;
};

} // namespace sendra::ui
