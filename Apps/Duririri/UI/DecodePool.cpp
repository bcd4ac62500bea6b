#include "UI/DecodePool.h"

namespace sendra::ui {

DecodePool::DecodePool(int threads)
{
    m_threads.setMaxThreadCount(threads);
}

DecodePool::~DecodePool()
{
    stop();
}

void DecodePool::submit(std::function<void()> work)
{
    m_threads.start(std::move(work));
}

void DecodePool::stop()
{
    m_threads.waitForDone();
}

} // namespace sendra::ui
