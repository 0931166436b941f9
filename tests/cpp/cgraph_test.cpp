#include "canonize/cgraph.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "canon_test_support.h"
#include "canonize/first_pass.h"
#include "dag/call_controls.h"

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

// Tracing switched on by the caller's code in the middle of a call (a poll is
// where that code runs) reaches every record after it, whether the call reads
// the switches at every record or only after each poll.
TEST(CGraph, TraceSwitchedOnDuringACallTakesEffectAtTheNextRecord) {
  test_support::ScopedEnv trace("TOLVA_TRACE", std::nullopt);
  test_support::ScopedEnv magnet("TOLVA_TRACE_MAGNET", "1");
  // One node labelled apart, so that every root is rewritten and traced.
  Edges ring;
  for (int i = 0; i < 60; ++i) ring.push_back({std::to_string(i), std::to_string((i + 1) % 60)});
  const GraphWrap graph = graph_of({{"0", "X"}}, ring);
  auto traced_run = [&](bool watching) {
    int polls = 0;
    StopControl stop(+[](void* count) {
      if (++*static_cast<int*>(count) == 3) ::setenv("TOLVA_TRACE", "1", 1);
      return false;
    }, &polls);
    CallControls controls{watching ? TraceSettings::watching(stop) : TraceSettings::from_environment(), &stop};
    ::unsetenv("TOLVA_TRACE");
    test_support::StdoutCapture out;
    auto text = to_cgraph(graph, kDefaultCandidateRule, kDefaultBranchRule, true, true, false, controls);
    EXPECT_TRUE(text.has_value());
    EXPECT_GT(polls, 3);
    return out.finish();
  };
  std::string every_record = traced_run(false);
  EXPECT_NE(every_record.find("TRACE magnet"), std::string::npos);
  EXPECT_EQ(traced_run(true), every_record);
}

}  // namespace
}  // namespace tolva
