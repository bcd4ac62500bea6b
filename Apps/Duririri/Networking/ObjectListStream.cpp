#include "Networking/ObjectListStream.h"

#include "Domain/CommandError.h"
#include "NetKit/LenientJson.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace sendra::xtream {

// "[" + the `length` bytes at `data` + "]", parsed; false when that is not a list of objects only.
class SliceParser
{
public:
    bool parse(const char* data, std::size_t length, simdjson::dom::array& list)
    {
        if (m_size < length + 2 + simdjson::SIMDJSON_PADDING) {
            m_size = length + 2 + simdjson::SIMDJSON_PADDING;
            m_buffer.reset(new char[m_size]);
        }
        m_buffer[0] = '[';
        std::memcpy(m_buffer.get() + 1, data, length);
        m_buffer[length + 1] = ']';
        if (m_parser.parse(m_buffer.get(), length + 2, false).get_array().get(list) != simdjson::SUCCESS) {
            // A bad value costs only its element: the slice is read again repaired. A slice cut inside a string
            // still fails, as repairing leaves its brackets and quotes alone.
            if (!netkit::repairJson(std::string_view(m_buffer.get(), length + 2), m_repaired) ||
                m_parser.parse(m_repaired).get_array().get(list) != simdjson::SUCCESS)
                return false;
        }
        for (const simdjson::dom::element item : list)
            if (!item.is_object())
                return false;
        return true;
    }

private:
    simdjson::dom::parser m_parser;
    std::string m_repaired;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_size = 0;
};

// Follows the bytes of a JSON text as they come and says when they can no longer begin one. It checks only the
// structure (brackets, keys, colons, commas, strings, what follows the text), never more strictly than the parser:
// scalars are any run of letters, digits and "+-.", strings any bytes up to an unescaped quote.
class SyntaxCheck
{
public:
    // False once the bytes so far cannot begin a JSON text.
    bool feed(const char* data, std::size_t length)
    {
        for (std::size_t i = 0; i < length; ++i)
            if (!step(static_cast<unsigned char>(data[i])))
                return false;
        return true;
    }

private:
    enum class State : std::uint8_t { value, valueOrClose, keyOrClose, key, colon, after, string, escape, scalar, done };

    static bool isBlank(unsigned char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t'; }
    static bool isScalar(unsigned char c)
    {
        return (c >= '0' && c <= '9') || ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') || c == '+' || c == '-' || c == '.';
    }

    bool step(unsigned char c)
    {
        switch (m_state) {
        case State::string:
            if (c == '\\')
                m_state = State::escape;
            else if (c == '"')
                m_state = m_key ? State::colon : State::after;
            return true;
        case State::escape:
            m_state = State::string;
            return true;
        case State::scalar:
            if (isScalar(c))
                return true;
            m_state = State::after;
            return step(c);
        default:
            break;
        }
        if (m_leading < 3 && m_state == State::value && m_stack.empty() && c == static_cast<unsigned char>("\xEF\xBB\xBF"[m_leading])) {
            ++m_leading; // a byte-order mark, which the parser skips
            return true;
        }
        m_leading = 3;
        if (isBlank(c))
            return true;
        switch (m_state) {
        case State::valueOrClose:
            if (c == ']')
                return close(']');
            [[fallthrough]];
        case State::value:
            if (c == '{' || c == '[') {
                // Past the parser's depth it fails anyway; the check just stops following.
                if (m_stack.size() >= kMaxDepth)
                    return giveUp();
                m_stack.push_back(char(c));
                m_state = c == '{' ? State::keyOrClose : State::valueOrClose;
                return true;
            }
            if (c == '"') {
                m_key = false;
                m_state = State::string;
                return true;
            }
            if (isScalar(c)) {
                m_state = State::scalar;
                return true;
            }
            return false;
        case State::keyOrClose:
            if (c == '}')
                return close('}');
            [[fallthrough]];
        case State::key:
            if (c != '"')
                return false;
            m_key = true;
            m_state = State::string;
            return true;
        case State::colon:
            if (c != ':')
                return false;
            m_state = State::value;
            return true;
        case State::after:
            if (m_stack.empty())
                return false; // something after the text
            if (c == ',') {
                m_state = m_stack.back() == '{' ? State::key : State::value;
                return true;
            }
            return close(char(c));
        case State::done:
            return true;
        default:
            return false;
        }
    }

    bool close(char c)
    {
        if (m_stack.empty() || (c == ']' ? '[' : c == '}' ? '{' : 0) != m_stack.back())
            return false;
        m_stack.pop_back();
        m_state = State::after;
        return true;
    }

    bool giveUp()
    {
        m_state = State::done;
        return true;
    }

    static constexpr std::size_t kMaxDepth = 1024;
    State m_state = State::value;
    bool m_key = false;
    int m_leading = 0;
    std::string m_stack;
};

namespace {

// A body that is no list is read whole to learn which failure it is, but only up to an ordinary answer's size.
constexpr qsizetype kNoListBytes = 16 * 1024 * 1024;
// Slicing holds no more than a few slices' worth unless no element ends: then the bytes held are checked.
constexpr std::size_t kCheckUncutAfter = 4;

using simdjson::dom::element;
using simdjson::dom::object;

constexpr std::size_t kSlice = 512 * 1024;
constexpr std::size_t kNoCut = std::size_t(-1);

bool isJsonSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// Where the list may be cut at or after `from` in bytes that may go on past `end`: just after a "}" followed by
// "," and "{" (blanks allowed between). kNoCut when no such place is certain yet; `resume` is then where to look
// again once more bytes are in. Such a place can also lie inside a string or a nested list, but a slice cut there
// never parses (it ends in an open string or an open object), which ends the slicing.
std::size_t certainCut(const char* data, std::size_t from, std::size_t end, std::size_t& resume)
{
    while (from < end) {
        const void* found = std::memchr(data + from, '}', end - from);
        if (!found)
            break;
        const std::size_t brace = std::size_t(static_cast<const char*>(found) - data);
        std::size_t i = brace + 1;
        while (i < end && isJsonSpace(data[i]))
            ++i;
        if (i < end && data[i] == ',') {
            ++i;
            while (i < end && isJsonSpace(data[i]))
                ++i;
            if (i < end && data[i] == '{')
                return brace + 1;
        }
        if (i == end) {
            resume = brace;
            return kNoCut;
        }
        from = brace + 1;
    }
    resume = end;
    return kNoCut;
}

// The next cut of a body that ends at `end`: the last slice runs to the end.
std::size_t nextCut(const char* data, std::size_t from, std::size_t end)
{
    std::size_t resume = 0;
    const std::size_t cut = certainCut(data, from, end, resume);
    return cut == kNoCut ? end : cut;
}

// False when the body could not be walked slice by slice; nothing is thrown here.
bool walkInSlices(QByteArrayView body, const ObjectListVisitor& visitor)
{
    body = netkit::withoutByteOrderMark(body);
    const char* data = body.data();
    std::size_t first = 0;
    std::size_t last = std::size_t(body.size());
    while (first < last && isJsonSpace(data[first]))
        ++first;
    while (last > first && isJsonSpace(data[last - 1]))
        --last;
    if (last - first < 2 || data[first] != '[' || data[last - 1] != ']')
        return false;
    std::size_t pos = first + 1;
    const std::size_t end = last - 1;
    while (pos < end && isJsonSpace(data[pos]))
        ++pos;
    if (pos == end)
        return true;

    SliceParser parser;
    bool firstSlice = true;
    while (true) {
        const std::size_t cut = nextCut(data, std::min(end, pos + kSlice), end);
        const std::size_t length = cut - pos;
        simdjson::dom::array slice;
        if (!parser.parse(data + pos, length, slice))
            return false;
        if (firstSlice)
            visitor.expect(qsizetype(slice.size() * (end - first) / length + 1));
        firstSlice = false;
        for (const element item : slice)
            visitor.visit(item.get_object().value_unsafe());
        if (cut == end)
            return true;
        pos = cut;
        while (data[pos] != '{')
            ++pos;
    }
}

// The list of a parsed body; every element must be an object before any is visited.
simdjson::dom::array objectList(const netkit::JsonDocument& document)
{
    simdjson::dom::array list;
    if (document.root().get_array().get(list) != simdjson::SUCCESS)
        throw CommandFailure(CommandError::invalidResponse);
    for (const element item : list)
        if (!item.is_object())
            throw CommandFailure(CommandError::invalidResponse);
    return list;
}

} // namespace

void walkObjectList(QByteArrayView body, const ObjectListVisitor& visitor)
{
    if (walkInSlices(body, visitor))
        return;
    visitor.restart();
    const netkit::JsonDocument document = netkit::JsonDocument::parse(body);
    const simdjson::dom::array list = objectList(document);
    visitor.expect(qsizetype(list.size()));
    for (const element item : list)
        visitor.visit(item.get_object().value_unsafe());
}

ObjectListStream::ObjectListStream(const ObjectListVisitor& visitor, std::size_t sliceBytes)
    : m_visitor(visitor)
    , m_sliceBytes(std::max<std::size_t>(sliceBytes, 1))
{
}

ObjectListStream::~ObjectListStream() = default;

void ObjectListStream::push(QByteArray chunk)
{
    // Two slices' worth at a time: the bytes kept stay near a slice however large the piece, and in cache.
    const qsizetype step = qsizetype(std::max<std::size_t>(m_sliceBytes, 4096) * 2);
    for (qsizetype at = 0; at < chunk.size(); at += step) {
        m_pending.append(QByteArrayView(chunk).sliced(at, std::min(step, chunk.size() - at)));
        if (m_road == Road::Opening)
            open();
        if (m_road == Road::Slicing)
            cutSlices();
        if (m_failEarly)
            check();
    }
}

// A list known bad stops here, so its transfer can stop: the held bytes are followed once they are the body's
// remainder or a run that no element end cuts.
void ObjectListStream::check()
{
    if (m_road == Road::Opening)
        return;
    if (m_noList && m_pending.size() > kNoListBytes)
        throw CommandFailure(CommandError::invalidResponse);
    if (!m_check) {
        if (m_road == Road::Slicing && std::size_t(m_pending.size()) < kCheckUncutAfter * std::max<std::size_t>(m_sliceBytes, 4096))
            return;
        m_check = std::make_unique<SyntaxCheck>();
        m_checked = 0;
    }
    const qsizetype from = m_checked;
    m_checked = m_pending.size();
    if (!m_check->feed(m_pending.constData() + from, std::size_t(m_pending.size() - from)))
        throw netkit::JsonError(simdjson::TAPE_ERROR);
}

// Decides the road once the first byte that is neither a byte-order mark (which may come split) nor a blank is in.
void ObjectListStream::open()
{
    static constexpr std::string_view mark = "\xEF\xBB\xBF";
    const std::size_t size = std::size_t(m_pending.size());
    const bool marked = std::string_view(m_pending.constData(), std::min(size, mark.size()))
                        == mark.substr(0, std::min(size, mark.size()));
    if (marked && size < mark.size())
        return;
    std::size_t i = marked ? mark.size() : 0;
    while (i < size && isJsonSpace(m_pending[i]))
        ++i;
    if (i == size)
        return;
    if (m_pending[i] != '[') {
        // Not a list (an error object, a page): the whole-body road says which failure it is.
        m_road = Road::Remainder;
        m_noList = true;
        return;
    }
    m_pending.remove(0, qsizetype(i));
    m_road = Road::Slicing;
    m_scanFrom = 0;
}

void ObjectListStream::cutSlices()
{
    const char* data = m_pending.constData();
    const std::size_t end = std::size_t(m_pending.size());
    std::size_t start = 1; // after the "["
    while (end - start > m_sliceBytes) {
        std::size_t resume = 0;
        const std::size_t cut = certainCut(data, std::max(start + m_sliceBytes, m_scanFrom), end, resume);
        if (cut == kNoCut) {
            m_scanFrom = resume;
            break;
        }
        if (!visitSlice(data + start, cut - start)) {
            // Every earlier cut was between two elements (a slice cut elsewhere never parses), so what was visited
            // is the list's true beginning; the rest is read whole at the end.
            m_road = Road::Remainder;
            break;
        }
        start = cut;
        while (data[start] != '{')
            ++start;
    }
    if (start > 1) {
        // The byte before the next element becomes the remainder's "[", and the check starts over from it.
        m_check.reset();
        m_pending.remove(0, qsizetype(start - 1));
        m_pending[0] = '[';
        m_scanFrom = m_scanFrom > start - 1 ? m_scanFrom - (start - 1) : 0;
    }
}

bool ObjectListStream::visitSlice(const char* data, std::size_t length)
{
    if (!m_slices)
        m_slices = std::make_unique<SliceParser>();
    simdjson::dom::array list;
    if (!m_slices->parse(data, length, list))
        return false;
    if (!m_expected && m_expectedBytes > 0) {
        m_expected = true;
        m_visitor.expect(qsizetype(qint64(list.size()) * m_expectedBytes / qint64(length) + 1));
    }
    for (const element item : list) {
        m_visitor.visit(item.get_object().value_unsafe());
        ++m_visited;
    }
    return true;
}

QByteArray ObjectListStream::takeRest()
{
    m_slices.reset();
    return std::exchange(m_pending, {});
}

void ObjectListStream::finish()
{
    if (m_road != Road::Slicing && m_visited == 0)
        m_visitor.restart();
    m_slices.reset();
    // The parser keeps its own copy: the bytes go before the elements are visited.
    const netkit::JsonDocument document = netkit::JsonDocument::parse(std::exchange(m_pending, {}));
    const simdjson::dom::array list = objectList(document);
    if (!m_expected)
        m_visitor.expect(m_visited + qsizetype(list.size()));
    m_expected = true;
    for (const element item : list) {
        m_visitor.visit(item.get_object().value_unsafe());
        ++m_visited;
    }
}

} // namespace sendra::xtream
