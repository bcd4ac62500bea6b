#include "Domain/ActiveBrandColors.h"
#include "Domain/ProductBrand.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace sendra;

namespace {
const QString bundles = QStringLiteral(SENDRA_BUNDLES_DIR);
const QString probeName = QStringLiteral(SENDRA_PROBE_NAME);

struct ProbeRun {
    QStringList arguments;
    QMap<QString, QString> environment;
};

QMap<QString, QString> runProbe(const QString& directory, const ProbeRun& run = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("SENDRA_BUNDLE_DIR"));
    environment.remove(QStringLiteral("SENDRA_SETTINGS_FILE"));
    for (auto it = run.environment.cbegin(); it != run.environment.cend(); ++it)
        environment.insert(it.key(), it.value());
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(directory + u'/' + probeName, run.arguments);
    QMap<QString, QString> answers;
    if (!process.waitForFinished(30000) || process.exitCode() != 0) {
        ADD_FAILURE() << "probe failed in " << directory.toStdString();
        return answers;
    }
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& line : lines)
        answers.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    return answers;
}

// A product directory with a copy of the probe and the given Info.json text (none when null).
QString makeProductDir(const QTemporaryDir& root, const QString& name, const QByteArray& info)
{
    const QString dir = root.filePath(name);
    QDir().mkpath(dir);
    QFile::copy(bundles + QStringLiteral("/orrinth/") + probeName, dir + u'/' + probeName);
    if (!info.isNull()) {
        QFile file(dir + QStringLiteral("/Info.json"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(info);
    }
    return dir;
}
} // namespace

TEST(ProductBrand, eachProductDirectoryRunsItsOwnProductWithItsOwnTable)
{
    const auto brimvale = runProbe(bundles + QStringLiteral("/brimvale"));
    EXPECT_EQ(brimvale.value("product"), "brimvale");
    EXPECT_EQ(brimvale.value("namespace"), "app.calvenor.brimvalesendra.command");
    EXPECT_EQ(brimvale.value("slug"), "brimvale-sendra");
    EXPECT_EQ(brimvale.value("name"), "Brimvale Sendra");
    EXPECT_EQ(brimvale.value("colors"), "#8f5bff #6e45d6");
    EXPECT_EQ(brimvale.value("error"), QStringLiteral("Verifica tu código de acceso."));

    const auto orrinth = runProbe(bundles + QStringLiteral("/orrinth"));
    EXPECT_EQ(orrinth.value("product"), "orrinth");
    EXPECT_EQ(orrinth.value("namespace"), "app.calvenor.orrinth.command");
    EXPECT_EQ(orrinth.value("slug"), "the-orrinth-sendra");
    EXPECT_EQ(orrinth.value("name"), "The Orrinth Sendra");
    EXPECT_EQ(orrinth.value("colors"), "#ff4108 #ff9405");

    // The shared language setting reaches both products, and each finds the English table in its own Resources.
    QTemporaryDir settingsDir;
    const QString settingsFile = settingsDir.filePath(QStringLiteral("sendra.ini"));
    QSettings(settingsFile, QSettings::IniFormat)
        .setValue(QStringLiteral("app.calvenor.platform.command.language"), QStringLiteral("en"));
    for (const QString& product : {QStringLiteral("brimvale"), QStringLiteral("orrinth")}) {
        const auto english = runProbe(bundles + u'/' + product, {{}, {{"SENDRA_SETTINGS_FILE", settingsFile}}});
        EXPECT_EQ(english.value("error"), "Check your access code.") << product.toStdString();
    }
}

TEST(ProductBrand, anythingButTheExactBrimvaleTextRunsAsOrrinth)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    // The copy itself works: an exact "brimvale" still picks brimvale outside the build tree.
    EXPECT_EQ(runProbe(makeProductDir(root, "exact", R"({"AppBrandIdentifier": "brimvale"})")).value("product"),
              "brimvale");

    const QList<QPair<QString, QByteArray>> variants{
        {"missing-file", QByteArray()},
        {"missing-key", R"({"Other": "brimvale"})"},
        {"capitalised", R"({"AppBrandIdentifier": "Brimvale"})"},
        {"trailing-blank", R"({"AppBrandIdentifier": "brimvale "})"},
        {"number", R"({"AppBrandIdentifier": 1})"},
        {"list", R"({"AppBrandIdentifier": ["brimvale"]})"},
        {"broken-json", R"({"AppBrandIdentifier": "brimvale")"},
    };
    for (const auto& [name, info] : variants) {
        const auto answers = runProbe(makeProductDir(root, name, info));
        EXPECT_EQ(answers.value("product"), "orrinth") << name.toStdString();
        EXPECT_EQ(answers.value("namespace"), "app.calvenor.orrinth.command") << name.toStdString();
    }
}

TEST(ProductBrand, commandLineAndEnvironmentOverrideTheDirectory)
{
    const QString orrinthDir = bundles + QStringLiteral("/orrinth");
    const QString brimvaleDir = bundles + QStringLiteral("/brimvale");
    EXPECT_EQ(runProbe(orrinthDir, {{"--bundle-dir", brimvaleDir}, {}}).value("product"), "brimvale");
    EXPECT_EQ(runProbe(orrinthDir, {{"--bundle-dir=" + brimvaleDir}, {}}).value("product"), "brimvale");
    EXPECT_EQ(runProbe(orrinthDir, {{}, {{"SENDRA_BUNDLE_DIR", brimvaleDir}}}).value("product"), "brimvale");
    EXPECT_EQ(runProbe(brimvaleDir, {{"--bundle-dir", orrinthDir}, {{"SENDRA_BUNDLE_DIR", brimvaleDir}}})
                  .value("product"),
              "orrinth");
}

TEST(ProductBrand, presentationsDifferOnlyInLookAndBothRequirePrivateAccess)
{
    BrandPresentation brimvale = ProductBrand::presentation(DesktopProductBrand::brimvale);
    const BrandPresentation orrinth = ProductBrand::presentation(DesktopProductBrand::orrinth);
    EXPECT_TRUE(brimvale.privateAccess);
    EXPECT_FALSE(BrandPresentation::neutral().privateAccess);
    EXPECT_NE(brimvale, orrinth);
    brimvale.slug = orrinth.slug;
    brimvale.name = orrinth.name;
    brimvale.primaryColor = orrinth.primaryColor;
    brimvale.secondaryColor = orrinth.secondaryColor;
    EXPECT_EQ(brimvale, orrinth);
}

TEST(ActiveBrandColors, startsNeutralAndHoldsWhatTheDeckAssigns)
{
    EXPECT_EQ(ActiveBrandColors::activePrimary(), BrandPresentation::neutral().primaryColor);
    EXPECT_EQ(ActiveBrandColors::activeSecondary(), BrandPresentation::neutral().secondaryColor);
    const BrandPresentation brimvale = ProductBrand::presentation(DesktopProductBrand::brimvale);
    ActiveBrandColors::setActivePrimary(brimvale.primaryColor);
    ActiveBrandColors::setActiveSecondary(brimvale.secondaryColor);
    EXPECT_EQ(ActiveBrandColors::activePrimary(), "#8f5bff");
    EXPECT_EQ(ActiveBrandColors::activeSecondary(), "#6e45d6");
}
