// InternTable: one shared immutable copy of each distinct short text.
//
// The tree walk interns every flat subtree text, so equal subtrees (all the
// "H" leaves of a molecule, repeated side chains) are held once however often
// they occur. The table is owned by one walk and has no effect on any output.
//
//   InternTable table;
//   auto a = table.intern("C");
//   auto b = table.intern("C");   // a.get() == b.get()
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tolva {

class InternTable {
 public:
  // The stored copy equal to `text`, made on first sight.
  std::shared_ptr<const std::string> intern(std::string_view text) {
    if (auto found = texts_.find(text); found != texts_.end()) return found->second;
    auto stored = std::make_shared<const std::string>(text);
    texts_.emplace(std::string_view(*stored), stored);
    return stored;
  }

 private:
  // Keys view the stored strings, which the values keep alive.
  std::unordered_map<std::string_view, std::shared_ptr<const std::string>> texts_;
};

}  // namespace tolva
