#pragma once

#include <QCoro/QCoroFuture>
#include <QCoro/QCoroTask>
#include <QtConcurrent/QtConcurrentRun>

#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

namespace sendra {

// Runs CPU-heavy `work` on Qt's thread pool and awaits it, so the main thread never parses a catalogue.
// Whatever `work` throws is rethrown to the awaiting coroutine (QtConcurrent would otherwise swallow or wrap it).
template<class Work, class Result = std::invoke_result_t<Work&>>
QCoro::Task<Result> runInBackground(Work work)
{
    struct Outcome
    {
        std::optional<Result> value;
        std::exception_ptr error;
    };
    // Named, never a temporary inside co_await: g++ 12 destroys a lambda or braced temporary there twice.
    auto job = [work = std::move(work)]() mutable {
        Outcome result;
        try {
            result.value.emplace(work());
        } catch (...) {
            result.error = std::current_exception();
        }
        return result;
    };
    Outcome outcome = co_await QtConcurrent::run(std::move(job));
    if (outcome.error)
        std::rethrow_exception(outcome.error);
    co_return std::move(*outcome.value);
}

} // namespace sendra
