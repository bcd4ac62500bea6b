// Shows the player screen for one stream, for trying an address by hand before the application shell exists:
//   sendra-player-harness http://host/live/u/p/1.ts --item-title "Canal" --kind tv
// Progress reports and status changes are printed on standard output; closing the player ends the program.

#include "Shared/PlaybackQml.h"
#include "Shared/PlayerSession.h"
#include "Shared/VlcEngine.h"

#include "OrrinthCore/PlaybackRequest.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QNetworkAccessManager>
#include <QQmlEngine>
#include <QQuickView>
#include <QTextStream>
#include <QTimer>

#include <cstdio>

using namespace sendra::playback;

namespace {

QString extensionOf(const QUrl &url)
{
    const QString name = url.path().section(u'/', -1);
    return name.contains(u'.') ? name.section(u'.', -1) : QString();
}

} // namespace

int main(int argc, char *argv[])
{
    // The FFmpeg backend is the one that opens http addresses; it must be chosen before the application exists.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    QGuiApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("sendra-player-harness"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Shows the Sendra player screen for one stream address."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("address"), QStringLiteral("The stream address to play."));
    const QCommandLineOption titleOption(QStringLiteral("item-title"), QStringLiteral("Title shown in the controls."),
                                         QStringLiteral("text"), QStringLiteral("Sendra"));
    const QCommandLineOption kindOption(QStringLiteral("kind"), QStringLiteral("tv, movies or series."),
                                        QStringLiteral("kind"), QStringLiteral("movies"));
    const QCommandLineOption resumeOption(QStringLiteral("resume"), QStringLiteral("Start fraction, 0 to 0.94."),
                                          QStringLiteral("fraction"), QStringLiteral("0"));
    const QCommandLineOption episodesOption(QStringLiteral("episode"),
                                            QStringLiteral("An episode address (repeat for a series; the first "
                                                           "equal to the address is the current one)."),
                                            QStringLiteral("address"));
    const QCommandLineOption languageOption(QStringLiteral("lang"), QStringLiteral("es or en."),
                                            QStringLiteral("code"));
    const QCommandLineOption silentOption(QStringLiteral("dummy-audio"),
                                          QStringLiteral("Play without a sound device (VLC's dummy output)."));
    const QCommandLineOption screenshotOption(QStringLiteral("screenshot"),
                                              QStringLiteral("Save the window to this PNG after --after seconds, "
                                                             "then quit (for looking at the screen under Xvfb)."),
                                              QStringLiteral("file"));
    const QCommandLineOption afterOption(QStringLiteral("after"), QStringLiteral("Seconds before the screenshot."),
                                         QStringLiteral("seconds"), QStringLiteral("4"));
    const QCommandLineOption timeScaleOption(QStringLiteral("time-scale"),
                                             QStringLiteral("Multiply the player's waits (watchdog, reconnection, "
                                                            "control hiding) by this factor."),
                                             QStringLiteral("factor"), QStringLiteral("1"));
    parser.addOptions({titleOption, kindOption, resumeOption, episodesOption, languageOption, silentOption,
                       screenshotOption, afterOption, timeScaleOption});
    parser.process(app);

    const QStringList positional = parser.positionalArguments();
    const QUrl address = positional.isEmpty() ? QUrl() : QUrl::fromUserInput(positional.first());
    if (!address.isValid() || address.scheme().isEmpty()) {
        std::fputs("sendra-player-harness: give one stream address (see --help)\n", stderr);
        return 2;
    }
    const auto kind = orrinth::contentKindFromRawValue(parser.value(kindOption));
    if (!kind) {
        std::fputs("sendra-player-harness: --kind is tv, movies or series\n", stderr);
        return 2;
    }
    if (parser.isSet(silentOption))
        VlcEngine::setInstanceArguments({QStringLiteral("--aout=adummy")});

    QList<QUrl> episodes;
    for (const QString &episode : parser.values(episodesOption))
        episodes.append(QUrl::fromUserInput(episode));
    const qint64 episodeIndex = std::max<qint64>(0, episodes.indexOf(address));

    const orrinth::CatalogItem item(QStringLiteral("harness"), parser.value(titleOption), QString(), QString(),
                                    std::nullopt, extensionOf(address), kind, std::nullopt);
    const orrinth::PlaybackRequest request(item, address, episodes, episodeIndex,
                                           parser.value(resumeOption).toDouble());

    QNetworkAccessManager network;
    const double timeScale = parser.value(timeScaleOption).toDouble();
    PlayerSession session(request, &network, PlaybackTimings{}.scaled(timeScale > 0 ? timeScale : 1.0));
    if (parser.isSet(languageOption))
        session.setLanguage(parser.value(languageOption));

    QTextStream out(stdout);
    QObject::connect(&session, &PlayerSession::progressReported, [&out](double fraction) {
        out << "progress " << fraction << Qt::endl;
    });
    // Status changes show what the player makes of a stream: a channel that ends must reconnect, not freeze.
    QString lastStatus;
    QObject::connect(&session, &PlayerSession::screenChanged, [&out, &session, &lastStatus] {
        const QString status = session.failed() ? QStringLiteral("failed: ") + session.localizedStatusMessage()
                                                : session.localizedStatusMessage();
        if (status == lastStatus)
            return;
        lastStatus = status;
        out << "status " << status << Qt::endl;
    });
    QObject::connect(&session, &PlayerSession::previousEpisodeRequested, [&out] { out << "previous episode" << Qt::endl; });
    QObject::connect(&session, &PlayerSession::nextEpisodeRequested, [&out] { out << "next episode" << Qt::endl; });
    QObject::connect(&session, &PlayerSession::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    QQuickView view;
    registerPlaybackQml(*view.engine());
    view.setTitle(parser.value(titleOption));
    view.setColor(Qt::black);
    view.setResizeMode(QQuickView::SizeRootObjectToView);
    view.resize(960, 600);
    view.setInitialProperties({{QStringLiteral("session"), QVariant::fromValue(&session)}});
    view.setSource(QUrl(QStringLiteral("qrc:/qt/qml/Sendra/Playback/PlayerScreen.qml")));
    if (view.status() != QQuickView::Ready)
        return 1;
    view.show();

    if (parser.isSet(screenshotOption)) {
        const QString file = parser.value(screenshotOption);
        QTimer::singleShot(int(parser.value(afterOption).toDouble() * 1000), &view, [&view, &session, file] {
            view.grabWindow().save(file);
            session.close();
        });
    }
    const int status = app.exec();
    // The window going away stops playback with a last report, like the close button.
    view.setSource(QUrl());
    return status;
}
