#pragma once

#include <QThreadPool>

#include <functional>

namespace sendra::ui {

// The threads pictures are decoded on, private to the decode queue so that decoding never waits behind other
// work. All the queue asks of it: run this, and stop.
class DecodePool
{
public:
    explicit DecodePool(int threads);
    ~DecodePool();

    // Runs `work` on a free thread, or as soon as one frees up.
    void submit(std::function<void()> work);
    // Waits for the work submitted to end.
    void stop();

private:
    QThreadPool m_threads;
};

} // namespace sendra::ui
