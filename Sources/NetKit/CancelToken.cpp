#include "NetKit/CancelToken.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>
#include <vector>

namespace netkit {

namespace detail {

struct CancelState
{
    std::mutex mutex;
    std::atomic<bool> cancelled{false};
    quint64 nextId = 1;
    std::vector<std::pair<quint64, std::function<void()>>> callbacks;
    std::vector<std::weak_ptr<CancelState>> children;

    void cancel()
    {
        decltype(callbacks) pending;
        decltype(children) linked;
        {
            std::lock_guard lock(mutex);
            if (cancelled.exchange(true))
                return;
            pending.swap(callbacks);
            linked.swap(children);
        }
        // Outside the lock: a callback may register or unregister on this very token.
        for (auto& [id, callback] : pending)
            callback();
        for (auto& weak : linked)
            if (auto child = weak.lock())
                child->cancel();
    }

    void unregister(quint64 id)
    {
        std::lock_guard lock(mutex);
        std::erase_if(callbacks, [id](const auto& entry) { return entry.first == id; });
    }
};

} // namespace detail

const char* Cancelled::what() const noexcept
{
    return "The task was cancelled";
}

CancelRegistration::CancelRegistration(std::weak_ptr<detail::CancelState> state, quint64 id)
    : m_state(std::move(state))
    , m_id(id)
{
}

CancelRegistration::CancelRegistration(CancelRegistration&& other) noexcept
    : m_state(std::move(other.m_state))
    , m_id(std::exchange(other.m_id, 0))
{
}

CancelRegistration& CancelRegistration::operator=(CancelRegistration&& other) noexcept
{
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
        m_id = std::exchange(other.m_id, 0);
    }
    return *this;
}

CancelRegistration::~CancelRegistration()
{
    reset();
}

void CancelRegistration::reset()
{
    if (auto state = m_state.lock(); state && m_id != 0)
        state->unregister(m_id);
    m_state.reset();
    m_id = 0;
}

CancelToken::CancelToken()
    : m_state(std::make_shared<detail::CancelState>())
{
}

CancelToken::CancelToken(std::shared_ptr<detail::CancelState> state)
    : m_state(std::move(state))
{
}

CancelToken CancelToken::child() const
{
    auto state = std::make_shared<detail::CancelState>();
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->cancelled) {
            std::erase_if(m_state->children, [](const auto& weak) { return weak.expired(); });
            m_state->children.push_back(state);
            return CancelToken(std::move(state));
        }
    }
    state->cancel();
    return CancelToken(std::move(state));
}

void CancelToken::cancel() const
{
    m_state->cancel();
}

bool CancelToken::isCancelled() const noexcept
{
    return m_state->cancelled.load();
}

CancelRegistration CancelToken::onCancel(std::function<void()> callback) const
{
    {
        std::lock_guard lock(m_state->mutex);
        if (!m_state->cancelled) {
            const quint64 id = m_state->nextId++;
            m_state->callbacks.emplace_back(id, std::move(callback));
            return CancelRegistration(m_state, id);
        }
    }
    callback();
    return {};
}

void throwIfCancelled(const CancelToken& token)
{
    if (token.isCancelled())
        throw Cancelled();
}

} // namespace netkit
