// The network check: latency, download and upload measured one after the other against the speed-test service,
// each published as soon as it is known. A failed step ends the check with latency -1; nothing is shown.
#include "State/CommandDeck.h"
#include "State/DeckLog.h"

#include "State/NetworkCheck.h"

namespace sendra {

void CommandDeck::runNetworkCheck()
{
    if (m_networkCheckRunning)
        return;
    {
        const Batch batch(*this);
        assign(m_networkCheckRunning, true, {&CommandDeck::networkCheckRunningChanged});
        assign(m_networkDownload, 0.0, {&CommandDeck::networkDownloadChanged});
        assign(m_networkUpload, 0.0, {&CommandDeck::networkUploadChanged});
        assign(m_networkLatency, 0, {&CommandDeck::networkLatencyChanged});
    }
    m_networkCheckTask.start([this](netkit::CancelToken token) { return networkCheckTask(std::move(token)); });
}

QCoro::Task<void> CommandDeck::networkCheckTask(netkit::CancelToken token)
{
    // Kept by the task: the check may be replaced while it runs.
    const std::shared_ptr<const NetworkCheck> check = m_clients.networkCheck;
    try {
        if (!check)
            throw NetworkCheck::Refused();
        const int latency = co_await check->latency(token);
        netkit::throwIfCancelled(token);
        assign(m_networkLatency, latency, {&CommandDeck::networkLatencyChanged});
        const double download = co_await check->download(token);
        netkit::throwIfCancelled(token);
        assign(m_networkDownload, download, {&CommandDeck::networkDownloadChanged});
        const double upload = co_await check->upload(token);
        netkit::throwIfCancelled(token);
        const Batch batch(*this);
        assign(m_networkUpload, upload, {&CommandDeck::networkUploadChanged});
        assign(m_networkCheckRunning, false, {&CommandDeck::networkCheckRunningChanged});
        co_return;
    } catch (...) {
        if (!token.isCancelled())
            qCWarning(deckLog, "Sendra: the network check failed");
    }
    // Only the deck going away cancels a check.
    if (token.isCancelled())
        co_return;
    const Batch batch(*this);
    assign(m_networkLatency, -1, {&CommandDeck::networkLatencyChanged});
    assign(m_networkCheckRunning, false, {&CommandDeck::networkCheckRunningChanged});
}

} // namespace sendra
