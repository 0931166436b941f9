// The untraced first pass skips candidates whose bound lies below a height
// already reached; the traced pass rewrites and writes every candidate in
// order. Both must give the same strings and node orders: random multigraphs
// sparse ring systems (many candidates of one degree, contested nodes between
// them) and pairs of like candidates joined by a path, both modes, try to
// break the skipping.
#include "canonize/first_pass.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "canon_test_support.h"
#include "canonize/cgraph.h"
#include "canonize/node_order.h"
#include "dag/trace.h"
#include "tree/tree_string.h"

namespace tolva {
namespace {

using test_support::NoLines;

using test_support::random_multigraph;

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

// Two candidates with like rings of their own, joined by a path of 1 to 4
// nodes labelled at random: their first strings (which leave the path out)
// tie, and their full strings differ when the path reads differently from
// its two ends.
GraphWrap random_dumbbell(std::mt19937& rng) {
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  const char* labels[] = {"C", "N", "O"};
  std::string ring_labels[3] = {labels[pick(0, 1)], labels[pick(0, 1)], labels[pick(0, 1)]};
  GraphWrap graph;
  for (std::string end : {"c1", "c2"}) {
    graph.ensure_node(end, "C");
    for (int i = 0; i < 3; ++i) {
      graph.ensure_node(end + "a" + std::to_string(i), ring_labels[i]);
      graph.add_edge_with_modality(end, end + "a" + std::to_string(i), "1");
    }
    graph.add_edge_with_modality(end + "a0", end + "a1", "1");
  }
  std::string previous = "c1";
  for (int i = 0, length = pick(1, 4); i < length; ++i) {
    std::string id = "p" + std::to_string(i);
    graph.ensure_node(id, labels[pick(0, 2)]);
    graph.add_edge_with_modality(previous, id, pick(0, 3) == 0 ? "2" : "1");
    previous = id;
  }
  graph.add_edge_with_modality(previous, "c2", "1");
  return graph;
}

// One of the three generators, by round.
GraphWrap random_graph(int round, std::mt19937& rng) {
  switch (round % 3) {
    case 0: return random_multigraph(rng);
    case 1: return random_ring_system(rng);
    default: return random_dumbbell(rng);
  }
}

TEST(FirstPass, SkippingCandidatesChangesNoStringAndNoOrder) {
  std::mt19937 rng(20261209);
  NoLines lines;
  int compared = 0;
  for (int round = 0; round < 700; ++round) {
    GraphWrap graph = random_graph(round, rng);
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

// With no room to keep DAGs, a pass for strings writes each winner's full
// string at once and keeps the smallest: the same as walking the DAGs a pass
// for node orders makes again. Past a new best, the strings of the beaten
// winners must not linger.
TEST(FirstPass, WinnersTooLargeToKeepWriteTheSmallestFullString) {
  std::mt19937 rng(99);
  int written = 0, differing = 0;
  for (int round = 0; round < 400; ++round) {
    GraphWrap graph = random_graph(round, rng);
    if (graph.node_count() == 0) continue;
    for (bool compact : {false, true}) {
      CallControls quiet;
      auto strings = run_first_pass(graph, kDefaultCandidateRule, compact, true, quiet,
                                    FirstPassOptions{.use = WinnerUse::Strings, .kept_dag_slots = 0});
      auto dags = run_first_pass(graph, kDefaultCandidateRule, compact, true, quiet,
                                 FirstPassOptions{.use = WinnerUse::Dags, .kept_dag_slots = 0});
      ASSERT_TRUE(strings.has_value() && dags.has_value()) << "round " << round;
      ASSERT_EQ(strings->winners, dags->winners) << "round " << round;
      std::optional<std::string> smallest;
      for (std::size_t i = 0; i < dags->winners.size(); ++i) {
        if (strings->dags[i].source != WinnerDag::Source::Written) continue;
        EXPECT_NE(dags->dags[i].source, WinnerDag::Source::Written);
        auto dag = winner_dag(*dags, i, graph, compact, true, quiet);
        ASSERT_TRUE(dag.has_value());
        auto tree = to_tree_string_with_depth_order(**dag, dags->winners[i], IdSet{}, true);
        ASSERT_TRUE(tree.has_value());
        if (smallest && tree->text != *smallest) ++differing;
        if (!smallest || tree->text < *smallest) smallest = tree->text;
        ++written;
      }
      EXPECT_EQ(strings->smallest_written, smallest) << "round " << round;
    }
  }
  EXPECT_GT(written, 300);
  EXPECT_GT(differing, 20) << "winners tied on their first strings must often differ in full";
}

// A batch worker lends one storage to its calls, one after another: whatever
// a call leaves in it (a spare graph, walk and region state, remembered
// digests) must change nothing in the next call's result, on another graph,
// in another mode, with other magnets. Storage that a large graph grew is let
// go rather than kept for the next call.
TEST(FirstPass, StorageLentFromCallToCallChangesNoResult) {
  std::mt19937 rng(20261208);
  RewriteScratch lent;
  CallControls own;
  CallControls lending{TraceSettings::from_environment(), nullptr, &lent};
  int compared = 0;
  GraphWrap graph;
  for (int round = 0; round < 1200; ++round) {
    // Odd rounds: the graph before with other labels, which the storage has just served.
    if (round % 2 == 0) {
      graph = random_graph(round / 2, rng);
    } else {
      graph.for_each_node([&](NodeIndex node) { graph.set_label(node, graph.label(node) == "C" ? "N" : "C"); });
    }
    if (graph.node_count() == 0) continue;
    bool compact = round % 4 >= 2;
    bool hashes = round % 5 != 0;
    auto text = to_cgraph(graph, kDefaultCandidateRule, kDefaultBranchRule, hashes, true, compact, lending);
    auto expected = to_cgraph(graph, kDefaultCandidateRule, kDefaultBranchRule, hashes, true, compact, own);
    ASSERT_EQ(text.has_value(), expected.has_value()) << "round " << round;
    if (text) EXPECT_EQ(*text, *expected) << "round " << round;
    auto order = canonical_node_order(graph, kDefaultCandidateRule, kDefaultBranchRule, hashes, compact, lending);
    auto expected_order = canonical_node_order(graph, kDefaultCandidateRule, kDefaultBranchRule, hashes, compact, own);
    ASSERT_EQ(order.has_value(), expected_order.has_value()) << "round " << round;
    if (order) EXPECT_EQ(*order, *expected_order) << "round " << round;
    ++compared;
  }
  EXPECT_GT(compared, 1000);
  EXPECT_GT(lent.slots_held(), 0u) << "small graphs' storage comes back to the lender";

  GraphWrap path;
  for (int i = 0; i < 40'000; ++i) path.add_edge_with_modality("p" + std::to_string(i), "p" + std::to_string(i + 1), "1");
  ASSERT_TRUE(to_cgraph(path, kDefaultCandidateRule, kDefaultBranchRule, true, true, false, lending).has_value());
  EXPECT_LE(lent.slots_held(), kMostLentScratchSlots);
}

}  // namespace
}  // namespace tolva
