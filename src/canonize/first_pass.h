// The part of the canonical form shared by the canonical string and the
// canonical node order: from a graph to the first-pass winners.
//
// The candidate rule picks the candidate roots; pruning finds the contested
// nodes; every candidate's DAG is written without them (or in full when every
// candidate has exactly one edge); the winners are the candidates with the
// tallest tree and, among those, the bytewise greatest string, exact ties all
// kept in candidate order.
//
// Untraced, the pass makes only the rewrites that can matter: a candidate
// whose rewrite cannot fail and whose height bound (for the string without
// the contested nodes, the one the pass compares) lies below a height already
// reached cannot win (see candidate_outlook.h), so candidates are taken in
// decreasing order of their bounds and the rest skipped; a candidate's string
// is written only when its height reaches the best one. The winners are the
// same either way, and so is the first failing candidate when one fails. The
// winners' DAGs are kept (within a memory budget) for the second pass. Traced,
// every candidate is rewritten in order, as each rewrite writes its lines.
//
//   auto pass = run_first_pass(graph, "$degree", false, true, controls);
//   for (std::size_t i = 0; i < pass->winners.size(); ++i) ... pass->winner_dag(i) ...
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "canonize/candidate_rules.h"
#include "dag/call_controls.h"
#include "dag/rewrite_context.h"
#include "error/tolva_error.h"
#include "graph/graph_wrap.h"
#include "graph/id_set.h"

namespace tolva {

// The option values used where a caller leaves an option out.
inline constexpr std::string_view kDefaultCandidateRule = "$degree";
inline constexpr std::string_view kDefaultBranchRule = "$depth > tree.parent_modality > $lexic";
inline constexpr bool kDefaultAllowHashes = true;
inline constexpr bool kDefaultCompress = true;
inline constexpr bool kDefaultCompact = false;

// What the second pass walks for one winner: a kept DAG, the input graph
// itself (a candidate in a tree component has nothing to rewrite), or a DAG it
// must make again. The DAG is held apart: a million tied winners (isolated
// nodes) keep none, and their records stay small.
struct WinnerDag {
  // Written: the caller wants strings only, and the winner's full string went
  // into FirstPass::smallest_written instead of keeping its DAG.
  enum class Source { Kept, Input, Remake, Written };
  Source source = Source::Remake;
  std::unique_ptr<GraphWrap> dag;
};

struct FirstPass {
  // The winners' ids in candidate order.
  std::vector<std::string> winners;
  // The nodes the first-pass strings left out. When empty, the first-pass
  // strings are the full strings, and all winners share `best_text`.
  IdSet excluded;
  std::string best_text;
  // Per winner, where its DAG is.
  std::vector<WinnerDag> dags;
  // The smallest full string of the winners whose source is Written.
  std::optional<std::string> smallest_written;
  // Every DAG must be made again in the second pass (each writes trace lines).
  bool traced = false;
  // The storage the pass's rewrites and walks used, for the second pass.
  RewriteScratch scratch;
};

// What the caller does with the winners.
enum class WinnerUse {
  // Walks each winner's DAG (node orders).
  Dags,
  // Needs the smallest of the winners' full strings only. A winner whose DAG
  // is too large to keep then writes its full string at once, which saves
  // making the DAG again.
  Strings,
};

// Most node and edge slots the first pass keeps in winners' DAGs for the
// second pass; past it, a winner's DAG is made again there (or, for strings,
// written at once). A kept DAG lives beside the next candidate's, so on a big
// input keeping it doubles the peak (a million parallel edges: 1.75 GB kept,
// 1.15 GB made again) to save one rewrite (5 % of that call); small graphs,
// where the saving counts, fit.
inline constexpr std::uint64_t kKeptDagSlots = std::uint64_t{1} << 20;

struct FirstPassOptions {
  WinnerUse use = WinnerUse::Dags;
  std::uint64_t kept_dag_slots = kKeptDagSlots;
};

// Storage that served graphs up to this many node or edge slots goes back to
// its lender after the call; larger is let go. (The digest memo inside keeps
// its own bound.)
inline constexpr std::size_t kMostLentScratchSlots = std::size_t{1} << 14;

// Hands the pass's working storage back to the caller that lent it
// (CallControls::lent_scratch) when the call is done with the pass: declared
// right after the pass, it outlives every use of the pass's storage. Storage
// left by an exception (a walk cut off halfway) is not handed back.
class LentScratchReturn {
 public:
  LentScratchReturn(FirstPass& pass, const CallControls& controls)
      : pass_(pass), lent_(controls.lent_scratch), exceptions_(std::uncaught_exceptions()) {}
  LentScratchReturn(const LentScratchReturn&) = delete;
  LentScratchReturn& operator=(const LentScratchReturn&) = delete;
  ~LentScratchReturn();

 private:
  FirstPass& pass_;
  RewriteScratch* lent_;
  int exceptions_;
};

// `graph` must hold at least one node. Takes the storage in
// controls.lent_scratch, if any, into the result's `scratch`.
Result<FirstPass> run_first_pass(const GraphWrap& graph, std::string_view candidate_rule, bool compact,
                                 bool allow_hashes, const CallControls& controls,
                                 FirstPassOptions options = {});

// Winner `i`'s DAG: kept by the first pass, `graph` itself, or made again
// (and then kept in `pass`); a Written winner's is made again too.
Result<const GraphWrap*> winner_dag(FirstPass& pass, std::size_t i, const GraphWrap& graph, bool compact,
                                    bool allow_hashes, const CallControls& controls);

}  // namespace tolva
