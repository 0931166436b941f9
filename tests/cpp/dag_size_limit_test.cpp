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

// Finds the smallest limit the rewrite passes. Below it the rewrite fails
// with `message`, from it on it gives the unlimited result: the limit is a
// clean cut, never a different answer.
std::uint64_t expect_clean_cut(const Rewrite& rewrite, std::uint64_t unlimited, const std::string& message) {
  std::uint64_t low = 0, high = 1;
  while (!rewrite(high)) high *= 2;
  while (low < high) {
    std::uint64_t middle = low + (high - low) / 2;
    if (rewrite(middle)) high = middle;
    else low = middle + 1;
  }
  EXPECT_GT(low, 0u);
  if (low == 0) return 0;
  for (std::uint64_t limit : {std::uint64_t{0}, low / 2, low - 1})
    EXPECT_EQ(tree_of(rewrite(limit)), "error: " + message) << limit;
  std::string expected = tree_of(rewrite(unlimited));
  for (std::uint64_t limit : {low, low + 1, low * 2}) EXPECT_EQ(tree_of(rewrite(limit)), expected) << limit;
  return low;
}

TEST(DagSizeLimit, NodeLimitIsACleanCut) {
  GraphWrap graph = diamond_chain(4);
  GraphWrap path = graph_from_lists({}, std::vector<EdgeItem>{{"c0", "c1", "1"}, {"c1", "c2", "1"}});
  for (bool compact : {false, true}) {
    auto rewrite = [&](std::uint64_t limit) {
      return to_dag_with_mode(graph, "c0", BlockedNodes{}, compact, /*allow_hashes=*/true, CallControls{}, RewriteLimits{limit});
    };
    std::uint64_t threshold =
        expect_clean_cut(rewrite, kDagNodeLimit, "unsupported: dag rewrite node limit exceeded");
    // Every node the result holds beyond the input was counted; the input copy is free.
    EXPECT_GE(threshold, rewrite(kDagNodeLimit)->node_count() - graph.node_count());
    EXPECT_TRUE(to_dag_with_mode(path, "c0", BlockedNodes{}, compact, true, CallControls{}, RewriteLimits{0}).has_value());
  }
}

// Unhashed magnets write out everything below their node, so their text has
// a budget of its own; hashed magnets are not charged.
TEST(DagSizeLimit, MagnetTextLimitCutsPlainMagnetsCleanlyAndLeavesHashedOnesAlone) {
  GraphWrap graph = diamond_chain(5);
  auto rewrite = [&](std::uint64_t bytes) {
    return to_dag_with_mode(graph, "c0", BlockedNodes{}, false, /*allow_hashes=*/false,
                            CallControls{}, RewriteLimits{kDagNodeLimit, bytes});
  };
  const std::string message = "unsupported: dag rewrite magnet text limit exceeded";
  EXPECT_GT(expect_clean_cut(rewrite, kDagMagnetTextLimit, message), 100u);
  EXPECT_TRUE(to_dag_with_mode(graph, "c0", BlockedNodes{}, false, true, CallControls{}, RewriteLimits{kDagNodeLimit, 0}));
}

}  // namespace
}  // namespace tolva
