#include "dag/trace.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "stdout_capture.h"

namespace tolva {
namespace {

using test_support::ScopedEnv;
using test_support::StdoutCapture;

// Backslashes are escaped first, so the escapes made for later characters
// are not doubled; other bytes pass through.
TEST(Trace, EscapeJsonEscapesOnlyTheFiveCharactersBackslashFirst) {
  EXPECT_EQ(escape_json("a\"b\\c\nd\re\tf/"), "a\\\"b\\\\c\\nd\\re\\tf/");
  EXPECT_EQ(escape_json("\\n"), "\\\\n");
  EXPECT_EQ(escape_json("\\\""), "\\\\\\\"");
  const std::string other("\x01\x1f\x7f\0\xc3\xa9\xff", 7);
  EXPECT_EQ(escape_json(other), other);
}

TEST(Trace, JsonValuesAreCompactWithObjectKeysSortedBytewise) {
  using Limits = std::numeric_limits<std::int64_t>;
  EXPECT_EQ(to_json(JsonValue::array({JsonValue(), JsonValue(true), JsonValue(false), JsonValue(Limits::min()),
                                      JsonValue(std::numeric_limits<std::uint64_t>::max()), JsonValue("q\"\n"),
                                      JsonValue::array({}), JsonValue::object({})})),
            "[null,true,false,-9223372036854775808,18446744073709551615,\"q\\\"\\n\",[],{}]");
  // A proper prefix first, bytes above 0x7f last, equal keys in producer order.
  EXPECT_EQ(to_json(JsonValue::object({{"b", JsonValue(std::int64_t{1})},
                                       {"\xc3\xa9", JsonValue(std::int64_t{2})},
                                       {"ab", JsonValue::object({{"y", JsonValue()}, {"x", JsonValue(true)}})},
                                       {"b", JsonValue(std::int64_t{-1})},
                                       {"", JsonValue("v")}})),
            "{\"\":\"v\",\"ab\":{\"x\":true,\"y\":null},\"b\":1,\"b\":-1,\"\xc3\xa9\":2}");
}

TEST(Trace, LineSortsTheFieldsByKey) {
  EXPECT_EQ(format_trace_line("dag_counts", {{"nodes", JsonValue(std::uint64_t{4})},
                                             {"edges", JsonValue(std::uint64_t{3})},
                                             {"virtuals", JsonValue(std::uint64_t{0})},
                                             {"mirrors", JsonValue(std::uint64_t{0})}}),
            "TRACE dag_counts edges=3 mirrors=0 nodes=4 virtuals=0");
  EXPECT_EQ(format_trace_line("e", {{"ab", JsonValue("x\\")}, {"b", JsonValue(std::int64_t{-1})},
                                    {"a", JsonValue(true)}, {"b", JsonValue(std::int64_t{2})}}),
            "TRACE e a=true ab=\"x\\\\\" b=-1 b=2");
  EXPECT_EQ(format_trace_line("magnet", {}), "TRACE magnet");
}

struct SwitchCase {
  std::string name;
  std::optional<std::string> value;
  bool on;
};

class TraceSwitch : public ::testing::TestWithParam<SwitchCase> {};

// The switch is read at every record and is on only for exactly "1".
TEST_P(TraceSwitch, IsOnOnlyForExactlyOne) {
  ScopedEnv trace("TOLVA_TRACE", GetParam().value);
  EXPECT_EQ(trace_enabled(), GetParam().on);
  StdoutCapture out;
  emit("magnet", {{"node", JsonValue("r")}, {"magnet", JsonValue("a\"b\nc")}});
  EXPECT_EQ(out.finish(), GetParam().on ? "TRACE magnet magnet=\"a\\\"b\\nc\" node=\"r\"\n" : "");
}

INSTANTIATE_TEST_SUITE_P(Trace, TraceSwitch,
                         ::testing::Values(SwitchCase{"Unset", std::nullopt, false}, SwitchCase{"One", "1", true},
                                           SwitchCase{"Empty", "", false}, SwitchCase{"True", "true", false},
                                           SwitchCase{"LeadingZero", "01", false},
                                           SwitchCase{"TrailingBlank", "1 ", false}),
                         [](const auto& info) { return info.param.name; });

TEST(Trace, CountsOnlyLiveNodesAndEdges) {
  GraphWrap graph;
  graph.add_node_with_meta("m", "M", NodeMeta{.is_mirror = true});
  graph.add_node_with_meta("v", "", NodeMeta{.is_virtual = true});
  graph.add_node_with_meta("w", "", NodeMeta{.is_virtual = true});
  graph.add_node_with_meta("mv", "", NodeMeta{.is_mirror = true, .is_virtual = true});
  graph.add_node_with_meta("gone", "", NodeMeta{.is_mirror = true});
  graph.add_edge_with_modality("m", "v", "1");
  graph.add_edge_with_modality("m", "gone", "1");
  graph.add_edge_with_modality("m", "w", "1");
  ASSERT_TRUE(graph.remove_edge(0).has_value());
  ASSERT_TRUE(graph.remove_node("gone"));
  ScopedEnv on("TOLVA_TRACE", "1");
  StdoutCapture out;
  emit_counts(graph);
  EXPECT_EQ(out.finish(), "TRACE dag_counts edges=1 mirrors=2 nodes=4 virtuals=3\n");
}

}  // namespace
}  // namespace tolva
