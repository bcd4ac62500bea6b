#include "MediaClips.h"

#include <QFile>
#include <QMap>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace sendra::testing {

namespace {

QStringList ffmpegArguments(Clip clip, const QString &output, const QString &subtitles)
{
    const QStringList video{"-f", "lavfi", "-i", "testsrc=size=160x120:rate=25"};
    const QStringList tone{"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100"};
    const QStringList h264{"-c:v", "libx264", "-preset", "ultrafast", "-pix_fmt", "yuv420p", "-g", "25"};
    const QStringList aac{"-c:a", "aac", "-b:a", "64k"};
    QStringList arguments{"-hide_banner", "-loglevel", "error", "-y"};
    switch (clip) {
    case Clip::mp4:
        arguments << video << tone << "-t" << "8" << h264 << aac << "-movflags" << "+faststart";
        break;
    case Clip::ts:
        arguments << video << tone << "-t" << "8" << h264 << aac << "-f" << "mpegts";
        break;
    case Clip::audioOnly:
        arguments << tone << "-t" << "8" << aac << "-f" << "mpegts";
        break;
    case Clip::longMp4:
        arguments << video << tone << "-t" << "30" << h264 << aac << "-movflags" << "+faststart";
        break;
    case Clip::shortTs:
        arguments << video << tone << "-t" << "2" << h264 << aac << "-f" << "mpegts";
        break;
    case Clip::wide:
        arguments << "-f" << "lavfi" << "-i" << "testsrc=size=720x576:rate=25" << "-vf" << "setsar=64/45" << "-t"
                  << "2" << h264 << "-movflags" << "+faststart";
        break;
    case Clip::tracks:
        arguments << video << tone << "-f" << "lavfi" << "-i" << "sine=frequency=880:sample_rate=44100" << "-i"
                  << subtitles << "-map" << "0:v" << "-map" << "1:a" << "-map" << "2:a" << "-map" << "3:s" << "-t"
                  << "8" << h264 << aac << "-c:s" << "srt" << "-metadata:s:a:0" << "language=spa"
                  << "-metadata:s:a:1" << "language=eng" << "-metadata:s:s:0" << "language=spa" << "-f"
                  << "matroska";
        break;
    case Clip::red:
        arguments << "-f" << "lavfi" << "-i" << "color=c=red:size=64x64:rate=25" << "-t" << "2" << h264
                  << "-movflags" << "+faststart";
        break;
    }
    return arguments << output;
}

} // namespace

QByteArray mediaClip(Clip clip)
{
    static QMap<Clip, QByteArray> made;
    if (made.contains(clip))
        return made.value(clip);
    // Only for as long as ffmpeg writes: a process that is killed later (the demo services) leaves nothing behind.
    const QTemporaryDir folder;
    const QString output = folder.filePath(QStringLiteral("clip-%1.%2").arg(int(clip)).arg(
        clip == Clip::ts || clip == Clip::audioOnly || clip == Clip::shortTs ? "ts"
        : clip == Clip::tracks                                               ? "mkv"
                                                                             : "mp4"));
    const QString subtitles = folder.filePath(QStringLiteral("subtitles.srt"));
    if (clip == Clip::tracks) {
        QFile srt(subtitles);
        if (srt.open(QIODevice::WriteOnly))
            srt.write("1\n00:00:00,000 --> 00:00:08,000\nHola\n\n");
    }
    QByteArray content;
    if (folder.isValid() &&
        QProcess::execute(QStringLiteral("ffmpeg"), ffmpegArguments(clip, output, subtitles)) == 0) {
        QFile file(output);
        if (file.open(QIODevice::ReadOnly))
            content = file.readAll();
    }
    made.insert(clip, content);
    return content;
}

} // namespace sendra::testing
