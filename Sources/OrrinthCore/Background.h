#pragma once

#include "NetKit/CancelToken.h"
#include "NetKit/Workers.h"

#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTask>

#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace orrinth {

// Runs `work` on the background pool and awaits it, so decoding a large answer never blocks the event loop. An
// exception of `work` is rethrown here; a token cancelled meanwhile ends the caller with netkit::Cancelled.
template <typename Work>
QCoro::Task<std::invoke_result_t<Work>> inBackground(Work work, netkit::CancelToken token)
{
    using Value = std::invoke_result_t<Work>;
    struct Outcome {
        std::optional<Value> value;
        std::exception_ptr error;
    };
    auto future = netkit::startInBackground([work = std::move(work)]() mutable {
        auto outcome = std::make_shared<Outcome>();
        try {
            outcome->value.emplace(work());
        } catch (...) {
            outcome->error = std::current_exception();
        }
        return outcome;
    });
    const std::shared_ptr<Outcome> outcome = co_await future;
    netkit::throwIfCancelled(token);
    if (outcome->error)
        std::rethrow_exception(outcome->error);
    co_return std::move(*outcome->value);
}

} // namespace orrinth
