// The body decoder over arbitrary bytes: it never crashes, never hands out more than it was asked for at once, and
// gives the same bytes (and the same verdict) however the input is cut into pieces.
#include "FuzzSupport.h"

#include "NetKit/BodyDecoder.h"

#include <QByteArray>

namespace {

struct Decoded
{
    QByteArray bytes;
    bool failed = false;
    bool complete = false;
};

Decoded inflateInPieces(netkit::ContentCoding coding, QByteArrayView body, qsizetype piece, qsizetype most)
{
    constexpr qsizetype kEnough = 8 * 1024 * 1024; // a bomb is cut here, the same way for every split
    netkit::Inflater inflater(coding);
    Decoded out;
    for (qsizetype at = 0; at < body.size() && !inflater.failed(); at += piece) {
        inflater.append(body.sliced(at, qMin(piece, body.size() - at)).toByteArray());
        while (out.bytes.size() < kEnough) {
            const QByteArray next = inflater.next(most);
            fuzz::require(next.size() <= most, "a piece is never larger than asked for");
            if (next.isEmpty())
                break;
            out.bytes += next;
        }
    }
    out.bytes.truncate(kEnough);
    out.failed = inflater.failed();
    out.complete = inflater.complete();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::Input input(data, size);
    const auto coding = input.selector & 1 ? netkit::ContentCoding::Deflate : netkit::ContentCoding::Gzip;
    const qsizetype piece = 1 + (input.selector >> 1);
    const Decoded whole = inflateInPieces(coding, input.body, qMax<qsizetype>(1, input.body.size()), 1 << 20);
    const Decoded cut = inflateInPieces(coding, input.body, piece, 1 + (input.selector >> 4));
    if (!whole.failed && !cut.failed && whole.bytes.size() < (8 << 20)) {
        fuzz::require(whole.bytes == cut.bytes, "the pieces decode to the same bytes as the whole");
        fuzz::require(whole.complete == cut.complete, "the same verdict on where the data ends");
    }
    return 0;
}
