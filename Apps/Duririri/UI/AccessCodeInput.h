#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// The access-code field keeps the first four characters that Unicode gives a numeric type (digits of any
// script, circled and fractional numbers, numeral ideographs) and drops everything else, so typed letters and
// the dashes of a pasted code vanish at once. Characters are what a person sees as one (a digit with a
// combining mark, a keycap, a digit outside the basic plane), not UTF-16 units; JavaScript has no such class.
QString accessCodeCharacters(const QString& text);
// How many such characters `text` holds.
int characterCount(const QString& text);

class AccessCodeInput final : public QObject
{
    Q_OBJECT
    QML_NAMED_ELEMENT(AccessCode)
    QML_SINGLETON

public:
    explicit AccessCodeInput(QObject* parent = nullptr) : QObject(parent) {}

    Q_INVOKABLE static QString filtered(const QString& text) { return accessCodeCharacters(text); }
    Q_INVOKABLE static int length(const QString& text) { return characterCount(text); }
};

} // namespace sendra::ui
