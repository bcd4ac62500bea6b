#pragma once

// Waits for a task in a test: its value, or its exception rethrown. Values need not be default-constructible.

#include <QCoro/QCoroTask>
#include <QTest>

#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <type_traits>

namespace coretest {

template <typename T>
T await(QCoro::Task<T> task, int timeoutMs = 30000)
{
    struct State
    {
        std::conditional_t<std::is_void_v<T>, bool, std::optional<T>> value{};
        std::exception_ptr error;
        bool done = false;
    };
    auto state = std::make_shared<State>();
    [](std::shared_ptr<State> state, QCoro::Task<T> task) -> QCoro::Task<void> {
        try {
            if constexpr (std::is_void_v<T>)
                co_await std::move(task);
            else
                state->value.emplace(co_await std::move(task));
        } catch (...) {
            state->error = std::current_exception();
        }
        state->done = true;
    }(state, std::move(task));
    if (!QTest::qWaitFor([&] { return state->done; }, timeoutMs))
        throw std::runtime_error("the task did not finish in time");
    if (state->error)
        std::rethrow_exception(state->error);
    if constexpr (!std::is_void_v<T>)
        return std::move(*state->value);
}

} // namespace coretest
