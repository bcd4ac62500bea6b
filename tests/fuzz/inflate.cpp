// The body decoder over arbitrary bytes, cut into pieces the way the network cuts them: it never crashes, never
// hangs, never hands out more than it was asked for at once, and gives the same bytes (and the same verdict) however
// the input is cut, its first byte alone included, both by itself and on its worker. Outputs are kept small so that
// many inputs and many cuts run each second.
#include "FuzzSupport.h"

#include "NetKit/BodyDecoder.h"

#include <QByteArray>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace {

// Decoded bytes looked at; a bomb is cut here (or at a smaller bound given), whatever the split.
constexpr qsizetype kEnough = 64 * 1024;

struct Decoded {
    QByteArray bytes;
    bool cut = false;      // stopped at its bound: only a prefix of the whole
    bool readable = false; // decoded to its end, and nothing follows
};

// How a body is cut into pieces: each of its first `alone` bytes alone, then `piece` bytes at a time.
struct Cuts {
    qsizetype alone = 0;
    qsizetype piece = 1;

    // Calls `take` with each piece in order, until it returns false.
    template <class Take>
    void over(QByteArrayView body, Take take) const
    {
        for (qsizetype at = 0; at < body.size();) {
            const qsizetype size = at < alone ? 1 : qMin(piece, body.size() - at);
            if (!take(body.sliced(at, size)))
                return;
            at += size;
        }
    }
};

Decoded inflated(netkit::ContentCoding coding, QByteArrayView body, Cuts cuts, qsizetype most,
                 qsizetype enough = kEnough)
{
    netkit::Inflater inflater(coding);
    Decoded out;
    cuts.over(body, [&](QByteArrayView piece) {
        inflater.append(piece.toByteArray());
        while (!inflater.failed()) {
            const QByteArray next = inflater.next(most);
            fuzz::require(next.size() <= most, "a piece is never larger than asked for");
            if (next.isEmpty())
                break;
            out.bytes += next;
            if (out.bytes.size() >= enough) {
                out.bytes.truncate(enough);
                out.cut = true;
                return false;
            }
        }
        return !inflater.failed();
    });
    if (out.cut)
        return out;
    fuzz::require(!inflater.failed() || inflater.next(most).isEmpty(), "nothing comes out of corrupt data");
    out.readable = !inflater.failed() && inflater.complete();
    return out;
}

// The same on the decoder's worker, as the network session drives it (without its event loop): every piece is
// pushed as it comes, and what comes out is taken whenever the worker says so.
Decoded decodedOnWorker(netkit::ContentCoding coding, QByteArrayView body, Cuts cuts)
{
    struct Signal {
        std::mutex mutex;
        std::condition_variable woken;
        bool wake = false;
    };
    const auto signal = std::make_shared<Signal>();
    const auto decoder = netkit::BodyDecoder::create(coding, [signal] {
        const std::lock_guard lock(signal->mutex);
        signal->wake = true;
        signal->woken.notify_all();
    });
    Decoded out;
    const auto take = [&] {
        for (const QByteArray& piece : decoder->takeOutput())
            out.bytes += piece;
        if (out.bytes.size() < kEnough)
            return false;
        decoder->stop();
        out.bytes.truncate(kEnough);
        out.cut = true;
        return true;
    };
    cuts.over(body, [&](QByteArrayView piece) {
        fuzz::require(decoder->wantsInput() || decoder->state() != netkit::BodyDecoder::State::Decoding,
                      "a small body never fills the decoder's input");
        decoder->push(piece.toByteArray());
        return !take();
    });
    if (out.cut)
        return out;
    decoder->endInput();
    while (decoder->state() == netkit::BodyDecoder::State::Decoding) {
        {
            std::unique_lock lock(signal->mutex);
            // Far longer than any input here takes, even under the sanitizers on a busy machine.
            const bool woken = signal->woken.wait_for(lock, std::chrono::seconds(5), [&] { return signal->wake; });
            fuzz::require(woken, "the decoder's worker ends once its input has ended");
            signal->wake = false;
        }
        if (take())
            return out;
    }
    out.readable = decoder->state() == netkit::BodyDecoder::State::Done;
    return out;
}

// Whatever the cuts, both are the start of the same decoded bytes (corrupt data ends each wherever it is found);
// run to their ends, they agree on every byte and on the verdict.
void requireSame(const Decoded& whole, const Decoded& cut, const char* how)
{
    const qsizetype common = qMin(whole.bytes.size(), cut.bytes.size());
    fuzz::require(whole.bytes.first(common) == cut.bytes.first(common), how);
    if (!whole.cut && !cut.cut) {
        fuzz::require(whole.readable == cut.readable, how);
        if (whole.readable)
            fuzz::require(whole.bytes == cut.bytes, how);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::Input input(data, size);
    const auto coding = input.selector & 1 ? netkit::ContentCoding::Deflate : netkit::ContentCoding::Gzip;
    const QByteArrayView body = input.body;
    const qsizetype step = (input.selector >> 1) & 0x1f;
    const qsizetype piece = 1 + step * step;
    const qsizetype most = 1 + (input.selector >> 6) * 7;

    const Decoded whole = inflated(coding, body, {0, qMax<qsizetype>(body.size(), 1)}, kEnough);
    // Every byte alone where the headers and the first blocks are, handed out a few bytes at a time: the bytes zlib
    // holds back for a full output count too.
    requireSame(whole, inflated(coding, body, {1024, piece}, most, 4096),
                "every byte alone decodes to the bytes of the whole");
    requireSame(whole, inflated(coding, body, {1, piece}, 512, 16 * 1024),
                "the first byte alone, then pieces, decode to the bytes of the whole");
    // On the worker, in at most a few dozen pieces, so that many inputs run each second.
    requireSame(whole, decodedOnWorker(coding, body, {1, qMax(piece, body.size() / 24 + 1)}),
                "the worker decodes the pieces to the bytes of the whole");
    return 0;
}
