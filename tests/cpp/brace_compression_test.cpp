#include "canonize/brace_compression.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace tolva {
namespace {

struct CompressCase {
  std::string name;
  std::string text;
  std::string compressed;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const CompressCase& c, std::ostream* os) { *os << c.name; }

class BraceCompression : public ::testing::TestWithParam<CompressCase> {};

TEST_P(BraceCompression, ReplacesEachOutermostGroupByItsToken) {
  EXPECT_EQ(compress_braces(GetParam().text), GetParam().compressed);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BraceCompression,
    ::testing::Values(
        CompressCase{"EqualContentsShareAToken", "a{xy}b{xy}{z}", "a{$1}b{$1}{$2}"},
        CompressCase{"TokensInOrderOfFirstSight", "{z}{y}{z}{x}", "{$1}{$2}{$1}{$3}"},
        CompressCase{"NestedBracesBelongToTheOuterGroup", "a{b{c}d}e", "a{$1}e"},
        CompressCase{"NestedContentIsComparedWhole", "{b{c}}{b{d}}{b{c}}", "{$1}{$2}{$1}"},
        CompressCase{"EmptyGroup", "{}", "{$1}"},
        CompressCase{"NoBraces", "(A:1, B:1)S", "(A:1, B:1)S"},
        CompressCase{"Empty", "", ""},
        CompressCase{"ClosingBraceOutsideAGroupIsCopied", "a}b{c}}", "a}b{$1}}"},
        CompressCase{"UnclosedGroupIsWrittenBack", "x{y", "x{y"},
        CompressCase{"UnclosedNestedGroupIsWrittenBack", "{a}b{c{d}e", "{$1}b{c{d}e"},
        CompressCase{"UnclosedGroupAfterATokenedOne", "{a}{a", "{$1}{a"},
        CompressCase{"MultiByteCharactersStayWhole", "\xc3\xa9{\xe2\x82\xac}\xc3\xa9{\xe2\x82\xac}{\xf0\x9f\x98\x80}",
                     "\xc3\xa9{$1}\xc3\xa9{$1}{$2}"},
        CompressCase{"TenTokens", "{0}{1}{2}{3}{4}{5}{6}{7}{8}{9}{0}",
                     "{$1}{$2}{$3}{$4}{$5}{$6}{$7}{$8}{$9}{$10}{$1}"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tolva
