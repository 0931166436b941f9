// The untraced first pass skips candidates whose bound lies below a height
// already reached; the traced pass rewrites and writes every candidate in
// order. Both must give the same strings and node orders: random multigraphs
// and sparse ring systems (many candidates of one degree, contested nodes
// between them), both modes, try to break the skipping.
#include "canonize/first_pass.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "canon_test_support.h"
#include "canonize/cgraph.h"
#include "canonize/node_order.h"
#include "dag/trace.h"

namespace tolva {
namespace {

using test_support::random_multigraph;

class NoLines final : public TraceOutput {
 public:
  void write_line(std::string_view) override {}
};

// A random tree of 6 to 20 nodes with 1 to 4 edges more (ring closures),
// labels C, N or O, bond orders 1 or 2: the shape of a small molecule.
GraphWrap random_ring_system(std::mt19937& rng) {
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  int nodes = pick(6, 20);
  GraphWrap graph;
  const char* labels[] = {"C", "C", "C", "N", "O"};
  for (int i = 0; i < nodes; ++i) graph.ensure_node("a" + std::to_string(i), labels[pick(0, 4)]);
  auto bond = [&] { return pick(0, 4) == 0 ? "2" : "1"; };
  for (int i = 1; i < nodes; ++i)
    graph.add_edge_with_modality("a" + std::to_string(pick(0, i - 1)), "a" + std::to_string(i), bond());
  for (int extra = pick(1, 4); extra > 0; --extra) {
    int a = pick(0, nodes - 1), b = pick(0, nodes - 1);
    if (a != b) graph.add_edge_with_modality("a" + std::to_string(a), "a" + std::to_string(b), bond());
  }
  return graph;
}

TEST(FirstPass, SkippingCandidatesChangesNoStringAndNoOrder) {
  std::mt19937 rng(20261209);
  NoLines lines;
  int compared = 0;
  for (int round = 0; round < 700; ++round) {
    GraphWrap graph = round % 2 == 0 ? random_multigraph(rng) : random_ring_system(rng);
    if (graph.node_count() == 0) continue;
    for (bool compact : {false, true}) {
      CallControls quiet;
      CallControls traced{TraceSettings::fixed(true, false, lines)};
      auto short_text = to_cgraph(graph, kDefaultCandidateRule, kDefaultBranchRule, true, true, compact, quiet);
      auto long_text = to_cgraph(graph, kDefaultCandidateRule, kDefaultBranchRule, true, true, compact, traced);
      ASSERT_EQ(short_text.has_value(), long_text.has_value()) << "round " << round;
      if (!short_text) continue;
      EXPECT_EQ(*short_text, *long_text) << "round " << round << (compact ? " compact" : " expanded");
      auto short_order = canonical_node_order(graph, kDefaultCandidateRule, kDefaultBranchRule, true, compact, quiet);
      auto long_order = canonical_node_order(graph, kDefaultCandidateRule, kDefaultBranchRule, true, compact, traced);
      ASSERT_TRUE(short_order.has_value() && long_order.has_value()) << "round " << round;
      EXPECT_EQ(*short_order, *long_order) << "round " << round << (compact ? " compact" : " expanded");
      ++compared;
    }
  }
  EXPECT_GT(compared, 1300);
}

}  // namespace
}  // namespace tolva
