#include "dag/md5_digest.h"

#include <gtest/gtest.h>

#include <deque>
#include <string>

namespace tolva {
namespace {

// TreeTexts are views: their characters and nodes must outlive them.
std::deque<std::string> kept_texts;
TextArena arena;

TreeText flat(std::string text) { return TreeText::flat(kept_texts.emplace_back(std::move(text))); }

// A tree text in the referring form, streamed in many small pieces (":", ", ",
// modalities) that straddle block boundaries, digests like its written text.
TEST(Md5Hasher, StreamedTreeTextDigestsLikeItsText) {
  TreeText wide = flat(std::string(5000, 'w'));
  TreeText::Item inner_items[] = {{flat("a"), "1"}, {wide, "ar"}, {flat("b"), "2"}};
  TreeText inner = TreeText::composite(arena, inner_items, "C");
  TreeText::Item items[] = {{inner, "1"}, {flat(std::string(61, 'x')), "3"}, {inner, "1"}};
  TreeText text = TreeText::composite(arena, items, "R");
  ASSERT_FALSE(text.is_flat());
  Md5Hasher md5;
  EXPECT_EQ(md5.digest("_", text, "_"), md5_digest("_" + text.str() + "_"));
  EXPECT_EQ(md5.digest("_", flat("(B:1)R"), "_"), md5.digest("_(B:1)R_"));
  EXPECT_EQ(md5_digest("_", text, "_"), md5.digest("_", text, "_"))
      << "the hasher keeps nothing between digests";
}

TEST(Md5Hasher, HexDigitsInByteOrder) {
  EXPECT_EQ(hex_digest(*md5_digest("abc")), "900150983cd24fb0d6963f7d28e17f72");
  Digest bytes{};
  bytes[0] = 0x0f;
  bytes[15] = 0xa0;
  EXPECT_EQ(hex_digest(bytes), "0f0000000000000000000000000000a0");
}

}  // namespace
}  // namespace tolva
