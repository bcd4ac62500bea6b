#pragma once

#include "NetKit/CancelToken.h"
#include "NetKit/HttpSession.h"

#include <QCoro/QCoroTask>

#include <memory>

namespace orrinth {

// How the library's clients reach the network. The clients build requests and map answers; a transport only
// carries them, so tests can record requests and script answers without a server.
class HttpTransport
{
public:
    virtual ~HttpTransport() = default;

    // Any HTTP answer, whatever its status (status 0: not an HTTP answer). Throws netkit::Cancelled when `token`
    // is cancelled and netkit::HttpError when no answer came; the clients pass both on unchanged.
    virtual QCoro::Task<netkit::HttpResponse> send(netkit::HttpRequest request, netkit::CancelToken token) = 0;
};

// The real transport: the process's shared HTTP session.
class NetworkTransport final : public HttpTransport
{
public:
    explicit NetworkTransport(netkit::HttpSession session) : m_session(session) {}

    QCoro::Task<netkit::HttpResponse> send(netkit::HttpRequest request, netkit::CancelToken token) override;

private:
    netkit::HttpSession m_session;
};

} // namespace orrinth

namespace orrinth {

// Sends through `transport` and re-checks the token once the answer is in, so a cancelled caller never goes on
// with an answer that raced its cancellation.
QCoro::Task<netkit::HttpResponse> exchange(std::shared_ptr<HttpTransport> transport, netkit::HttpRequest request,
                                           netkit::CancelToken token);

} // namespace orrinth
