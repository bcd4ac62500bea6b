#include "Domain/L10n.h"

#include "Domain/AppBundle.h"
#include "Domain/SettingsFile.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>

namespace sendra {

QString storedValue(AppLanguage language)
{
    return language == AppLanguage::english ? QStringLiteral("en") : QStringLiteral("es");
}

AppLanguage LanguagePreferences::selected()
{
    const QSettings settings(settingsFilePath(), QSettings::IniFormat);
    const QVariant value = settings.value(settingsKey());
    const bool english = value.typeId() == QMetaType::QString && value.toString() == u"en";
    return english ? AppLanguage::english : AppLanguage::spanish;
}

LocalizationTable LocalizationTable::load(const QString& path)
{
    LocalizationTable table;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return table;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return table;
    const QJsonObject entries = document.object();
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it.value().isString())
            table.m_entries.insert(it.key().normalized(QString::NormalizationForm_C), it.value().toString());
    }
    return table;
}

std::optional<QString> LocalizationTable::lookup(const QString& spanish) const
{
    const auto it = m_entries.constFind(spanish.normalized(QString::NormalizationForm_C));
    if (it == m_entries.cend())
        return std::nullopt;
    return *it;
}

const LocalizationTable& L10n::englishTable()
{
    static const LocalizationTable table =
        LocalizationTable::load(AppBundle::resourcePath(QStringLiteral("en.lproj/Localizable.json")));
    return table;
}

QString L10n::text(const QString& spanish)
{
    if (LanguagePreferences::selected() == AppLanguage::spanish)
        return spanish;
    return englishTable().lookup(spanish).value_or(spanish);
}

} // namespace sendra
