// The part of the canonical form shared by the canonical string and the
// canonical node order: from a working copy to the first-pass winners.
//
// The candidate rule picks the candidate roots; pruning finds the contested
// nodes; every candidate's DAG is written without them (or in full when every
// candidate has exactly one edge); the winners are the candidates with the
// tallest tree and, among those, the bytewise greatest string, exact ties all
// kept in candidate order.
//
//   auto winners = first_pass_winners(working, "$degree", false, true);
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "canonize/candidate_rules.h"
#include "error/tolva_error.h"
#include "graph/graph_wrap.h"

namespace tolva {

// The option values used where a caller leaves an option out.
inline constexpr std::string_view kDefaultCandidateRule = "$degree";
inline constexpr std::string_view kDefaultBranchRule = "$depth > tree.parent_modality > $lexic";
inline constexpr bool kDefaultAllowHashes = true;
inline constexpr bool kDefaultCompress = true;
inline constexpr bool kDefaultCompact = false;

// `working` must hold at least one node; it receives the pruning marks.
Result<std::vector<std::string>> first_pass_winners(GraphWrap& working, std::string_view candidate_rule,
                                                    bool compact, bool allow_hashes,
                                                    const CallControls& controls);

}  // namespace tolva
