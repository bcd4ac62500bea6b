#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QtQml/qqmlregistration.h>

#include <optional>

namespace sendra::ui {

// The screens name system symbols ("film.stack", "eye.slash.fill", ...); they are drawn as glyphs of the Material
// Icons font bundled in the resources. Identity glyphs are stored data, so they stay names too.
//
// How QML names a symbol, so that test_ui can check every name against the map (a name it cannot see is a name
// it cannot check):
//   - `Symbol { name: "film.stack" }`: every string literal in the expression after `name:` of a Symbol;
//   - a property called `symbol` or ending in `Symbol` (`symbol: "link"`, `leadingSymbol: on ? "a" : "b"`):
//     every string literal on that line;
//   - `Symbols.glyph("plus")`: the literal argument.
// Keep a conditional choice of symbols on one line. Kinds go through Kinds.symbol(), never a QML table.
class Symbols final : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(QString fontFamily READ fontFamily CONSTANT)
    Q_PROPERTY(QStringList identityGlyphs READ identityGlyphs CONSTANT)

public:
    explicit Symbols(QObject* parent = nullptr);

    // The icon font's family; loads the font into the application once.
    static QString fontFamily();
    // The glyph for `name` as a one-character text; a visible question mark glyph for a name not in the map.
    Q_INVOKABLE static QString glyph(const QString& name);
    Q_INVOKABLE static bool contains(const QString& name) { return codepoint(name).has_value(); }

    static std::optional<char32_t> codepoint(const QString& name);
    static char32_t fallbackCodepoint();
    static QStringList names();
    // The choices for an identity, in order; the first is the default.
    static QStringList identityGlyphs();
};

} // namespace sendra::ui
