#include "NetKit/BodyDecoder.h"

#include "NetKit/Workers.h"

#include <QList>

#include <zlib.h>

#include <atomic>
#include <utility>

namespace netkit {

std::optional<ContentCoding> contentCoding(const QByteArray& contentEncoding)
{
    const QByteArray coding = contentEncoding.trimmed().toLower();
    if (coding.isEmpty() || coding == "identity")
        return ContentCoding::Identity;
    if (coding == "gzip" || coding == "x-gzip")
        return ContentCoding::Gzip;
    if (coding == "deflate")
        return ContentCoding::Deflate;
    return std::nullopt;
}

QByteArray acceptedCodings()
{
    return QByteArrayLiteral("gzip, deflate");
}

struct Inflater::Stream {
    z_stream z{};
    bool open = false;
    ~Stream()
    {
        if (open)
            inflateEnd(&z);
    }
};

Inflater::Inflater(ContentCoding coding) : m_stream(std::make_unique<Stream>()), m_coding(coding)
{}

Inflater::~Inflater() = default;

void Inflater::append(QByteArray compressed)
{
    if (compressed.isEmpty())
        return;
    m_total += compressed.size();
    m_queued += compressed.size();
    m_queue.append(std::move(compressed));
}

qsizetype Inflater::pendingInput() const
{
    // Held output counts as pending input, so nobody takes the stream for drained while zlib still holds bytes.
    return m_queued + qsizetype(m_stream->z.avail_in) + (m_holdsOutput ? 1 : 0);
}

// Chooses the wrapper once the first bytes are known: "deflate" is zlib-wrapped by the letter of HTTP, but some
// servers send it raw.
bool Inflater::start()
{
    int windowBits = 15 + 16; // gzip only
    if (m_coding == ContentCoding::Deflate) {
        const auto* head = reinterpret_cast<const unsigned char*>(m_current.constData());
        const bool zlibHeader = m_current.size() >= 2 && (head[0] & 0x0f) == 8 && (head[0] * 256 + head[1]) % 31 == 0;
        windowBits = zlibHeader ? 15 : -15;
    }
    if (inflateInit2(&m_stream->z, windowBits) != Z_OK)
        return false;
    m_stream->open = true;
    m_started = true;
    return true;
}

QByteArray Inflater::next(qsizetype most)
{
    QByteArray out;
    if (m_failed || most <= 0)
        return out;
    z_stream& z = m_stream->z;
    // The buffer starts near what the input it holds may give (lists shrink several times) and grows if it gives
    // more: a few bytes decoded from a small piece must not keep a buffer of `most` alive for as long as their reader
    // holds them.
    constexpr qsizetype kFirstBuffer = 16 * 1024;
    constexpr qsizetype kExpectedRatio = 8;
    out.resize(qBound(qMin(most, kFirstBuffer), pendingInput() * kExpectedRatio, most));
    qsizetype produced = 0;
    while (produced < most) {
        if (z.avail_in == 0 && !m_queue.isEmpty()) {
            m_current = m_queue.takeFirst();
            m_queued -= m_current.size();
            z.next_in = reinterpret_cast<Bytef*>(m_current.data());
            z.avail_in = uInt(m_current.size());
        }
        // zlib may hold decoded bytes for a full output buffer although it has read all its input.
        if (z.avail_in == 0 && !m_holdsOutput)
            break;
        if (!m_started && m_coding == ContentCoding::Deflate && m_current.size() < 2) {
            // The wrapper is told by the first two bytes, which may come in two pieces.
            if (m_queue.isEmpty())
                break;
            const QByteArray more = m_queue.takeFirst();
            m_queued -= more.size();
            m_current += more;
            z.next_in = reinterpret_cast<Bytef*>(m_current.data());
            z.avail_in = uInt(m_current.size());
            continue;
        }
        if (!m_started && !start()) {
            m_failed = true;
            break;
        }
        if (m_atEnd) {
            // More data after the end: another gzip member follows; anything else is not ours to read.
            if (m_coding != ContentCoding::Gzip || inflateReset(&z) != Z_OK) {
                m_failed = true;
                break;
            }
            m_atEnd = false;
        }
        if (produced == out.size())
            out.resize(qMin(most, out.size() * 2));
        z.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
        z.avail_out = uInt(out.size() - produced);
        const int result = inflate(&z, Z_NO_FLUSH);
        produced = out.size() - qsizetype(z.avail_out);
        m_holdsOutput = z.avail_out == 0;
        if (result == Z_STREAM_END) {
            m_atEnd = true;
            m_holdsOutput = false;
        } else if (result == Z_BUF_ERROR) {
            // No progress possible: it needs more input, which the loop fetches if there is any.
            m_holdsOutput = false;
            if (z.avail_in != 0) {
                m_failed = true;
                break;
            }
        } else if (result != Z_OK) {
            m_failed = true;
            break;
        }
    }
    if (z.avail_in == 0)
        m_current.clear();
    out.truncate(m_failed ? 0 : produced);
    return out;
}

std::shared_ptr<BodyDecoder> BodyDecoder::create(ContentCoding coding, std::function<void()> wake)
{
    return std::shared_ptr<BodyDecoder>(new BodyDecoder(coding, std::move(wake)));
}

BodyDecoder::BodyDecoder(ContentCoding coding, std::function<void()> wake) : m_inflater(coding), m_wake(std::move(wake))
{}

bool BodyDecoder::wantsInput() const
{
    QMutexLocker lock(&m_mutex);
    return !m_stopped && !m_failed && !m_inputEnded && m_waitingInput < kMaxWaitingInput;
}

void BodyDecoder::push(QByteArray compressed)
{
    QMutexLocker lock(&m_mutex);
    if (m_stopped || m_failed || m_inputEnded || compressed.isEmpty())
        return;
    m_waitingInput += compressed.size();
    m_pushed += compressed.size();
    m_input.append(std::move(compressed));
    if (scheduleLocked()) {
        lock.unlock();
        startWorker();
    }
}

void BodyDecoder::endInput()
{
    QMutexLocker lock(&m_mutex);
    m_inputEnded = true;
    if (scheduleLocked()) {
        lock.unlock();
        startWorker();
    }
}

qint64 BodyDecoder::consumedInput() const
{
    QMutexLocker lock(&m_mutex);
    return m_pushed - m_waitingInput;
}

QByteArrayList BodyDecoder::takeOutput()
{
    QMutexLocker lock(&m_mutex);
    QByteArrayList taken = std::exchange(m_output, {});
    m_waitingOutput = 0;
    m_woken = false;
    if (scheduleLocked()) {
        lock.unlock();
        startWorker();
    }
    return taken;
}

void BodyDecoder::stop()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopped = true;
        m_input.clear();
        m_output.clear();
    }
    // A call of `wake` under way ends before this returns; none begins after.
    const std::lock_guard waking(m_waking);
}

BodyDecoder::State BodyDecoder::state() const
{
    QMutexLocker lock(&m_mutex);
    if (m_failed)
        return State::Failed;
    return m_finished && m_output.isEmpty() ? State::Done : State::Decoding;
}

bool BodyDecoder::scheduleLocked()
{
    if (m_running || m_stopped || m_failed || m_finished || m_waitingOutput >= kMaxWaitingOutput)
        return false;
    // A worker that ran dry needs new input, or its end, to get any further.
    if (m_starved && m_input.isEmpty() && !m_inputEnded)
        return false;
    m_running = true;
    m_starved = false;
    return true;
}

// Decoding has threads of its own: the background pool may be full of catalogue work waiting for this very body.
void BodyDecoder::startWorker()
{
    decodingPool().run([self = shared_from_this()] { self->work(); });
}

void BodyDecoder::wake()
{
    const std::lock_guard waking(m_waking);
    bool stopped;
    {
        QMutexLocker lock(&m_mutex);
        stopped = m_stopped;
    }
    if (!stopped)
        m_wake();
}

void BodyDecoder::work()
{
    for (;;) {
        {
            QMutexLocker lock(&m_mutex);
            if (m_stopped || workersStopping() || m_waitingOutput >= kMaxWaitingOutput) {
                m_running = false;
                return;
            }
            // The inflater gets every piece that came: what it holds may only be decodable together with a later
            // piece (the two bytes that tell a deflate wrapper, a header, a block cut anywhere), so it must never
            // wait for a piece while it is given none.
            while (!m_input.isEmpty())
                m_inflater.append(m_input.takeFirst());
        }

        QByteArray piece = m_inflater.next(kPiece);

        QMutexLocker lock(&m_mutex);
        qsizetype queued = 0;
        for (const QByteArray& chunk : std::as_const(m_input))
            queued += chunk.size();
        m_waitingInput = queued + m_inflater.pendingInput();
        if (m_inflater.failed()) {
            m_failed = true;
            m_running = false;
            lock.unlock();
            wake();
            return;
        }
        if (!piece.isEmpty()) {
            if (m_stopped)
                continue;
            m_waitingOutput += piece.size();
            m_output.append(std::move(piece));
            if (!std::exchange(m_woken, true)) {
                lock.unlock();
                wake();
            }
            continue;
        }
        // Nothing came out: all it was given is decoded, or what it holds needs bytes that have not come yet.
        if (!m_input.isEmpty())
            continue;
        m_running = false;
        if (!m_inputEnded) {
            m_starved = true;
            return;
        }
        m_finished = true;
        m_failed = !m_inflater.complete();
        lock.unlock();
        wake();
        return;
    }
}

} // namespace netkit
