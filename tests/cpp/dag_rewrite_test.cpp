#include "dag/dag_rewrite.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "canon_test_support.h"

namespace tolva {
namespace {

using test_support::CapturedTrace;
using test_support::edges_of;
using test_support::EdgeSpec;
using test_support::graph_of;
using test_support::node_ids;
using test_support::node_named;
using Edges = std::vector<std::tuple<std::string, std::string, std::string>>;

GraphWrap dag_of(const GraphWrap& graph, std::string_view root, bool compact, bool allow_hashes = false,
                 const IdSet& blocked = {}) {
  auto dag = to_dag_with_mode(graph, root, blocked, compact, allow_hashes);
  EXPECT_TRUE(dag.has_value()) << dag.error().display();
  return dag ? std::move(*dag) : GraphWrap{};
}

std::int32_t floor_of(const GraphWrap& graph, std::string_view id) {
  return node_named(graph, id).meta.floor.value_or(-99);
}

// The square r-a-c-b-r seen from r puts c on floor 2 with the parents b and a
// (that order: c's own edge c-b comes first in its visiting order); c has one
// child d. The edge c-b has modality 3, so the tree string under a is the
// smaller one and the second mirror becomes the main one.
GraphWrap square_with_tail() {
  return graph_of({{"r", "R"}, {"a", "A"}, {"c", "C"}, {"b", "B"}, {"d", "D"}},
                  {{"r", "a", "1"}, {"a", "c", "1"}, {"c", "b", "3"}, {"b", "r", "1"}, {"c", "d", "2"}});
}

TEST(DagRewrite, CompactSplitHangsLabelledMirrorsAndMovesChildrenToTheMainMirror) {
  GraphWrap dag = dag_of(square_with_tail(), "r", /*compact=*/true);
  EXPECT_FALSE(dag.find("c").has_value());
  EXPECT_EQ(node_ids(dag), (std::vector<std::string>{"r", "a", "b", "d", "#m0_0", "#m0_1"}));
  for (const char* id : {"#m0_0", "#m0_1"}) {
    const NodeData& mirror = node_named(dag, id);
    EXPECT_EQ(mirror.label, "C");
    EXPECT_TRUE(mirror.meta.is_mirror);
    EXPECT_FALSE(mirror.meta.is_virtual);
    EXPECT_EQ(mirror.meta.floor, 2);
    EXPECT_EQ(mirror.meta.mirror_count, 2u);
    EXPECT_EQ(mirror.meta.origin_key, "_(D:2)C_");
  }
  EXPECT_EQ(edges_of(dag, "#m0_0"), (Edges{{"#e3_0", "b", "3"}}));
  EXPECT_EQ(edges_of(dag, "#m0_1"), (Edges{{"e5_main", "d", "2"}, {"#e2_1", "a", "1"}}));
  EXPECT_EQ(edges_of(dag, "d"), (Edges{{"e5_main", "#m0_1", "2"}}));
  EXPECT_EQ(floor_of(dag, "d"), 3);
  EXPECT_EQ(dag.edge_count(), 5u);
}

TEST(DagRewrite, ExpandedSplitGivesEachDotMirrorItsOwnCopyOfTheRegionBelow) {
  GraphWrap dag = dag_of(square_with_tail(), "r", /*compact=*/false);
  for (int i = 0; i < 2; ++i) {
    std::string mirror_id = "#m0_" + std::to_string(i);
    std::string suffix = "@" + mirror_id;
    const NodeData& mirror = node_named(dag, mirror_id);
    EXPECT_EQ(mirror.label, ".");
    EXPECT_TRUE(mirror.meta.is_mirror);
    EXPECT_EQ(mirror.meta.floor, 2);
    EXPECT_EQ(mirror.meta.mirror_count, 2u);
    EXPECT_EQ(mirror.meta.origin_key, "_(D:2)C_");
    EXPECT_EQ(node_named(dag, "c" + suffix).label, "C");
    EXPECT_EQ(node_named(dag, "d" + suffix).label, "D");
    EXPECT_EQ(floor_of(dag, "c" + suffix), 3);
    EXPECT_EQ(floor_of(dag, "d" + suffix), 4);
    EXPECT_EQ(edges_of(dag, "d" + suffix), (Edges{{"e5", "c" + suffix, "2"}}));
    std::string link = "c_link_" + std::to_string(i);
    EXPECT_EQ(edges_of(dag, "c" + suffix), (Edges{{"e5", "d" + suffix, "2"}, {link, mirror_id, "1"}}));
  }
  EXPECT_EQ(edges_of(dag, "#m0_0"), (Edges{{"c_link_0", "c@#m0_0", "1"}, {"#e3_0", "b", "3"}}));
  EXPECT_EQ(edges_of(dag, "#m0_1"), (Edges{{"c_link_1", "c@#m0_1", "1"}, {"#e2_1", "a", "1"}}));
  // The split node stays behind, cut off from its parents, with its child.
  EXPECT_EQ(edges_of(dag, "c"), (Edges{{"e5", "d", "2"}}));
  EXPECT_EQ(floor_of(dag, "c"), 2);
  EXPECT_EQ(dag.node_count(), 11u);
}

TEST(DagRewrite, TriangleEdgeIsCutIntoTwoVirtualLeaves) {
  GraphWrap triangle = graph_of({{"r", "R"}, {"a", "A"}, {"b", "B"}},
                                {{"r", "a", "1"}, {"r", "b", "1"}, {"a", "b", "1"}});
  for (bool compact : {false, true}) {
    GraphWrap dag = dag_of(triangle, "r", compact);
    for (const char* id : {"*v0", "*v1"}) {
      const NodeData& leaf = node_named(dag, id);
      EXPECT_EQ(leaf.label, "");
      EXPECT_TRUE(leaf.meta.is_virtual);
      EXPECT_FALSE(leaf.meta.is_mirror);
      EXPECT_EQ(leaf.meta.floor, 2);
      EXPECT_EQ(leaf.meta.origin_key, "_()A_-1-_()B_");
      EXPECT_FALSE(leaf.meta.mirror_count.has_value());
    }
    EXPECT_EQ(edges_of(dag, "*v0"), (Edges{{"*e3_a", "a", "1"}}));
    EXPECT_EQ(edges_of(dag, "*v1"), (Edges{{"*e3_b", "b", "1"}}));
    EXPECT_EQ(dag.node_count(), 5u);
    EXPECT_EQ(dag.edge_count(), 4u);
  }
}

TEST(DagRewrite, ParallelEdgesToOneParentSplitIntoTwoMirrorsUnderIt) {
  GraphWrap graph = graph_of({{"r", "R"}, {"c", "C"}}, {{"r", "c", "x"}, {"r", "c", "y"}});
  GraphWrap dag = dag_of(graph, "r", /*compact=*/true);
  EXPECT_FALSE(dag.find("c").has_value());
  // c meets its second-endpoint edges newest first: e2, then e1.
  EXPECT_EQ(edges_of(dag, "#m0_0"), (Edges{{"#e2_0", "r", "y"}}));
  EXPECT_EQ(edges_of(dag, "#m0_1"), (Edges{{"#e1_1", "r", "x"}}));
  EXPECT_EQ(node_named(dag, "#m0_1").label, "C");
}

TEST(DagRewrite, SelfLoopIsACoboundEdgeOnAnyFloor) {
  GraphWrap graph = graph_of({{"r", "R"}, {"a", "A"}}, {{"r", "a", "1"}, {"a", "a", "s"}, {"r", "r", "t"}});
  GraphWrap dag = dag_of(graph, "r", /*compact=*/false);
  // Deepest first: the loop on a (floor 1) gives *v0 and *v1, the loop on r *v2 and *v3.
  EXPECT_EQ(edges_of(dag, "*v0"), (Edges{{"*e2_a", "a", "s"}}));
  EXPECT_EQ(edges_of(dag, "*v1"), (Edges{{"*e2_b", "a", "s"}}));
  EXPECT_EQ(edges_of(dag, "*v2"), (Edges{{"*e3_a", "r", "t"}}));
  EXPECT_EQ(edges_of(dag, "*v3"), (Edges{{"*e3_b", "r", "t"}}));
  EXPECT_EQ(floor_of(dag, "*v1"), 2);
  EXPECT_EQ(floor_of(dag, "*v3"), 1);
  const std::string r_magnet = "_((*{_()A_-s-_()A_}:s, *{_()A_-s-_()A_}:s)A:1)R_";
  EXPECT_EQ(node_named(dag, "*v2").meta.origin_key, r_magnet + "-t-" + r_magnet);
}

// The dag_choice records of one rewrite: "floor type" per repair.
std::vector<std::string> repair_order(const GraphWrap& graph, bool compact) {
  CapturedTrace trace;
  auto dag = to_dag_with_mode(graph, "r", IdSet{}, compact, false);
  std::vector<std::string> lines = trace.finish();
  EXPECT_TRUE(dag.has_value());
  std::vector<std::string> choices;
  for (const std::string& line : lines) {
    if (line.rfind("TRACE dag_choice ", 0) != 0) continue;
    auto floor_at = line.find("floor=");
    auto type_at = line.find("type=");
    choices.push_back(line.substr(floor_at + 6, line.find(' ', floor_at) - floor_at - 6) + " " +
                      line.substr(type_at + 5));
  }
  return choices;
}

TEST(DagRewrite, CoboundIsRepairedBeforeInboundOnTheSameFloor) {
  // Floor 1: the edge a-b and the node c with two parallel parent edges.
  GraphWrap graph = graph_of({{"r", "R"}, {"c", "C"}, {"a", "A"}, {"b", "B"}},
                             {{"r", "c", "1"}, {"r", "c", "1"}, {"r", "a", "1"}, {"r", "b", "1"}, {"a", "b", "1"}});
  for (bool compact : {false, true})
    EXPECT_EQ(repair_order(graph, compact),
              (std::vector<std::string>{"1 \"cobound\"", "1 \"inbound\""}));
}

TEST(DagRewrite, DeepestFloorIsRepairedFirst) {
  // An inbound node on floor 1 (two edges to r) and a loop on floor 3.
  GraphWrap graph = graph_of({{"r", "R"}, {"c", "C"}, {"p", "P"}, {"q", "Q"}, {"s", "S"}},
                             {{"r", "c", "1"}, {"r", "c", "1"}, {"r", "p", "1"}, {"p", "q", "1"},
                              {"q", "s", "1"}, {"s", "s", "1"}});
  EXPECT_EQ(repair_order(graph, true), (std::vector<std::string>{"3 \"cobound\"", "1 \"inbound\""}));
}

TEST(DagRewrite, UnreachableAndBlockedNodesAreRemoved) {
  GraphWrap graph = graph_of({{"r", "R"}, {"lone", "L"}},
                             {{"r", "a", "1"}, {"a", "b", "1"}, {"x", "y", "1"}, {"r", "k", "1"}, {"k", "z", "1"}});
  GraphWrap dag = dag_of(graph, "r", false);
  EXPECT_EQ(node_ids(dag), (std::vector<std::string>{"r", "a", "b", "k", "z"}));
  EXPECT_EQ(dag.edge_count(), 4u);

  GraphWrap blocked = dag_of(graph, "r", false, false, IdSet{"k", "r"});
  EXPECT_EQ(node_ids(blocked), (std::vector<std::string>{"r", "a", "b"}));
}

TEST(DagRewrite, ATreeComesBackUnchangedWithoutTrace) {
  GraphWrap graph = graph_of({{"r", "R"}, {"far", "F"}},
                             {{"r", "a", "1"}, {"a", "b", "2"}, {"r", "c", "3"}, {"x", "y", "1"}});
  CapturedTrace trace;
  GraphWrap dag = dag_of(graph, "r", true, true);
  EXPECT_TRUE(trace.finish().empty());
  EXPECT_EQ(node_ids(dag), (std::vector<std::string>{"r", "a", "b", "c"}));
  for (const char* id : {"r", "a", "b", "c"}) {
    EXPECT_EQ(node_named(dag, id).label, node_named(graph, id).label);
    EXPECT_EQ(edges_of(dag, id), edges_of(graph, id));
  }
  EXPECT_EQ(floor_of(dag, "b"), 2);
  EXPECT_EQ(dag.edge_count(), 3u);
  // The input is never touched.
  EXPECT_EQ(graph.node_count(), 7u);
  EXPECT_FALSE(node_named(graph, "r").meta.floor.has_value());
}

TEST(DagRewrite, UnknownRootIsAParseError) {
  GraphWrap graph = graph_of({{"r", "R"}}, {});
  auto dag = to_dag_with_mode(graph, "x", IdSet{}, false, true);
  ASSERT_FALSE(dag.has_value());
  EXPECT_EQ(dag.error().kind(), ErrorKind::Parse);
  EXPECT_EQ(dag.error().message(), "unknown root id 'x'");
}

TEST(DagRewrite, SuccessiveSplitsNumberTheirMirrorsOnward) {
  // c and d both have the parents a and b; d's magnet is greater, so d goes first.
  GraphWrap graph = graph_of({{"r", "R"}, {"a", "A"}, {"b", "B"}, {"c", "C"}, {"d", "D"}},
                             {{"r", "a", "1"}, {"r", "b", "1"}, {"a", "c", "1"}, {"b", "c", "1"},
                              {"a", "d", "1"}, {"b", "d", "1"}});
  GraphWrap dag = dag_of(graph, "r", /*compact=*/true);
  EXPECT_EQ(node_named(dag, "#m0_0").label, "D");
  EXPECT_EQ(node_named(dag, "#m0_1").label, "D");
  EXPECT_EQ(node_named(dag, "#m1_0").label, "C");
  EXPECT_EQ(node_named(dag, "#m1_1").label, "C");
  EXPECT_EQ(dag.node_count(), 7u);
}

TEST(DagRewrite, GeneratedIdsNeverCaptureAnInputNode) {
  // Leaves named like the ids the rewrite makes hang under r.
  GraphWrap graph = graph_of({{"r", "R"}, {"a", "A"}, {"c", "C"}, {"b", "B"}},
                             {{"r", "a", "1"}, {"a", "c", "1"}, {"c", "b", "1"}, {"b", "r", "1"},
                              {"r", "#m0_0", "1"}, {"r", "c@#m0_1", "1"}, {"r", "c@#m0_1'", "1"}});
  GraphWrap dag = dag_of(graph, "r", /*compact=*/false);
  EXPECT_EQ(edges_of(dag, "#m0_0"), (Edges{{"e5", "r", "1"}}));
  EXPECT_EQ(edges_of(dag, "c@#m0_1"), (Edges{{"e6", "r", "1"}}));
  EXPECT_EQ(edges_of(dag, "c@#m0_1'"), (Edges{{"e7", "r", "1"}}));
  // The mirror itself is #m0_0' and its copies carry that id as suffix.
  EXPECT_EQ(node_named(dag, "#m0_0'").label, ".");
  EXPECT_EQ(edges_of(dag, "#m0_0'"), (Edges{{"c_link_0", "c@#m0_0'", "1"}, {"#e3_0", "b", "1"}}));
  EXPECT_EQ(edges_of(dag, "#m0_1"), (Edges{{"c_link_1", "c@#m0_1''", "1"}, {"#e2_1", "a", "1"}}));
  EXPECT_EQ(node_named(dag, "c@#m0_1''").label, "C");
}

TEST(DagRewrite, FloorsAreRestoredBySlot) {
  // c (floor 2) is split and removed first; the loop on r (floor 0) is cut
  // next, and its first leaf reuses c's slot and so takes c's floor.
  GraphWrap graph = graph_of({{"r", "R"}, {"a", "A"}, {"b", "B"}, {"c", "C"}},
                             {{"r", "a", "1"}, {"r", "b", "1"}, {"a", "c", "1"}, {"b", "c", "1"}, {"r", "r", "1"}});
  GraphWrap dag = dag_of(graph, "r", /*compact=*/true);
  EXPECT_EQ(dag.find("*v0"), graph.find("c"));
  EXPECT_EQ(floor_of(dag, "*v0"), 2);
  EXPECT_EQ(floor_of(dag, "*v1"), 1);
}

TEST(DagRewrite, CollectRootsByFloorTakesFlooredNodesUpToTheLimit) {
  GraphWrap graph = graph_of({{"lone", "L"}}, {{"r", "a", "1"}, {"a", "b", "1"}, {"b", "c", "1"}});
  GraphWrap dag = dag_of(graph, "r", false);
  EXPECT_EQ(collect_roots_by_floor(dag, 1), (IdSet{"r", "a"}));
  EXPECT_EQ(collect_roots_by_floor(dag, -1), IdSet{});
  EXPECT_EQ(collect_roots_by_floor(graph, 5), IdSet{});
}

// A spine below r with one leaf per spine node; the leaves share `loops`
// self-loops, 100 per leaf. Every loop is one repair, and each repair scores
// only the loops of one floor, so the rewrite needs exactly `loops` repairs.
GraphWrap looped_leaves(std::uint64_t loops) {
  GraphWrap graph;
  std::string spine = "r";
  for (std::uint64_t done = 0, leaf = 0; done < loops; ++leaf) {
    std::string next = "s" + std::to_string(leaf);
    std::string leaf_id = "l" + std::to_string(leaf);
    graph.add_edge_with_modality(spine, next, "1");
    graph.add_edge_with_modality(next, leaf_id, "1");
    for (int i = 0; i < 100 && done < loops; ++i, ++done) graph.add_edge_with_modality(leaf_id, leaf_id, "1");
    spine = next;
  }
  return graph;
}

TEST(DagRewrite, MoreThanTenThousandRepairsFail) {
  auto too_many = to_dag_with_mode(looped_leaves(kDagRepairLimit + 1), "r", IdSet{}, true, true);
  ASSERT_FALSE(too_many.has_value());
  EXPECT_EQ(too_many.error().display(), "unsupported: dag rewrite loop exceeded guard limit");
}

}  // namespace
}  // namespace tolva
