// Cobound resolution: choosing and cutting an edge whose two endpoints lie on
// the same floor (a self-loop included).
//
// select_cobound ranks the candidate edges of one floor by
//   1. the smaller endpoint magnet, greatest first,
//   2. the modality, greatest first,
//   3. the larger endpoint magnet, greatest first,
//   4. the smaller endpoint id, then the larger one, smallest first,
// magnets comparing by their MD5 digests when both have one, else as text;
// the earliest candidate wins a tie. fix_cobound replaces the chosen edge by
// two virtual leaves one floor lower, "*v<k>" and "*v<k+1>", hung under the
// two endpoints by edges "*<id>_a" and "*<id>_b"; their origin key is the cut
// edge's signature m1-modality-m2 (the two magnets ordered as text).
//
//   auto choice = select_cobound(graph, candidates, floor, allow_hashes);
//   if (choice && *choice) fix_cobound(graph, (*choice)->edge, floor, counter, allow_hashes);
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
struct CoboundScore {
  std::string_view magnet_lo;
  std::string_view magnet_hi;
  std::string_view modality;
  std::string_view key_lo;
  std::string_view key_hi;
  std::optional<Digest> digest_lo;
  std::optional<Digest> digest_hi;
};

struct CoboundEntry {
  CoboundScore score;
  EdgeIndex edge;
  std::int32_t floor;
};

// Negative when a ranks before b, zero when equal, positive otherwise.
int cmp_cobound_entry(const CoboundEntry& a, const CoboundEntry& b);

// The ids of nodes a and b as (smaller, larger), bytewise; (a, b) when equal.
std::pair<std::string_view, std::string_view> edge_key(const GraphWrap& graph, NodeIndex a, NodeIndex b);

// The trace form of an edge: [key_lo, key_hi], or [] for a vacant slot.
JsonValue edge_repr(const GraphWrap& graph, EdgeIndex edge);

// Fails (Parse) with "cobound endpoints missing" for a vacant candidate slot;
// magnet errors pass through. `graph` changes only in its magnet caches.
Result<std::optional<CoboundCandidate>> select_cobound(GraphWrap& graph,
                                                       std::span<const CoboundCandidate> candidates,
                                                       std::int32_t floor, bool allow_hashes,
                                                       RewriteContext& context);

// Cuts `edge` into two virtual leaves on floor + 1; advances virtual_counter by 2.
Result<void> fix_cobound(GraphWrap& graph, EdgeIndex edge, std::int32_t floor,
                         std::uint64_t& virtual_counter, bool allow_hashes,
                         RewriteContext& context);

}  // namespace tolva
