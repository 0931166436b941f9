#include "canonize/corpus_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canonize/cgraph.h"
#include "graph/graph_json_line.h"

namespace tolva {
namespace {

using Kind = CorpusLineOutput::Kind;

TEST(CorpusLines, LinesEndAtLineFeedsAndWhiteSpaceAloneIsBlank) {
  auto lines = graph_lines_of_chunk("a\n\n \t\v\f\r\nb\r\n  c  \nlast");
  std::vector<std::size_t> indices;
  std::vector<std::string> texts;
  for (const CorpusLine& line : lines) {
    indices.push_back(line.index);
    texts.emplace_back(line.text);
  }
  EXPECT_EQ(indices, (std::vector<std::size_t>{0, 3, 4, 5}));
  EXPECT_EQ(texts, (std::vector<std::string>{"a", "b\r", "  c  ", "last"}));
  EXPECT_TRUE(graph_lines_of_chunk("").empty());
  EXPECT_TRUE(graph_lines_of_chunk("\n\n").empty());
  // A carriage return alone does not end a line.
  EXPECT_EQ(graph_lines_of_chunk("a\rb\n").size(), 1u);
}

TEST(CorpusLines, APlainLineGivesItsNameAndStringAsOnePlainLine) {
  std::string line = R"({"name": "m\tx", "nodes": [["a", "C"], ["b", "O"]], "edges": [["a", "b", "1"]]})";
  for (bool compact : {false, true}) {
    CgraphSettings settings;
    settings.compact = compact;
    CorpusLineOutput out = cgraph_output_line(line, settings, CallControls{});
    auto read = read_plain_graph_line(line);
    ASSERT_TRUE(read);
    auto text = to_cgraph(read->graph, settings.candidate_rule, settings.branch_rule, true, true, compact);
    ASSERT_TRUE(text);
    EXPECT_EQ(out.kind, Kind::Written);
    EXPECT_EQ(out.text, "m\\tx\t" + *text + "\n");
  }
}

TEST(CorpusLines, OtherLinesAreLeftToTheCallerAndFailuresKeepTheName) {
  for (std::string_view line : {R"({"name": 1, "nodes": [], "edges": []})", "{broken", R"({"name": "x"})"})
    EXPECT_EQ(cgraph_output_line(line, CgraphSettings{}, CallControls{}).kind, Kind::Unread) << line;
  CgraphSettings settings;
  settings.candidate_rule = "no such rule";
  CorpusLineOutput out =
      cgraph_output_line(R"({"name": "g", "nodes": [["a", "C"]], "edges": []})", settings, CallControls{});
  ASSERT_EQ(out.kind, Kind::Failed);
  EXPECT_EQ(out.text, "g");
  ASSERT_TRUE(out.error);
  auto alone = to_cgraph(read_plain_graph_line(R"({"name": "g", "nodes": [["a", "C"]], "edges": []})")->graph,
                         settings.candidate_rule, settings.branch_rule, true, true, false);
  ASSERT_FALSE(alone);
  EXPECT_EQ(*out.error, alone.error());
}

}  // namespace
}  // namespace tolva
