#pragma once

#include "NetKit/CancelToken.h"
#include "NetKit/HttpSession.h"

#include <QCoro/QCoroTask>
#include <QUrl>

#include <chrono>
#include <exception>
#include <functional>

namespace sendra {

// Idle time-outs of each request of the network check (tests scale them down).
struct NetworkCheckTimeouts
{
    std::chrono::milliseconds latency{60000};
    std::chrono::milliseconds download{60000};
    std::chrono::milliseconds upload{60000};
};

// The three measurements of the network check against a speed-test service that serves "/__down?bytes=<n>" and
// takes a POST on "/__up". Each step waits for the whole answer and times it with the clock.
//
// Failures: NetworkCheck::Refused for an answer outside 200-299 (a 404 page is no measurement), netkit::HttpError
// for a transfer failure or a time-out, netkit::Cancelled when `token` was cancelled.
class NetworkCheck
{
public:
    using Timeouts = NetworkCheckTimeouts;
    // A monotonic clock; tests script it.
    using Clock = std::function<std::chrono::nanoseconds()>;

    class Refused : public std::exception
    {
    public:
        const char* what() const noexcept override;
    };

    static constexpr qint64 downloadBytes = 3'000'000;
    static constexpr qint64 uploadBytes = 2'000'000;

    static std::chrono::nanoseconds steadyNow();

    // With the deployment's service (speedTestBase()).
    explicit NetworkCheck(netkit::HttpSession session);
    NetworkCheck(netkit::HttpSession session, QUrl base, Timeouts timeouts = {}, Clock clock = steadyNow);

    // Milliseconds until a one-byte answer has arrived whole.
    QCoro::Task<int> latency(netkit::CancelToken token) const;
    // Mbit/s of a 3,000,000-byte download, counting the bytes that actually arrived.
    QCoro::Task<double> download(netkit::CancelToken token) const;
    // Mbit/s of a 2,000,000-byte upload (16 megabits over the time until the answer).
    QCoro::Task<double> upload(netkit::CancelToken token) const;

    // The formulas: elapsed times below a millisecond count as one millisecond for the speeds; the latency drops
    // its fraction of a millisecond.
    static int latencyMilliseconds(std::chrono::nanoseconds elapsed);
    static double downloadMegabits(qint64 bytes, std::chrono::nanoseconds elapsed);
    static double uploadMegabits(std::chrono::nanoseconds elapsed);

private:
    struct Timed
    {
        qint64 bytes = 0;
        std::chrono::nanoseconds elapsed{0};
    };
    // Sends the request and times it until its whole answer is in.
    QCoro::Task<Timed> timed(netkit::HttpRequest request, netkit::CancelToken token) const;
    netkit::HttpRequest downRequest(qint64 bytes, std::chrono::milliseconds timeout) const;

    netkit::HttpSession m_session;
    QUrl m_base;
    Timeouts m_timeouts;
    Clock m_clock;
};

} // namespace sendra
