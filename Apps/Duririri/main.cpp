// Sendra: starts the application as the product of the bundle it runs from.

#include "NetKit/Workers.h"
#include "State/FirstConnect.h"
#include "State/ReleaseOnWorker.h"
#include "UI/SendraApplication.h"

#include <QGuiApplication>
#include <QQuickStyle>
#include <QQuickWindow>

#include <cstdio>

int main(int argc, char* argv[])
{
    sendra::mapLargeBlocksApart();
    // The FFmpeg media back end is the one that opens http addresses; it must be chosen before the application
    // object exists.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    QGuiApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Sendra"));
    app.setOrganizationName(QStringLiteral("Sendra"));
    // The screens draw their own dark look; the desktop's style may be light.
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    int code = 0;
    {
        sendra::ui::SendraApplication sendra;
        sendra.handleTerminationSignals();
        if (!sendra.start())
            return 1;
        sendra::prepareForFirstConnect();
        // For the start-up benchmark: report the first frame drawn once the access screen is up, then quit.
        if (qEnvironmentVariableIsSet("SENDRA_BENCH_FIRST_FRAME")) {
            QObject::connect(sendra.window(), &QQuickWindow::frameSwapped, &app, [&sendra] {
                if (sendra.deck() && sendra.deck()->phase() == sendra::CommandDeck::Phase::access) {
                    std::puts("access-frame");
                    std::fflush(stdout);
                    std::_Exit(0);
                }
            });
        }
        code = app.exec();
    }
    // Everything the application keeps is saved by now. A worker still reading (a slow piece of a playlist) must not
    // hold the process: its work is not wanted any more.
    return netkit::leaveProcess(code);
}
