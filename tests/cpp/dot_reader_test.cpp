#include "dot/dot_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tolva {
namespace {

// A graph as text, nodes in index order then edges in index order:
// "a:A b:. | e1:a-b:2", or "error: " and the message.
std::string read(std::string_view text) {
  auto g = parse_dot_content(text);
  if (!g) return "error: " + g.error();
  std::string out;
  g->for_each_node([&](NodeIndex, const NodeData& n) { out += n.id + ":" + n.label + " "; });
  out += "|";
  for (EdgeIndex e : g->edge_indices()) {
    auto [a, b] = *g->endpoints(e);
    out += " " + g->edge(e)->id + ":" + g->node(a)->id + "-" + g->node(b)->id + ":" + g->edge(e)->modality;
  }
  return out;
}

struct Case {
  const char* name;
  const char* input;
  const char* graph;
};

class DotReaderCase : public testing::TestWithParam<Case> {};

TEST_P(DotReaderCase, BuildsTheExpectedGraph) { EXPECT_EQ(read(GetParam().input), GetParam().graph); }

INSTANTIATE_TEST_SUITE_P(
    Statements, DotReaderCase,
    testing::Values(
        Case{"Empty", "", "|"},
        Case{"Example", "graph G {\n a [label=A];\n a -- b [weight=2];\n}", "a:A b:. | e1:a-b:2"},
        Case{"OneSemicolonIsStripped", "a -- b;;", "a:. b;:. | e1:a-b;:1"},
        Case{"LabelAfterTheEdgeIsIgnored", "a -- b\na [label=X]", "a:. b:. | e1:a-b:1"},
        Case{"EmptyLabelBecomesADot", "a [label=]\na -- b", "a:. b:. | e1:a-b:1"},
        Case{"LabelKeepsEqualsSigns", "a [label=x=y]", "a:x=y |"},
        Case{"CommaEndsTheValueEvenInQuotes", "a [label='x,y']", "a:'x |"},
        Case{"ChainsGiveTheFirstEdgeOnly", "a -- b -- c", "a:. b:. | e1:a-b:1"},
        Case{"ChainWithoutSpacesIsOneId", "a--b--c", "a:. b--c:. | e1:a-b--c:1"},
        Case{"QuotedIdsEndAtTheSpace", "\"p q\" [label=Z]", "\"p:Z |"},
        Case{"EdgeBeforeAttributes", "a [label=p--q]", "a:. q]:. | e1:a-q]:1"},
        Case{"BareIdIsNoNode", "a;", "|"},
        Case{"ArrowIsNoEdge", "a -> b [label=A]", "a:A |"},
        Case{"KeywordsAreIds", "node [shape=box]", "node:. |"},
        Case{"HeaderAndClosingLinesAreSkipped", "strict graph {\ngraphs -- x\n} a -- b", "|"},
        Case{"QuotesAreStrippedInPairs", "a [label='A']\nb [label=\"B']", "a:A b:\"B' |"},
        Case{"LoneQuoteStays", "a [label=\"]", "a:\" |"},
        Case{"EmptyQuotes", "a [label=\"\"]", "a: |"},
        Case{"InsideQuotesIsKept", "a [ label = ' A ' ]", "a: A  |"},
        Case{"LastLabelWins", "a [label=A, label=B]", "a:B |"},
        Case{"EmptyKeyIsSkipped", "a [=x, label=A]", "a:A |"},
        Case{"LabelWithoutValue", "a [label]", "a: |"},
        Case{"WeightWithoutValue", "a -- b [weight]", "a:. b:. | e1:a-b:"},
        Case{"UnclosedListIsNoList", "a [label=A", "a:. |"},
        Case{"FirstListOnly", "a [label=A] [label=B]", "a:A |"},
        Case{"WeightIsTheModality", "a -- b [label=x, weight=\"ar\"]", "a:. b:. | e1:a-b:ar"},
        Case{"NumberingParallelAndSelfEdges", "c [label=C]\nb -- a\nb -- a\na -- a",
             "c:C b:. a:. | e1:b-a:1 e2:b-a:1 e3:a-a:1"},
        // NBSP and U+2028 trim lines and end ids; U+200B is an id character.
        Case{"UnicodeSpaceTrims", "\u00a0a -- b\u00a0", "a:. b:. | e1:a-b:1"},
        Case{"UnicodeSpaceEndsIds", "a\u2028x [label=\u00a0A\u3000]", "a:A |"},
        Case{"ZeroWidthSpaceIsNoSpace", "a\u200bb [label=\"\u00e9\"]", "a\u200bb:\u00e9 |"},
        // Errors name the line, counted with blank lines and CRLF.
        Case{"EmptyIdOnLine3", "graph G {\n\n-- b\n}", "error: line 3: empty node id"},
        Case{"EmptySecondId", "a -- b\na -- ;", "error: line 2: empty node id"},
        Case{"EmptyIdAfterUnicodeSpace", "\u00a0-- b", "error: line 1: empty node id"},
        Case{"InvalidId", "[x] -- b", "error: line 1: invalid node id in '[x] '"},
        Case{"InvalidIdAfterCrLf", "a\r\n\r\n [label=A]", "error: line 3: invalid node id in '[label=A]'"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DotReader, EveryWhiteSpaceCharacterTrimsAndEndsIds) {
  for (const char* space : {"\t", "\v", "\f", "\r", " ", "\u0085", "\u00a0", "\u1680", "\u2000", "\u2001", "\u2002",
                            "\u2003", "\u2004", "\u2005", "\u2006", "\u2007", "\u2008", "\u2009", "\u200a", "\u2028",
                            "\u2029", "\u202f", "\u205f", "\u3000"}) {
    std::string s = space;
    EXPECT_EQ(read(s + "a" + s + "--" + s + "b" + s + "[weight=" + s + "w" + s + "]" + s), "a:. b:. | e1:a-b:w")
        << "separator " << testing::PrintToString(s);
  }
}

TEST(DotReader, CrLfAndFinalLineFeedChangeNothing) {
  std::string lf = "graph G {\na [label=A];\n\na -- b [weight=2];\nb -- c\n}\n";
  std::string crlf;
  for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(read(crlf), read(lf));
  EXPECT_EQ(read(lf.substr(0, lf.size() - 1)), read(lf));
  EXPECT_EQ(read("a\r\n\r\n-- b\r\n"), "error: line 3: empty node id");
}

TEST(DotReader, NodeIdIsTheLeadingRunWithoutSpaceOrBracket) {
  for (auto [text, result] : std::vector<std::pair<std::string, std::string>>{
           {"  ab cd", "ab"}, {"a[x]", "a"}, {"'a'", "'a'"}, {"a\u2029b", "a"},
           // Not white space: controls outside the set, invisible characters, invalid UTF-8.
           {"a\x1f" "b\u200b\u180e\ufeff", "a\x1f" "b\u200b\u180e\ufeff"}, {"a\xa0\x85" "b", "a\xa0\x85" "b"},
           {" \t\u3000", "error: empty node id"}, {" [x ", "error: invalid node id in ' [x '"}}) {
    auto id = parse_node_id(text);
    EXPECT_EQ(id ? *id : "error: " + id.error(), result) << text;
  }
}

}  // namespace
}  // namespace tolva
