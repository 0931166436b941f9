#include "canonize/graph_key.h"

#include <gtest/gtest.h>

#include "canon_test_support.h"

namespace tolva {
namespace {

using test_support::graph_of;

std::string key(const GraphWrap& graph, KeyOptions options = {}) {
  auto text = graph_key(graph, options);
  return text ? *text : "error: " + text.error().display();
}

TEST(GraphKey, EveryComponentSortedAfterThePrefix) {
  EXPECT_EQ(key(GraphWrap{}), "tolva1:");
  EXPECT_EQ(key(graph_of({{"a", "A"}, {"b", "B"}, {"c", "C"}}, {{"a", "b"}})), "tolva1:()C;(B:1)A");
  // Order of the components in the input does not matter.
  GraphWrap later = graph_of({}, {{"p", "q", "2"}, {"x", "y"}});
  later.ensure_node("c", "C");
  EXPECT_EQ(key(graph_of({{"c", "C"}}, {{"x", "y"}, {"p", "q", "2"}})), key(later));
  EXPECT_EQ(key(graph_of({}, {{"a", "b"}}), KeyOptions{true, false, true}), "tolva1+compact+plain+whole:(.:1).");
}

// Labels that spell punctuation cannot impersonate structure.
TEST(GraphKey, LabelsThatLookLikeStructureGiveOtherKeys) {
  GraphWrap star = graph_of({{"r", "R"}, {"a", "A"}, {"b", "B"}, {"c", "C"}}, {{"r", "a"}, {"r", "b"}, {"r", "c"}});
  GraphWrap forged = graph_of({{"r", "R"}, {"x", "A:1, B"}, {"c", "C"}}, {{"r", "x"}, {"x", "c"}});
  EXPECT_NE(key(star), key(forged));
  EXPECT_EQ(key(forged), "tolva1:(C:1, R:1)A%3A1%2C%20B");
  GraphWrap two = graph_of({{"a", "{a}"}, {"b", "{b}"}}, {});
  EXPECT_EQ(key(two), "tolva1:()%7Ba%7D;()%7Bb%7D");
}

TEST(GraphKey, ErrorsOfAComponentPassThrough) {
  GraphWrap g = graph_of({}, {{"a", "b"}});
  CallControls controls;
  StopControl stop(+[](void*) { return true; }, nullptr);
  controls.stop = &stop;
  ASSERT_TRUE(stop.should_stop(StopControl::kPollInterval));  // asked to stop before the call
  auto text = graph_key(g, {}, controls);
  ASSERT_FALSE(text);
  EXPECT_EQ(text.error().kind(), ErrorKind::Interrupted);
}

}  // namespace
}  // namespace tolva
