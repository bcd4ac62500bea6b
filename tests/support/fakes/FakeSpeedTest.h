#pragma once

#include "LoopbackServer.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <optional>
#include <vector>

namespace sendra::fakes {

// The speed-test service of the network check on 127.0.0.1:
//   GET  /__down?bytes=<n>&r=<anything>  n bytes of zeros; a request for at most one byte is the latency probe
//   POST /__up                           takes any body, answers an empty 200
// A byte count that is missing, not decimal or above maxDownloadBytes gets 400. Each step can be delayed,
// answered with another status or in another mode (held, dropped, hanging), and a download can send fewer
// bytes than asked for. Every request is recorded, the upload's body included.
class FakeSpeedTest : public LoopbackServer
{
public:
    enum class Step { latency, download, upload };

    struct Behaviour
    {
        int status = 200;
        std::chrono::milliseconds delay{0};
        Reply::Mode mode = Reply::Mode::Answer;
        std::optional<std::size_t> bodyLimit; // a download sends at most this many bytes (a short body)
    };

    static constexpr std::size_t maxDownloadBytes = 64 * 1024 * 1024;

    FakeSpeedTest();
    ~FakeSpeedTest() override;

    void setBehaviour(Step step, Behaviour behaviour);
    // The requests of one step, in arrival order.
    std::vector<RecordedRequest> requestsFor(Step step) const;

    static std::optional<Step> stepOf(const RecordedRequest& request);

private:
    Reply answer(Step step, const RecordedRequest& request) const;

    mutable std::mutex m_mutex;
    std::array<Behaviour, 3> m_behaviours;
};

} // namespace sendra::fakes
