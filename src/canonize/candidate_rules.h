// Candidate roots: which nodes may root the canonical string, and how each
// fares in the first selection pass.
//
// The candidate rule scores every node; the only rule is "$degree" (the
// number of neighbour entries: parallel edges each, a self-loop once). The
// candidates are the nodes of greatest score, in node index order. Each
// candidate then gets its DAG and first-pass tree string, with the exclusion
// set left out of the string.
//
//   auto scores = score_candidates(graph, "$degree");
//   std::vector<std::string> candidates = select_candidates(*scores);
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dag/call_controls.h"
#include "error/tolva_error.h"
#include "graph/graph_wrap.h"
#include "graph/id_set.h"

namespace tolva {

inline constexpr std::string_view kDegreeRule = "$degree";

struct RuleScore {
  std::string id;
  std::vector<std::int32_t> score;  // compared lexicographically
};

struct CandidateScore {
  std::string id;
  std::int32_t height = 0;
  std::string tree;
};

// One score per live node, in node index order. Any rule other than exactly
// "$degree" fails (Unsupported) with "candidate rule '<rule>' not implemented",
// but only on a graph with a live node.
Result<std::vector<RuleScore>> score_candidates(const GraphWrap& graph, std::string_view candidate_rule);

// The ids of the nodes whose score equals the greatest, in input order.
std::vector<std::string> select_candidates(const std::vector<RuleScore>& scores);

// select_candidates(score_candidates(graph, rule)) in one sweep, without a
// score record per node: what every call starts with. Same errors.
Result<std::vector<std::string>> rule_candidates(const GraphWrap& graph, std::string_view candidate_rule);

// One candidate's DAG, serialised with `excluded` left out.
Result<CandidateScore> score_candidate(const GraphWrap& graph, const std::string& candidate,
                                       const IdSet& excluded, bool compact, bool allow_hashes,
                                       const CallControls& controls = {});

// Each candidate's DAG, serialised with `excluded` left out, in candidate order.
Result<std::vector<CandidateScore>> collect_candidate_scores(const GraphWrap& graph,
                                                             const std::vector<std::string>& candidates,
                                                             const IdSet& excluded, bool compact,
                                                             bool allow_hashes,
                                                             const CallControls& controls = {});

}  // namespace tolva
