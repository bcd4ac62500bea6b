#include "Shared/QmlTextLookup.h"

#include "Domain/L10n.h"

namespace sendra::playback {

InterfaceLanguage::InterfaceLanguage()
    : m_code(storedValue(LanguagePreferences::selected()))
{
}

InterfaceLanguage &InterfaceLanguage::instance()
{
    static InterfaceLanguage language;
    return language;
}

void InterfaceLanguage::set(AppLanguage language)
{
    InterfaceLanguage &current = instance();
    const QString code = storedValue(language);
    if (code == current.m_code)
        return;
    current.m_code = code;
    emit current.changed();
}

void InterfaceLanguage::refresh()
{
    set(LanguagePreferences::selected());
}

QmlTextLookup::QmlTextLookup(QObject *parent)
    : QObject(parent)
{
    connect(&InterfaceLanguage::instance(), &InterfaceLanguage::changed, this, &QmlTextLookup::languageChanged);
}

QString QmlTextLookup::text(const QString &spanish) const
{
    return L10n::text(spanish);
}

QString QmlTextLookup::text(const QString &spanish, const QString &language) const
{
    return textIn(language, spanish);
}

QString textIn(const QString &languageCode, const QString &spanish)
{
    if (languageCode != storedValue(AppLanguage::english))
        return spanish;
    return L10n::englishTable().lookup(spanish).value_or(spanish);
}

} // namespace sendra::playback
