#include "NetKit/Join.h"

namespace netkit::detail {

namespace {

struct JoinState
{
    CancelToken group;
    std::exception_ptr firstFailure;
};

QCoro::Task<void> runChild(JoinChild child, std::shared_ptr<JoinState> state)
{
    try {
        co_await child(state->group);
    } catch (...) {
        if (!state->firstFailure) {
            state->firstFailure = std::current_exception();
            state->group.cancel();
        }
    }
}

} // namespace

QCoro::Task<void> joinChildren(CancelToken token, std::vector<JoinChild> children)
{
    throwIfCancelled(token);
    auto state = std::make_shared<JoinState>(JoinState{token.child(), nullptr});
    std::vector<QCoro::Task<void>> running;
    running.reserve(children.size());
    for (auto& child : children)
        running.push_back(runChild(std::move(child), state));
    // Every child is awaited, also after a failure: a dropped QCoro task would keep running unowned.
    for (auto& task : running)
        co_await task;
    if (state->firstFailure)
        std::rethrow_exception(state->firstFailure);
}

} // namespace netkit::detail
