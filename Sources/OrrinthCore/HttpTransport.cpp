#include "OrrinthCore/HttpTransport.h"

namespace orrinth {

QCoro::Task<netkit::HttpResponse> NetworkTransport::send(netkit::HttpRequest request, netkit::CancelToken token)
{
    // The session is copied so the transfer does not depend on this transport outliving it.
    const netkit::HttpSession session = m_session;
    co_return co_await session.send(std::move(request), std::move(token));
}

} // namespace orrinth

namespace orrinth {

QCoro::Task<netkit::HttpResponse> exchange(std::shared_ptr<HttpTransport> transport, netkit::HttpRequest request,
                                           netkit::CancelToken token)
{
    netkit::HttpResponse response = co_await transport->send(std::move(request), token);
    netkit::throwIfCancelled(token);
    co_return response;
}

} // namespace orrinth
