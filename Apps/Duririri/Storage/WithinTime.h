#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include <qcoro/qcorotask.h>

#include <chrono>
#include <coroutine>
#include <memory>
#include <optional>
#include <utility>

namespace sendra {

namespace detail {

// Where a task's result lands, shared with the task itself so that it can finish after the waiter gave up.
template <class T>
struct Race : std::enable_shared_from_this<Race<T>> {
    std::optional<T> value;
    bool ended = false;
    std::coroutine_handle<> waiter;

    // Resumes the waiter from the event loop, once, whichever of the task and the timer comes first.
    void post()
    {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self = this->shared_from_this()] {
                if (auto handle = std::exchange(self->waiter, {}))
                    handle.resume();
            },
            Qt::QueuedConnection);
    }

    struct Awaiter {
        std::shared_ptr<Race> race;
        bool await_ready() const noexcept { return race->ended; }
        void await_suspend(std::coroutine_handle<> handle) noexcept { race->waiter = handle; }
        void await_resume() const noexcept {}
    };
};

template <class T>
QCoro::Task<void> settleInto(QCoro::Task<T> task, std::shared_ptr<Race<T>> race)
{
    try {
        race->value = co_await std::move(task);
    } catch (...) {
    }
    race->ended = true;
    race->post();
}

} // namespace detail

// The task's result when it ends within `limit` (and does not throw); nothing otherwise. A task that is late
// keeps running on its own (tasks cannot be stopped), and its result is dropped. Main thread only.
template <class T>
QCoro::Task<std::optional<T>> withinTime(QCoro::Task<T> task, std::chrono::milliseconds limit)
{
    auto race = std::make_shared<detail::Race<T>>();
    detail::settleInto(std::move(task), race);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &timer, [race] { race->post(); });
    timer.start(limit);
    typename detail::Race<T>::Awaiter awaiter{race}; // named: g++ 12 destroys awaiter temporaries twice
    co_await awaiter;
    if (!race->ended)
        co_return std::nullopt;
    co_return std::move(race->value);
}

} // namespace sendra
