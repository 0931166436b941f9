// The node limit of the DAG rewrite: it turns a rewrite that would grow past
// the limit into Unsupported "dag rewrite node limit exceeded", and never
// changes the result of a rewrite that stays within it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dag/dag_rewrite.h"
#include "graph/edge_list.h"
#include "tree/tree_string.h"

namespace tolva {
namespace {

// c0 - (t0 | b0) - c1 - ... - ck: each expanded split of a cut vertex copies
// the whole chain below it once per parent.
GraphWrap diamond_chain(int length) {
  std::vector<EdgeItem> edges;
  for (int i = 0; i < length; ++i) {
    std::string c = "c" + std::to_string(i), next = "c" + std::to_string(i + 1);
    std::string top = "t" + std::to_string(i), bottom = "b" + std::to_string(i);
    edges.push_back({c, top, "1"});
    edges.push_back({c, bottom, "2"});
    edges.push_back({top, next, "1"});
    edges.push_back({bottom, next, "2"});
  }
  return graph_from_lists({}, edges);
}

Result<GraphWrap> rewrite(const GraphWrap& graph, bool compact, std::uint64_t limit) {
  return to_dag_with_mode(graph, "c0", BlockedNodes{}, compact, /*allow_hashes=*/true, limit);
}

std::string tree_of(const GraphWrap& dag) {
  auto tree = to_tree_string_with_depth_order(dag, "c0", IdSet{}, true);
  return tree ? tree->text : "no tree: " + tree.error();
}

// The smallest limit the rewrite succeeds with (found by bisection).
std::uint64_t threshold_of(const GraphWrap& graph, bool compact) {
  std::uint64_t low = 0, high = 1;
  while (!rewrite(graph, compact, high)) high *= 2;
  while (low < high) {
    std::uint64_t middle = low + (high - low) / 2;
    if (rewrite(graph, compact, middle)) high = middle;
    else low = middle + 1;
  }
  return low;
}

void expect_limit_error(const Result<GraphWrap>& dag) {
  ASSERT_FALSE(dag.has_value());
  EXPECT_EQ(dag.error(), TolvaError(ErrorKind::Unsupported, "dag rewrite node limit exceeded"));
  EXPECT_EQ(dag.error().display(), "unsupported: dag rewrite node limit exceeded");
}

class DagSizeLimit : public ::testing::TestWithParam<bool> {};

// Below some threshold every limit fails, from it on every limit gives the
// unlimited result: the limit is a clean cut, never a different answer.
TEST_P(DagSizeLimit, FailsBelowOneThresholdAndChangesNothingAboveIt) {
  bool compact = GetParam();
  GraphWrap graph = diamond_chain(4);
  auto unlimited = to_dag_with_mode(graph, "c0", BlockedNodes{}, compact, true);
  ASSERT_TRUE(unlimited.has_value());
  std::string expected = tree_of(*unlimited);

  std::uint64_t threshold = threshold_of(graph, compact);
  ASSERT_GT(threshold, 0u);
  for (std::uint64_t limit = 0; limit < threshold; ++limit) expect_limit_error(rewrite(graph, compact, limit));
  for (std::uint64_t limit : {threshold, threshold + 1, threshold * 2, kDagNodeLimit}) {
    auto dag = rewrite(graph, compact, limit);
    ASSERT_TRUE(dag.has_value()) << limit;
    EXPECT_EQ(tree_of(*dag), expected) << limit;
    EXPECT_EQ(dag->node_count(), unlimited->node_count()) << limit;
  }
  // Every node the result holds beyond the input was counted.
  EXPECT_GE(threshold, unlimited->node_count() - graph.node_count());
}

// Exponential growth in expanded mode: a longer chain needs a far larger
// budget, and a limit that one chain fits in stops the next longer ones.
TEST_P(DagSizeLimit, LongerChainsPassTheLimitThatShorterOnesFitIn) {
  bool compact = GetParam();
  std::uint64_t fits = threshold_of(diamond_chain(6), compact);
  if (compact) {
    // Compact splits add two mirrors each and drop the node: linear growth.
    EXPECT_TRUE(rewrite(diamond_chain(12), compact, fits * 3).has_value());
  } else {
    expect_limit_error(rewrite(diamond_chain(8), compact, fits * 3));
    expect_limit_error(rewrite(diamond_chain(12), compact, fits * 3));
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, DagSizeLimit, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Compact" : "Expanded"; });

// A cobound cut makes two virtual leaves, and they are counted before they
// are made.
TEST(DagSizeLimitCount, TriangleCutNeedsTwoNodes) {
  std::vector<EdgeItem> edges = {{"c0", "a", "1"}, {"a", "b", "1"}, {"b", "c0", "1"}};
  GraphWrap triangle = graph_from_lists({}, edges);
  expect_limit_error(rewrite(triangle, false, 1));
  auto dag = rewrite(triangle, false, 2);
  ASSERT_TRUE(dag.has_value());
  EXPECT_EQ(dag->node_count(), 5u);
}

// The copy of the input is not counted, so a graph that needs no repair
// passes any limit, however large it is.
TEST(DagSizeLimitCount, InputCopyIsFree) {
  std::vector<EdgeItem> path;
  for (int i = 0; i < 2000; ++i) path.push_back({"c" + std::to_string(i), "c" + std::to_string(i + 1), "1"});
  GraphWrap graph = graph_from_lists({}, path);
  for (bool compact : {false, true}) {
    auto dag = rewrite(graph, compact, 0);
    ASSERT_TRUE(dag.has_value());
    EXPECT_EQ(dag->node_count(), 2001u);
  }
}

// Unhashed magnets write out everything below their node, so their text grows
// faster than the node count; it has a budget of its own, charged before each
// magnet is written. Hashed magnets are not charged.
TEST(DagMagnetTextLimit, CutsPlainMagnetsCleanlyAndLeavesHashedOnesAlone) {
  GraphWrap graph = diamond_chain(5);
  auto plain = [&](std::uint64_t bytes) {
    return to_dag_with_mode(graph, "c0", BlockedNodes{}, false, /*allow_hashes=*/false,
                            RewriteLimits{kDagNodeLimit, bytes});
  };
  auto unlimited = plain(kDagMagnetTextLimit);
  ASSERT_TRUE(unlimited.has_value());

  std::uint64_t low = 0, high = 1;
  while (!plain(high)) high *= 2;
  while (low < high) {
    std::uint64_t middle = low + (high - low) / 2;
    if (plain(middle)) high = middle;
    else low = middle + 1;
  }
  ASSERT_GT(low, 100u);
  auto short_of = plain(low - 1);
  ASSERT_FALSE(short_of.has_value());
  EXPECT_EQ(short_of.error().display(), "unsupported: dag rewrite magnet text limit exceeded");
  auto enough = plain(low);
  ASSERT_TRUE(enough.has_value());
  EXPECT_EQ(tree_of(*enough), tree_of(*unlimited));

  auto hashed = to_dag_with_mode(graph, "c0", BlockedNodes{}, false, /*allow_hashes=*/true,
                                 RewriteLimits{kDagNodeLimit, 0});
  EXPECT_TRUE(hashed.has_value());
}

}  // namespace
}  // namespace tolva
