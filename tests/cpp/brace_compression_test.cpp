#include "canonize/brace_compression.h"

#include <gtest/gtest.h>

#include <string>

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
        CompressCase{"UnclosedGroupIsWrittenBack", "{a}b{c{d}e", "{$1}b{c{d}e"},
        CompressCase{"MultiByteCharactersStayWhole", "\xc3\xa9{\xe2\x82\xac}\xc3\xa9{\xe2\x82\xac}{\xf0\x9f\x98\x80}",
                     "\xc3\xa9{$1}\xc3\xa9{$1}{$2}"},
        CompressCase{"TenTokens", "{0}{1}{2}{3}{4}{5}{6}{7}{8}{9}{0}", "{$1}{$2}{$3}{$4}{$5}{$6}{$7}{$8}{$9}{$10}{$1}"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tolva
