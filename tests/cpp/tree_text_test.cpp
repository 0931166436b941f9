#include "tree/tree_text.h"

#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>
#include <vector>

namespace tolva {
namespace {

// TreeTexts are views: their characters and nodes must outlive them.
std::deque<std::string> kept_texts;
TextArena arena;

std::string_view kept(std::string text) { return kept_texts.emplace_back(std::move(text)); }
TreeText flat(std::string text) { return TreeText::flat(kept(std::move(text))); }

std::string streamed(const TreeText& text) {
  std::string out;
  TreeText::ChunkCursor cursor(text);
  for (std::string_view chunk = cursor.next(); !chunk.empty(); chunk = cursor.next()) out += chunk;
  EXPECT_TRUE(cursor.next().empty()) << "a finished cursor stays finished";
  return out;
}

int sign(int value) { return (value > 0) - (value < 0); }

// One subtree text built through TreeText::node (composite above the flat
// limit), with its expected text written independently by build_node_string.
struct Sample {
  TreeText text;
  std::string expected;
  std::vector<TreeText::Item> items;
  std::vector<std::string> child_texts;
  std::string label;
  bool leaf;
};

Sample make(std::vector<TreeText::Item> items, std::vector<std::string> child_texts, std::string label, bool leaf) {
  std::vector<BranchText> entries;
  for (std::size_t i = 0; i < items.size(); ++i) entries.push_back({child_texts[i], items[i].modality});
  TreeText text = leaf ? flat(label) : TreeText::node(arena, items, kept(label));
  std::string expected = leaf ? label : build_node_string(label, entries);
  return Sample{text, expected, std::move(items), std::move(child_texts), std::move(label), leaf};
}

// Leaves, inner nodes and "twins" (the same children under an equal label, a
// longer one or one whose last byte differs), written with few distinct bytes
// (one above 0x7f): the pool holds equal texts built apart and proper prefixes.
std::vector<Sample> random_pool(unsigned seed, std::size_t count) {
  std::mt19937 rng(seed);
  auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  auto piece = [&](int max_length) {
    std::string out(pick(0, max_length), 'a');
    for (char& c : out) c = "ab(:,\xff"[pick(0, 5)];
    return out;
  };
  auto label = [&] { return pick(0, 3) == 0 ? std::string(pick(500, 3000), 'a') + piece(2) : piece(3); };
  std::vector<Sample> pool;
  while (pool.size() < count) {
    int kind = pick(0, 9);
    if (kind < 2 || pool.empty()) {
      pool.push_back(make({}, {}, label(), true));
    } else if (kind < 4) {
      const Sample& other = pool[pick(0, static_cast<int>(pool.size()) - 1)];
      std::string twin = other.label;
      int change = pick(0, 2);
      if (change == 1) twin += piece(2) + "b";
      if (change == 2) {
        if (twin.empty()) twin = "b";
        twin.back() = twin.back() == 'a' ? '\xff' : 'a';
      }
      pool.push_back(make(other.items, other.child_texts, twin, other.leaf));
    } else {
      std::vector<TreeText::Item> items;
      std::vector<std::string> child_texts;
      for (int tries = 0, children = pick(0, 3); static_cast<int>(items.size()) < children && tries < 20; ++tries) {
        const Sample& child = pool[pick(0, static_cast<int>(pool.size()) - 1)];
        if (child.expected.size() > 20000) continue;  // keeps texts from doubling without end
        items.push_back(TreeText::Item{child.text, kept(piece(2))});
        child_texts.push_back(child.expected);
      }
      pool.push_back(make(std::move(items), std::move(child_texts), label(), false));
    }
  }
  return pool;
}

class TreeTextProperty : public ::testing::TestWithParam<unsigned> {};

// Composite texts write, stream, measure and compare exactly like their flat text.
TEST_P(TreeTextProperty, CompositeAndFlatAgree) {
  std::vector<Sample> pool = random_pool(GetParam(), 160);
  std::size_t composites = 0, equal = 0, prefix = 0;
  for (const Sample& a : pool) {
    composites += a.text.is_flat() ? 0 : 1;
    ASSERT_EQ(a.text.str(), a.expected);
    EXPECT_EQ(a.text.size(), a.expected.size());
    EXPECT_EQ(streamed(a.text), a.expected);
    std::string appended = "prefix";
    a.text.append_to(appended);
    EXPECT_EQ(appended, "prefix" + a.expected);
    std::string copied(a.expected.size() + 1, '#');
    EXPECT_EQ(a.text.copy_to(copied.data()), copied.data() + a.expected.size());
    EXPECT_EQ(copied, a.expected + "#");
    TreeText a_flat = flat(a.expected);
    for (const Sample& b : pool) {
      int expected = sign(a.expected.compare(b.expected));
      equal += expected == 0 ? 1 : 0;
      prefix += (a.expected.size() < b.expected.size() && b.expected.starts_with(a.expected)) ? 1 : 0;
      ASSERT_EQ(a.text.compare(b.text), expected) << a.expected << " vs " << b.expected;
      ASSERT_EQ(a_flat.compare(b.text), expected) << a.expected << " vs " << b.expected;
      ASSERT_EQ(b.text.compare(a_flat), -expected) << b.expected << " vs " << a.expected;
    }
  }
  EXPECT_GE(composites, 20u) << "the pool must exercise composite texts";
  EXPECT_GT(equal, pool.size()) << "the pool must hold equal texts built apart";
  EXPECT_GT(prefix, 0u) << "the pool must hold proper prefixes";
}

INSTANTIATE_TEST_SUITE_P(TreeText, TreeTextProperty, ::testing::Values(1u, 2u, 3u, 4u),
                         [](const auto& info) { return "Seed" + std::to_string(info.param); });

// Empty children and modalities must not end the stream early.
TEST(TreeText, CompositeOfEmptyTextsStillWritesItsPunctuation) {
  TreeText none;
  EXPECT_EQ(streamed(none), "");
  EXPECT_EQ(none.compare(flat("a")), -1);
  TreeText::Item items[] = {{none, ""}, {none, ""}};
  TreeText big = TreeText::node(arena, items, kept(std::string(TreeText::kFlatLimit, 'x')));
  ASSERT_FALSE(big.is_flat());
  EXPECT_EQ(streamed(big), "(:, :)" + std::string(TreeText::kFlatLimit, 'x'));
}

// Pieces of every size up to a few words land exactly in place: every byte
// copied, none before or after the destination touched.
TEST(TreeText, PiecesAreCopiedExactlyAtEverySize) {
  for (std::size_t size = 0; size <= 40; ++size) {
    std::string piece;
    for (std::size_t i = 0; i < size; ++i) piece += static_cast<char>('a' + i % 26);
    std::string buffer(size + 16, '#');
    copy_piece(buffer.data() + 8, piece.data(), size);
    EXPECT_EQ(buffer, std::string(8, '#') + piece + std::string(8, '#')) << size;
  }
}

}  // namespace
}  // namespace tolva
