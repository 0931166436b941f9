#include "canonize/brace_compression.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tolva
