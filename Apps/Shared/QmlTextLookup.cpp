#include "Shared/QmlTextLookup.h"

#include "Domain/L10n.h"

#include <cmath>

namespace sendra::playback {

InterfaceLanguage::InterfaceLanguage() : m_code(storedValue(LanguagePreferences::selected()))
{}

InterfaceLanguage& InterfaceLanguage::instance()
{
    static InterfaceLanguage language;
    return language;
}

void InterfaceLanguage::set(AppLanguage language)
{
    InterfaceLanguage& current = instance();
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

QmlTextLookup::QmlTextLookup(QObject* parent) : QObject(parent)
{
    connect(&InterfaceLanguage::instance(), &InterfaceLanguage::changed, this, &QmlTextLookup::languageChanged);
}

QString QmlTextLookup::text(const QString& spanish) const
{
    return L10n::text(spanish);
}

QString QmlTextLookup::text(const QString& spanish, const QString& language) const
{
    return textIn(language, spanish);
}

QString textIn(const QString& languageCode, const QString& spanish)
{
    if (languageCode != storedValue(AppLanguage::english))
        return spanish;
    return L10n::englishTable().lookup(spanish).value_or(spanish);
}

QString QmlTextLookup::number(const QString& language, double value) const
{
    return std::isfinite(value) ? groupedNumber(qint64(value), language) : QString();
}

QString groupedNumber(qint64 value, const QString& languageCode)
{
    const bool english = languageCode == u"en";
    QString digits = QString::number(value < 0 ? -value : value);
    if (english ? digits.size() > 3 : digits.size() > 4) {
        const QChar separator = english ? u',' : u'.';
        for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
            digits.insert(at, separator);
    }
    return value < 0 ? u'-' + digits : digits;
}

namespace {

QString numberText(const QVariant& argument, const QString& languageCode)
{
    bool ok = false;
    const double value = argument.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return argument.toString();
    return groupedNumber(qint64(value), languageCode);
}

} // namespace

QString formatText(const QString& format, const QString& languageCode, const QVariantList& arguments)
{
    QString out;
    out.reserve(format.size() + 16);
    qsizetype next = 0; // the next unnumbered argument
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != u'%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        qsizetype j = i + 1;
        if (format[j] == u'%') {
            out += u'%';
            i = j;
            continue;
        }
        // Optional position: digits then '$'.
        qsizetype position = -1;
        qsizetype k = j;
        while (k < format.size() && format[k].isDigit())
            ++k;
        if (k > j && k < format.size() && format[k] == u'$') {
            position = format.mid(j, k - j).toLongLong() - 1;
            j = k + 1;
        }
        const auto take = [&]() -> QVariant {
            const qsizetype index = position >= 0 ? position : next++;
            return index >= 0 && index < arguments.size() ? arguments[index] : QVariant();
        };
        if (format.mid(j, 3) == u"lld") {
            out += numberText(take(), languageCode);
            i = j + 2;
        } else if (j < format.size() && format[j] == u'd') {
            out += numberText(take(), languageCode);
            i = j;
        } else if (j < format.size() && format[j] == u'@') {
            out += take().toString();
            i = j;
        } else {
            out += c; // not a conversion we know: kept as written
        }
    }
    return out;
}

} // namespace sendra::playback
