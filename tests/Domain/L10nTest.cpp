#include "Domain/CommandError.h"
#include "Domain/L10n.h"
#include "Domain/SettingsFile.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace sendra;

namespace {
const QString sourceDir = QStringLiteral(SENDRA_SOURCE_DIR);

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The English table comes from the product directory the build lays out.
        qputenv("SENDRA_BUNDLE_DIR", SENDRA_BUNDLES_DIR "/orrinth");
        ASSERT_TRUE(m_dir.isValid());
        setSettingsFilePathOverride(m_dir.filePath(QStringLiteral("sendra.ini")));
    }
    void TearDown() override { setSettingsFilePathOverride(QString()); }

    void setLanguage(const QVariant& value)
    {
        QSettings settings(settingsFilePath(), QSettings::IniFormat);
        settings.setValue(LanguagePreferences::settingsKey(), value);
    }

    QTemporaryDir m_dir;
};

QString unescape(const QString& literal)
{
    QString text;
    for (qsizetype i = 0; i < literal.size(); ++i) {
        QChar c = literal.at(i);
        if (c == u'\\' && i + 1 < literal.size()) {
            c = literal.at(++i);
            if (c == u'n')
                c = u'\n';
            else if (c == u't')
                c = u'\t';
        }
        text.append(c);
    }
    return text;
}

// Comments hold examples, not lookups: drop them, stepping over string and character literals.
QString withoutComments(const QString& source)
{
    QString code;
    code.reserve(source.size());
    QChar quote;
    for (qsizetype i = 0; i < source.size(); ++i) {
        const QChar c = source.at(i);
        const QChar next = i + 1 < source.size() ? source.at(i + 1) : QChar();
        if (!quote.isNull()) {
            code.append(c);
            if (c == u'\\' && !next.isNull())
                code.append(source.at(++i));
            else if (c == quote || c == u'\n')
                quote = QChar();
        } else if (c == u'/' && next == u'/') {
            i = source.indexOf(u'\n', i);
            if (i < 0)
                break;
            code.append(u'\n');
        } else if (c == u'/' && next == u'*') {
            i = source.indexOf(QStringLiteral("*/"), i + 2);
            if (i < 0)
                break;
            ++i;
        } else {
            if (c == u'"' || c == u'\'')
                quote = c;
            code.append(c);
        }
    }
    return code;
}

// The Spanish texts passed to the lookup in one source text, in the call forms L10n.h documents.
QStringList lookedUpTexts(const QString& rawSource)
{
    const QString source = withoutComments(rawSource);
    static const QRegularExpression call(QStringLiteral(
        R"re(\bL10n(?:::|\.)(?:text|noop|lookup|format)\(\s*(?:L10n\.language\s*,\s*)?)re"
        R"re((?:QStringLiteral\(\s*|QString::fromUtf8\(\s*)?(?:u8|u)?)re"
        R"re((?:"((?:[^"\\\n]|\\.)*)"|'((?:[^'\\\n]|\\.)*)'))re"));
    QStringList texts;
    for (auto it = call.globalMatch(source); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        texts.append(unescape(match.hasCaptured(1) ? match.captured(1) : match.captured(2)));
    }
    return texts;
}

// The string literals of a C++ source that hold a letter outside ASCII: texts in Spanish that the window may show,
// wherever they are written (a default group name, a lane title made by a reader).
QStringList nonAsciiLiterals(const QString& rawSource)
{
    const QString source = withoutComments(rawSource);
    QStringList texts;
    for (qsizetype i = 0; i < source.size(); ++i) {
        const QChar quote = source.at(i);
        if (quote != u'"' && quote != u'\'')
            continue;
        qsizetype end = i + 1;
        while (end < source.size() && source.at(end) != quote && source.at(end) != u'\n')
            end += source.at(end) == u'\\' ? 2 : 1;
        const QString literal = unescape(source.mid(i + 1, end - i - 1));
        if (quote == u'"' && std::any_of(literal.begin(), literal.end(), [](QChar c) { return c.unicode() >= 0x80; }))
            texts.append(literal);
        i = end;
    }
    return texts;
}

QString tablePath()
{
    return sourceDir + QStringLiteral("/Resources/en.lproj/Localizable.json");
}
} // namespace

TEST_F(LanguageTest, onlyTheExactEnglishValueSwitchesAndEveryReadSeesTheChange)
{
    const CommandError error = CommandError::invalidAccessCode;
    EXPECT_EQ(LanguagePreferences::selected(), AppLanguage::spanish);
    EXPECT_EQ(errorDescription(error), QStringLiteral("Verifica tu código de acceso."));

    setLanguage(QStringLiteral("en"));
    EXPECT_EQ(LanguagePreferences::selected(), AppLanguage::english);
    EXPECT_EQ(errorDescription(error), QStringLiteral("Check your access code."));
    EXPECT_EQ(CommandFailure(error).errorDescription(), QStringLiteral("Check your access code."));
    // No English entry: the Spanish text is shown.
    EXPECT_EQ(L10n::text(QStringLiteral("Texto sin traducción")), QStringLiteral("Texto sin traducción"));

    for (const QString& other : {QStringLiteral("EN"), QStringLiteral(" en"), QStringLiteral("es"), QString()}) {
        setLanguage(other);
        EXPECT_EQ(LanguagePreferences::selected(), AppLanguage::spanish) << other.toStdString();
        EXPECT_EQ(errorDescription(error), QStringLiteral("Verifica tu código de acceso."));
    }
    setLanguage(QStringLiteral("en"));
    EXPECT_EQ(errorDescription(error), QStringLiteral("Check your access code."));
}

TEST_F(LanguageTest, theSettingsFileIsSharedAndItsLocationInjectable)
{
    setLanguage(QStringLiteral("en"));
    setSettingsFilePathOverride(QString());
    // Without an override the file lives under the (test's temporary) XDG config folder.
    EXPECT_TRUE(settingsFilePath().endsWith(QStringLiteral("/Sendra/sendra.ini")));
    EXPECT_EQ(LanguagePreferences::selected(), AppLanguage::spanish);

    qputenv("SENDRA_SETTINGS_FILE", m_dir.filePath(QStringLiteral("sendra.ini")).toUtf8());
    EXPECT_EQ(LanguagePreferences::selected(), AppLanguage::english);
    qunsetenv("SENDRA_SETTINGS_FILE");
}

TEST(LocalizationTable, keysAndLookupsMeetInNormalisationFormC)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Localizable.json"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // One key written decomposed (o + combining acute), one precomposed; a non-text value is ignored.
    file.write(QStringLiteral("{\"co\u0301digo\": \"code\", \"canci\u00f3n\": \"song\", \"n\u00famero\": 7}").toUtf8());
    file.close();

    const LocalizationTable table = LocalizationTable::load(path);
    EXPECT_EQ(table.lookup(QStringLiteral("c\u00f3digo")), QStringLiteral("code"));
    EXPECT_EQ(table.lookup(QStringLiteral("co\u0301digo")), QStringLiteral("code"));
    EXPECT_EQ(table.lookup(QStringLiteral("cancio\u0301n")), QStringLiteral("song"));
    EXPECT_FALSE(table.lookup(QStringLiteral("n\u00famero")));

    EXPECT_EQ(LocalizationTable::load(dir.filePath(QStringLiteral("missing.json"))).size(), 0);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("{\"c\": ");
    file.close();
    EXPECT_EQ(LocalizationTable::load(path).size(), 0);
}

TEST(EnglishTable, everyTextPassedToTheLookupHasAnEnglishEntry)
{
    // The scanner itself must see every documented call form, or the check below passes vacuously.
    EXPECT_EQ(lookedUpTexts(QStringLiteral(R"(L10n::text("Uno"); L10n::text(QStringLiteral("Dos \"tres\""));)"
                                           R"( L10n::text(u"Cuatro"); L10n::noop("Cinco"); L10n.text('Seis'))"
                                           R"( L10n.lookup(L10n.language, "Once") L10n.format(L10n.language, "Doce %lld", [n]))"
                                           R"( L10n.text("Siete"); L10n::text(variable); auto a = "http://x"; // L10n::text("Ocho"))"
                                           "\n"
                                           R"(/* L10n::text("Nueve") */ L10n::text("Diez"))")),
              QStringList({"Uno", "Dos \"tres\"", "Cuatro", "Cinco", "Seis", "Once", "Doce %lld", "Siete", "Diez"}));

    const LocalizationTable table = LocalizationTable::load(tablePath());
    ASSERT_GT(table.size(), 0);
    for (CommandError error : allCommandErrors)
        EXPECT_TRUE(table.contains(spanishMessage(error))) << caseName(error);

    QStringList missing;
    const QStringList filters{"*.h", "*.cpp", "*.qml", "*.js"};
    QDirIterator files(sourceDir + QStringLiteral("/Apps"), filters, QDir::Files, QDirIterator::Subdirectories);
    qsizetype scanned = 0;
    while (files.hasNext()) {
        QFile file(files.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        for (const QString& text : lookedUpTexts(QString::fromUtf8(file.readAll()))) {
            ++scanned;
            if (!table.contains(text))
                missing.append(files.fileInfo().fileName() + QStringLiteral(": ") + text);
        }
    }
    // Texts kept in data rather than looked up where they are written must be in the table too.
    EXPECT_EQ(nonAsciiLiterals(QStringLiteral("auto a = '\"'; auto b = u\"Selección\"; // \"Canción\"\nc(\"\\\"ñ\\\"\");")),
              QStringList({"Selección", "\"ñ\""}));
    QDirIterator sources(sourceDir + QStringLiteral("/Apps/Duririri"), {"*.h", "*.cpp"}, QDir::Files,
                         QDirIterator::Subdirectories);
    while (sources.hasNext()) {
        QFile file(sources.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        for (const QString& text : nonAsciiLiterals(QString::fromUtf8(file.readAll()))) {
            ++scanned;
            if (!table.contains(text))
                missing.append(sources.fileInfo().fileName() + QStringLiteral(": ") + text);
        }
    }
    EXPECT_TRUE(missing.isEmpty()) << "texts without an English entry:\n"
                                   << missing.join(u'\n').toStdString();
    RecordProperty("scanned", int(scanned));
}

TEST(EnglishTable, fileHasOneEntryPerKeyAndNoEmptyTranslation)
{
    // Concurrent additions can leave a key twice; the JSON reader would silently keep only one of them.
    QFile file(tablePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    static const QRegularExpression entry(QStringLiteral(R"re(^\s*"((?:[^"\\]|\\.)*)"\s*:\s*"((?:[^"\\]|\\.)*)"\s*,?\s*$)re"));
    QSet<QString> seen;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    for (const QString& line : lines) {
        if (line.trimmed().isEmpty() || line.trimmed() == u"{" || line.trimmed() == u"}")
            continue;
        const QRegularExpressionMatch match = entry.match(line);
        ASSERT_TRUE(match.hasMatch()) << "not one entry per line: " << line.toStdString();
        const QString key = unescape(match.captured(1)).normalized(QString::NormalizationForm_C);
        EXPECT_FALSE(seen.contains(key)) << "repeated key: " << key.toStdString();
        EXPECT_FALSE(match.captured(2).trimmed().isEmpty()) << "empty translation: " << key.toStdString();
        seen.insert(key);
    }
    EXPECT_EQ(seen.size(), LocalizationTable::load(tablePath()).size());
}
