#pragma once

// Runs a task to its end in a test and keeps its value or what it threw.

#include "Domain/CommandError.h"
#include "NetKit/LenientJson.h"
#include "fakes/SyncWait.h"

#include <exception>
#include <optional>
#include <type_traits>

namespace sendra::testkit {

template<class T>
struct Outcome
{
    std::optional<T> value;
    std::exception_ptr error;

    std::optional<CommandError> commandError() const
    {
        try {
            if (error)
                std::rethrow_exception(error);
        } catch (const CommandFailure& failure) {
            return failure.error();
        } catch (...) {
        }
        return std::nullopt;
    }
    template<class E>
    bool threw() const
    {
        try {
            if (error)
                std::rethrow_exception(error);
        } catch (const E&) {
            return true;
        } catch (...) {
        }
        return false;
    }
};

struct Done
{
};

template<class T>
auto awaitOutcome(QCoro::Task<T> task)
{
    Outcome<std::conditional_t<std::is_void_v<T>, Done, T>> outcome;
    try {
        if constexpr (std::is_void_v<T>) {
            testing::syncWait(std::move(task));
            outcome.value.emplace();
        } else {
            outcome.value.emplace(testing::syncWait(std::move(task)));
        }
    } catch (...) {
        outcome.error = std::current_exception();
    }
    return outcome;
}

} // namespace sendra::testkit
