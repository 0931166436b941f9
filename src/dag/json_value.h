// JsonValue: the small JSON value type of trace records, and its compact text.
//
// Strings are escaped minimally: backslash, double quote, line feed, carriage
// return and tab; every other byte (control characters and non-ASCII text
// included) passes through unchanged, and no "\u" escapes are produced.
// Object entries are written sorted by key, bytewise.
//
//   JsonValue v = JsonValue::array({JsonValue(std::int64_t{-3}), JsonValue("a\"b")});
//   to_json(v) == "[-3,\"a\\\"b\"]"
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace tolva {

class JsonValue {
 public:
  using Array = std::vector<JsonValue>;
  using Object = std::vector<std::pair<std::string, JsonValue>>;

  JsonValue() = default;  // null
  explicit JsonValue(bool value) : value_(value) {}
  explicit JsonValue(std::int64_t value) : value_(value) {}
  explicit JsonValue(std::uint64_t value) : value_(value) {}
  explicit JsonValue(std::string value) : value_(std::move(value)) {}
  explicit JsonValue(std::string_view value) : value_(std::string(value)) {}
  explicit JsonValue(const char* value) : value_(std::string(value)) {}

  static JsonValue array(Array items) {
    JsonValue out;
    out.value_ = std::move(items);
    return out;
  }
  static JsonValue object(Object entries) {
    JsonValue out;
    out.value_ = ObjectBox{std::move(entries)};
    return out;
  }

  friend std::string to_json(const JsonValue& value);

 private:
  struct ObjectBox {
    Object entries;
  };
  std::variant<std::monostate, bool, std::int64_t, std::uint64_t, std::string, Array, ObjectBox>
      value_;
};

std::string to_json(const JsonValue& value);

// The escaped contents of a JSON string, without the surrounding quotes.
std::string escape_json(std::string_view text);

}  // namespace tolva
