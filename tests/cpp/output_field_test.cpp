#include "canonize/output_field.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace tolva {
namespace {

std::string field(std::string_view text, bool space_too = false) {
  std::string out = "<";  // appends, never replaces
  append_plain_field(out, text, space_too);
  return out.substr(1);
}

TEST(PlainField, EscapesSeparatorsControlsAndUnicodeLineBreaksOnly) {
  const std::tuple<std::string, std::string> cases[] = {
      {"(C:1, O:1)C", "(C:1, O:1)C"},
      {"a\tb\nc\rd\\", "a\\tb\\nc\\rd\\\\"},
      {std::string("\x00\x1f\x7f", 3), "\\x00\\x1f\\x7f"},
      {"x\xC2\x85y", "x\\x85y"},                             // U+0085
      {"\xE2\x80\xA8\xE2\x80\xA9", "\\u2028\\u2029"},         // U+2028, U+2029
      {"\xC2\xA0\xE2\x80\xAA\xC3\xA9\xF0\x9F\x98\x80", "\xC2\xA0\xE2\x80\xAA\xC3\xA9\xF0\x9F\x98\x80"},
      {"\xE2\x80", "\xE2\x80"},                               // a cut character is copied
      {"\xFF\xC2", "\xFF\xC2"},
  };
  for (const auto& [text, written] : cases) EXPECT_EQ(field(text), written) << text;
}

TEST(PlainField, SpaceIsEscapedOnlyInSpaceSeparatedLists) {
  EXPECT_EQ(field("a b"), "a b");
  EXPECT_EQ(field("a b", true), "a\\x20b");
  EXPECT_EQ(field("a\tb", true), "a\\tb");
}

std::string json(std::string_view text) {
  std::string out = "<";
  append_json_string(out, text);
  return out.substr(1);
}

TEST(JsonString, EscapesAsPythonsJsonDumpsWithoutAsciiAndLineBreaksToo) {
  const std::tuple<std::string, std::string> cases[] = {
      {"(C:1, O:1)C", "\"(C:1, O:1)C\""},
      {"\"\\/", "\"\\\"\\\\/\""},
      {"\n\r\t\b\f", "\"\\n\\r\\t\\b\\f\""},
      {std::string("\x00\x1f\x7f", 3), "\"\\u0000\\u001f\x7f\""},       // DEL stays raw
      {"\xC2\x85\xE2\x80\xA8\xE2\x80\xA9", "\"\\u0085\\u2028\\u2029\""},
      {"\xC3\xA9\xF0\x9F\x98\x80\xE2\x80", "\"\xC3\xA9\xF0\x9F\x98\x80\xE2\x80\""},
  };
  for (const auto& [text, written] : cases) EXPECT_EQ(json(text), written) << text;
}

}  // namespace
}  // namespace tolva
