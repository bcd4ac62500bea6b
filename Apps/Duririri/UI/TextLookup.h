#pragma once

#include "Domain/L10n.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// Formats a translated text with printf-style arguments: %lld and %d take numbers (digit-grouped in the
// language's way), %@ a text, %% a percent sign, and %n$lld / %n$@ name the argument by position.
QString formatText(const QString& format, const QString& languageCode, const QVariantList& arguments);
// A count in the language's digit grouping: English 1,234; Spanish groups only from five digits (1234, 12.345).
QString groupedNumber(qint64 value, const QString& languageCode);

// The text lookup as the screens see it. Every text binding passes the language in, as in
//     text: L10n.lookup(L10n.language, "Continuar")
// so that a language switch re-evaluates every text at once.
class TextLookup final : public QObject
{
    Q_OBJECT
    QML_NAMED_ELEMENT(L10n)
    QML_SINGLETON
    Q_PROPERTY(QString language READ language NOTIFY languageChanged)
    Q_PROPERTY(QString locale READ language NOTIFY languageChanged)

public:
    explicit TextLookup(QObject* parent = nullptr);

    QString language() const { return m_language; }
    void setLanguage(AppLanguage language);

    Q_INVOKABLE QString lookup(const QString& language, const QString& spanish) const;
    Q_INVOKABLE QString format(const QString& language, const QString& spanish, const QVariantList& arguments) const;
    Q_INVOKABLE QString number(const QString& language, double value) const;

    static QString translate(AppLanguage language, const QString& spanish);

signals:
    void languageChanged();

private:
    QString m_language;
};

} // namespace sendra::ui
