#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QMutex>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace netkit {

// The content codings we decode ourselves, and so the only ones we ask servers for: Qt would decode inside the
// reply, before any size limit sees a byte, and on the thread that reads it.
enum class ContentCoding { Identity, Gzip, Deflate };

// The coding a Content-Encoding header names; no value for one we cannot decode (brotli, zstd, several codings).
std::optional<ContentCoding> contentCoding(const QByteArray& contentEncoding);

// The Accept-Encoding value that matches what contentCoding() understands.
QByteArray acceptedCodings();

// An incremental gzip or deflate (zlib-wrapped or raw) decoder that yields at most a given number of bytes per call,
// so a few compressed bytes that expand to gigabytes are never expanded at once.
class Inflater
{
public:
    explicit Inflater(ContentCoding coding);
    ~Inflater();
    Inflater(const Inflater&) = delete;
    Inflater& operator=(const Inflater&) = delete;

    void append(QByteArray compressed);
    // Compressed bytes not decoded yet (1 while zlib still holds decoded bytes for all it has read).
    qsizetype pendingInput() const;
    // Up to `most` decoded bytes; fewer only when it cannot go on without more input (every byte given so far is
    // decoded, or what it holds needs the bytes that follow) or the data is corrupt.
    QByteArray next(qsizetype most);
    bool failed() const { return m_failed; }
    // True when the input ends where the compressed data ends (or there was none at all).
    bool complete() const { return m_failed ? false : (m_total == 0 || m_atEnd); }

private:
    bool start();

    struct Stream;
    std::unique_ptr<Stream> m_stream;
    ContentCoding m_coding;
    QByteArrayList m_queue;
    QByteArray m_current;
    qsizetype m_queued = 0;
    qint64 m_total = 0;
    bool m_started = false;
    bool m_atEnd = false;
    bool m_holdsOutput = false;
    bool m_failed = false;
};

// One body decoded on a worker thread. Compressed pieces go in and decoded pieces come out on the thread that owns
// it; at most a bounded amount of either waits, so a bomb stalls its worker instead of filling memory, and the
// reader stops reading until there is room. `wake` is called on the worker when decoded bytes are ready or the
// body is done, never once stop() has returned; it must only post to the owner's thread.
class BodyDecoder : public std::enable_shared_from_this<BodyDecoder>
{
public:
    static constexpr qsizetype kPiece = 256 * 1024;
    static constexpr qsizetype kMaxWaitingInput = 1024 * 1024;
    static constexpr qsizetype kMaxWaitingOutput = 4 * 1024 * 1024;

    static std::shared_ptr<BodyDecoder> create(ContentCoding coding, std::function<void()> wake);

    // Whether the owner may hand in more compressed bytes now.
    bool wantsInput() const;
    void push(QByteArray compressed);
    void endInput();
    // Compressed bytes the worker has decoded so far.
    qint64 consumedInput() const;
    // Every decoded piece ready so far, in order.
    QByteArrayList takeOutput();
    // Stops the worker after its current piece; nothing more comes out, and `wake` is not called once this returns
    // (a call under way is waited for).
    void stop();

    enum class State { Decoding, Done, Failed };
    // Done once the input has ended, all of it is decoded and taken; Failed for corrupt or truncated data.
    State state() const;

private:
    BodyDecoder(ContentCoding coding, std::function<void()> wake);
    bool scheduleLocked(); // true: a worker must start
    void startWorker();
    void work();
    void wake();

    mutable QMutex m_mutex;
    std::mutex m_waking; // held while `wake` runs
    Inflater m_inflater; // touched only by the running worker
    std::function<void()> m_wake;
    QByteArrayList m_input;
    qsizetype m_waitingInput = 0; // queued plus held by the inflater
    qint64 m_pushed = 0;
    QByteArrayList m_output;
    qsizetype m_waitingOutput = 0;
    bool m_inputEnded = false;
    bool m_running = false;
    bool m_starved = true; // the worker stopped because the inflater needs input it does not have
    bool m_woken = false;
    bool m_stopped = false;
    bool m_failed = false;
    bool m_finished = false;
};

} // namespace netkit
