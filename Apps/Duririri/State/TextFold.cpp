#include "State/TextFold.h"

#include "Domain/CenterContentPolicy.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <vector>

namespace sendra {

namespace {

// Latin text folds letter by letter: each character below U+0370 has one folded form whatever surrounds it (its
// accents are marks that folding drops, and nothing it leaves composes with a neighbour). The table holds each
// one's folded UTF-8, taken from the policy's own folding; characters it cannot vouch for go the slow way.
class LatinFold
{
public:
    static constexpr char16_t limit = 0x370;

    LatinFold()
    {
        for (char16_t c = 0; c < limit; ++c) {
            const QChar ch(c);
            // White space is trimmed only at the ends of a whole text.
            const QString folded = ch.isSpace() ? QString(ch) : CenterContentPolicy::normalize(QString(ch));
            const bool plain = ch.isSpace() || std::none_of(folded.begin(), folded.end(), [](QChar f) {
                return f.isSpace() || f.category() == QChar::Mark_NonSpacing || f.isSurrogate();
            });
            const QByteArray bytes = folded.toUtf8();
            if (plain && size_t(bytes.size()) <= sizeof(Folded::bytes)) {
                m_table[c].size = uint8_t(bytes.size());
                std::copy(bytes.begin(), bytes.end(), m_table[c].bytes);
            } else {
                m_table[c].size = unsupported;
            }
        }
    }

    // Appends the folded text to `out`; false (with `out` untouched) when the text needs the slow way.
    bool fold(QStringView text, std::string& out) const
    {
        // Written into a scratch buffer first: growing `out` by the worst case would clear every byte of it.
        thread_local std::vector<char> scratch;
        const size_t worst = size_t(text.size()) * sizeof(Folded::bytes);
        if (scratch.size() < worst)
            scratch.resize(worst);
        char* write = scratch.data();
        for (QChar ch : text) {
            const char16_t c = ch.unicode();
            if (c < 0x80) {
                *write++ = char(c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c);
                continue;
            }
            if (c >= limit || m_table[c].size == unsupported)
                return false;
            write = std::copy_n(m_table[c].bytes, m_table[c].size, write);
        }
        const size_t start = out.size();
        out.append(scratch.data(), size_t(write - scratch.data()));
        trim(out, start);
        return true;
    }

    // The same from valid UTF-8, without decoding it first: the characters it folds are all one or two bytes long.
    bool fold(std::string_view text, std::string& out) const
    {
        thread_local std::vector<char> scratch;
        const size_t worst = text.size() * sizeof(Folded::bytes);
        if (scratch.size() < worst)
            scratch.resize(worst);
        char* write = scratch.data();
        for (size_t i = 0; i < text.size();) {
            const auto lead = static_cast<unsigned char>(text[i]);
            if (lead < 0x80) {
                *write++ = char(lead >= 'A' && lead <= 'Z' ? lead + ('a' - 'A') : lead);
                ++i;
                continue;
            }
            if (lead < 0xC2 || lead >= 0xE0 || i + 1 == text.size())
                return false;
            const auto c = char16_t((lead & 0x1F) << 6 | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
            if (c >= limit || m_table[c].size == unsupported)
                return false;
            write = std::copy_n(m_table[c].bytes, m_table[c].size, write);
            i += 2;
        }
        const size_t start = out.size();
        out.append(scratch.data(), size_t(write - scratch.data()));
        trim(out, start);
        return true;
    }

private:
    // The white space QString::trimmed() removes, as it can appear in the folded bytes.
    static size_t spaceAt(std::string_view text, size_t at)
    {
        const char c = text[at];
        if (c == ' ' || (c >= '\t' && c <= '\r'))
            return 1;
        if (c == '\xC2' && at + 1 < text.size() && (text[at + 1] == '\x85' || text[at + 1] == '\xA0'))
            return 2;
        return 0;
    }
    static size_t spaceBefore(std::string_view text, size_t end)
    {
        if (end >= 1 && spaceAt(text, end - 1) == 1)
            return 1;
        if (end >= 2 && spaceAt(text, end - 2) == 2)
            return 2;
        return 0;
    }
    static void trim(std::string& text, size_t start)
    {
        size_t begin = start;
        while (begin < text.size()) {
            const size_t n = spaceAt(text, begin);
            if (n == 0)
                break;
            begin += n;
        }
        size_t end = text.size();
        while (end > begin) {
            const size_t n = spaceBefore(text, end);
            if (n == 0)
                break;
            end -= n;
        }
        text.erase(end);
        text.erase(start, begin - start);
    }

    static constexpr uint8_t unsupported = 0xFF;
    struct Folded {
        uint8_t size = unsupported;
        char bytes[7];
    };
    std::array<Folded, limit> m_table;
};

const LatinFold& latinFold()
{
    static const LatinFold table;
    return table;
}

// The keywords by their first byte, so a scan looks at each byte of a text once, and the pairs of bytes they begin
// with: common letters start keywords, but rarely with the letter that follows them, so most bytes cost one bit test.
class KeywordTable
{
public:
    KeywordTable()
    {
        for (const QString& keyword : CenterContentPolicy::adultKeywords()) {
            const QByteArray bytes = keyword.toUtf8();
            if (bytes.isEmpty())
                continue;
            const auto first = uint8_t(bytes[0]);
            m_byFirst[first].push_back(bytes.toStdString());
            if (bytes.size() == 1)
                m_alone[first] = true;
            else
                m_pairs[pair(first, uint8_t(bytes[1]))] = true;
        }
    }

    bool matches(std::string_view text) const
    {
        for (size_t i = 0; i + 1 < text.size(); ++i) {
            const auto first = uint8_t(text[i]);
            if (m_alone[first])
                return true;
            if (!m_pairs[pair(first, uint8_t(text[i + 1]))])
                continue;
            for (const std::string& keyword : m_byFirst[first]) {
                if (text.compare(i, keyword.size(), keyword) == 0)
                    return true;
            }
        }
        return !text.empty() && m_alone[uint8_t(text.back())];
    }

private:
    static size_t pair(uint8_t first, uint8_t second) { return size_t(first) << 8 | second; }

    std::array<std::vector<std::string>, 256> m_byFirst;
    std::array<bool, 256> m_alone{};
    std::bitset<65536> m_pairs;
};

} // namespace

void appendFoldedUtf8(QStringView text, std::string& out)
{
    if (!latinFold().fold(text, out))
        out += CenterContentPolicy::normalize(text.toString()).toStdString();
}

bool appendFoldedFromUtf8(std::string_view utf8, std::string& out)
{
    return latinFold().fold(utf8, out);
}

std::string foldedUtf8(QStringView text)
{
    std::string out;
    appendFoldedUtf8(text, out);
    return out;
}

QString foldedText(QStringView text)
{
    std::string out;
    if (latinFold().fold(text, out))
        return QString::fromUtf8(out.data(), qsizetype(out.size()));
    return CenterContentPolicy::normalize(text.toString());
}

bool containsAdultKeyword(std::string_view folded)
{
    static const KeywordTable table;
    return table.matches(folded);
}

} // namespace sendra
