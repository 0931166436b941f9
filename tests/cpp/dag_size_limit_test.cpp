// The node and magnet text limits of the DAG rewrite: a rewrite that would
// grow past a limit fails with Unsupported, and a rewrite within the limits
// gives the unlimited result.
#include <gtest/gtest.h>

#include <functional>
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
    edges.insert(edges.end(), {{c, top, "1"}, {c, bottom, "2"}, {top, next, "1"}, {bottom, next, "2"}});
  }
  return graph_from_lists({}, edges);
}

std::string tree_of(const Result<GraphWrap>& dag) {
  if (!dag) return "error: " + dag.error().display();
  auto tree = to_tree_string_with_depth_order(*dag, "c0", IdSet{}, true);
  return tree ? tree->text : "no tree: " + tree.error();
}

using Rewrite = std::function<Result<GraphWrap>(std::uint64_t limit)>;

// Below the threshold every limit fails with `message` (large thresholds
// are sampled), from it on every limit gives the unlimited result: the limit
// is a clean cut, never a different answer. Returns the threshold.
std::uint64_t expect_clean_cut(const Rewrite& rewrite, std::uint64_t unlimited, const std::string& message) {
  std::uint64_t low = 0, high = 1;
  while (!rewrite(high)) high *= 2;
  while (low < high) {
    std::uint64_t middle = low + (high - low) / 2;
    if (rewrite(middle)) high = middle;
    else low = middle + 1;
  }
  EXPECT_GT(low, 0u);
  std::vector<std::uint64_t> below;
  for (std::uint64_t limit = 0; limit + 1 < low; limit += 1 + low / 64) below.push_back(limit);
  if (low > 0) below.push_back(low - 1);
  for (std::uint64_t limit : below) EXPECT_EQ(tree_of(rewrite(limit)), "error: " + message) << limit;
  std::string expected = tree_of(rewrite(unlimited));
  for (std::uint64_t limit : {low, low + 1, low * 2}) EXPECT_EQ(tree_of(rewrite(limit)), expected) << limit;
  return low;
}

class DagSizeLimit : public ::testing::TestWithParam<bool> {};

TEST_P(DagSizeLimit, NodeLimitIsACleanCut) {
  bool compact = GetParam();
  GraphWrap graph = diamond_chain(4);
  auto rewrite = [&](std::uint64_t limit) {
    return to_dag_with_mode(graph, "c0", BlockedNodes{}, compact, /*allow_hashes=*/true, limit);
  };
  std::uint64_t threshold =
      expect_clean_cut(rewrite, kDagNodeLimit, "unsupported: dag rewrite node limit exceeded");
  // Every node the result holds beyond the input was counted; the input copy is free.
  EXPECT_GE(threshold, rewrite(kDagNodeLimit)->node_count() - graph.node_count());
  std::vector<EdgeItem> path_edges = {{"c0", "c1", "1"}, {"c1", "c2", "1"}};
  GraphWrap path = graph_from_lists({}, path_edges);
  EXPECT_TRUE(to_dag_with_mode(path, "c0", BlockedNodes{}, compact, true, 0).has_value());
}

INSTANTIATE_TEST_SUITE_P(Modes, DagSizeLimit, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Compact" : "Expanded"; });

// Unhashed magnets write out everything below their node, so their text has
// a budget of its own; hashed magnets are not charged.
TEST(DagMagnetTextLimit, CutsPlainMagnetsCleanlyAndLeavesHashedOnesAlone) {
  GraphWrap graph = diamond_chain(5);
  auto rewrite = [&](std::uint64_t bytes) {
    return to_dag_with_mode(graph, "c0", BlockedNodes{}, false, /*allow_hashes=*/false,
                            RewriteLimits{kDagNodeLimit, bytes});
  };
  EXPECT_GT(expect_clean_cut(rewrite, kDagMagnetTextLimit, "unsupported: dag rewrite magnet text limit exceeded"),
            100u);
  EXPECT_TRUE(to_dag_with_mode(graph, "c0", BlockedNodes{}, false, true, RewriteLimits{kDagNodeLimit, 0}));
}

}  // namespace
}  // namespace tolva
