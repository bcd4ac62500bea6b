#pragma once

// Runs a task to its end in a test and keeps its value or what it threw.

#include "Domain/CommandError.h"
#include "NetKit/LenientJson.h"

#include <QCoro/QCoroTask>

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
    using Value = std::conditional_t<std::is_void_v<T>, Done, T>;
    Outcome<Value> outcome;
    QCoro::waitFor([](QCoro::Task<T> inner, Outcome<Value>* out) -> QCoro::Task<void> {
        try {
            if constexpr (std::is_void_v<T>) {
                co_await std::move(inner);
                out->value.emplace();
            } else {
                out->value.emplace(co_await std::move(inner));
            }
        } catch (...) {
            out->error = std::current_exception();
        }
    }(std::move(task), &outcome));
    return outcome;
}

} // namespace sendra::testkit
