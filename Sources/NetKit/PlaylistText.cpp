#include "NetKit/PlaylistText.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace netkit::playlist {

namespace {

// Bytes that may start a line end: LF, VT, FF, CR, and the lead bytes of NEL (C2 85) and of the line and
// paragraph separators (E2 80 A8, E2 80 A9).
constexpr std::array<bool, 256> lineEndLeadTable()
{
    std::array<bool, 256> table{};
    for (const unsigned char c : {0x0A, 0x0B, 0x0C, 0x0D, 0xC2, 0xE2})
        table[c] = true;
    return table;
}
constexpr auto kLineEndLead = lineEndLeadTable();

// The length of the line end at `i`, or 0 when the bytes there are not one.
std::size_t lineEndLength(std::string_view text, std::size_t i)
{
    const auto at = [&](std::size_t k) { return k < text.size() ? static_cast<unsigned char>(text[k]) : 0; };
    switch (at(i)) {
    case 0x0A: case 0x0B: case 0x0C: case 0x0D: return 1;
    case 0xC2: return at(i + 1) == 0x85 ? 2 : 0;
    case 0xE2: return at(i + 1) == 0x80 && (at(i + 2) == 0xA8 || at(i + 2) == 0xA9) ? 3 : 0;
    default: return 0;
    }
}

// Sixteen bytes at a time, the positions of the bytes `hit` marks, as bits; `hit` takes and gives SSE2 vectors.
// A playlist is mostly ASCII lines of a hundred bytes or more, so whole vectors without a hit are the common case.
template<class Hit, class Bytewise>
std::size_t findFirst(std::string_view text, std::size_t i, Hit hit, Bytewise isHit)
{
    const char* data = text.data();
    const std::size_t size = text.size();
#ifdef __SSE2__
    for (; i + 16 <= size; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        if (const unsigned mask = unsigned(_mm_movemask_epi8(hit(bytes))))
            return i + unsigned(__builtin_ctz(mask));
    }
#endif
    for (; i < size; ++i)
        if (isHit(static_cast<unsigned char>(data[i])))
            return i;
    return std::string_view::npos;
}

// The length of the white space character that starts (or, with `atEnd`, ends) `text`; 0 when there is none.
// Besides blanks and tabs, the Unicode spaces a playlist edited in a word processor brings along.
std::size_t whiteSpaceLength(std::string_view text, bool atEnd, bool byteOrderMark)
{
    if (text.empty())
        return 0;
    const char edge = atEnd ? text.back() : text.front();
    if (edge == ' ' || edge == '\t')
        return 1;
    if (static_cast<unsigned char>(edge) < 0x80)
        return 0;
    static constexpr std::array<std::string_view, 17> kSpaces{
        "\u00A0", "\u1680", "\u2000", "\u2001", "\u2002", "\u2003", "\u2004", "\u2005", "\u2006",
        "\u2007", "\u2008", "\u2009", "\u200A", "\u202F", "\u205F", "\u3000", "\uFEFF"};
    for (const std::string_view space : kSpaces)
        if ((byteOrderMark || space != "\uFEFF") && (atEnd ? text.ends_with(space) : text.starts_with(space)))
            return space.size();
    return 0;
}

} // namespace

// Where the next line end at or after `i` starts (the text's size when there is none), and its length.
std::size_t findLineEnd(std::string_view text, std::size_t i, std::size_t& length)
{
#ifdef __SSE2__
    const __m128i lf = _mm_set1_epi8(0x0A);
    const __m128i three = _mm_set1_epi8(3);
    const __m128i nelLead = _mm_set1_epi8(char(0xC2));
    const __m128i separatorLead = _mm_set1_epi8(char(0xE2));
    const auto hit = [&](__m128i bytes) {
        const __m128i fromLf = _mm_sub_epi8(bytes, lf); // LF to CR become 0 to 3
        const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(fromLf, three), fromLf);
        return _mm_or_si128(control, _mm_or_si128(_mm_cmpeq_epi8(bytes, nelLead), _mm_cmpeq_epi8(bytes, separatorLead)));
    };
#else
    const auto hit = 0;
#endif
    const auto isLead = [](unsigned char c) { return kLineEndLead[c]; };
    for (;;) {
        i = findFirst(text, i, hit, isLead);
        if (i == std::string_view::npos)
            break;
        if ((length = lineEndLength(text, i)) > 0)
            return i;
        ++i; // a lead byte of another character
    }
    length = 0;
    return text.size();
}

std::string_view trimmed(std::string_view text, bool byteOrderMark)
{
    while (const std::size_t n = whiteSpaceLength(text, false, byteOrderMark))
        text.remove_prefix(n);
    while (const std::size_t n = whiteSpaceLength(text, true, byteOrderMark))
        text.remove_suffix(n);
    return text;
}

namespace {

template<std::size_t N>
bool endsWith(std::string_view text, const char (&suffix)[N])
{
    return text.size() >= N - 1 && std::memcmp(text.data() + text.size() - (N - 1), suffix, N - 1) == 0;
}

} // namespace

Attributes::Attributes(std::string_view line)
{
    const char* const begin = line.data();
    const char* const end = begin + line.size();
    // Every `="` in order, as the line holds them.
    for (const char* at = line.empty() ? nullptr : static_cast<const char*>(std::memchr(begin, '=', line.size()));
         at != nullptr && !(tvgId && tvgLogo && groupTitle);
         at = at + 1 < end ? static_cast<const char*>(std::memchr(at + 1, '=', std::size_t(end - at - 1))) : nullptr) {
        if (at + 1 == end || at[1] != '"')
            continue;
        const std::string_view name(begin, std::size_t(at - begin));
        const auto value = [&]() -> std::optional<std::string_view> {
            const char* from = at + 2;
            const void* close = from < end ? std::memchr(from, '"', std::size_t(end - from)) : nullptr;
            if (close == nullptr)
                return std::nullopt;
            return std::string_view(from, std::size_t(static_cast<const char*>(close) - from));
        };
        if (!tvgId && endsWith(name, "tvg-id"))
            tvgId = value();
        else if (!tvgLogo && endsWith(name, "tvg-logo"))
            tvgLogo = value();
        else if (!groupTitle && endsWith(name, "group-title"))
            groupTitle = value();
    }
}

// The first comma outside a quoted attribute value; the first comma at all when the quotes never balance.
std::size_t titleComma(std::string_view line)
{
#ifdef __SSE2__
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i quote = _mm_set1_epi8('"');
    const auto hit = [&](__m128i bytes) { return _mm_or_si128(_mm_cmpeq_epi8(bytes, comma), _mm_cmpeq_epi8(bytes, quote)); };
#else
    const auto hit = 0;
#endif
    const auto isHit = [](unsigned char c) { return c == ',' || c == '"'; };
    std::size_t i = 0;
    for (;;) {
        i = findFirst(line, i, hit, isHit);
        if (i == std::string_view::npos)
            return line.find(',');
        if (line[i] == ',')
            return i;
        const std::size_t close = line.find('"', i + 1);
        if (close == std::string_view::npos)
            return line.find(',');
        i = close + 1;
    }
}

namespace {

// Bit i set: byte i is inside a quoted value (an opening quote counts as inside, its closing one as outside), the
// quotes paired in order from the line's start.
std::uint64_t insideQuotes(std::uint64_t quotes)
{
    quotes ^= quotes << 1;
    quotes ^= quotes << 2;
    quotes ^= quotes << 4;
    quotes ^= quotes << 8;
    quotes ^= quotes << 16;
    quotes ^= quotes << 32;
    return quotes;
}

// The quotes, commas and equals signs of 64 bytes as bits.
struct WordMarks
{
    std::uint64_t quotes = 0;
    std::uint64_t commas = 0;
    std::uint64_t equals = 0;
};

#ifdef __SSE2__
WordMarks markWord(const char* bytes)
{
    WordMarks marks;
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i comma = _mm_set1_epi8(',');
    const __m128i equal = _mm_set1_epi8('=');
    for (unsigned k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * k));
        const auto bits = [&](__m128i wanted) {
            return std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, wanted)))) << (16 * k);
        };
        marks.quotes |= bits(quote);
        marks.commas |= bits(comma);
        marks.equals |= bits(equal);
    }
    return marks;
}
#else
WordMarks markWord(const char* bytes)
{
    WordMarks marks;
    for (unsigned i = 0; i < 64; ++i) {
        marks.quotes |= std::uint64_t(bytes[i] == '"') << i;
        marks.commas |= std::uint64_t(bytes[i] == ',') << i;
        marks.equals |= std::uint64_t(bytes[i] == '=') << i;
    }
    return marks;
}
#endif

// Every 64 bytes of the line marked, never reading past the line: its last bytes as the last 64 bytes it holds, and a
// line shorter than that from a copy padded with zeros (which mark nothing).
void markLine(std::string_view line, std::uint64_t* quotes, std::uint64_t* commas, std::uint64_t* equals)
{
    const std::size_t whole = line.size() / 64;
    const auto keep = [&](std::size_t w, WordMarks marks) {
        quotes[w] = marks.quotes;
        commas[w] = marks.commas;
        equals[w] = marks.equals;
    };
    for (std::size_t w = 0; w < whole; ++w)
        keep(w, markWord(line.data() + 64 * w));
    const std::size_t rest = line.size() % 64;
    if (rest == 0)
        return;
    if (whole > 0) {
        // The bits of the bytes already marked are shifted out.
        const WordMarks last = markWord(line.data() + line.size() - 64);
        const unsigned drop = unsigned(64 - rest);
        keep(whole, {last.quotes >> drop, last.commas >> drop, last.equals >> drop});
        return;
    }
    alignas(64) char padded[64] = {};
    std::memcpy(padded, line.data(), rest);
    keep(whole, markWord(padded));
}

// An attribute name ends the text before its `="`. The last byte is checked before the rest, as most names end
// otherwise.
template<std::size_t N>
bool nameEndsWith(std::string_view text, const char (&suffix)[N])
{
    return text.size() >= N - 1 && text.back() == suffix[N - 2] && endsWith(text, suffix);
}

} // namespace

InformationLine::InformationLine(std::string_view line)
{
    // Per 64 bytes of the line, the positions of its quotes, commas and equals signs as bits; lines longer than
    // information lines ever are take the two readings apart.
    constexpr std::size_t kMaxWords = 32;
    const std::size_t size = line.size();
    if (size > kMaxWords * 64) {
        const Attributes attributes(line);
        tvgId = attributes.tvgId;
        tvgLogo = attributes.tvgLogo;
        groupTitle = attributes.groupTitle;
        titleComma = playlist::titleComma(line);
        return;
    }
    const std::size_t words = (size + 63) / 64;
    std::uint64_t quotes[kMaxWords];
    std::uint64_t commas[kMaxWords];
    std::uint64_t equals[kMaxWords];
    markLine(line, quotes, commas, equals);

    // The title comma: the first one outside quotes, else the first one at all.
    std::size_t firstComma = std::string_view::npos;
    std::uint64_t carry = 0; // all ones while a quoted value runs on from the previous word
    for (std::size_t w = 0; w < words; ++w) {
        const std::uint64_t inside = insideQuotes(quotes[w]) ^ carry;
        carry = 0 - (inside >> 63);
        if (firstComma == std::string_view::npos && commas[w] != 0)
            firstComma = w * 64 + std::size_t(__builtin_ctzll(commas[w]));
        if (const std::uint64_t outside = commas[w] & ~inside) {
            firstComma = w * 64 + std::size_t(__builtin_ctzll(outside));
            break;
        }
    }
    titleComma = firstComma;

    // The attributes: every `="` in order, each value up to the next quote.
    const auto nextQuote = [&](std::size_t from) -> std::size_t {
        std::size_t w = from / 64;
        if (w >= words)
            return std::string_view::npos;
        std::uint64_t m = quotes[w] & (~std::uint64_t(0) << (from % 64));
        while (m == 0) {
            if (++w == words)
                return std::string_view::npos;
            m = quotes[w];
        }
        return w * 64 + std::size_t(__builtin_ctzll(m));
    };
    const auto value = [&](std::size_t from) -> std::optional<std::string_view> {
        const std::size_t close = nextQuote(from);
        if (close == std::string_view::npos)
            return std::nullopt;
        return line.substr(from, close - from);
    };
    for (std::size_t w = 0; w < words; ++w) {
        for (std::uint64_t m = equals[w]; m != 0; m &= m - 1) {
            const std::size_t at = w * 64 + std::size_t(__builtin_ctzll(m));
            if (at + 1 >= size || line[at + 1] != '"')
                continue;
            const std::string_view name = line.substr(0, at);
            if (!tvgId && nameEndsWith(name, "tvg-id"))
                tvgId = value(at + 2);
            else if (!tvgLogo && nameEndsWith(name, "tvg-logo"))
                tvgLogo = value(at + 2);
            else if (!groupTitle && nameEndsWith(name, "group-title"))
                groupTitle = value(at + 2);
            if (tvgId && tvgLogo && groupTitle)
                return;
        }
    }
}

bool isAscii(std::string_view text)
{
#ifdef __SSE2__
    const auto hit = [](__m128i bytes) { return bytes; };
#else
    const auto hit = 0;
#endif
    return findFirst(text, 0, hit, [](unsigned char c) { return c >= 0x80; }) == std::string_view::npos;
}

} // namespace netkit::playlist
