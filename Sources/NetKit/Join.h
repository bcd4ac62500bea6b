#pragma once

#include "NetKit/CancelToken.h"

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>
#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace netkit {

namespace detail {

using JoinChild = std::function<QCoro::Task<void>(CancelToken)>;

// Runs every child with one child token of `token`. The first child to fail cancels the others; every child is
// awaited before this returns, then the first failure is rethrown.
QCoro::Task<void> joinChildren(CancelToken token, std::vector<JoinChild> children);

template<class Fn>
using JoinValue = typename std::invoke_result_t<Fn&, CancelToken>::value_type;

template<class T>
QCoro::Task<void> storeAt(std::shared_ptr<std::vector<std::optional<T>>> results, std::size_t index,
                          std::function<QCoro::Task<T>(CancelToken)> child, CancelToken token)
{
    (*results)[index].emplace(co_await child(std::move(token)));
}

template<std::size_t I, class Results, class Fn>
QCoro::Task<void> storeInTuple(std::shared_ptr<Results> results, Fn child, CancelToken token)
{
    std::get<I>(*results).emplace(co_await child(std::move(token)));
}

template<class... Fns, std::size_t... I>
QCoro::Task<std::tuple<JoinValue<Fns>...>> joinTuple(CancelToken token, std::index_sequence<I...>, Fns... fns)
{
    using Results = std::tuple<std::optional<JoinValue<Fns>>...>;
    auto results = std::make_shared<Results>();
    std::vector<JoinChild> children;
    children.reserve(sizeof...(Fns));
    (children.emplace_back([results, fns](CancelToken t) { return storeInTuple<I>(results, fns, std::move(t)); }),
     ...);
    co_await joinChildren(std::move(token), std::move(children));
    co_return std::tuple<JoinValue<Fns>...>{std::move(*std::get<I>(*results))...};
}

} // namespace detail

// Parallel children of one kind; results come back in the children's order.
template<class T>
QCoro::Task<std::vector<T>> joinAll(CancelToken token, std::vector<std::function<QCoro::Task<T>(CancelToken)>> children)
{
    auto results = std::make_shared<std::vector<std::optional<T>>>(children.size());
    std::vector<detail::JoinChild> wrapped;
    wrapped.reserve(children.size());
    for (std::size_t i = 0; i < children.size(); ++i) {
        wrapped.emplace_back([results, i, child = std::move(children[i])](CancelToken t) {
            return detail::storeAt<T>(results, i, child, std::move(t));
        });
    }
    co_await detail::joinChildren(std::move(token), std::move(wrapped));
    std::vector<T> values;
    values.reserve(results->size());
    for (auto& value : *results)
        values.push_back(std::move(*value));
    co_return values;
}

// Parallel children of different kinds, each a callable taking a CancelToken and returning a QCoro::Task of a
// value; the result is the tuple of their values. Children take their parameters by value (captured copies).
template<class... Fns>
    requires(sizeof...(Fns) > 0 && (std::is_invocable_v<Fns&, CancelToken> && ...))
auto joinAll(CancelToken token, Fns... children)
{
    return detail::joinTuple(std::move(token), std::index_sequence_for<Fns...>{}, std::move(children)...);
}

} // namespace netkit
