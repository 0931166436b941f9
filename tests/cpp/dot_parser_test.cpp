#include "dot/dot_parser.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "graph_listing.h"

namespace tolva {
namespace {

// A graph as text, nodes then edges in index order: "a:A b:. | e1:a-b:2",
// or the error's display text.
std::string outcome(const Result<GraphWrap>& g) {
  if (!g) return g.error().display();
  return graph_listing(*g);
}

std::string read(std::string_view text, const DotReadOptions& options = {}) {
  return outcome(read_dot_graph(text, options));
}

DotReadOptions directed_ignored() {
  DotReadOptions options;
  options.accept_directed = true;
  return options;
}

struct ParseCase {
  const char* name;
  const char* input;
  const char* graph;
};

class DotGrammarCase : public testing::TestWithParam<ParseCase> {};

TEST_P(DotGrammarCase, BuildsTheGraphGraphvizMeans) {
  EXPECT_EQ(read(GetParam().input, directed_ignored()), GetParam().graph);
}

INSTANTIATE_TEST_SUITE_P(
    Statements, DotGrammarCase,
    testing::Values(
        ParseCase{"EmptyGraph", "graph {}", "|"},
        ParseCase{"SemicolonsOnOneLine", "graph G { a -- b; b -- c; c [label=C] }",
                  "a:. b:. c:C | e1:a-b:1 e2:b-c:1"},
        ParseCase{"EdgeChain", "graph { a -- b -- c -- a [weight=2] }",
                  "a:. b:. c:. | e1:a-b:2 e2:b-c:2 e3:c-a:2"},
        ParseCase{"NodeToSubgraph", "graph { a -- {b c} }", "a:. b:. c:. | e1:a-b:1 e2:a-c:1"},
        ParseCase{"SubgraphToSubgraph", "graph { {a b} -- subgraph { c; d } }",
                  "a:. b:. c:. d:. | e1:a-c:1 e2:a-d:1 e3:b-c:1 e4:b-d:1"},
        // Inner edges are made when their statement ends, before the outer ones.
        ParseCase{"SubgraphInsideAChain", "graph { a -- { b -- c } -- d }",
                  "a:. b:. c:. d:. | e1:b-c:1 e2:a-b:1 e3:a-c:1 e4:b-d:1 e5:c-d:1"},
        ParseCase{"NestedClusterStandsForAllItsNodes", "graph { subgraph cluster_0 { a; subgraph { b } } -- c }",
                  "a:. b:. c:. | e1:a-c:1 e2:b-c:1"},
        ParseCase{"SubgraphNodesInNodeOrder", "graph { b; {a b} -- c }", "b:. a:. c:. | e1:b-c:1 e2:a-c:1"},
        ParseCase{"NamedSubgraphReopened", "graph { subgraph s { a } subgraph s { b } -- c }",
                  "a:. b:. c:. | e1:a-c:1 e2:b-c:1"},
        ParseCase{"SameNameElsewhereIsAnotherSubgraph", "graph { subgraph s { a } { subgraph s { b } -- c } }",
                  "a:. b:. c:. | e1:b-c:1"},
        ParseCase{"NodeListsOnBothEnds", "graph { a, b -- c, d [weight=2] }",
                  "a:. b:. c:. d:. | e1:a-c:2 e2:a-d:2 e3:b-c:2 e4:b-d:2"},
        ParseCase{"NodeListStatementLabelsEach", "graph { a, b [label=X] }", "a:X b:X |"},
        ParseCase{"PortsAreDropped", "graph { a:p1:n -- b:sw; c:\"port\" }", "a:. b:. c:. | e1:a-b:1"},
        ParseCase{"GraphAttributesChangeNothing", "graph { rankdir=LR; graph [label=G] label=\"x\"; a }", "a:. |"},
        ParseCase{"SubgraphStatementAttributesAreIgnored", "graph { {a} [label=X] }", "a:. |"},
        // Defaults apply to nodes created later in the same subgraph and below it.
        ParseCase{"NodeDefaultsAreScoped", "graph { node [label=X]; a; { node [label=Y]; b } c }", "a:X b:Y c:X |"},
        ParseCase{"DefaultsLeaveExistingNodes", "graph { a; node [label=X]; a; b; { node [label=Y] a } }",
                  "a:. b:X |"},
        ParseCase{"LastLabelWins", "graph { a [label=A]; a -- b; a [label=B]; b [label=\"\"] }",
                  "a:B b: | e1:a-b:1"},
        ParseCase{"ReopenedSubgraphKeepsItsOwnDefault",
                  "graph { subgraph s { node [label=S] } node [label=R]; subgraph s { a } b }", "a:S b:R |"},
        ParseCase{"ReopenedSubgraphSeesLaterParentDefaults",
                  "graph { subgraph s { x } node [label=R]; subgraph s { a } }", "x:. a:R |"},
        ParseCase{"EdgeDefaultsAreScoped",
                  "graph { edge [weight=2]; a -- b; { edge [weight=3]; b -- c } c -- d [weight=4]; d -- e }",
                  "a:. b:. c:. d:. e:. | e1:a-b:2 e2:b-c:3 e3:c-d:4 e4:d-e:2"},
        // weight before label; a present empty value counts.
        ParseCase{"FirstPresentModalityKey",
                  "graph { a -- b [label=x]; b -- c [label=x, weight=w]; edge [label=d]; c -- d [weight=\"\"]; d -- e }",
                  "a:. b:. c:. d:. e:. | e1:a-b:x e2:b-c:w e3:c-d: e4:d-e:d"},
        ParseCase{"ParallelEdgesAndSelfLoopsKept", "graph { a -- b; b -- a; a -- a }",
                  "a:. b:. | e1:a-b:1 e2:b-a:1 e3:a-a:1"},
        ParseCase{"StrictMergesPairsAndUpdatesAttributes",
                  "strict graph { a -- b [weight=1]; b -- a [weight=5]; a -- a; a -- a }",
                  "a:. b:. | e1:a-b:5 e2:a-a:1"},
        ParseCase{"StrictDuplicateTakesNoNewDefaults",
                  "STRICT Graph { edge [weight=7]; a -- b; edge [weight=8]; b -- a; {a b} -- {a b} }",
                  "a:. b:. | e1:a-b:7 e2:a-a:8 e3:b-b:8"},
        ParseCase{"StrictDigraphPairsAreOrdered", "strict digraph { a -> b; b -> a; a -> b }",
                  "a:. b:. | e1:a-b:1 e2:b-a:1"},
        ParseCase{"DigraphEdgesReadUndirected", "digraph { a -> b -> c }", "a:. b:. c:. | e1:a-b:1 e2:b-c:1"},
        ParseCase{"EveryIdForm",
                  "graph { \"x\\\"y\" -- \"a\" + \"b\" + \"c\"; <<b>h</b>> -- -1.5; \xc3\xa9_1 -- .5; \"node\" -- \"\" }",
                  "x\"y:. abc:. <b>h</b>:. -1.5:. \xc3\xa9_1:. .5:. node:. :. | e1:x\"y-abc:1 "
                  "e2:<b>h</b>--1.5:1 e3:\xc3\xa9_1-.5:1 e4:node-:1"},
        ParseCase{"KeywordsInAnyCase", "GRAPH { NODE [label=X]; Subgraph { a } }", "a:X |"},
        ParseCase{"BackslashLineBreakInsideQuotes", "graph { \"ab\\\ncd\" -- \"ef\\\r\ngh\"; \"a\\\\b\\n\" }",
                  "abcd:. efgh:. a\\\\b\\n:. | e1:abcd-efgh:1"},
        ParseCase{"NumeralEndsBeforeALetter", "graph { 2a -- 1.5.5 }", "2:. a:. 1.5:. .5:. | e1:a-1.5:1"},
        ParseCase{"Comments",
                  "# preprocessor line\n// note\ngraph { /* a -- z */ a // -- y\n -- b\n#line 4\n}",
                  "a:. b:. | e1:a-b:1"},
        ParseCase{"MultiLineAttributeLists", "graph {\n a -- b [\n  color = red\n  weight = 3;\n ]\n [weight=4]\n}",
                  "a:. b:. | e1:a-b:4"},
        ParseCase{"ByteOrderMarkAndEveryLineEnd", "\xef\xbb\xbfgraph {\r\n a -- b\r c\n}", "a:. b:. c:. | e1:a-b:1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DotParser, LabelAndModalityKeysAreOptions) {
  DotReadOptions options;
  options.label_key = "name";
  options.modality_keys = {"kind", "weight"};
  EXPECT_EQ(read("graph { a [label=A, name=N]; a -- b [weight=2, kind=k]; b -- c [weight=2] }", options),
            "a:N b:. c:. | e1:a-b:k e2:b-c:2");
  options.modality_keys = {};
  EXPECT_EQ(read("graph { a -- b [weight=2] }", options), "a:. b:. | e1:a-b:1");
}

class DotErrorCase : public testing::TestWithParam<ParseCase> {};

TEST_P(DotErrorCase, NamesLineAndColumn) { EXPECT_EQ(read(GetParam().input), GetParam().graph); }

INSTANTIATE_TEST_SUITE_P(
    Errors, DotErrorCase,
    testing::Values(
        ParseCase{"NoGraph", " // nothing\n",
                  "parse error: line 2, column 1: expected 'graph', 'digraph' or 'strict', found end of input"},
        ParseCase{"DanglingEdge", "graph { a -- }",
                  "parse error: line 1, column 14: expected a node or subgraph after the edge operator, found '}'"},
        ParseCase{"AttributeWithoutValue", "graph {\n  a [label]\n}",
                  "parse error: line 2, column 11: expected '=' after the attribute name, found ']'"},
        ParseCase{"DirectedEdgeInGraph", "graph {\n a -> b }",
                  "parse error: line 2, column 4: '->' in an undirected graph (edges there are '--')"},
        ParseCase{"UnterminatedString", "graph { a -- \"b }",
                  "parse error: line 1, column 14: unterminated quoted string"},
        ParseCase{"UnterminatedHtml", "graph { <a <b> }",
                  "parse error: line 1, column 9: unterminated HTML string (unbalanced '<' and '>')"},
        ParseCase{"UnterminatedComment", "graph { a /* b }",
                  "parse error: line 1, column 11: unterminated comment"},
        ParseCase{"SecondGraph", "graph { a }\ngraph { b }",
                  "parse error: line 2, column 1: expected the end of input after the graph (one graph is "
                  "read), found 'graph'"},
        ParseCase{"EmptyStatement", "graph { a;; }",
                  "parse error: line 1, column 11: expected a statement or the graph's closing '}', found ';'"},
        ParseCase{"MissingClosingBrace", "graph { { a -- b }\n",
                  "parse error: line 2, column 1: expected a statement or the graph's closing '}', found end "
                  "of input"},
        ParseCase{"SubgraphWithoutBody", "graph { subgraph s -- a }",
                  "parse error: line 1, column 20: expected '{' to open the subgraph, found '--'"},
        ParseCase{"ColumnsCountCharacters", "graph { \xc3\xa9\xc3\xa9 ! }",
                  "parse error: line 1, column 12: unexpected character '!'"},
        ParseCase{"PlusNeedsQuotedStrings", "graph { \"a\" + b }",
                  "parse error: line 1, column 13: '+' must join two quoted strings"},
        ParseCase{"HashInsideALine", "graph { a # b }", "parse error: line 1, column 11: unexpected character '#'"},
        ParseCase{"ControlCharacter", "graph { a \x01 }", "parse error: line 1, column 11: unexpected character U+0001"},
        ParseCase{"LongIdIsShortened", "graph { node \"0123456789012345678901234567890123456789abc\" }",
                  "parse error: line 1, column 14: expected '[' after 'node', found id "
                  "'0123456789012345678901234567890123456789...'"},
        ParseCase{"NodeKeywordNeedsAList", "graph { node a }",
                  "parse error: line 1, column 14: expected '[' after 'node', found id 'a'"},
        ParseCase{"Digraph", "// head\n digraph {}",
                  "unsupported: directed graph at line 2, column 2"},
        ParseCase{"StrictDigraph", "strict digraph { a -> b -- c }",
                  "unsupported: directed graph at line 1, column 8"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DotParser, UndirectedEdgeInAcceptedDigraphIsAnError) {
  EXPECT_EQ(read("digraph { a -> b -- c }", directed_ignored()),
            "parse error: line 1, column 18: '--' in a directed graph (edges there are '->')");
}

// The reader enters ids into the store's index only at the end: every node
// must be found by its id afterwards.
TEST(DotParser, EveryNodeIsFoundByItsId) {
  std::string text = "graph { x [label=X]; ";
  for (int i = 0; i < 2000; ++i) text += "n" + std::to_string(i) + " -- n" + std::to_string((i * 7) % 2001) + "; ";
  text += "\"a b\" }";
  DotReadOptions options;
  auto graph = read_dot_graph(text, options);
  ASSERT_TRUE(graph.has_value());
  EXPECT_EQ(graph->node_count(), 2003u);
  graph->for_each_node([&](NodeIndex node) { EXPECT_EQ(graph->find(graph->id(node)), node) << graph->id(node); });
  EXPECT_EQ(graph->label(*graph->find("x")), "X");
  EXPECT_FALSE(graph->find("n2001x").has_value());
}

// Subgraphs nest without using the call stack, far beyond any recursion limit.
TEST(DotParser, DeepNestingNeedsNoCallStack) {
  constexpr int kDepth = 200000;
  std::string text = "graph { x -- ";
  for (int i = 0; i < kDepth; ++i) text += "{ ";
  text += "a -- b";
  for (int i = 0; i < kDepth; ++i) text += " }";
  text += " }";
  EXPECT_EQ(read(text), "x:. a:. b:. | e1:a-b:1 e2:x-a:1 e3:x-b:1");
}

TEST(DotParser, FilesAreUtf8OrElseLatin1AndFailuresKeepTheSystemText) {
  char pattern[] = "/tmp/dot_parser_test.XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  auto read_file = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
    return outcome(read_dot_graph_file(dir + "/" + name, {}));
  };
  EXPECT_EQ(read_file("utf8.gv", "graph { caf\xc3\xa9 }"), "caf\xc3\xa9:. |");
  EXPECT_EQ(read_file("latin1.gv", "graph { caf\xe9 [label=\"\xe0\"] }"), "caf\xc3\xa9:\xc3\xa0 |");
  EXPECT_EQ(outcome(read_dot_graph_file(dir + "/missing.gv", {})),
            "parse error: No such file or directory (os error 2)");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace tolva
