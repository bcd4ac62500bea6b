#include "QmlScreenHarness.h"
#include "fakes/FakePlaylistHost.h"
#include "fakes/HostilePictures.h"

#include "UI/AppQml.h"
#include "UI/ArtworkProvider.h"
#include "UI/CommandPalette.h"
#include "UI/Symbols.h"
#include "Shared/QmlTextLookup.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using sendra::fakes::greyPng;
using sendra::testing::QmlScreenHarness;
using sendra::ui::Symbols;

namespace {

// Writes a scene that uses the module's components into a temporary file and returns its address.
QUrl writeScene(const QTemporaryDir& folder, const QByteArray& body)
{
    const QString path = folder.filePath(QStringLiteral("Scene.qml"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write("import QtQuick\nimport Sendra.App\n\n" + body);
    return QUrl::fromLocalFile(path);
}

template<class T>
T* singleton(QQmlEngine& engine, const char* name)
{
    return engine.singletonInstance<T*>(qmlTypeId("Sendra.App", 1, 0, name));
}

QString accessibleName(QObject* item)
{
    for (QObject* child : item->children())
        if (qstrcmp(child->metaObject()->className(), "QQuickAccessibleAttached") == 0)
            return child->property("name").toString();
    return {};
}

void clickCentre(QmlScreenHarness& screen, const QString& objectName)
{
    ASSERT_NE(screen.find(objectName), nullptr) << objectName.toStdString();
    ASSERT_TRUE(screen.click(objectName)) << objectName.toStdString() << " is not shown";
}

std::string warningsOf(const QmlScreenHarness& screen)
{
    return screen.warnings().join('\n').toStdString();
}

} // namespace

// The shared pieces in one scene: placeholders and fallbacks where there is nothing to load, a live brand switch,
// and the secret row's reveal button in English.
TEST(VisualSystemScreen, placeholdersFallbacksBrandSwitchAndRevealButton)
{
    QTemporaryDir folder;
    const QUrl scene = writeScene(folder, R"(
Item {
    id: root
    property string password: "a+b"
    CommandBackground { anchors.fill: parent }
    Column {
        spacing: 8
        AsyncArtwork {
            objectName: "art.file"; width: 120; aspect: 2 / 3; kind: "movies"; artwork: "file:///etc/hostname"
        }
        AsyncArtwork { objectName: "art.generic"; width: 160; aspect: 16 / 9; kind: "tv"; generic: true; radius: 12 }
        BrandLogo {
            objectName: "logo.other"; width: 320
            brand: ({ slug: "otra-marca", name: "Mi Marca", logoURL: "ftp://example.com/logo.png", isotypeURL: null })
        }
        BrandLogo {
            objectName: "logo.orrinth"; width: 320
            brand: ({ slug: "the-orrinth-sendra", name: "The Orrinth Sendra", logoURL: "" })
        }
        Row {
            BrandIsotype {
                objectName: "isotype.brimvale"; brand: ({ slug: "brimvale-sendra", name: "Brimvale Sendra" })
            }
            BrandIsotype { objectName: "isotype.other"; brand: ({ slug: "brimvale", name: "Otra" }) }
            StatusPill { objectName: "pill"; text: "Mostrar contraseña" }
        }
        CommandCard {
            width: 300; highlighted: true; padding: 14
            Text { anchors.fill: parent; text: "x"; color: "white" }
        }
        SignalMeter {
            objectName: "meter"; width: 200; label: "Ocultar contraseña"; value: "42 ms"; symbol: "timer"
            color: CommandPalette.green
        }
        CommandInput {
            objectName: "row.password"; width: 420; title: "Contraseña"; symbol: "key.horizontal"; secure: true
            text: root.password
            onEdited: (value) => root.password = value
        }
        CommandInput {
            objectName: "row.user"; width: 420; title: "Usuario"; symbol: "person.text.rectangle"; text: "ana"
        }
    }
}
)");
    QmlScreenHarness screen([](QQmlEngine& engine) { sendra::ui::registerAppQml(engine); }, {1080, 700});
    ASSERT_TRUE(screen.load(scene, {})) << warningsOf(screen);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&screen.view()));
    QQmlEngine& engine = *screen.view().engine();
    sendra::playback::QmlTextLookup::setLanguage(sendra::AppLanguage::english);
    QCoreApplication::processEvents();

    // Nothing to fetch: the kind's symbol, or the all-kinds grid for a generic entry.
    EXPECT_TRUE(screen.isShown("art.file.placeholder"));
    EXPECT_EQ(screen.property("art.file.placeholder", "text").toString(), Symbols::glyph("film.stack"));
    EXPECT_EQ(screen.property("art.file.image", "source").toUrl(), QUrl());
    EXPECT_EQ(screen.property("art.generic.placeholder", "text").toString(),
              Symbols::glyph("square.grid.3x3.fill"));
    EXPECT_NEAR(screen.property("art.file", "height").toDouble(), 180.0, 0.01);

    // A brand of another slug whose logo cannot load: the maker mark with the name in capitals.
    EXPECT_TRUE(screen.isShown("logo.other.name"));
    EXPECT_EQ(screen.property("logo.other.name", "text").toString(), "MI MARCA");
    EXPECT_EQ(screen.property("logo.other.remote", "source").toUrl(), QUrl());
    // The products' own images come from the resources.
    EXPECT_FALSE(screen.isShown("logo.orrinth.name"));
    EXPECT_TRUE(screen.isShown("logo.orrinth.bundled"));
    EXPECT_EQ(screen.property("logo.orrinth.bundled", "status").toInt(), 1 /* Image.Ready */);
    EXPECT_EQ(screen.property("isotype.brimvale.bundled", "status").toInt(), 1);
    EXPECT_FALSE(screen.isShown("isotype.other.bundled"));

    // Captions go through the lookup; the placeholder does not.
    EXPECT_EQ(screen.property("pill.text", "text").toString(), "SHOW PASSWORD");
    EXPECT_EQ(screen.property("meter.value", "text").toString(), "42 ms");
    EXPECT_EQ(screen.property("row.password.field", "placeholderText").toString(), "Contraseña");

    // A brand change recolours what is drawn in the brand colour, with no reload.
    auto* palette = singleton<sendra::ui::CommandPalette>(engine, "CommandPalette");
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(screen.property("art.file.placeholder", "color").value<QColor>(), palette->primary());
    const auto corner = [&] {
        const QImage frame = screen.view().grabWindow();
        return QColor(frame.pixel(frame.width() - 60, 30));
    };
    const QColor before = corner();
    palette->setBrandColors(" #12AB34", "#6e45d6");
    EXPECT_EQ(screen.property("art.file.placeholder", "color").value<QColor>(), QColor(0x12, 0xab, 0x34));
    // The background's glow in the top-right corner takes the new colour too.
    const QColor after = corner();
    EXPECT_GT(before.red(), before.green() + 8) << before.name().toStdString();
    EXPECT_GT(after.green(), after.red() + 8) << after.name().toStdString();

    // A secret starts masked; the button shows it and masks it again over the same value.
    EXPECT_EQ(screen.find("row.user.reveal"), nullptr);
    QObject* reveal = screen.find("row.password.reveal");
    ASSERT_NE(reveal, nullptr);
    EXPECT_EQ(screen.property("row.password.field", "echoMode").toInt(), 2 /* Password */);
    EXPECT_EQ(accessibleName(reveal), "Show password");
    clickCentre(screen, "row.password.reveal");
    EXPECT_EQ(screen.property("row.password.field", "echoMode").toInt(), 0 /* Normal */);
    EXPECT_EQ(accessibleName(reveal), "Hide password");
    EXPECT_EQ(screen.property("row.password.field", "text").toString(), "a+b");

    // Typing writes back through edited(); the caller's value feeds the field.
    clickCentre(screen, "row.password.field");
    QTest::keyClick(&screen.view(), Qt::Key_1, Qt::NoModifier);
    EXPECT_EQ(screen.root()->property("password").toString(), "a+b1");
    screen.root()->setProperty("password", "otra");
    EXPECT_EQ(screen.property("row.password.field", "text").toString(), "otra");
    clickCentre(screen, "row.password.reveal");
    EXPECT_EQ(screen.property("row.password.field", "echoMode").toInt(), 2);
    EXPECT_EQ(accessibleName(reveal), "Show password");
    EXPECT_EQ(screen.property("row.password.field", "text").toString(), "otra");

    QTest::qWait(50);
    EXPECT_TRUE(screen.warnings().isEmpty()) << warningsOf(screen);
    // The language is the process's: the next test starts from the stored one again.
    sendra::playback::QmlTextLookup::refreshLanguage();
}

// Artwork from the web: one transfer for two items showing the same address at different sizes (the engine's own
// cache shares only equal sizes), the image filled and cropped to each item; a missing image, a redirect off the
// web, a page that is no image or a server that stops answering stays the placeholder without a warning.
TEST(VisualSystemScreen, webArtworkIsSharedCroppedAndFailsQuietly)
{
    QImage poster(200, 100, QImage::Format_RGB32);
    poster.fill(Qt::red);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(poster.save(&buffer, "PNG"));

    sendra::fakes::FakePlaylistHost host;
    sendra::fakes::Reply held = sendra::fakes::Reply::text(png.toStdString());
    held.contentType = "image/png";
    const QUrl shared = host.publish("/art/shared.png", std::move(held).held());
    const QUrl missing = host.publish("/art/missing.png", sendra::fakes::Reply::empty(404));
    const QUrl offWeb = host.publish("/art/away.png", sendra::fakes::Reply::redirect("file:///etc/hostname"));
    const QUrl page = host.publish("/art/page.png", "<html><body>Not found</body></html>", 200, "text/html");
    const QUrl hanging = host.publish("/art/hanging.png", sendra::fakes::Reply::text("x").hangingAfterHeaders());

    QTemporaryDir folder;
    const QUrl scene = writeScene(folder, QStringLiteral(R"(
Row {
    AsyncArtwork { objectName: "first"; width: 100; aspect: 1; kind: "tv"; artwork: "%1" }
    AsyncArtwork { objectName: "second"; width: 80; aspect: 1; kind: "tv"; artwork: "%1" }
    AsyncArtwork { objectName: "missing"; width: 100; aspect: 1; kind: "series"; artwork: "%2" }
    AsyncArtwork { objectName: "away"; width: 100; aspect: 1; kind: "movies"; artwork: "%3" }
    AsyncArtwork { objectName: "page"; width: 100; aspect: 1; kind: "movies"; artwork: "%4" }
    BrandLogo {
        objectName: "logo"; width: 240; height: 56
        brand: ({ slug: "brimvale-sendra", name: "B", logoURL: "%1" })
    }
    BrandLogo {
        objectName: "broken"; width: 240; height: 56
        brand: ({ slug: "brimvale-sendra", name: "B", logoURL: "%2" })
    }
}
)")
                                                  .arg(shared.toString(), missing.toString(), offWeb.toString(),
                                                       page.toString())
                                                  .toUtf8());
    QmlScreenHarness screen([](QQmlEngine& engine) { sendra::ui::registerAppQml(engine); }, {1080, 200});
    ASSERT_TRUE(screen.load(scene, {})) << warningsOf(screen);

    EXPECT_TRUE(QTest::qWaitFor([&] { return host.heldCount() == 1; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return screen.property("missing.image", "status").toInt() == 1 &&
                   screen.property("away.image", "status").toInt() == 1 &&
                   screen.property("page.image", "status").toInt() == 1;
        },
        10000));
    EXPECT_FALSE(screen.property("missing", "loaded").toBool());
    EXPECT_FALSE(screen.property("away", "loaded").toBool());
    EXPECT_TRUE(screen.isShown("missing.placeholder"));
    EXPECT_TRUE(screen.isShown("away.placeholder"));
    EXPECT_TRUE(screen.isShown("page.placeholder"));
    EXPECT_TRUE(screen.isShown("first.placeholder"));
    // A brand logo shows the product's own image while its remote one loads, and for good when that fails.
    EXPECT_TRUE(screen.isShown("logo.bundled"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return screen.property("broken.remote", "status").toInt() == 1; }, 10000));
    EXPECT_TRUE(screen.isShown("broken.bundled"));
    EXPECT_FALSE(screen.isShown("broken.remote"));

    host.release();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return screen.property("first", "loaded").toBool() && screen.property("second", "loaded").toBool(); },
        10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return screen.isShown("logo.remote"); }, 10000));
    EXPECT_EQ(host.requestCount("/art/shared.png"), 1u);
    EXPECT_FALSE(screen.isShown("first.placeholder"));
    EXPECT_FALSE(screen.isShown("logo.bundled"));
    EXPECT_EQ(screen.property("logo.remote", "implicitWidth").toDouble(), 112.0); // 200x100 scaled to 56 high
    EXPECT_EQ(screen.property("first.image", "implicitWidth").toDouble(), 100.0);
    EXPECT_EQ(screen.property("first.image", "implicitHeight").toDouble(), 100.0);
    EXPECT_EQ(screen.property("second.image", "implicitWidth").toDouble(), 80.0);
    EXPECT_EQ(screen.property("second.image", "implicitHeight").toDouble(), 80.0);
    EXPECT_EQ(host.requestCount("/etc/hostname"), 0u);
    EXPECT_TRUE(screen.warnings().isEmpty()) << warningsOf(screen);

    // Another engine (another window, or the next start) takes the image from the disk cache, although the server
    // sent no caching headers; a page that was no image was not kept and is asked for again; a server that stops
    // answering after the headers fails the transfer once it has been idle for the time-out.
    sendra::fakes::Reply answer = sendra::fakes::Reply::text(png.toStdString());
    answer.contentType = "image/png";
    host.publish("/art/shared.png", std::move(answer));
    QTemporaryDir again;
    QmlScreenHarness next(
        [](QQmlEngine& engine) {
            sendra::ui::registerAppQml(engine);
            engine.removeImageProvider(QStringLiteral("art"));
            engine.addImageProvider(QStringLiteral("art"),
                                    new sendra::ui::ArtworkProvider(std::chrono::milliseconds(300)));
        },
        {200, 200});
    ASSERT_TRUE(next.load(writeScene(again, QStringLiteral(R"(
Row {
    AsyncArtwork { objectName: "cached"; width: 60; aspect: 1; kind: "tv"; artwork: "%1" }
    AsyncArtwork { objectName: "page"; width: 60; aspect: 1; kind: "tv"; artwork: "%2" }
    AsyncArtwork { objectName: "hanging"; width: 60; aspect: 1; kind: "tv"; artwork: "%3" }
}
)")
                                                          .arg(shared.toString(), page.toString(), hanging.toString())
                                                          .toUtf8()),
                          {}))
        << warningsOf(next);
    EXPECT_TRUE(QTest::qWaitFor([&] { return next.property("cached", "loaded").toBool(); }, 10000));
    EXPECT_EQ(host.requestCount("/art/shared.png"), 1u);
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.requestCount("/art/page.png") == 2; }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return next.property("page.image", "status").toInt() == 1; }, 10000));
    EXPECT_FALSE(next.property("page", "loaded").toBool());
    EXPECT_TRUE(QTest::qWaitFor([&] { return next.property("hanging.image", "status").toInt() == 1; }, 10000));
    EXPECT_TRUE(next.isShown("hanging.placeholder"));
    EXPECT_EQ(host.requestCount("/art/hanging.png"), 1u);
    EXPECT_TRUE(next.warnings().isEmpty()) << warningsOf(next);
}

// Hostile artwork: an SVG that names a local picture, a tiny PNG that declares 5000x5000, and answers past the size
// limit (declared or not) all show the placeholder; a big real picture is decoded to its tile; and however many
// posters a screen asks for, only a few transfers run at once.
TEST(VisualSystemScreen, hostileArtworkIsRefusedAndTransfersAreBounded)
{
    QTemporaryDir folder;
    QImage red(40, 40, QImage::Format_RGB32);
    red.fill(Qt::red);
    const QString localPath = folder.filePath(QStringLiteral("local.png"));
    ASSERT_TRUE(red.save(localPath, "PNG"));
    const std::string svg = QStringLiteral(
                                R"(<svg xmlns="http://www.w3.org/2000/svg" xmlns:xlink="http://www.w3.org/1999/xlink" )"
                                R"(width="100" height="100"><image xlink:href="%1" width="100" height="100"/></svg>)")
                                .arg(QUrl::fromLocalFile(localPath).toString())
                                .toStdString();
    const std::string signature = "\x89PNG\r\n\x1a\n";

    sendra::fakes::FakePlaylistHost host;
    const QUrl vector = host.publish("/art/vector.png", svg, 200, "image/png");
    const QUrl huge = host.publish("/art/huge.png", greyPng(5000, 5000).toStdString(), 200, "image/png");
    const QUrl big = host.publish("/art/big.png", greyPng(1600, 900).toStdString(), 200, "image/png");
    const QUrl declared = host.publish("/art/declared.png", signature + std::string(30 << 20, '\0'), 200, "image/png");
    sendra::fakes::Reply endless = sendra::fakes::Reply::text(signature + std::string(64 << 10, '\0')).endless();
    endless.contentType = "image/png";
    const QUrl undeclared = host.publish("/art/endless.png", std::move(endless));

    const QUrl scene = writeScene(folder, QStringLiteral(R"(
Row {
    AsyncArtwork { objectName: "vector"; width: 100; aspect: 1; kind: "tv"; artwork: "%1" }
    AsyncArtwork { objectName: "huge"; width: 100; aspect: 1; kind: "tv"; artwork: "%2" }
    AsyncArtwork { objectName: "big"; width: 90; aspect: 1; kind: "tv"; artwork: "%3" }
    AsyncArtwork { objectName: "declared"; width: 100; aspect: 1; kind: "tv"; artwork: "%4" }
    AsyncArtwork { objectName: "undeclared"; width: 100; aspect: 1; kind: "tv"; artwork: "%5" }
}
)")
                                                  .arg(vector.toString(), huge.toString(), big.toString(),
                                                       declared.toString(), undeclared.toString())
                                                  .toUtf8());
    QmlScreenHarness screen([](QQmlEngine& engine) { sendra::ui::registerAppQml(engine); }, {600, 200});
    ASSERT_TRUE(screen.load(scene, {})) << warningsOf(screen);
    EXPECT_TRUE(QTest::qWaitFor([&] { return screen.property("big", "loaded").toBool(); }, 10000));
    EXPECT_EQ(screen.property("big.image", "implicitWidth").toDouble(), 90.0);
    for (const char* name : {"vector", "huge", "declared", "undeclared"}) {
        const QString item = QString::fromLatin1(name);
        EXPECT_TRUE(QTest::qWaitFor([&] { return screen.property(item + ".image", "status").toInt() == 1; }, 10000))
            << name;
        EXPECT_FALSE(screen.property(item, "loaded").toBool()) << name;
        EXPECT_TRUE(screen.isShown(item + ".placeholder")) << name;
    }
    EXPECT_TRUE(screen.warnings().isEmpty()) << warningsOf(screen);

    // Ten posters from two hosts, each held by its server: four transfers start at a time (a transfer held past a
    // second lets another start, up to six), and all of them arrive.
    sendra::fakes::FakePlaylistHost other;
    QStringList tiles;
    for (int i = 0; i < 10; ++i) {
        sendra::fakes::FakePlaylistHost& server = i % 2 ? other : host;
        sendra::fakes::Reply poster = sendra::fakes::Reply::text(greyPng(300 + i, 200).toStdString());
        poster.contentType = "image/png";
        const QUrl address = server.publish("/art/" + std::to_string(i) + ".png", std::move(poster).held());
        tiles << QStringLiteral(R"(AsyncArtwork { objectName: "p%1"; width: 50; aspect: 1; kind: "tv"; artwork: "%2" })")
                     .arg(i)
                     .arg(address.toString());
    }
    QmlScreenHarness many([](QQmlEngine& engine) { sendra::ui::registerAppQml(engine); }, {600, 100});
    QTemporaryDir manyFolder;
    ASSERT_TRUE(many.load(writeScene(manyFolder, ("Row {\n" + tiles.join('\n') + "\n}\n").toUtf8()), {}))
        << warningsOf(many);
    EXPECT_TRUE(QTest::qWaitFor([&] { return host.heldCount() + other.heldCount() == 4; }, 10000));
    QTest::qWait(300);
    EXPECT_EQ(host.heldCount() + other.heldCount(), 4u);
    std::size_t most = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            most = std::max(most, host.heldCount() + other.heldCount());
            host.release();
            other.release();
            for (int i = 0; i < 10; ++i)
                if (!many.property(QStringLiteral("p%1").arg(i), "loaded").toBool())
                    return false;
            return true;
        },
        15000));
    EXPECT_LE(most, 6u);
    EXPECT_TRUE(many.warnings().isEmpty()) << warningsOf(many);
}
