#include "dot/dot_reader.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "graph_listing.h"

namespace tolva {
namespace {

// A graph as text, nodes in index order then edges in index order:
// "a:A b:. | e1:a-b:2", or "error: " and the message.
std::string outcome(const std::expected<GraphWrap, std::string>& g) {
  if (!g) return "error: " + g.error();
  return graph_listing(*g);
}

std::string read_by_lines(std::string_view text) { return outcome(parse_dot_content(text)); }

struct ReadCase {
  const char* name;
  const char* input;
  const char* graph;
};

class DotReaderCase : public testing::TestWithParam<ReadCase> {};

TEST_P(DotReaderCase, BuildsTheExpectedGraph) { EXPECT_EQ(read_by_lines(GetParam().input), GetParam().graph); }

INSTANTIATE_TEST_SUITE_P(
    Statements, DotReaderCase,
    testing::Values(
        ReadCase{"Empty", "", "|"},
        ReadCase{"Example", "graph G {\n a [label=A];\n a -- b [weight=2];\n}", "a:A b:. | e1:a-b:2"},
        ReadCase{"OneSemicolonIsStripped", "a -- b;;", "a:. b;:. | e1:a-b;:1"},
        ReadCase{"EmptyLabelBecomesADot", "a [label=]\na -- b", "a:. b:. | e1:a-b:1"},
        ReadCase{"CommaEndsTheValueEvenInQuotes", "a [label='x,y']", "a:'x |"},
        ReadCase{"ChainsGiveTheFirstEdgeOnly", "a -- b -- c", "a:. b:. | e1:a-b:1"},
        ReadCase{"HeaderAndClosingLinesAreSkipped", "strict graph {\ngraphs -- x\n} a -- b", "|"},
        ReadCase{"QuotesAreStrippedInPairs", "a [label='A']\nb [label=\"B']", "a:A b:\"B' |"},
        ReadCase{"WeightIsTheModality", "a -- b [label=x, weight=\"ar\"]", "a:. b:. | e1:a-b:ar"},
        ReadCase{"NumberingParallelAndSelfEdges", "c [label=C]\nb -- a\nb -- a\na -- a",
                 "c:C b:. a:. | e1:b-a:1 e2:b-a:1 e3:a-a:1"},
        // U+200B is no white space but an id character.
        ReadCase{"ZeroWidthSpaceIsNoSpace", "a\u200bb [label=\"\u00e9\"]", "a\u200bb:\u00e9 |"},
        // Errors name the line, counted with blank lines and CRLF.
        ReadCase{"EmptyIdOnLine3", "graph G {\n\n-- b\n}", "error: line 3: empty node id"},
        ReadCase{"InvalidId", "[x] -- b", "error: line 1: invalid node id in '[x] '"},
        ReadCase{"InvalidIdAfterCrLf", "a\r\n\r\n [label=A]", "error: line 3: invalid node id in '[label=A]'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DotReader, EveryWhiteSpaceCharacterTrimsAndEndsIds) {
  for (std::string s : {"\t", "\v", "\f", "\r", " ", "\u0085", "\u00a0", "\u1680", "\u2000", "\u2001",
                        "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007", "\u2008", "\u2009",
                        "\u200a", "\u2028", "\u2029", "\u202f", "\u205f", "\u3000"}) {
    std::string text = s + "a" + s + "--" + s + "b" + s + "[weight=" + s + "w" + s + "]" + s;
    EXPECT_EQ(read_by_lines(text), "a:. b:. | e1:a-b:w") << "separator " << testing::PrintToString(s);
  }
}

// A file reads like its text, CRLF like LF and a missing final line feed
// changes nothing; read failures keep the system's text and number.
TEST(DotReader, CrLfFilesReadLikeLfTextAndReadFailuresAreReported) {
  char pattern[] = "/tmp/dot_reader_test.XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  auto read_file = [&](const std::string& name, const std::optional<std::string>& bytes) {
    if (bytes) std::ofstream(dir + "/" + name, std::ios::binary) << *bytes;
    return outcome(parse_dot_file(dir + "/" + name));
  };
  const std::string lf = "graph G {\na [label=\u00e9];\n\na -- b [weight=2];\nb -- c\n}\n";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(read_by_lines(lf), "a:\u00e9 b:. c:. | e1:a-b:2 e2:b-c:1");
  EXPECT_EQ(read_by_lines(lf.substr(0, lf.size() - 1)), read_by_lines(lf));
  EXPECT_EQ(read_file("g.dot", crlf), read_by_lines(lf));
  EXPECT_EQ(read_file("missing.dot", std::nullopt), "error: No such file or directory (os error 2)");
  EXPECT_EQ(read_file("", std::nullopt), "error: Is a directory (os error 21)");
  EXPECT_EQ(read_file("max.dot", "a [label=\xf4\x8f\xbf\xbf]"), "a:\xf4\x8f\xbf\xbf |");  // U+10FFFF
  // A stray byte, an overlong form, a surrogate, a code point above U+10FFFF, a truncated character.
  for (std::string bad : {"\xff", "\xc0\x80", "\xed\xa0\x80", "\xf4\x90\x80\x80", "\xe2\x82"})
    EXPECT_EQ(read_file("bad.dot", "a [label=" + bad + "]"), "error: stream did not contain valid UTF-8");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tolva
