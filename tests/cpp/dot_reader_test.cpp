#include "dot/dot_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace tolva {
namespace {

// A graph as text, nodes in index order then edges in index order:
// "a:A b:. | e1:a-b:2".
std::string describe(const GraphWrap& g) {
  std::string out;
  g.for_each_node([&](NodeIndex, const NodeData& n) { out += n.id + ":" + n.label + " "; });
  out += "|";
  for (EdgeIndex e : g.edge_indices()) {
    auto [a, b] = *g.endpoints(e);
    out += " " + g.edge(e)->id + ":" + g.node(a)->id + "-" + g.node(b)->id + ":" +
           g.edge(e)->modality;
  }
  return out;
}

std::string outcome(const std::expected<GraphWrap, std::string>& g) {
  return g ? describe(*g) : "error: " + g.error();
}

std::string read(std::string_view text) { return outcome(parse_dot_content(text)); }

struct Case {
  const char* input;
  const char* graph;
};

class DotReaderCase : public testing::TestWithParam<Case> {};

TEST_P(DotReaderCase, BuildsTheExpectedGraph) {
  EXPECT_EQ(read(GetParam().input), GetParam().graph) << GetParam().input;
}

INSTANTIATE_TEST_SUITE_P(
    Statements, DotReaderCase,
    testing::Values(
        Case{"", "|"}, Case{"graph G {\n}", "|"},
        Case{"graph G {\n a [label=A];\n a -- b [weight=2];\n}", "a:A b:. | e1:a-b:2"},
        Case{"a -- b", "a:. b:. | e1:a-b:1"}, Case{"a -- b;", "a:. b:. | e1:a-b:1"},
        Case{"a -- b ;", "a:. b:. | e1:a-b:1"}, Case{"a -- b;;", "a:. b;:. | e1:a-b;:1"},
        Case{"a -- b\na [label=X]", "a:. b:. | e1:a-b:1"},
        Case{"a [label=A]\na -- b", "a:A b:. | e1:a-b:1"},
        Case{"a [label=]\na -- b", "a:. b:. | e1:a-b:1"},
        Case{"a [label=x=y]", "a:x=y |"}, Case{"a [label='x,y']", "a:'x |"},
        Case{"a -- b -- c", "a:. b:. | e1:a-b:1"}, Case{"a--b--c", "a:. b--c:. | e1:a-b--c:1"},
        Case{"\"p q\" [label=Z]", "\"p:Z |"}, Case{"a [label=p--q]", "a:. q]:. | e1:a-q]:1"},
        Case{"a;", "|"}, Case{"a -> b", "|"}, Case{"a -> b [label=A]", "a:A |"},
        Case{"node [shape=box]", "node:. |"},
        Case{"strict graph {\ngraphs -- x\n} a -- b", "|"},
        // Attribute lists: quotes, trimming, repeats, missing parts.
        Case{"a [label=\"A\"]", "a:A |"}, Case{"a [label='A']", "a:A |"},
        Case{"a [label=\"A']", "a:\"A' |"}, Case{"a [label=\"]", "a:\" |"},
        Case{"a [label=\"\"]", "a: |"}, Case{"a [ label = ' A ' ]", "a: A  |"},
        Case{"a [label=A, label=B]", "a:B |"}, Case{"a [=x, label=A]", "a:A |"},
        Case{"a [label]", "a: |"}, Case{"a [label=A", "a:. |"},
        Case{"a ] [label=A", "a:. |"}, Case{"a [label=A] [label=B]", "a:A |"},
        Case{"a [shape=box, weight=3]", "a:. |"},
        Case{"a -- b [label=x, weight=\"ar\"]", "a:. b:. | e1:a-b:ar"},
        Case{"a -- b [weight]", "a:. b:. | e1:a-b:"},
        // Numbering: nodes first met, edges in input order, parallel and self edges kept.
        Case{"c [label=C]\nb -- a\nb -- a\na -- a", "c:C b:. a:. | e1:b-a:1 e2:b-a:1 e3:a-a:1"},
        // Unicode: NBSP and U+2028 trim lines and end ids; U+200B is an id character.
        Case{"\u00a0a -- b\u00a0", "a:. b:. | e1:a-b:1"},
        Case{"a\u2028x [label=\u00a0A\u3000]", "a:A |"},
        Case{"a\u200bb [label=\"\u00e9\"]", "a\u200bb:\u00e9 |"}));

struct ErrorCase {
  const char* input;
  const char* message;
};

class DotReaderError : public testing::TestWithParam<ErrorCase> {};

TEST_P(DotReaderError, ReportsTheLineAndTheFault) {
  EXPECT_EQ(read(GetParam().input), std::string("error: ") + GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    UnusableIds, DotReaderError,
    testing::Values(ErrorCase{"graph G {\n\n-- b\n}", "line 3: empty node id"},
                    ErrorCase{"a -- ", "line 1: empty node id"},
                    ErrorCase{"a -- b\na -- ;", "line 2: empty node id"},
                    ErrorCase{"[x] -- b", "line 1: invalid node id in '[x] '"},
                    ErrorCase{"a -- [x];", "line 1: invalid node id in '[x]'"},
                    ErrorCase{"a\r\n\r\n [label=A]", "line 3: invalid node id in '[label=A]'"},
                    ErrorCase{"\u00a0-- b", "line 1: empty node id"}));

TEST(DotReader, EveryWhiteSpaceCharacterTrimsAndEndsIds) {
  for (const char* space :
       {"\t", "\n", "\v", "\f", "\r", " ", "\u0085", "\u00a0", "\u1680", "\u2000", "\u2001",
        "\u2002", "\u2003", "\u2004", "\u2005", "\u2006", "\u2007", "\u2008", "\u2009", "\u200a",
        "\u2028", "\u2029", "\u202f", "\u205f", "\u3000"}) {
    std::string s = space;
    std::string line = s + "a" + s + "--" + s + "b" + s + "[weight=" + s + "w" + s + "]" + s;
    if (s == "\n") line = "a\n-- b";  // a line feed ends the line instead
    std::string expected = s == "\n" ? "error: line 2: empty node id" : "a:. b:. | e1:a-b:w";
    EXPECT_EQ(read(line), expected) << "separator " << testing::PrintToString(s);
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

struct IdCase {
  const char* text;
  const char* result;  // the id, or "error: " and the message
};

class NodeId : public testing::TestWithParam<IdCase> {};

TEST_P(NodeId, IsTheLeadingRunWithoutSpaceOrBracket) {
  auto id = parse_node_id(GetParam().text);
  EXPECT_EQ(id ? *id : "error: " + id.error(), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NodeId,
    testing::Values(IdCase{"a", "a"}, IdCase{"  ab cd", "ab"}, IdCase{"a[x]", "a"},
                    IdCase{"'a'", "'a'"}, IdCase{"a\u00a0b", "a"}, IdCase{"\u00e9[", "\u00e9"},
                    IdCase{"a\u2029b", "a"},
                    // Not white space: controls outside the set, invisible
                    // characters, and raw bytes that are no valid UTF-8.
                    IdCase{"a\x1f" "b\u200b\u180e\ufeff", "a\x1f" "b\u200b\u180e\ufeff"},
                    IdCase{"a\xa0\x85" "b", "a\xa0\x85" "b"}, IdCase{"", "error: empty node id"},
                    IdCase{" \t\u3000", "error: empty node id"},
                    IdCase{" [x ", "error: invalid node id in ' [x '"}));

// A temporary directory removed with everything in it.
class DotFile : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/dot_reader_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string write(const std::string& name, const std::string& bytes) {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string dir_;
};

TEST_F(DotFile, ReadsLikeTheSameText) {
  std::string text = "graph G {\r\n a [label=\u00e9];\r\n a -- b [weight=ar];\r\n}\r\n";
  EXPECT_EQ(outcome(parse_dot_file(write("g.dot", text))), read(text));
}

TEST_F(DotFile, ReportsReadFailures) {
  EXPECT_EQ(outcome(parse_dot_file(dir_ + "/missing.dot")),
            "error: No such file or directory (os error 2)");
  EXPECT_EQ(outcome(parse_dot_file(dir_)), "error: Is a directory (os error 21)");
  EXPECT_EQ(outcome(parse_dot_file(write("bad.dot", "a [label=\xff]"))),
            "error: stream did not contain valid UTF-8");
}

TEST_F(DotFile, NulInPathNeverOpensThePrefix) {
  std::string path = write("g.dot", "a -- b");
  ASSERT_EQ(outcome(parse_dot_file(path)), "a:. b:. | e1:a-b:1");
  EXPECT_EQ(outcome(parse_dot_file(path + std::string("\0x", 2))),
            "error: file name contained an unexpected NUL byte");
}

}  // namespace
}  // namespace tolva
