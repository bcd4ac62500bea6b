#include "State/CountedText.h"

#include "Domain/L10n.h"

namespace sendra {

namespace {

constexpr QStringView placeholder = u"%lld";

} // namespace

std::optional<QString> fillIntegers(const QString& format, std::initializer_list<qint64> values)
{
    QString filled;
    filled.reserve(format.size() + 20 * qsizetype(values.size()));
    auto next = values.begin();
    qsizetype from = 0;
    for (qsizetype percent = format.indexOf(u'%'); percent >= 0; percent = format.indexOf(u'%', from)) {
        filled.append(QStringView(format).sliced(from, percent - from));
        const QStringView rest = QStringView(format).sliced(percent);
        if (rest.startsWith(u"%%")) {
            filled.append(u'%');
            from = percent + 2;
        } else if (rest.startsWith(placeholder) && next != values.end()) {
            filled.append(QString::number(*next++));
            from = percent + placeholder.size();
        } else {
            return std::nullopt;
        }
    }
    if (next != values.end())
        return std::nullopt;
    filled.append(QStringView(format).sliced(from));
    return filled;
}

QString fillTranslated(const QString& translated, const QString& spanish, std::initializer_list<qint64> values)
{
    if (std::optional<QString> filled = fillIntegers(translated, values))
        return *filled;
    return fillIntegers(spanish, values).value_or(spanish);
}

QString countedText(const char* spanish, std::initializer_list<qint64> values)
{
    const QString original = QString::fromUtf8(spanish);
    return fillTranslated(L10n::text(original), original, values);
}

} // namespace sendra
