#include "canonize/cgraph.h"

#include <gtest/gtest.h>

#include "canon_test_support.h"
#include "canonize/first_pass.h"

namespace tolva {
namespace {

using test_support::Edges;
using test_support::graph_of;

std::string cgraph(const GraphWrap& graph, bool allow_hashes, bool compress, bool compact) {
  auto text = to_cgraph(graph, kDefaultCandidateRule, kDefaultBranchRule, allow_hashes, compress, compact);
  return text ? *text : "error: " + text.error().display();
}

// A generated id that is already taken gets a "'" suffix, so leaves named like
// generated ids give the string that a plain leaf "zz" gives.
TEST(CGraph, GeneratedIdsDoNotCaptureInputNodes) {
  const Edges triangle{{"r", "a"}, {"r", "b"}, {"a", "b"}};
  const Edges square{{"r", "a"}, {"a", "c"}, {"c", "b"}, {"b", "r"}};
  const test_support::Nodes nodes{{"r", "R"}, {"a", "A"}, {"b", "B"}, {"c", "C"}};
  for (const auto& [base, leaf] : std::vector<std::pair<Edges, std::string>>{
           {triangle, "*v0"}, {triangle, "*v1"}, {square, "#m0_0"}, {square, "c@#m0_1"}}) {
    Edges with_leaf = base, with_plain = base;
    with_leaf.push_back({"r", leaf});
    with_plain.push_back({"r", "zz"});
    for (int options = 0; options < 8; ++options)
      EXPECT_EQ(cgraph(graph_of(nodes, with_leaf), options & 1, options & 2, options & 4),
                cgraph(graph_of(nodes, with_plain), options & 1, options & 2, options & 4))
          << leaf << " options " << options;
  }
}

}  // namespace
}  // namespace tolva
