#pragma once

#include <QCoro/QCoroTask>

#include <exception>
#include <optional>
#include <type_traits>

namespace sendra::testing {

namespace detail {

template<class T>
QCoro::Task<void> settle(QCoro::Task<T> task, std::optional<T>* value, std::exception_ptr* error)
{
    try {
        value->emplace(co_await task);
    } catch (...) {
        *error = std::current_exception();
    }
}

inline QCoro::Task<void> settle(QCoro::Task<void> task, std::exception_ptr* error)
{
    try {
        co_await task;
    } catch (...) {
        *error = std::current_exception();
    }
}

} // namespace detail

// Runs the event loop until `task` ends and returns its value or rethrows its exception. QCoro::waitFor never
// returns when the task throws (its loop is only quit on success), so tests use this instead.
template<class T>
T syncWait(QCoro::Task<T> task)
{
    std::exception_ptr error;
    if constexpr (std::is_void_v<T>) {
        QCoro::waitFor(detail::settle(std::move(task), &error));
        if (error)
            std::rethrow_exception(error);
    } else {
        std::optional<T> value;
        QCoro::waitFor(detail::settle(std::move(task), &value, &error));
        if (error)
            std::rethrow_exception(error);
        return std::move(*value);
    }
}

} // namespace sendra::testing
