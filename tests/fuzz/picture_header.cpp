// The picture header readers over arbitrary bytes: telling the format, reading the declared size and the JPEG scans,
// and dropping PNG text chunks never read past the end, never loop without moving on, and keep their promises:
// scans are counted to one past the most allowed, a prefix never counts more scans than the whole, and stripping
// only ever shrinks a PNG, keeps its signature, and leaves nothing to strip a second time.
#include "FuzzSupport.h"

#include "UI/PictureHeader.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sendra::ui;
    const fuzz::Input input(data, size);
    // The body as it came, without a copy: a read past its end is one past the fuzzer's own buffer.
    const QByteArrayView body = input.body;
    static const QByteArrayView formats[] = {"", "png", "jpeg", "gif"};
    const QByteArray sniffed = pictureFormat(body);
    const QByteArrayView format = (input.selector & 3) == 0 ? QByteArrayView(sniffed) : formats[input.selector & 3];

    const PictureHeader whole = readPictureHeader(body, format);
    fuzz::require(whole.pixels >= -1, "a size is declared or not, never negative");
    fuzz::require(whole.scans >= 0 && whole.scans <= kMostScans + 1, "scans are counted to one past the most");
    const qsizetype cut = body.size() * (input.selector >> 2) / 64;
    const PictureHeader prefix = readPictureHeader(body.first(cut), format);
    fuzz::require(prefix.scans <= whole.scans, "a prefix never has more scans than the whole");

    if (format == "png" || (input.selector & 4)) {
        const QByteArray stripped = withoutPngText(body.toByteArray());
        fuzz::require(stripped.size() <= body.size(), "stripping never grows a picture");
        fuzz::require(body.size() <= 8 || stripped.first(8) == body.first(8), "the signature stays");
        fuzz::require(withoutPngText(stripped) == stripped, "nothing is left to strip");
    }
    return 0;
}
