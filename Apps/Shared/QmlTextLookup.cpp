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

void InterfaceLanguage::refresh()
{
    InterfaceLanguage &language = instance();
    const QString code = storedValue(LanguagePreferences::selected());
    if (code == language.m_code)
        return;
    language.m_code = code;
    emit language.changed();
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
