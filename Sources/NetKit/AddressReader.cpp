#include "NetKit/AddressReader.h"

#include "NetKit/UrlCodec.h"

#include <QString>

#include <array>
#include <cstring>
#include <initializer_list>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace netkit {

namespace {

// Characters that QUrl keeps exactly as written in a path in every parsing mode, so parsing the path on its own
// gives the same address as parsing the whole text.
constexpr std::array<bool, 256> plainPathTable()
{
    std::array<bool, 256> table{};
    for (int c = 'a'; c <= 'z'; ++c)
        table[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c)
        table[c] = true;
    for (int c = '0'; c <= '9'; ++c)
        table[c] = true;
    for (const char c : std::string_view("-._~/!$&'()*+,;=:@"))
        table[static_cast<unsigned char>(c)] = true;
    return table;
}
constexpr auto kPlainPath = plainPathTable();

#ifdef __SSE2__
// Per byte of `v`: all ones where it is not printable ASCII or is one of `listed`.
__m128i unprintableOrOneOf(__m128i v, std::initializer_list<char> listed)
{
    const __m128i low = _mm_set1_epi8(0x20);  // bytes above it and
    const __m128i high = _mm_set1_epi8(0x7F); // below it are printable (signed: 0x80 and up are below 0)
    __m128i bad = _mm_or_si128(_mm_or_si128(_mm_cmpgt_epi8(low, v), _mm_cmpeq_epi8(v, low)), _mm_cmpeq_epi8(v, high));
    for (const char c : listed)
        bad = _mm_or_si128(bad, _mm_cmpeq_epi8(v, _mm_set1_epi8(c)));
    return bad;
}
#endif

// Every byte of `path` is in kPlainPath: printable ASCII but for the fourteen characters QUrl may encode or read
// apart. Sixteen bytes at a time, as every entry's addresses ask.
bool isPlainPath(std::string_view path)
{
    std::size_t i = 0;
#ifdef __SSE2__
    for (; i + 16 <= path.size(); i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(path.data() + i));
        const __m128i bad =
            unprintableOrOneOf(v, {'"', '#', '%', '<', '>', '?', '[', '\\', ']', '^', '`', '{', '|', '}'});
        if (_mm_movemask_epi8(bad) != 0)
            return false;
    }
#endif
    for (; i < path.size(); ++i)
        if (!kPlainPath[static_cast<unsigned char>(path[i])])
            return false;
    return true;
}

// How QUrl writes back the two hex digits of an escape: as they are when upper case, in upper case when not (it
// writes lower-case hex in upper case), and something else for the escape of a letter, a digit, "-", ".", "_" or "~"
// (those it decodes) or digits that are not hex.
enum class EscapeForm { kept, upperCased, other };

EscapeForm escapeForm(char high, char low)
{
    const auto nibble = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    const int h = nibble(high);
    const int l = nibble(low);
    if (h < 0 || l < 0)
        return EscapeForm::other;
    const char c = char(h * 16 + l);
    const bool unreserved = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                            c == '.' || c == '_' || c == '~';
    if (unreserved)
        return EscapeForm::other;
    return (high >= 'a' || low >= 'a') ? EscapeForm::upperCased : EscapeForm::kept;
}

// How QUrl writes `rest`, the path with any query and fragment after an origin, in every parsing mode: as it is when
// it holds plain path characters, "?" anywhere (it opens the query or belongs to it), one "#" (QUrl writes a second
// one as %23) and escapes it keeps; with the hex digits of its escapes upper-cased when some are lower case.
// Spaces, quotes, brackets, non-ASCII text and other escapes are something else, for QUrl to write.
EscapeForm restForm(std::string_view rest)
{
    bool fragment = false;
    bool upperCased = false;
    // `at` holds "#" or "%".
    const auto special = [&](std::size_t at) {
        if (rest[at] == '#') {
            if (fragment)
                return false;
            fragment = true;
            return true;
        }
        if (at + 2 >= rest.size())
            return false;
        const EscapeForm form = escapeForm(rest[at + 1], rest[at + 2]);
        upperCased |= form == EscapeForm::upperCased;
        return form != EscapeForm::other;
    };
    std::size_t i = 0;
#ifdef __SSE2__
    for (; i + 16 <= rest.size(); i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rest.data() + i));
        if (_mm_movemask_epi8(unprintableOrOneOf(v, {'"', '<', '>', '[', '\\', ']', '^', '`', '{', '|', '}'})) != 0)
            return EscapeForm::other;
        auto specials = unsigned(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('#')), _mm_cmpeq_epi8(v, _mm_set1_epi8('%')))));
        for (; specials != 0; specials &= specials - 1)
            if (!special(i + std::size_t(__builtin_ctz(specials))))
                return EscapeForm::other;
    }
#endif
    for (; i < rest.size(); ++i) {
        const char c = rest[i];
        if (c == '#' || c == '%') {
            if (!special(i))
                return EscapeForm::other;
        } else if (c != '?' && !kPlainPath[static_cast<unsigned char>(c)]) {
            return EscapeForm::other;
        }
    }
    return upperCased ? EscapeForm::upperCased : EscapeForm::kept;
}

bool keepsRestAsWritten(std::string_view rest)
{
    return restForm(rest) == EscapeForm::kept;
}

// The hex digits of the escapes in `text` (all checked by restForm) in upper case.
void upperCaseEscapes(char* text, std::size_t size)
{
    for (std::size_t i = 0; i + 2 < size; ++i) {
        if (text[i] == '%') {
            text[i + 1] = char(text[i + 1] >= 'a' ? text[i + 1] - ('a' - 'A') : text[i + 1]);
            text[i + 2] = char(text[i + 2] >= 'a' ? text[i + 2] - ('a' - 'A') : text[i + 2]);
            i += 2;
        }
    }
}

// RFC 3986's removal of "." and ".." segments from `path`, which starts with "/", in place: what QUrl::resolved does
// to the path it makes. Gives the new length.
std::size_t removeDotSegments(char* path, std::size_t size)
{
    std::size_t out = 0;
    for (std::size_t in = 0; in < size;) {
        // path[in] is the "/" opening a segment.
        const char* slash = static_cast<const char*>(std::memchr(path + in + 1, '/', size - in - 1));
        const std::size_t end = slash ? std::size_t(slash - path) : size;
        const std::string_view segment(path + in + 1, end - in - 1);
        if (segment == "." || segment == "..") {
            if (segment == "..")
                while (out > 0 && path[--out] != '/') {
                }
            if (end == size)
                path[out++] = '/'; // "/a/." and "/a/b/.." end in "/a/"
        } else {
            std::memmove(path + out, path + in, end - in);
            out += end - in;
        }
        in = end;
    }
    return out;
}

// The path of a reference (what comes before any "?" or "#") and what in it QUrl reads apart.
struct PathShape {
    std::size_t size = 0;
    bool colon = false;      // it may end a scheme
    bool dotSegment = false; // "." or ".." as a whole segment
};

PathShape pathShape(std::string_view reference)
{
    PathShape shape;
    std::size_t i = 0;
    for (; i < reference.size(); ++i) {
        const char c = reference[i];
        if (c == '?' || c == '#')
            break;
        shape.colon |= c == ':';
        if (c == '.' && (i == 0 || reference[i - 1] == '/')) {
            const std::size_t after = i + 1 < reference.size() && reference[i + 1] == '.' ? i + 2 : i + 1;
            shape.dotSegment |= after == reference.size() || reference[after] == '/' || reference[after] == '?' ||
                                reference[after] == '#';
        }
    }
    shape.size = i;
    return shape;
}

bool isHostChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == ':';
}

// The length of "http://host[:port]" when the text has that plain form (lower-case host, no user
// information, no IPv6 literal), else 0.
std::size_t plainOriginLength(std::string_view text)
{
    std::size_t start = 0;
    if (text.starts_with("http://"))
        start = 7;
    else if (text.starts_with("https://"))
        start = 8;
    else
        return 0;
    std::size_t end = start;
    while (end < text.size() && text[end] != '/') {
        if (!isHostChar(text[end]))
            return 0;
        ++end;
    }
    return end > start ? end : 0;
}

} // namespace

std::optional<QUrl> AddressReader::readStream(std::string_view utf8)
{
    // The plain road only takes "http://" and "https://" addresses with a host.
    if (originLength(utf8) > 0)
        return read(utf8);
    auto url = readSlowly(utf8, m_mode);
    if (!url || url->isRelative() || !isNetworkStreamScheme(url->scheme()))
        return std::nullopt;
    return url;
}

QString utf8Text(std::string_view bytes)
{
    qsizetype marks = 0;
    while (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
        ++marks;
    }
    QString decoded = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
    if (marks > 0)
        decoded.prepend(QString(marks, QChar(0xFEFF)));
    return decoded;
}

std::optional<QUrl> AddressReader::readSlowly(std::string_view utf8, QUrl::ParsingMode mode)
{
    if (utf8.empty())
        return std::nullopt;
    QUrl url(utf8Text(utf8), mode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

// Most addresses of a list share one origin: the one met last is tried before the host is scanned.
std::size_t AddressReader::originLength(std::string_view text) const
{
    if (m_lastOrigin < m_origins.size()) {
        const std::string& origin = m_origins[m_lastOrigin].text;
        if (text.starts_with(origin) && (text.size() == origin.size() || text[origin.size()] == '/'))
            return origin.size();
    }
    return plainOriginLength(text);
}

const AddressReader::Origin* AddressReader::originFor(std::string_view prefix)
{
    if (m_lastOrigin < m_origins.size() && m_origins[m_lastOrigin].text == prefix)
        return &m_origins[m_lastOrigin];
    for (std::size_t i = 0; i < m_origins.size(); ++i) {
        if (m_origins[i].text == prefix) {
            m_lastOrigin = i;
            return &m_origins[i];
        }
    }
    // A list that changes host at every entry gains nothing from the cache; keep it small.
    constexpr std::size_t kMaxOrigins = 32;
    if (m_origins.size() >= kMaxOrigins)
        return nullptr;
    auto url = readSlowly(prefix, m_mode);
    if (!url || !url->path().isEmpty())
        return nullptr;
    const bool asWritten =
        !url->host().isEmpty() && url->toEncoded() == QByteArrayView(prefix.data(), qsizetype(prefix.size()));
    m_origins.push_back(Origin{std::string(prefix), *url, asWritten});
    m_lastOrigin = m_origins.size() - 1;
    return &m_origins.back();
}

bool AddressReader::keepsAsWritten(std::string_view utf8)
{
    // The origin met last, compared once (originLength and originFor would each compare it).
    if (m_lastOrigin < m_origins.size()) {
        const Origin& last = m_origins[m_lastOrigin];
        if (utf8.starts_with(last.text) && (utf8.size() == last.text.size() || utf8[last.text.size()] == '/'))
            return last.asWritten && keepsRestAsWritten(utf8.substr(last.text.size()));
    }
    const std::size_t originLength = this->originLength(utf8);
    if (originLength == 0)
        return false;
    if (!keepsRestAsWritten(utf8.substr(originLength)))
        return false;
    const Origin* origin = originFor(utf8.substr(0, originLength));
    return origin && origin->asWritten;
}

std::optional<QUrl> AddressReader::read(std::string_view utf8)
{
    const std::size_t originLength = this->originLength(utf8);
    if (originLength == 0)
        return readSlowly(utf8, m_mode);
    const std::string_view path = utf8.substr(originLength);
    if (!isPlainPath(path))
        return readSlowly(utf8, m_mode);
    const Origin* origin = originFor(utf8.substr(0, originLength));
    if (!origin)
        return readSlowly(utf8, m_mode);
    QUrl url = origin->url;
    if (!path.empty())
        url.setPath(QString::fromLatin1(path.data(), qsizetype(path.size())), m_mode);
    return url;
}

void AddressReader::setBase(const QUrl& base)
{
    m_hasBase = base.isValid() && (base.scheme() == u"http" || base.scheme() == u"https") && !base.host().isEmpty();
    if (!m_hasBase)
        return;
    const QByteArray origin = base.toEncoded(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment);
    const QByteArray withPath = base.toEncoded(QUrl::RemoveQuery | QUrl::RemoveFragment);
    const QByteArray withQuery = base.toEncoded(QUrl::RemoveFragment);
    m_baseOrigin.assign(origin.constData(), std::size_t(origin.size()));
    const std::string path(withPath.constData() + origin.size(), std::size_t(withPath.size() - origin.size()));
    m_baseQuery.assign(withQuery.constData() + withPath.size(), std::size_t(withQuery.size() - withPath.size()));
    // Pieces that do not join back into the base (a path that does not start with "/" after an authority) are
    // left to QUrl.
    if (!withPath.startsWith(origin) || !withQuery.startsWith(withPath) || (!path.empty() && path[0] != '/')) {
        m_hasBase = false;
        return;
    }
    m_baseDotless = path;
    if (!m_baseDotless.empty())
        m_baseDotless.resize(removeDotSegments(m_baseDotless.data(), m_baseDotless.size()));
    m_baseDirectory = path.empty() ? std::string("/") : path.substr(0, path.rfind('/') + 1);
    m_baseDirectoryHasDots = pathShape(m_baseDirectory).dotSegment;
}

std::optional<QByteArrayView> AddressReader::encoded(std::string_view utf8, QByteArray& scratch)
{
    const Origin* origin = nullptr;
    std::size_t originLength = 0;
    if (m_lastOrigin < m_origins.size()) {
        const Origin& last = m_origins[m_lastOrigin];
        if (utf8.starts_with(last.text) && (utf8.size() == last.text.size() || utf8[last.text.size()] == '/')) {
            origin = &last;
            originLength = last.text.size();
        }
    }
    if (!origin) {
        originLength = plainOriginLength(utf8);
        if (originLength == 0)
            return resolved(utf8, scratch);
    }
    const std::string_view rest = utf8.substr(originLength);
    const EscapeForm form = restForm(rest);
    if (form == EscapeForm::other)
        return std::nullopt;
    if (!origin)
        origin = originFor(utf8.substr(0, originLength));
    if (!origin || !origin->asWritten)
        return std::nullopt;
    if (form == EscapeForm::kept)
        return QByteArrayView(utf8.data(), qsizetype(utf8.size()));
    scratch.resize(qsizetype(utf8.size()));
    std::memcpy(scratch.data(), utf8.data(), utf8.size());
    upperCaseEscapes(scratch.data() + originLength, rest.size());
    return QByteArrayView(scratch);
}

// A reference without a scheme, resolved against the base as QUrl::resolved does: the base's path (and query, for a
// reference of a fragment only) for an empty path, the reference's path for one that starts with "/", else the
// reference's path after the base's last "/"; then without dot segments.
std::optional<QByteArrayView> AddressReader::resolved(std::string_view reference, QByteArray& scratch)
{
    if (!m_hasBase || reference.empty())
        return std::nullopt;
    const PathShape path = pathShape(reference);
    // A ":" in the path may end a scheme, "//" opens an authority: QUrl's road.
    if (path.colon || reference.starts_with("//"))
        return std::nullopt;
    const EscapeForm form = restForm(reference);
    if (form == EscapeForm::other)
        return std::nullopt;

    std::string_view directory; // what the reference's path is written after
    std::string_view query;     // the base's, kept by a reference of a fragment only
    bool dotSegment = path.dotSegment;
    if (path.size == 0) {
        directory = m_baseDotless;
        if (reference[0] == '#')
            query = m_baseQuery;
    } else if (reference[0] != '/') {
        directory = m_baseDirectory;
        dotSegment |= m_baseDirectoryHasDots;
    }
    const std::size_t origin = m_baseOrigin.size();
    scratch.resize(qsizetype(origin + directory.size() + query.size() + reference.size()));
    char* out = scratch.data();
    // An empty part may have no storage at all: memcpy must not be handed its null pointer.
    const auto put = [](char* at, const char* from, std::size_t size) {
        if (size > 0)
            std::memcpy(at, from, size);
    };
    put(out, m_baseOrigin.data(), origin);
    put(out + origin, directory.data(), directory.size());
    char* written = out + origin + directory.size();
    put(written, reference.data(), path.size);
    put(written + path.size, query.data(), query.size());
    put(written + path.size + query.size(), reference.data() + path.size, reference.size() - path.size);
    if (form == EscapeForm::upperCased)
        upperCaseEscapes(written, path.size + query.size() + reference.size() - path.size);
    if (dotSegment) {
        const std::size_t pathSize = directory.size() + path.size;
        const std::size_t dotless = removeDotSegments(out + origin, pathSize);
        const std::size_t after = query.size() + reference.size() - path.size;
        std::memmove(out + origin + dotless, out + origin + pathSize, after);
        scratch.resize(qsizetype(origin + dotless + after));
    }
    return QByteArrayView(scratch);
}

} // namespace netkit
