#include "graph/graph_records.h"

#include <gtest/gtest.h>

#include <vector>

namespace tolva {
namespace {

TEST(GraphRecords, RebuildsIdsLabelsEdgeIdsAndOrders) {
  std::vector<NodeRecord> nodes{{"b", ""}, {"a", "A"}};
  std::vector<EdgeRecord> edges{{"e7", "a", "b", "x"}, {"e2", "b", "b", ""}};
  auto g = graph_from_records(nodes, edges);
  ASSERT_TRUE(g);
  EXPECT_EQ(g->node_count(), 2u);
  EXPECT_EQ(g->id(0), "b");
  EXPECT_EQ(g->label(0), "");  // kept, not turned into "."
  auto edge_ids = g->edge_indices();
  ASSERT_EQ(edge_ids.size(), 2u);
  EXPECT_EQ(g->edge_id(edge_ids[0]), "e7");
  EXPECT_EQ(g->id(g->first_end(edge_ids[0])), "a");
  EXPECT_EQ(g->modality(edge_ids[1]), "");
}

TEST(GraphRecords, RefusesRepeatedIdsAndUnknownEndpoints) {
  std::vector<NodeRecord> twice{{"a", "A"}, {"a", "B"}};
  EXPECT_FALSE(graph_from_records(twice, {}));
  std::vector<NodeRecord> one{{"a", "A"}};
  std::vector<EdgeRecord> dangling{{"e1", "a", "z", "1"}};
  auto g = graph_from_records(one, dangling);
  ASSERT_FALSE(g);
  EXPECT_EQ(g.error().display(), "parse error: graph records: edge 'e1' ends at an unknown node");
}

}  // namespace
}  // namespace tolva
