#include "canonize/uniform_cycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "canon_test_support.h"
#include "canonize/cgraph.h"
#include "canonize/first_pass.h"
#include "canonize/node_order.h"
#include "dag/dag_rewrite.h"
#include "dag/trace.h"
#include "tree/tree_string.h"

namespace tolva {
namespace {

using test_support::NoLines;

using test_support::Edges;
using test_support::graph_of;
using test_support::Nodes;

// A cycle of n nodes with shuffled ids, edge order and edge directions, every
// node labelled `label` and every edge `modality`.
GraphWrap shuffled_cycle(int n, const std::string& label, const std::string& modality, std::mt19937& rng) {
  std::vector<std::string> ids;
  for (int i = 0; i < n; ++i) ids.push_back("v" + std::to_string(i));
  std::shuffle(ids.begin(), ids.end(), rng);
  Edges edges;
  for (int i = 0; i < n; ++i) {
    std::string a = ids[i], b = ids[(i + 1) % n];
    if (rng() % 2) std::swap(a, b);
    edges.push_back({a, b, modality});
  }
  std::shuffle(edges.begin(), edges.end(), rng);
  Nodes nodes;
  for (const std::string& id : ids) nodes.push_back({id, label});
  std::shuffle(nodes.begin(), nodes.end(), rng);
  return graph_of(nodes, edges);
}

TEST(UniformCycle, TellsOneSimpleCycleWithOneLabelAndOneModalityFromLookAlikes) {
  const Nodes abc{{"a", "C"}, {"b", "C"}, {"c", "C"}};
  const Nodes abcd{{"a", "C"}, {"b", "C"}, {"c", "C"}, {"d", "C"}};
  const Edges triangle{{"a", "b"}, {"b", "c"}, {"c", "a"}};
  const Edges square{{"a", "b"}, {"b", "c"}, {"c", "d"}, {"d", "a"}};
  struct Case {
    const char* name;
    Nodes nodes;
    Edges edges;
    bool uniform;
  };
  for (const Case& c : std::vector<Case>{
           {"triangle", abc, triangle, true},
           {"square", abcd, square, true},
           {"one label apart", {{"a", "C"}, {"b", "C"}, {"c", "N"}}, triangle, false},
           {"one modality apart", abc, {{"a", "b"}, {"b", "c"}, {"c", "a", "2"}}, false},
           {"path", abc, {{"a", "b"}, {"b", "c"}}, false},
           {"parallel pair", {{"a", "C"}, {"b", "C"}}, {{"a", "b"}, {"a", "b"}}, false},
           {"square with a chord", abcd, {{"a", "b"}, {"b", "c"}, {"c", "d"}, {"d", "a"}, {"a", "c"}}, false},
           {"triangle and a loop", abcd, {{"a", "b"}, {"b", "c"}, {"c", "a"}, {"d", "d"}}, false},
           {"triangle with a doubled edge and no third", abc, {{"a", "b"}, {"a", "b"}, {"b", "c"}}, false},
           {"two triangles", {{"a", "C"}, {"b", "C"}, {"c", "C"}, {"d", "C"}, {"e", "C"}, {"f", "C"}},
            {{"a", "b"}, {"b", "c"}, {"c", "a"}, {"d", "e"}, {"e", "f"}, {"f", "d"}}, false},
           {"triangle and an isolated node", abcd, triangle, false},
       })
    EXPECT_EQ(is_uniform_cycle(graph_of(c.nodes, c.edges)), c.uniform) << c.name;
}

// The claim the first pass relies on, checked without it: on random uniform
// cycles every root's rewrite writes the same tree, in both modes, with
// hashed and with written-out magnets.
TEST(UniformCycle, EveryRootWritesTheSameTree) {
  std::mt19937 rng(4021);
  for (int round = 0; round < 60; ++round) {
    int n = 3 + static_cast<int>(rng() % 40);
    GraphWrap graph = shuffled_cycle(n, round % 3 ? "C" : "", round % 2 ? "1" : "2", rng);
    for (bool compact : {false, true})
      for (bool hashed : {false, true}) {
        std::optional<TreeString> first;
        for (NodeIndex root : graph.node_indices()) {
          auto dag = to_dag_with_mode(graph, graph.id(root), IdSet{}, compact, hashed);
          ASSERT_TRUE(dag.has_value()) << dag.error().display();
          auto tree = to_tree_string_with_depth_order(*dag, graph.id(root), IdSet{}, true);
          ASSERT_TRUE(tree.has_value()) << tree.error();
          if (!first) first = *tree;
          ASSERT_EQ(tree->text, first->text) << "n " << n << " root " << graph.id(root);
          ASSERT_EQ(tree->height, first->height) << "n " << n << " root " << graph.id(root);
        }
      }
  }
}

// The string and node order that rewrite only the first candidate equal
// those of the traced pass, which rewrites every candidate in order; cycles
// with one label or one modality apart, or a chord, take the long way both
// times and are compared too.
TEST(UniformCycle, OneRewriteGivesWhatEveryRewriteGives) {
  std::mt19937 rng(5077);
  NoLines lines;
  for (int round = 0; round < 80; ++round) {
    int n = 3 + static_cast<int>(rng() % 30);
    GraphWrap graph = shuffled_cycle(n, "C", "1", rng);
    if (round % 4 == 1) graph.set_label(*graph.find("v0"), "N");
    if (round % 4 == 2) graph.add_edge_with_modality("v0", "v1", "1");
    if (round % 4 == 3) graph.add_edge_with_modality("v0", "v" + std::to_string(n / 2), "2");
    EXPECT_EQ(is_uniform_cycle(graph), round % 4 == 0);
    for (bool compact : {false, true})
      for (bool hashed : {false, true}) {
        CallControls quiet;
        CallControls traced{TraceSettings::fixed(true, false, lines)};
        auto short_text = to_cgraph(graph, kDefaultCandidateRule, kDefaultBranchRule, hashed, true, compact, quiet);
        auto long_text = to_cgraph(graph, kDefaultCandidateRule, kDefaultBranchRule, hashed, true, compact, traced);
        ASSERT_TRUE(short_text.has_value() && long_text.has_value()) << n;
        EXPECT_EQ(*short_text, *long_text) << "round " << round << " n " << n;
        auto short_order = canonical_node_order(graph, kDefaultCandidateRule, kDefaultBranchRule, hashed, compact, quiet);
        auto long_order = canonical_node_order(graph, kDefaultCandidateRule, kDefaultBranchRule, hashed, compact, traced);
        ASSERT_TRUE(short_order.has_value() && long_order.has_value()) << n;
        EXPECT_EQ(*short_order, *long_order) << "round " << round << " n " << n;
      }
  }
}

}  // namespace
}  // namespace tolva
