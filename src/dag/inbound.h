// Inbound resolution: choosing which node with several parents to split.
//
// select_inbound ranks the candidates of one floor by
//   1. the number of parent edges, most first,
//   2. the node's magnet, greatest first (by MD5 digest when both have one),
//   3. the sorted digests of the parents' magnets, greatest first as a sequence,
//   4. the node id, smallest first,
//   5. the sorted (id, id) keys of the parent edges, smallest first,
// so the choice never depends on node numbering. A parent's digest (MD5 of its
// magnet text, whatever allow_hashes says) is cached in the parent.
//
//   auto choice = select_inbound(graph, candidates, floor, allow_hashes);
//   if (choice && *choice) split((*choice)->node, (*choice)->parent_edges);
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "dag/defect_candidates.h"
#include "dag/json_value.h"
#include "dag/rewrite_context.h"
#include "error/tolva_error.h"
#include "graph/graph_wrap.h"

namespace tolva {

// Texts are views of the graph's texts.
struct InboundScore {
  std::string_view magnet;
  std::vector<Digest> parent_digests;  // ascending
  std::string_view node_id;
  std::vector<std::pair<std::string_view, std::string_view>> edge_keys;  // ascending
  std::uint64_t parent_count = 0;
  std::optional<Digest> magnet_digest;
};

struct InboundEntry {
  InboundScore score;
  InboundCandidate candidate;
};

// Negative when a ranks before b, zero when equal, positive otherwise.
int cmp_inbound_score(const InboundScore& a, const InboundScore& b);
int cmp_inbound_entry(const InboundEntry& a, const InboundEntry& b);

// [parent_count, magnet, "<hex digest> <hex digest> ..."] for the trace.
JsonValue inbound_score_value(const InboundEntry& entry);

// [floor, node id, [[key_lo, key_hi], ...]] for the trace.
JsonValue inbound_repr_from_keys(std::int32_t floor, const InboundEntry& entry);

// Fails (Parse) with "inbound endpoints missing" for a vacant parent edge;
// magnet errors pass through. `graph` changes only in its caches.
Result<std::optional<InboundCandidate>> select_inbound(GraphWrap& graph,
                                                       std::span<const InboundCandidate> candidates,
                                                       std::int32_t floor, bool allow_hashes,
                                                       RewriteContext& context);

}  // namespace tolva
