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
#include <vector>

#include "graph/id_index.h"

namespace tolva {

class InternTable {
 public:
  // The stored copy equal to `text`, made on first sight.
  std::shared_ptr<const std::string> intern(std::string_view text) {
    auto text_at = [this](std::uint32_t position) -> std::string_view { return *texts_[position]; };
    if (auto found = index_.find(text, text_at)) return texts_[*found];
    texts_.push_back(std::make_shared<const std::string>(text));
    index_.insert(*texts_.back(), static_cast<std::uint32_t>(texts_.size() - 1));
    return texts_.back();
  }

 private:
  std::vector<std::shared_ptr<const std::string>> texts_;
  IdIndex index_;  // text -> position in texts_
};

}  // namespace tolva
