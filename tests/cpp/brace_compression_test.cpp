#include "canonize/brace_compression.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

#include "canon_test_support.h"

namespace tolva {
namespace {

struct CompressCase {
  std::string name;
  std::string text;
  std::string compressed;
};

class BraceCompression : public ::testing::TestWithParam<CompressCase> {};

TEST_P(BraceCompression, ReplacesEachOutermostGroupByItsToken) {
  EXPECT_EQ(compress_braces(GetParam().text), GetParam().compressed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BraceCompression,
    ::testing::Values(
        CompressCase{"TokensInOrderOfFirstSight", "a{z}b{y}{z}{x}", "a{$1}b{$2}{$1}{$3}"},
        CompressCase{"NestedContentBelongsToTheOuterGroupWhole", "{b{c}}{b{d}}{}{b{c}}", "{$1}{$2}{$3}{$1}"},
        CompressCase{"ClosingBraceOutsideAGroupIsCopied", "a}b{c}}", "a}b{$1}}"},
        // A label "{" opens a group that never closes: the tail is written back
        // as it is, groups inside it included.
        CompressCase{"UnclosedGroupKeepsItsTail", "{a}(B:1, C:1, {:1)S{a}", "{$1}(B:1, C:1, {:1)S{a}"},
        CompressCase{"TenTokens", "{0}{1}{2}{3}{4}{5}{6}{7}{8}{9}{0}",
                     "{$1}{$2}{$3}{$4}{$5}{$6}{$7}{$8}{$9}{$10}{$1}"}),
    test_support::kCaseName);

// The rule one byte at a time, as plainly as it can be said: the oracle for
// the run-copying compression.
std::string compressed_bytewise(std::string_view text) {
  std::string out, group;
  std::map<std::string, std::string> tokens;
  std::uint64_t depth = 0;
  bool in_group = false;
  for (char c : text) {
    if (!in_group) {
      out += c;
      in_group = c == '{';
      depth = 0;
      group.clear();
    } else if (c == '}' && depth == 0) {
      auto [entry, added] = tokens.try_emplace(group);
      if (added) entry->second = "$" + std::to_string(tokens.size());
      out += entry->second + "}";
      in_group = false;
    } else {
      depth += c == '{' ? 1 : (c == '}' ? -1 : 0);
      group += c;
    }
  }
  return in_group ? out + group : out;
}

TEST(BraceCompressionProperty, AgreesWithTheBytewiseRuleOnRandomTexts) {
  std::mt19937 random(42);
  const std::string alphabet = "{{}}ab$";
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    for (int i = 0, size = static_cast<int>(random() % 24); i < size; ++i) text += alphabet[random() % alphabet.size()];
    ASSERT_EQ(compress_braces(std::string_view(text)), compressed_bytewise(text)) << text;
  }
}

}  // namespace
}  // namespace tolva
