// The survey read off the floors must tell exactly what the rewrite then
// does: its number of repairs, the nodes it makes (the node limit passes at
// that number and fails one below it) and the height of its tree string.
// Random multigraphs with self-loops and parallel edges, every node as root,
// both modes, try to break it.
#include "dag/defect_survey.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "canon_test_support.h"
#include "dag/dag_rewrite.h"
#include "graph/edge_list.h"
#include "tree/tree_string.h"

namespace tolva {
namespace {

using test_support::random_multigraph;

// Counts the trace lines of one event.
class EventCounter final : public TraceOutput {
 public:
  void write_line(std::string_view line) override { count += line.starts_with("TRACE dag_counts ") ? 1 : 0; }
  std::uint64_t count = 0;
};

Result<GraphWrap> rewrite(const GraphWrap& graph, std::string_view root, bool compact, std::uint64_t node_limit,
                          TraceOutput& lines) {
  CallControls controls{TraceSettings::fixed(true, false, lines)};
  return to_dag_with_mode(graph, root, BlockedNodes{}, compact, true, controls, RewriteLimits{node_limit});
}

TEST(DefectSurvey, TellsRepairsNodesMadeAndHeightOfEveryRewrite) {
  std::mt19937 rng(20261207);
  std::uint64_t surveyed = 0, with_repairs = 0, with_copies = 0;
  for (int round = 0; round < 400; ++round) {
    GraphWrap graph = random_multigraph(rng);
    for (NodeIndex root : graph.node_indices()) {
      for (bool compact : {false, true}) {
        DefectSurvey survey = DefectSurveyor().survey_from(graph, root, compact);
        if (survey.nodes_made > 200'000) continue;  // expanded blow-ups: too slow to replay here
        std::string where = std::string(graph.id(root)) + (compact ? " compact" : " expanded");
        EventCounter repairs;
        auto dag = rewrite(graph, graph.id(root), compact, survey.nodes_made, repairs);
        ASSERT_TRUE(dag.has_value()) << where << ": " << dag.error().display();
        EXPECT_EQ(repairs.count, survey.repairs()) << where;
        auto tree = to_tree_string_with_depth_order(*dag, graph.id(root), IdSet{}, true);
        ASSERT_TRUE(tree.has_value());
        EXPECT_EQ(tree->height, survey.height_bound) << where;
        if (survey.nodes_made > 0) {
          EventCounter ignored;
          auto short_of_one = rewrite(graph, graph.id(root), compact, survey.nodes_made - 1, ignored);
          ASSERT_FALSE(short_of_one.has_value()) << where;
          EXPECT_EQ(short_of_one.error().message(), "dag rewrite node limit exceeded") << where;
        }
        ++surveyed;
        with_repairs += survey.repairs() > 0 ? 1 : 0;
        with_copies += !compact && survey.inbound_nodes > 0 ? 1 : 0;
      }
    }
  }
  EXPECT_GT(surveyed, 2000u);
  EXPECT_GT(with_repairs, surveyed / 3) << "most rewrites must have something to repair";
  EXPECT_GT(with_copies, 200u) << "expanded splits must be exercised";
}

// The same graph with its nodes renamed to ids the rewrite itself makes
// ("#m0_1", "*v0", "n1@#m0_0" ...), so generated nodes must step around them.
GraphWrap with_generated_looking_ids(const GraphWrap& graph) {
  static const char* const kIds[] = {"#m0_0", "*v0", "n1@#m0_0", "#m1_1", "*v1", "#m0_1", "n0@#m1_0", "n2", "#m2_0"};
  GraphWrap renamed;
  std::map<NodeIndex, std::string> id_of;
  for (NodeIndex node : graph.node_indices()) {
    id_of[node] = kIds[id_of.size()];
    renamed.ensure_node(id_of[node], graph.label(node));
  }
  for (EdgeIndex edge = 0; edge < graph.edge_slot_count(); ++edge)
    if (auto ends = graph.endpoints(edge))
      renamed.add_edge_with_modality(id_of[ends->first], id_of[ends->second], graph.modality(edge));
  return renamed;
}

// Given nodes to leave out, the survey bounds the height of the tree string
// that leaves them out: exactly in expanded mode (given ids unlike the ones the
// rewrite makes), from above in compact mode.
// Left-out sets are random, roots every node not left out.
TEST(DefectSurvey, BoundsTheHeightOfTheWalkThatLeavesNodesOut) {
  std::mt19937 rng(20261208);
  std::uint64_t checked = 0, below_full = 0, compact_exact = 0, compact_checked = 0;
  for (int round = 0; round < 600; ++round) {
    GraphWrap graph = random_multigraph(rng);
    bool generated_looking_ids = round % 2 == 1;
    if (generated_looking_ids) graph = with_generated_looking_ids(graph);
    IdSet left_out_ids;
    for (NodeIndex node : graph.node_indices())
      if (std::uniform_int_distribution<int>(0, 3)(rng) == 0) left_out_ids.insert(std::string(graph.id(node)));
    BlockedNodes left_out = BlockedNodes::from_ids(graph, left_out_ids);
    for (NodeIndex root : graph.node_indices()) {
      if (left_out.contains(graph, root)) continue;
      for (bool compact : {false, true}) {
        DefectSurvey survey = DefectSurveyor().survey_from(graph, root, compact, 0, &left_out);
        if (survey.nodes_made > 200'000) continue;
        std::string where = std::string(graph.id(root)) + (compact ? " compact" : " expanded");
        EventCounter ignored;
        auto dag = rewrite(graph, graph.id(root), compact, survey.nodes_made, ignored);
        ASSERT_TRUE(dag.has_value()) << where << ": " << dag.error().display();
        auto tree = to_tree_string_with_depth_order(*dag, graph.id(root), left_out_ids, true);
        ASSERT_TRUE(tree.has_value());
        if (compact) {
          EXPECT_GE(survey.reached_height_bound, tree->height) << where;
          compact_exact += survey.reached_height_bound == tree->height ? 1 : 0;
          ++compact_checked;
        } else {
          // A mirror or copy may take the id of a left-out node the rewrite
          // dropped (another component) and be left out too: only a bound then.
          if (generated_looking_ids)
            EXPECT_GE(survey.reached_height_bound, tree->height) << where;
          else
            EXPECT_EQ(survey.reached_height_bound, tree->height) << where;
        }
        EXPECT_LE(survey.reached_height_bound, survey.height_bound) << where;
        below_full += survey.reached_height_bound < survey.height_bound ? 1 : 0;
        ++checked;
      }
    }
  }
  EXPECT_GT(checked, 3000u);
  EXPECT_GT(below_full, checked / 20) << "leaving nodes out must often lower the bound";
  EXPECT_GT(compact_exact, compact_checked * 9 / 10) << "the compact bound must mostly be the height";
}

// A survey asked only whether a rewrite stays within `enough` nodes gives
// that answer, and never less than the exact count when it bounds it.
TEST(DefectSurvey, NodeBoundAnswersLikeTheExactCount) {
  std::mt19937 rng(7);
  std::uint64_t bounded = 0, exact = 0;
  for (int round = 0; round < 1500; ++round) {
    GraphWrap graph = random_multigraph(rng);
    for (NodeIndex root : graph.node_indices()) {
      DefectSurvey counted = DefectSurveyor().survey_from(graph, root, false);
      for (std::uint64_t enough : {1ull, 10ull, 100ull, 1000ull, 100'000ull, 1ull << 40}) {
        DefectSurvey asked = DefectSurveyor().survey_from(graph, root, false, enough);
        std::string where = std::string(graph.id(root)) + " enough " + std::to_string(enough);
        EXPECT_GE(asked.nodes_made, counted.nodes_made) << where;
        EXPECT_EQ(asked.nodes_made <= enough, counted.nodes_made <= enough) << where;
        EXPECT_EQ(asked.repairs(), counted.repairs()) << where;
        EXPECT_EQ(asked.height_bound, counted.height_bound) << where;
        (asked.nodes_made == counted.nodes_made ? exact : bounded) += counted.inbound_nodes > 0 ? 1 : 0;
      }
    }
  }
  EXPECT_GT(bounded, 1000u) << "the bound must stand in for the count often";
  EXPECT_GT(exact, 1000u) << "and the count must be made when the bound is too large";
}

}  // namespace
}  // namespace tolva
