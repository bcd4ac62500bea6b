#pragma once

#include "NetKit/HashSeed.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace sendra {

// A map keyed by byte strings that is searched with a string_view, so looking up a text seen in a parser's buffer
// allocates nothing. The readers use it to give the thousands of entries that share a category or group one copy
// of its strings; its keys come from a source, so they hash with the process's seed.
template<class T>
using BytesMap = std::unordered_map<std::string, T, netkit::SeededTextHash, std::equal_to<>>;

} // namespace sendra
