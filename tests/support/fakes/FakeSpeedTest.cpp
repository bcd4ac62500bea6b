#include "FakeSpeedTest.h"

#include <algorithm>
#include <cctype>

namespace sendra::fakes {

namespace {

constexpr const char* downPath = "/__down";
constexpr const char* upPath = "/__up";

// The decimal byte count of a download request, when it is one within the limit.
std::optional<std::size_t> requestedBytes(const RecordedRequest& request)
{
    const std::optional<std::string> text = request.queryValue("bytes");
    if (!text || text->empty() || text->size() > 12
        || !std::all_of(text->begin(), text->end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    const std::size_t bytes = std::stoull(*text);
    if (bytes > FakeSpeedTest::maxDownloadBytes)
        return std::nullopt;
    return bytes;
}

} // namespace

FakeSpeedTest::FakeSpeedTest()
{
    route("GET", downPath, [this](const RecordedRequest& request) { return answer(*stepOf(request), request); });
    route("POST", upPath, [this](const RecordedRequest& request) { return answer(Step::upload, request); });
}

FakeSpeedTest::~FakeSpeedTest()
{
    stop();
}

void FakeSpeedTest::setBehaviour(Step step, Behaviour behaviour)
{
    std::lock_guard lock(m_mutex);
    m_behaviours[std::size_t(step)] = behaviour;
}

std::vector<RecordedRequest> FakeSpeedTest::requestsFor(Step step) const
{
    std::vector<RecordedRequest> found;
    for (const RecordedRequest& request : requests())
        if (stepOf(request) == step)
            found.push_back(request);
    return found;
}

std::optional<FakeSpeedTest::Step> FakeSpeedTest::stepOf(const RecordedRequest& request)
{
    if (request.path == upPath)
        return Step::upload;
    if (request.path != downPath)
        return std::nullopt;
    const std::optional<std::size_t> bytes = requestedBytes(request);
    return bytes && *bytes <= 1 ? Step::latency : Step::download;
}

Reply FakeSpeedTest::answer(Step step, const RecordedRequest& request) const
{
    Behaviour behaviour;
    {
        std::lock_guard lock(m_mutex);
        behaviour = m_behaviours[std::size_t(step)];
    }
    Reply reply = Reply::empty(behaviour.status);
    if (step != Step::upload) {
        const std::optional<std::size_t> bytes = requestedBytes(request);
        if (!bytes)
            return Reply::text("bytes: a decimal count up to 64 MiB\n", 400);
        reply.body.assign(std::min(*bytes, behaviour.bodyLimit.value_or(*bytes)), '\0');
        reply.contentType = "application/octet-stream";
    }
    reply.headers.emplace_back("Cache-Control", "no-store");
    reply.delay = behaviour.delay;
    reply.mode = behaviour.mode;
    return reply;
}

} // namespace sendra::fakes
