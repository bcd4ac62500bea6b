#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <simdjson.h>

#include <cstddef>
#include <functional>
#include <memory>

namespace sendra::xtream {

class SliceParser;
class SyntaxCheck;

// Calls `visit` with every element of a reply that must be a JSON list of objects. Large lists are parsed in
// slices of a few hundred kilobytes, so memory stays near the size of the body and the parser's working set in
// cache; when slicing cannot be trusted the whole body is parsed at once, after `restart` has been called (the
// caller then drops what it collected). `expect` hears an estimate of the element count before the first
// visit of each road. Throws netkit::JsonError when the body is not JSON and CommandFailure(invalidResponse) when
// it is not a list of objects.
struct ObjectListVisitor
{
    std::function<void(const simdjson::dom::object&)> visit;
    std::function<void()> restart;
    std::function<void(qsizetype)> expect = [](qsizetype) {};
};
void walkObjectList(QByteArrayView body, const ObjectListVisitor& visitor);

// walkObjectList over a body that arrives in pieces, visiting the same elements in the same order and failing
// the same way, without ever holding the body whole: each slice is parsed and visited as soon as its bytes are
// in, and only the bytes not yet cut are kept. A slice that does not parse (its cut fell inside a string or a
// nested list) keeps the rest of the body, which finish() reads as one list; what was visited before stays good,
// so `restart` is only called when nothing was visited yet. Use it from one thread at a time.
class ObjectListStream
{
public:
    // `visitor` must outlive the stream. Slices are cut at the first place they may be after `sliceBytes`: small
    // ones, as several lists stream at once and a parser's memory grows with the slice it holds (parsing is as
    // fast from 32 KiB up).
    explicit ObjectListStream(const ObjectListVisitor& visitor, std::size_t sliceBytes = 64 * 1024);
    ~ObjectListStream();
    ObjectListStream(const ObjectListStream&) = delete;
    ObjectListStream& operator=(const ObjectListStream&) = delete;

    // The length the whole body is expected to have, for the first estimate `expect` hears (unknown: no estimate
    // until finish()). Set it before the first push.
    void setExpectedBytes(qint64 bytes) { m_expectedBytes = bytes; }
    // For a body that is the whole list: push() then fails as soon as the body is known bad, so its transfer can
    // stop: netkit::JsonError once the bytes in can begin no JSON text, CommandFailure(invalidResponse) once a body
    // that is no list passes 16 MiB. Set it before the first push.
    void failEarly() { m_failEarly = true; }
    // The next piece of the body. Throws only what the visitor throws, and what failEarly() says.
    void push(QByteArray chunk);
    // The end of the body: visits what is left, then throws as walkObjectList does for the whole body.
    void finish();
    // Instead of finish(), for a list inside a larger document whose reader parses the rest itself: ends the stream
    // and gives back the bytes not visited, "[" standing first for the list's opening bracket. Call it only after
    // a push that began with that bracket.
    QByteArray takeRest();

private:
    enum class Road {
        Opening,   // the list's opening bracket is not in yet
        Slicing,   // m_pending is "[" and the bytes after the last cut
        Remainder, // a slice failed or the body is no list: m_pending is kept for finish()
    };

    void open();
    void cutSlices();
    void check();
    bool visitSlice(const char* data, std::size_t length);

    const ObjectListVisitor& m_visitor;
    std::size_t m_sliceBytes;
    qint64 m_expectedBytes = -1;
    Road m_road = Road::Opening;
    QByteArray m_pending;
    std::size_t m_scanFrom = 0; // no cut can be found before this in m_pending
    qsizetype m_visited = 0;
    bool m_expected = false;
    std::unique_ptr<SliceParser> m_slices;
    bool m_failEarly = false;
    bool m_noList = false;
    std::unique_ptr<SyntaxCheck> m_check; // over m_pending, from its start
    qsizetype m_checked = 0;              // how much of m_pending it followed
};

} // namespace sendra::xtream
