#include "Networking/Playlist/LineFramer.h"

#include "Domain/CommandError.h"
#include "NetKit/PlaylistText.h"

#include <simdjson.h>

#include <algorithm>

namespace sendra::playlist {

namespace {

using netkit::playlist::findLineEnd;

// Past this many bytes without a line end, the line held is too long: the longest line end takes three bytes.
constexpr std::size_t kLineWindow = kMaxLineBytes + 3;

// How long the UTF-8 sequence opening with `lead` says it is (a stray continuation byte counts as one).
std::size_t claimedLength(unsigned char lead)
{
    return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
}

// Where a character that the end of `bytes` cuts starts; bytes.size() when none is cut.
std::size_t cutCharacter(std::string_view bytes)
{
    for (std::size_t back = 1; back <= std::min<std::size_t>(3, bytes.size()); ++back) {
        const auto c = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if (c < 0x80)
            return bytes.size();
        if (c >= 0xC0)
            return claimedLength(c) > back ? bytes.size() - back : bytes.size();
    }
    return bytes.size();
}

// Text is cut just after a one-byte line end (LF, VT, FF, CR): each stretch handed on then holds whole lines, every
// longer line end (NEL, U+2028, U+2029) whole in it, and starts a UTF-8 character; a CR LF pair cut between its
// bytes still reads as two line ends with an empty line between them.
bool cutsAfter(char c)
{
    return c >= 0x0A && c <= 0x0D;
}

std::size_t firstLineEnd(std::string_view bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (cutsAfter(bytes[i]))
            return i;
    return std::string_view::npos;
}

std::size_t lastLineEnd(std::string_view bytes)
{
    for (std::size_t i = bytes.size(); i > 0; --i)
        if (cutsAfter(bytes[i - 1]))
            return i - 1;
    return std::string_view::npos;
}

} // namespace

LineFramer::LineFramer(Utf8Check utf8, std::function<void(std::string_view)> take)
    : m_strictUtf8(utf8 == Utf8Check::strict), m_take(std::move(take))
{}

void LineFramer::push(std::string_view bytes)
{
    if (m_skipping || !m_tail.empty()) {
        // The line coming in ends in this piece, or the piece is all of it so far.
        const std::size_t end = firstLineEnd(bytes);
        const std::size_t upTo = end == std::string_view::npos ? bytes.size() : end + 1;
        keep(bytes.substr(0, upTo));
        bytes.remove_prefix(upTo);
    }
    if (!bytes.empty()) {
        const std::size_t end = lastLineEnd(bytes);
        if (end != std::string_view::npos) {
            m_take(bytes.substr(0, end + 1));
            bytes.remove_prefix(end + 1);
        }
        keep(bytes);
    }
}

void LineFramer::finish()
{
    if (m_skipping)
        checkSkipped({}, true);
    else if (!m_tail.empty())
        m_take(m_tail);
    std::string().swap(m_tail);
}

// Adds to the line coming in `bytes`, which hold no one-byte line end but perhaps as their last byte. The line is
// held up to kLineWindow bytes; the lines a longer stretch ends at NEL, U+2028 or U+2029 are read, and a line that
// fills it all is skipped up to its end.
void LineFramer::keep(std::string_view bytes)
{
    while (!bytes.empty()) {
        if (m_skipping) {
            bytes = skipOverLongLine(bytes);
            continue;
        }
        const std::size_t n = std::min(kLineWindow - m_tail.size(), bytes.size());
        m_tail.append(bytes.data(), n);
        bytes.remove_prefix(n);
        if (cutsAfter(m_tail.back())) {
            m_take(m_tail);
            m_tail.clear();
            continue;
        }
        if (m_tail.size() < kLineWindow)
            continue;
        std::size_t read = 0;
        for (std::size_t length = 0;;) {
            const std::size_t end = findLineEnd(m_tail, read, length);
            if (length == 0)
                break;
            read = end + length;
        }
        if (read > 0) {
            m_take(std::string_view(m_tail).substr(0, read));
            m_tail.erase(0, read);
            continue;
        }
        // The last bytes are kept, as the line end may be cut between them and the next piece.
        checkSkipped(m_tail, false);
        m_skipped.assign(m_tail, m_tail.size() - 2, 2);
        m_tail.clear();
        m_skipping = true;
    }
}

// The bytes of an over-long line up to its end; what follows it.
std::string_view LineFramer::skipOverLongLine(std::string_view bytes)
{
    const std::string edge = m_skipped + std::string(bytes.substr(0, 2));
    std::size_t length = 0;
    std::size_t end = findLineEnd(edge, 0, length);
    if (length > 0 && end < m_skipped.size()) {
        m_skipping = false;
        checkSkipped(bytes.substr(0, end + length - m_skipped.size()), true);
        return bytes.substr(end + length - m_skipped.size());
    }
    end = findLineEnd(bytes, 0, length);
    if (length > 0) {
        m_skipping = false;
        checkSkipped(bytes.substr(0, end), true);
        return bytes.substr(end + length);
    }
    checkSkipped(bytes, false);
    m_skipped = (m_skipped + std::string(bytes.substr(bytes.size() - std::min<std::size_t>(bytes.size(), 2))));
    m_skipped.erase(0, m_skipped.size() - std::min<std::size_t>(m_skipped.size(), 2));
    return {};
}

// Strict UTF-8 over the bytes of a skipped line as they arrive (a character cut between pieces is checked once it is
// whole); `last` ends the line.
void LineFramer::checkSkipped(std::string_view bytes, bool last)
{
    if (!m_strictUtf8)
        return;
    const auto fail = [] { throw CommandFailure(CommandError::invalidResponse); };
    if (!m_cutChar.empty()) {
        const std::size_t wanted = claimedLength(static_cast<unsigned char>(m_cutChar[0]));
        const std::size_t n = std::min(wanted - m_cutChar.size(), bytes.size());
        m_cutChar.append(bytes.substr(0, n));
        bytes.remove_prefix(n);
        if (m_cutChar.size() == wanted) {
            if (!simdjson::validate_utf8(m_cutChar.data(), m_cutChar.size()))
                fail();
            m_cutChar.clear();
        } else if (!last) {
            return;
        }
    }
    const std::size_t cut = cutCharacter(bytes);
    if (!simdjson::validate_utf8(bytes.data(), cut))
        fail();
    m_cutChar.append(bytes.substr(cut));
    if (last && !m_cutChar.empty())
        fail();
}

} // namespace sendra::playlist
