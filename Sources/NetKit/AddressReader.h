#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QUrl>

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace netkit {

// The characters of UTF-8 `bytes`, a leading U+FEFF included: QString::fromUtf8 takes it for a byte-order mark and
// drops it, but inside a text it is a character like any other.
QString utf8Text(std::string_view bytes);

// Parses address texts the way QUrl does in the given mode, fast enough for a catalogue of 600,000 entries: the
// scheme and authority of each distinct origin are parsed once and only the path of each address after that.
// Texts outside the plain http(s) form take QUrl's own road. One reader per parse; not thread-safe.
class AddressReader
{
public:
    explicit AddressReader(QUrl::ParsingMode mode = QUrl::TolerantMode) : m_mode(mode) {}

    // Nothing for an empty text or one that QUrl cannot make a valid address of.
    std::optional<QUrl> read(std::string_view utf8);

    // A playlist's stream address: an absolute address of a scheme media is streamed over (see
    // isNetworkStreamScheme); anything else ("[NO STREAM]", "movie/2.mkv", "file:///etc/passwd") is none.
    std::optional<QUrl> readStream(std::string_view utf8);

    // True when `utf8` is a valid http or https address (with a host) that QUrl keeps exactly as written: its
    // fully encoded text is `utf8` itself, so the text can be kept without making a QUrl.
    bool keepsAsWritten(std::string_view utf8);

    // The address relative references are resolved against by encoded(), as QUrl::resolved resolves them. Only an
    // http or https base with a host is used; with none, relative references are left to QUrl.
    void setBase(const QUrl& base);

    // The fully encoded text QUrl gives for `utf8` (QUrl::toEncoded() of read(), resolved against the base when it is
    // a relative reference), when that is an http or https address with a host that can be written from the bytes
    // alone: `utf8` itself when QUrl keeps it as written, else the text written into `scratch`. Nothing where QUrl
    // must be asked (it may still find an address there, or none). Both the text and what it gives are printable
    // ASCII then.
    std::optional<QByteArrayView> encoded(std::string_view utf8, QByteArray& scratch);

    static std::optional<QUrl> readSlowly(std::string_view utf8, QUrl::ParsingMode mode = QUrl::TolerantMode);

private:
    struct Origin {
        std::string text;
        QUrl url;
        bool asWritten = false; // QUrl gives `text` back as its fully encoded form
    };

    std::size_t originLength(std::string_view text) const;
    const Origin* originFor(std::string_view prefix);
    std::optional<QByteArrayView> resolved(std::string_view reference, QByteArray& scratch);

    QUrl::ParsingMode m_mode;
    std::vector<Origin> m_origins;
    std::size_t m_lastOrigin = 0;

    // The base's fully encoded pieces, when it has the form encoded() resolves against.
    bool m_hasBase = false;
    std::string m_baseOrigin;    // "http://host:port", with any user information
    std::string m_baseDotless;   // its path without dot segments, for a reference with no path
    std::string m_baseQuery;     // "?..." when the base has a query, for a reference of a fragment only
    std::string m_baseDirectory; // up to its last "/": what a relative path is written after
    bool m_baseDirectoryHasDots = false;
};

} // namespace netkit
