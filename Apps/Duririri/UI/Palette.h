#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// The screens' colours: the fixed dark palette and the active brand's two colours. The brand colours notify, so a
// brand change recolours every binding at once; the Deck singleton calls setBrandColors() whenever the active brand
// changes. One instance per engine. Its QML name is CommandPalette: QtQuick has a `Palette` type of its own, which
// shadows a singleton of that name (Palette.primary is undefined, with only an assignment warning).
class Palette final : public QObject
{
    Q_OBJECT
    QML_NAMED_ELEMENT(CommandPalette)
    QML_SINGLETON
    // "void" is reserved in JavaScript.
    Q_PROPERTY(QColor voidColor READ voidColor CONSTANT)
    Q_PROPERTY(QColor obsidian READ obsidian CONSTANT)
    Q_PROPERTY(QColor panel READ panel CONSTANT)
    Q_PROPERTY(QColor raised READ raised CONSTANT)
    Q_PROPERTY(QColor green READ green CONSTANT)
    Q_PROPERTY(QColor red READ red CONSTANT)
    Q_PROPERTY(QColor primary READ primary NOTIFY brandColorsChanged)
    Q_PROPERTY(QColor secondary READ secondary NOTIFY brandColorsChanged)
    Q_PROPERTY(QString primaryHex READ primaryHex NOTIFY brandColorsChanged)
    Q_PROPERTY(QString secondaryHex READ secondaryHex NOTIFY brandColorsChanged)

public:
    explicit Palette(QObject* parent = nullptr);

    static QColor voidColor();
    static QColor obsidian();
    static QColor panel();
    static QColor raised();
    static QColor green();
    static QColor red();

    QColor primary() const { return colorFromHex(m_primaryHex); }
    QColor secondary() const { return colorFromHex(m_secondaryHex); }
    QString primaryHex() const { return m_primaryHex; }
    QString secondaryHex() const { return m_secondaryHex; }

    // A colour text as the screens read it: non-alphanumeric characters trimmed from both ends, an optional 0x,
    // then the longest run of hexadecimal digits as an unsigned 64-bit number (all ones when it does not fit);
    // red, green and blue are bits 16-23, 8-15 and 0-7; always opaque. Unreadable text is black. Unlike QML's own
    // conversion, "#abc" is not expanded and "#aarrggbb" carries no alpha.
    static QColor colorFromHex(const QString& text);
    Q_INVOKABLE QColor hex(const QString& text) const { return colorFromHex(text); }

public slots:
    void setBrandColors(const QString& primaryHex, const QString& secondaryHex);

signals:
    void brandColorsChanged();

private:
    QString m_primaryHex;
    QString m_secondaryHex;
};

} // namespace sendra::ui
