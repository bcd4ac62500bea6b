#pragma once

#include "NetKit/Workers.h"

#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTask>

#include <exception>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace sendra {

// Runs CPU-heavy `work` on the background pool and awaits it, so the main thread never parses a catalogue.
// Whatever `work` throws is rethrown to the awaiting coroutine.
template <class Work, class Result = std::invoke_result_t<Work&>>
QCoro::Task<Result> runInBackground(Work work)
{
    // QFuture hands its result out by copy: the value travels behind a pointer, so a big result (an entry table)
    // is never copied on its way back.
    struct Outcome {
        std::shared_ptr<Result> value;
        std::exception_ptr error;
    };
    // Named, never a temporary inside co_await: g++ 12 destroys a lambda or braced temporary there twice.
    auto job = [work = std::move(work)]() mutable {
        Outcome result;
        try {
            result.value = std::make_shared<Result>(work());
        } catch (...) {
            result.error = std::current_exception();
        }
        return result;
    };
    Outcome outcome = co_await netkit::startInBackground(std::move(job));
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    co_return std::move(*outcome.value);
}

} // namespace sendra
