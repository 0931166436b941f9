#include "canonize/key_escape.h"

#include <gtest/gtest.h>

namespace tolva {
namespace {

TEST(KeyEscape, PlainLabelsStayReadableAndPunctuationIsEscaped) {
  for (const char* plain : {"C", "N+", "O-", "Fe+2", "ar", ".", "x.y=z@w/[q]|~^!?'&<>", "é€"})
    EXPECT_EQ(escaped_text(plain), plain) << plain;
  EXPECT_EQ(escaped_text(""), "");
  EXPECT_EQ(escaped_text("A:1, B"), "A%3A1%2C%20B");
  EXPECT_EQ(escaped_text("{a}"), "%7Ba%7D");
  EXPECT_EQ(escaped_text("%41"), "%2541");
  EXPECT_EQ(escaped_text(std::string("\t\n\x7f\0", 4)), "%09%0A%7F%00");
}

// Every byte that the key's grammar uses as punctuation must be escaped.
TEST(KeyEscape, NoPunctuationByteIsPlain) {
  for (char c : std::string_view("()#*{}$_;:,% \"\\`"))
    EXPECT_FALSE(is_plain_key_byte(static_cast<unsigned char>(c))) << c;
  EXPECT_TRUE(needs_key_escape("a_b"));
  EXPECT_FALSE(needs_key_escape("N+"));
}

}  // namespace
}  // namespace tolva
