#include "tree/tree_text.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace tolva {
namespace {

TreeText flat(std::string text) { return TreeText::flat(std::make_shared<const std::string>(std::move(text))); }

std::string streamed(const TreeText& text) {
  std::string out;
  TreeText::ChunkCursor cursor(text);
  for (std::string_view chunk = cursor.next(); !chunk.empty(); chunk = cursor.next()) out += chunk;
  EXPECT_TRUE(cursor.next().empty()) << "a finished cursor stays finished";
  return out;
}

int sign(int value) { return (value > 0) - (value < 0); }

// One random subtree text, built through TreeText::node (composite above the
// flat limit) with its expected text written independently by build_node_string.
struct Sample {
  TreeText text;
  std::string expected;
  std::vector<TreeText::Item> items;
  std::string label;
  bool leaf = false;
};

class RandomTexts {
 public:
  explicit RandomTexts(unsigned seed) : rng_(seed) {}

  std::vector<Sample> generate(std::size_t count) {
    std::vector<Sample> pool;
    while (pool.size() < count) {
      int kind = pick(0, 9);
      if (kind < 2 || pool.empty())
        pool.push_back(leaf());
      else if (kind < 4)
        pool.push_back(twin(pool[pick(0, static_cast<int>(pool.size()) - 1)]));
      else
        pool.push_back(node(pool));
    }
    return pool;
  }

 private:
  int pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }

  // Few distinct bytes (one above 0x7f), so texts often share long prefixes.
  std::string piece(int max_length) {
    static constexpr char kBytes[] = {'a', 'b', '(', ':', ',', '\xff'};
    std::string out(pick(0, max_length), 'a');
    for (char& c : out) c = kBytes[pick(0, 5)];
    return out;
  }

  std::string label() { return pick(0, 3) == 0 ? std::string(pick(500, 3000), 'a') + piece(2) : piece(3); }

  Sample leaf() {
    Sample s;
    s.label = label();
    s.leaf = true;
    s.expected = s.label;
    s.text = flat(s.label);
    return s;
  }

  Sample build(std::vector<TreeText::Item> items, std::string label_text,
               const std::vector<std::string>& child_texts) {
    std::vector<BranchText> entries;
    for (std::size_t i = 0; i < items.size(); ++i) entries.push_back({child_texts[i], items[i].modality});
    Sample s;
    s.expected = build_node_string(label_text, entries);
    s.text = TreeText::node(items, label_text);
    s.items = std::move(items);
    s.label = std::move(label_text);
    return s;
  }

  Sample node(const std::vector<Sample>& pool) {
    std::vector<TreeText::Item> items;
    std::vector<std::string> child_texts;
    int children = pick(0, 3);
    for (int tries = 0; static_cast<int>(items.size()) < children && tries < 20; ++tries) {
      const Sample& child = pool[pick(0, static_cast<int>(pool.size()) - 1)];
      if (child.expected.size() > 20000) continue;  // keeps texts from doubling without end
      items.push_back(TreeText::Item{child.text, piece(2)});
      child_texts.push_back(child.expected);
    }
    return build(std::move(items), label(), child_texts);
  }

  // The same children as `other` with an equal label, a longer one (so `other`
  // is a proper prefix) or one whose last byte differs.
  Sample twin(const Sample& other) {
    std::string twin_label = other.label;
    switch (pick(0, 2)) {
      case 0: break;
      case 1: twin_label += piece(2) + "b"; break;
      case 2:
        if (twin_label.empty()) twin_label = "b";
        twin_label.back() = twin_label.back() == 'a' ? '\xff' : 'a';
        break;
    }
    if (other.leaf) {
      Sample s;
      s.label = s.expected = twin_label;
      s.leaf = true;
      s.text = flat(twin_label);
      return s;
    }
    std::vector<std::string> child_texts;
    for (const TreeText::Item& item : other.items) child_texts.push_back(item.child.str());
    return build(other.items, twin_label, child_texts);
  }

  std::mt19937 rng_;
};

class TreeTextProperty : public ::testing::TestWithParam<unsigned> {
 protected:
  void SetUp() override { pool_ = RandomTexts(GetParam()).generate(160); }
  std::vector<Sample> pool_;
};

TEST_P(TreeTextProperty, CompositeAndFlatWriteTheSameText) {
  std::size_t composites = 0;
  for (const Sample& s : pool_) {
    composites += s.text.is_flat() ? 0 : 1;
    ASSERT_EQ(s.text.str(), s.expected);
    EXPECT_EQ(s.text.size(), s.expected.size());
    EXPECT_EQ(streamed(s.text), s.expected);
    std::string appended = "prefix";
    s.text.append_to(appended);
    EXPECT_EQ(appended, "prefix" + s.expected);
  }
  EXPECT_GE(composites, 20u) << "the pool must exercise composite texts";
}

TEST_P(TreeTextProperty, CompareAgreesWithStringComparison) {
  std::size_t equal = 0, prefix = 0;
  for (const Sample& a : pool_) {
    TreeText a_flat = flat(a.expected);
    for (const Sample& b : pool_) {
      int expected = sign(a.expected.compare(b.expected));
      equal += expected == 0 ? 1 : 0;
      prefix += (a.expected.size() < b.expected.size() && b.expected.starts_with(a.expected)) ? 1 : 0;
      ASSERT_EQ(a.text.compare(b.text), expected) << a.expected << " vs " << b.expected;
      ASSERT_EQ(a_flat.compare(b.text), expected) << a.expected << " vs " << b.expected;
      ASSERT_EQ(b.text.compare(a_flat), -expected) << b.expected << " vs " << a.expected;
    }
  }
  EXPECT_GT(equal, pool_.size()) << "the pool must hold equal texts built apart";
  EXPECT_GT(prefix, 0u) << "the pool must hold proper prefixes";
}

INSTANTIATE_TEST_SUITE_P(TreeText, TreeTextProperty, ::testing::Values(1u, 2u, 3u, 4u));

TEST(TreeText, NodesUpToTheFlatLimitStayFlat) {
  std::string fits(TreeText::kFlatLimit - 2, 'a');  // "()" + label
  EXPECT_TRUE(TreeText::node({}, fits).is_flat());
  TreeText over = TreeText::node({}, fits + "b");
  EXPECT_FALSE(over.is_flat());
  EXPECT_EQ(over.str(), "()" + fits + "b");
  // A node over a composite child is composite, however short its own label.
  TreeText parent = TreeText::node({{over, "1"}}, "P");
  EXPECT_FALSE(parent.is_flat());
  EXPECT_EQ(parent.str(), "(()" + fits + "b:1)P");
}

TEST(TreeText, EmptyTexts) {
  TreeText none;
  EXPECT_EQ(none.size(), 0u);
  EXPECT_EQ(none.str(), "");
  EXPECT_EQ(streamed(none), "");
  EXPECT_EQ(none.compare(flat("")), 0);
  EXPECT_EQ(none.compare(flat("a")), -1);
  // A composite whose children and modalities are empty still writes its punctuation.
  TreeText big = TreeText::node({{none, ""}, {none, ""}}, std::string(TreeText::kFlatLimit, 'x'));
  ASSERT_FALSE(big.is_flat());
  EXPECT_EQ(streamed(big), "(:, :)" + std::string(TreeText::kFlatLimit, 'x'));
}

}  // namespace
}  // namespace tolva
