#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// What the screens show for an entry kind: its title, symbol and colour, in one place. QML holds a kind as the
// text the deck and the models carry ("tv", "movies", "series"; "" for every kind together) and asks here; where
// it needs to tell kinds apart it compares Kinds.of(kind) with an enumerator, never the text.
class Kinds final : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    // UpperCamel: lower-case enumerators are invisible to QML.
    enum Kind { All, Tv, Movies, Series };
    Q_ENUM(Kind)

    explicit Kinds(QObject* parent = nullptr);

    // All for "" and for a text that names no kind.
    Q_INVOKABLE static sendra::ui::Kinds::Kind of(const QString& kind);
    // The Spanish title for the text lookup; "Todo" for every kind.
    Q_INVOKABLE static QString title(const QString& kind);
    // The symbol's name; the all-kinds grid for every kind, an unknown kind or a generic presentation.
    Q_INVOKABLE static QString symbol(const QString& kind, bool generic);
    // Live channels in red, series in the brand's secondary colour, the rest in its primary colour. The binding
    // passes the brand's colours in, so a brand change recolours it.
    Q_INVOKABLE static QColor color(const QString& kind, const QColor& primary, const QColor& secondary);
};

} // namespace sendra::ui
