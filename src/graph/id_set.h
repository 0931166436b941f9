// Hash containers keyed by node id, used for membership and lookup only.
//
// No output of tolva may depend on the iteration order of these containers;
// they answer "is this id in the set" and "which slot holds this id", never
// "in which order". Lookups accept std::string_view without building a string.
//
//   IdSet blocked{"a", "b"};
//   if (blocked.contains(std::string_view("a"))) ...
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace tolva {

struct StringHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const noexcept {
    return std::hash<std::string_view>{}(text);
  }
};

using IdSet = std::unordered_set<std::string, StringHash, std::equal_to<>>;

template <typename V>
using IdMap = std::unordered_map<std::string, V, StringHash, std::equal_to<>>;

}  // namespace tolva
