#include "UI/PictureHeader.h"

#include <cstring>
#include <limits>

namespace sendra::ui {

namespace {

quint32 bigEndian32(const char* at)
{
    return (quint32(quint8(at[0])) << 24) | (quint32(quint8(at[1])) << 16) | (quint32(quint8(at[2])) << 8) |
           quint32(quint8(at[3]));
}

} // namespace

QByteArray pictureFormat(QByteArrayView head)
{
    if (head.startsWith("\x89PNG\r\n\x1a\n"))
        return "png";
    if (head.startsWith("\xff\xd8\xff"))
        return "jpeg";
    if (head.startsWith("GIF87a") || head.startsWith("GIF89a"))
        return "gif";
    if (head.startsWith("BM"))
        return "bmp";
    if (head.size() >= 12 && head.startsWith("RIFF") && head.sliced(8, 4) == "WEBP")
        return "webp";
    return {};
}

PictureHeader readPictureHeader(QByteArrayView bytes, QByteArrayView format)
{
    PictureHeader header;
    const auto byte = [&bytes](qsizetype at) { return quint8(bytes[at]); };
    if (format == "png" && bytes.size() >= 24) {
        // Two sides of 32 bits: their product fits unsigned, and a size past what a signed one holds is refused
        // as any other too large (wrapped, it read as no size at all).
        const quint64 pixels = quint64(bigEndian32(bytes.data() + 16)) * bigEndian32(bytes.data() + 20);
        header.pixels = qint64(qMin<quint64>(pixels, std::numeric_limits<qint64>::max()));
    } else if (format == "gif" && bytes.size() >= 10) {
        header.pixels = qint64(byte(6) | byte(7) << 8) * (byte(8) | byte(9) << 8);
    } else if (format == "jpeg") {
        qsizetype at = 2;
        while (at + 1 < bytes.size()) {
            if (byte(at) != 0xff) {
                // Entropy-coded data: the next marker is the next 0xff not followed by a stuffed 0 or a restart.
                const void* next = memchr(bytes.data() + at, 0xff, size_t(bytes.size() - at));
                if (!next)
                    break;
                at = static_cast<const char*>(next) - bytes.data();
                continue;
            }
            const quint8 marker = byte(at + 1);
            if (marker == 0xff) { // fill byte
                ++at;
                continue;
            }
            // Markers without a length: a stuffed 0, TEM, SOI and the restarts.
            if (marker == 0x00 || marker == 0x01 || marker == 0xd8 || (marker >= 0xd0 && marker <= 0xd7)) {
                at += 2;
                continue;
            }
            if (marker == 0xd9 || at + 3 >= bytes.size())
                break;
            const bool frame = marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
            if (frame && at + 8 < bytes.size())
                header.pixels = qint64(byte(at + 5) << 8 | byte(at + 6)) * (byte(at + 7) << 8 | byte(at + 8));
            if (marker == 0xda && ++header.scans > kMostScans)
                break;
            at += 2 + (byte(at + 2) << 8 | byte(at + 3));
        }
    }
    return header;
}

QByteArray withoutPngText(QByteArray png)
{
    constexpr qsizetype kSignature = 8;
    if (png.size() <= kSignature)
        return png;
    char* data = png.data();
    qsizetype read = kSignature;
    qsizetype write = kSignature;
    while (png.size() - read >= 12) {
        const qint64 length = bigEndian32(data + read);
        if (length > png.size() - read - 12)
            break; // cut short: left for the decoder to refuse
        // The type is judged before the chunk moves: moving it over its own place overwrites the bytes read here.
        const QByteArrayView type(data + read + 4, 4);
        const bool last = type == "IEND";
        const qsizetype chunk = 12 + qsizetype(length);
        if (type != "tEXt" && type != "zTXt" && type != "iTXt") {
            if (write != read)
                memmove(data + write, data + read, size_t(chunk));
            write += chunk;
        }
        read += chunk;
        if (last)
            break;
    }
    if (write == read)
        return png;
    memmove(data + write, data + read, size_t(png.size() - read));
    png.truncate(write + (png.size() - read));
    return png;
}

} // namespace sendra::ui
