// RewriteBuffers: the working lists of one DAG rewrite.
//
// A call makes many rewrites (one per candidate root, and recursive ones
// inside expanded splits), and each needs the same lists. The call's scratch
// lends a set to each running rewrite and takes it back when the rewrite ends,
// so the lists are allocated once per depth of nesting, not once per rewrite.
// A rewrite starts by clearing what it borrowed; nothing read from the lists
// outlives the rewrite. Sets grown large are not taken back (see
// RewriteScratch::give_back).
//
//   std::unique_ptr<RewriteBuffers> buffers = scratch.borrow_buffers();
//   buffers->memo.start(working_copy);
//   ...
//   scratch.give_back(std::move(buffers));
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dag/defect_candidates.h"
#include "dag/sub_dag.h"
#include "graph/floors.h"
#include "tree/subtree_memo.h"

namespace tolva {

// The defects of a working copy by floor. All floors share the three lists;
// a floor owns one range of `cobound` and one of `inbound`.
struct DefectLists {
  struct Floor {
    std::uint32_t cobound_begin = 0;
    std::uint32_t cobound_count = 0;
    std::uint32_t inbound_begin = 0;
    std::uint32_t inbound_count = 0;
  };
  std::vector<CoboundCandidate> cobound;  // by floor, then edge index
  std::vector<InboundCandidate> inbound;  // by floor, then node index
  std::vector<EdgeIndex> parent_edges;    // what the inbound candidates' spans view
  // Where each inbound candidate's parent edges start, while parent_edges grows.
  std::vector<std::uint32_t> parent_starts;
  std::vector<Floor> floors;

  std::size_t held_bytes() const {
    return cobound.capacity() * sizeof(CoboundCandidate) + inbound.capacity() * sizeof(InboundCandidate) +
           parent_edges.capacity() * sizeof(EdgeIndex) + parent_starts.capacity() * sizeof(std::uint32_t) +
           floors.capacity() * sizeof(Floor);
  }

  void clear() {
    cobound.clear();
    inbound.clear();
    parent_edges.clear();
    parent_starts.clear();
    floors.clear();
  }
};

struct RewriteBuffers {
  FloorMap floors;
  DefectLists defects;
  // What the magnet walks of the rewrite learn about its settled subtrees.
  SubtreeMemo memo;
  // The DAG below the node being split, and which of its copies write what
  // their originals write.
  SubDag sub_below;
  AlikeCopies alike_copies;
  // The copies' slots and the ids being made, when a sub-DAG is copied.
  static constexpr std::size_t kIdsAhead = 8;
  std::vector<NodeIndex> copied;
  std::array<std::string, kIdsAhead> copy_ids;
  // The ids of the mirrors' edges, and the smallest parent string of a compact split.
  std::string edge_id;
  std::string smallest;

  std::size_t copy_ids_capacity() const {
    std::size_t held = 0;
    for (const std::string& id : copy_ids) held += id.capacity();
    return held;
  }

  // About what the lists hold (a rewritten sub-DAG's graph aside).
  std::size_t held_bytes() const {
    return floors.held_bytes() + defects.held_bytes() + memo.held_bytes() +
           sub_below.nodes.capacity() * sizeof(SubDag::Node) + sub_below.edges.capacity() * sizeof(SubDag::Edge) +
           alike_copies.held_bytes() +
           copied.capacity() * sizeof(NodeIndex) + copy_ids_capacity() + edge_id.capacity() + smallest.capacity();
  }
};

}  // namespace tolva
