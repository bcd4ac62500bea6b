#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace sendra {

struct BytesHash
{
    using is_transparent = void;
    std::size_t operator()(std::string_view bytes) const { return std::hash<std::string_view>{}(bytes); }
};

// A map keyed by byte strings that is searched with a string_view, so looking up a text seen in a parser's buffer
// allocates nothing. The readers use it to give the thousands of entries that share a category or group one copy
// of its strings.
template<class T>
using BytesMap = std::unordered_map<std::string, T, BytesHash, std::equal_to<>>;

} // namespace sendra
