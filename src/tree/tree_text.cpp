#include "tree/tree_text.h"

#include <algorithm>
#include <cstring>

namespace tolva {
namespace {

constexpr std::string_view kOpen = "(";
constexpr std::string_view kSeparator = ", ";
constexpr std::string_view kColon = ":";
constexpr std::string_view kClose = ")";

}  // namespace

std::string build_node_string(std::string_view label, const std::vector<BranchText>& entries) {
  auto text_at = [&](std::size_t i) { return entries[i].text; };
  auto modality_at = [&](std::size_t i) { return entries[i].modality; };
  std::string text(node_text_size(
                       label, entries.size(), [&](std::size_t i) { return entries[i].text.size(); },
                       [&](std::size_t i) { return entries[i].modality.size(); }),
                   '\0');
  write_node_text(text.data(), label, entries.size(), text_at, modality_at);
  return text;
}

TreeText TreeText::node(TextArena& arena, std::span<const Item> items, std::string_view label) {
  auto flat = flat_node_text(
      arena, label, items.size(), [&](std::size_t i) -> const TreeText& { return items[i].child; },
      [&](std::size_t i) { return items[i].modality; });
  return flat ? *flat : composite(arena, items, label);
}

TreeText TreeText::composite(TextArena& arena, std::span<const Item> items, std::string_view label) {
  std::size_t size = node_text_size(
      label, items.size(), [&](std::size_t i) { return items[i].child.size(); },
      [&](std::size_t i) { return items[i].modality.size(); });
  Item* copied = arena.array<Item>(items.size());
  std::uninitialized_copy(items.begin(), items.end(), copied);
  Composite* node = arena.array<Composite>(1);
  new (node) Composite{copied, items.size(), label};
  return TreeText(nullptr, size, node);
}

std::string TreeText::str() const {
  std::string out;
  append_to(out);
  return out;
}

void TreeText::append_to(std::string& out) const {
  if (is_flat()) {
    out.append(flat_text());
    return;
  }
  out.reserve(out.size() + size());
  ChunkCursor cursor(*this);
  for (std::string_view chunk = cursor.next(); !chunk.empty(); chunk = cursor.next()) out += chunk;
}

char* TreeText::copy_to(char* out) const {
  if (is_flat()) return std::copy_n(data_, size_, out);
  ChunkCursor cursor(*this);
  for (std::string_view chunk = cursor.next(); !chunk.empty(); chunk = cursor.next())
    out = std::copy(chunk.begin(), chunk.end(), out);
  return out;
}

int TreeText::compare(const TreeText& other) const {
  // One text met twice (walks hand nodes written alike one text).
  if (data_ == other.data_ && composite_ == other.composite_ && size_ == other.size_) return 0;
  if (is_flat() && other.is_flat()) {
    int order = flat_text().compare(other.flat_text());
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
  }
  ChunkCursor mine(*this), theirs(other);
  std::string_view a, b;
  while (true) {
    if (a.empty()) a = mine.next();
    if (b.empty()) b = theirs.next();
    if (a.empty() || b.empty()) return a.empty() ? (b.empty() ? 0 : -1) : 1;
    std::size_t common = std::min(a.size(), b.size());
    if (int order = std::memcmp(a.data(), b.data(), common); order != 0) return order < 0 ? -1 : 1;
    a.remove_prefix(common);
    b.remove_prefix(common);
  }
}

TreeText::ChunkCursor::ChunkCursor(const TreeText& text) {
  if (text.composite_)
    stack_.push_back(Level{text.composite_});
  else
    pending_flat_ = text.flat_text();
}

std::string_view TreeText::ChunkCursor::next() {
  using Step = Level::Step;
  if (!pending_flat_.empty()) return std::exchange(pending_flat_, {});
  while (!stack_.empty()) {
    Level& level = stack_.back();
    const Composite& node = *level.node;
    std::string_view piece;
    switch (level.step) {
      case Step::Open:
        level.step = Step::Separator;
        piece = kOpen;
        break;
      case Step::Separator:
        if (level.item == node.count) {
          level.step = Step::Label;
          piece = kClose;
        } else {
          level.step = Step::Child;
          if (level.item > 0) piece = kSeparator;
        }
        break;
      case Step::Child: {
        level.step = Step::Colon;
        const TreeText& child = node.items[level.item].child;
        if (child.composite_) {
          stack_.push_back(Level{child.composite_});
          continue;
        }
        piece = child.flat_text();
        break;
      }
      case Step::Colon:
        level.step = Step::Modality;
        piece = kColon;
        break;
      case Step::Modality:
        piece = node.items[level.item].modality;
        ++level.item;
        level.step = Step::Separator;
        break;
      case Step::Label:
        piece = node.label;
        stack_.pop_back();
        break;
    }
    if (!piece.empty()) return piece;
  }
  return {};
}

}  // namespace tolva
