#include "dot/utf8_decode.h"

#include <gtest/gtest.h>

#include <string>

namespace tolva {
namespace {

struct Utf8Case {
  std::string bytes;
  bool valid;
};

class Utf8Validity : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Validity, AcceptsOnlyShortestEncodingsOfScalarValues) {
  EXPECT_EQ(is_valid_utf8(GetParam().bytes), GetParam().valid)
      << testing::PrintToString(GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, Utf8Validity,
    testing::Values(
        Utf8Case{"", true}, Utf8Case{"plain ascii", true}, Utf8Case{"\xc2\x80", true},
        Utf8Case{"\xdf\xbf", true}, Utf8Case{"\xe0\xa0\x80", true},
        Utf8Case{"\xed\x9f\xbf", true},      // U+D7FF, just below the surrogates
        Utf8Case{"\xee\x80\x80", true},      // U+E000, just above them
        Utf8Case{"\xf0\x90\x80\x80", true}, Utf8Case{"\xf4\x8f\xbf\xbf", true},  // U+10FFFF
        Utf8Case{"\xc0\x80", false}, Utf8Case{"\xc1\xbf", false},               // overlong
        Utf8Case{"\xe0\x9f\xbf", false}, Utf8Case{"\xf0\x8f\xbf\xbf", false},   // overlong
        Utf8Case{"\xed\xa0\x80", false}, Utf8Case{"\xed\xbf\xbf", false},       // surrogates
        Utf8Case{"\xf4\x90\x80\x80", false}, Utf8Case{"\xf5\x80\x80\x80", false},
        Utf8Case{"\xff", false}, Utf8Case{"a\x80", false},                      // stray bytes
        Utf8Case{"\xe2\x82", false}, Utf8Case{"\xf0\x9f\x98", false},           // truncated
        Utf8Case{"\xc3" "a", false}, Utf8Case{"\xe2\x28\xa1", false}));

TEST(Utf8Decode, ReportsCodePointAndLength) {
  std::string text = "a\xc2\xa0\xe2\x80\xa8\xf0\x9f\x98\x80";
  std::vector<std::pair<char32_t, std::size_t>> seen;
  for (std::size_t pos = 0; pos < text.size();) {
    auto c = decode_utf8_at(text, pos);
    ASSERT_TRUE(c) << pos;
    seen.emplace_back(c->code_point, c->length);
    pos += c->length;
  }
  std::vector<std::pair<char32_t, std::size_t>> expected = {
      {U'a', 1}, {0xA0, 2}, {0x2028, 3}, {0x1F600, 4}};
  EXPECT_EQ(seen, expected);
  EXPECT_FALSE(decode_utf8_at(text, text.size()));
  EXPECT_FALSE(decode_utf8_at(text, 2));  // inside a character
}

}  // namespace
}  // namespace tolva
