#include "graph/graph_wrap.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "canon_test_support.h"
#include "graph/floors.h"

namespace tolva {
namespace {

using test_support::described;

// Newest first-endpoint edges first, then the second-endpoint edges; a
// self-loop once. Removals keep the order of what is left.
TEST(GraphWrap, VisitingOrder) {
  GraphWrap g = test_support::graph_of({}, {{"a", "b"}, {"a", "c"}, {"d", "a"}, {"c", "c", "x"}});
  EXPECT_EQ(described(g, "a"), ".@-: e2>c:1 e1>b:1 e3>d:1");
  EXPECT_EQ(described(g, "c"), ".@-: e4>c:x e2>a:1");
  EXPECT_EQ(g.degree(*g.find("c")), 2u);
  for (const char* id : {"e", "f", "g"}) g.add_edge_with_modality("a", id, "1");
  ASSERT_TRUE(g.remove_edge(5).has_value());  // a-f, in the middle of a's list
  ASSERT_TRUE(g.remove_node("c") && !g.remove_node("c"));
  EXPECT_EQ(described(g, "a"), ".@-: e7>g:1 e5>e:1 e1>b:1 e3>d:1");
}

TEST(GraphWrap, FreedSlotsAreReusedLastFreedFirst) {
  GraphWrap g;
  for (const char* id : {"n0", "n1", "n2", "n3", "n4"}) g.ensure_node(id, ".");
  ASSERT_TRUE(g.remove_node("n1") && g.remove_node("n3"));
  EXPECT_EQ(g.ensure_node("x", "."), 3u);
  EXPECT_EQ(g.ensure_node("y", "."), 1u);
  EXPECT_EQ(g.ensure_node("z", "."), 5u);

  for (int i = 0; i < 4; ++i) g.add_edge_with_modality("a", "b", std::to_string(i));
  ASSERT_TRUE(g.remove_edge(0) && g.remove_edge(2));
  EXPECT_FALSE(g.remove_edge(2) || g.remove_edge(99));
  NodeIndex a = *g.find("a"), b = *g.find("b");
  EXPECT_EQ(g.add_edge_custom(a, b, EdgeData{}), 2u);
  EXPECT_EQ(g.add_edge_custom(a, b, EdgeData{}), 0u);
  EXPECT_EQ(g.add_edge_custom(a, b, EdgeData{}), 4u);
}

// A reader's bulk path: nodes appended without their ids indexed are found
// once indexed, beside nodes added the usual way, and the index keeps growing
// afterwards.
TEST(GraphWrap, UnindexedNodesAreFoundOnceIndexed) {
  GraphWrap g;
  g.ensure_node("first", "F");
  std::vector<NodeIndex> appended;
  for (int i = 0; i < 3000; ++i) appended.push_back(g.append_unindexed_node("n" + std::to_string(i), "L"));
  EXPECT_FALSE(g.find("n5").has_value());
  g.index_ids_from(appended.front());
  EXPECT_EQ(g.find("first"), 0u);
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(g.find("n" + std::to_string(i)), appended[i]);
  EXPECT_EQ(g.label(appended[7]), "L");
  NodeIndex later = g.ensure_node("later", ".");
  EXPECT_EQ(g.find("later"), later);
  EXPECT_EQ(g.ensure_node("n9", "."), appended[9]);
  EXPECT_EQ(g.node_count(), 3002u);
}

TEST(GraphWrap, CopyKeepsIndicesAndFreeLists) {
  GraphWrap g = test_support::graph_of({{"n0", "."}, {"n1", "."}, {"n2", "."}, {"n3", "."}},
                                       {{"n0", "n2"}, {"n2", "n3"}});
  g.remove_node("n1");
  g.remove_edge(0);
  GraphWrap copy = g;
  EXPECT_EQ(*copy.find("n3"), 3u);
  EXPECT_EQ(copy.node_indices(), g.node_indices());
  EXPECT_EQ(copy.edge_indices(), g.edge_indices());
  EXPECT_EQ(copy.ensure_node("new", "."), 1u);
  EXPECT_EQ(copy.add_edge_with_modality("n0", "n3", "1"), 0u);
  EXPECT_EQ(copy.edge_id(0), "e3");
  EXPECT_FALSE(g.find("new").has_value());
  EXPECT_EQ(g.edge_count(), 1u);
}

// A node's cold fields and magnet caches, each present or absent (an empty
// text is not an absent one), read back as they were given; computing floors
// drops the magnet caches and nothing else.
TEST(GraphWrap, NodeRecordsKeepEveryFieldAndItsAbsence) {
  std::mt19937 random(17);
  auto coin = [&] { return random() % 2 == 0; };
  auto digest = [&] {
    Digest d{};
    for (auto& byte : d) byte = static_cast<std::uint8_t>(random());
    return d;
  };
  GraphWrap g;
  std::vector<NodeMeta> given;
  for (int i = 0; i < 400; ++i) {
    NodeMeta meta;
    meta.floor = coin() ? std::optional<std::int32_t>(i % 7 - 1) : std::nullopt;
    meta.is_mirror = random() % 4 == 0;
    meta.is_virtual = !meta.is_mirror && random() % 4 == 0;
    NodeExtra& extra = meta.extra;
    if (coin()) extra.mirror_count = random() % 3 == 0 ? std::uint64_t{1} << 40 : random() % 5;
    if (coin()) extra.origin_key = coin() ? g.store_text("") : g.store_text("_k" + std::to_string(i) + "_");
    if (coin()) extra.source_id = coin() ? g.store_text("") : g.store_text("s" + std::to_string(i));
    if (coin()) extra.magnet = coin() ? g.store_text("") : g.store_text("_m_");
    if (coin()) extra.magnet_digest = digest();
    if (coin()) extra.parent_digest = digest();
    extra.magnet_hashed = coin();
    given.push_back(meta);
    g.add_node_with_meta("n" + std::to_string(i), "L", meta);
  }
  GraphWrap copy = g;
  for (int i = 0; i < 400; ++i) {
    SCOPED_TRACE(i);
    NodeIndex node = *copy.find("n" + std::to_string(i));
    NodeMeta got = copy.meta(node), want = given[i];
    EXPECT_EQ(got.floor, want.floor);
    EXPECT_EQ(got.is_mirror, want.is_mirror);
    EXPECT_EQ(got.is_virtual, want.is_virtual);
    EXPECT_EQ(got.extra.mirror_count, want.extra.mirror_count);
    EXPECT_EQ(got.extra.origin_key, want.extra.origin_key);
    EXPECT_EQ(got.extra.source_id, want.extra.source_id);
    EXPECT_EQ(copy.source_id(node), want.extra.source_id.value_or(copy.id(node)));
    EXPECT_EQ(got.extra.magnet, want.extra.magnet);
    EXPECT_EQ(got.extra.magnet_digest, want.extra.magnet_digest);
    EXPECT_EQ(got.extra.parent_digest, want.extra.parent_digest);
    EXPECT_EQ(got.extra.magnet_hashed, want.extra.magnet_hashed);
    EXPECT_EQ(copy.cached_magnet(node, want.extra.magnet_hashed), want.extra.magnet);
    EXPECT_FALSE(copy.cached_magnet(node, !want.extra.magnet_hashed).has_value());
  }
  ASSERT_TRUE(compute_floors(copy, "n0", IdSet{}).has_value());
  for (int i = 0; i < 400; ++i) {
    NodeIndex node = *copy.find("n" + std::to_string(i));
    NodeExtra got = copy.extra(node);
    EXPECT_FALSE(got.magnet || got.magnet_digest || got.parent_digest || got.magnet_hashed);
    EXPECT_EQ(got.source_id, given[i].extra.source_id);
    EXPECT_EQ(got.origin_key, given[i].extra.origin_key);
  }
  // The original keeps its caches.
  EXPECT_EQ(g.extra(*g.find("n3")).magnet, given[3].extra.magnet);
}

// A copy made by add_copy_if_new is the node add_node_if_new makes from the
// original's meta with the floor given, a source id added (not to virtual
// leaves) and the magnet caches dropped unless kept: nodes of every kind with
// random fields, copied within their graph and into another, both ways.
TEST(GraphWrap, CopiedRecordsMatchTheSpelledOutMeta) {
  std::mt19937 random(29);
  auto coin = [&] { return random() % 2 == 0; };
  GraphWrap g;
  for (int i = 0; i < 300; ++i) {
    NodeMeta meta;
    meta.floor = coin() ? std::optional<std::int32_t>(i % 5) : std::nullopt;
    meta.is_mirror = random() % 3 == 0;
    meta.is_virtual = !meta.is_mirror && random() % 3 == 0;
    if (coin()) meta.extra.mirror_count = random() % 4;
    if (coin()) meta.extra.origin_key = g.store_text("_k" + std::to_string(i % 4) + "_");
    if (coin()) meta.extra.source_id = g.store_text("s" + std::to_string(i));
    if (coin()) meta.extra.magnet = g.store_text("_m_");
    if (coin()) meta.extra.parent_digest = Digest{static_cast<std::uint8_t>(i)};
    meta.extra.magnet_hashed = coin();
    g.add_node_with_meta("n" + std::to_string(i), i % 2 ? "L" : "", meta);
  }
  GraphWrap spelled, into_other, within = g;
  for (int i = 0; i < 300; ++i) {
    SCOPED_TRACE(i);
    NodeIndex original = *g.find("n" + std::to_string(i));
    bool keep = i % 3 == 0;
    std::optional<std::int32_t> floor = i % 4 ? std::optional<std::int32_t>(i) : std::nullopt;
    std::string id = "c" + std::to_string(i);
    NodeMeta meta = g.meta(original);
    meta.floor = floor;
    if (!keep) meta.extra.clear_magnet_caches();
    if (!meta.is_virtual && !meta.extra.source_id) meta.extra.source_id = g.id(original);
    NodeIndex want = spelled.add_node_if_new(id, g.label(original), meta);
    for (GraphWrap* copies : {&into_other, &within}) {
      NodeIndex got = copies->add_copy_if_new(id, IdIndex::hash_of(id), g, original, floor, keep);
      ASSERT_NE(got, kEndMarker);
      EXPECT_EQ(copies->find(id), got);
      EXPECT_EQ(described(*copies, id), described(spelled, id));
      NodeMeta a = copies->meta(got), b = spelled.meta(want);
      EXPECT_EQ(a.floor, b.floor);
      EXPECT_EQ(a.extra.mirror_count, b.extra.mirror_count);
      EXPECT_EQ(a.extra.origin_key, b.extra.origin_key);
      EXPECT_EQ(a.extra.source_id, b.extra.source_id);
      EXPECT_EQ(a.extra.magnet, b.extra.magnet);
      EXPECT_EQ(a.extra.parent_digest, b.extra.parent_digest);
      EXPECT_EQ(a.extra.magnet_hashed, b.extra.magnet_hashed);
      EXPECT_EQ(copies->written_label(got), spelled.written_label(want));
      // A taken id makes nothing.
      EXPECT_EQ(copies->add_copy_if_new(id, IdIndex::hash_of(id), g, original, floor, keep), kEndMarker);
    }
  }
  EXPECT_EQ(into_other.node_count(), 300u);
  EXPECT_EQ(within.node_count(), 600u);
}

// Copies of copies within one graph share their cold fields (source id,
// origin key, mirror count, written label) with their original; changing one
// of them through set_meta leaves every other reading what it read before.
TEST(GraphWrap, CopiesOfCopiesKeepTheirFieldsApart) {
  std::mt19937 random(31);
  GraphWrap g;
  for (int i = 0; i < 120; ++i) {
    NodeMeta meta;
    meta.is_mirror = i % 3 == 0;
    meta.is_virtual = i % 3 == 1;
    if (random() % 2) meta.extra.mirror_count = random() % 4;
    if (random() % 2) meta.extra.origin_key = g.store_text("_k" + std::to_string(i % 4) + "_");
    if (random() % 2) meta.extra.source_id = g.store_text("s" + std::to_string(i));
    g.add_node_with_meta("n" + std::to_string(i), "L", meta);
  }
  auto fields = [&](NodeIndex node) {
    NodeExtra extra = g.extra(node);
    return std::tuple(std::string(extra.source_id.value_or("-")), extra.mirror_count, std::string(extra.origin_key.value_or("-")),
                      std::string(g.written_label(node)));
  };
  for (int i = 0; i < 120; ++i) {
    SCOPED_TRACE(i);
    std::string n = std::to_string(i);
    NodeIndex first = g.add_copy_unfiled("c" + n, g, *g.find("n" + n), 1, false);
    NodeIndex second = g.add_copy_unfiled("d" + n, g, first, 2, false);
    NodeIndex third = g.add_copy_unfiled("e" + n, g, second, 3, false);
    auto before = fields(first);
    EXPECT_EQ(fields(second), before);
    EXPECT_EQ(fields(third), before);
    NodeMeta changed = g.meta(second);
    changed.extra.source_id = g.store_text("other" + n);
    changed.extra.mirror_count = 7;
    changed.extra.origin_key = g.store_text("_changed_");
    changed.extra.written_label = {};
    g.set_meta(second, changed);
    EXPECT_EQ(g.source_id(second), "other" + n);
    EXPECT_EQ(g.extra(second).mirror_count, 7u);
    EXPECT_EQ(fields(first), before);
    EXPECT_EQ(fields(third), before);
  }
}

// Unfiled copies are found by id, filed as soon as an id with an "@" is
// entered or removed, and a taken id shows when they are filed; an id
// without an "@" is entered at once.
TEST(GraphWrap, UnfiledCopiesAreFoundAndFiledWhenIdsChange) {
  GraphWrap g = test_support::graph_of({{"a", "A"}, {"b", "B"}}, {{"a", "b"}});
  NodeIndex a = *g.find("a");
  NodeIndex x = g.add_copy_unfiled("a@m1", g, a, 3, false);
  NodeIndex y = g.add_copy_unfiled("b@m1", g, *g.find("b"), 4, false);
  NodeIndex plain = g.add_copy_unfiled("plain", g, a, 3, false);
  EXPECT_EQ(g.find("a@m1"), x);
  EXPECT_EQ(g.find("b@m1"), y);
  EXPECT_EQ(g.find("plain"), plain);
  EXPECT_FALSE(g.find("c@m1").has_value());
  EXPECT_EQ(g.add_copy_if_new("plain", IdIndex::hash_of("plain"), g, a, 3, false), kEndMarker);
  // Entering an id with an "@" files them: the copy's id is then taken.
  EXPECT_EQ(g.ensure_node("b@m1", "Z"), y);
  EXPECT_TRUE(g.remove_node("a@m1"));
  EXPECT_FALSE(g.find("a@m1").has_value());
  g.add_copy_unfiled("b@m1", g, a, 3, false);  // against the contract: an id taken
  EXPECT_FALSE(g.file_unfiled_ids());
  EXPECT_EQ(g.find("b@m1"), y);
}

// Mirrors made with one shared written label read exactly as mirrors that
// write their own.
TEST(GraphWrap, SharedWrittenLabelReadsAsOwnOne) {
  GraphWrap g;
  for (bool mirror : {true, false}) {
    NodeMeta meta;
    meta.is_mirror = mirror;
    meta.is_virtual = !mirror;
    meta.extra.mirror_count = 12;
    meta.extra.origin_key = g.store_text("_(A:1)B_");
    NodeIndex own = g.add_node_with_meta(mirror ? "own-m" : "own-v", "X", meta);
    meta.extra.written_label = g.store_written_label("X", meta);
    NodeIndex shared = g.add_node_with_meta(mirror ? "shared-m" : "shared-v", "X", meta);
    EXPECT_EQ(g.written_label(own), mirror ? "X#12{_(A:1)B_}" : "X*{_(A:1)B_}");
    EXPECT_EQ(g.written_label(shared), g.written_label(own));
  }
}

}  // namespace
}  // namespace tolva
