#include "dag/shared_parent_split.h"

#include <algorithm>
#include <map>

#include "graph/blocked_nodes.h"

namespace tolva {
namespace {

// Items are compared in full when they differ; a pair of differing items
// almost always decides within the first two.
constexpr std::size_t kItemsWritten = 2;

}  // namespace

bool SharedParentSplit::applies(const GraphWrap& graph, NodeIndex node, std::span<const EdgeIndex> parent_edges,
                                std::size_t minimum) {
  if (parent_edges.size() < std::max<std::size_t>(minimum, 2)) return false;
  NodeIndex parent = graph.other_end(parent_edges.front(), node);
  return std::all_of(parent_edges.begin(), parent_edges.end(),
                     [&](EdgeIndex edge) { return graph.other_end(edge, node) == parent; });
}

SharedParentSplit::SharedParentSplit(const GraphWrap& graph, TreeWalker& walker, NodeIndex node, NodeIndex parent,
                                     std::int32_t floor, std::span<const EdgeIndex> parent_edges) {
  BlockedNodes above = BlockedNodes::floors_up_to(floor - 1, parent);
  auto root = walker.walk(graph, parent, above, TreeWalkOptions{true, true});
  if (root) {
    auto children = walker.children(*root);
    auto modalities = walker.child_modalities(*root);
    for (std::size_t i = 0; i < children.size(); ++i) {
      const WrittenNode* child = walker.written(children[i]);
      if (children[i] == node) {
        node_text_ = child->text;
        node_height_ = child->height;
      } else {
        fixed_.push_back(Run{child->height, modalities[i], child->text, 1});
      }
    }
  }
  node_label_ = graph.written_label(node);
  node_alone_when_single_ = graph.degree(node) == parent_edges.size();

  std::vector<std::pair<EdgeIndex, std::uint32_t>> positions;
  std::uint32_t position = 0;
  graph.for_each_incident(parent, [&](EdgeIndex edge, NodeIndex other) {
    if (other == node) positions.emplace_back(edge, position);
    ++position;
  });
  std::sort(positions.begin(), positions.end());
  order_in_parent_.reserve(parent_edges.size());
  for (EdgeIndex edge : parent_edges) {
    auto at = std::lower_bound(positions.begin(), positions.end(), std::pair{edge, std::uint32_t{0}});
    order_in_parent_.push_back(at != positions.end() && at->first == edge ? at->second : 0);
  }
}

namespace {

struct Item {
  TreeText text;
  std::string_view modality;
};

// A parent's sorted children list, expanded one item at a time; the text of
// the list is "(" + the items joined by ", " + ")" + the parent's label.
class ItemCursor {
 public:
  template <typename Runs>
  ItemCursor(const Runs& runs, std::string_view label) : label_(label) {
    for (const auto& run : runs) runs_.push_back({Item{run.text, run.modality}, run.count});
  }
  bool done() const { return run_ == runs_.size(); }
  const Item& item() const { return runs_[run_].item; }
  std::uint64_t left_in_run() const { return runs_[run_].count - used_; }
  void skip(std::uint64_t items) {
    used_ += items;
    position_ += items;
    if (used_ == runs_[run_].count) {
      ++run_;
      used_ = 0;
    }
  }
  // The text from the current item on, `items` items of it (each after ", "
  // unless it is the list's first), and ")" + label when the list ends there;
  // `whole` tells whether it did.
  std::string written(std::size_t items, bool& whole) const {
    std::string out;
    std::size_t run = run_;
    std::uint64_t used = used_, position = position_;
    for (std::size_t taken = 0; taken < items && run < runs_.size(); ++taken) {
      if (position > 0) out += ", ";
      runs_[run].item.text.append_to(out);
      out += ':';
      out += runs_[run].item.modality;
      ++position;
      if (++used == runs_[run].count) {
        ++run;
        used = 0;
      }
    }
    whole = run == runs_.size();
    if (whole) out.append(")").append(label_);
    return out;
  }

 private:
  struct Counted {
    Item item;
    std::uint64_t count;
  };
  std::vector<Counted> runs_;
  std::string_view label_;
  std::size_t run_ = 0;
  std::uint64_t used_ = 0;
  std::uint64_t position_ = 0;
};

bool same_item(const Item& a, const Item& b) { return a.modality == b.modality && a.text.compare(b.text) == 0; }

// Bytewise order of the two lists' texts. Runs of equal items are passed in
// one step; from the first differing item on, the texts are written out a few
// items at a time until they differ or end.
template <typename Runs>
int compare_lists(const Runs& a, const Runs& b, std::string_view label) {
  ItemCursor x(a, label), y(b, label);
  while (!x.done() && !y.done() && same_item(x.item(), y.item())) {
    std::uint64_t step = std::min(x.left_in_run(), y.left_in_run());
    x.skip(step);
    y.skip(step);
  }
  for (std::size_t items = kItemsWritten;; items *= 2) {
    bool left_whole = false, right_whole = false;
    std::string left = x.written(items, left_whole), right = y.written(items, right_whole);
    std::size_t common = std::min(left.size(), right.size());
    if (int order = left.compare(0, common, right, 0, common); order != 0) return order < 0 ? -1 : 1;
    // One text ends within what the other has written: the shorter is a prefix.
    if (left_whole && left.size() <= right.size())
      return left.size() == right.size() && right_whole ? 0 : -1;
    if (right_whole && right.size() <= left.size()) return 1;
  }
}

}  // namespace

std::size_t SharedParentSplit::first_smallest(const std::vector<std::string_view>& parent_modalities,
                                              std::string_view mirror_text, std::string_view parent_label) const {
  std::size_t count = parent_modalities.size();
  // Which remaining edge comes first in the parent's order, for every number hung.
  std::vector<std::size_t> first_left(count + 1, count);
  for (std::size_t j = count; j-- > 0;)
    first_left[j] = j + 1 < count && order_in_parent_[first_left[j + 1]] < order_in_parent_[j] ? first_left[j + 1] : j;
  std::map<std::string_view, std::uint64_t> mirrors;
  std::vector<Run> runs, best_runs;
  std::size_t best = 0;
  for (std::size_t i = 0; i < count; ++i) {
    ++mirrors[parent_modalities[i]];
    runs.assign(fixed_.begin(), fixed_.end());
    for (const auto& [modality, hung] : mirrors) runs.push_back(Run{1, modality, TreeText::flat(mirror_text), hung});
    std::size_t left = count - i - 1;
    if (left > 0) {
      bool bare = left == 1 && node_alone_when_single_;
      runs.push_back(Run{bare ? 1 : node_height_, parent_modalities[first_left[i + 1]],
                         bare ? TreeText::flat(node_label_) : node_text_, left});
    }
    std::stable_sort(runs.begin(), runs.end(), [](const Run& a, const Run& b) {
      if (a.height != b.height) return a.height < b.height;
      if (int order = a.modality.compare(b.modality); order != 0) return order < 0;
      return a.text.compare(b.text) < 0;
    });
    if (i == 0 || compare_lists(runs, best_runs, parent_label) < 0) {
      best = i;
      best_runs.swap(runs);
    }
  }
  return best;
}

}  // namespace tolva
