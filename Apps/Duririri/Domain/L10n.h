#pragma once

#include <QHash>
#include <QString>

#include <array>
#include <optional>

namespace sendra {

enum class AppLanguage { spanish, english };
inline constexpr std::array<AppLanguage, 2> allAppLanguages{AppLanguage::spanish, AppLanguage::english};
QString storedValue(AppLanguage language); // "es", "en"

struct LanguagePreferences {
    // The one global key of the shared settings file (not inside a product namespace).
    static QString settingsKey() { return QStringLiteral("app.calvenor.platform.command.language"); }
    // Read from the settings file on every call: exactly "en" is English, anything else Spanish.
    static AppLanguage selected();
};

// Spanish text -> English text, keys and lookups compared in Unicode NFC.
class LocalizationTable {
public:
    // An unreadable or missing file gives an empty table (every lookup then falls back to the key).
    static LocalizationTable load(const QString& path);
    std::optional<QString> lookup(const QString& spanish) const;
    qsizetype size() const { return m_entries.size(); }
    bool contains(const QString& spanish) const { return lookup(spanish).has_value(); }

private:
    QHash<QString, QString> m_entries;
};

// Every visible text goes through L10n::text with its Spanish literal:
//
//     L10n::text("Identificador no reconocido.")   // C++ (QStringLiteral("...") and u"..." work too)
//     L10n.text("Identificador no reconocido.")    // QML, through the L10n singleton
//
// A text kept for later (a fallback message held in a variable) is marked at its literal with
// L10n::noop("Identificador no reconocido."), which returns it unchanged. The table-completeness test scans
// Apps/ for exactly these call forms with one plain string literal as the argument (no concatenation of
// literals) and fails on a text without an English entry in Resources/en.lproj/Localizable.json.
struct L10n {
    static QString text(const QString& spanish);
    static constexpr const char* noop(const char* spanish) { return spanish; }
    // The English table of the running bundle, parsed once (the bundle does not change while running).
    static const LocalizationTable& englishTable();
};

} // namespace sendra
