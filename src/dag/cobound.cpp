#include "dag/cobound.h"

#include "dag/generated_node.h"
#include "dag/magnet.h"
#include "dag/ranking.h"
#include "dag/trace.h"

namespace tolva {
namespace {

// Magnets compare by digest when both sides have one, else by text.
int compare_magnets(std::string_view a, const std::optional<Digest>& a_digest,
                    std::string_view b, const std::optional<Digest>& b_digest) {
  if (a_digest && b_digest) return three_way(*a_digest <=> *b_digest);
  return three_way(a.compare(b));
}

std::string score_text(const CoboundScore& score) {
  std::string text;
  text.reserve(score.magnet_lo.size() + score.modality.size() + score.magnet_hi.size() + 2);
  text.append(score.magnet_lo).append("-").append(score.modality).append("-").append(score.magnet_hi);
  return text;
}

Result<CoboundEntry> score_candidate(GraphWrap& graph, const CoboundCandidate& candidate,
                                     bool allow_hashes, RewriteContext& context) {
  auto ends = graph.endpoints(candidate.edge);
  if (!ends) return parse_error("cobound endpoints missing");
  auto [a, b] = *ends;
  CoboundEntry entry{CoboundScore{}, candidate.edge, candidate.floor};
  CoboundScore& score = entry.score;
  score.modality = graph.modality(candidate.edge);
  std::tie(score.key_lo, score.key_hi) = edge_key(graph, a, b);

  auto magnet_a = get_magnet(graph, a, allow_hashes, context);
  if (!magnet_a) return std::unexpected(magnet_a.error());
  std::optional<Digest> digest_a = graph.magnet_digest(a);
  auto magnet_b = get_magnet(graph, b, allow_hashes, context);
  if (!magnet_b) return std::unexpected(magnet_b.error());
  std::optional<Digest> digest_b = graph.magnet_digest(b);

  // On equal magnets the first endpoint is the low side.
  if (compare_magnets(*magnet_b, digest_b, *magnet_a, digest_a) < 0) {
    score.magnet_lo = *magnet_b;
    score.digest_lo = digest_b;
    score.magnet_hi = *magnet_a;
    score.digest_hi = digest_a;
  } else {
    score.magnet_lo = *magnet_a;
    score.digest_lo = digest_a;
    score.magnet_hi = *magnet_b;
    score.digest_hi = digest_b;
  }
  return entry;
}

JsonValue scores_value(const GraphWrap& graph, const std::vector<CoboundEntry>& ranking) {
  JsonValue::Array scores;
  for (const CoboundEntry& entry : ranking)
    scores.push_back(JsonValue::array({JsonValue(score_text(entry.score)), edge_repr(graph, entry.edge)}));
  return JsonValue::array(std::move(scores));
}

}  // namespace

int cmp_cobound_entry(const CoboundEntry& a, const CoboundEntry& b) {
  const CoboundScore& x = a.score;
  const CoboundScore& y = b.score;
  if (int order = compare_magnets(y.magnet_lo, y.digest_lo, x.magnet_lo, x.digest_lo)) return order;
  if (int order = three_way(y.modality.compare(x.modality))) return order;
  if (int order = compare_magnets(y.magnet_hi, y.digest_hi, x.magnet_hi, x.digest_hi)) return order;
  if (int order = three_way(x.key_lo.compare(y.key_lo))) return order;
  return three_way(x.key_hi.compare(y.key_hi));
}

std::pair<std::string_view, std::string_view> edge_key(const GraphWrap& graph, NodeIndex a, NodeIndex b) {
  std::string_view id_a = graph.id(a);
  std::string_view id_b = graph.id(b);
  if (id_b < id_a) return {id_b, id_a};
  return {id_a, id_b};
}

JsonValue edge_repr(const GraphWrap& graph, EdgeIndex edge) {
  auto ends = graph.endpoints(edge);
  if (!ends) return JsonValue::array({});
  auto [lo, hi] = edge_key(graph, ends->first, ends->second);
  return JsonValue::array({JsonValue(std::move(lo)), JsonValue(std::move(hi))});
}

Result<std::optional<CoboundCandidate>> select_cobound(GraphWrap& graph,
                                                       std::span<const CoboundCandidate> candidates,
                                                       std::int32_t floor, bool allow_hashes,
                                                       RewriteContext& context) {
  if (candidates.empty()) return std::nullopt;
  bool tracing = context.trace().trace_on();
  std::optional<CoboundEntry> best;
  TopRanking<CoboundEntry> ranking;
  for (const CoboundCandidate& candidate : candidates) {
    auto entry = score_candidate(graph, candidate, allow_hashes, context);
    if (!entry) return std::unexpected(entry.error());
    if (!best || cmp_cobound_entry(*entry, *best) < 0) best = *entry;
    if (tracing) ranking.offer(std::move(*entry), cmp_cobound_entry);
  }
  if (tracing) {
    emit(context.trace(), "dag_cobound_scores", {{"floor", JsonValue(std::int64_t{floor})},
                                {"scores", scores_value(graph, ranking.entries())}});
    emit(context.trace(), "dag_choice", {{"floor", JsonValue(std::int64_t{floor})},
                        {"type", JsonValue("cobound")},
                        {"score", JsonValue(score_text(best->score))},
                        {"choice", edge_repr(graph, best->edge)}});
  }
  return CoboundCandidate{best->edge, best->floor};
}

Result<void> fix_cobound(GraphWrap& graph, EdgeIndex edge, std::int32_t floor,
                         std::uint64_t& virtual_counter, bool allow_hashes, RewriteContext& context) {
  auto ends = graph.endpoints(edge);
  if (!ends) return parse_error("cobound endpoints missing");
  auto [a, b] = *ends;
  EdgeData old_edge = graph.edge(edge);
  auto magnet_a = get_magnet(graph, a, allow_hashes, context);
  if (!magnet_a) return std::unexpected(magnet_a.error());
  auto magnet_b = get_magnet(graph, b, allow_hashes, context);
  if (!magnet_b) return std::unexpected(magnet_b.error());

  std::string_view m1 = *magnet_b < *magnet_a ? *magnet_b : *magnet_a;
  std::string_view m2 = *magnet_b < *magnet_a ? *magnet_a : *magnet_b;
  std::string signature;
  signature.reserve(m1.size() + old_edge.modality.size() + m2.size() + 2);
  signature.append(m1).append("-").append(old_edge.modality).append("-").append(m2);

  graph.remove_edge(edge);
  std::string first_id = "*v" + std::to_string(virtual_counter++);
  std::string second_id = "*v" + std::to_string(virtual_counter++);
  NodeMeta meta;
  meta.floor = floor + 1;
  meta.is_virtual = true;
  meta.extra.origin_key = graph.store_text(signature);
  NodeIndex first = add_generated_node(graph, first_id, "", meta);
  NodeIndex second = add_generated_node(graph, second_id, "", meta);
  std::string old_id(old_edge.id);
  graph.add_edge_custom(a, first, "*" + old_id + "_a", old_edge.modality);
  graph.add_edge_custom(b, second, "*" + old_id + "_b", old_edge.modality);
  return {};
}

}  // namespace tolva
