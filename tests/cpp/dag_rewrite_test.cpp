#include "dag/dag_rewrite.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canon_test_support.h"

namespace tolva {
namespace {

using test_support::edges_of;
using test_support::graph_of;
using test_support::Ids;
using test_support::Incident;
using test_support::node_named;

GraphWrap dag_of(const GraphWrap& graph, bool compact) {
  auto dag = to_dag_with_mode(graph, "r", IdSet{}, compact, /*allow_hashes=*/false);
  EXPECT_TRUE(dag.has_value()) << dag.error().display();
  return dag ? std::move(*dag) : GraphWrap{};
}

std::int32_t floor_of(const GraphWrap& graph, std::string_view id) {
  return node_named(graph, id).meta.floor.value_or(-99);
}

void expect_mirror(const GraphWrap& dag, const std::string& id, const std::string& label) {
  const NodeData& mirror = node_named(dag, id);
  EXPECT_EQ(mirror.label, label) << id;
  EXPECT_TRUE(mirror.meta.is_mirror && !mirror.meta.is_virtual) << id;
  EXPECT_EQ(mirror.meta.floor, 2) << id;
  EXPECT_EQ(mirror.meta.mirror_count, 2u) << id;
  EXPECT_EQ(mirror.meta.origin_key, "_(D:2)C_") << id;
}

// The square r-a-c-b-r seen from r puts c on floor 2 with the parents b and a
// (that order: c's own edge c-b comes first in its visiting order); c has one
// child d. The edge c-b has modality 3, so the tree string under a is the
// smaller one and the second mirror becomes the main one.
const GraphWrap kSquare = graph_of({{"r", "R"}, {"a", "A"}, {"c", "C"}, {"b", "B"}, {"d", "D"}},
                                   {{"r", "a"}, {"a", "c"}, {"c", "b", "3"}, {"b", "r"}, {"c", "d", "2"}});

TEST(DagRewrite, CompactSplitHangsLabelledMirrorsAndMovesChildrenToTheMainMirror) {
  GraphWrap dag = dag_of(kSquare, /*compact=*/true);
  EXPECT_EQ(test_support::node_ids(dag), (Ids{"r", "a", "b", "d", "#m0_0", "#m0_1"}));
  for (const char* id : {"#m0_0", "#m0_1"}) expect_mirror(dag, id, "C");
  EXPECT_EQ(edges_of(dag, "#m0_0"), (Incident{{"#e3_0", "b", "3"}}));
  EXPECT_EQ(edges_of(dag, "#m0_1"), (Incident{{"e5_main", "d", "2"}, {"#e2_1", "a", "1"}}));
  EXPECT_EQ(edges_of(dag, "d"), (Incident{{"e5_main", "#m0_1", "2"}}));
  EXPECT_EQ(floor_of(dag, "d"), 3);
  EXPECT_EQ(dag.edge_count(), 5u);
}

TEST(DagRewrite, ExpandedSplitGivesEachDotMirrorItsOwnCopyOfTheRegionBelow) {
  GraphWrap dag = dag_of(kSquare, /*compact=*/false);
  for (std::string i : {"0", "1"}) {
    std::string mirror = "#m0_" + i, c = "c@" + mirror, d = "d@" + mirror;
    expect_mirror(dag, mirror, ".");
    EXPECT_EQ(node_named(dag, c).label, "C");
    EXPECT_EQ(node_named(dag, d).label, "D");
    EXPECT_EQ(floor_of(dag, c), 3);
    EXPECT_EQ(floor_of(dag, d), 4);
    EXPECT_EQ(edges_of(dag, c), (Incident{{"e5", d, "2"}, {"c_link_" + i, mirror, "1"}}));
  }
  EXPECT_EQ(edges_of(dag, "#m0_0"), (Incident{{"c_link_0", "c@#m0_0", "1"}, {"#e3_0", "b", "3"}}));
  EXPECT_EQ(edges_of(dag, "#m0_1"), (Incident{{"c_link_1", "c@#m0_1", "1"}, {"#e2_1", "a", "1"}}));
  // The split node stays behind, cut off from its parents, with its child.
  EXPECT_EQ(edges_of(dag, "c"), (Incident{{"e5", "d", "2"}}));
  EXPECT_EQ(floor_of(dag, "c"), 2);
  EXPECT_EQ(dag.node_count(), 11u);
}

TEST(DagRewrite, TriangleEdgeIsCutIntoTwoVirtualLeaves) {
  GraphWrap triangle = graph_of({{"r", "R"}, {"a", "A"}, {"b", "B"}}, {{"r", "a"}, {"r", "b"}, {"a", "b"}});
  for (bool compact : {false, true}) {
    GraphWrap dag = dag_of(triangle, compact);
    for (const char* id : {"*v0", "*v1"}) {
      const NodeData& leaf = node_named(dag, id);
      EXPECT_EQ(leaf.label, "");
      EXPECT_TRUE(leaf.meta.is_virtual && !leaf.meta.is_mirror);
      EXPECT_EQ(leaf.meta.floor, 2);
      EXPECT_EQ(leaf.meta.origin_key, "_()A_-1-_()B_");
    }
    EXPECT_EQ(edges_of(dag, "*v0"), (Incident{{"*e3_a", "a", "1"}}));
    EXPECT_EQ(edges_of(dag, "*v1"), (Incident{{"*e3_b", "b", "1"}}));
    EXPECT_EQ(dag.node_count(), 5u);
    EXPECT_EQ(dag.edge_count(), 4u);
  }
}

TEST(DagRewrite, ParallelEdgesToOneParentSplitIntoTwoMirrorsUnderIt) {
  GraphWrap dag = dag_of(graph_of({{"r", "R"}, {"c", "C"}}, {{"r", "c", "x"}, {"r", "c", "y"}}), true);
  EXPECT_FALSE(dag.find("c").has_value());
  // c meets its second-endpoint edges newest first: e2, then e1.
  EXPECT_EQ(edges_of(dag, "#m0_0"), (Incident{{"#e2_0", "r", "y"}}));
  EXPECT_EQ(edges_of(dag, "#m0_1"), (Incident{{"#e1_1", "r", "x"}}));
}

TEST(DagRewrite, SelfLoopIsACoboundEdgeOnAnyFloor) {
  GraphWrap dag = dag_of(graph_of({{"r", "R"}, {"a", "A"}}, {{"r", "a"}, {"a", "a", "s"}, {"r", "r", "t"}}), false);
  // Deepest first: the loop on a (floor 1) gives *v0 and *v1, the loop on r *v2 and *v3.
  EXPECT_EQ(edges_of(dag, "*v0"), (Incident{{"*e2_a", "a", "s"}}));
  EXPECT_EQ(edges_of(dag, "*v1"), (Incident{{"*e2_b", "a", "s"}}));
  EXPECT_EQ(edges_of(dag, "*v2"), (Incident{{"*e3_a", "r", "t"}}));
  EXPECT_EQ(edges_of(dag, "*v3"), (Incident{{"*e3_b", "r", "t"}}));
  EXPECT_EQ(floor_of(dag, "*v1"), 2);
  EXPECT_EQ(floor_of(dag, "*v3"), 1);
  const std::string r_magnet = "_((*{_()A_-s-_()A_}:s, *{_()A_-s-_()A_}:s)A:1)R_";
  EXPECT_EQ(node_named(dag, "*v2").meta.origin_key, r_magnet + "-t-" + r_magnet);
}

// The dag_choice records of one rewrite: "floor type" per repair.
Ids repair_order(const GraphWrap& graph, bool compact) {
  test_support::CapturedTrace trace;
  dag_of(graph, compact);
  Ids choices;
  for (const std::string& line : trace.finish()) {
    if (!line.starts_with("TRACE dag_choice ")) continue;
    auto floor_at = line.find("floor="), type_at = line.find("type=");
    choices.push_back(line.substr(floor_at + 6, line.find(' ', floor_at) - floor_at - 6) + " " +
                      line.substr(type_at + 5));
  }
  return choices;
}

TEST(DagRewrite, CoboundIsRepairedBeforeInboundOnTheSameFloor) {
  // Floor 1: the edge a-b and the node c with two parallel parent edges.
  GraphWrap graph = graph_of({{"r", "R"}, {"c", "C"}, {"a", "A"}, {"b", "B"}},
                             {{"r", "c"}, {"r", "c"}, {"r", "a"}, {"r", "b"}, {"a", "b"}});
  for (bool compact : {false, true})
    EXPECT_EQ(repair_order(graph, compact), (Ids{"1 \"cobound\"", "1 \"inbound\""}));
}

TEST(DagRewrite, DeepestFloorIsRepairedFirst) {
  // An inbound node on floor 1 (two edges to r) and a loop on floor 3.
  GraphWrap graph = graph_of({{"r", "R"}, {"c", "C"}, {"p", "P"}, {"q", "Q"}, {"s", "S"}},
                             {{"r", "c"}, {"r", "c"}, {"r", "p"}, {"p", "q"}, {"q", "s"}, {"s", "s"}});
  EXPECT_EQ(repair_order(graph, true), (Ids{"3 \"cobound\"", "1 \"inbound\""}));
}

TEST(DagRewrite, SuccessiveSplitsNumberTheirMirrorsOnward) {
  // c and d both have the parents a and b; d's magnet is greater, so d goes first.
  GraphWrap graph = graph_of({{"r", "R"}, {"a", "A"}, {"b", "B"}, {"c", "C"}, {"d", "D"}},
                             {{"r", "a"}, {"r", "b"}, {"a", "c"}, {"b", "c"}, {"a", "d"}, {"b", "d"}});
  GraphWrap dag = dag_of(graph, /*compact=*/true);
  EXPECT_EQ(node_named(dag, "#m0_1").label, "D");
  EXPECT_EQ(node_named(dag, "#m1_1").label, "C");
  EXPECT_EQ(dag.node_count(), 7u);
}

TEST(DagRewrite, GeneratedIdsNeverCaptureAnInputNode) {
  // Leaves named like the ids the rewrite makes hang under r.
  GraphWrap graph = graph_of({{"r", "R"}, {"a", "A"}, {"c", "C"}, {"b", "B"}},
                             {{"r", "a"}, {"a", "c"}, {"c", "b"}, {"b", "r"},
                              {"r", "#m0_0"}, {"r", "c@#m0_1"}, {"r", "c@#m0_1'"}});
  GraphWrap dag = dag_of(graph, /*compact=*/false);
  EXPECT_EQ(edges_of(dag, "#m0_0"), (Incident{{"e5", "r", "1"}}));
  EXPECT_EQ(edges_of(dag, "c@#m0_1"), (Incident{{"e6", "r", "1"}}));
  EXPECT_EQ(edges_of(dag, "c@#m0_1'"), (Incident{{"e7", "r", "1"}}));
  // The mirror itself is #m0_0' and its copies carry that id as suffix.
  EXPECT_EQ(node_named(dag, "#m0_0'").label, ".");
  EXPECT_EQ(edges_of(dag, "#m0_0'"), (Incident{{"c_link_0", "c@#m0_0'", "1"}, {"#e3_0", "b", "1"}}));
  EXPECT_EQ(edges_of(dag, "#m0_1"), (Incident{{"c_link_1", "c@#m0_1''", "1"}, {"#e2_1", "a", "1"}}));
  EXPECT_EQ(node_named(dag, "c@#m0_1''").label, "C");
}

TEST(DagRewrite, FloorsAreRestoredBySlot) {
  // c (floor 2) is split and removed first; the loop on r (floor 0) is cut
  // next, and its first leaf reuses c's slot and so takes c's floor.
  GraphWrap graph = graph_of({{"r", "R"}, {"a", "A"}, {"b", "B"}, {"c", "C"}},
                             {{"r", "a"}, {"r", "b"}, {"a", "c"}, {"b", "c"}, {"r", "r"}});
  GraphWrap dag = dag_of(graph, /*compact=*/true);
  EXPECT_EQ(dag.find("*v0"), graph.find("c"));
  EXPECT_EQ(floor_of(dag, "*v0"), 2);
  EXPECT_EQ(floor_of(dag, "*v1"), 1);
}

// A spine below r with one leaf per spine node, each leaf with up to 100
// self-loops. Each loop is one repair, so kDagRepairLimit + 1 loops need one
// repair too many.
TEST(DagRewrite, MoreRepairsThanTheGuardLimitFail) {
  GraphWrap graph;
  std::string spine = "r";
  for (std::uint64_t done = 0, leaf = 0; done <= kDagRepairLimit; ++leaf) {
    std::string next = "s" + std::to_string(leaf), leaf_id = "l" + std::to_string(leaf);
    graph.add_edge_with_modality(spine, next, "1");
    graph.add_edge_with_modality(next, leaf_id, "1");
    for (int i = 0; i < 100 && done <= kDagRepairLimit; ++i, ++done) graph.add_edge_with_modality(leaf_id, leaf_id, "1");
    spine = next;
  }
  auto too_many = to_dag_with_mode(graph, "r", IdSet{}, true, true);
  ASSERT_FALSE(too_many.has_value());
  EXPECT_EQ(too_many.error().display(), "unsupported: dag rewrite loop exceeded guard limit");
}

}  // namespace
}  // namespace tolva
