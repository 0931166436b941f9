#include "dag/dag_rewrite.h"

#include <gtest/gtest.h>

#include <random>

#include "canon_test_support.h"
#include "dag/trace.h"
#include "tree/tree_walk.h"

namespace tolva {
namespace {

using test_support::NoLines;

using test_support::described;
using test_support::graph_of;

GraphWrap dag_of(const GraphWrap& graph, bool compact) {
  auto dag = to_dag_with_mode(graph, "r", IdSet{}, compact, /*allow_hashes=*/false);
  EXPECT_TRUE(dag.has_value()) << dag.error().display();
  return dag ? std::move(*dag) : GraphWrap{};
}

// The square r-a-c-b-r seen from r puts c on floor 2 with the parents b and a
// (that order: c's own edge c-b comes first in its visiting order); c has one
// child d. The edge c-b has modality 3, so the tree string under a is the
// smaller one and the second mirror becomes the main one.
const GraphWrap kSquare = graph_of({{"r", "R"}, {"a", "A"}, {"c", "C"}, {"b", "B"}, {"d", "D"}},
                                   {{"r", "a"}, {"a", "c"}, {"c", "b", "3"}, {"b", "r"}, {"c", "d", "2"}});

TEST(DagRewrite, CompactSplitHangsLabelledMirrorsAndMovesChildrenToTheMainMirror) {
  GraphWrap dag = dag_of(kSquare, /*compact=*/true);
  EXPECT_FALSE(dag.find("c").has_value());
  EXPECT_EQ(described(dag, "#m0_0"), "C@2#2{_(D:2)C_}: #e3_0>b:3");
  EXPECT_EQ(described(dag, "#m0_1"), "C@2#2{_(D:2)C_}: e5_main>d:2 #e2_1>a:1");
  EXPECT_EQ(described(dag, "d"), "D@3: e5_main>#m0_1:2");
  EXPECT_EQ(dag.node_count(), 6u);
  EXPECT_EQ(dag.edge_count(), 5u);
}

TEST(DagRewrite, ExpandedSplitGivesEachDotMirrorItsOwnCopyOfTheRegionBelow) {
  GraphWrap dag = dag_of(kSquare, /*compact=*/false);
  EXPECT_EQ(described(dag, "#m0_0"), ".@2#2{_(D:2)C_}: c_link_0>c@#m0_0:1 #e3_0>b:3");
  EXPECT_EQ(described(dag, "#m0_1"), ".@2#2{_(D:2)C_}: c_link_1>c@#m0_1:1 #e2_1>a:1");
  EXPECT_EQ(described(dag, "c@#m0_0"), "C@3: e5>d@#m0_0:2 c_link_0>#m0_0:1");
  EXPECT_EQ(described(dag, "c@#m0_1"), "C@3: e5>d@#m0_1:2 c_link_1>#m0_1:1");
  EXPECT_EQ(described(dag, "d@#m0_0"), "D@4: e5>c@#m0_0:2");
  EXPECT_EQ(described(dag, "d@#m0_1"), "D@4: e5>c@#m0_1:2");
  // The split node stays behind, cut off from its parents, with its child.
  EXPECT_EQ(described(dag, "c"), "C@2: e5>d:2");
  EXPECT_EQ(dag.node_count(), 11u);
}

TEST(DagRewrite, TriangleEdgeIsCutIntoTwoVirtualLeaves) {
  GraphWrap triangle = graph_of({{"r", "R"}, {"a", "A"}, {"b", "B"}}, {{"r", "a"}, {"r", "b"}, {"a", "b"}});
  for (bool compact : {false, true}) {
    GraphWrap dag = dag_of(triangle, compact);
    EXPECT_EQ(described(dag, "*v0"), "@2*{_()A_-1-_()B_}: *e3_a>a:1");
    EXPECT_EQ(described(dag, "*v1"), "@2*{_()A_-1-_()B_}: *e3_b>b:1");
    EXPECT_EQ(dag.node_count(), 5u);
    EXPECT_EQ(dag.edge_count(), 4u);
  }
}

// Counts the trace lines of the repairs.
class RepairCounter final : public TraceOutput {
 public:
  void write_line(std::string_view line) override { count += line.starts_with("TRACE dag_counts ") ? 1 : 0; }
  std::uint64_t count = 0;
};

// A spine below r with one leaf per spine node, each leaf with up to 100
// self-loops. Each loop is one repair, so kDagRepairLimit + 1 loops need one
// repair too many. Untraced, the rewrite sees that before repairing anything;
// traced, it makes every repair up to the failing one, each with its line.
// Up to 30 nodes: a random tree with a few more edges (rings, parallel
// edges, the odd self-loop), labels from C, N and O: deeper than the tiny
// multigraphs, so settled subtrees are many and several floors deep.
GraphWrap random_ringed_tree(std::mt19937& rng) {
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  int nodes = pick(2, 30);
  GraphWrap graph;
  const char* labels[] = {"C", "C", "N", "O"};
  auto id = [](int i) { return "a" + std::to_string(i); };
  for (int i = 0; i < nodes; ++i) graph.ensure_node(id(i), labels[pick(0, 3)]);
  for (int i = 1; i < nodes; ++i) graph.add_edge_with_modality(id(pick(0, i - 1)), id(i), pick(0, 3) ? "1" : "2");
  for (int extra = pick(0, 4); extra > 0; --extra) graph.add_edge_with_modality(id(pick(0, nodes - 1)), id(pick(0, nodes - 1)), "1");
  return graph;
}

// A chain of 2 to 5 diamonds (each joint tied to the next by two paths of
// two edges, now and then three), with short tails on random nodes; labels
// from C, N and O. From an end, the expanded mode copies the DAG below each
// joint under both of its mirrors, and a floor up walks those copies again.
GraphWrap random_diamond_chain(std::mt19937& rng) {
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  const char* labels[] = {"C", "C", "N", "O"};
  GraphWrap graph;
  int made = 0;
  auto node = [&] {
    std::string id = "d" + std::to_string(made++);
    graph.ensure_node(id, labels[pick(0, 3)]);
    return id;
  };
  auto modality = [&] { return pick(0, 3) ? "1" : "2"; };
  std::string joint = node();
  for (int diamond = pick(2, 5); diamond > 0; --diamond) {
    std::string next = node();
    for (int side = pick(0, 4) ? 2 : 3; side > 0; --side) {
      std::string middle = node();
      graph.add_edge_with_modality(joint, middle, modality());
      graph.add_edge_with_modality(middle, next, modality());
    }
    joint = next;
  }
  for (int tail = pick(0, 3); tail > 0; --tail)
    graph.add_edge_with_modality("d" + std::to_string(pick(0, made - 1)), node(), modality());
  return graph;
}

// Up to 14 nodes, all labelled ".", tied by up to 22 edges of modalities x,
// y and z (parallel edges and short cycles included): children tie on their
// texts and differ in modality, and which comes first follows the order the
// store visits them in.
GraphWrap random_plain_multigraph(std::mt19937& rng) {
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  int nodes = pick(3, 14);
  GraphWrap graph;
  const char* modalities[] = {"x", "y", "z"};
  auto id = [](int i) { return "p" + std::to_string(i); };
  for (int i = 0, count = pick(4, 22); i < count; ++i)
    graph.add_edge_with_modality(id(pick(0, nodes - 1)), id(pick(0, nodes - 1)), modalities[pick(0, 2)]);
  return graph;
}

// Every node as it stands in the DAG, in slot order.
std::string dag_text(const GraphWrap& dag) {
  std::string text;
  dag.for_each_node([&](NodeIndex node) { text += std::string(dag.id(node)) + " " + described(dag, dag.id(node)) + "\n"; });
  return text;
}

// Tracing adds lines and nothing else: an untraced rewrite skips what only the
// trace shows (the edge keys of the many-parent nodes, the ranking of the
// runners-up), so with and without it every rewrite must give the same DAG.
// Random multigraphs with self-loops and parallel edges, every root, both modes.
TEST(DagRewrite, TracingChangesNoDag) {
  std::mt19937 rng(1207);
  for (int round = 0; round < 300; ++round) {
    GraphWrap graph = test_support::random_multigraph(rng);
    for (NodeIndex root : graph.node_indices())
      for (bool compact : {false, true}) {
        std::string texts[2];
        for (bool traced : {false, true}) {
          NoLines lines;
          CallControls controls{TraceSettings::fixed(traced, true, lines)};
          auto dag = to_dag_with_mode(graph, graph.id(root), IdSet{}, compact, round % 2 == 0, controls);
          ASSERT_TRUE(dag.has_value()) << dag.error().display();
          texts[traced] = dag_text(*dag);
        }
        EXPECT_EQ(texts[0], texts[1]) << round << " " << graph.id(root) << (compact ? " compact" : " expanded");
      }
  }
}

// Magnet walks may take a settled subtree's text from the rewrite's memo
// instead of walking it, also for a node of a sub-DAG copy, which takes what
// its original wrote when it writes alike; the memo must change nothing.
// Random graphs (some where children tie often), diamond chains, every root,
// both modes, magnets hashed and written out, with and without it.
TEST(DagRewrite, RememberedSubtreesChangeNoDag) {
  std::mt19937 rng(2026);
  for (int round = 0; round < 800; ++round) {
    GraphWrap graph = round % 4 == 3 ? random_plain_multigraph(rng)
                      : round % 4 == 2 ? random_diamond_chain(rng)
                      : round % 4 == 1 ? random_ringed_tree(rng)
                                       : test_support::random_multigraph(rng);
    bool hashed = round % 4 < 2;
    for (NodeIndex root : graph.node_indices())
      for (bool compact : {false, true}) {
        std::string texts[2];
        for (bool remember : {false, true}) {
          RewriteLimits limits;
          limits.remember_subtrees = remember;
          auto dag = to_dag_with_mode(graph, graph.id(root), BlockedNodes{}, compact, hashed, CallControls{}, limits);
          ASSERT_TRUE(dag.has_value()) << dag.error().display();
          texts[remember] = dag_text(*dag);
        }
        ASSERT_EQ(texts[0], texts[1]) << round << " " << graph.id(root) << (compact ? " compact" : " expanded");
      }
  }
}

// Copies named later read as if named at once: a DAG handed out (ids
// spelled when filed), a driver's DAG whose ids are read last node first (each
// spells its originals on the way) and one whose node is removed (which spells
// every id first) list the same as a rewrite that names each copy as it makes
// it. Diamond chains (copies of copies), ringed trees and multigraphs.
TEST(DagRewrite, CopiesNamedLaterReadAsNamedAtOnce) {
  std::mt19937 rng(3302);
  RewriteScratch scratch;
  std::uint64_t copies_seen = 0;
  for (int round = 0; round < 300; ++round) {
    GraphWrap graph = round % 3 == 2 ? random_diamond_chain(rng)
                      : round % 3 == 1 ? random_ringed_tree(rng)
                                       : test_support::random_multigraph(rng);
    bool hashed = round % 2 == 0;
    for (NodeIndex root : graph.node_indices()) {
      SCOPED_TRACE(std::to_string(round) + " " + std::string(graph.id(root)));
      RewriteLimits at_once;
      at_once.name_copies_later = false;
      auto named = to_dag_with_mode(graph, graph.id(root), BlockedNodes{}, false, hashed, CallControls{}, at_once);
      ASSERT_TRUE(named.has_value()) << named.error().display();
      std::string expected = dag_text(*named);
      auto handed_out = to_dag_with_mode(graph, graph.id(root), BlockedNodes{}, false, hashed, CallControls{});
      ASSERT_TRUE(handed_out.has_value());
      EXPECT_EQ(dag_text(*handed_out), expected);

      auto driven = to_dag_with_mode(graph, graph.id(root), false, hashed, CallControls{}, scratch);
      ASSERT_TRUE(driven.has_value());
      GraphWrap before_removal = *driven;
      std::vector<NodeIndex> nodes = driven->node_indices();
      for (auto node = nodes.rbegin(); node != nodes.rend(); ++node) {
        copies_seen += GraphWrap::holds_at(driven->id(*node));
        EXPECT_EQ(*named->find(driven->id(*node)), *node);
      }
      EXPECT_EQ(dag_text(*driven), expected);
      // Removing a node (an original of copies, now and then) spells every
      // id first: the node that takes its slot next lends them nothing.
      std::string removed(driven->id(nodes[rng() % nodes.size()]));
      for (GraphWrap* dag : {&before_removal, &*named}) {
        ASSERT_TRUE(dag->remove_node(removed));
        dag->ensure_node("taker", "T");
      }
      EXPECT_EQ(dag_text(before_removal), dag_text(*named));
      scratch.recycle(std::move(*driven));
    }
  }
  EXPECT_GT(copies_seen, 10000u);
}

// Walks of a finished expanded DAG hand one text from copy to copy of a
// class; with the classes forgotten every node is walked. Both must write the
// same text and height: from the root, with random ids left out (copies
// among them now and then, where sharing must stop), from every node (from
// inside a copy the walk enters copies from below, where they write other
// texts), and looking down from every node as magnets do. The classes must also be there to be tested.
TEST(DagRewrite, CopiesOfOneClassWriteOneText) {
  std::mt19937 rng(2612);
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  std::uint64_t classes_seen = 0;
  TreeWalker walker;
  auto walked = [&](const GraphWrap& dag, NodeIndex root, const BlockedNodes& blocked, TreeWalkOptions options) {
    auto written = walker.walk(dag, root, blocked, options);
    return written ? std::to_string(written->height) + " " + written->text.str() : "failed";
  };
  for (int round = 0; round < 400; ++round) {
    GraphWrap graph = round % 4 == 3 ? random_plain_multigraph(rng)
                      : round % 4 == 2 ? random_diamond_chain(rng)
                      : round % 4 == 1 ? random_ringed_tree(rng)
                                       : test_support::random_multigraph(rng);
    for (NodeIndex root : graph.node_indices()) {
      auto dag = to_dag_with_mode(graph, graph.id(root), BlockedNodes{}, false, round % 2 == 0);
      ASSERT_TRUE(dag.has_value()) << dag.error().display();
      GraphWrap plain = *dag;
      plain.forget_copy_classes();
      classes_seen += dag->copy_class_count();
      NodeIndex dag_root = *dag->find(graph.id(root));
      IdSet left_out;
      dag->for_each_node([&](NodeIndex node) {
        if (pick(0, 9) == 0) left_out.insert(std::string(dag->id(node)));
      });
      for (bool by_modality : {false, true})
        for (bool heights_only : {false, true}) {
          TreeWalkOptions options{.use_parent_modality = by_modality, .heights_only = heights_only};
          std::string where = std::to_string(round) + " " + std::string(graph.id(root));
          ASSERT_EQ(walked(*dag, dag_root, BlockedNodes{}, options), walked(plain, dag_root, BlockedNodes{}, options))
              << where;
          ASSERT_EQ(walked(*dag, dag_root, BlockedNodes::from_ids(*dag, left_out, graph.id(root)), options),
                    walked(plain, dag_root, BlockedNodes::from_ids(plain, left_out, graph.id(root)), options))
              << where;
          dag->for_each_node([&](NodeIndex node) {
            if (by_modality && !heights_only)
              ASSERT_EQ(walked(*dag, node, BlockedNodes{}, options), walked(plain, node, BlockedNodes{}, options))
                  << where << " " << node;
            auto floor = dag->floor(node);
            if (!floor) return;
            auto down = BlockedNodes::floors_up_to(*floor, node);
            ASSERT_EQ(walked(*dag, node, down, options), walked(plain, node, down, options)) << where << " " << node;
          });
        }
    }
  }
  EXPECT_GT(classes_seen, 1000u);
}

// A driver's DAG leaves its copies' ids out of the id index; every node must
// still be found by its id, and be the only node with it. Random graphs, now
// and then with input ids that a copy would be given ("a0@#m0_0") or that
// hold an "@" otherwise, where the copies must ask the index.
TEST(DagRewrite, EveryNodeOfADriverDagIsFoundByItsId) {
  std::mt19937 rng(3301);
  RewriteScratch scratch;
  for (int round = 0; round < 300; ++round) {
    GraphWrap graph = round % 3 == 2 ? random_diamond_chain(rng) : random_ringed_tree(rng);
    if (round % 5 == 4) {
      std::string taken = graph.id(graph.node_indices().back()) == "d0" ? "d1@#m0_0" : "a1@#m0_0";
      graph.add_edge_with_modality(std::string(graph.id(0)), taken, "1");
    }
    for (NodeIndex root : graph.node_indices()) {
      auto dag = to_dag_with_mode(graph, graph.id(root), false, round % 2 == 0, CallControls{}, scratch);
      ASSERT_TRUE(dag.has_value()) << dag.error().display();
      dag->for_each_node([&](NodeIndex node) { ASSERT_EQ(dag->find(dag->id(node)), node) << round << " " << dag->id(node); });
      GraphWrap filed = *dag;
      ASSERT_TRUE(filed.file_unfiled_ids());
      filed.for_each_node([&](NodeIndex node) { ASSERT_EQ(filed.find(filed.id(node)), node); });
    }
  }
}

// Root r tied to x by `count` parallel edges, and x to a leaf: in the
// expanded mode x has `count` parent edges, so its one choice scores that many
// parent digests.
GraphWrap bundle(int count) {
  GraphWrap graph;
  graph.ensure_node("r", "R");
  graph.ensure_node("x", "X");
  graph.ensure_node("y", "Y");
  for (int i = 0; i < count; ++i) graph.add_edge_with_modality("r", "x", i % 3 ? "1" : "2");
  graph.add_edge_with_modality("x", "y", "1");
  return graph;
}

// A call's rewrites share one scratch: lists lent from one rewrite to the
// next, the digest memo, the storage of recycled graphs. Whatever one rewrite
// leaves there must not reach the next: a long run of rewrites of unrelated
// graphs through one scratch gives the DAGs of rewrites with a scratch each.
// Bundles now and then grow the lent lists past what the scratch keeps.
TEST(DagRewrite, AScratchSharedByManyRewritesChangesNoDag) {
  std::mt19937 rng(3107);
  RewriteScratch shared;
  for (int round = 0; round < 400; ++round) {
    GraphWrap graph = round % 50 == 49 ? bundle(1100 + round)
                      : round % 2       ? random_ringed_tree(rng)
                                        : test_support::random_multigraph(rng);
    bool hashed = round % 4 < 2;
    for (NodeIndex root : graph.node_indices())
      for (bool compact : {false, true}) {
        RewriteScratch own;
        auto alone = to_dag_with_mode(graph, graph.id(root), compact, hashed, CallControls{}, own);
        auto along = to_dag_with_mode(graph, graph.id(root), compact, hashed, CallControls{}, shared);
        ASSERT_EQ(alone.has_value(), along.has_value()) << round;
        if (!alone) continue;
        ASSERT_EQ(dag_text(*alone), dag_text(*along)) << round << " " << graph.id(root) << (compact ? " compact" : " expanded");
        if (root % 2 == 0) shared.recycle(std::move(*along));
      }
  }
}

TEST(DagRewrite, MoreRepairsThanTheGuardLimitFail) {
  GraphWrap graph;
  std::string spine = "r";
  for (std::uint64_t done = 0, leaf = 0; done <= kDagRepairLimit; ++leaf) {
    std::string next = "s" + std::to_string(leaf), leaf_id = "l" + std::to_string(leaf);
    graph.add_edge_with_modality(spine, next, "1");
    graph.add_edge_with_modality(next, leaf_id, "1");
    for (int i = 0; i < 100 && done <= kDagRepairLimit; ++i, ++done)
      graph.add_edge_with_modality(leaf_id, leaf_id, "1");
    spine = next;
  }
  for (bool traced : {false, true}) {
    RepairCounter lines;
    auto too_many = to_dag_with_mode(graph, "r", IdSet{}, true, true,
                                     CallControls{TraceSettings::fixed(traced, false, lines)});
    ASSERT_FALSE(too_many.has_value());
    EXPECT_EQ(too_many.error().display(), "unsupported: dag rewrite loop exceeded guard limit");
    EXPECT_EQ(lines.count, traced ? kDagRepairLimit + 1 : 0);
  }
}

}  // namespace
}  // namespace tolva
