#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// The access-code field turns the decimal digits of any script (Arabic-Indic, Devanagari, full-width, ...) into
// 0-9 as they are typed and drops everything else (letters, the dashes of a pasted code, circled or fractional
// numbers, numeral ideographs), keeping the first four: the platform takes 0-9 only, so the button is enabled
// only for a code that can be sent. Characters are what a person sees as one (a digit with a combining mark, a
// keycap, a digit outside the basic plane), not UTF-16 units; JavaScript has no such class.
QString accessCodeCharacters(const QString& text);
// How many such characters `text` holds.
int characterCount(const QString& text);

class AccessCode final : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit AccessCode(QObject* parent = nullptr) : QObject(parent) {}

    Q_INVOKABLE static QString filtered(const QString& text) { return accessCodeCharacters(text); }
    Q_INVOKABLE static int length(const QString& text) { return characterCount(text); }
};

} // namespace sendra::ui
