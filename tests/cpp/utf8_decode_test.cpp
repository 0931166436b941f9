#include "dot/utf8_decode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolva {
namespace {

TEST(Utf8Validity, AcceptsOnlyShortestEncodingsOfScalarValues) {
  for (const char* valid : {"", "plain ascii", "\xc2\x80", "\xdf\xbf", "\xe0\xa0\x80",
                            "\xed\x9f\xbf",        // U+D7FF, just below the surrogates
                            "\xee\x80\x80",        // U+E000, just above them
                            "\xf0\x90\x80\x80", "\xf4\x8f\xbf\xbf"})  // U+10FFFF
    EXPECT_TRUE(is_valid_utf8(valid)) << testing::PrintToString(valid);
  for (const char* invalid : {"\xc0\x80", "\xc1\xbf", "\xe0\x9f\xbf", "\xf0\x8f\xbf\xbf",  // overlong
                              "\xed\xa0\x80", "\xed\xbf\xbf",                              // surrogates
                              "\xf4\x90\x80\x80", "\xf5\x80\x80\x80",                      // above U+10FFFF
                              "\xff", "a\x80", "\xc3" "a", "\xe2\x28\xa1",                 // stray bytes
                              "\xe2\x82", "\xf0\x9f\x98"})                                 // truncated
    EXPECT_FALSE(is_valid_utf8(invalid)) << testing::PrintToString(invalid);
}

TEST(Utf8Decode, ReportsCodePointAndLength) {
  std::string text = "a\xc2\xa0\xe2\x80\xa8\xf0\x9f\x98\x80";
  std::vector<std::pair<char32_t, std::size_t>> seen;
  for (std::size_t pos = 0; pos < text.size();) {
    auto c = decode_utf8_at(text, pos);
    ASSERT_TRUE(c) << pos;
    seen.emplace_back(c->code_point, c->length);
    pos += c->length;
  }
  EXPECT_EQ(seen, (std::vector<std::pair<char32_t, std::size_t>>{{U'a', 1}, {0xA0, 2}, {0x2028, 3}, {0x1F600, 4}}));
  EXPECT_FALSE(decode_utf8_at(text, text.size()));
  EXPECT_FALSE(decode_utf8_at(text, 2));  // inside a character
}

}  // namespace
}  // namespace tolva
