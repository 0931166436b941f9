// SharedParentSplit: which mirror becomes the main mirror of a compact split
// whose parent edges all lead to one parent, found without walking the
// parent once per mirror.
//
// The compact split hangs mirror i under the parent of parent edge i and then
// writes the tree string from that parent; the main mirror is the first of
// the smallest strings. With many parallel edges to one parent p, every one
// of those strings is p's text after i + 1 mirrors were hung, and writing each
// costs time in proportion to p's children: quadratic in the edges. But the
// strings differ only in which children p has: its other children (the same
// every time, each with the same text), the mirrors hung so far (leaves that
// all read the same, each with its edge's modality) and the split node n, once
// per edge still joining it to p (with the modality of the first of those
// edges in p's neighbour order, written bare once a single edge is all it
// has). A child's text never depends on its siblings, and equal entries are
// interchangeable in the sorted list, so each string is p's sorted list of
// (height, modality, text) entries, which this class keeps as runs of equal
// entries and compares run by run, without writing any string out.
//
//   SharedParentSplit split(graph, walker, node, parent, floor, parent_edges);   // before any mirror
//   ... hang the mirrors, then:
//   std::size_t first = split.first_smallest(parent_modalities, mirror_text, parent_label);
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "graph/graph_wrap.h"
#include "tree/tree_text.h"
#include "tree/tree_walk.h"

namespace tolva {

class SharedParentSplit {
 public:
  // True when every parent edge leads to the same parent and there are at
  // least `minimum` of them (fewer are ranked faster by writing each string).
  static bool applies(const GraphWrap& graph, NodeIndex node, std::span<const EdgeIndex> parent_edges,
                      std::size_t minimum);

  // Reads the parent's children as they are before any mirror is hung. The
  // walker's texts must stay untouched (no other walk) until first_smallest.
  SharedParentSplit(const GraphWrap& graph, TreeWalker& walker, NodeIndex node, NodeIndex parent,
                    std::int32_t floor, std::span<const EdgeIndex> parent_edges);

  // After every mirror was hung: the position (in parent-edge order) of the
  // first mirror whose string is the smallest. `parent_modalities` holds the
  // modality of each parent edge, `mirror_text` what a mirror is written as.
  std::size_t first_smallest(const std::vector<std::string_view>& parent_modalities,
                             std::string_view mirror_text, std::string_view parent_label) const;

 private:
  // Equal entries of p's sorted children list.
  struct Run {
    std::int32_t height;
    std::string_view modality;
    TreeText text;
    std::uint64_t count;
  };

  std::vector<Run> fixed_;         // p's other children, sorted, one run each
  TreeText node_text_;             // n as a child of p while it keeps two or more entries
  std::int32_t node_height_ = 1;
  std::string_view node_label_;    // n written bare
  bool node_alone_when_single_ = false;  // n's only entry is its edge to p once one is left
  // The parent edges' positions in p's neighbour order (what decides the
  // modality of n's links: the first edge still there).
  std::vector<std::uint32_t> order_in_parent_;
};

}  // namespace tolva
