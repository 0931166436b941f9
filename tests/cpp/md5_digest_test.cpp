#include "dag/md5_digest.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <random>
#include <string>

#include "dag/md5.h"

namespace tolva {
namespace {

// TreeTexts are views: their characters and nodes must outlive them.
std::deque<std::string> digest_texts;
TextArena digest_arena;

TreeText flat_text(std::string text) { return TreeText::flat(digest_texts.emplace_back(std::move(text))); }

// A tree text in the referring form, streamed in many small pieces (":", ", ",
// modalities) that straddle block boundaries, digests like its written text.
TEST(Md5Hasher, StreamedTreeTextDigestsLikeItsText) {
  TreeText wide = flat_text(std::string(5000, 'w'));
  TreeText::Item inner_items[] = {{flat_text("a"), "1"}, {wide, "ar"}, {flat_text("b"), "2"}};
  TreeText inner = TreeText::composite(digest_arena, inner_items, "C");
  TreeText::Item items[] = {{inner, "1"}, {flat_text(std::string(61, 'x')), "3"}, {inner, "1"}};
  TreeText text = TreeText::composite(digest_arena, items, "R");
  ASSERT_FALSE(text.is_flat());
  Md5Hasher md5;
  EXPECT_EQ(md5.digest("_", text, "_"), md5_digest("_" + text.str() + "_"));
  EXPECT_EQ(md5.digest("_", flat_text("(B:1)R"), "_"), md5.digest("_(B:1)R_"));
  EXPECT_EQ(md5_digest("_", text, "_"), md5.digest("_", text, "_"))
      << "the hasher keeps nothing between digests";
}

// One hasher that has seen many texts, some again and again, split anyhow
// into prefix, text and suffix, gives what a fresh digest of the whole text
// gives, on both sides of the length it stops remembering at.
TEST(Md5Hasher, RememberedDigestsAreTheDigestsOfTheirTexts) {
  std::mt19937 random(5);
  std::vector<std::string> texts;
  for (std::size_t size : {0, 1, 33, 34, 55, 56, 64, 511, 512, 513, 600})
    for (int variant = 0; variant < 12; ++variant) {
      std::string text;
      for (std::size_t i = 0; i < size; ++i) text += "_(a)"[random() % 4];
      texts.push_back(text);
    }
  Md5Hasher md5;
  for (int round = 0; round < 4000; ++round) {
    const std::string& whole = texts[random() % texts.size()];
    std::size_t cut1 = random() % (whole.size() + 1);
    std::size_t cut2 = cut1 + random() % (whole.size() - cut1 + 1);
    Md5 fresh;
    fresh.update(whole);
    Digest expected = fresh.finish();
    if (round % 2 == 0) {
      ASSERT_EQ(md5.digest(whole), expected) << whole;
    } else {
      ASSERT_EQ(md5.digest(whole.substr(0, cut1), flat_text(whole.substr(cut1, cut2 - cut1)), whole.substr(cut2)),
                expected)
          << whole << " cut at " << cut1 << ", " << cut2;
    }
  }
}

TEST(Md5Hasher, HexDigitsInByteOrder) {
  EXPECT_EQ(hex_digest(*md5_digest("abc")), "900150983cd24fb0d6963f7d28e17f72");
  Digest bytes{};
  bytes[0] = 0x0f;
  bytes[15] = 0xa0;
  EXPECT_EQ(hex_digest(bytes), "0f0000000000000000000000000000a0");
  // Every byte value, in every position, against printf's lower-case hex.
  for (int value = 0; value < 256; ++value) {
    Digest all;
    all.fill(static_cast<unsigned char>(value));
    char pair[3];
    std::snprintf(pair, sizeof pair, "%02x", value);
    std::string expected;
    for (std::size_t i = 0; i < all.size(); ++i) expected += pair;
    ASSERT_EQ(hex_digest(all), expected) << value;
  }
}

}  // namespace
}  // namespace tolva
