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

namespace netkit {

// Runs CPU-heavy `work` on the background pool and awaits it, so the main thread never parses or joins a catalogue.
// Whatever `work` throws is rethrown to the awaiting coroutine; a token cancelled meanwhile ends it with Cancelled.
template <class Work, class Result = std::invoke_result_t<Work&>>
QCoro::Task<Result> inBackground(Work work, CancelToken token)
{
    // QFuture hands its result out by copy: the outcome travels behind a pointer, so a big result (an entry table) is
    // never copied on its way back.
    struct Outcome {
        std::optional<Result> value;
        std::exception_ptr error;
    };
    // Named, never a temporary inside co_await: g++ 12 destroys a lambda or braced temporary there twice.
    auto job = [work = std::move(work)]() mutable {
        auto outcome = std::make_shared<Outcome>();
        try {
            outcome->value.emplace(work());
        } catch (...) {
            outcome->error = std::current_exception();
        }
        return outcome;
    };
    auto future = startInBackground(std::move(job));
    const std::shared_ptr<Outcome> outcome = co_await future;
    throwIfCancelled(token);
    if (outcome->error)
        std::rethrow_exception(outcome->error);
    co_return std::move(*outcome->value);
}

} // namespace netkit
