#include "canonize/corpus_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "canonize/cgraph.h"
#include "canonize/graph_key.h"
#include "canonize/node_order.h"
#include "graph/graph_json_line.h"

namespace tolva {
namespace {

using Kind = CorpusLineOutput::Kind;

constexpr std::string_view kLine =
    R"({"name": "m\tx", "nodes": [["a b", "C"], ["b", "O"]], "edges": [["a b", "b", "1"], ["b", "c", "2"]]})";

CorpusLineSettings settings_for(LineProduct product, bool compact) {
  CorpusLineSettings settings;
  settings.product = product;
  settings.compact = compact;
  return settings;
}

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

TEST(CorpusLines, EachProductIsTheLibraryResultWrittenAsPlainFields) {
  auto read = read_plain_graph_line(kLine);
  ASSERT_TRUE(read);
  for (bool compact : {false, true}) {
    auto cgraph = to_cgraph(read->graph, kDefaultCandidateRule, kDefaultBranchRule, true, true, compact);
    auto order = canonical_node_order(read->graph, kDefaultCandidateRule, kDefaultBranchRule, true, compact);
    KeyOptions key_options;
    key_options.compact = compact;
    auto key = graph_key(read->graph, key_options);
    ASSERT_TRUE(cgraph && order && key);
    std::string ids;
    for (const std::string& id : *order) ids += (ids.empty() ? "" : " ") + (id == "a b" ? "a\\x20b" : id);
    const std::pair<LineProduct, std::string> expected[] = {
        {LineProduct::CgraphLine, "m\\tx\t" + *cgraph + "\n"},
        {LineProduct::OrderLine, "m\\tx\t" + ids + "\n"},
        {LineProduct::Key, *key},
    };
    for (const auto& [product, text] : expected) {
      CorpusLineOutput out = output_of_corpus_line(kLine, settings_for(product, compact), CallControls{});
      EXPECT_EQ(out.kind, Kind::Written);
      EXPECT_EQ(out.name, "m\tx");
      EXPECT_EQ(out.text, text);
    }
  }
}

TEST(CorpusLines, OtherLinesAreLeftToTheCallerAndFailuresKeepTheName) {
  for (std::string_view line : {R"({"name": 1, "nodes": [], "edges": []})", "{broken", R"({"name": "x"})"})
    EXPECT_EQ(output_of_corpus_line(line, CorpusLineSettings{}, CallControls{}).kind, Kind::Unread) << line;
  CorpusLineSettings settings;
  settings.candidate_rule = "no such rule";
  constexpr std::string_view kOne = R"({"name": "g", "nodes": [["a", "C"]], "edges": []})";
  CorpusLineOutput out = output_of_corpus_line(kOne, settings, CallControls{});
  ASSERT_EQ(out.kind, Kind::Failed);
  EXPECT_EQ(out.name, "g");
  auto alone = to_cgraph(read_plain_graph_line(kOne)->graph, settings.candidate_rule, settings.branch_rule, true,
                         true, false);
  ASSERT_FALSE(alone);
  ASSERT_TRUE(out.error);
  EXPECT_EQ(*out.error, alone.error());
}

}  // namespace
}  // namespace tolva
