#include "tree/tree_walk.h"

#include <algorithm>

#include "tree/intern_table.h"

namespace tolva {
namespace {

// A neighbour entry taken as a child when its parent was entered.
struct ChildLink {
  std::uint64_t ordinal;  // position among all of the parent's neighbour entries
  NodeIndex child;
  std::string_view modality;
};

struct TreeFrame {
  NodeIndex parent;  // kEndMarker for the root
  NodeIndex node;
  bool exit;
  std::uint32_t links_begin;  // exit frames: the node's links start here in the link stack
  std::uint64_t degree;       // exit frames: the node's number of neighbour entries
};

// A child as its parent sorts it.
struct BranchEntry {
  std::string_view modality;
  std::uint64_t ordinal;
  NodeIndex child;
  std::int32_t height;
  const TreeText* text;
};

// Per-slot scratch of one walk.
struct SlotState {
  std::uint32_t written = kEndMarker;
  // Parallel edges: the node that last linked this slot, and where that link is,
  // so a second entry reuses the modality of the first edge to the same child.
  NodeIndex linked_by = kEndMarker;
  std::uint32_t first_link = 0;
  bool visited = false;
};

class Walker {
 public:
  Walker(const GraphWrap& graph, const BlockedNodes& blocked, TreeWalkOptions options)
      : graph_(graph), blocked_(blocked), options_(options), slots_(graph.node_slot_count()),
        interned_() {}

  std::expected<TreeWalk, std::string> run(NodeIndex root) {
    // Most walks (magnets) cover a small part of the graph; start modestly.
    std::size_t expected = std::min<std::size_t>(graph_.node_count(), 256);
    frames_.reserve(expected);
    links_.reserve(expected);
    written_.reserve(expected);
    entries_.reserve(16);
    frames_.push_back(TreeFrame{kEndMarker, root, false, 0, 0});
    while (!frames_.empty()) {
      if (options_.stop != nullptr && options_.stop->should_stop()) return std::unexpected("interrupted");
      TreeFrame frame = frames_.back();
      frames_.pop_back();
      if (frame.exit)
        finish(frame);
      else
        enter(frame);
    }
    if (slots_[root].written == kEndMarker) return std::unexpected("failed to build tree string");
    TreeWalk walk;
    walk.written_index.resize(slots_.size());
    for (std::size_t i = 0; i < slots_.size(); ++i) walk.written_index[i] = slots_[i].written;
    walk.written = std::move(written_);
    return walk;
  }

 private:
  void enter(const TreeFrame& frame) {
    NodeIndex node = frame.node;
    if (slots_[node].visited) return;
    slots_[node].visited = true;
    auto begin = static_cast<std::uint32_t>(links_.size());
    std::uint64_t ordinal = 0;
    graph_.for_each_incident(node, [&](EdgeIndex edge, NodeIndex next) {
      std::uint64_t position = ordinal++;
      if (frame.parent != kEndMarker && next == frame.parent) return;
      if (!graph_.node_occupied(next) || blocked_.contains(graph_, next)) return;
      if (slots_[next].visited) return;
      std::string_view modality = graph_.modality(edge);
      SlotState& state = slots_[next];
      if (state.linked_by == node) {
        modality = links_[state.first_link].modality;
      } else {
        state.linked_by = node;
        state.first_link = static_cast<std::uint32_t>(links_.size());
      }
      links_.push_back(ChildLink{position, next, modality});
    });
    frames_.push_back(TreeFrame{frame.parent, node, true, begin, ordinal});
    for (auto i = links_.size(); i > begin; --i)
      frames_.push_back(TreeFrame{node, links_[i - 1].child, false, 0, 0});
  }

  void finish(const TreeFrame& frame) {
    label_ = format_label(graph_, frame.node);
    if (frame.parent != kEndMarker && frame.degree == 1) {
      store(frame.node, TreeText::flat(interned_.intern(label_)), 1, {});
      links_.resize(frame.links_begin);
      return;
    }
    std::vector<BranchEntry>& entries = entries_;
    entries.clear();
    for (std::size_t i = frame.links_begin; i < links_.size(); ++i) {
      const ChildLink& link = links_[i];
      std::uint32_t written = slots_[link.child].written;
      if (written == kEndMarker)
        entries.push_back(BranchEntry{link.modality, link.ordinal, link.child, 1, &missing_child_});
      else
        entries.push_back(BranchEntry{link.modality, link.ordinal, link.child,
                                      written_[written].height, &written_[written].text});
    }
    links_.resize(frame.links_begin);
    if (entries.size() > 1) sort_children(entries);

    std::int32_t height = 1;
    for (const BranchEntry& entry : entries) height = std::max(height, entry.height + 1);
    TreeText text = node_text(entries);
    std::vector<NodeIndex> children;
    if (options_.record_child_orders) {
      children.reserve(entries.size());
      for (const BranchEntry& entry : entries) children.push_back(entry.child);
    }
    store(frame.node, std::move(text), height, std::move(children));
  }

  // Small texts are written out and interned; large ones refer to their children.
  TreeText node_text(const std::vector<BranchEntry>& entries) {
    auto text_size = [&](std::size_t i) { return entries[i].text->size(); };
    auto modality_size = [&](std::size_t i) { return entries[i].modality.size(); };
    std::size_t size = node_text_size(label_, entries.size(), text_size, modality_size);
    bool children_flat = std::all_of(entries.begin(), entries.end(),
                                     [](const BranchEntry& entry) { return entry.text->is_flat(); });
    if (size <= TreeText::kFlatLimit && children_flat) {
      text_.clear();
      append_node_text(
          text_, label_, entries.size(),
          [&](std::size_t i) -> std::string_view { return entries[i].text->flat_text(); },
          [&](std::size_t i) -> std::string_view { return entries[i].modality; });
      return TreeText::flat(interned_.intern(text_));
    }
    std::vector<TreeText::Item> items;
    items.reserve(entries.size());
    for (const BranchEntry& entry : entries) items.push_back(TreeText::Item{*entry.text, std::string(entry.modality)});
    return TreeText::composite(std::move(items), label_);
  }

  void sort_children(std::vector<BranchEntry>& entries) const {
    bool by_modality = options_.use_parent_modality;
    std::sort(entries.begin(), entries.end(), [by_modality](const BranchEntry& a, const BranchEntry& b) {
      if (a.height != b.height) return a.height < b.height;
      if (by_modality) {
        if (int order = a.modality.compare(b.modality); order != 0) return order < 0;
      }
      if (a.text != b.text) {
        if (int order = a.text->compare(*b.text); order != 0) return order < 0;
      }
      return a.ordinal < b.ordinal;
    });
  }

  void store(NodeIndex node, TreeText text, std::int32_t height, std::vector<NodeIndex> children) {
    slots_[node].written = static_cast<std::uint32_t>(written_.size());
    written_.push_back(WrittenNode{std::move(text), height, std::move(children)});
  }

  const GraphWrap& graph_;
  const BlockedNodes& blocked_;
  TreeWalkOptions options_;
  std::vector<SlotState> slots_;
  InternTable interned_;
  std::vector<TreeFrame> frames_;
  std::vector<ChildLink> links_;
  std::vector<WrittenNode> written_;
  // Scratch reused by every finished node.
  std::vector<BranchEntry> entries_;
  std::string label_;
  std::string text_;
  const TreeText missing_child_ = TreeText::flat(std::make_shared<const std::string>("?"));
};

}  // namespace

std::string format_label(const GraphWrap& graph, NodeIndex node) {
  std::string label(graph.label(node));
  if (!graph.is_mirror(node) && !graph.is_virtual(node)) return label;
  const NodeExtra& extra = graph.extra(node);
  std::string_view origin = extra.origin_key.value_or("");
  if (graph.is_mirror(node))
    return label + "#" + std::to_string(extra.mirror_count.value_or(0)) + "{" + std::string(origin) + "}";
  return label + "*{" + std::string(origin) + "}";
}

std::expected<TreeWalk, std::string> walk_tree(const GraphWrap& graph, NodeIndex root,
                                               const BlockedNodes& blocked,
                                               TreeWalkOptions options) {
  return Walker(graph, blocked, options).run(root);
}

}  // namespace tolva
