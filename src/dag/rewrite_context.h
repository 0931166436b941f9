// RewriteContext: what one top-level DAG rewrite shares with its recursive
// calls and with the magnet, cobound and inbound code it calls: the caller's
// controls (trace and stop, see call_controls.h), one MD5 hasher, one tree
// walker with its scratch, and the two budgets that stop a rewrite whose output would grow
// beyond memory before it allocates it.
//
// Expanded splits copy the DAG below a node once per parent, so some graphs
// grow exponentially (a chain of k diamonds rooted at one end makes about
// 6 * 2^k nodes), and with hashing off every magnet writes out all that
// hangs below its node, so magnet text grows faster still (about 4^k bytes
// for the diamond chain). Both counts depend only on the graph and the
// options, so a call fails the same way every time, and no graph within the
// limits is affected by them.
//
//   RewriteContext context(controls);
//   if (auto taken = context.take_nodes(2); !taken) return std::unexpected(taken.error());
//   auto digest = context.md5().digest(text);
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "dag/call_controls.h"
#include "dag/md5_digest.h"
#include "dag/rewrite_buffers.h"
#include "dag/sub_dag.h"
#include "error/tolva_error.h"
#include "tree/subtree_memo.h"
#include "tree/tree_walk.h"

namespace tolva {

// The most nodes one rewrite may bring into being, its recursive calls
// included: virtual leaves, mirrors, the DAG below each expanded split (read
// off as a tree, or the copy of the working copy that a recursive rewrite
// starts from) and its copies under the mirrors; the copy of the input graph
// is not counted. Past it: Unsupported "dag rewrite node limit exceeded".
inline constexpr std::uint64_t kDagNodeLimit = 8'000'000;

// The most bytes of unhashed magnet text one rewrite may write (hashed
// magnets are 34 bytes and not counted). Past it: Unsupported
// "dag rewrite magnet text limit exceeded". A chain of 14 diamonds writes
// between 0.5 and 1 GiB (25 s), one of 15 over 2 GiB and a ladder of 50 rungs
// enough to exhaust 24 GiB; the limit sits between.
inline constexpr std::uint64_t kDagMagnetTextLimit = 3ull << 29;

struct RewriteLimits {
  std::uint64_t nodes = kDagNodeLimit;
  std::uint64_t magnet_text_bytes = kDagMagnetTextLimit;
  // Compact splits with at least this many parallel edges to one parent rank
  // the parent's strings without writing them (see shared_parent_split.h);
  // tests move it to compare both ways.
  std::size_t shared_parent_edges = 16;
  // Magnet walks take settled subtrees from the rewrite's memo (see
  // subtree_memo.h); tests turn it off to compare both ways.
  bool remember_subtrees = true;
  // Copies in a top-level expanded rewrite get their ids spelled out only if
  // read (GraphWrap::add_copy_named_later); tests turn it off to compare.
  bool name_copies_later = true;
};

// What the rewrites of one call share so that they do not allocate anew: the
// tree walker with its scratch, the storage of graphs done with, and the
// working lists each running rewrite borrows.
class RewriteScratch {
 public:
  TreeWalker& walker() { return walker_; }
  RegionScratch& region() { return region_; }
  Md5Hasher& md5() { return md5_; }

  // A copy of `graph`, in the storage of a recycled graph when there is one.
  GraphWrap copy_of(const GraphWrap& graph) {
    GraphWrap copy;
    if (spare_) {
      copy = std::move(*spare_);
      spare_.reset();
    }
    // A rewrite adds mirror nodes and their edges: room for half as many
    // again as a small graph has spares most copies every reallocation. The
    // room is capped, since copies kept as tied winners keep it too (every
    // root of a long cycle ties, and its rewrite adds a node or two).
    constexpr std::size_t kMostRoom = 64;
    copy.reserve_for_copy(graph, std::min<std::size_t>(graph.node_count() / 2, kMostRoom) + 8,
                          std::min<std::size_t>(graph.edge_count() / 2, kMostRoom) + 8);
    copy = graph;
    return copy;
  }

  // A graph no longer needed; the next copy reuses its storage.
  void recycle(GraphWrap graph) { spare_ = std::move(graph); }

  // The most node or edge slots any part holds room for: what the largest
  // graph this storage served has left behind.
  std::size_t slots_held() const {
    std::size_t held = std::max(walker_.slots_held(), region_.slots_held());
    if (spare_) held = std::max({held, spare_->node_slot_count(), spare_->edge_slot_count()});
    return held;
  }

  // The working lists of a rewrite about to run: a set given back by an
  // earlier one when there is one (see rewrite_buffers.h).
  std::unique_ptr<RewriteBuffers> borrow_buffers() {
    if (spare_buffers_.empty()) return std::make_unique<RewriteBuffers>();
    std::unique_ptr<RewriteBuffers> buffers = std::move(spare_buffers_.back());
    spare_buffers_.pop_back();
    return buffers;
  }
  // Takes back a set no longer used. A large one is dropped: on a big graph
  // the allocations it would spare are nothing beside the work, and kept it
  // would add to the peak of everything after it.
  void give_back(std::unique_ptr<RewriteBuffers> buffers) {
    if (buffers->held_bytes() <= kMostKeptBufferBytes) spare_buffers_.push_back(std::move(buffers));
  }

  // Two lists of parent digests, lent to the two scores of one inbound choice
  // at a time: a rewrite makes many choices among a few candidates each.
  std::array<std::vector<Digest>, 2>& digest_lists() { return digest_lists_; }

 private:
  TreeWalker walker_;
  RegionScratch region_;
  Md5Hasher md5_;
  std::optional<GraphWrap> spare_;
  std::array<std::vector<Digest>, 2> digest_lists_;
  static constexpr std::size_t kMostKeptBufferBytes = 1 << 20;
  std::vector<std::unique_ptr<RewriteBuffers>> spare_buffers_;
};

class RewriteContext {
 public:
  RewriteContext(const CallControls& controls, RewriteScratch& scratch, RewriteLimits limits = {})
      : controls_(controls), limits_left_(limits), scratch_(scratch) {}

  const CallControls& controls() const { return controls_; }
  const TraceSettings& trace() const { return controls_.trace; }
  Md5Hasher& md5() { return scratch_.md5(); }
  // The walker of every magnet and split text of the rewrite; each result is
  // used before the next walk starts.
  TreeWalker& walker() { return scratch_.walker(); }
  RewriteScratch& scratch() { return scratch_; }

  std::size_t shared_parent_edges() const { return limits_left_.shared_parent_edges; }
  bool remember_subtrees() const { return limits_left_.remember_subtrees; }
  bool name_copies_later() const { return limits_left_.name_copies_later; }

  // The settled subtrees of the rewrite running now (a recursive rewrite has
  // its own while it runs), for its magnet walks; null outside a rewrite.
  SubtreeMemo* memo() const { return memo_; }
  // Makes `memo` (possibly none) the running rewrite's while the guard lives.
  class MemoScope {
   public:
    MemoScope(RewriteContext& context, SubtreeMemo* memo)
        : context_(context), outer_(std::exchange(context.memo_, memo)) {}
    MemoScope(const MemoScope&) = delete;
    MemoScope& operator=(const MemoScope&) = delete;
    ~MemoScope() { context_.memo_ = outer_; }

   private:
    RewriteContext& context_;
    SubtreeMemo* outer_;
  };

  // What the node limit still allows.
  std::uint64_t nodes_left() const { return limits_left_.nodes; }

  // Charges `count` new nodes, before they are made.
  Result<void> take_nodes(std::uint64_t count) {
    if (count > limits_left_.nodes) return unsupported_error("dag rewrite node limit exceeded");
    limits_left_.nodes -= count;
    return {};
  }

  // Charges `bytes` of unhashed magnet text, before it is written.
  Result<void> take_magnet_text(std::uint64_t bytes) {
    if (bytes > limits_left_.magnet_text_bytes)
      return unsupported_error("dag rewrite magnet text limit exceeded");
    limits_left_.magnet_text_bytes -= bytes;
    return {};
  }

 private:
  const CallControls& controls_;
  RewriteLimits limits_left_;
  RewriteScratch& scratch_;
  SubtreeMemo* memo_ = nullptr;
};

}  // namespace tolva
