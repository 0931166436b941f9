#include "tree/tree_walk.h"

#include <algorithm>
#include <charconv>

namespace tolva {
namespace {

const TreeText kMissingChild = TreeText::flat("?");

}  // namespace

void TreeWalker::start(const GraphWrap& graph) {
  graph_ = &graph;
  std::size_t slot_count = graph.node_slot_count();
  if (slots_.size() < slot_count) {
    // Every stamp is zero, which no walk has: nothing of the old state is needed.
    slots_.assign_zeroed(std::max(slot_count, 2 * slots_.size()));
    // A walk writes each slot at most once, and most of a walk's links are
    // its tree's edges: room for one per slot spares the steps of growing
    // (only reserved, so memory a walk does not use is not touched).
    written_.reserve(slot_count);
    links_.reserve(slot_count);
  }
  if (class_texts_.size() < graph.copy_class_count()) class_texts_.resize(graph.copy_class_count());
  if (++stamp_ == 0) {
    // The stamps went round: forget every old stamp once.
    for (SlotState& slot : slots_) slot.stamp = 0;
    for (ClassText& known : class_texts_) known.stamp = 0;
    stamp_ = 1;
  }
  frame_count_ = 0;
  links_.clear();
  written_.clear();
  child_orders_.clear();
  child_modalities_.clear();
  arena_.reset();
}

std::expected<WrittenNode, std::string> TreeWalker::walk(const GraphWrap& graph, NodeIndex root,
                                                          const BlockedNodes& blocked, TreeWalkOptions options) {
  start(graph);
  blocked_ = &blocked;
  options_ = options;
  bool memo_applies = options.memo != nullptr && options.memo->serves(graph) && !options.use_parent_modality &&
                      !options.record_child_orders && !options.heights_only;
  memo_ = memo_applies ? options.memo : nullptr;
  share_copies_ = may_share_copies(graph, blocked);
  push_frames(1)[0] = Frame{kEndMarker, root, false, 0, 0};
  while (frame_count_ > 0) {
    if (options_.stop != nullptr && options_.stop->should_stop()) return std::unexpected("interrupted");
    Frame frame = frames_[--frame_count_];
    if (frame.exit)
      finish(frame);
    else
      enter(frame);
  }
  const WrittenNode* result = written(root);
  if (result == nullptr) return std::unexpected("failed to build tree string");
  return *result;
}

// The frame stack keeps its high-water size between walks: pushing is a store,
// and the stack grows only when a walk goes deeper or wider than any before.
TreeWalker::Frame* TreeWalker::push_frames(std::size_t count) {
  if (frame_count_ + count > frames_.size()) frames_.resize(std::max(2 * frames_.size(), frame_count_ + count + 16));
  Frame* top = frames_.data() + frame_count_;
  frame_count_ += count;
  return top;
}

bool TreeWalker::may_share_copies(const GraphWrap& graph, const BlockedNodes& blocked) const {
  if (graph.copy_class_count() == 0 || options_.record_child_orders) return false;
  return !blocked.any_blocked_slot([&](NodeIndex node) { return graph.copy_class(node) != GraphWrap::kNotACopy; });
}

// Only a copy entered from its parent writes its class's text. Within one
// copy the floors are those of the region it copies, shifted: a node's parent
// lies one floor above it and its children one below. (In a tree a walk
// enters a copy from below only when it starts inside the copy's subtree, and
// then every other copy of its class is entered after it and written before
// it: it neither lends nor borrows. The floors make that hold without the
// argument.)
std::optional<std::uint32_t> TreeWalker::sharing_class(NodeIndex parent, NodeIndex node) const {
  if (!share_copies_ || parent == kEndMarker) return std::nullopt;
  std::uint32_t copy_class = graph_->copy_class(node);
  if (copy_class >= graph_->copy_class_count()) return std::nullopt;
  auto parent_floor = graph_->floor(parent), floor = graph_->floor(node);
  if (!parent_floor || !floor || *parent_floor >= *floor) return std::nullopt;
  return copy_class;
}

const WrittenNode* TreeWalker::written(NodeIndex node) const {
  if (node >= slots_.size() || slots_[node].stamp != stamp_ || slots_[node].written == kEndMarker)
    return nullptr;
  return &written_[slots_[node].written];
}

void TreeWalker::enter(const Frame& frame) {
  NodeIndex node = frame.node;
  SlotState& self = state(node);
  if (self.visited) return;
  self.visited = true;
  // A settled node entered from its parent writes what it wrote before.
  if (memo_ != nullptr && frame.parent != kEndMarker) {
    if (const SubtreeMemo::Entry* known = memo_->find(node)) {
      self.written = static_cast<std::uint32_t>(written_.size());
      written_.push_back(WrittenNode{TreeText::flat(known->text), known->height, 0, 0});
      return;
    }
  }
  if (auto copy_class = sharing_class(frame.parent, node)) {
    const ClassText& known = class_texts_[*copy_class];
    if (known.stamp == stamp_) {
      self.written = known.written;
      return;
    }
  }
  auto begin = static_cast<std::uint32_t>(links_.size());
  std::uint64_t ordinal = 0;
  const GraphWrap& graph = *graph_;
  graph.for_each_incident(node, [&](EdgeIndex edge, NodeIndex next) {
    std::uint64_t position = ordinal++;
    if (frame.parent != kEndMarker && next == frame.parent) return;
    if (!graph.node_occupied(next) || blocked_->contains(graph, next)) return;
    SlotState& other = state(next);
    if (other.visited) return;
    std::string_view modality = graph.modality(edge);
    if (other.linked_by == node) {
      modality = links_[other.first_link].modality;
    } else {
      other.linked_by = node;
      other.first_link = static_cast<std::uint32_t>(links_.size());
    }
    links_.push_back(ChildLink{position, next, modality});
  });
  // The exit frame, then the children last to first, so the first child is entered first.
  Frame* out = push_frames(1 + (links_.size() - begin));
  *out++ = Frame{frame.parent, node, true, begin, ordinal};
  for (auto i = links_.size(); i > begin; --i) *out++ = Frame{node, links_[i - 1].child, false, 0, 0};
}

void TreeWalker::finish(const Frame& frame) {
  std::uint32_t begin = frame.links_begin;
  if (options_.heights_only) {
    std::int32_t height = 1;
    if (frame.parent == kEndMarker || frame.degree != 1)
      for (std::size_t i = begin; i < links_.size(); ++i) {
        const WrittenNode* child = written(links_[i].child);
        height = std::max(height, (child ? child->height : 1) + 1);
      }
    links_.resize(begin);
    state(frame.node).written = static_cast<std::uint32_t>(written_.size());
    note_class_text(frame);
    written_.push_back(WrittenNode{TreeText(), height, 0, 0});
    return;
  }
  std::string_view label = graph_->written_label(frame.node);
  if (frame.parent != kEndMarker && frame.degree == 1) {
    links_.resize(begin);
    state(frame.node).written = static_cast<std::uint32_t>(written_.size());
    written_.push_back(WrittenNode{TreeText::flat(label), 1, 0, 0});
    return;
  }
  entries_.clear();
  for (std::size_t i = begin; i < links_.size(); ++i) {
    const ChildLink& link = links_[i];
    const WrittenNode* child = written(link.child);
    if (child == nullptr)
      entries_.push_back(BranchEntry{link.modality, link.ordinal, link.child, 1, kMissingChild});
    else
      entries_.push_back(BranchEntry{link.modality, link.ordinal, link.child, child->height, child->text});
  }
  links_.resize(begin);
  if (entries_.size() > 1) sort_children();

  std::int32_t height = 1;
  for (const BranchEntry& entry : entries_) height = std::max(height, entry.height + 1);
  WrittenNode result{node_text(label), height, 0, 0};
  if (options_.record_child_orders) {
    result.children_begin = static_cast<std::uint32_t>(child_orders_.size());
    result.children_count = static_cast<std::uint32_t>(entries_.size());
    for (const BranchEntry& entry : entries_) {
      child_orders_.push_back(entry.child);
      child_modalities_.push_back(entry.modality);
    }
  }
  state(frame.node).written = static_cast<std::uint32_t>(written_.size());
  note_class_text(frame);
  written_.push_back(result);
  if (memo_ != nullptr && frame.parent != kEndMarker && result.text.is_flat() && memo_->settled(frame.node))
    memo_->remember(frame.node, result.text.flat_text(), height);
}

// The first copy of a class written in this walk lends its text from now on;
// it is about to be pushed onto written_.
void TreeWalker::note_class_text(const Frame& frame) {
  if (auto copy_class = sharing_class(frame.parent, frame.node))
    class_texts_[*copy_class] = ClassText{stamp_, static_cast<std::uint32_t>(written_.size())};
}

// Small texts are written out, straight from the sorted entries; large ones
// refer to their children.
TreeText TreeWalker::node_text(std::string_view label) {
  auto flat = flat_node_text(
      arena_, label, entries_.size(), [&](std::size_t i) -> const TreeText& { return entries_[i].text; },
      [&](std::size_t i) { return entries_[i].modality; });
  if (flat) return *flat;
  items_.clear();
  for (const BranchEntry& entry : entries_) items_.push_back(TreeText::Item{entry.text, entry.modality});
  return TreeText::composite(arena_, items_, label);
}

void TreeWalker::sort_children() {
  bool by_modality = options_.use_parent_modality;
  std::sort(entries_.begin(), entries_.end(), [by_modality](const BranchEntry& a, const BranchEntry& b) {
    if (a.height != b.height) return a.height < b.height;
    if (by_modality) {
      if (int order = a.modality.compare(b.modality); order != 0) return order < 0;
    }
    if (int order = a.text.compare(b.text); order != 0) return order < 0;
    return a.ordinal < b.ordinal;
  });
}

std::string format_label(const GraphWrap& graph, NodeIndex node) { return std::string(graph.written_label(node)); }

}  // namespace tolva
