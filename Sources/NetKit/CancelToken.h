#pragma once

#include <QtGlobal>

#include <exception>
#include <functional>
#include <memory>

namespace netkit {

namespace detail {
struct CancelState;
}

// Thrown when a task ends because its own token was cancelled. It is never shown to the user: a cancelled task
// ends silently.
class Cancelled : public std::exception
{
public:
    const char* what() const noexcept override;
};

// Keeps a callback registered on a token; dropping it unregisters the callback.
class CancelRegistration
{
public:
    CancelRegistration() = default;
    CancelRegistration(CancelRegistration&& other) noexcept;
    CancelRegistration& operator=(CancelRegistration&& other) noexcept;
    CancelRegistration(const CancelRegistration&) = delete;
    CancelRegistration& operator=(const CancelRegistration&) = delete;
    ~CancelRegistration();

    void reset();

private:
    friend class CancelToken;
    CancelRegistration(std::weak_ptr<detail::CancelState> state, quint64 id);

    std::weak_ptr<detail::CancelState> m_state;
    quint64 m_id = 0;
};

// A cheap handle to shared cancellation state. Copies share the state; a child is cancelled together with its
// parent (never the other way round). Safe to query from worker threads.
class CancelToken
{
public:
    // A fresh token that nothing else cancels.
    CancelToken();

    [[nodiscard]] CancelToken child() const;
    void cancel() const;
    bool isCancelled() const noexcept;

    // Runs `callback` once when the token is cancelled, on the thread that cancels it; at once when it already
    // is. Callbacks must not throw and should only post work (an abort, a wake-up), never do it in place.
    [[nodiscard]] CancelRegistration onCancel(std::function<void()> callback) const;

    friend bool operator==(const CancelToken& a, const CancelToken& b) noexcept { return a.m_state == b.m_state; }

private:
    explicit CancelToken(std::shared_ptr<detail::CancelState> state);

    std::shared_ptr<detail::CancelState> m_state;
};

void throwIfCancelled(const CancelToken& token);

} // namespace netkit
