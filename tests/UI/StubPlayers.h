#pragma once

#include "Shared/PlayerSession.h"
#include "Shared/VlcEngine.h"
#include "UI/PlayerHost.h"

#include "OrrinthCore/PlaybackRequest.h"

#include <QTcpServer>

#include <memory>

namespace uitest {

// Players that open nothing: every stream goes to a loopback port that takes the connection and never answers.
// The test makes a player report progress; stopped with a report, a player delivers `finalReport` (when above
// 0) from inside the stop, as the real controller does.
struct StubPlayers {
    QTcpServer silent;
    double finalReport = 0;

    ui::SessionFactory factory()
    {
        playback::VlcEngine::setInstanceArguments({QStringLiteral("--aout=adummy")});
        silent.listen(QHostAddress::LocalHost);
        const QUrl nowhere(QStringLiteral("http://127.0.0.1:%1/silent.ts").arg(silent.serverPort()));
        return [this, nowhere](const orrinth::PlaybackRequest& request, QObject* parent) {
            const orrinth::PlaybackRequest quiet(request.item(), nowhere, request.episodeURLs(), request.episodeIndex(),
                                                 request.resumeProgress());
            auto* session = new playback::PlayerSession(quiet, nullptr, {}, parent);
            auto reported = std::make_shared<bool>(false);
            QObject::connect(session, &playback::PlayerSession::screenChanged, session, [this, session, reported] {
                if (!session->isClosing() || *reported)
                    return;
                *reported = true;
                if (finalReport > 0)
                    emit session->progressReported(finalReport);
            });
            return session;
        };
    }
};

} // namespace uitest
