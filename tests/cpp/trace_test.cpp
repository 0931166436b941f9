#include "dag/trace.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "error/stop_control.h"
#include "stdout_capture.h"

namespace tolva {
namespace {

// Backslashes are escaped first, so the escapes made for later characters
// are not doubled; other bytes pass through.
TEST(Trace, EscapeJsonEscapesOnlyTheFiveCharactersBackslashFirst) {
  EXPECT_EQ(escape_json("a\"b\\c\nd\re\tf/"), "a\\\"b\\\\c\\nd\\re\\tf/");
  EXPECT_EQ(escape_json("\\\""), "\\\\\\\"");
  const std::string other("\x01\x1f\x7f\0\xc3\xa9\xff", 7);
  EXPECT_EQ(escape_json(other), other);
}

TEST(Trace, JsonValuesAreCompactWithObjectKeysSortedBytewise) {
  const JsonValue smallest(std::numeric_limits<std::int64_t>::min());
  const JsonValue largest(std::numeric_limits<std::uint64_t>::max());
  EXPECT_EQ(to_json(JsonValue::array({JsonValue(), JsonValue(true), JsonValue(false), smallest, largest,
                                      JsonValue("q\"\n"), JsonValue::array({}), JsonValue::object({})})),
            "[null,true,false,-9223372036854775808,18446744073709551615,\"q\\\"\\n\",[],{}]");
  // A proper prefix first, bytes above 0x7f last, equal keys in producer order.
  EXPECT_EQ(to_json(JsonValue::object({{"b", JsonValue(std::int64_t{1})},
                                       {"\xc3\xa9", JsonValue(std::int64_t{2})},
                                       {"ab", JsonValue::object({{"y", {}}, {"x", JsonValue(true)}})},
                                       {"b", JsonValue(std::int64_t{-1})},
                                       {"", JsonValue("v")}})),
            "{\"\":\"v\",\"ab\":{\"x\":true,\"y\":null},\"b\":1,\"b\":-1,\"\xc3\xa9\":2}");
}

TEST(Trace, LineSortsTheFieldsByKey) {
  // Equal keys stay in producer order.
  EXPECT_EQ(format_trace_line("e", {{"ab", JsonValue("x\\")}, {"b", JsonValue(std::int64_t{-1})},
                                    {"a", JsonValue(true)}, {"b", JsonValue(std::int64_t{2})}}),
            "TRACE e a=true ab=\"x\\\\\" b=-1 b=2");
  EXPECT_EQ(format_trace_line("magnet", {}), "TRACE magnet");
}

// The switch is read at every record and is on only for exactly "1".
TEST(Trace, SwitchIsOnOnlyForExactlyOne) {
  using Setting = std::optional<std::string>;
  for (const auto& [value, on] : std::vector<std::pair<Setting, bool>>{
           {std::nullopt, false}, {"1", true}, {"", false}, {"true", false}, {"01", false}, {"1 ", false}}) {
    test_support::ScopedEnv trace("TOLVA_TRACE", value);
    TraceSettings live = TraceSettings::from_environment();
    EXPECT_EQ(live.trace_on(), on) << value.value_or("unset");
    test_support::StdoutCapture out;
    emit(live, "magnet", {{"node", JsonValue("r")}, {"magnet", JsonValue("a\"b\nc")}});
    EXPECT_EQ(out.finish(), on ? "TRACE magnet magnet=\"a\\\"b\\nc\" node=\"r\"\n" : "")
        << value.value_or("unset");
  }
}

// Watching settings read the switches once between two polls of their stop
// control, and again after each: a poll is where the caller's code, which may
// change them, runs.
TEST(Trace, WatchingSettingsReadTheSwitchesAgainAfterEachPoll) {
  test_support::ScopedEnv trace("TOLVA_TRACE", std::nullopt);
  test_support::ScopedEnv magnet("TOLVA_TRACE_MAGNET", "1");
  StopControl stop(+[](void*) {
    ::setenv("TOLVA_TRACE", "1", 1);
    return false;
  }, nullptr);
  TraceSettings watching = TraceSettings::watching(stop);
  EXPECT_FALSE(watching.trace_on());
  EXPECT_FALSE(watching.magnet_on());
  ASSERT_FALSE(stop.should_stop(StopControl::kPollInterval));
  EXPECT_TRUE(watching.trace_on());
  EXPECT_TRUE(watching.magnet_on());
  // Changed without a poll (which a caller holding the interpreter lock cannot
  // do): not read again until the next poll.
  ::unsetenv("TOLVA_TRACE_MAGNET");
  EXPECT_TRUE(watching.magnet_on());
  ASSERT_FALSE(stop.poll_now());
  EXPECT_TRUE(watching.trace_on());
  EXPECT_FALSE(watching.magnet_on());
}

}  // namespace
}  // namespace tolva
