#include "dot/text_position.h"

#include <gtest/gtest.h>

namespace tolva {
namespace {

TEST(TextPosition, CountsLinesAtEveryLineEndAndColumnsInCharacters) {
  struct Case {
    std::string_view text;
    std::size_t offset, line, column;
  };
  const Case cases[] = {
      {"", 0, 1, 1},
      {"ab\ncd", 4, 2, 2},
      {"a\r\nb", 3, 2, 1},
      {"a\r\nb", 2, 1, 2},  // on the LF of CR LF: still the first line
      {"a\rb\r\rc", 5, 4, 1},
      {"\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80x", 9, 1, 4},
      {"\xef\xbb\xbf" "ab", 4, 1, 2},  // a byte order mark is no column
      {"ab", 99, 1, 3},                 // past the end: the end
  };
  for (const Case& c : cases) {
    TextPosition position = text_position(c.text, c.offset);
    EXPECT_EQ(position.line, c.line) << c.text << " @" << c.offset;
    EXPECT_EQ(position.column, c.column) << c.text << " @" << c.offset;
  }
  EXPECT_EQ(describe_position("x\ny", 2), "line 2, column 1");
}

}  // namespace
}  // namespace tolva
