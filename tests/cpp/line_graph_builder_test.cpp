#include "dot/line_graph_builder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "graph_listing.h"

namespace tolva {
namespace {

// Random node and edge calls against the store's own ensure_node and
// add_edge_with_modality: the same graph (ids, labels, edge order, visiting
// order), the same lookups by id afterwards. Empty labels that a later edge
// turns into ".", ids across the 7-byte inline limit, more edges than a batch.
TEST(LineGraphBuilder, BuildsWhatTheStoresOwnCallsBuild) {
  std::mt19937 random(3);
  auto pick_id = [&] {
    std::string id = "n" + std::to_string(random() % 60);
    if (random() % 4 == 0) id += "-long-suffix";
    return id;
  };
  for (int round = 0; round < 40; ++round) {
    GraphWrap expected;
    LineGraphBuilder builder;
    int steps = static_cast<int>(random() % 400);
    for (int step = 0; step < steps; ++step) {
      if (random() % 4 == 0) {
        std::string id = pick_id();
        std::string label = random() % 3 == 0 ? "" : "L" + std::to_string(random() % 3);
        expected.ensure_node(id, label);
        builder.ensure_node(id, label);
      } else {
        std::string a = pick_id(), b = pick_id();
        std::string modality = random() % 5 == 0 ? "" : std::to_string(random() % 3);
        expected.add_edge_with_modality(a, b, modality);
        builder.add_edge(a, b, modality);
      }
    }
    GraphWrap built = std::move(builder).finish();
    ASSERT_EQ(graph_listing(built), graph_listing(expected)) << "round " << round;
    expected.for_each_node([&](NodeIndex node) {
      ASSERT_EQ(built.find(expected.id(node)), node);
      std::string seen_expected, seen_built;
      expected.for_each_incident(node, [&](EdgeIndex e, NodeIndex other) {
        seen_expected += std::to_string(e) + ">" + std::to_string(other) + " ";
      });
      built.for_each_incident(node, [&](EdgeIndex e, NodeIndex other) {
        seen_built += std::to_string(e) + ">" + std::to_string(other) + " ";
      });
      ASSERT_EQ(seen_built, seen_expected);
    });
  }
}

}  // namespace
}  // namespace tolva
