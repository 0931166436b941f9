// Ranking a compact split's mirrors from the parent's children list must pick
// the same main mirror as writing the parent's string after every mirror:
// random bundles of parallel edges (varied modalities, other children and
// grandchildren on both sides, labels that tie) are rewritten both ways and
// must give identical DAGs.
#include "dag/shared_parent_split.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "canon_test_support.h"
#include "dag/dag_rewrite.h"
#include "graph/edge_list.h"
#include "tree/tree_string.h"

namespace tolva {
namespace {

GraphWrap random_bundle(std::mt19937& rng) {
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  std::vector<EdgeItem> edges;
  const char* modalities[] = {"1", "2", "a", ""};
  for (int i = 0, k = pick(2, 40); i < k; ++i) edges.push_back({"p", "x", modalities[pick(0, 3)]});
  edges.push_back({"hub", "p", "1"});
  for (std::string side : {"p", "x", "hub"})
    for (int i = 0, children = pick(0, 4); i < children; ++i) {
      std::string child = side + std::to_string(i);
      edges.push_back({side, child, modalities[pick(0, 2)]});
      if (pick(0, 1)) edges.push_back({child, child + "g", modalities[pick(0, 2)]});
    }
  std::shuffle(edges.begin(), edges.end(), rng);
  std::vector<NodeItem> nodes;
  for (const EdgeItem& edge : edges)
    for (const std::string& id : {edge[0], edge[1]}) nodes.push_back({id, pick(0, 2) ? "A" : "B"});
  return graph_from_lists(nodes, edges);
}

// The DAG as text: every node described in slot order.
std::string dag_text(const Result<GraphWrap>& dag) {
  if (!dag) return "error: " + dag.error().display();
  std::string out;
  for (NodeIndex node : dag->node_indices()) out += test_support::described(*dag, dag->id(node)) + "\n";
  return out;
}

TEST(SharedParentSplit, PicksTheMirrorThatWritingEveryStringPicks) {
  std::mt19937 rng(7);
  int compared = 0;
  for (int round = 0; round < 300; ++round) {
    GraphWrap graph = random_bundle(rng);
    for (NodeIndex root : graph.node_indices()) {
      auto rewrite = [&](std::size_t from) {
        RewriteLimits limits;
        limits.shared_parent_edges = from;
        return to_dag_with_mode(graph, graph.id(root), BlockedNodes{}, true, true, CallControls{}, limits);
      };
      ASSERT_EQ(dag_text(rewrite(2)), dag_text(rewrite(SIZE_MAX))) << "root " << graph.id(root);
      ++compared;
    }
  }
  EXPECT_GT(compared, 1000);
}

}  // namespace
}  // namespace tolva
