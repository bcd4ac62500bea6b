#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace sendra::ui {

// What a picture's header declares, read from its bytes without a decoder. Pure functions over bytes, whatever they
// hold: nothing here reads past the end or loops without moving on.
struct PictureHeader {
    qint64 pixels = -1; // -1: not told by the header
    int scans = 0;      // JPEG only, counted up to one past kMostScans
};

// A progressive JPEG may repeat a scan of a few bytes thousands of times, and the decoder would run each over the
// whole picture: more than this many scans is refused before decoding.
constexpr int kMostScans = 32;

// The raster format told by a picture's first bytes ("png", "jpeg", "gif", "bmp", "webp"), or nothing: the address
// and the declared type say nothing a hostile host could not fake, and a vector picture (SVG) can name other
// files, local ones included, which the decoder would read.
QByteArray pictureFormat(QByteArrayView head);
// Bytes enough to tell every format above.
constexpr qsizetype kSniffBytes = 12;

// The header of a picture of `format` (as pictureFormat names it). A JPEG's scans are counted to the end (or one
// past the most allowed), its size taken from the last frame marker seen.
PictureHeader readPictureHeader(QByteArrayView bytes, QByteArrayView format);

// `png` without its text chunks (tEXt, zTXt, iTXt): the decoder would inflate compressed text, a thousand times its
// size per chunk and chunk after chunk, only to keep it beside the image. Chunks are walked by their declared
// lengths up to IEND; a chunk cut short ends the walk and stays, with all that follows, for the decoder to refuse.
// Works in place on a buffer of its own (pass it moved), so no second copy of the picture is made.
QByteArray withoutPngText(QByteArray png);

} // namespace sendra::ui
