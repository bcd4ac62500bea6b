#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageWriter>
#include <QList>
#include <QRandomGenerator>

#include <utility>

// Pictures a hostile picture host could send, made at run time: compressed text that inflates to hundreds of
// megabytes, extreme proportions, a progressive JPEG that repeats one scan without end. Header-only (Qt GUI).
namespace sendra::fakes {

inline quint32 pngCrc(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline QByteArray bigEndian32(quint32 value)
{
    QByteArray out;
    for (int shift = 24; shift >= 0; shift -= 8)
        out += char(quint8(value >> shift));
    return out;
}

inline QByteArray pngChunk(const char* type, const QByteArray& data)
{
    const QByteArray typed = QByteArray(type) + data;
    return bigEndian32(quint32(data.size())) + typed + bigEndian32(pngCrc(typed));
}

// A real grey PNG of any size (a huge one takes a few kilobytes), with `extra` chunks between its header and its
// pixels.
inline QByteArray greyPng(int width, int height, const QList<QByteArray>& extra = {})
{
    QByteArray header = bigEndian32(quint32(width)) + bigEndian32(quint32(height));
    header += QByteArray("\x08\x00\x00\x00\x00", 5); // 8-bit grey, no interlace
    QByteArray rows(qsizetype(width + 1) * height, '\x80');
    for (int row = 0; row < height; ++row)
        rows[qsizetype(row) * (width + 1)] = 0;        // no filter
    const QByteArray idat = qCompress(rows, 9).mid(4); // qCompress puts a length before the zlib stream
    QByteArray png = QByteArray("\x89PNG\r\n\x1a\n") + pngChunk("IHDR", header);
    for (const QByteArray& chunk : extra)
        png += chunk;
    return png + pngChunk("IDAT", idat) + pngChunk("IEND", {});
}

// A 300x450 poster carrying `chunks` compressed text chunks (zTXt, or iTXt when `international`), each inflating
// to `inflatedEach` bytes (about a thousand times their size).
inline QByteArray pngWithCompressedText(int chunks, qsizetype inflatedEach, bool international = false)
{
    const QByteArray text = qCompress(QByteArray(inflatedEach, 'a'), 9).mid(4);
    QList<QByteArray> extra;
    for (int i = 0; i < chunks; ++i) {
        const QByteArray keyword = "Comment" + QByteArray::number(i);
        extra << (international ? pngChunk("iTXt", keyword + QByteArray("\0\x01\x00\0\0", 5) + text)
                                : pngChunk("zTXt", keyword + QByteArray("\0\0", 2) + text));
    }
    return greyPng(300, 450, extra);
}

// A JPEG of random colours (it compresses badly: about two bytes a pixel at quality 100), or of one flat colour.
inline QByteArray noiseJpeg(int width, int height, int quality, bool progressive, bool flat = false)
{
    QImage noise(width, height, QImage::Format_RGB32);
    noise.fill(QColor(90, 140, 200));
    auto* random = QRandomGenerator::global();
    for (int y = 0; y < height && !flat; ++y) {
        auto* line = reinterpret_cast<quint32*>(noise.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = 0xff000000u | (random->generate() & 0xffffffu);
    }
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.setProgressiveScanWrite(progressive);
    writer.write(noise);
    return out;
}

// The scans of a JPEG (each from its SOS marker to the next marker that is not a restart), as [begin, end).
inline QList<std::pair<qsizetype, qsizetype>> jpegScans(const QByteArray& jpeg)
{
    QList<std::pair<qsizetype, qsizetype>> scans;
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && quint8(jpeg[at]) == 0xff) {
        const quint8 marker = quint8(jpeg[at + 1]);
        if (marker == 0xd9)
            break;
        const qsizetype length = (quint8(jpeg[at + 2]) << 8) | quint8(jpeg[at + 3]);
        qsizetype end = at + 2 + length;
        if (marker == 0xda) {
            while (end + 1 < jpeg.size() && !(quint8(jpeg[end]) == 0xff && jpeg[end + 1] != 0 &&
                                              !(quint8(jpeg[end + 1]) >= 0xd0 && quint8(jpeg[end + 1]) <= 0xd7)))
                ++end;
            scans.append({at, end});
        }
        at = end;
    }
    return scans;
}

// A progressive JPEG of `width`x`height` in one flat colour whose scan number `scan` is repeated `times` more
// before its end: each copy takes a few bytes, and the decoder runs it over the whole picture.
inline QByteArray jpegRepeatingScan(int width, int height, int times, int scan)
{
    const QByteArray jpeg = noiseJpeg(width, height, 90, true, true);
    const auto scans = jpegScans(jpeg);
    const auto [begin, end] = scans.value(scan);
    const QByteArray repeated = jpeg.mid(begin, end - begin);
    QByteArray out = jpeg.left(scans.last().second);
    out.reserve(out.size() + repeated.size() * times + 2);
    for (int i = 0; i < times; ++i)
        out += repeated;
    return out + QByteArray("\xff\xd9", 2);
}

} // namespace sendra::fakes
