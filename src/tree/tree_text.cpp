#include "tree/tree_text.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tolva {

struct TreeText::Composite {
  std::vector<Item> items;
  std::string label;
  std::size_t size = 0;

  ~Composite();
};

// Releasing a composite releases its children, so a chain of composites as deep
// as a long path would recurse once per level and exhaust the stack. The
// children this composite alone owns are detached instead and released one at
// a time from a local stack, each after its own sole-owned children were taken.
TreeText::Composite::~Composite() {
  std::vector<std::shared_ptr<const Composite>> pending;
  auto detach_sole_children = [&pending](std::vector<Item>& children) {
    for (Item& item : children)
      if (item.child.composite_.use_count() == 1) pending.push_back(std::move(item.child.composite_));
  };
  detach_sole_children(items);
  while (!pending.empty()) {
    std::shared_ptr<const Composite> next = std::move(pending.back());
    pending.pop_back();
    // Every composite is created non-const (make_shared<Composite>), and this is its last owner.
    detach_sole_children(const_cast<Composite&>(*next).items);
  }
}

namespace {

constexpr std::string_view kOpen = "(";
constexpr std::string_view kSeparator = ", ";
constexpr std::string_view kColon = ":";
constexpr std::string_view kClose = ")";

}  // namespace

std::string build_node_string(std::string_view label, const std::vector<BranchText>& entries) {
  std::string text;
  text.reserve(node_text_size(
      label, entries.size(), [&](std::size_t i) { return entries[i].text.size(); },
      [&](std::size_t i) { return entries[i].modality.size(); }));
  append_node_text(
      text, label, entries.size(), [&](std::size_t i) { return entries[i].text; },
      [&](std::size_t i) { return entries[i].modality; });
  return text;
}

TreeText TreeText::flat(std::shared_ptr<const std::string> text) {
  TreeText out;
  out.flat_ = std::move(text);
  return out;
}

TreeText TreeText::node(const std::vector<Item>& items, std::string_view label) {
  auto text_size = [&](std::size_t i) { return items[i].child.size(); };
  auto modality_size = [&](std::size_t i) { return items[i].modality.size(); };
  std::size_t size = node_text_size(label, items.size(), text_size, modality_size);
  bool children_flat = std::all_of(items.begin(), items.end(),
                                   [](const Item& item) { return item.child.is_flat(); });
  if (size > kFlatLimit || !children_flat) return composite(items, label);
  std::string text;
  text.reserve(size);
  append_node_text(
      text, label, items.size(), [&](std::size_t i) -> std::string_view { return items[i].child.flat_text(); },
      [&](std::size_t i) -> std::string_view { return items[i].modality; });
  return flat(std::make_shared<const std::string>(std::move(text)));
}

TreeText TreeText::composite(std::vector<Item> items, std::string_view label) {
  auto composite = std::make_shared<Composite>();
  composite->size = node_text_size(
      label, items.size(), [&](std::size_t i) { return items[i].child.size(); },
      [&](std::size_t i) { return items[i].modality.size(); });
  composite->items = std::move(items);
  composite->label = label;
  TreeText out;
  out.composite_ = std::move(composite);
  return out;
}

std::size_t TreeText::size() const {
  if (composite_) return composite_->size;
  return flat_ ? flat_->size() : 0;
}

bool TreeText::is_flat() const { return !composite_; }

const std::string& TreeText::flat_text() const {
  static const std::string kEmpty;
  return flat_ ? *flat_ : kEmpty;
}

std::string TreeText::str() const {
  std::string out;
  append_to(out);
  return out;
}

void TreeText::append_to(std::string& out) const {
  out.reserve(out.size() + size());
  ChunkCursor cursor(*this);
  for (std::string_view chunk = cursor.next(); !chunk.empty(); chunk = cursor.next()) out += chunk;
}

int TreeText::compare(const TreeText& other) const {
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
    stack_.push_back(Level{text.composite_.get()});
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
        if (level.item == node.items.size()) {
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
          stack_.push_back(Level{child.composite_.get()});
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
