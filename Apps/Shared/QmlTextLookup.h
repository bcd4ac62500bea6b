#pragma once

#include "Domain/L10n.h"

#include <QObject>
#include <QString>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

namespace sendra::playback {

// The interface language as the player follows it while running: "es" or "en", first read from the stored
// preference. Whoever changes the language calls set() (or refresh() after storing it); every text lookup and
// player session then switches at once. Main thread only.
class InterfaceLanguage final : public QObject
{
    Q_OBJECT

public:
    static InterfaceLanguage& instance();
    QString code() const { return m_code; }
    // Emits changed() when the language differs from the current one.
    static void set(AppLanguage language);
    // set() with the stored preference.
    static void refresh();

signals:
    void changed();

private:
    InterfaceLanguage();
    QString m_code;
};

// `spanish` in the language with that code: the English table's entry for "en" (the key when it has none),
// the key itself otherwise.
QString textIn(const QString& languageCode, const QString& spanish);
// Formats a translated text with printf-style arguments: %lld and %d take numbers (digit-grouped in the
// language's way), %@ a text, %% a percent sign, and %n$lld / %n$@ name the argument by position.
QString formatText(const QString& format, const QString& languageCode, const QVariantList& arguments);
// A count in the language's digit grouping: English 1,234; Spanish groups only from five digits (1234, 12.345).
QString groupedNumber(qint64 value, const QString& languageCode);

// The text lookup as both QML modules see it (the interface's module imports this one), named in QML after the
// C++ lookup it fronts, sendra::L10n. A binding must name the language so it is evaluated again on a switch:
//     text: L10n.lookup(L10n.language, "Continuar")
// The one-argument form `L10n.text("Cerrar")` reads the stored preference once and does not follow a switch.
class QmlTextLookup final : public QObject
{
    Q_OBJECT
    QML_NAMED_ELEMENT(L10n)
    QML_SINGLETON
    Q_PROPERTY(QString language READ language NOTIFY languageChanged)
    Q_PROPERTY(QString locale READ language NOTIFY languageChanged)

public:
    explicit QmlTextLookup(QObject* parent = nullptr);

    QString language() const { return InterfaceLanguage::instance().code(); }

    Q_INVOKABLE QString text(const QString& spanish) const;
    // The text in `language` ("en" or "es"), whatever the stored preference says.
    Q_INVOKABLE QString text(const QString& spanish, const QString& language) const;
    // The same with the language first, the form the application's own lookup uses.
    Q_INVOKABLE QString lookup(const QString& language, const QString& spanish) const
    {
        return textIn(language, spanish);
    }
    Q_INVOKABLE QString format(const QString& language, const QString& spanish, const QVariantList& arguments) const
    {
        return formatText(textIn(language, spanish), language, arguments);
    }
    Q_INVOKABLE QString number(const QString& language, double value) const;

    // Switches every lookup and player session to `language` (the application calls this on a switch).
    static void setLanguage(AppLanguage language) { InterfaceLanguage::set(language); }
    // The same with the language read from the stored preference.
    static void refreshLanguage() { InterfaceLanguage::refresh(); }

signals:
    void languageChanged();
};

} // namespace sendra::playback
