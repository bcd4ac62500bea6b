#pragma once

#include "State/CommandDeck.h"

#include <QAbstractListModel>
#include <QPointer>
#include <QQmlParserStatus>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// The plumbing the list models over the deck share: the deck of their engine (or one given from C++), the deck
// signals that announce their list, the row limit and the counts. A subclass names the signals to watch and
// builds its rows in reload(), changing them only when the list really changed.
class DeckListModel : public QAbstractListModel, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ANONYMOUS
    Q_PROPERTY(int limit READ limit WRITE setLimit NOTIFY sourceChanged)
    Q_PROPERTY(int count READ count NOTIFY countChanged)
    // The size of the whole list before the limit (for "Ver más" and counts).
    Q_PROPERTY(int totalCount READ totalCount NOTIFY countChanged)

public:
    explicit DeckListModel(QObject* parent = nullptr);

    // For C++ users (tests, benchmarks); QML models find the deck of their engine.
    void setDeck(CommandDeck* deck);

    int limit() const { return m_limit; }
    void setLimit(int limit);
    int count() const { return rowCount(); }
    int totalCount() const { return m_total; }

    void classBegin() override {}
    void componentComplete() override;

signals:
    void sourceChanged();
    void countChanged();

protected:
    CommandDeck* deck() const { return m_deck; }
    // Connects again to the signals watchDeck() names; call it when the source changes.
    void rewatch();
    virtual void watchDeck() = 0;
    virtual void reload() = 0;
    // After a change of a property that chooses the rows: tells QML, builds the rows again.
    void reselect();

    // Runs `react` (reload() when none is given) on each of the deck's `signal`s until the deck or the source
    // changes.
    template <typename Signal, typename Functor>
    void watch(Signal signal, Functor react)
    {
        m_connections.append(connect(m_deck.data(), signal, this, std::move(react)));
    }
    template <typename Signal>
    void watch(Signal signal)
    {
        watch(signal, [this] { reload(); });
    }

    // Set by reload() with the rows.
    int m_total = 0;

private:
    QPointer<CommandDeck> m_deck;
    QList<QMetaObject::Connection> m_connections;
    int m_limit = -1;
};

} // namespace sendra::ui
