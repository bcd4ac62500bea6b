// Sendra: starts the application as the product of the bundle it runs from.

#include "UI/SendraApplication.h"

#include <QGuiApplication>
#include <QQuickStyle>

int main(int argc, char* argv[])
{
    // The FFmpeg media back end is the one that opens http addresses; it must be chosen before the application
    // object exists.
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "ffmpeg");
    QGuiApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("Sendra"));
    app.setOrganizationName(QStringLiteral("Sendra"));
    // The screens draw their own dark look; the desktop's style may be light.
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    sendra::ui::SendraApplication sendra;
    sendra.handleTerminationSignals();
    if (!sendra.start())
        return 1;
    return app.exec();
}
