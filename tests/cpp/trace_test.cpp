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

struct EscapeCase {
  std::string name;
  std::string text;
  std::string escaped;
};

class EscapeJson : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeJson, EscapesOnlyTheFiveCharacters) {
  EXPECT_EQ(escape_json(GetParam().text), GetParam().escaped);
}

INSTANTIATE_TEST_SUITE_P(
    Trace, EscapeJson,
    ::testing::Values(EscapeCase{"Empty", "", ""},
                      EscapeCase{"Plain", "abc /", "abc /"},
                      EscapeCase{"Backslash", "\\", "\\\\"},
                      EscapeCase{"Quote", "\"", "\\\""},
                      EscapeCase{"LineFeed", "\n", "\\n"},
                      EscapeCase{"CarriageReturn", "\r", "\\r"},
                      EscapeCase{"Tab", "\t", "\\t"},
                      // The escapes made for later characters are not doubled.
                      EscapeCase{"QuoteBackslashNewline", "a\"b\\c\nd", "a\\\"b\\\\c\\nd"},
                      EscapeCase{"BackslashNStaysTwoCharacters", "\\n", "\\\\n"},
                      EscapeCase{"EscapedQuoteIsEscapedAgain", "\\\"", "\\\\\\\""},
                      EscapeCase{"OtherControlCharactersPassThrough",
                                 std::string("\x01\x08\x0c\x1f\x7f\0", 6),
                                 std::string("\x01\x08\x0c\x1f\x7f\0", 6)},
                      EscapeCase{"NonAsciiPassesThrough", "\xc3\xa9\xe2\x82\xac\xff",
                                 "\xc3\xa9\xe2\x82\xac\xff"}),
    [](const auto& info) { return info.param.name; });

struct JsonCase {
  std::string name;
  JsonValue value;
  std::string text;
};

class ToJson : public ::testing::TestWithParam<JsonCase> {};

TEST_P(ToJson, WritesCompactText) { EXPECT_EQ(to_json(GetParam().value), GetParam().text); }

JsonValue signed_int(std::int64_t n) { return JsonValue(n); }
JsonValue unsigned_int(std::uint64_t n) { return JsonValue(n); }

INSTANTIATE_TEST_SUITE_P(
    Trace, ToJson,
    ::testing::Values(
        JsonCase{"Null", JsonValue(), "null"},
        JsonCase{"True", JsonValue(true), "true"},
        JsonCase{"False", JsonValue(false), "false"},
        JsonCase{"Zero", signed_int(0), "0"},
        JsonCase{"Negative", signed_int(-42), "-42"},
        JsonCase{"SmallestSigned", signed_int(std::numeric_limits<std::int64_t>::min()),
                 "-9223372036854775808"},
        JsonCase{"LargestUnsigned", unsigned_int(std::numeric_limits<std::uint64_t>::max()),
                 "18446744073709551615"},
        JsonCase{"String", JsonValue("a\"b\\c\n"), "\"a\\\"b\\\\c\\n\""},
        JsonCase{"EmptyString", JsonValue(""), "\"\""},
        JsonCase{"EmptyArray", JsonValue::array({}), "[]"},
        JsonCase{"Array",
                 JsonValue::array({signed_int(-3), JsonValue("_x_"), JsonValue::array({}), JsonValue()}),
                 "[-3,\"_x_\",[],null]"},
        JsonCase{"NestedPairs",
                 JsonValue::array({JsonValue::array({unsigned_int(2), JsonValue("a")}),
                                   JsonValue::array({unsigned_int(1), JsonValue("b")})}),
                 "[[2,\"a\"],[1,\"b\"]]"},
        JsonCase{"EmptyObject", JsonValue::object({}), "{}"},
        // Keys sorted bytewise: a proper prefix first, bytes above 0x7f last.
        JsonCase{"ObjectKeysSorted",
                 JsonValue::object({{"b", signed_int(1)},
                                    {"\xc3\xa9", signed_int(2)},
                                    {"ab", JsonValue::object({{"y", JsonValue()}, {"x", JsonValue(true)}})},
                                    {"a", JsonValue::array({})},
                                    {"", JsonValue("v")}}),
                 "{\"\":\"v\",\"a\":[],\"ab\":{\"x\":true,\"y\":null},\"b\":1,\"\xc3\xa9\":2}"},
        JsonCase{"ObjectKeysEscaped", JsonValue::object({{"k\"\n", signed_int(0)}}),
                 "{\"k\\\"\\n\":0}"},
        JsonCase{"EqualKeysKeepTheirOrder",
                 JsonValue::object({{"k", signed_int(2)}, {"a", signed_int(0)}, {"k", signed_int(1)}}),
                 "{\"a\":0,\"k\":2,\"k\":1}"}),
    [](const auto& info) { return info.param.name; });

TEST(Trace, LineSortsTheFieldsByKey) {
  EXPECT_EQ(format_trace_line("dag_counts", {{"nodes", JsonValue(std::uint64_t{4})},
                                             {"edges", JsonValue(std::uint64_t{3})},
                                             {"virtuals", JsonValue(std::uint64_t{0})},
                                             {"mirrors", JsonValue(std::uint64_t{0})}}),
            "TRACE dag_counts edges=3 mirrors=0 nodes=4 virtuals=0");
}

TEST(Trace, LineKeysPrefixFirstAndEqualKeysInProducerOrder) {
  EXPECT_EQ(format_trace_line("e", {{"ab", JsonValue("x")},
                                    {"b", JsonValue(std::int64_t{-1})},
                                    {"a", JsonValue(true)},
                                    {"b", JsonValue(std::int64_t{2})}}),
            "TRACE e a=true ab=\"x\" b=-1 b=2");
}

TEST(Trace, LineWithoutFieldsIsTheEventAlone) { EXPECT_EQ(format_trace_line("magnet", {}), "TRACE magnet"); }

struct SwitchCase {
  std::string name;
  std::optional<std::string> value;
  bool on;
};

class TraceSwitch : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(TraceSwitch, IsOnOnlyForExactlyOne) {
  ScopedEnv trace("TOLVA_TRACE", GetParam().value);
  EXPECT_EQ(trace_enabled(), GetParam().on);
  EXPECT_EQ(env_switch_on("TOLVA_TRACE"), GetParam().on);
  StdoutCapture out;
  emit("ping", {{"k", JsonValue(std::int64_t{1})}});
  EXPECT_EQ(out.finish(), GetParam().on ? "TRACE ping k=1\n" : "");
}

INSTANTIATE_TEST_SUITE_P(Trace, TraceSwitch,
                         ::testing::Values(SwitchCase{"Unset", std::nullopt, false},
                                           SwitchCase{"One", "1", true},
                                           SwitchCase{"Empty", "", false},
                                           SwitchCase{"True", "true", false},
                                           SwitchCase{"LeadingZero", "01", false},
                                           SwitchCase{"TrailingBlank", "1 ", false},
                                           SwitchCase{"LeadingBlank", " 1", false},
                                           SwitchCase{"Zero", "0", false},
                                           SwitchCase{"Two", "2", false}),
                         [](const auto& info) { return info.param.name; });

TEST(Trace, SwitchIsReadAtEveryRecord) {
  StdoutCapture out;
  {
    ScopedEnv on("TOLVA_TRACE", "1");
    emit("first", {});
  }
  {
    ScopedEnv off("TOLVA_TRACE", std::nullopt);
    emit("second", {});
  }
  {
    ScopedEnv on("TOLVA_TRACE", "1");
    emit("third", {});
  }
  EXPECT_EQ(out.finish(), "TRACE first\nTRACE third\n");
}

TEST(Trace, StringValueStaysOnOneLine) {
  ScopedEnv on("TOLVA_TRACE", "1");
  StdoutCapture out;
  emit("magnet", {{"node", JsonValue("r")}, {"magnet", JsonValue("a\"b\\c\nd")}});
  EXPECT_EQ(out.finish(), "TRACE magnet magnet=\"a\\\"b\\\\c\\nd\" node=\"r\"\n");
}

TEST(Trace, CountsOfAGraph) {
  GraphWrap graph;
  graph.add_edge_with_modality("a", "b", "1");
  graph.add_edge_with_modality("b", "c", "1");
  graph.add_edge_with_modality("c", "d", "1");
  ScopedEnv on("TOLVA_TRACE", "1");
  StdoutCapture out;
  emit_counts(graph);
  EXPECT_EQ(out.finish(), "TRACE dag_counts edges=3 mirrors=0 nodes=4 virtuals=0\n");
}

TEST(Trace, CountsOnlyLiveNodesAndEdges) {
  GraphWrap graph;
  NodeMeta mirror;
  mirror.is_mirror = true;
  NodeMeta leaf;
  leaf.is_virtual = true;
  NodeMeta both = mirror;
  both.is_virtual = true;
  graph.add_node_with_meta("m", "M", mirror);
  graph.add_node_with_meta("v", "", leaf);
  graph.add_node_with_meta("w", "", leaf);
  graph.add_node_with_meta("mv", "", both);
  graph.add_node_with_meta("gone", "", mirror);
  graph.add_edge_with_modality("m", "v", "1");
  graph.add_edge_with_modality("m", "gone", "1");
  graph.add_edge_with_modality("m", "w", "1");
  ASSERT_TRUE(graph.remove_edge(0).has_value());  // m-v, the first edge
  ASSERT_TRUE(graph.remove_node("gone"));
  ScopedEnv on("TOLVA_TRACE", "1");
  StdoutCapture out;
  emit_counts(graph);
  EXPECT_EQ(out.finish(), "TRACE dag_counts edges=1 mirrors=2 nodes=4 virtuals=3\n");
}

TEST(Trace, CountsAreNotWrittenWhileTracingIsOff) {
  GraphWrap graph;
  graph.add_edge_with_modality("a", "b", "1");
  ScopedEnv off("TOLVA_TRACE", "true");
  StdoutCapture out;
  emit_counts(graph);
  EXPECT_EQ(out.finish(), "");
}

}  // namespace
}  // namespace tolva
