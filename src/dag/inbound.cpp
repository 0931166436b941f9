#include "dag/inbound.h"

#include <algorithm>

#include "dag/cobound.h"
#include "dag/magnet.h"
#include "dag/magnet_twins.h"
#include "dag/md5_digest.h"
#include "dag/ranking.h"
#include "dag/trace.h"

namespace tolva {
namespace {

// The parent's cached digest of its magnet text, computed on first use, or
// taken from `fresh`, the parent scored just before, when the two are magnet
// twins (see magnet_twins.h). `fresh` names a parent whose magnet was
// computed during this candidate's scoring, on the graph as it is now
// (scoring changes nothing but caches), or kEndMarker; it is updated.
Result<Digest> parent_digest(GraphWrap& graph, NodeIndex parent, bool allow_hashes, RewriteContext& context,
                             NodeIndex& fresh) {
  if (auto cached = graph.parent_digest(parent)) {
    fresh = kEndMarker;
    return *cached;
  }
  bool had_magnet = graph.cached_magnet(parent, allow_hashes).has_value();
  if (!had_magnet && fresh != kEndMarker && writes_same_below(graph, fresh, parent)) {
    if (auto adopted = adopt_twin_magnet(graph, parent, fresh, allow_hashes, context); !adopted)
      return std::unexpected(adopted.error());
    Digest digest = *graph.parent_digest(fresh);
    graph.cache_parent_digest(parent, digest);
    fresh = parent;
    return digest;
  }
  auto magnet = get_magnet(graph, parent, allow_hashes, context);
  if (!magnet) return std::unexpected(magnet.error());
  auto digest = context.md5().digest(*magnet);
  if (!digest) return parse_error("md5 digest failed");
  graph.cache_parent_digest(parent, *digest);
  // A magnet cached before this scoring may predate the last repair.
  fresh = had_magnet ? kEndMarker : parent;
  return *digest;
}

// The edge keys are the last tie-break, after the node id. The candidates of
// one choice are distinct nodes (one per many-parent node of the floor), and
// distinct nodes have distinct ids, so the keys never decide a choice: only
// the trace, which prints them, needs them.
// Scores `candidate` into `score`, whose lists are reused.
Result<void> score_candidate(GraphWrap& graph, const InboundCandidate& candidate, bool allow_hashes,
                             bool with_edge_keys, RewriteContext& context, InboundScore& score) {
  NodeIndex node = candidate.node;
  auto magnet = get_magnet(graph, node, allow_hashes, context);
  if (!magnet) return std::unexpected(magnet.error());
  score.magnet = *magnet;
  score.magnet_digest = graph.magnet_digest(node);
  score.parent_digests.clear();
  NodeIndex fresh = kEndMarker;
  for (EdgeIndex edge : candidate.parent_edges) {
    auto ends = graph.endpoints(edge);
    if (!ends) return parse_error("inbound endpoints missing");
    NodeIndex parent = ends->first == node ? ends->second : ends->first;
    auto digest = parent_digest(graph, parent, allow_hashes, context, fresh);
    if (!digest) return std::unexpected(digest.error());
    score.parent_digests.push_back(*digest);
  }
  std::sort(score.parent_digests.begin(), score.parent_digests.end());
  score.edge_keys.clear();
  if (with_edge_keys) {
    for (EdgeIndex edge : candidate.parent_edges) {
      auto [a, b] = *graph.endpoints(edge);
      score.edge_keys.push_back(edge_key(graph, a, b));
    }
    std::sort(score.edge_keys.begin(), score.edge_keys.end());
  }
  score.node_id = graph.id(node);
  score.parent_count = candidate.parent_edges.size();
  return {};
}

// The best score of one choice so far and the one being made, their digest
// lists lent by the call's scratch for the length of the choice.
class ChoiceScores {
 public:
  explicit ChoiceScores(RewriteScratch& scratch) : lists_(scratch.digest_lists()) { swap_lists(); }
  ~ChoiceScores() {
    swap_lists();
    // The lists of a node with a great many parents are not kept: they would
    // sit beside the split of that node, the largest step of the rewrite.
    for (std::vector<Digest>& list : lists_)
      if (list.capacity() > kLongestKept) std::vector<Digest>().swap(list);
  }
  ChoiceScores(const ChoiceScores&) = delete;
  ChoiceScores& operator=(const ChoiceScores&) = delete;

  InboundScore best;
  InboundScore next;

 private:
  void swap_lists() {
    best.parent_digests.swap(lists_[0]);
    next.parent_digests.swap(lists_[1]);
  }
  static constexpr std::size_t kLongestKept = 1024;
  std::array<std::vector<Digest>, 2>& lists_;
};

JsonValue scores_value(const std::vector<InboundEntry>& ranking) {
  JsonValue::Array scores;
  for (const InboundEntry& entry : ranking)
    scores.push_back(JsonValue::array(
        {inbound_score_value(entry), inbound_repr_from_keys(entry.candidate.floor, entry)}));
  return JsonValue::array(std::move(scores));
}

}  // namespace

int cmp_inbound_score(const InboundScore& x, const InboundScore& y) {
  if (x.parent_count != y.parent_count) return x.parent_count > y.parent_count ? -1 : 1;
  int magnet_order = x.magnet_digest && y.magnet_digest
                         ? three_way(*y.magnet_digest <=> *x.magnet_digest)
                         : three_way(y.magnet.compare(x.magnet));
  if (magnet_order != 0) return magnet_order;
  // Sequences of digests, greatest first; a longer list ranks before its prefix.
  if (int order = three_way(y.parent_digests <=> x.parent_digests)) return order;
  if (int order = three_way(x.node_id.compare(y.node_id))) return order;
  return three_way(x.edge_keys <=> y.edge_keys);
}

int cmp_inbound_entry(const InboundEntry& a, const InboundEntry& b) { return cmp_inbound_score(a.score, b.score); }

JsonValue inbound_score_value(const InboundEntry& entry) {
  std::string digests;
  for (const Digest& digest : entry.score.parent_digests) {
    if (!digests.empty()) digests += ' ';
    digests += hex_digest(digest);
  }
  return JsonValue::array({JsonValue(std::uint64_t{entry.score.parent_count}),
                           JsonValue(entry.score.magnet), JsonValue(std::move(digests))});
}

JsonValue inbound_repr_from_keys(std::int32_t floor, const InboundEntry& entry) {
  JsonValue::Array keys;
  for (const auto& [lo, hi] : entry.score.edge_keys)
    keys.push_back(JsonValue::array({JsonValue(lo), JsonValue(hi)}));
  return JsonValue::array(
      {JsonValue(std::int64_t{floor}), JsonValue(entry.score.node_id), JsonValue::array(std::move(keys))});
}

Result<std::optional<InboundCandidate>> select_inbound(GraphWrap& graph,
                                                       std::span<const InboundCandidate> candidates,
                                                       std::int32_t floor, bool allow_hashes,
                                                       RewriteContext& context) {
  if (candidates.empty()) return std::nullopt;
  bool tracing = context.trace().trace_on();
  // The best score so far and the one being made swap their storage, so the
  // lists of a score are allocated once per call, not once per candidate.
  ChoiceScores scores(context.scratch());
  InboundScore& best = scores.best;
  InboundScore& next = scores.next;
  std::size_t best_at = 0;
  TopRanking<InboundEntry> ranking;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    auto scored = score_candidate(graph, candidates[i], allow_hashes, tracing, context, next);
    if (!scored) return std::unexpected(scored.error());
    bool better = i == 0 || cmp_inbound_score(next, best) < 0;
    if (tracing) ranking.offer(InboundEntry{next, candidates[i]}, cmp_inbound_entry);
    if (better) {
      std::swap(best, next);
      best_at = i;
    }
  }
  if (tracing) {
    InboundEntry chosen{best, candidates[best_at]};
    emit(context.trace(), "dag_inbound_scores", {{"floor", JsonValue(std::int64_t{floor})},
                                {"scores", scores_value(ranking.entries())}});
    emit(context.trace(), "dag_choice", {{"floor", JsonValue(std::int64_t{floor})},
                        {"type", JsonValue("inbound")},
                        {"score", inbound_score_value(chosen)},
                        {"choice", inbound_repr_from_keys(chosen.candidate.floor, chosen)}});
  }
  return candidates[best_at];
}

}  // namespace tolva
